// The Setup thread's start and the library's unload, with and without the Setup window open.
#include <windows.h>

#include <future>
#include <string>

#include "gtest/gtest.h"
#include "tests/win/child.h"

namespace {

const char kSetupTitle[] = "Setup ZORVANT 2017";

// Runs this executable as a scripted host session; returns its exit code, or -1 if it hung.
DWORD RunChildProcess(const char* mode) {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string command = std::string("\"") + exe + "\" " + kChildFlag + mode;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 9999;
  DWORD code = static_cast<DWORD>(-1);
  // A generous bound that only a hang exceeds.
  if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(pi.hProcess, &code);
  } else {
    TerminateProcess(pi.hProcess, 99);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

TEST(Unload, EndsPromptlyAndCleanlyWhateverTheSetupWindowIsDoing) {
  for (const char* mode : {"free-with-window", "free-at-once", "exit-with-window", "return-with-window"}) {
    EXPECT_EQ(RunChildProcess(mode), 0u) << mode;
  }
}

class SetupWindowTest : public PluginFolderTest {
 protected:
  void TearDown() override {
    if (HWND w = FindWindowA(nullptr, kSetupTitle)) {
      PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
      EXPECT_TRUE(WaitForWindowGone(kSetupTitle, 10000));
    }
    PluginFolderTest::TearDown();
  }
  std::string Toggle() {
    char buf[16] = {};
    GetPrivateProfileStringA("Settings", "Start", "", buf, sizeof buf, ini_.c_str());
    return buf;
  }
};

TEST_F(SetupWindowTest, TwoResetsInARowOpenTheWindowOnTheFirstOnly) {
  CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0));
  HWND first = WaitForSetupWindow("2017", 10000);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Toggle(), "1");
  CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0));
  EXPECT_EQ(Toggle(), "0");
  EXPECT_EQ(FindWindowA(nullptr, kSetupTitle), first);
  // The toggle is 0 and a window is open: a third reset changes nothing.
  CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0));
  EXPECT_EQ(Toggle(), "0");
  EXPECT_EQ(FindWindowA(nullptr, kSetupTitle), first);
}

TEST_F(SetupWindowTest, EscapeEndsTheWindowAndTheNextResetOpensAFreshOne) {
  CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0));
  HWND first = WaitForSetupWindow("2017", 10000);
  ASSERT_NE(first, nullptr);
  HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(first, nullptr));
  PostMessageA(first, WM_COMMAND, IDCANCEL, 0);  // what Escape sends
  ASSERT_TRUE(WaitForWindowGone(kSetupTitle, 10000));
  // Until its thread has quite ended the window still counts as open, and a reset opens none.
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
  WritePrivateProfileStringA("Settings", "Start", "0", ini_.c_str());
  CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0));
  EXPECT_NE(WaitForSetupWindow("2017", 10000), nullptr);
}

TEST_F(SetupWindowTest, AnExportPassNeverOpensTheWindow) {
  // The pass waits in the Cabrillo header dialog on the calling thread: play the host on another thread.
  auto host = std::async(std::launch::async, [this] {
    CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0), "DL", "", /*exportFlag=*/1);
  });
  HWND header = nullptr;
  for (int waited = 0; !header && waited < 10000; waited += 20) {
    Sleep(20);
    header = FindWindowA("#32770", "ZORVANT");
  }
  ASSERT_NE(header, nullptr);
  PostMessageA(header, WM_COMMAND, IDCANCEL, 0);
  host.wait();
  EXPECT_EQ(Toggle(), "0");
  Sleep(200);
  EXPECT_EQ(FindWindowA(nullptr, kSetupTitle), nullptr);
}

}  // namespace

namespace {

// Counts the refresh messages the Setup thread takes from its queue.
volatile LONG g_refreshes = 0;
LRESULT CALLBACK CountRefreshes(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* msg = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == 1524 && msg->wParam == 0 &&
      msg->lParam == 0) {
    InterlockedIncrement(&g_refreshes);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LONG RefreshesAfterAWhile() {
  Sleep(300);  // posted messages are taken within a few milliseconds; this only lets a stray one show up
  return InterlockedCompareExchange(&g_refreshes, 0, 0);
}

TEST_F(SetupWindowTest, CallCheckHandsOnThePendingRefreshAndRemovalAlwaysPostsOne) {
  CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0));
  HWND window = WaitForSetupWindow("2017", 10000);
  ASSERT_NE(window, nullptr);
  HHOOK hook =
      SetWindowsHookExA(WH_GETMESSAGE, CountRefreshes, nullptr, GetWindowThreadProcessId(window, nullptr));
  ASSERT_NE(hook, nullptr);
  RefreshesAfterAWhile();  // the window's own first refresh, which it may or may not have taken yet
  g_refreshes = 0;

  EXPECT_EQ(CallCheck(plugin_, "HISCALL", "RTTY", "UA3", "UA", "80m", "80m"), 2);
  EXPECT_EQ(RefreshesAfterAWhile(), 1);
  // The window's refresh has set the refresh pending again, so the next check hands on one more, whatever
  // it answers.
  EXPECT_EQ(CallCheck(plugin_, "HISCALL", "RTTY", "UA3", "UA", "30m", "30m"), 4);
  EXPECT_EQ(RefreshesAfterAWhile(), 2);
  Qso q;
  CallRemove(plugin_, q);
  EXPECT_EQ(RefreshesAfterAWhile(), 3);
  UnhookWindowsHookEx(hook);
}

}  // namespace
