#include "plugin/plugin.h"

#include "cabrillo/header_dialog_win32.h"

namespace zorvant {
namespace {

HINSTANCE g_instance = nullptr;

std::mutex g_engineLock;
// Built when the library loads; lives until it unloads.
Contest g_contest(SystemPlatform());

}  // namespace

std::mutex& EngineLock() { return g_engineLock; }
Contest& TheContest() { return g_contest; }
HINSTANCE ModuleInstance() { return g_instance; }

bool PluginShell::SetupWindowOpen() { return SetupRunning(); }

bool PluginShell::PostRefresh() { return PostSetupRefresh(); }

void PluginShell::StartSetup() {
  held_.unlock();
  StartRoutine();
  held_.lock();
}

// The host keeps pumping messages under the modal dialog and may call other exports from there.
bool PluginShell::RunCabrilloDialog(CabrilloFields& fields) {
  held_.unlock();
  const bool confirmed = RunHeaderDialog(ModuleInstance(), fields);
  held_.lock();
  return confirmed;
}

}  // namespace zorvant

// Nothing to do at load beyond the static state, and nothing to close at unload: a running Setup thread holds
// a reference to this module, so the library is only ever unloaded with no Setup thread left, or at process
// exit, when the system has already ended every other thread.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  switch (reason) {
    case DLL_PROCESS_ATTACH: zorvant::g_instance = instance; break;
    default: break;
  }
  return TRUE;
}
