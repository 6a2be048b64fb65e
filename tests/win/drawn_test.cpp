// The drawn buttons, their painters and the off-screen context, checked by the pixels they leave: in a
// 32-bit DIB behind a memory DC, and on a real button in a window on the screen.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/win/canvas.h"
#include "ui/drawn_button_win32.h"
#include "ui/gdi_win32.h"
#include "ui/mem_dc_win32.h"
#include "ui/painters_win32.h"

namespace zorvant {
namespace {

// What the canvas starts as: no painter uses it.
constexpr COLORREF kBackground = kUntouched;
// The Setup window's mode buttons.
constexpr COLORREF kFace = RGB(240, 240, 240);
constexpr COLORREF kCaption = RGB(1, 1, 1);
constexpr COLORREF kDisabledCaption = RGB(128, 128, 128);
constexpr COLORREF kSelectedFace = RGB(0, 255, 0);
// Captions in colours that the greys of an edge, a face or a smoothed glyph never hit by chance.
constexpr COLORREF kRed = RGB(200, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 200);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kNearBlack = RGB(1, 1, 1);

COLORREF Grey(int level) { return RGB(level, level, level); }
// What the focus rectangle makes of a pixel: it inverts it.
COLORREF Inverted(COLORREF c) { return c ^ 0x00ffffff; }

DRAWITEMSTRUCT Item(HDC dc, RECT rect, UINT state, HWND window) {
  DRAWITEMSTRUCT item = {};
  item.CtlType = ODT_BUTTON;
  item.CtlID = 1003;
  item.itemAction = ODA_DRAWENTIRE;
  item.itemState = state;
  item.hwndItem = window;
  item.hDC = dc;
  item.rcItem = rect;
  return item;
}

// A window holding the Setup window's two mode buttons as ordinary push buttons, and handing WM_DRAWITEM
// to whichever drawn button it holds, as the Setup window does. Only a test that reads the screen shows it
// (topmost): each shown window costs Wine about two seconds without a window manager.
class OwnerWindow {
 public:
  explicit OwnerWindow(bool onScreen = false) {
    static const char kClass[] = "ZorvantDrawnButtonOwner";
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &OwnerWindow::Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);  // fails harmlessly when an earlier test registered it
    hwnd_ = CreateWindowExA(onScreen ? WS_EX_TOPMOST : 0, kClass, "drawn buttons",
                            WS_POPUP | (onScreen ? WS_VISIBLE : 0), 40, 40, 240, 120, /*hWndParent=*/nullptr,
                            /*hMenu=*/nullptr, wc.hInstance, /*lpParam=*/nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    bpsk_ = MakeButton("BPSK63", 1003, 10);
    rtty_ = MakeButton("RTTY", 1004, 60);
    Pump();
  }
  ~OwnerWindow() {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }

  HWND hwnd() const { return hwnd_; }
  HWND bpsk() const { return bpsk_; }
  HWND rtty() const { return rtty_; }
  void Route(CAdvancedButton* a, CAdvancedButton* b = nullptr) {
    routed_[0] = a;
    routed_[1] = b;
  }
  static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, /*hWnd=*/nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }

 private:
  HWND MakeButton(const char* text, int id, int y) {
    return CreateWindowExA(0, "BUTTON", text, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, y, 120, 40, hwnd_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                           /*lpParam=*/nullptr);
  }
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<OwnerWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_DRAWITEM && self != nullptr) {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      for (CAdvancedButton* b : self->routed_) {
        if (b != nullptr && b->HandleDrawItem(item)) return TRUE;
      }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }

  HWND hwnd_ = nullptr;
  HWND bpsk_ = nullptr;
  HWND rtty_ = nullptr;
  CAdvancedButton* routed_[2] = {nullptr, nullptr};
};

// A pixel of a window as it is on the screen now.
COLORREF ScreenPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return c;
}

int ScreenCount(HWND window, COLORREF color) {
  RECT client;
  GetClientRect(window, &client);
  HDC dc = GetDC(window);
  int n = 0;
  for (int y = 0; y < client.bottom; ++y) {
    for (int x = 0; x < client.right; ++x) n += GetPixel(dc, x, y) == color;
  }
  ReleaseDC(window, dc);
  return n;
}

// --- Rectangle ---------------------------------------------------------------------------------------

struct RingColors {
  COLORREF topLeft, bottomRight;
};

TEST(DrawnRect, EdgeRingsByDepth) {
  const struct {
    int depth;
    std::vector<RingColors> rings;  // from the outside in
  } cases[] = {
      {2, {{Grey(255), Grey(127)}, {Grey(223), Grey(85)}}},
      {-2, {{Grey(127), Grey(255)}, {Grey(85), Grey(223)}}},
      {3, {{Grey(255), Grey(127)}, {Grey(223), Grey(85)}, {Grey(213), Grey(63)}}},
      {1, {{kWhite, Grey(128)}}},
      {-1, {{Grey(128), kWhite}}},
      {0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("depth " + std::to_string(c.depth));
    Canvas canvas(30, 20);
    DrawnRect().DrawEdge(canvas.dc(), canvas.rect(), c.depth);
    const int w = canvas.width(), h = canvas.height(), cx = w / 2, cy = h / 2;
    for (int i = 0; i < static_cast<int>(c.rings.size()); ++i) {
      SCOPED_TRACE("ring " + std::to_string(i + 1));
      EXPECT_EQ(Describe(canvas.At(cx, i)), Describe(c.rings[i].topLeft)) << "top";
      EXPECT_EQ(Describe(canvas.At(i, cy)), Describe(c.rings[i].topLeft)) << "left";
      EXPECT_EQ(Describe(canvas.At(cx, h - 1 - i)), Describe(c.rings[i].bottomRight)) << "bottom";
      EXPECT_EQ(Describe(canvas.At(w - 1 - i, cy)), Describe(c.rings[i].bottomRight)) << "right";
    }
    // Inside the rings nothing is drawn.
    const int n = static_cast<int>(c.rings.size());
    EXPECT_EQ(canvas.Count(RECT{n, n, w - n, h - n}, kBackground), (w - 2 * n) * (h - 2 * n));
  }
}

// From the outside in: the outer ring (sunken only when focused and pressed), the inner ring of the raised
// edge, the face, and for a focused button the dotted focus rectangle on the face's first pixels, 2 pixels
// inside the item.
TEST(DrawnRect, DrawByState) {
  const RingColors raised = {Grey(255), Grey(127)};
  const RingColors sunken = {Grey(128), kWhite};
  const struct {
    UINT state;
    RingColors outer;
    bool focus;
  } cases[] = {
      {0, raised, false},
      {ODS_SELECTED, raised, false},  // pressed without focus shows no pressed edge
      {ODS_FOCUS, raised, true},
      {ODS_FOCUS | ODS_SELECTED, sunken, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("state " + std::to_string(c.state));
    Canvas canvas(60, 24);
    DrawnRect().Draw(canvas.dc(), canvas.rect(), c.state, kFace);
    const int w = canvas.width(), h = canvas.height(), cx = w / 2, cy = h / 2;
    EXPECT_EQ(Describe(canvas.At(cx, 0)), Describe(c.outer.topLeft));
    EXPECT_EQ(Describe(canvas.At(0, cy)), Describe(c.outer.topLeft));
    EXPECT_EQ(Describe(canvas.At(cx, h - 1)), Describe(c.outer.bottomRight));
    EXPECT_EQ(Describe(canvas.At(w - 1, cy)), Describe(c.outer.bottomRight));
    EXPECT_EQ(Describe(canvas.At(cx, 1)), Describe(Grey(223)));
    EXPECT_EQ(Describe(canvas.At(1, cy)), Describe(Grey(223)));
    EXPECT_EQ(Describe(canvas.At(cx, h - 2)), Describe(Grey(85)));
    EXPECT_EQ(Describe(canvas.At(w - 2, cy)), Describe(Grey(85)));

    const COLORREF dot = Inverted(kFace);
    const RECT focus = {2, 2, w - 2, h - 2};
    const int onTop = canvas.Count(RECT{focus.left, focus.top, focus.right, focus.top + 1}, dot);
    const int onBottom = canvas.Count(RECT{focus.left, focus.bottom - 1, focus.right, focus.bottom}, dot);
    const int onLeft = canvas.Count(RECT{focus.left, focus.top, focus.left + 1, focus.bottom}, dot);
    const int onRight = canvas.Count(RECT{focus.right - 1, focus.top, focus.right, focus.bottom}, dot);
    if (c.focus) {
      EXPECT_GT(onTop, 5);
      EXPECT_GT(onBottom, 5);
      EXPECT_GT(onLeft, 2);
      EXPECT_GT(onRight, 2);
    } else {
      EXPECT_EQ(onTop + onBottom + onLeft + onRight, 0);
    }
    // Everything inside the focus rectangle is plain face.
    const RECT inner = {3, 3, w - 3, h - 3};
    EXPECT_EQ(canvas.Count(inner, kFace), (w - 6) * (h - 6));
  }
}

// --- Ellipse -----------------------------------------------------------------------------------------

// Whether the centre of pixel (x, y) lies inside the item's inscribed ellipse shrunk by `inset` pixels.
bool InsideEllipse(const Canvas& canvas, int x, int y, double inset) {
  const double a = canvas.width() / 2.0 - inset, b = canvas.height() / 2.0 - inset;
  const double dx = (x + 0.5 - canvas.width() / 2.0) / a, dy = (y + 0.5 - canvas.height() / 2.0) / b;
  return dx * dx + dy * dy <= 1.0;
}

// Coming in from the outside along the middle row and column, the first pixel drawn is the edge's.
void ExpectEdgeAllRound(const Canvas& canvas, COLORREF edge) {
  const int w = canvas.width(), h = canvas.height(), cx = w / 2, cy = h / 2;
  auto first = [&](int x, int y, int dx, int dy) {
    while (x >= 0 && y >= 0 && x < w && y < h && canvas.At(x, y) == kBackground) x += dx, y += dy;
    return (x >= 0 && y >= 0 && x < w && y < h) ? canvas.At(x, y) : kBackground;
  };
  EXPECT_EQ(Describe(first(0, cy, 1, 0)), Describe(edge)) << "left";
  EXPECT_EQ(Describe(first(w - 1, cy, -1, 0)), Describe(edge)) << "right";
  EXPECT_EQ(Describe(first(cx, 0, 0, 1)), Describe(edge)) << "top";
  EXPECT_EQ(Describe(first(cx, h - 1, 0, -1)), Describe(edge)) << "bottom";
}

// The concentric rings of the fill must leave no gap, and the brush the DC holds (white here, as in a
// fresh DC) must not show through anywhere.
TEST(DrawnEllipse, SolidFaceInsideItsEdge) {
  const struct {
    UINT state;
    COLORREF edge;
  } states[] = {
      {0, Grey(128)},
      {ODS_SELECTED, Grey(128)},
      {ODS_FOCUS, Grey(128)},
      {ODS_FOCUS | ODS_SELECTED, kNearBlack},
  };
  const SIZE sizes[] = {{80, 30}, {41, 41}, {17, 12}};
  for (const SIZE& size : sizes) {
    for (const auto& c : states) {
      SCOPED_TRACE(std::to_string(size.cx) + "x" + std::to_string(size.cy) + " state " +
                   std::to_string(c.state));
      Canvas canvas(size.cx, size.cy);
      DrawnEllipse().Draw(canvas.dc(), canvas.rect(), c.state, kFace);
      const int w = canvas.width(), h = canvas.height();

      for (POINT corner : {POINT{0, 0}, POINT{w - 1, 0}, POINT{0, h - 1}, POINT{w - 1, h - 1}}) {
        EXPECT_EQ(canvas.At(corner.x, corner.y), kBackground) << corner.x << "," << corner.y;
      }
      ExpectEdgeAllRound(canvas, c.edge);

      // Inside the edge: face only, but for the dots of a focused item's focus mark.
      const bool focused = (c.state & ODS_FOCUS) != 0;
      int others = 0, dots = 0;
      std::string firstOther;
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          if (!InsideEllipse(canvas, x, y, 3)) continue;
          const COLORREF p = canvas.At(x, y);
          if (focused && p == kNearBlack) {
            ++dots;
          } else if (p != kFace && others++ == 0) {
            firstOther = Describe(p) + " at " + std::to_string(x) + "," + std::to_string(y);
          }
        }
      }
      EXPECT_EQ(others, 0) << "first: " << firstOther;
      EXPECT_EQ(dots > 0, focused);
    }
  }
}

// --- CAdvancedButton --------------------------------------------------------------------------------

// The face and caption of whichever shape is set; the caption centred, in the disabled colour while the
// item is disabled whatever the caption colour is.
TEST(DrawnButton, DrawItemPaintsShapeAndCaption) {
  OwnerWindow owner;
  CAdvancedButton button;
  ASSERT_TRUE(button.Attach(1003, owner.hwnd(), kFace, kRed, kBlue));
  const struct {
    int shape;
    UINT state;
    COLORREF caption, notCaption;
  } cases[] = {
      {kShapeRectangle, 0, kRed, kBlue},
      {kShapeRectangle, ODS_DISABLED, kBlue, kRed},
      {kShapeRectangle, ODS_DISABLED | ODS_FOCUS, kBlue, kRed},
      {kShapeEllipse, 0, kRed, kBlue},
      {kShapeEllipse, ODS_DISABLED | ODS_FOCUS | ODS_SELECTED, kBlue, kRed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("shape " + std::to_string(c.shape) + " state " + std::to_string(c.state));
    button.shape = c.shape;
    Canvas canvas(120, 40);
    button.DrawItem(Item(canvas.dc(), canvas.rect(), c.state, owner.bpsk()));

    EXPECT_EQ(canvas.At(0, 0), c.shape == kShapeEllipse ? kBackground : Grey(255));
    EXPECT_EQ(canvas.At(10, canvas.height() / 2), kFace);
    EXPECT_GT(canvas.Count(canvas.rect(), c.caption), 10);
    EXPECT_EQ(canvas.Count(canvas.rect(), c.notCaption), 0);
    const RECT text = canvas.Bounds(c.caption);
    EXPECT_LE(std::abs((text.left + text.right) - canvas.width()), 4) << text.left << ".." << text.right;
    EXPECT_LE(std::abs((text.top + text.bottom) - canvas.height()), 4) << text.top << ".." << text.bottom;
  }
}

TEST(DrawnButton, AttachTakesOverTheControlOrChangesNothing) {
  OwnerWindow owner;
  CAdvancedButton button;
  ASSERT_TRUE(button.Attach(1003, owner.hwnd(), kFace, kCaption, kDisabledCaption));
  EXPECT_EQ(button.hwnd(), owner.bpsk());
  EXPECT_EQ(GetWindowLongA(owner.bpsk(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(GetWindowLongA(owner.rtty(), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  EXPECT_EQ(button.shape, kShapeRectangle);
  button.shape = kShapeEllipse;

  EXPECT_FALSE(button.Attach(1099, owner.hwnd(), kRed, kRed, kRed));
  EXPECT_FALSE(button.Attach(1004, /*parentDialog=*/nullptr, kRed, kRed, kRed));
  EXPECT_EQ(button.hwnd(), owner.bpsk());
  EXPECT_EQ(button.faceColor, kFace);
  EXPECT_EQ(button.captionColor, kCaption);
  EXPECT_EQ(button.disabledCaptionColor, kDisabledCaption);
  EXPECT_EQ(button.shape, kShapeEllipse);

  // Only its own item is drawn.
  Canvas canvas(120, 40);
  EXPECT_FALSE(button.HandleDrawItem(nullptr));
  DRAWITEMSTRUCT other = Item(canvas.dc(), canvas.rect(), 0, owner.rtty());
  EXPECT_FALSE(button.HandleDrawItem(&other));
  EXPECT_EQ(canvas.Count(canvas.rect(), kBackground), 120 * 40);
  DRAWITEMSTRUCT own = Item(canvas.dc(), canvas.rect(), 0, owner.bpsk());
  EXPECT_TRUE(button.HandleDrawItem(&own));
  EXPECT_LT(canvas.Count(canvas.rect(), kBackground), 120 * 40 / 2);
}

// The mode buttons as the Setup window uses them. Each colour change must be on the screen when the call
// returns: no WM_PAINT is pumped in between.
TEST(DrawnButton, ColourChangesRepaintAtOnce) {
  OwnerWindow owner(/*onScreen=*/true);
  CAdvancedButton bpsk, rtty;
  owner.Route(&bpsk, &rtty);
  ASSERT_TRUE(bpsk.Attach(1003, owner.hwnd(), kFace, kCaption, kDisabledCaption));
  ASSERT_TRUE(rtty.Attach(1004, owner.hwnd(), kFace, kCaption, kDisabledCaption));
  bpsk.Redraw();
  rtty.Redraw();
  const int x = 6, y = 6;  // face, inside the edge and clear of the caption
  ASSERT_EQ(Describe(ScreenPixel(bpsk.hwnd(), x, y)), Describe(kFace));
  EXPECT_EQ(Describe(ScreenPixel(bpsk.hwnd(), 0, 0)), Describe(Grey(255)));

  EXPECT_TRUE(rtty.SetFaceColor(kSelectedFace));
  EXPECT_EQ(Describe(ScreenPixel(rtty.hwnd(), x, y)), Describe(kSelectedFace));
  EXPECT_EQ(Describe(ScreenPixel(bpsk.hwnd(), x, y)), Describe(kFace));

  EXPECT_TRUE(bpsk.SetFaceColor(kSelectedFace));
  EXPECT_TRUE(rtty.SetFaceColor(kFace));
  EXPECT_EQ(Describe(ScreenPixel(bpsk.hwnd(), x, y)), Describe(kSelectedFace));
  EXPECT_EQ(Describe(ScreenPixel(rtty.hwnd(), x, y)), Describe(kFace));

  EXPECT_EQ(ScreenCount(rtty.hwnd(), kRed), 0);
  EXPECT_TRUE(rtty.SetCaptionColor(kRed));
  EXPECT_GT(ScreenCount(rtty.hwnd(), kRed), 10);

  // A disabled button is drawn with the disabled caption colour.
  rtty.disabledCaptionColor = kBlue;
  EnableWindow(rtty.hwnd(), FALSE);
  rtty.Redraw();
  EXPECT_EQ(ScreenCount(rtty.hwnd(), kRed), 0);
  EXPECT_GT(ScreenCount(rtty.hwnd(), kBlue), 10);
}

// GDI objects this process holds. Wine does not count them (its GetGuiResources is a stub that answers 0),
// so there the count comes from the other end: each handle the process can still create is one not held.
long GdiObjectsHeld() {
  if (const DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); n != 0)
    return static_cast<long>(n);
  std::vector<HBRUSH> probes;
  while (probes.size() < 1000000) {
    HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
    if (b == nullptr) break;
    probes.push_back(b);
  }
  for (HBRUSH b : probes) DeleteObject(b);
  return -static_cast<long>(probes.size());
}

// Every pen and brush a paint makes is deleted, and the DC gets back what it held.
TEST(DrawnButton, PaintsLeakNoGdiObject) {
  OwnerWindow owner;
  CAdvancedButton button;
  ASSERT_TRUE(button.Attach(1003, owner.hwnd(), kFace, kCaption, kDisabledCaption));
  Canvas canvas(120, 40);
  HDC dc = canvas.dc();
  const UINT states[] = {0, ODS_FOCUS, ODS_FOCUS | ODS_SELECTED, ODS_DISABLED};
  auto paint = [&](int i) {
    button.shape = i % 2;
    button.DrawItem(Item(dc, canvas.rect(), states[(i / 2) % 4], owner.bpsk()));
  };
  const HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN), brush = GetCurrentObject(dc, OBJ_BRUSH),
                font = GetCurrentObject(dc, OBJ_FONT), bitmap = GetCurrentObject(dc, OBJ_BITMAP);
  const COLORREF textColor = GetTextColor(dc), bkColor = GetBkColor(dc);
  const int bkMode = GetBkMode(dc);

  for (int i = 0; i < 8; ++i) paint(i);  // whatever the first text drawing sets up for good
  const long before = GdiObjectsHeld();
  for (int i = 0; i < 400; ++i) paint(i);
  EXPECT_EQ(GdiObjectsHeld(), before);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), bitmap);
  EXPECT_EQ(GetTextColor(dc), textColor);
  EXPECT_EQ(GetBkColor(dc), bkColor);
  EXPECT_EQ(GetBkMode(dc), bkMode);
}

// --- CMemDC ------------------------------------------------------------------------------------------

// Drawn in the target's coordinates, shown on the target only when the paint ends, and only within the
// target's clip box.
TEST(CMemDC, CopiesTheClipBoxToTheTargetAtItsEnd) {
  Canvas target(100, 60);
  const RECT clip = {20, 10, 70, 50};
  IntersectClipRect(target.dc(), clip.left, clip.top, clip.right, clip.bottom);
  EXPECT_FALSE(CMemDC::IsPrinter(target.dc()));
  {
    CMemDC mem(target.dc());
    ASSERT_TRUE(mem.offScreen());
    EXPECT_NE(static_cast<HDC>(mem), target.dc());
    EXPECT_TRUE(EqualRect(&mem.area(), &clip));
    ScopedBrush red(CreateSolidBrush(kRed)), green(CreateSolidBrush(kSelectedFace));
    const RECT all = target.rect(), square = {30, 20, 40, 30};
    FillRect(mem, &all, red.get());
    FillRect(mem, &square, green.get());
    EXPECT_EQ(Describe(target.At(35, 25)), Describe(kBackground));
  }
  SelectClipRgn(target.dc(), /*hrgn=*/nullptr);  // GetPixel reads nothing outside the clip region
  const struct {
    int x, y;
    COLORREF color;
  } pixels[] = {
      {30, 20, kSelectedFace}, {39, 29, kSelectedFace}, {29, 19, kRed},        {40, 30, kRed},
      {20, 10, kRed},          {69, 49, kRed},          {19, 10, kBackground}, {70, 49, kBackground},
      {20, 9, kBackground},    {69, 50, kBackground},   {5, 5, kBackground},
  };
  for (const auto& p : pixels) {
    EXPECT_EQ(Describe(target.At(p.x, p.y)), Describe(p.color)) << p.x << "," << p.y;
  }
}

// A printer is drawn on at once, and its DC is left as it was: still alive, still holding its bitmap.
TEST(CMemDC, PrinterIsDrawnStraight) {
  Canvas target(40, 30);
  {
    CMemDC mem(target.dc(), /*printing=*/true);
    EXPECT_FALSE(mem.offScreen());
    EXPECT_EQ(static_cast<HDC>(mem), target.dc());
    ScopedBrush red(CreateSolidBrush(kRed));
    const RECT r = {5, 5, 15, 15};
    FillRect(mem, &r, red.get());
    EXPECT_EQ(Describe(target.At(10, 10)), Describe(kRed));
  }
  EXPECT_EQ(GetObjectType(target.dc()), static_cast<DWORD>(OBJ_MEMDC));
  EXPECT_EQ(GetCurrentObject(target.dc(), OBJ_BITMAP), target.bitmap());
  EXPECT_EQ(Describe(target.At(10, 10)), Describe(kRed));
  EXPECT_EQ(Describe(target.At(20, 20)), Describe(kBackground));
}

}  // namespace
}  // namespace zorvant
