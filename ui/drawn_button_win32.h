// A push button whose face, caption and shape the plug-in draws itself, with colours that change while it
// is shown. The Setup window's mode buttons are two of these and show the chosen mode by a green face.
//
// There is no window subclassing: the button's owner gets WM_DRAWITEM and hands it on, e.g.
//
//   case WM_DRAWITEM:
//     if (bpsk.HandleDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ||
//         rtty.HandleDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
//       return TRUE;
//     }
//     break;
//
// Being owner-drawn, the control reports a quick second click as BN_DOUBLECLICKED rather than BN_CLICKED.
//
// Used on the thread that owns the dialog.
#ifndef ZORVANT_UI_DRAWN_BUTTON_WIN32_H_
#define ZORVANT_UI_DRAWN_BUTTON_WIN32_H_

#include <windows.h>

namespace zorvant {

inline constexpr int kShapeRectangle = 0;
inline constexpr int kShapeEllipse = 1;

// The look of a drawn control. A colour change shows at once.
class CAdvancedComponent {
 public:
  virtual ~CAdvancedComponent() = default;

  // Each stores its colour, redraws now and returns true.
  virtual bool SetCaptionColor(COLORREF color);
  virtual bool SetFaceColor(COLORREF color);
  virtual void Redraw() = 0;

  COLORREF faceColor = RGB(240, 240, 240);
  COLORREF captionColor = RGB(0, 0, 0);
  COLORREF disabledCaptionColor = RGB(128, 128, 128);
  int shape = kShapeRectangle;  // kShapeRectangle or kShapeEllipse; set it, then Redraw
};

class CAdvancedButton : public CAdvancedComponent {
 public:
  CAdvancedButton() = default;
  CAdvancedButton(const CAdvancedButton&) = delete;
  CAdvancedButton& operator=(const CAdvancedButton&) = delete;

  // Takes over control `controlId` of `parentDialog`: gives it the owner-drawn style, the rectangle shape
  // and these colours. False, with nothing changed, when the dialog has no such control. The control stays
  // the dialog's; this object never destroys it.
  bool Attach(int controlId, HWND parentDialog, COLORREF face, COLORREF caption, COLORREF disabledCaption);

  // For the owner's WM_DRAWITEM: paints and returns true when the item is this button, returns false
  // for any other item (and for null).
  bool HandleDrawItem(const DRAWITEMSTRUCT* item);
  // Paints the item into item.hDC: the face in the current shape, then the caption (the item window's
  // text) in the caption colour, or the disabled one while the item is disabled.
  void DrawItem(const DRAWITEMSTRUCT& item);

  // Invalidates, erases and repaints the button before returning. Nothing happens before Attach.
  void Redraw() override;

  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

}  // namespace zorvant

#endif  // ZORVANT_UI_DRAWN_BUTTON_WIN32_H_
