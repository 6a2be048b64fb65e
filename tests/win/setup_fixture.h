// A test with the Setup window open through Stats.dll, the host's automation object published by a pumping
// host thread, and what the tests need to find and read the plug-in's windows.
#ifndef ZORVANT_TESTS_WIN_SETUP_FIXTURE_H_
#define ZORVANT_TESTS_WIN_SETUP_FIXTURE_H_

#include <windows.h>

#include <string>
#include <utility>

#include "gtest/gtest.h"
#include "host/window_picture.h"
#include "resources/resource.h"
#include "tests/win/child.h"
#include "tests/win/host_thread.h"
#include "tests/win/window_steps.h"

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

  static HWND FindSetupWindow() { return host::FindPluginWindows().setup; }
  // The Prefix window or the Previous-QSO window, while it is shown.
  static HWND FindInfoWindow(bool prefix) {
    const host::PluginWindows windows = host::FindPluginWindows();
    return prefix ? windows.prefix : windows.prevQso;
  }
  static HWND WaitForInfoWindow(bool prefix) {
    HWND w = nullptr;
    WaitUntil([&] { return (w = FindInfoWindow(prefix)) != nullptr; });
    return w;
  }
  // A call check on the host's thread, which hands the Setup window a refresh.
  void CheckOnHost(const char* call = "UA3XYZ") {
    host_.Run([this, call] { CallCheck(plugin_, call, "RTTY", "UA3", "UA", "80m", "80m"); }).wait();
  }
  void SetSetting(const char* key, const char* value) {
    WritePrivateProfileStringA("Settings", key, value, ini_.c_str());
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
