#include "plugin/plugin.h"

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

void PluginShell::PostRefresh() { PostSetupRefresh(); }

void PluginShell::StartSetup() {
  held_.unlock();
  StartRoutine();
  held_.lock();
}

// The Cabrillo header dialog is not built yet: the export pass goes on as if the operator had closed it.
int PluginShell::EditCabrilloHeader(const std::string&, const OleDate&, const OleDate&) { return 0; }

}  // namespace zorvant

// The framework-style application object's start and exit hooks live here: nothing to do at start, and at
// exit the Setup thread must be gone before the module is unmapped.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      zorvant::g_instance = instance;
      DisableThreadLibraryCalls(instance);
      break;
    case DLL_PROCESS_DETACH:
      // A non-null `reserved` means the process is exiting: its other threads, the Setup thread among them,
      // are already gone, and waiting for them would never end.
      if (reserved == nullptr) {
        zorvant::CloseForUnload();
        Sleep(20);
      }
      break;
    default:
      break;
  }
  return TRUE;
}
