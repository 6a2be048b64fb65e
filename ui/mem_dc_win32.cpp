#include "ui/mem_dc_win32.h"

#include <utility>

namespace zorvant {

CMemDC::CMemDC(HDC target) : CMemDC(target, IsPrinter(target)) {}

CMemDC::CMemDC(HDC target, bool printing) : target_(target), dc_(target) {
  if (printing || target == nullptr) return;
  // Nothing of an empty clip box shows, wherever it is drawn.
  RECT area;
  if (GetClipBox(target, &area) == ERROR || IsRectEmpty(&area)) return;
  ScopedCreatedDC memory(CreateCompatibleDC(target));
  if (!memory) return;
  // Without its own bitmap the memory DC holds a 1x1 stock one, whose copy would spread junk over the
  // window; when the area is too big for a bitmap, the paint goes straight to the target instead.
  ScopedBitmap bitmap(CreateCompatibleBitmap(target, area.right - area.left, area.bottom - area.top));
  if (!bitmap) return;
  ScopedSelect selected(memory.get(), bitmap.get());
  SetWindowOrgEx(memory.get(), area.left, area.top, /*lppt=*/nullptr);

  memory_ = std::move(memory);
  bitmap_ = std::move(bitmap);
  bitmapSelected_ = std::move(selected);
  dc_ = memory_.get();
  area_ = area;
  offScreen_ = true;
}

CMemDC::~CMemDC() {
  if (!offScreen_) return;
  BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, memory_.get(),
         area_.left, area_.top, SRCCOPY);
}

bool CMemDC::IsPrinter(HDC dc) {
  if (dc == nullptr) return false;
  const int technology = GetDeviceCaps(dc, TECHNOLOGY);
  return technology == DT_RASPRINTER || technology == DT_PLOTTER;
}

}  // namespace zorvant
