#include "ui/drawn_button_win32.h"

#include <memory>
#include <string_view>

#include "ui/painters_win32.h"

namespace zorvant {
namespace {

// The most of a button's text that is drawn, terminating zero included.
constexpr int kMaxCaption = 512;

}  // namespace

bool CAdvancedComponent::SetCaptionColor(COLORREF color) {
  captionColor = color;
  Redraw();
  return true;
}

bool CAdvancedComponent::SetFaceColor(COLORREF color) {
  faceColor = color;
  Redraw();
  return true;
}

bool CAdvancedButton::Attach(int controlId, HWND parentDialog, COLORREF face, COLORREF caption,
                             COLORREF disabledCaption) {
  HWND control = parentDialog != nullptr ? GetDlgItem(parentDialog, controlId) : nullptr;
  if (control == nullptr) return false;
  // The button type is the low bits of the style; owner-drawn replaces whatever type the template gave.
  const LONG style = GetWindowLongA(control, GWL_STYLE);
  if ((style & BS_TYPEMASK) != BS_OWNERDRAW) {
    SetWindowLongA(control, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
  }
  hwnd_ = control;
  shape = kShapeRectangle;
  faceColor = face;
  captionColor = caption;
  disabledCaptionColor = disabledCaption;
  return true;
}

bool CAdvancedButton::HandleDrawItem(const DRAWITEMSTRUCT* item) {
  if (item == nullptr || hwnd_ == nullptr || item->CtlType != ODT_BUTTON || item->hwndItem != hwnd_) {
    return false;
  }
  DrawItem(*item);
  return true;
}

void CAdvancedButton::DrawItem(const DRAWITEMSTRUCT& item) {
  std::unique_ptr<DrawnObject> painter;
  if (shape == kShapeEllipse) {
    painter = std::make_unique<DrawnEllipse>();
  } else {
    painter = std::make_unique<DrawnRect>();
  }
  char text[kMaxCaption] = "";
  const int length = item.hwndItem != nullptr ? GetWindowTextA(item.hwndItem, text, kMaxCaption) : 0;
  painter->Draw(item.hDC, item.rcItem, item.itemState, faceColor);
  painter->DrawCaption(item.hDC, item.rcItem, std::string_view(text, length > 0 ? length : 0),
                       (item.itemState & ODS_DISABLED) != 0 ? disabledCaptionColor : captionColor);
}

void CAdvancedButton::Redraw() {
  // Without a window, a redraw of "no window" would repaint the whole desktop.
  if (hwnd_ == nullptr) return;
  RedrawWindow(hwnd_, /*lprcUpdate=*/nullptr, /*hrgnUpdate=*/nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

}  // namespace zorvant
