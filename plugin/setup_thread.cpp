// The Setup thread: it carries the plug-in's own windows in a modal dialog loop of its own, so they stay
// responsive while the host's thread is busy in an export.
#include <objbase.h>
#include <windows.h>

#include <string>

#include "plugin/plugin.h"
#include "resources/resource.h"
#include "ui/automation_win32.h"

namespace zorvant {
namespace {

constexpr UINT kRefreshMessage = 1524;

// Guarded by the engine lock.
struct SetupThread {
  bool running = false;         // from the start routine until the thread's last act
  bool closeRequested = false;  // a window that has not opened yet must end at once
  HWND window = nullptr;        // the Setup window, while its dialog loop runs
  HANDLE thread = nullptr;
} g_setup;

void DrawPlainButton(const DRAWITEMSTRUCT& item) {
  RECT r = item.rcItem;
  DrawFrameControl(item.hDC, &r, DFC_BUTTON,
                   DFCS_BUTTONPUSH | ((item.itemState & ODS_SELECTED) ? DFCS_PUSHED : 0));
  char text[64] = {};
  GetWindowTextA(item.hwndItem, text, sizeof text);
  SetBkMode(item.hDC, TRANSPARENT);
  DrawTextA(item.hDC, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

HostAutomation* HostOf(HWND dialog) {
  return reinterpret_cast<HostAutomation*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
}

// Follows what the operator types and where the radio is tuned. The host's answers are read without the
// engine lock: the host's thread may be waiting for that lock inside an export, and it must pump messages for
// these calls to arrive.
void Refresh(HWND dialog) {
  if (HostAutomation* host = HostOf(dialog); host && host->attached()) {
    host->EnteredCall();
    host->Frequency();
  }
  std::lock_guard<std::mutex> lock(EngineLock());
  TheContest().refreshPending = 1;
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
      if (HostAutomation* host = HostOf(dialog)) host->Attach();
      std::string year;
      {
        std::lock_guard<std::mutex> lock(EngineLock());
        if (g_setup.closeRequested) {
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        }
        g_setup.window = dialog;
        year = TheContest().startYear;
      }
      SetWindowTextA(dialog, ("Setup ZORVANT " + year).c_str());
      return TRUE;
    }
    case WM_DRAWITEM: DrawPlainButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:  // Enter never closes the window
          return TRUE;
        case IDCANCEL:  // Escape, and WM_CLOSE through the dialog manager
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      return FALSE;
    case kRefreshMessage: Refresh(dialog); return TRUE;
  }
  return FALSE;
}

// The thread holds its own reference to this module, taken by the start routine and given back by
// FreeLibraryAndExitThread, whose last step is outside the module. So a host that frees the library while the
// window is open never unmaps code this thread is running: the library stays loaded until the window ends,
// then unloads itself. (Ending the thread from the unload instead would mean waiting for it inside the
// loader lock, which the window's own painting and closing may need.)
DWORD WINAPI SetupThreadMain(LPVOID param) {
  HMODULE self = static_cast<HMODULE>(param);
  // The start routine runs one Setup thread at a time, so no other Setup window can be open here.
  {
    // Attached as the window opens; let go here, on this thread, before its COM apartment ends.
    HostAutomation host;
    DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(IDD_SETUP), /*hWndParent=*/nullptr, SetupDialogProc,
                    reinterpret_cast<LPARAM>(&host));
  }
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

void PostSetupRefresh() {
  if (g_setup.window) PostMessageA(g_setup.window, kRefreshMessage, 0, 0);
}

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
