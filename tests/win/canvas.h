// A 32-bit DIB behind a memory DC, for the tests that check a paint by the pixels it leaves.
#ifndef ZORVANT_TESTS_WIN_CANVAS_H_
#define ZORVANT_TESTS_WIN_CANVAS_H_

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ui/gdi_win32.h"

namespace zorvant {

// No paint of the plug-in uses this colour, so any pixel of it was left alone.
inline constexpr COLORREF kUntouched = RGB(0, 0, 255);

inline std::string Describe(COLORREF c) {
  if (c == CLR_INVALID) return "invalid";
  return "RGB(" + std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
         std::to_string(GetBValue(c)) + ")";
}

// Starts filled with kUntouched.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_.Reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits_, /*hSection=*/nullptr, 0));
    selected_ = ScopedSelect(dc_.get(), bitmap_.get());
    Fill(rect(), kUntouched);
  }

  HDC dc() const { return dc_.get(); }
  HBITMAP bitmap() const { return bitmap_.get(); }
  RECT rect() const { return RECT{0, 0, width_, height_}; }
  int width() const { return width_; }
  int height() const { return height_; }
  COLORREF At(int x, int y) const { return GetPixel(dc_.get(), x, y); }
  void Fill(const RECT& r, COLORREF color) const {
    ScopedBrush brush(CreateSolidBrush(color));
    FillRect(dc_.get(), &r, brush.get());
  }
  int Count(const RECT& within, COLORREF color) const {
    int n = 0;
    for (int y = within.top; y < within.bottom; ++y) {
      for (int x = within.left; x < within.right; ++x) n += At(x, y) == color;
    }
    return n;
  }
  int Count(COLORREF color) const { return Count(rect(), color); }
  // The smallest rectangle that holds every pixel of `color`; empty when there is none.
  RECT Bounds(COLORREF color) const {
    RECT b = {width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        if (At(x, y) != color) continue;
        b.left = std::min<LONG>(b.left, x);
        b.top = std::min<LONG>(b.top, y);
        b.right = std::max<LONG>(b.right, x + 1);
        b.bottom = std::max<LONG>(b.bottom, y + 1);
      }
    }
    return b;
  }
  // Whether a pixel of text (black by default, far darker than any background) lies in x0..x1-1, y0..y1-1.
  bool AnyDark(int x0, int y0, int x1, int y1) const {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const COLORREF c = At(x, y);
        if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 300) return true;
      }
    }
    return false;
  }
  std::vector<std::uint32_t> Pixels() const {
    GdiFlush();
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width_) * height_);
    std::memcpy(pixels.data(), bits_, pixels.size() * sizeof pixels[0]);
    return pixels;
  }

 private:
  int width_, height_;
  ScopedCreatedDC dc_;
  ScopedBitmap bitmap_;
  ScopedSelect selected_;
  void* bits_ = nullptr;
};

}  // namespace zorvant

#endif  // ZORVANT_TESTS_WIN_CANVAS_H_
