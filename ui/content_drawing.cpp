#include "ui/content_drawing.h"

#include <algorithm>
#include <cstddef>

namespace zorvant {
namespace {

constexpr int kRowXs[4] = {20, 100, 180, 260};
constexpr int kFirstRowY = 10;
constexpr int kRowHeightDivisor = 5;
constexpr int kHighlightInset = 5;

constexpr int kGridLeft = 5;
constexpr int kGridColumn = 40;
constexpr int kGridLine = 15;

FillStep Fill(int width, int height, std::uint32_t colour) { return FillStep{0, 0, width, height, colour}; }

}  // namespace

PrevQsoTableCopy CopyPrevQsoTable(const Contest& contest) {
  PrevQsoTableCopy copy;
  copy.enteredCall = contest.enteredCall;
  copy.currentBandSlot = contest.currentBandSlot;
  for (std::size_t r = 0; r < copy.rows.size(); ++r) {
    const std::vector<std::string>& row = contest.bandRows[r];
    for (std::size_t cell = 0; cell < copy.rows[r].size(); ++cell) {
      copy.rows[r][cell] = cell < row.size() ? row[cell] : "-";
    }
  }
  return copy;
}

DrawSteps DrawPrevQsoTable(const PrevQsoTableCopy& copy, int width, int height, int dpi) {
  if (copy.enteredCall.empty()) return {Fill(width, height, kNothingShownColour)};

  const auto px = [dpi](int pixels) { return ScaledToDpi(pixels, dpi); };
  DrawSteps steps = {Fill(width, height, kTableColour)};
  const int h = height / kRowHeightDivisor;
  const int s = copy.currentBandSlot;
  if (s >= 0) {
    const FillStep band = {0, (s + 1) * h + px(kHighlightInset), width, (s + 2) * h, kCurrentBandColour};
    // Rows less than 6 pixels apart leave the band no height, or under 5 an upside-down one, which
    // FillRect would turn round into a band reaching up over the header; neither is drawn.
    if (band.top < band.bottom) steps.push_back(band);
  }
  // The header's texts do not sit over the rows' columns.
  steps.push_back(TextStep{px(20), px(18), "Band"});
  steps.push_back(TextStep{px(100), px(18), "BPSK63"});
  steps.push_back(TextStep{px(160), 0, copy.enteredCall});
  steps.push_back(TextStep{px(178), px(18), "RTTY"});
  steps.push_back(TextStep{px(263), px(18), "NR"});
  for (int r = 1; r <= static_cast<int>(copy.rows.size()); ++r) {
    const auto& row = copy.rows[static_cast<std::size_t>(r - 1)];
    for (std::size_t cell = 0; cell < row.size(); ++cell) {
      steps.push_back(TextStep{px(kRowXs[cell]), px(kFirstRowY) + r * h, row[cell]});
    }
  }
  return steps;
}

PrefixGridCopy CopyPrefixGrid(Contest& contest) {
  PrefixGridCopy copy;
  const int slot = contest.currentBandSlot;
  const int tour = contest.currentTour;
  if (slot < 0 || slot >= kPrefixBands || tour < 0 || tour > 1) return copy;
  std::vector<std::string>& list = contest.tourPrefixes[static_cast<std::size_t>(tour * kPrefixBands + slot)];
  // std::string compares its bytes as unsigned char, as the grid always has ordered them.
  std::sort(list.begin(), list.end());
  copy.currentBandSlot = slot;
  copy.prefixes = list;
  return copy;
}

DrawSteps DrawPrefixGrid(const PrefixGridCopy& copy, int width, int height, int dpi) {
  DrawSteps steps = {Fill(width, height, kNothingShownColour)};
  if (copy.currentBandSlot < 0) return steps;
  const int left = ScaledToDpi(kGridLeft, dpi), column = ScaledToDpi(kGridColumn, dpi),
            line = ScaledToDpi(kGridLine, dpi);
  int x = left, y = 0;
  for (const std::string& prefix : copy.prefixes) {
    steps.push_back(TextStep{x, y, prefix});
    x += column;
    if (x > width - column) {
      x = left;
      y += line;
    }
  }
  return steps;
}

}  // namespace zorvant
