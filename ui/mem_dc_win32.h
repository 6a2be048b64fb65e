// An off-screen context for one paint: everything drawn on it appears on the target in one copy when it
// ends, so a window that repaints its whole content does not flicker. It covers the target's clip box and
// uses the target's coordinates.
//
// A printer is drawn on directly: it does not flicker, a bitmap of a whole page would be huge, and some
// printers take no block copy at all. A target counts as a printer when its device
// technology is a raster printer or a plotter; a caller that knows better can say so.
//
// The off-screen context starts with the default font, colours and brush of a new DC, not the target's.
#ifndef ZORVANT_UI_MEM_DC_WIN32_H_
#define ZORVANT_UI_MEM_DC_WIN32_H_

#include <windows.h>

#include "ui/gdi_win32.h"

namespace zorvant {

class CMemDC {
 public:
  // Asks the target's device whether it is a printer.
  explicit CMemDC(HDC target);
  // `printing` decides instead: true draws straight to the target.
  CMemDC(HDC target, bool printing);
  // Copies the covered area to the target, unless drawing went to the target itself.
  ~CMemDC();
  CMemDC(const CMemDC&) = delete;
  CMemDC& operator=(const CMemDC&) = delete;

  // Where to draw: the off-screen context, or the target itself.
  HDC dc() const { return dc_; }
  operator HDC() const { return dc_; }
  // False when drawing goes straight to the target: a printer, or no off-screen bitmap could be made.
  bool offScreen() const { return offScreen_; }
  // The covered area in the target's coordinates; empty when drawing goes straight to the target.
  const RECT& area() const { return area_; }

  static bool IsPrinter(HDC dc);

 private:
  HDC target_;
  HDC dc_;
  bool offScreen_ = false;
  RECT area_ = {0, 0, 0, 0};
  ScopedCreatedDC memory_;
  ScopedBitmap bitmap_;
  ScopedSelect bitmapSelected_;  // after the bitmap: ends first, so the bitmap is free to delete
};

}  // namespace zorvant

#endif  // ZORVANT_UI_MEM_DC_WIN32_H_
