// Scoped GDI objects for the plug-in's drawing. Declare the object before its selection, so that the
// selection ends first and the object is never deleted while a DC still holds it.
#ifndef ZORVANT_UI_GDI_WIN32_H_
#define ZORVANT_UI_GDI_WIN32_H_

#include <windows.h>

#include <utility>

namespace zorvant {

// Owns a created pen, brush or bitmap and deletes it.
template <typename Handle>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(Handle handle) : handle_(handle) {}
  ~GdiObject() { Reset(); }
  GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset(Handle handle = nullptr) {
    if (handle_ != nullptr) DeleteObject(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

using ScopedPen = GdiObject<HPEN>;
using ScopedBrush = GdiObject<HBRUSH>;
using ScopedBitmap = GdiObject<HBITMAP>;

// Selects a pen, brush, bitmap or font (not a region) into a DC and selects the previous one back when it
// ends. Selecting nothing (a null
// object, or a failed selection) leaves the DC alone at the end too.
class ScopedSelect {
 public:
  ScopedSelect() = default;
  ScopedSelect(HDC dc, HGDIOBJ object) {
    if (dc == nullptr || object == nullptr) return;
    HGDIOBJ previous = SelectObject(dc, object);
    if (previous == nullptr || previous == HGDI_ERROR) return;
    dc_ = dc;
    previous_ = previous;
  }
  ~ScopedSelect() { Restore(); }
  ScopedSelect(ScopedSelect&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)), previous_(std::exchange(other.previous_, nullptr)) {}
  ScopedSelect& operator=(ScopedSelect&& other) noexcept {
    if (this != &other) {
      Restore();
      dc_ = std::exchange(other.dc_, nullptr);
      previous_ = std::exchange(other.previous_, nullptr);
    }
    return *this;
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

  void Restore() {
    if (dc_ != nullptr) SelectObject(dc_, previous_);
    dc_ = nullptr;
    previous_ = nullptr;
  }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

// Owns a DC made with CreateCompatibleDC or CreateDC and deletes it.
class ScopedCreatedDC {
 public:
  ScopedCreatedDC() = default;
  explicit ScopedCreatedDC(HDC dc) : dc_(dc) {}
  ~ScopedCreatedDC() { Reset(); }
  ScopedCreatedDC(ScopedCreatedDC&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
  ScopedCreatedDC& operator=(ScopedCreatedDC&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.dc_, nullptr));
    return *this;
  }
  ScopedCreatedDC(const ScopedCreatedDC&) = delete;
  ScopedCreatedDC& operator=(const ScopedCreatedDC&) = delete;

  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }
  void Reset(HDC dc = nullptr) {
    if (dc_ != nullptr) DeleteDC(dc_);
    dc_ = dc;
  }

 private:
  HDC dc_ = nullptr;
};

// The DPI the window is drawn at. A host that declares itself DPI-aware gets the monitor's; one that does
// not gets 96 and is stretched by the system. Windows before 10 have no per-window DPI: the screen's then.
inline int WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) return static_cast<int>(dpi);
  }
  HDC dc = GetDC(window);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dc) ReleaseDC(window, dc);
  return dpi > 0 ? dpi : 96;
}

}  // namespace zorvant

#endif  // ZORVANT_UI_GDI_WIN32_H_
