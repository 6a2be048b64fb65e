// The Setup thread: it carries the plug-in's own windows in a modal dialog loop of its own, so they stay
// responsive while the host's thread is busy in an export.
#include <windows.h>

#include <string>

#include "plugin/plugin.h"
#include "resources/resource.h"

namespace zorvant {
namespace {

constexpr UINT kRefreshMessage = 1524;
// How long an unload waits for the Setup thread to finish on its own before ending it. Closing takes a few
// milliseconds on a desktop; an X server without a window manager makes Wine wait up to 2 s for the hidden
// window to be withdrawn.
constexpr DWORD kUnloadWaitMs = 10000;

// Guarded by the engine lock.
struct SetupThread {
  bool running = false;         // from the start routine until the thread's last act
  bool entered = false;         // the thread has begun running this module's code
  bool closeRequested = false;  // a window that has not opened yet must end at once
  HWND window = nullptr;        // the Setup window, while its dialog loop runs
  HANDLE thread = nullptr;
  HANDLE done = nullptr;  // signalled by the thread's very last act
} g_setup;

// Ends the calling thread by returning from SetEvent straight into ExitThread: once `done` is signalled no
// instruction of this module runs on this thread any more, so an unload waiting for `done` may unmap the
// module at once. (A thread that returned normally would still be executing its epilogue here.) The two
// addresses come from the import table: looking them up now would take the loader lock that the unload holds.
[[noreturn]] void SignalAndExitThread(HANDLE done, DWORD exitCode) {
  void* setEvent = reinterpret_cast<void*>(&SetEvent);
  void* exitThread = reinterpret_cast<void*>(&ExitThread);
  __asm__ volatile(
      "pushl %1\n\t"  // ExitThread's argument
      "pushl $0\n\t"  // ExitThread's return address: it never returns
      "pushl %0\n\t"  // SetEvent's argument
      "pushl %2\n\t"  // SetEvent's return address
      "jmp *%3\n\t"
      :
      : "r"(done), "r"(exitCode), "r"(exitThread), "r"(setEvent)
      : "memory");
  __builtin_unreachable();
}

void DrawPlainButton(const DRAWITEMSTRUCT& item) {
  RECT r = item.rcItem;
  DrawFrameControl(item.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | ((item.itemState & ODS_SELECTED) ? DFCS_PUSHED : 0));
  char text[64] = {};
  GetWindowTextA(item.hwndItem, text, sizeof text);
  SetBkMode(item.hDC, TRANSPARENT);
  DrawTextA(item.hDC, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
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
    case WM_DRAWITEM:
      DrawPlainButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:  // Enter never closes the window
          return TRUE;
        case IDCANCEL:  // Escape, and WM_CLOSE through the dialog manager
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      return FALSE;
    case kRefreshMessage:
      return TRUE;
  }
  return FALSE;
}

DWORD WINAPI SetupThreadMain(LPVOID param) {
  HANDLE done = static_cast<HANDLE>(param);
  DWORD exitCode = 0;
  bool another = false;
  {
    std::lock_guard<std::mutex> lock(EngineLock());
    g_setup.entered = true;
    another = g_setup.window != nullptr;
  }
  if (another) {
    exitCode = 1;
  } else {
    DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(IDD_SETUP), /*hWndParent=*/nullptr, SetupDialogProc,
                    /*dwInitParam=*/0);
  }
  {
    std::lock_guard<std::mutex> lock(EngineLock());
    g_setup.window = nullptr;
    g_setup.running = false;
  }
  SignalAndExitThread(done, exitCode);
}

// Ask the Setup thread to end. Returns the event its last act signals, or null when none runs.
// REQUIRES: EngineLock() NOT held.
HANDLE RequestClose(HANDLE* thread, bool* entered) {
  HWND window;
  HANDLE done;
  {
    std::lock_guard<std::mutex> lock(EngineLock());
    if (!g_setup.running) return nullptr;
    g_setup.closeRequested = true;
    window = g_setup.window;
    done = g_setup.done;
    if (thread) *thread = g_setup.thread;
    if (entered) *entered = g_setup.entered;
  }
  // Posted, not sent: the Setup thread may itself be waiting on this thread, and the wait below covers it.
  if (window) PostMessageA(window, WM_CLOSE, 0, 0);
  return done;
}

}  // namespace

bool SetupRunning() { return g_setup.running; }

void PostSetupRefresh() {
  if (g_setup.window) PostMessageA(g_setup.window, kRefreshMessage, 0, 0);
}

void CloseRoutine() {
  HANDLE done = RequestClose(nullptr, nullptr);
  if (done) WaitForSingleObject(done, INFINITE);
}

void StartRoutine() {
  CloseRoutine();
  std::lock_guard<std::mutex> lock(EngineLock());
  if (g_setup.running) return;  // another caller started one meanwhile
  if (g_setup.thread) CloseHandle(g_setup.thread);
  if (g_setup.done) CloseHandle(g_setup.done);
  g_setup.thread = nullptr;
  g_setup.done = CreateEventA(/*lpEventAttributes=*/nullptr, /*bManualReset=*/TRUE, /*bInitialState=*/FALSE,
                              /*lpName=*/nullptr);
  if (!g_setup.done) return;
  g_setup.closeRequested = false;
  g_setup.entered = false;
  g_setup.thread = CreateThread(/*lpThreadAttributes=*/nullptr, /*dwStackSize=*/0, SetupThreadMain, g_setup.done,
                                /*dwCreationFlags=*/0, /*lpThreadId=*/nullptr);
  g_setup.running = g_setup.thread != nullptr;
}

void CloseForUnload() {
  HANDLE thread = nullptr;
  bool entered = false;
  HANDLE done = RequestClose(&thread, &entered);
  if (!done) return;
  // The loader lock is held here, so a thread created moments ago cannot start running until this returns;
  // one that never entered this module holds nothing and can be ended at once. Otherwise give the window
  // time to close; a thread still busy after that must not be left running code that is about to vanish.
  if (!entered || WaitForSingleObject(done, kUnloadWaitMs) != WAIT_OBJECT_0) {
    TerminateThread(thread, 2);
    WaitForSingleObject(thread, kUnloadWaitMs);
  }
}

}  // namespace zorvant
