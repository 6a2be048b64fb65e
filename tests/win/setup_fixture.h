// A test with the Setup window open through Stats.dll, the host's automation object published by a pumping
// host thread, and what the tests need to find and read the plug-in's windows.
#ifndef ZORVANT_TESTS_WIN_SETUP_FIXTURE_H_
#define ZORVANT_TESTS_WIN_SETUP_FIXTURE_H_

#include <windows.h>

#include <string>
#include <utility>

#include "gtest/gtest.h"
#include "resources/resource.h"
#include "tests/win/child.h"
#include "tests/win/host_thread.h"

class SetupWindowShown : public PluginFolderTest {
 protected:
  void TearDown() override {
    if (window_ && IsWindow(window_)) {
      PostMessageA(window_, WM_COMMAND, IDCANCEL, 0);
      EXPECT_TRUE(WaitUntil([this] { return !IsWindow(window_); }));
    }
    PluginFolderTest::TearDown();
    // The window's thread lets go of the library last; the next test must load it afresh.
    EXPECT_TRUE(WaitUntil([] { return !GetModuleHandleA("Stats.dll"); }));
  }

  // For a table of cases: the next one starts as the host starts a new session, with no settings.
  void CloseAndReload() {
    TearDown();
    DeleteFileA(ini_.c_str());
    window_ = nullptr;
    host_.object().Clear();
    ASSERT_TRUE(plugin_.Load());
  }

  template <typename Pred>
  static bool WaitUntil(Pred pred, int ms = 10000) {
    for (int waited = 0; waited < ms; waited += 20) {
      if (pred()) return true;
      Sleep(20);
    }
    return pred();
  }

  // The reset that opens the window, on the host's thread, for a contest that started `hour` o'clock UTC
  // on 5 March 2017.
  HWND Open(int hour = 14, const char* ownCountry = "DL", int year = 2017) {
    EXPECT_EQ(
        host_.Run([&] { CallReset(plugin_, MakeDate(year, 3, 5, hour, 0), ownCountry); }).wait_for(kHang),
        std::future_status::ready);
    for (int waited = 0; !window_ && waited < 10000; waited += 20) {
      Sleep(20);
      window_ = FindSetupWindow();
    }
    // Shown once its start is done.
    EXPECT_TRUE(WaitUntil([this] { return window_ && IsWindowVisible(window_); }));
    return window_;
  }

  static BOOL CALLBACK IsSetupWindow(HWND w, LPARAM out) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != GetCurrentProcessId() || !GetDlgItem(w, IDC_ON_TOP) || !GetDlgItem(w, IDC_MODE_RTTY))
      return TRUE;
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
  }
  static HWND FindSetupWindow() {
    HWND found = nullptr;
    EnumWindows(IsSetupWindow, reinterpret_cast<LPARAM>(&found));
    return found;
  }

  // The Prefix window (it has a sizing border) or the Previous-QSO window, while it is shown.
  static BOOL CALLBACK IsInfoWindow(HWND w, LPARAM out) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    auto* wanted = reinterpret_cast<std::pair<bool, HWND>*>(out);
    const bool sizable = (GetWindowLongA(w, GWL_STYLE) & WS_THICKFRAME) != 0;
    if (pid != GetCurrentProcessId() || !IsWindowVisible(w) || !GetDlgItem(w, IDC_CONTENT) ||
        GetDlgItem(w, IDC_ON_TOP) || sizable != wanted->first) {
      return TRUE;
    }
    wanted->second = w;
    return FALSE;
  }
  static HWND FindInfoWindow(bool prefix) {
    std::pair<bool, HWND> wanted(prefix, nullptr);
    EnumWindows(IsInfoWindow, reinterpret_cast<LPARAM>(&wanted));
    return wanted.second;
  }
  static HWND WaitForInfoWindow(bool prefix) {
    HWND w = nullptr;
    WaitUntil([&] { return (w = FindInfoWindow(prefix)) != nullptr; });
    return w;
  }
  static std::wstring Title(HWND w) {
    wchar_t buf[256] = {};
    GetWindowTextW(w, buf, 256);
    return buf;
  }
  // Waits until the window's title is `expected`; returns the title it has then.
  static std::wstring TitleWhen(HWND w, const std::wstring& expected) {
    std::wstring seen;
    WaitUntil([&] { return (seen = Title(w)) == expected; }, 5000);
    return seen;
  }
  // A call check on the host's thread, which hands the Setup window a refresh.
  void CheckOnHost(const char* call = "UA3XYZ") {
    host_.Run([this, call] { CallCheck(plugin_, call, "RTTY", "UA3", "UA", "80m", "80m"); }).wait();
  }
  void SetSetting(const char* key, const char* value) {
    WritePrivateProfileStringA("Settings", key, value, ini_.c_str());
  }

  // A click as BM_CLICK makes it. A button that loses the focus between its press and its release takes no
  // click, and a window just shown is still being activated for a moment (the X server's focus events come
  // later): wait until the thread's active window has stayed the same for a while first.
  static void Click(HWND button) {
    const DWORD thread = GetWindowThreadProcessId(button, nullptr);
    HWND last = nullptr;
    int steady = 0;
    WaitUntil(
        [&] {
          GUITHREADINFO info = {};
          info.cbSize = sizeof info;
          GetGUIThreadInfo(thread, &info);
          steady = info.hwndActive == last ? steady + 1 : 0;
          last = info.hwndActive;
          return steady >= 10;  // 200 ms
        },
        3000);
    SendMessageA(button, BM_CLICK, 0, 0);
  }

  std::string Setting(const char* key) {
    char buf[64] = {};
    GetPrivateProfileStringA("Settings", key, "(missing)", buf, sizeof buf, ini_.c_str());
    return buf;
  }

  // The colour at a client point of a window, once it is `expected` (within a few seconds), or as it is then.
  static COLORREF PixelWhen(HWND w, POINT at, COLORREF expected) {
    COLORREF seen = CLR_INVALID;
    WaitUntil(
        [&] {
          HDC dc = GetDC(w);
          seen = GetPixel(dc, at.x, at.y);
          ReleaseDC(w, dc);
          return seen == expected;
        },
        3000);
    return seen;
  }

  HostThread host_{/*publish=*/true};
  HWND window_ = nullptr;
};

#endif  // ZORVANT_TESTS_WIN_SETUP_FIXTURE_H_
