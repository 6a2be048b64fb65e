// The Setup thread: it carries the plug-in's own windows in a modal dialog loop of its own, so they stay
// responsive while the host's thread is busy in an export.
#include <objbase.h>
#include <windows.h>

#include <string>

#include "plugin/plugin.h"
#include "resources/resource.h"
#include "ui/setup_window_win32.h"

namespace zorvant {
namespace {

// Guarded by the engine lock.
struct SetupThread {
  bool running = false;         // from the start routine until the thread's last act
  bool closeRequested = false;  // a window that has not opened yet must end at once
  HWND window = nullptr;        // the Setup window, while its dialog loop runs
  HANDLE thread = nullptr;
} g_setup;

// The thread holds its own reference to this module, taken by the start routine and given back by
// FreeLibraryAndExitThread, whose last step is outside the module. So a host that frees the library while the
// window is open never unmaps code this thread is running: the library stays loaded until the window ends,
// then unloads itself. (Ending the thread from the unload instead would mean waiting for it inside the
// loader lock, which the window's own painting and closing may need.)
DWORD WINAPI SetupThreadMain(LPVOID param) {
  HMODULE self = static_cast<HMODULE>(param);
  // The start routine runs one Setup thread at a time, so no other Setup window can be open here.
  SetupContext context;
  context.module = ModuleInstance();
  context.engineLock = &EngineLock();
  context.contest = &TheContest();
  context.opened = [](HWND window) {
    std::lock_guard<std::mutex> lock(EngineLock());
    if (g_setup.closeRequested) return false;
    g_setup.window = window;
    return true;
  };
  RunSetupWindow(context);
  {
    std::lock_guard<std::mutex> lock(EngineLock());
    g_setup.window = nullptr;
    g_setup.running = false;
  }
  FreeLibraryAndExitThread(self, 0);
}

// The Setup thread may be inside a call to the host's automation object, which lives on the host's thread
// (this one) and runs only while this thread pumps messages. A plain wait would then never return, so wait
// the way COM waits in an apartment: letting calls in. A thread without COM has no object to call into.
void WaitLettingHostCallsIn(HANDLE thread) {
  DWORD index = 0;
  const HRESULT hr = CoWaitForMultipleHandles(/*dwFlags=*/0, INFINITE, 1, &thread, &index);
  if (FAILED(hr)) WaitForSingleObject(thread, INFINITE);
}

}  // namespace

bool SetupRunning() { return g_setup.running; }

bool PostSetupRefresh() { return g_setup.window && PostMessageA(g_setup.window, kRefreshMessage, 0, 0); }

void CloseRoutine() {
  HWND window;
  HANDLE thread = nullptr;
  {
    std::lock_guard<std::mutex> lock(EngineLock());
    if (!g_setup.running) return;
    g_setup.closeRequested = true;
    window = g_setup.window;
    if (!DuplicateHandle(GetCurrentProcess(), g_setup.thread, GetCurrentProcess(), &thread, SYNCHRONIZE,
                         FALSE, 0)) {
      return;
    }
  }
  // Posted, not sent: the wait below covers it, and the Setup thread may be busy calling this thread.
  if (window) PostMessageA(window, WM_CLOSE, 0, 0);
  WaitLettingHostCallsIn(thread);
  CloseHandle(thread);
}

void StartRoutine() {
  CloseRoutine();
  std::lock_guard<std::mutex> lock(EngineLock());
  if (g_setup.running) return;  // another caller started one meanwhile
  if (g_setup.thread) CloseHandle(g_setup.thread);
  g_setup.thread = nullptr;
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&SetupThreadMain),
                          &self)) {
    return;
  }
  g_setup.closeRequested = false;
  g_setup.thread = CreateThread(/*lpThreadAttributes=*/nullptr, /*dwStackSize=*/0, SetupThreadMain, self,
                                /*dwCreationFlags=*/0, /*lpThreadId=*/nullptr);
  g_setup.running = g_setup.thread != nullptr;
  if (!g_setup.running) FreeLibrary(self);
}

}  // namespace zorvant
