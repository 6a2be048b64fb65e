// The plug-in's process-wide state: the one contest, the one engine lock that guards it, and the window side
// as the engine sees it.
#ifndef ZORVANT_PLUGIN_PLUGIN_H_
#define ZORVANT_PLUGIN_PLUGIN_H_

#include <windows.h>

#include <mutex>
#include <string>

#include "engine/contest.h"

namespace zorvant {

// Held by every export for the time it reads or changes engine state, and by the Setup thread for its reads
// and writes of shared state. Never held across a wait for the other thread or for the operator.
std::mutex& EngineLock();
Contest& TheContest();  // REQUIRES: EngineLock() held
HINSTANCE ModuleInstance();

// The engine's view of the Setup thread, for one export call. The export holds `held` on the engine lock;
// callbacks that wait release it for the wait and take it again.
class PluginShell : public Shell {
 public:
  explicit PluginShell(std::unique_lock<std::mutex>& held) : held_(held) {}
  bool SetupWindowOpen() override;
  bool PostRefresh() override;
  void StartSetup() override;
  bool RunCabrilloDialog(CabrilloFields& fields) override;

 private:
  std::unique_lock<std::mutex>& held_;
};

// --- The Setup thread (setup_thread.cpp).
// Whether a Setup thread is running. REQUIRES: EngineLock() held.
bool SetupRunning();
// Posts the refresh message to the Setup window if it exists; false if it does not (yet).
// REQUIRES: EngineLock() held.
bool PostSetupRefresh();
// Closes an open Setup window (waiting until its thread has ended) and starts a new Setup thread.
// REQUIRES: EngineLock() NOT held.
void StartRoutine();
// Closes the Setup window and waits until its thread has ended. REQUIRES: EngineLock() NOT held.
void CloseRoutine();

}  // namespace zorvant

#endif  // ZORVANT_PLUGIN_PLUGIN_H_
