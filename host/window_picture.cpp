#include "host/window_picture.h"

#include <cstdio>
#include <vector>

#include "host/automation_object.h"

namespace host {
namespace {

// The plug-in's dialogs, told apart by their controls: the Setup window has the "Window on top" box (1016);
// the information windows are one content button (1003), the Prefix window with a sizing border.
BOOL CALLBACK Sort(HWND w, LPARAM out) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(w)) return TRUE;
  auto* found = reinterpret_cast<PluginWindows*>(out);
  if (GetDlgItem(w, 1016)) {
    found->setup = w;
  } else if (GetDlgItem(w, 1003)) {
    (GetWindowLongA(w, GWL_STYLE) & WS_THICKFRAME ? found->prefix : found->prevQso) = w;
  }
  return TRUE;
}

// By its "Window on top" box, whatever language its title is in, shown or still opening.
BOOL CALLBACK FindSetup(HWND w, LPARAM out) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != GetCurrentProcessId() || !GetDlgItem(w, 1016)) return TRUE;
  *reinterpret_cast<HWND*>(out) = w;
  return FALSE;
}

}  // namespace

bool CloseSetupWindow() {
  HWND window = nullptr;
  for (int waited = 0; waited < 10000 && !window; waited += 50) {
    EnumWindows(FindSetup, reinterpret_cast<LPARAM>(&window));
    if (!window && !GetModuleHandleA("Stats.dll")) return false;  // no window and already unloaded
    if (!window) PumpFor(50);
  }
  if (!window) return false;
  PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  PumpUntil([] { return !GetModuleHandleA("Stats.dll"); }, 10000);
  return true;
}

PluginWindows FindPluginWindows() {
  PluginWindows found;
  EnumWindows(Sort, reinterpret_cast<LPARAM>(&found));
  return found;
}

bool SaveWindowPicture(HWND window, const std::string& path) {
  RECT r;
  if (!IsWindowVisible(window) || !GetWindowRect(window, &r)) return false;
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(stride * height);

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool copied = false;
  if (memory && bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    copied = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(memory, old);
  }
  bool written = false;
  if (copied) {
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + info.bmiHeader.biSizeImage;
    if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
      written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                std::fwrite(bits, info.bmiHeader.biSizeImage, 1, out) == 1;
      written = std::fclose(out) == 0 && written;
    }
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written;
}

}  // namespace host
