// The information windows' content buttons, checked by the pixels a paint leaves in a 32-bit DIB behind a
// memory DC, with the item record built here as a dialog would send it.
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "engine/contest.h"
#include "gtest/gtest.h"
#include "platform/platform.h"
#include "tests/win/canvas.h"
#include "ui/content_buttons_win32.h"
#include "ui/gdi_win32.h"

namespace zorvant {
namespace {

constexpr COLORREF kNothingShown = RGB(255, 250, 198);
constexpr COLORREF kTable = RGB(255, 255, 198);
constexpr COLORREF kHighlight = RGB(198, 255, 255);
// The item record a dialog sends for control `id` of `type`, painting the whole canvas.
DRAWITEMSTRUCT Item(const Canvas& canvas, UINT state = 0, UINT action = ODA_DRAWENTIRE, UINT id = 1003,
                    UINT type = ODT_BUTTON) {
  DRAWITEMSTRUCT item = {};
  item.CtlType = type;
  item.CtlID = id;
  item.itemAction = action;
  item.itemState = state;
  item.hDC = canvas.dc();
  item.rcItem = canvas.rect();
  return item;
}

class ContentButtonsTest : public ::testing::Test {
 protected:
  ContentButtonsTest() {
    contest_.bandRows[0] = {"160m", "12:01", "   -", "007", "-"};
    contest_.bandRows[1] = {"80m", "   -", "13:30", "123", "-"};
    contest_.bandRows[2] = {"40m", "   -", "   -", "   -", "-"};
  }

  std::mutex engineLock_;
  Contest contest_{SystemPlatform()};
  CCqWpxRtty table_{engineLock_, contest_};
  CCqWwInfoButton grid_{engineLock_, contest_};
};

// 300 x 100 pixels: rows 20 apart, so slot s lights rows (s + 1) * 20 + 5 up to (s + 2) * 20, that one not
// included. Column 295 is right of every text.
TEST_F(ContentButtonsTest, TableBackgroundAndHighlight) {
  contest_.enteredCall = "UA9XYZ";
  const struct {
    int slot;
    int firstLit, lastLit;  // rows of the highlight at x 295; none when firstLit > lastLit
  } cases[] = {{-1, 1, 0}, {0, 25, 39}, {1, 45, 59}, {2, 65, 79}};
  for (const auto& c : cases) {
    SCOPED_TRACE("slot " + std::to_string(c.slot));
    contest_.currentBandSlot = c.slot;
    Canvas canvas(300, 100);
    const DRAWITEMSTRUCT item = Item(canvas);
    ASSERT_TRUE(table_.HandleDrawItem(&item));
    for (int y = 0; y < 100; ++y) {
      const bool lit = y >= c.firstLit && y <= c.lastLit;
      ASSERT_EQ(Describe(canvas.At(295, y)), Describe(lit ? kHighlight : kTable)) << "row " << y;
    }
    EXPECT_TRUE(canvas.AnyDark(160, 0, 220, 15)) << "the callsign";
    EXPECT_TRUE(canvas.AnyDark(20, 30, 60, 45)) << "160m";
  }
}

TEST_F(ContentButtonsTest, NothingToShowIsOnePlainArea) {
  contest_.currentBandSlot = 1;
  contest_.tourPrefixes[1] = {"DL", "OK"};
  {
    SCOPED_TRACE("no callsign");
    contest_.enteredCall = "";
    Canvas canvas(300, 100);
    const DRAWITEMSTRUCT item = Item(canvas);
    ASSERT_TRUE(table_.HandleDrawItem(&item));
    EXPECT_EQ(canvas.Count(kNothingShown), 300 * 100);
  }
  {
    SCOPED_TRACE("no band");
    contest_.currentBandSlot = -1;
    Canvas canvas(200, 100);
    const DRAWITEMSTRUCT item = Item(canvas);
    ASSERT_TRUE(grid_.HandleDrawItem(&item));
    EXPECT_EQ(canvas.Count(kNothingShown), 200 * 100);
  }
}

// 84 pixels wide: the second prefix starts a new line at x 5, 15 pixels down.
TEST_F(ContentButtonsTest, GridWrapsANarrowItem) {
  contest_.currentTour = 1;
  contest_.currentBandSlot = 0;
  contest_.tourPrefixes[1 * 3 + 0] = {"WW", "MM"};
  Canvas canvas(84, 60);
  const DRAWITEMSTRUCT item = Item(canvas);
  ASSERT_TRUE(grid_.HandleDrawItem(&item));
  EXPECT_TRUE(canvas.AnyDark(5, 0, 40, 15)) << "line 0";
  EXPECT_TRUE(canvas.AnyDark(5, 15, 40, 30)) << "line 1";
  EXPECT_FALSE(canvas.AnyDark(45, 0, 84, 60)) << "no second column";
  EXPECT_FALSE(canvas.AnyDark(0, 30, 84, 60)) << "no third line";
  EXPECT_EQ(Describe(canvas.At(80, 50)), Describe(kNothingShown));
}

// Pressing or focusing the button, or a redraw for either, paints exactly what a plain redraw does.
TEST_F(ContentButtonsTest, ItemStateChangesNothing) {
  contest_.enteredCall = "UA9XYZ";
  contest_.currentBandSlot = 1;
  contest_.tourPrefixes[1] = {"DL", "OK", "SP", "UA", "F"};
  const auto paint = [](auto& button, UINT state, UINT action) {
    Canvas canvas(200, 100);
    const DRAWITEMSTRUCT item = Item(canvas, state, action);
    EXPECT_TRUE(button.HandleDrawItem(&item));
    EXPECT_EQ(canvas.Count(kUntouched), 0);
    return canvas.Pixels();
  };
  const auto plainTable = paint(table_, 0, ODA_DRAWENTIRE);
  const auto plainGrid = paint(grid_, 0, ODA_DRAWENTIRE);
  for (UINT action : {ODA_DRAWENTIRE, ODA_SELECT, ODA_FOCUS}) {
    SCOPED_TRACE("action " + std::to_string(action));
    EXPECT_TRUE(paint(table_, ODS_SELECTED | ODS_FOCUS, action) == plainTable);
    EXPECT_TRUE(paint(grid_, ODS_SELECTED | ODS_FOCUS, action) == plainGrid);
  }
}

TEST_F(ContentButtonsTest, OtherItemsAreLeftAlone) {
  contest_.enteredCall = "UA9XYZ";
  contest_.currentBandSlot = 0;
  Canvas canvas(100, 50);
  const DRAWITEMSTRUCT others[] = {Item(canvas, 0, ODA_DRAWENTIRE, /*id=*/1004),
                                   Item(canvas, 0, ODA_DRAWENTIRE, /*id=*/1003, /*type=*/ODT_STATIC)};
  for (const DRAWITEMSTRUCT& item : others) {
    EXPECT_FALSE(table_.HandleDrawItem(&item));
    EXPECT_FALSE(grid_.HandleDrawItem(&item));
  }
  EXPECT_FALSE(table_.HandleDrawItem(nullptr));
  EXPECT_FALSE(grid_.HandleDrawItem(nullptr));
  EXPECT_EQ(canvas.Count(kUntouched), 100 * 50);
}

// The host's thread may hold the lock while it rebuilds the lists: a paint waits for it, and lets it go.
TEST_F(ContentButtonsTest, PaintWaitsForTheEngineLock) {
  contest_.enteredCall = "UA9XYZ";
  contest_.currentBandSlot = 2;
  contest_.tourPrefixes[2] = {"UA", "DL"};
  for (int which = 0; which < 2; ++which) {
    SCOPED_TRACE(which == 0 ? "table" : "grid");
    Canvas canvas(200, 100);
    std::unique_lock<std::mutex> host(engineLock_);
    auto painted = std::async(std::launch::async, [&] {
      const DRAWITEMSTRUCT item = Item(canvas);
      return which == 0 ? table_.HandleDrawItem(&item) : grid_.HandleDrawItem(&item);
    });
    EXPECT_EQ(painted.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    EXPECT_EQ(canvas.Count(kUntouched), 200 * 100);
    host.unlock();
    ASSERT_EQ(painted.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(painted.get());
    EXPECT_EQ(canvas.Count(kUntouched), 0);
    EXPECT_TRUE(engineLock_.try_lock());
    engineLock_.unlock();
  }
}

}  // namespace
}  // namespace zorvant
