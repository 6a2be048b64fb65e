#include "ui/content_buttons_win32.h"

#include <variant>

#include "ui/content_drawing.h"
#include "ui/gdi_win32.h"
#include "ui/mem_dc_win32.h"

namespace zorvant {
namespace {

bool IsContentItem(const DRAWITEMSTRUCT* item) {
  return item != nullptr && item->CtlType == ODT_BUTTON && item->CtlID == kContentControlId;
}

// Carries out the steps on the item's DC, all in one copy to the screen.
void Paint(const DRAWITEMSTRUCT& item, const DrawSteps& steps) {
  CMemDC memory(item.hDC);
  const HDC dc = memory.dc();
  // Without an off-screen bitmap this is the window's own DC, which must get its mode back.
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  for (const DrawStep& step : steps) {
    if (const auto* fill = std::get_if<FillStep>(&step)) {
      const RECT rect = {fill->left, fill->top, fill->right, fill->bottom};
      ScopedBrush brush(CreateSolidBrush(static_cast<COLORREF>(fill->colour)));
      if (brush) FillRect(dc, &rect, brush.get());
    } else if (const auto* text = std::get_if<TextStep>(&step)) {
      TextOutA(dc, text->x, text->y, text->text.data(), static_cast<int>(text->text.size()));
    }
  }
  if (oldMode != 0) SetBkMode(dc, oldMode);
}

}  // namespace

bool CCqWpxRtty::HandleDrawItem(const DRAWITEMSTRUCT* item) const {
  if (!IsContentItem(item)) return false;
  DrawItem(*item);
  return true;
}

void CCqWpxRtty::DrawItem(const DRAWITEMSTRUCT& item) const {
  PrevQsoTableCopy copy;
  {
    std::lock_guard<std::mutex> lock(engineLock_);
    copy = CopyPrevQsoTable(contest_);
  }
  Paint(item, DrawPrevQsoTable(copy, item.rcItem.right, item.rcItem.bottom, WindowDpi(item.hwndItem)));
}

bool CCqWwInfoButton::HandleDrawItem(const DRAWITEMSTRUCT* item) const {
  if (!IsContentItem(item)) return false;
  DrawItem(*item);
  return true;
}

void CCqWwInfoButton::DrawItem(const DRAWITEMSTRUCT& item) const {
  PrefixGridCopy copy;
  {
    std::lock_guard<std::mutex> lock(engineLock_);
    copy = CopyPrefixGrid(contest_);
  }
  Paint(item, DrawPrefixGrid(copy, item.rcItem.right, item.rcItem.bottom, WindowDpi(item.hwndItem)));
}

}  // namespace zorvant
