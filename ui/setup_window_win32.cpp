#include "ui/setup_window_win32.h"

#include <string>
#include <vector>

#include "resources/resource.h"
#include "ui/automation_win32.h"
#include "ui/content_buttons_win32.h"
#include "ui/drawn_button_win32.h"
#include "ui/gdi_win32.h"
#include "ui/info_windows_win32.h"
#include "ui/setup_logic.h"
#include "ui/window_text_win32.h"

namespace zorvant {
namespace {

constexpr COLORREF kBackground = RGB(255, 250, 198);
constexpr COLORREF kButtonFace = RGB(240, 240, 240);
constexpr COLORREF kButtonCaption = RGB(1, 1, 1);
constexpr COLORREF kButtonDisabledCaption = RGB(128, 128, 128);
constexpr COLORREF kSelectedFace = RGB(0, 255, 0);
constexpr UINT kTourPeriodMs = 1000;

// The information windows open topmost. Setup thread only; lives as long as the library.
int g_windowsOnTop = 0;

class SetupWindow {
 public:
  explicit SetupWindow(const SetupContext& context)
      : context_(context),
        platform_(context.contest->platform()),
        settings_(platform_, kSettingsFile, kSettingsSection),
        prefixContent_(*context.engineLock, *context.contest),
        prevQsoContent_(*context.engineLock, *context.contest) {}

  ~SetupWindow() {
    CloseInfo(prefixWindow_);
    CloseInfo(prevQsoWindow_);
  }

  INT_PTR Handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  bool done() const { return done_; }
  HWND hwnd() const { return dialog_; }
  // Keyboard handling (Enter, Escape, Tab) for this window and the information windows it opened.
  bool IsDialogMessageOfOurs(MSG* msg);

 private:
  bool Start(HWND dialog);
  void BuildLampCanvas();
  void PaintLamp(int lamp, COLORREF colour);
  void OnPaint();
  void OnTimer();
  void OnRefresh();
  void OnCommand(int id);
  void SelectMode(ModemMode mode, bool remember);
  void OpenInfo(InfoKind kind);
  void CloseInfo(InfoWindow*& window);
  void ToggleInfo(InfoKind kind);
  InfoWindow*& InfoOf(InfoKind kind) { return kind == InfoKind::kPrefix ? prefixWindow_ : prevQsoWindow_; }

  void Write(const char* key, const std::string& value) { settings_.Write({{key, value}}); }
  void PostRefresh() { PostMessageA(dialog_, kRefreshMessage, 0, 0); }

  const SetupContext& context_;
  Platform& platform_;
  SettingsStore settings_;  // this thread's own
  HWND dialog_ = nullptr;
  bool done_ = false;
  HostAutomation host_;
  SetupMemory memory_;  // this window's own: a new window starts afresh
  ScopedBrush background_;
  int onTop_ = 0;
  int viewPrefix_ = 0;
  int viewPrevQso_ = 0;
  CAdvancedButton bpsk_;
  CAdvancedButton rtty_;
  // The open information windows. One closed by its own button or Escape still counts as open: only the
  // check boxes close them for good.
  InfoWindow* prefixWindow_ = nullptr;
  InfoWindow* prevQsoWindow_ = nullptr;
  // What their content buttons draw: the prefix grid and the previous-QSO table.
  CCqWwInfoButton prefixContent_;
  CCqWpxRtty prevQsoContent_;
  // The lamps are drawn here and copied to the window on each paint.
  ScopedCreatedDC lampCanvas_;
  ScopedBitmap lampBitmap_;
  ScopedSelect lampBitmapSelected_;
};

bool SetupWindow::Start(HWND dialog) {
  dialog_ = dialog;
  if (context_.opened && !context_.opened(dialog)) return false;

  // One read for every setting the window starts with.
  const SettingsSnapshot saved = settings_.Load();
  onTop_ = g_windowsOnTop = SettingInt(saved, "setup_window_on_top") != 0;
  viewPrefix_ = SettingInt(saved, "setup_view_pref") != 0;
  viewPrevQso_ = SettingInt(saved, "setup_view_prev_qso") != 0;
  CheckDlgButton(dialog, IDC_ON_TOP, onTop_ ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_VIEW_PREFIX, viewPrefix_ ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_VIEW_PREV_QSO, viewPrevQso_ ? BST_CHECKED : BST_UNCHECKED);

  PlaceWindow(saved, dialog, "setup_x", "setup_y");
  // The Setup window itself is always on top; the check box is about the information windows.
  SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  background_.Reset(CreateSolidBrush(kBackground));
  SendMessageW(dialog, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(LoadIconW(context_.module, MAKEINTRESOURCEW(IDI_ZORVANT))));

  std::string year;
  bool russian;
  {
    std::lock_guard<std::mutex> lock(*context_.engineLock);
    year = context_.contest->startYear;
    russian = context_.contest->homeArea != 0;
  }
  SetText(dialog, SetupTitle(year, russian), russian);
  if (russian) {
    for (const ControlText& control : kRussianSetupTexts) {
      SetText(GetDlgItem(dialog, control.id), control.text, /*cp1251=*/true);
    }
    const PixelBox label = RussianModeLabelBox(WindowDpi(dialog));
    MoveWindow(GetDlgItem(dialog, kRussianModeLabelId), label.left, label.top, label.right - label.left,
               label.bottom - label.top, /*bRepaint=*/TRUE);
  }

  for (CAdvancedButton* button : {&bpsk_, &rtty_}) {
    button->Attach(button == &bpsk_ ? IDC_MODE_BPSK63 : IDC_MODE_RTTY, dialog, kButtonFace, kButtonCaption,
                   kButtonDisabledCaption);
    button->Redraw();
  }

  host_.Attach();
  SelectMode(ModeFromSetting(saved.Get("Mode", "")), /*remember=*/false);
  PostRefresh();

  BuildLampCanvas();
  InvalidateRect(dialog, nullptr, /*bErase=*/FALSE);
  EnableMenuItem(GetSystemMenu(dialog, /*bRevert=*/FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  SetTimer(dialog, kTourTimer, kTourPeriodMs, nullptr);
  return true;
}

// As large as the screen, so the window never shows an undrawn edge whatever its size.
void SetupWindow::BuildLampCanvas() {
  HDC screen = GetDC(dialog_);
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  lampCanvas_.Reset(CreateCompatibleDC(screen));
  lampBitmap_.Reset(CreateCompatibleBitmap(screen, width, height));
  ReleaseDC(dialog_, screen);
  if (!lampCanvas_ || !lampBitmap_) return;
  lampBitmapSelected_ = ScopedSelect(lampCanvas_.get(), lampBitmap_.get());
  const RECT all = {0, 0, width, height};
  ScopedBrush fill(CreateSolidBrush(kBackground));
  FillRect(lampCanvas_.get(), &all, fill.get());
  PaintLamp(1, kLampYellow);
  PaintLamp(2, kLampYellow);
}

void SetupWindow::PaintLamp(int lamp, COLORREF colour) {
  if (!lampCanvas_) return;
  ScopedPen outline(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
  ScopedBrush face(CreateSolidBrush(colour));
  ScopedSelect pen(lampCanvas_.get(), outline.get());
  ScopedSelect brush(lampCanvas_.get(), face.get());
  const PixelBox box = LampBox(lamp, WindowDpi(dialog_));
  Ellipse(lampCanvas_.get(), box.left, box.top, box.right, box.bottom);
}

void SetupWindow::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog_, &paint);
  RECT client;
  GetClientRect(dialog_, &client);
  if (lampCanvas_) {
    BitBlt(dc, 0, 0, client.right - client.left, client.bottom - client.top, lampCanvas_.get(), 0, 0,
           SRCCOPY);
  }
  EndPaint(dialog_, &paint);
}

void SetupWindow::OnTimer() {
  KillTimer(dialog_, kTourTimer);
  for (const LampPaint& lamp :
       TickTourTimer(platform_.UtcHour(), *context_.engineLock, *context_.contest, memory_)) {
    PaintLamp(lamp.lamp, lamp.colour);
    InvalidateRect(dialog_, nullptr, /*bErase=*/FALSE);
  }
  SetTimer(dialog_, kTourTimer, kTourPeriodMs, nullptr);
}

void SetupWindow::OnRefresh() {
  if (viewPrefix_ && !prefixWindow_) OpenInfo(InfoKind::kPrefix);
  if (viewPrevQso_ && !prevQsoWindow_) OpenInfo(InfoKind::kPrevQso);
  const RefreshResult result = RunRefresh(host_, *context_.engineLock, *context_.contest, memory_);
  if (prevQsoWindow_) {
    for (const std::string& title : result.prevQsoTitles) prevQsoWindow_->SetTitle(title, result.russian);
  }
  if (prefixWindow_ && result.prefixTitle) prefixWindow_->SetTitle(*result.prefixTitle, result.russian);
  if (result.repaintContent) {
    if (prefixWindow_) prefixWindow_->RepaintContent();
    if (prevQsoWindow_) prevQsoWindow_->RepaintContent();
  }
}

void SetupWindow::OpenInfo(InfoKind kind) {
  InfoWindow*& window = InfoOf(kind);
  InfoWindow::Painter painter;
  if (kind == InfoKind::kPrefix) {
    painter = [this](const DRAWITEMSTRUCT* item) { return prefixContent_.HandleDrawItem(item); };
  } else {
    painter = [this](const DRAWITEMSTRUCT* item) { return prevQsoContent_.HandleDrawItem(item); };
  }
  window = InfoWindow::Open(kind, context_.module, settings_, g_windowsOnTop != 0, std::move(painter));
  if (!window) return;
  Write(kind == InfoKind::kPrefix ? "setup_view_pref" : "setup_view_prev_qso", "1");
  TitleValues values;
  {
    std::lock_guard<std::mutex> lock(*context_.engineLock);
    values = TitleValuesOf(*context_.contest);
  }
  window->SetTitle(kind == InfoKind::kPrefix ? PrefixOpeningTitle(values) : PrevQsoTitle(values),
                   values.russian);
}

void SetupWindow::CloseInfo(InfoWindow*& window) {
  if (window) window->Destroy();
  window = nullptr;
}

void SetupWindow::ToggleInfo(InfoKind kind) {
  const bool prefix = kind == InfoKind::kPrefix;
  int& wanted = prefix ? viewPrefix_ : viewPrevQso_;
  InfoWindow*& window = InfoOf(kind);
  if (window) {
    CloseInfo(window);
    wanted = 0;
    Write(prefix ? "setup_view_pref" : "setup_view_prev_qso", "0");
    return;
  }
  wanted = 1;
  OpenInfo(kind);
  PostRefresh();
}

void SetupWindow::SelectMode(ModemMode mode, bool remember) {
  SendModeMacros(host_, mode);
  CAdvancedButton& chosen = mode == ModemMode::kBpsk63 ? bpsk_ : rtty_;
  CAdvancedButton& other = mode == ModemMode::kBpsk63 ? rtty_ : bpsk_;
  chosen.SetFaceColor(kSelectedFace);
  other.SetFaceColor(kButtonFace);
  other.SetCaptionColor(kButtonCaption);
  if (!remember) return;
  Write("Mode", ModeSetting(mode));
  {
    std::lock_guard<std::mutex> lock(*context_.engineLock);
    context_.contest->refreshPending = 1;
  }
  PostRefresh();
}

void SetupWindow::OnCommand(int id) {
  switch (id) {
    case IDC_MODE_BPSK63: SelectMode(ModemMode::kBpsk63, /*remember=*/true); break;
    case IDC_MODE_RTTY: SelectMode(ModemMode::kRtty, /*remember=*/true); break;
    case IDC_VIEW_PREFIX: ToggleInfo(InfoKind::kPrefix); break;
    case IDC_VIEW_PREV_QSO: ToggleInfo(InfoKind::kPrevQso); break;
    case IDC_ON_TOP:
      onTop_ = !onTop_;
      g_windowsOnTop = onTop_;
      Write("setup_window_on_top", onTop_ ? "1" : "0");
      // They take the new setting as the refresh reopens them.
      CloseInfo(prefixWindow_);
      CloseInfo(prevQsoWindow_);
      CheckDlgButton(dialog_, IDC_ON_TOP, onTop_ ? BST_CHECKED : BST_UNCHECKED);
      CheckDlgButton(dialog_, IDC_VIEW_PREFIX, viewPrefix_ ? BST_CHECKED : BST_UNCHECKED);
      CheckDlgButton(dialog_, IDC_VIEW_PREV_QSO, viewPrevQso_ ? BST_CHECKED : BST_UNCHECKED);
      PostRefresh();
      break;
  }
}

bool SetupWindow::IsDialogMessageOfOurs(MSG* msg) {
  for (HWND w : {dialog_, prefixWindow_ ? prefixWindow_->hwnd() : nullptr,
                 prevQsoWindow_ ? prevQsoWindow_->hwnd() : nullptr}) {
    if (w && IsDialogMessageW(w, msg)) return true;
  }
  return false;
}

INT_PTR SetupWindow::Handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      if (!Start(dialog)) done_ = true;
      return TRUE;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      return bpsk_.HandleDrawItem(item) || rtty_.HandleDrawItem(item);
    }
    case WM_PAINT: OnPaint(); return TRUE;
    case WM_TIMER:
      if (wParam != kTourTimer) return FALSE;
      OnTimer();
      return FALSE;  // and the default handling
    case kRefreshMessage: OnRefresh(); return TRUE;
    // On every mouse move over the window: cheap enough, and it catches every drag.
    case WM_SETCURSOR: SaveWindowCorner(settings_, dialog_, "setup_x", "setup_y"); return FALSE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, RGB(0, 0, 0));
      SetBkColor(dc, kBackground);
      return reinterpret_cast<INT_PTR>(background_.get());
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: return TRUE;  // Enter never closes the window
        case IDCANCEL:           // Escape, and WM_CLOSE through the dialog manager
          KillTimer(dialog, kTourTimer);
          done_ = true;
          return TRUE;
        default:
          if (HIWORD(wParam) == BN_CLICKED) OnCommand(LOWORD(wParam));
          return TRUE;
      }
  }
  return FALSE;
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
  auto* window = reinterpret_cast<SetupWindow*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
  return window ? window->Handle(dialog, message, wParam, lParam) : FALSE;
}

}  // namespace

// The window's own modal loop, which also gives the information windows their keyboard handling.
void RunSetupWindow(const SetupContext& context) {
  SetupWindow window(context);
  // A Unicode dialog, so that texts converted from the Russian code page show whatever the system's is.
  HWND dialog = CreateDialogParamW(context.module, MAKEINTRESOURCEW(IDD_SETUP), /*hWndParent=*/nullptr,
                                   SetupDialogProc, reinterpret_cast<LPARAM>(&window));
  if (!dialog) return;
  if (!window.done()) ShowWindow(dialog, SW_SHOWNORMAL);
  MSG msg;
  while (!window.done() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (window.IsDialogMessageOfOurs(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  DestroyWindow(dialog);
}

}  // namespace zorvant
