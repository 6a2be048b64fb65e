// The Setup window through Stats.dll, with the host's automation object published by a pumping host thread:
// the mode buttons and their macros, the tour lamps, the drawn buttons, position saving, the Russian texts
// and the window's frame.
#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "resources/resource.h"
#include "tests/win/child.h"
#include "tests/win/host_thread.h"
#include "tests/win/setup_fixture.h"

namespace {

constexpr COLORREF kYellow = RGB(255, 255, 0), kGreen = RGB(0, 255, 0), kRed = RGB(255, 0, 0);
constexpr COLORREF kFace = RGB(240, 240, 240);
constexpr POINT kLamp1 = {198, 90}, kLamp2 = {198, 115};

TEST_F(SetupWindowShown, TheModeSettingPicksTheButtonAndItsMacrosAtStart) {
  struct Case {
    const char* setting;  // nullptr: no "Mode" key
    int selected;
    std::vector<std::wstring> macros;
  } cases[] = {
      {"rtty", IDC_MODE_BPSK63, {L"<MODE:BPSK31>", L"<BAUDRATE:63>"}},
      {nullptr, IDC_MODE_RTTY, {L"<MODE:RTTY>", L"<BAUDRATE:45.45>"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting ? c.setting : "(missing)");
    if (c.setting) WritePrivateProfileStringA("Settings", "Mode", c.setting, ini_.c_str());
    HWND w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return host_.object().macros().size() >= 2; }));
    EXPECT_EQ(host_.object().macros(), c.macros);
    const int other = c.selected == IDC_MODE_RTTY ? IDC_MODE_BPSK63 : IDC_MODE_RTTY;
    EXPECT_EQ(PixelWhen(GetDlgItem(w, c.selected), {4, 4}, kGreen), kGreen);
    EXPECT_EQ(PixelWhen(GetDlgItem(w, other), {4, 4}, kFace), kFace);
    EXPECT_EQ(Setting("Mode"), c.setting ? c.setting : "(missing)");

    // The other button: its pair, its green face, and the choice remembered.
    Click(GetDlgItem(w, other));
    EXPECT_TRUE(WaitUntil([&] { return host_.object().macros().size() >= 4; }));
    const std::vector<std::wstring> all = host_.object().macros();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[2], other == IDC_MODE_RTTY ? L"<MODE:RTTY>" : L"<MODE:BPSK31>");
    EXPECT_EQ(PixelWhen(GetDlgItem(w, other), {4, 4}, kGreen), kGreen);
    EXPECT_EQ(PixelWhen(GetDlgItem(w, c.selected), {4, 4}, kFace), kFace);
    EXPECT_EQ(Setting("Mode"), other == IDC_MODE_RTTY ? "RTTY" : "BPSK63");

    CloseAndReload();
  }
}

TEST_F(SetupWindowShown, TheLampsShowTheTourOfTheHour) {
  SYSTEMTIME now;
  GetSystemTime(&now);
  const int hour = now.wHour;
  struct Case {
    int startOffset;  // hours from now to the contest's start hour
    COLORREF lamp1, lamp2;
  } cases[] = {{+1, kYellow, kYellow}, {-1, kGreen, kYellow}, {-3, kRed, kGreen}, {-6, kRed, kRed}};
  for (const Case& c : cases) {
    const int start = hour + c.startOffset;
    if (start < 0 || start > 23) continue;  // nothing wraps at midnight: this case cannot be shown now
    SCOPED_TRACE(c.startOffset);
    HWND w = Open(start);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(PixelWhen(w, kLamp1, c.lamp1), c.lamp1);
    EXPECT_EQ(PixelWhen(w, kLamp2, c.lamp2), c.lamp2);
    CloseAndReload();
  }
}

// Each window keeps its own record of the lamps it has changed, so a window opened after the next reset,
// in the same loaded library, shows the running tour again rather than two yellow lamps.
TEST_F(SetupWindowShown, ASecondWindowLightsTheLampsAfresh) {
  SYSTEMTIME now;
  GetSystemTime(&now);
  if (now.wHour < 1) GTEST_SKIP() << "needs a start hour an hour before now on the same day";
  HWND first = Open(now.wHour - 1);
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(PixelWhen(first, kLamp1, kGreen), kGreen);
  PostMessageA(first, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([first] { return !IsWindow(first); }));
  window_ = nullptr;
  // The first reset after it sets the start toggle back; a later one opens the new window once the old
  // window's thread has quite ended.
  for (int i = 0; i < 10 && !window_; ++i) {
    host_.Run([&] { CallReset(plugin_, MakeDate(2017, 3, 5, now.wHour - 1, 0)); }).wait();
    WaitUntil([this] { return (window_ = FindSetupWindow()) != nullptr; }, 200);
  }
  ASSERT_NE(window_, nullptr);
  EXPECT_EQ(PixelWhen(window_, kLamp1, kGreen), kGreen);
  // The new window's thread attached afresh in its own apartment: its start macros reach the host too.
  EXPECT_TRUE(WaitUntil([this] { return host_.object().macros().size() >= 4; }));
  EXPECT_EQ(host_.object().macros().size(), 4u);
}

TEST_F(SetupWindowShown, TheModeButtonsHaveARaisedTwoPixelEdge) {
  HWND w = Open();
  ASSERT_NE(w, nullptr);
  HWND button = GetDlgItem(w, IDC_MODE_RTTY);
  RECT r;
  GetClientRect(button, &r);
  const struct {
    POINT at;
    COLORREF colour;
  } rings[] = {
      {{0, 0}, RGB(255, 255, 255)},                       // outer ring, top-left
      {{r.right - 1, r.bottom - 1}, RGB(127, 127, 127)},  // outer ring, bottom-right
      {{1, 1}, RGB(223, 223, 223)},                       // inner ring, top-left
      {{r.right - 2, r.bottom - 2}, RGB(85, 85, 85)},     // inner ring, bottom-right
  };
  for (const auto& ring : rings) {
    EXPECT_EQ(PixelWhen(button, ring.at, ring.colour), ring.colour) << ring.at.x << "," << ring.at.y;
  }
}

TEST_F(SetupWindowShown, AMovedWindowWritesOnlyTheCoordinateThatChanged) {
  HWND w = Open();
  ASSERT_NE(w, nullptr);
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 400);
  // The mouse over a window that has not moved writes nothing.
  SendMessageA(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(Setting("setup_x"), "(missing)");
  SetWindowPos(w, nullptr, 57, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageA(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(Setting("setup_x"), "57");
  EXPECT_EQ(Setting("setup_y"), "(missing)");
}

TEST_F(SetupWindowShown, IsTopmostCannotBeClosedFromItsCaptionAndEndsOnEscapeOnly) {
  HWND w = Open();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(GetMenuState(GetSystemMenu(w, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
  PostMessageA(w, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageA(w, WM_COMMAND, IDOK, 0);
  Sleep(300);
  EXPECT_TRUE(IsWindow(w));
  PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([w] { return !IsWindow(w); }));
}

TEST_F(SetupWindowShown, AHomeAreaStationSeesTheRussianTexts) {
  HWND w = Open(14, "UA");
  ASSERT_NE(w, nullptr);
  auto text = [](HWND window) {
    wchar_t buf[128] = {};
    GetWindowTextW(window, buf, 128);
    return std::wstring(buf);
  };
  EXPECT_EQ(text(w), L"\u041d\u0430\u0441\u0442\u0440\u043e\u0439\u043a\u0438 ZORVANT 2017");
  const struct {
    int id;
    const wchar_t* text;
  } controls[] = {
      {IDC_VIEW_LABEL, L"\u041e\u0442\u043e\u0431\u0440\u0430\u0436\u0430\u0442\u044c"},
      {IDC_MODE_LABEL, L"\u0412\u044b\u0431\u043e\u0440 \u043c\u043e\u0434\u044b"},
      {IDC_TOUR1_LABEL, L"\u0422\u0443\u0440 1"},
      {IDC_TOUR2_LABEL, L"\u0422\u0443\u0440 2"},
      {IDC_VIEW_PREFIX,
       L"\u041e\u0442\u0440\u0430\u0431\u043e\u0442\u0430\u043d\u043d\u044b\u0435 "
       L"\u043f\u0440\u0435\u0444\u0438\u043a\u0441\u044b"},
      {IDC_VIEW_PREV_QSO, L"\u041f\u0440\u0435\u0434\u044b\u0434\u0443\u0449\u0438\u0435 QSO"},
      {IDC_ON_TOP, L"\u041f\u043e\u0432\u0435\u0440\u0445 \u043e\u043a\u043e\u043d"},
  };
  for (const auto& c : controls) EXPECT_EQ(text(GetDlgItem(w, c.id)), c.text) << c.id;
  // The longer mode label moves to make room.
  RECT label;
  GetWindowRect(GetDlgItem(w, IDC_MODE_LABEL), &label);
  POINT corner = {label.left, label.top};
  ScreenToClient(w, &corner);
  EXPECT_EQ(corner.x, 170);
  EXPECT_EQ(corner.y, 8);
  EXPECT_EQ(label.right - label.left, 100);
}

TEST_F(SetupWindowShown, ARefreshSpotsAFrequencyThatMovedMoreThan300Hz) {
  host_.object().SetEnteredCall(L"UA3XYZ");
  host_.object().SetFrequency(3580000.0);
  HWND w = Open();
  ASSERT_NE(w, nullptr);
  // The window's own first refresh spots the frequency it finds.
  EXPECT_TRUE(WaitUntil([&] { return host_.object().macros().size() == 3; }));
  EXPECT_EQ(host_.object().macros().back(), L"<SP1>");
  const struct {
    double hz;
    size_t macros;
  } moves[] = {{3580300.0, 3}, {3580301.0, 4}, {14070000.0, 5}};
  for (const auto& m : moves) {
    host_.object().SetFrequency(m.hz);
    const int reads = host_.object().frequencyReads();
    host_.Run([&] { CallCheck(plugin_, "UA3XYZ", "RTTY", "UA3", "UA", "80m", "80m"); });
    EXPECT_TRUE(WaitUntil([&] { return host_.object().frequencyReads() > reads; })) << m.hz;
    Sleep(100);
    EXPECT_EQ(host_.object().macros().size(), m.macros) << m.hz;
  }
}

}  // namespace
