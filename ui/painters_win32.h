// The shapes of the plug-in's drawn buttons: a face, a bevelled or pressed edge, a focus mark and a centred
// caption, as a rectangle or as the rectangle's inscribed ellipse. A painter has no state; the button makes
// one for each paint.
//
// Every rectangle is taken by value. `state` holds the owner-draw ODS_* bits; the painters look at
// ODS_SELECTED and ODS_FOCUS only. Whatever a painter selects into the DC or changes in it is put back
// before it returns.
#ifndef ZORVANT_UI_PAINTERS_WIN32_H_
#define ZORVANT_UI_PAINTERS_WIN32_H_

#include <windows.h>

#include <string_view>

namespace zorvant {

class DrawnObject {
 public:
  virtual ~DrawnObject() = default;

  // The face with its raised edge; a focused item also gets the focus mark, and a focused and pressed one
  // a sunken edge.
  virtual void Draw(HDC dc, RECT rect, UINT state, COLORREF face) const = 0;
  // One line of text centred both ways, drawn over what is already there. Shared by every shape.
  void DrawCaption(HDC dc, RECT rect, std::string_view text, COLORREF color) const;
  // Raised for depth > 0, sunken for depth < 0, nothing for 0.
  virtual void DrawEdge(HDC dc, RECT rect, int depth) const = 0;
  virtual void Fill(HDC dc, RECT rect, COLORREF color) const = 0;
  virtual void DrawFocus(HDC dc, RECT rect, COLORREF color) const = 0;
};

class DrawnRect : public DrawnObject {
 public:
  void Draw(HDC dc, RECT rect, UINT state, COLORREF face) const override;
  // |depth| one-pixel rings from the outside in. One ring is white over grey 128; deeper edges fade ring by
  // ring from grey 255 over 127 (the outermost) towards 192 over 0.
  void DrawEdge(HDC dc, RECT rect, int depth) const override;
  void Fill(HDC dc, RECT rect, COLORREF color) const override;
  // The system's dotted focus rectangle; it inverts what is under it, and `color` is not used.
  void DrawFocus(HDC dc, RECT rect, COLORREF color) const override;
};

class DrawnEllipse : public DrawnObject {
 public:
  void Draw(HDC dc, RECT rect, UINT state, COLORREF face) const override;
  // A 2-pixel outline, grey 128 for a raised edge and near-black for a sunken one. Its inside takes the
  // brush the DC holds; Draw fills it afterwards.
  void DrawEdge(HDC dc, RECT rect, int depth) const override;
  // Concentric rings of a 3-pixel pen, each 1 pixel inside the last, until the rectangle is used up.
  void Fill(HDC dc, RECT rect, COLORREF color) const override;
  // A dotted near-black ellipse whose gaps take `color`.
  void DrawFocus(HDC dc, RECT rect, COLORREF color) const override;
};

}  // namespace zorvant

#endif  // ZORVANT_UI_PAINTERS_WIN32_H_
