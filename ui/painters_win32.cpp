#include "ui/painters_win32.h"

#include <cstdlib>

#include "ui/gdi_win32.h"

namespace zorvant {
namespace {

// A grey given relative to the palette, so that a palette device shows its nearest grey instead of a dither.
COLORREF PaletteGrey(int level) { return PALETTERGB(level, level, level); }

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  ScopedBrush brush(CreateSolidBrush(color));
  if (brush) FillRect(dc, &rect, brush.get());
}

// One ring just inside `rect`. The top-right and bottom-left corner pixels go to the dark sides.
void DrawRing(HDC dc, const RECT& rect, COLORREF topLeft, COLORREF bottomRight) {
  const LONG l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
  FillSolid(dc, RECT{l, t, r - 1, t + 1}, topLeft);
  FillSolid(dc, RECT{l, t, l + 1, b - 1}, topLeft);
  FillSolid(dc, RECT{r - 1, t, r, b}, bottomRight);
  FillSolid(dc, RECT{l, b - 1, r, b}, bottomRight);
}

// The inside takes the brush the DC holds, or is left alone when `brush` is the hollow stock brush.
void DrawEllipseWithPen(HDC dc, const RECT& rect, int penStyle, int width, COLORREF color,
                        HBRUSH brush = nullptr) {
  ScopedPen pen(CreatePen(penStyle, width, color));
  ScopedSelect penSelected(dc, pen.get());
  ScopedSelect brushSelected(dc, brush);
  Ellipse(dc, rect.left, rect.top, rect.right, rect.bottom);
}

}  // namespace

void DrawnObject::DrawCaption(HDC dc, RECT rect, std::string_view text, COLORREF color) const {
  const COLORREF oldColor = SetTextColor(dc, color);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  DrawTextA(dc, text.data(), static_cast<int>(text.size()), &rect, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldColor);
}

void DrawnRect::Draw(HDC dc, RECT rect, UINT state, COLORREF face) const {
  Fill(dc, rect, face);
  DrawEdge(dc, rect, 2);
  if ((state & ODS_FOCUS) == 0) return;
  // Pressing shows only on the focused button; the outer ring then sinks and the inner one stays raised.
  if ((state & ODS_SELECTED) != 0) DrawEdge(dc, rect, -1);
  InflateRect(&rect, -2, -2);
  DrawFocus(dc, rect, face);
}

void DrawnRect::DrawEdge(HDC dc, RECT rect, int depth) const {
  const int n = std::abs(depth);
  for (int i = 1; i <= n && !IsRectEmpty(&rect); ++i) {
    COLORREF light = RGB(255, 255, 255);
    COLORREF dark = RGB(128, 128, 128);
    if (n != 1) {
      light = PaletteGrey(192 + 63 / i);
      dark = PaletteGrey(255 / (i + 1));
    }
    if (depth > 0) {
      DrawRing(dc, rect, light, dark);
    } else {
      DrawRing(dc, rect, dark, light);
    }
    InflateRect(&rect, -1, -1);
  }
}

void DrawnRect::Fill(HDC dc, RECT rect, COLORREF color) const { FillSolid(dc, rect, color); }

void DrawnRect::DrawFocus(HDC dc, RECT rect, COLORREF /*color*/) const { DrawFocusRect(dc, &rect); }

void DrawnEllipse::Draw(HDC dc, RECT rect, UINT state, COLORREF face) const {
  RECT r = rect;
  InflateRect(&r, -1, -1);
  DrawEdge(dc, r, 2);
  InflateRect(&r, -1, -1);
  Fill(dc, r, face);
  if ((state & ODS_FOCUS) == 0) return;
  if ((state & ODS_SELECTED) != 0) {
    InflateRect(&r, 1, 1);
    DrawEdge(dc, r, -1);
    InflateRect(&r, -1, -1);
    DrawEdge(dc, r, -1);
  }
  Fill(dc, r, face);
  InflateRect(&r, -2, -2);
  DrawFocus(dc, r, face);
  InflateRect(&r, -1, -1);
  Fill(dc, r, face);
}

void DrawnEllipse::DrawEdge(HDC dc, RECT rect, int depth) const {
  DrawEllipseWithPen(dc, rect, PS_SOLID, /*width=*/2, depth >= 0 ? RGB(128, 128, 128) : RGB(1, 1, 1));
}

void DrawnEllipse::Fill(HDC dc, RECT rect, COLORREF color) const {
  ScopedPen pen(CreatePen(PS_SOLID, /*cWidth=*/3, color));
  ScopedSelect selected(dc, pen.get());
  // The pen is wider than the step, so neighbouring rings overlap and leave no gap.
  while (!IsRectEmpty(&rect)) {
    InflateRect(&rect, -1, -1);
    Ellipse(dc, rect.left, rect.top, rect.right, rect.bottom);
  }
}

void DrawnEllipse::DrawFocus(HDC dc, RECT rect, COLORREF color) const {
  const int oldMode = SetBkMode(dc, OPAQUE);
  const COLORREF oldColor = SetBkColor(dc, color);
  // Only the dotted line: the fill after it does not quite reach the line everywhere, and whatever brush
  // the DC holds would show through there in specks.
  DrawEllipseWithPen(dc, rect, PS_DOT, /*width=*/1, RGB(1, 1, 1),
                     static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH)));
  SetBkColor(dc, oldColor);
  SetBkMode(dc, oldMode);
}

}  // namespace zorvant
