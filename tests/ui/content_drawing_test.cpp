// What the information windows paint, as drawing steps: the previous-QSO table and the prefix grid, and
// the copies of the contest they are drawn from.
#include "ui/content_drawing.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/contest.h"
#include "platform/platform.h"

namespace zorvant {

void PrintTo(const FillStep& f, std::ostream* os) {
  *os << "Fill(" << f.left << "," << f.top << ")-(" << f.right << "," << f.bottom << ") colour " << std::hex
      << f.colour << std::dec;
}
void PrintTo(const TextStep& t, std::ostream* os) {
  *os << "Text(" << t.x << "," << t.y << ") \"" << t.text << "\"";
}

namespace {

using List = std::vector<std::string>;

PrevQsoTableCopy TableOf(const std::string& call, int slot) {
  PrevQsoTableCopy copy;
  copy.enteredCall = call;
  copy.currentBandSlot = slot;
  copy.rows = {
      {{"160m", "12:01", "   -", "007"}, {"80m", "   -", "13:30", "123"}, {"40m", "   -", "   -", "   -"}}};
  return copy;
}

std::vector<FillStep> Fills(const DrawSteps& steps) {
  std::vector<FillStep> fills;
  for (const DrawStep& s : steps) {
    if (const auto* f = std::get_if<FillStep>(&s)) fills.push_back(*f);
  }
  return fills;
}

std::vector<TextStep> Texts(const DrawSteps& steps) {
  std::vector<TextStep> texts;
  for (const DrawStep& s : steps) {
    if (const auto* t = std::get_if<TextStep>(&s)) texts.push_back(*t);
  }
  return texts;
}

// --- Previous-QSO table --------------------------------------------------------------------------------

TEST(ContentTableDrawing, NoCallsignIsThePlainBackgroundOnly) {
  for (int slot : {-1, 0, 2}) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    EXPECT_EQ(DrawPrevQsoTable(TableOf("", slot), 300, 120),
              (DrawSteps{FillStep{0, 0, 300, 120, kNothingShownColour}}));
  }
}

// The whole picture once: the header's own positions, then rows 1-3 at 10 + r * h on the row columns.
TEST(ContentTableDrawing, WholeTableWithTheCurrentBand) {
  const DrawSteps expected = {
      FillStep{0, 0, 300, 100, kTableColour},
      FillStep{0, 45, 300, 60, kCurrentBandColour},
      TextStep{20, 18, "Band"},
      TextStep{100, 18, "BPSK63"},
      TextStep{160, 0, "UA9XYZ"},
      TextStep{178, 18, "RTTY"},
      TextStep{263, 18, "NR"},
      TextStep{20, 30, "160m"},
      TextStep{100, 30, "12:01"},
      TextStep{180, 30, "   -"},
      TextStep{260, 30, "007"},
      TextStep{20, 50, "80m"},
      TextStep{100, 50, "   -"},
      TextStep{180, 50, "13:30"},
      TextStep{260, 50, "123"},
      TextStep{20, 70, "40m"},
      TextStep{100, 70, "   -"},
      TextStep{180, 70, "   -"},
      TextStep{260, 70, "   -"},
  };
  EXPECT_EQ(DrawPrevQsoTable(TableOf("UA9XYZ", 1), 300, 100), expected);
}

TEST(ContentTableDrawing, HighlightAndRowsFollowTheHeight) {
  const struct {
    int slot, height;
    std::optional<FillStep> highlight;
    int rowY[3];
  } cases[] = {
      {-1, 100, std::nullopt, {30, 50, 70}},
      {0, 100, FillStep{0, 25, 250, 40, kCurrentBandColour}, {30, 50, 70}},
      {2, 100, FillStep{0, 65, 250, 80, kCurrentBandColour}, {30, 50, 70}},
      {2, 34, FillStep{0, 23, 250, 24, kCurrentBandColour}, {16, 22, 28}},  // h 6: one pixel high
      {1, 25, std::nullopt, {15, 20, 25}},                                  // h 5: no height
      {1, 4, std::nullopt, {10, 10, 10}},                                   // h 0: upside down
      {0, 0, std::nullopt, {10, 10, 10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("slot " + std::to_string(c.slot) + " height " + std::to_string(c.height));
    const DrawSteps steps = DrawPrevQsoTable(TableOf("DL1ABC", c.slot), 250, c.height);
    std::vector<FillStep> expectedFills = {FillStep{0, 0, 250, c.height, kTableColour}};
    if (c.highlight) expectedFills.push_back(*c.highlight);
    EXPECT_EQ(Fills(steps), expectedFills);

    const std::vector<TextStep> texts = Texts(steps);
    ASSERT_EQ(texts.size(), 5u + 12u);
    for (std::size_t i = 5; i < texts.size(); ++i)
      EXPECT_EQ(texts[i].y, c.rowY[(i - 5) / 4]) << texts[i].text;
  }
}

// --- The table's copy -------------------------------------------------------------------------------------

TEST(ContentTableCopy, MissingCellsBecomeDashesAndOnlyTheFirstThreeRowsCount) {
  Contest contest(SystemPlatform());
  contest.enteredCall = "OK1XX";
  contest.currentBandSlot = 2;
  // Before the first reset the rows are empty; a row part-way filled shows the same way.
  contest.bandRows[1] = {"80m", "10:00"};
  contest.bandRows[2] = {"40m", "11:11", "22:22", "059", "never shown"};
  contest.bandRows[3] = {"20m", "99:99", "99:99", "999"};

  const PrevQsoTableCopy copy = CopyPrevQsoTable(contest);
  EXPECT_EQ(copy.enteredCall, "OK1XX");
  EXPECT_EQ(copy.currentBandSlot, 2);
  using Row = std::array<std::string, 4>;
  EXPECT_EQ(copy.rows[0], (Row{"-", "-", "-", "-"}));
  EXPECT_EQ(copy.rows[1], (Row{"80m", "10:00", "-", "-"}));
  EXPECT_EQ(copy.rows[2], (Row{"40m", "11:11", "22:22", "059"}));

  // A fresh contest: every cell of the table is drawn, as "-".
  contest.bandRows[1].clear();
  contest.bandRows[2].clear();
  const std::vector<TextStep> texts = Texts(DrawPrevQsoTable(CopyPrevQsoTable(contest), 300, 100));
  ASSERT_EQ(texts.size(), 5u + 12u);
  for (std::size_t i = 5; i < texts.size(); ++i) EXPECT_EQ(texts[i].text, "-");
}

// --- Prefix grid -----------------------------------------------------------------------------------------

struct Place {
  int x, y;
};

TEST(ContentGridDrawing, EntriesWrapPastRightMinus40) {
  const struct {
    int width;
    std::vector<Place> places;
  } cases[] = {
      {84, {{5, 0}, {5, 15}, {5, 30}, {5, 45}, {5, 60}, {5, 75}}},     // narrower than 85: one per line
      {85, {{5, 0}, {45, 0}, {5, 15}, {45, 15}, {5, 30}, {45, 30}}},   // 45 is not past 45
      {200, {{5, 0}, {45, 0}, {85, 0}, {125, 0}, {5, 15}, {45, 15}}},  // 165 is past 160
  };
  PrefixGridCopy copy;
  copy.currentBandSlot = 1;
  copy.prefixes = {"DL", "F", "G", "OK", "SP", "UA"};
  for (const auto& c : cases) {
    SCOPED_TRACE("width " + std::to_string(c.width));
    // 20 pixels high: the lower lines fall outside the item and are still listed.
    DrawSteps expected = {FillStep{0, 0, c.width, 20, kNothingShownColour}};
    for (std::size_t i = 0; i < c.places.size(); ++i) {
      expected.push_back(TextStep{c.places[i].x, c.places[i].y, copy.prefixes[i]});
    }
    EXPECT_EQ(DrawPrefixGrid(copy, c.width, 20), expected);
  }
}

// A screen at more than 96 DPI has a larger font: the grid's columns and lines grow with it, so that its rows
// do not run into each other.
TEST(ContentGridDrawing, ColumnsAndLinesGrowWithTheDpi) {
  PrefixGridCopy copy;
  copy.currentBandSlot = 0;
  copy.prefixes = {"DL", "F", "UA"};
  struct Case {
    int dpi, width;
    std::vector<Place> places;
  } cases[] = {
      {96, 100, {{5, 0}, {45, 0}, {5, 15}}},
      {144, 150, {{8, 0}, {68, 0}, {8, 23}}},
      {192, 200, {{10, 0}, {90, 0}, {10, 30}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.dpi) + " DPI");
    DrawSteps expected = {FillStep{0, 0, c.width, 100, kNothingShownColour}};
    for (std::size_t i = 0; i < c.places.size(); ++i) {
      expected.push_back(TextStep{c.places[i].x, c.places[i].y, copy.prefixes[i]});
    }
    EXPECT_EQ(DrawPrefixGrid(copy, c.width, 100, c.dpi), expected);
  }
}

TEST(ContentGridDrawing, NoBandOrNoPrefixesIsTheBackgroundOnly) {
  PrefixGridCopy noBand;
  noBand.currentBandSlot = -1;
  noBand.prefixes = {"DL", "F"};
  PrefixGridCopy empty;
  empty.currentBandSlot = 0;
  for (const PrefixGridCopy& copy : {noBand, empty}) {
    EXPECT_EQ(DrawPrefixGrid(copy, 200, 100), (DrawSteps{FillStep{0, 0, 200, 100, kNothingShownColour}}));
  }
}

// --- The grid's copy --------------------------------------------------------------------------------------

TEST(ContentGridCopy, SortsTheCurrentListByUnsignedBytes) {
  Contest contest(SystemPlatform());
  contest.currentTour = 1;
  contest.currentBandSlot = 2;
  // Bytes above 127 (Cyrillic in code page 1251) sort after ASCII, not before it as signed chars would.
  const List unsorted = {"\xD0\xC0", "UA", "ua", "9A", "\x80", "UA", "U"};
  const List sorted = {"9A", "U", "UA", "UA", "ua", "\x80", "\xD0\xC0"};
  contest.tourPrefixes[1 * 3 + 2] = unsorted;
  contest.tourPrefixes[0 * 3 + 2] = unsorted;  // the other tour's list of the same band

  const PrefixGridCopy copy = CopyPrefixGrid(contest);
  EXPECT_EQ(copy.currentBandSlot, 2);
  EXPECT_EQ(copy.prefixes, sorted);
  EXPECT_EQ(contest.tourPrefixes[1 * 3 + 2], sorted);  // the shared list stays sorted
  EXPECT_EQ(contest.tourPrefixes[0 * 3 + 2], unsorted);
}

TEST(ContentGridCopy, NoListForTheSlotOrTourCopiesNothing) {
  const struct { int slot, tour; } cases[] = {{-1, 0}, {3, 0}, {0, 2}, {1, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE("slot " + std::to_string(c.slot) + " tour " + std::to_string(c.tour));
    Contest contest(SystemPlatform());
    for (auto& list : contest.tourPrefixes) list = {"Z", "A"};
    contest.currentBandSlot = c.slot;
    contest.currentTour = static_cast<std::int16_t>(c.tour);
    const PrefixGridCopy copy = CopyPrefixGrid(contest);
    EXPECT_EQ(copy.currentBandSlot, -1);
    EXPECT_TRUE(copy.prefixes.empty());
    for (const auto& list : contest.tourPrefixes) EXPECT_EQ(list, (List{"Z", "A"}));
  }
}

}  // namespace
}  // namespace zorvant
