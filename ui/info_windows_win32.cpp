#include "ui/info_windows_win32.h"

#include "engine/contest.h"
#include "resources/resource.h"
#include "ui/setup_logic.h"
#include "ui/window_text_win32.h"

namespace zorvant {
namespace {

constexpr COLORREF kBackground = RGB(255, 250, 198);

}  // namespace

WindowCorner& LastWindowCorner() {
  static WindowCorner corner;
  return corner;
}

void PlaceWindow(const SettingsSnapshot& saved, HWND window, const char* xKey, const char* yKey) {
  WindowCorner& last = LastWindowCorner();
  last = CornerSetting(saved, xKey, yKey);
  SetWindowPos(window, nullptr, last.x, last.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void SaveWindowCorner(SettingsStore& settings, HWND window, const char* xKey, const char* yKey) {
  RECT r;
  if (GetWindowRect(window, &r)) SaveCorner(settings, LastWindowCorner(), r.left, r.top, xKey, yKey);
}

InfoWindow* InfoWindow::Open(InfoKind kind, HINSTANCE module, SettingsStore& settings, bool onTop,
                             Painter painter) {
  auto* window = new InfoWindow(kind, settings, std::move(painter));
  window->onTop_ = onTop;
  window->module_ = module;
  const int resource = kind == InfoKind::kPrefix ? IDD_PREFIX : IDD_PREV_QSO;
  // Unicode, like the Setup window, so that the Russian titles show whatever the system's code page is.
  HWND hwnd = CreateDialogParamW(module, MAKEINTRESOURCEW(resource), /*hWndParent=*/nullptr, Proc,
                                 reinterpret_cast<LPARAM>(window));
  if (!hwnd) {
    delete window;
    return nullptr;
  }
  ShowWindow(hwnd, SW_SHOWNORMAL);
  return window;
}

InfoWindow::~InfoWindow() {
  if (background_) DeleteObject(background_);
}

void InfoWindow::Destroy() {
  if (window_) DestroyWindow(window_);
  delete this;
}

void InfoWindow::SetTitle(const std::string& text, bool cp1251) { SetText(window_, text, cp1251); }

void InfoWindow::RepaintContent() {
  if (HWND content = GetDlgItem(window_, IDC_CONTENT)) InvalidateRect(content, nullptr, /*bErase=*/FALSE);
}

INT_PTR CALLBACK InfoWindow::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
    reinterpret_cast<InfoWindow*>(lParam)->window_ = dialog;
  }
  auto* window = reinterpret_cast<InfoWindow*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
  return window ? window->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR InfoWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  const bool prefix = kind_ == InfoKind::kPrefix;
  const char* xKey = prefix ? "dxcc_x" : "prev_x";
  const char* yKey = prefix ? "dxcc_y" : "prev_y";
  switch (message) {
    case WM_INITDIALOG:
      PlaceWindow(settings_.Load(), window_, xKey, yKey);
      if (onTop_) SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      background_ = CreateSolidBrush(kBackground);
      SendMessageW(window_, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(LoadIconW(module_, MAKEINTRESOURCEW(IDI_ZORVANT))));
      return TRUE;
    case WM_SETCURSOR: SaveWindowCorner(settings_, window_, xKey, yKey); return FALSE;
    case WM_SIZE:
      // The content fills the client area but for a one-pixel margin, whatever size the operator drags.
      if (prefix) {
        RECT client;
        GetClientRect(window_, &client);
        MoveWindow(GetDlgItem(window_, IDC_CONTENT), client.left + 1, client.top + 1, client.right - 4,
                   client.bottom - 4, /*bRepaint=*/TRUE);
      }
      return FALSE;
    case WM_DRAWITEM:
      return painter_ && painter_(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (prefix) return FALSE;
      SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0));
      SetBkColor(reinterpret_cast<HDC>(wParam), kBackground);
      return reinterpret_cast<INT_PTR>(background_);
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: return TRUE;  // Enter never closes the window
        case IDCANCEL:
          // Its own close button and Escape only take it off the screen: the Setup window still counts it
          // open, so the refresh does not bring it back, and its check box closes it for good.
          ShowWindow(window_, SW_HIDE);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace zorvant
