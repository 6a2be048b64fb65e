// The Setup window: the plug-in's control panel (mode buttons, which information windows to show, stay on
// top) and its clock (the tour lamps, and the refresh that follows what the operator types in the host).
// It runs as a modal dialog loop on the Setup thread.
#ifndef ZORVANT_UI_SETUP_WINDOW_WIN32_H_
#define ZORVANT_UI_SETUP_WINDOW_WIN32_H_

#include <windows.h>

#include <functional>
#include <mutex>

#include "engine/contest.h"

namespace zorvant {

inline constexpr UINT kRefreshMessage = 1524;
inline constexpr UINT_PTR kTourTimer = 1800;

struct SetupContext {
  HINSTANCE module = nullptr;  // holds the dialog templates and the icon
  std::mutex* engineLock = nullptr;
  Contest* contest = nullptr;  // GUARDED_BY(*engineLock)
  // Called once the window exists, before it shows, with no lock held. Returns false when the window must
  // end at once (the plug-in is closing it).
  std::function<bool(HWND)> opened;
};

// Runs the Setup window until it ends: Escape, or WM_CLOSE from the host's side. Attaches to the host's
// automation object for its lifetime and lets go of it, and of this thread's COM, before returning.
// REQUIRES: the engine lock NOT held.
void RunSetupWindow(const SetupContext& context);

}  // namespace zorvant

#endif  // ZORVANT_UI_SETUP_WINDOW_WIN32_H_
