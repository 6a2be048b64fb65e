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
#include "ui/content_buttons_win32.h"
#include "ui/gdi_win32.h"

namespace zorvant {
namespace {

constexpr COLORREF kNothingShown = RGB(255, 250, 198);
constexpr COLORREF kTable = RGB(255, 255, 198);
constexpr COLORREF kHighlight = RGB(198, 255, 255);
// No paint uses this colour, so any pixel of it was left alone.
constexpr COLORREF kUntouched = RGB(0, 0, 255);

std::string Describe(COLORREF c) {
  if (c == CLR_INVALID) return "invalid";
  return "RGB(" + std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
         std::to_string(GetBValue(c)) + ")";
}

// A 32-bit DIB selected into a memory DC, filled with kUntouched.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_.Reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits_, /*hSection=*/nullptr, 0));
    selected_ = ScopedSelect(dc_.get(), bitmap_.get());
    ScopedBrush brush(CreateSolidBrush(kUntouched));
    const RECT all = rect();
    FillRect(dc_.get(), &all, brush.get());
  }

  RECT rect() const { return RECT{0, 0, width_, height_}; }
  COLORREF At(int x, int y) const { return GetPixel(dc_.get(), x, y); }
  int Count(COLORREF color) const {
    int n = 0;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) n += At(x, y) == color;
    }
    return n;
  }
  // Whether a pixel of text (black by default, far darker than any background) lies in x0..x1-1, y0..y1-1.
  bool AnyDark(int x0, int y0, int x1, int y1) const {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const COLORREF c = At(x, y);
        if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 300) return true;
      }
    }
    return false;
  }
  std::vector<std::uint32_t> Pixels() const {
    GdiFlush();
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width_) * height_);
    std::memcpy(pixels.data(), bits_, pixels.size() * sizeof pixels[0]);
    return pixels;
  }
  DRAWITEMSTRUCT Item(UINT state = 0, UINT action = ODA_DRAWENTIRE, UINT id = 1003,
                      UINT type = ODT_BUTTON) const {
    DRAWITEMSTRUCT item = {};
    item.CtlType = type;
    item.CtlID = id;
    item.itemAction = action;
    item.itemState = state;
    item.hDC = dc_.get();
    item.rcItem = rect();
    return item;
  }

 private:
  int width_, height_;
  ScopedCreatedDC dc_;
  ScopedBitmap bitmap_;
  ScopedSelect selected_;
  void* bits_ = nullptr;
};

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
    const DRAWITEMSTRUCT item = canvas.Item();
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
    const DRAWITEMSTRUCT item = canvas.Item();
    ASSERT_TRUE(table_.HandleDrawItem(&item));
    EXPECT_EQ(canvas.Count(kNothingShown), 300 * 100);
  }
  {
    SCOPED_TRACE("no band");
    contest_.currentBandSlot = -1;
    Canvas canvas(200, 100);
    const DRAWITEMSTRUCT item = canvas.Item();
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
  const DRAWITEMSTRUCT item = canvas.Item();
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
    const DRAWITEMSTRUCT item = canvas.Item(state, action);
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
  const DRAWITEMSTRUCT others[] = {canvas.Item(0, ODA_DRAWENTIRE, /*id=*/1004),
                                   canvas.Item(0, ODA_DRAWENTIRE, /*id=*/1003, /*type=*/ODT_STATIC)};
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
      const DRAWITEMSTRUCT item = canvas.Item();
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
