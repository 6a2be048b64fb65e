// The Prefix and Previous-QSO windows through Stats.dll: opened by the Setup window, titled by its refresh
// from what the host's object answers, placed, kept on top, resized.
#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "resources/resource.h"
#include "tests/win/setup_fixture.h"

namespace {

class InfoWindows : public SetupWindowShown {
 protected:
  // Both information windows wanted, as the operator left them last time.
  void WantBoth() {
    SetSetting("setup_view_pref", "1");
    SetSetting("setup_view_prev_qso", "1");
  }
  // `count` contacts on 80 m in the hour `hour`, each a new prefix.
  void LogNewPrefixes(int year, int hour, int count) {
    host_
        .Run([&] {
          for (int i = 0; i < count; ++i) {
            Qso q;
            q.call = "R" + std::to_string(i) + "AA";
            q.prefix = "R" + std::to_string(i);
            q.country = "UA";
            q.time = MakeDate(year, 3, 5, hour, i);
            ASSERT_EQ(CallAdd(plugin_, q), 1);
          }
          int status = 0;
          plugin_.getResult(&status);  // the report keeps the running tour's prefix lists
        })
        .wait();
  }
};

TEST_F(InfoWindows, TitlesFollowTheTypedCallsignAndTheBand) {
  SYSTEMTIME now;
  GetSystemTime(&now);
  if (now.wHour < 2) GTEST_SKIP() << "the second tour starts two hours after the start hour, on the same day";
  const struct Case {
    const char* country;
    std::wstring prefixBand, prevPlain, prevCall;
  } cases[] = {
      {"DL", L"ZORVANT-2020  prefix worked on 80m 14 tour 2", L"ZORVANT-2020 Previous QSO tour 2",
       L"ZORVANT-2020 Previous QSO with UA3 tour 2 "},
      {"UA",
       L"ZORVANT-2020  \u043e\u0442\u0440\u0430\u0431\u043e\u0442\u0430\u043d\u043d\u044b\u0445 "
       L"\u043f\u0440\u0435\u0444\u0438\u043a\u0441\u043e\u0432 14 \u043d\u0430 80m \u0442\u0443\u0440 2",
       L"ZORVANT-2020 \u041f\u0440\u0435\u0434\u044b\u0434\u0443\u0449\u0438\u0435 QSO \u0442\u0443\u0440 2",
       L"ZORVANT-2020 \u041f\u0440\u0435\u0434\u044b\u0434\u0443\u0449\u0438\u0435 QSO c UA3 "
       L"\u0442\u0443\u0440 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.country);
    WantBoth();
    host_.object().SetEnteredCall(L"");
    host_.object().SetFrequency(14070000.0);
    ASSERT_NE(Open(now.wHour - 2, c.country, 2020), nullptr);
    HWND prefix = WaitForInfoWindow(/*prefix=*/true);
    HWND prev = WaitForInfoWindow(/*prefix=*/false);
    ASSERT_NE(prefix, nullptr);
    ASSERT_NE(prev, nullptr);
    LogNewPrefixes(2020, now.wHour, 14);

    host_.object().SetFrequency(3580000.0);
    CheckOnHost();
    EXPECT_EQ(TextWhen(prefix, c.prefixBand), c.prefixBand);
    EXPECT_EQ(TextWhen(prev, c.prevPlain), c.prevPlain);
    // Two characters are not yet a callsign: the titles wait.
    host_.object().SetEnteredCall(L"UA");
    CheckOnHost();
    Sleep(300);
    EXPECT_EQ(TextOf(prev), c.prevPlain);
    host_.object().SetEnteredCall(L"UA3");
    CheckOnHost();
    EXPECT_EQ(TextWhen(prev, c.prevCall), c.prevCall);
    CloseAndReload();
  }
}

TEST_F(InfoWindows, OpenWhereTheSetupWindowDoesAndFollowWindowOnTop) {
  WantBoth();
  HWND setup = Open();
  ASSERT_NE(setup, nullptr);
  for (bool prefix : {true, false}) {
    HWND w = WaitForInfoWindow(prefix);
    ASSERT_NE(w, nullptr);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 400);
    EXPECT_FALSE(GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
  }
  // "Window on top" closes both; the refresh it posts reopens them as the setting now says, each time.
  for (bool topmost : {true, false}) {
    const HWND before[] = {FindInfoWindow(true), FindInfoWindow(false)};
    Click(GetDlgItem(setup, IDC_ON_TOP));
    EXPECT_FALSE(IsWindow(before[0]));
    EXPECT_FALSE(IsWindow(before[1]));
    EXPECT_EQ(Setting("setup_window_on_top"), topmost ? "1" : "0");
    for (bool prefix : {true, false}) {
      HWND w = WaitForInfoWindow(prefix);
      ASSERT_NE(w, nullptr);
      EXPECT_EQ((GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, topmost) << prefix;
    }
  }
}

TEST_F(InfoWindows, ThePrefixWindowsContentFillsItsClientAreaButForAMargin) {
  SetSetting("setup_view_pref", "1");
  ASSERT_NE(Open(), nullptr);
  HWND w = WaitForInfoWindow(/*prefix=*/true);
  ASSERT_NE(w, nullptr);
  RECT frame = {0, 0, 300, 200};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(w, GWL_EXSTYLE)));
  SetWindowPos(w, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client;
  GetClientRect(w, &client);
  ASSERT_EQ(client.right, 300);
  ASSERT_EQ(client.bottom, 200);
  RECT content;
  GetWindowRect(GetDlgItem(w, IDC_CONTENT), &content);
  POINT corner = {content.left, content.top};
  ScreenToClient(w, &corner);
  EXPECT_EQ(corner.x, 1);
  EXPECT_EQ(corner.y, 1);
  EXPECT_EQ(content.right - content.left, 296);
  EXPECT_EQ(content.bottom - content.top, 196);
}

TEST_F(InfoWindows, ThePreviousQsoTableHighlightsTheBandAndIgnoresClicks) {
  SetSetting("setup_view_prev_qso", "1");
  host_.object().SetFrequency(14070000.0);
  ASSERT_NE(Open(), nullptr);
  HWND prev = WaitForInfoWindow(/*prefix=*/false);
  ASSERT_NE(prev, nullptr);
  HWND content = GetDlgItem(prev, IDC_CONTENT);
  RECT r;
  GetClientRect(content, &r);
  const int h = r.bottom / 5;
  const int x = r.right - 3;  // right of every text
  // Nothing typed: one plain area.
  EXPECT_EQ(PixelWhen(content, {x, 2 * h + 6}, RGB(255, 250, 198)), RGB(255, 250, 198));

  host_.object().SetEnteredCall(L"UA3XYZ");
  host_.object().SetFrequency(3580000.0);
  CheckOnHost();
  ASSERT_EQ(TextWhen(prev, L"ZORVANT-2017 Previous QSO with UA3XYZ tour 1 "),
            L"ZORVANT-2017 Previous QSO with UA3XYZ tour 1 ");
  // The 80 m row (slot 1) is highlighted from 2h + 5 down to 3h.
  const struct {
    int y;
    COLORREF colour;
  } rows[] = {{2, RGB(255, 255, 198)},
              {2 * h + 4, RGB(255, 255, 198)},
              {2 * h + 5, RGB(198, 255, 255)},
              {3 * h - 1, RGB(198, 255, 255)},
              {3 * h, RGB(255, 255, 198)}};
  for (const auto& row : rows) EXPECT_EQ(PixelWhen(content, {x, row.y}, row.colour), row.colour) << row.y;

  // Pressed, released, clicked: the same picture.
  SendMessageA(content, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 2 * h + 6));
  Sleep(100);
  EXPECT_EQ(PixelWhen(content, {x, 2 * h + 6}, RGB(198, 255, 255)), RGB(198, 255, 255));
  EXPECT_EQ(PixelWhen(content, {x, 2}, RGB(255, 255, 198)), RGB(255, 255, 198));
  SendMessageA(content, WM_LBUTTONUP, 0, MAKELPARAM(x, 2 * h + 6));
  SendMessageA(content, BM_CLICK, 0, 0);
  Sleep(100);
  EXPECT_EQ(PixelWhen(content, {x, 2 * h + 6}, RGB(198, 255, 255)), RGB(198, 255, 255));
  EXPECT_EQ(PixelWhen(content, {x, 2}, RGB(255, 255, 198)), RGB(255, 255, 198));
}

// Its own Escape only takes a window off the screen: the Setup window still counts it open, so no refresh
// brings it back, and its check box then closes it for good; the next click opens a new one.
TEST_F(InfoWindows, EscapeHidesAWindowUntilItsCheckBoxIsClickedTwice) {
  SetSetting("setup_view_prev_qso", "1");
  HWND setup = Open();
  ASSERT_NE(setup, nullptr);
  HWND prev = WaitForInfoWindow(/*prefix=*/false);
  ASSERT_NE(prev, nullptr);
  PostMessageA(prev, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([prev] { return !IsWindowVisible(prev); }));
  CheckOnHost();
  Sleep(300);
  EXPECT_EQ(FindInfoWindow(/*prefix=*/false), nullptr);
  EXPECT_EQ(IsDlgButtonChecked(setup, IDC_VIEW_PREV_QSO), BST_CHECKED);
  Click(GetDlgItem(setup, IDC_VIEW_PREV_QSO));
  EXPECT_FALSE(IsWindow(prev));
  EXPECT_EQ(Setting("setup_view_prev_qso"), "0");
  Click(GetDlgItem(setup, IDC_VIEW_PREV_QSO));
  EXPECT_NE(WaitForInfoWindow(/*prefix=*/false), nullptr);
  EXPECT_EQ(Setting("setup_view_prev_qso"), "1");
}

}  // namespace
