// What the two information windows paint, apart from the window system: the previous-QSO table
// (CCqWpxRtty) and the prefix grid (CCqWwInfoButton), each as a list of plain drawing steps.
//
// Threads: painting runs on the Setup thread while the host's thread may be changing the contest. A paint
// takes its copy with the engine lock held (the Copy functions), lets the lock go, and only then works out
// and carries out its steps, so nothing here that draws ever sees the shared state.
#ifndef ZORVANT_UI_CONTENT_DRAWING_H_
#define ZORVANT_UI_CONTENT_DRAWING_H_

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "engine/contest.h"
#include "ui/setup_logic.h"

namespace zorvant {

inline constexpr std::uint32_t kNothingShownColour = Rgb(255, 250, 198);
inline constexpr std::uint32_t kTableColour = Rgb(255, 255, 198);
inline constexpr std::uint32_t kCurrentBandColour = Rgb(198, 255, 255);

// Fill left..right-1 by top..bottom-1 with a solid colour.
struct FillStep {
  int left = 0, top = 0, right = 0, bottom = 0;
  std::uint32_t colour = 0;
  bool operator==(const FillStep& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom && colour == o.colour;
  }
};

// One text with its top-left corner at (x, y), in the context's default font and text colour, over
// whatever is already there (transparent background).
struct TextStep {
  int x = 0, y = 0;
  std::string text;
  bool operator==(const TextStep& o) const { return x == o.x && y == o.y && text == o.text; }
};

// Carried out in order: later steps paint over earlier ones.
using DrawStep = std::variant<FillStep, TextStep>;
using DrawSteps = std::vector<DrawStep>;

// --- Previous-QSO table.

struct PrevQsoTableCopy {
  std::string enteredCall;
  int currentBandSlot = -1;
  // Cells 0-3 (band, BPSK63 time, RTTY time, number) of the rows of 160m, 80m and 40m.
  std::array<std::array<std::string, 4>, 3> rows;
};

// Before the first reset the rows are empty: a cell a row does not have is copied as "-", the text the
// reset would have put there. REQUIRES: engine lock held.
PrevQsoTableCopy CopyPrevQsoTable(const Contest& contest);

// The table for an item of `width` x `height` pixels at (0, 0). No callsign: the plain background only.
// Otherwise the rows are height / 5 apart (all at y 10 for an item under 5 pixels high), and the current
// band's row gets a highlight band, left out while the rows are too close for it to have any height. The
// columns and the header's places are those of 96 DPI, scaled to `dpi` with the font.
DrawSteps DrawPrevQsoTable(const PrevQsoTableCopy& copy, int width, int height, int dpi = kBaseDpi);

// --- Prefix grid.

struct PrefixGridCopy {
  int currentBandSlot = -1;           // -1 also when the slot or the tour would name no list
  std::vector<std::string> prefixes;  // in byte order
};

// Sorts the list of the current tour and band in place, as the window always has (its order means
// nothing to anyone else, and the report rebuilds it anyway), and copies it. REQUIRES: engine lock held.
PrefixGridCopy CopyPrefixGrid(Contest& contest);

// The grid for an item of `width` x `height` pixels at (0, 0): entries 40 pixels apart from (5, 0),
// wrapping to a new line 15 pixels down once the next one would start past width - 40, so an item
// narrower than 85 pixels holds one per line. Lines below the bottom are listed too; they are clipped,
// there is no scrolling. Those are the pixels of 96 DPI: at another `dpi` the font grows, and so do they.
DrawSteps DrawPrefixGrid(const PrefixGridCopy& copy, int width, int height, int dpi = kBaseDpi);

}  // namespace zorvant

#endif  // ZORVANT_UI_CONTENT_DRAWING_H_
