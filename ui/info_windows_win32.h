// The two information windows the Setup window opens: the Prefix window (prefixes already worked on the
// host's band in this tour) and the Previous-QSO window (when and with which number the callsign being
// typed was worked). Each is a modeless dialog on the Setup thread whose client area is one owner-drawn
// button, control 1003, that paints the content.
#ifndef ZORVANT_UI_INFO_WINDOWS_WIN32_H_
#define ZORVANT_UI_INFO_WINDOWS_WIN32_H_

#include <windows.h>

#include <functional>
#include <string>

#include "engine/settings_store.h"
#include "ui/setup_logic.h"

namespace zorvant {

// The corner the three windows share (WindowCorner).
WindowCorner& LastWindowCorner();

// Reads a window's corner from its two settings keys into the shared corner (0, also for a missing key, is
// x 10 or y 400) and moves the window there.
void PlaceWindow(const SettingsSnapshot& saved, HWND window, const char* xKey, const char* yKey);
// On every mouse move over a window: writes whichever coordinate differs from the shared corner.
void SaveWindowCorner(SettingsStore& settings, HWND window, const char* xKey, const char* yKey);

enum class InfoKind { kPrefix, kPrevQso };

class InfoWindow {
 public:
  // Paints control 1003 of the window; false when the item is not its.
  using Painter = std::function<bool(const DRAWITEMSTRUCT*)>;

  // Creates and shows the window: no parent, placed from its settings keys, topmost when `onTop`. Its
  // settings go through the Setup thread's store. Null when the window could not be made.
  static InfoWindow* Open(InfoKind kind, HINSTANCE module, SettingsStore& settings, bool onTop,
                          Painter painter);
  // Destroys the window and this object.
  void Destroy();

  HWND hwnd() const { return window_; }
  InfoKind kind() const { return kind_; }
  void SetTitle(const std::string& text, bool cp1251);
  // Has control 1003 repaint from the shared state, without erasing first.
  void RepaintContent();

 private:
  InfoWindow(InfoKind kind, SettingsStore& settings, Painter painter)
      : kind_(kind), settings_(settings), painter_(std::move(painter)) {}
  ~InfoWindow();
  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

  InfoKind kind_;
  SettingsStore& settings_;
  Painter painter_;
  HWND window_ = nullptr;
  HINSTANCE module_ = nullptr;
  HBRUSH background_ = nullptr;
  bool onTop_ = false;
};

}  // namespace zorvant

#endif  // ZORVANT_UI_INFO_WINDOWS_WIN32_H_
