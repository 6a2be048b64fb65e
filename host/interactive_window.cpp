#include "host/interactive_window.h"

#include <commdlg.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/interactive_session.h"
#include "logs/adif.h"
#include "logs/log_reader.h"

namespace host {
namespace {

using cli::RunOptions;

constexpr UINT kModeChanged = WM_APP + 1;  // from the automation object: a macro pair switched the mode
constexpr UINT kLogRead = WM_APP + 2;      // from the reader thread; wParam is the reading's number
constexpr UINT_PTR kSliceTimer = 1;
// Work per timer tick while a log is fed to the plug-in. A timer message comes only when no other message
// waits, so typing, painting and the plug-in's calls into the automation object always go first.
constexpr DWORD kSliceMs = 25;

const char kDefaultOwnCall[] = "N0CALL";
const wchar_t kTitle[] = L"ZORVANT host stand-in";
const int kClientWidth = 560;
const int kClientHeight = 520;

// Each band button tunes to the band's digital-mode corner.
const struct {
  int id;
  const wchar_t* caption;
  const wchar_t* khz;
} kBands[] = {{kBand160Button, L"160", L"1838.0"},
              {kBand80Button, L"80", L"3580.0"},
              {kBand40Button, L"40", L"7040.0"},
              {kBand20Button, L"20", L"14080.0"}};

struct ControlSpec {
  int id;  // -1: a caption nobody talks to
  const wchar_t* windowClass;
  const wchar_t* text;
  DWORD style;
  int x, y, width, height;
};

constexpr DWORD kEdit = WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCaption = SS_LEFTNOWORDWRAP | SS_NOPREFIX;

const ControlSpec kControls[] = {
    {-1, L"STATIC", L"Own call", kCaption, 10, 14, 58, 16},
    {kOwnCallField, L"EDIT", L"", kEdit | ES_UPPERCASE, 70, 10, 90, 22},
    {-1, L"STATIC", L"Start, UTC", kCaption, 168, 14, 58, 16},
    {kStartField, L"EDIT", L"", kEdit, 232, 10, 118, 22},
    {kNewContestButton, L"BUTTON", L"New contest", kButton, 356, 9, 82, 24},
    {kOpenLogButton, L"BUTTON", L"Open log...", kButton, 444, 9, 106, 24},

    {-1, L"STATIC", L"Call", kCaption, 10, 52, 58, 16},
    {kCallField, L"EDIT", L"", kEdit | ES_UPPERCASE, 70, 44, 150, 30},
    {kVerdictLabel, L"STATIC", L"", SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX, 228, 44, 210, 30},
    {kModeLabel, L"STATIC", L"", SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX, 444, 44, 106, 30},

    {-1, L"STATIC", L"kHz", kCaption, 10, 88, 58, 16},
    {kFrequencyField, L"EDIT", L"3580.0", kEdit, 70, 84, 90, 22},
    {kBand160Button, L"BUTTON", L"160", kButton, 170, 83, 44, 24},
    {kBand80Button, L"BUTTON", L"80", kButton, 218, 83, 44, 24},
    {kBand40Button, L"BUTTON", L"40", kButton, 266, 83, 44, 24},
    {kBand20Button, L"BUTTON", L"20", kButton, 314, 83, 44, 24},
    {kBandLabel, L"STATIC", L"", kCaption, 366, 88, 72, 16},

    {-1, L"STATIC", L"RST sent", kCaption, 10, 122, 58, 16},
    {kRstSentField, L"EDIT", L"599", kEdit, 70, 118, 40, 22},
    {-1, L"STATIC", L"rcvd", kCaption, 116, 122, 28, 16},
    {kRstRcvdField, L"EDIT", L"599", kEdit, 146, 118, 40, 22},
    {-1, L"STATIC", L"Nr sent", kCaption, 200, 122, 44, 16},
    {kSentField, L"EDIT", L"001", kEdit, 246, 118, 50, 22},
    {-1, L"STATIC", L"rcvd", kCaption, 304, 122, 28, 16},
    {kRcvdField, L"EDIT", L"", kEdit, 334, 118, 50, 22},
    {kLogButton, L"BUTTON", L"Log", WS_TABSTOP | BS_DEFPUSHBUTTON, 444, 117, 106, 24},

    {kContactList, L"LISTBOX", L"",
     WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_USETABSTOPS | LBS_NOINTEGRALHEIGHT, 10, 152, 428, 150},
    {kDeleteButton, L"BUTTON", L"Delete", kButton, 444, 152, 106, 24},

    {kStatisticsButton, L"BUTTON", L"Statistics", kButton, 10, 310, 106, 24},
    {kExportButton, L"BUTTON", L"Export", kButton, 122, 310, 106, 24},
    {kReportPane, L"EDIT", L"", WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 10,
     340, 540, 140},

    {kStatusLine, L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 10, 492, 428, 16},
    {kCancelButton, L"BUTTON", L"Cancel", kButton, 444, 488, 106, 24},
};

std::wstring Widen(const std::string& text) {
  if (text.empty()) return L"";
  const int length = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_ACP, /*dwFlags=*/0, text.data(), length, nullptr, 0);
  std::wstring wide(n > 0 ? static_cast<size_t>(n) : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, /*dwFlags=*/0, text.data(), length, &wide[0], n);
  return wide;
}

// In the code page the plug-in reads its texts in.
std::string Narrow(const std::wstring& text) {
  if (text.empty()) return "";
  const int length = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_ACP, /*dwFlags=*/0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string narrow(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, /*dwFlags=*/0, text.data(), length, &narrow[0], n, nullptr, nullptr);
  return narrow;
}

std::string Trimmed(std::string text) {
  const size_t first = text.find_first_not_of(' ');
  const size_t last = text.find_last_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::wstring Format(const wchar_t* format, ...) {
  wchar_t text[512];
  va_list args;
  va_start(args, format);
  std::vswprintf(text, sizeof text / sizeof *text, format, args);
  va_end(args);
  return text;
}

std::wstring TimeText(const QsoTime& t) {
  return Format(L"%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
}

// "YYYY-MM-DD HH:MM" as the command line takes it.
bool ParseStart(const std::string& text, QsoTime* start) {
  RunOptions options;
  options.start = text;
  std::string error;
  const std::vector<logs::LogContact> none;
  return !text.empty() && cli::ContestStart(options, none, start, &error);
}

std::wstring FileName(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return Widen(slash == std::string::npos ? path : path.substr(slash + 1));
}

HFONT BoldFont(int pixels) {
  return CreateFontW(-pixels, /*cWidth=*/0, /*cEscapement=*/0, /*cOrientation=*/0, FW_BOLD, /*bItalic=*/FALSE,
                     /*bUnderline=*/FALSE, /*bStrikeOut=*/FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

// The text colour and background of the call check's answer.
struct Colours {
  COLORREF text;
  COLORREF back;
};
Colours VerdictColours(int check) {
  switch (check) {
    case 0: return {RGB(255, 255, 255), RGB(210, 40, 40)};       // dupe: earns nothing
    case 1: return {RGB(0, 0, 0), RGB(200, 222, 255)};           // ordinary: points
    case 2: return {RGB(255, 255, 255), RGB(30, 150, 60)};       // new prefix: a multiplier
    case 4: return {RGB(255, 255, 255), RGB(128, 128, 128)};     // not a contest contact
    default: return {RGB(0, 0, 0), GetSysColor(COLOR_BTNFACE)};  // nothing typed
  }
}

class InteractiveWindow {
 public:
  InteractiveWindow(const PluginLoader& plugin, HostObject& object, const RunOptions& options)
      : object_(object), options_(options), log_(plugin) {}
  ~InteractiveWindow() {
    if (reader_.joinable()) reader_.join();
    for (HGDIOBJ o : {static_cast<HGDIOBJ>(bigFont_), static_cast<HGDIOBJ>(boldFont_),
                      static_cast<HGDIOBJ>(verdictBrush_)}) {
      if (o) DeleteObject(o);
    }
  }
  InteractiveWindow(const InteractiveWindow&) = delete;
  InteractiveWindow& operator=(const InteractiveWindow&) = delete;

  bool Create();
  HWND hwnd() const { return window_; }

 private:
  enum class Job { kNone, kReading, kOpening, kExportRescan, kEndingExport };

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  void OnCommand(int id, int code);

  HWND Item(int id) const { return GetDlgItem(window_, id); }
  std::wstring Text(int id) const;
  void SetText(int id, const std::wstring& text) { SetWindowTextW(Item(id), text.c_str()); }
  void Status(const std::wstring& text) { SetText(kStatusLine, text); }
  std::string Mode() const;

  // What the operator does.
  void CallChanged();
  void FrequencyChanged();
  void Check();
  void LogContact();
  void DeleteContact();
  void NewContest();
  void OpenLog();
  void Export();
  void Cancel();
  void ShowReport();

  // A log read on the reader thread, then fed to the plug-in a slice at a time.
  void StartReading(const std::string& path);
  void LogRead(WPARAM reading);
  void StartJob(Job job);
  void Slice();
  void FinishJob(bool cancelled);
  void UpdateEnabled();
  void AddListItem(const LoggedContact& logged, bool select);
  void SetSerial(int serial) { SetText(kSentField, Format(L"%03d", serial)); }

  HostObject& object_;
  const RunOptions options_;
  HandLog log_;
  HWND window_ = nullptr;
  HFONT bigFont_ = nullptr;
  HFONT boldFont_ = nullptr;
  HBRUSH verdictBrush_ = nullptr;
  int verdict_ = -1;  // the check's last answer; -1 while nothing is typed
  unsigned freqHz_ = 0;

  Job job_ = Job::kNone;
  // Inside an export call that may show the plug-in's modal dialogs: their loops deliver this window's
  // messages, and no export may be called again until the call has returned.
  bool inPluginDialog_ = false;
  bool checkWaiting_ = false;  // a check asked for meanwhile
  size_t next_ = 0;            // the next contact a job feeds
  std::vector<logs::LogContact> opening_;
  std::string openingPath_;
  size_t problems_ = 0;  // what the reader found wrong with the records of the log opened
  std::thread reader_;
  std::shared_ptr<logs::LogReadResult> read_;
  WPARAM reading_ = 0;  // the reading whose result is awaited; a cancelled one's result is dropped
};

bool InteractiveWindow::Create() {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kInteractiveClass;
  RegisterClassExW(&wc);  // fails harmlessly when a session before this one registered it
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, style, /*bMenu=*/FALSE, /*dwExStyle=*/0);
  // A fixed corner, so that the plug-in's windows can be placed beside it (scripts/try.sh).
  window_ = CreateWindowExW(0, kInteractiveClass, kTitle, style, /*X=*/10, /*Y=*/10, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, nullptr, wc.hInstance, this);
  if (!window_) return false;

  object_.WatchMode(window_, kModeChanged);
  const std::string ownCall = options_.call.empty() ? kDefaultOwnCall : options_.call;
  QsoTime start = UtcHour();
  const bool startGiven = ParseStart(options_.start, &start);
  SetText(kOwnCallField, Widen(ownCall));
  SetText(kStartField, TimeText(start));
  SetText(kModeLabel, L"Mode " + Widen(Mode()));
  FrequencyChanged();
  UpdateEnabled();
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  if (!options_.log.empty()) {
    StartReading(options_.log);
  } else {
    NewContest();
    if (!options_.start.empty() && !startGiven) {
      Status(L"--start wants \"YYYY-MM-DD HH:MM\": the contest starts at this hour");
    }
  }
  SetFocus(Item(kCallField));
  return true;
}

LRESULT CALLBACK InteractiveWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<InteractiveWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<InteractiveWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  return self->Handle(message, wParam, lParam);
}

LRESULT InteractiveWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: CreateControls(); return 0;
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    // Enter anywhere in the window logs the contact (IsDialogMessage asks which button is the default).
    case DM_GETDEFID: return MAKELRESULT(kLogButton, DC_HASDEFID);
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == Item(kVerdictLabel)) {
        const Colours colours = VerdictColours(verdict_);
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, colours.text);
        SetBkColor(dc, colours.back);
        if (verdictBrush_) DeleteObject(verdictBrush_);
        verdictBrush_ = CreateSolidBrush(colours.back);
        return reinterpret_cast<LRESULT>(verdictBrush_);
      }
      break;
    case WM_TIMER:
      if (wParam == kSliceTimer) Slice();
      return 0;
    case kModeChanged:
      SetText(kModeLabel, L"Mode " + Widen(Mode()));
      Check();
      return 0;
    case kLogRead: LogRead(wParam); return 0;
    case WM_CLOSE:
      // The stack below holds an export call until its dialog is answered.
      if (inPluginDialog_) {
        Status(L"Answer the plug-in's dialog first");
        return 0;
      }
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      KillTimer(window_, kSliceTimer);
      object_.WatchMode(nullptr, 0);
      ++reading_;
      if (reader_.joinable()) reader_.join();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void InteractiveWindow::CreateControls() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  bigFont_ = BoldFont(/*pixels=*/18);
  boldFont_ = BoldFont(/*pixels=*/14);
  for (const ControlSpec& c : kControls) {
    const bool framed =
        std::wcscmp(c.windowClass, L"STATIC") != 0 && std::wcscmp(c.windowClass, L"BUTTON") != 0;
    HWND control = CreateWindowExW(framed ? WS_EX_CLIENTEDGE : 0, c.windowClass, c.text,
                                   WS_CHILD | WS_VISIBLE | c.style, c.x, c.y, c.width, c.height, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    HFONT own = c.id == kCallField                            ? bigFont_
                : c.id == kVerdictLabel || c.id == kModeLabel ? boldFont_
                                                              : font;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(own ? own : font), /*lParam=*/FALSE);
  }
  // Columns of the list: time, call, band, mode, reports, numbers, what the plug-in made of it.
  const int stops[] = {30, 72, 96, 130, 162, 194};
  SendMessageW(Item(kContactList), LB_SETTABSTOPS, std::size(stops), reinterpret_cast<LPARAM>(stops));
  SendMessageW(Item(kCallField), EM_SETLIMITTEXT, /*wParam=*/20, 0);
}

std::wstring InteractiveWindow::Text(int id) const {
  HWND item = Item(id);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(item, &text[0], static_cast<int>(text.size()))));
  return text;
}

std::string InteractiveWindow::Mode() const {
  // The modem is in RTTY until the plug-in switches it, as the plug-in itself assumes.
  const std::string mode = object_.mode();
  return mode.empty() ? "RTTY" : mode;
}

void InteractiveWindow::OnCommand(int id, int code) {
  if (code == EN_CHANGE) {
    if (id == kCallField) CallChanged();
    if (id == kFrequencyField) FrequencyChanged();
    return;
  }
  if (code != BN_CLICKED) return;
  for (const auto& band : kBands) {
    if (id == band.id) {
      SetText(kFrequencyField, band.khz);
      SetFocus(Item(kCallField));
      return;
    }
  }
  switch (id) {
    case kLogButton: LogContact(); break;
    case kDeleteButton: DeleteContact(); break;
    case kNewContestButton: NewContest(); break;
    case kOpenLogButton: OpenLog(); break;
    case kStatisticsButton:
      if (job_ != Job::kNone || inPluginDialog_) break;
      ShowReport();
      Status(log_.reportFile().empty() ? L"Statistics asked for; the HTML could not be saved"
                                       : L"Statistics asked for; the HTML is in " + Widen(log_.reportFile()));
      break;
    case kExportButton: Export(); break;
    case kCancelButton: Cancel(); break;
  }
}

void InteractiveWindow::CallChanged() {
  // The object answers the new text before the check hands the Setup window its refresh.
  object_.SetEnteredCall(Text(kCallField));
  Check();
}

void InteractiveWindow::FrequencyChanged() {
  std::string khz = Narrow(Text(kFrequencyField));
  for (char& c : khz) {
    if (c == ',') c = '.';
  }
  char* end = nullptr;
  const double value = std::strtod(khz.c_str(), &end);
  const bool number = end != khz.c_str() && Trimmed(end).empty() && value > 0 && value < 4294967.0;
  freqHz_ = number ? static_cast<unsigned>(value * 1000.0 + 0.5) : 0;
  object_.SetFrequency(freqHz_);
  const std::string band = logs::BandOfHz(freqHz_);
  SetText(kBandLabel, band.empty() ? L"no band" : Widen(band));
  Check();
}

void InteractiveWindow::Check() {
  if (inPluginDialog_) {
    checkWaiting_ = true;
    return;
  }
  checkWaiting_ = false;
  const std::string call = Narrow(Text(kCallField));
  const int check = log_.Check(TypedContact(call, freqHz_, Mode()));
  verdict_ = call.empty() ? -1 : check;
  SetText(kVerdictLabel, call.empty() ? L"" : Widen(VerdictName(check)));
  InvalidateRect(Item(kVerdictLabel), nullptr, /*bErase=*/TRUE);
}

void InteractiveWindow::LogContact() {
  if (job_ != Job::kNone || inPluginDialog_) return;
  const std::string call = Trimmed(Narrow(Text(kCallField)));
  if (call.empty()) {
    Status(L"Type the callsign of the contact first");
    SetFocus(Item(kCallField));
    return;
  }
  logs::LogContact c = TypedContact(call, freqHz_, Mode());
  c.rstSent = Trimmed(Narrow(Text(kRstSentField)));
  c.rstRcvd = Trimmed(Narrow(Text(kRstRcvdField)));
  c.exchSent = Trimmed(Narrow(Text(kSentField)));
  c.exchRcvd = Trimmed(Narrow(Text(kRcvdField)));
  const bool stored = log_.Log(c);
  AddListItem(log_.contacts().back(), /*select=*/true);
  // The statistics follow every contact, as the host's do; the report also renews the prefix lists that the
  // plug-in's Prefix window counts.
  ShowReport();
  SetSerial(std::atoi(c.exchSent.c_str()) + 1);
  SetText(kRcvdField, L"");
  SetText(kCallField, L"");  // its check, with the next refresh of the plug-in's windows
  SetFocus(Item(kCallField));
  Status(L"Logged " + Widen(call) + L" on " + (c.band.empty() ? L"no band" : Widen(c.band)) + L" " +
         Widen(c.mode) + (stored ? L": stored by the plug-in" : L": rejected by the plug-in"));
}

void InteractiveWindow::DeleteContact() {
  if (job_ != Job::kNone || inPluginDialog_) return;
  const LRESULT selected = SendMessageW(Item(kContactList), LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR || static_cast<size_t>(selected) >= log_.contacts().size()) {
    Status(L"Select the contact to delete in the list");
    return;
  }
  const std::string call = log_.contacts()[static_cast<size_t>(selected)].contact.call;
  log_.Remove(static_cast<size_t>(selected));
  SendMessageW(Item(kContactList), LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
  // The report renews the prefix lists, and the check after it hands the plug-in's windows a refresh that
  // counts them (the one RemoveData0 posts may come before the report).
  ShowReport();
  Check();
  Status(L"Deleted " + Widen(call));
}

void InteractiveWindow::NewContest() {
  if (job_ != Job::kNone || inPluginDialog_) return;
  const std::string ownCall = Trimmed(Narrow(Text(kOwnCallField)));
  QsoTime start;
  if (ownCall.empty()) {
    Status(L"A new contest needs the own callsign");
    return;
  }
  if (!ParseStart(Trimmed(Narrow(Text(kStartField))), &start)) {
    Status(L"The start wants \"YYYY-MM-DD HH:MM\", in UTC");
    return;
  }
  log_.NewContest(ownCall, start);
  SendMessageW(Item(kContactList), LB_RESETCONTENT, 0, 0);
  SetSerial(1);
  ShowReport();
  Check();
  Status(L"New contest of " + Widen(ownCall) + L" from " + TimeText(start) + L" UTC");
}

void InteractiveWindow::OpenLog() {
  if (job_ != Job::kNone || inPluginDialog_) return;
  // The common dialogs come from their own library, loaded only for this.
  HMODULE dialogs = LoadLibraryW(L"comdlg32.dll");
  FARPROC proc = dialogs ? GetProcAddress(dialogs, "GetOpenFileNameW") : nullptr;
  if (!proc) {
    Status(L"No file dialog here: give the log on the command line");
    if (dialogs) FreeLibrary(dialogs);
    return;
  }
  BOOL(WINAPI * getOpenFileName)(OPENFILENAMEW*);
  std::memcpy(&getOpenFileName, &proc, sizeof proc);
  wchar_t path[MAX_PATH] = L"";
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = window_;
  ofn.lpstrFilter = L"Contest logs (*.adi, *.adif, *.cbr, *.log)\0*.adi;*.adif;*.cbr;*.log\0All files\0*.*\0";
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrTitle = L"Open a contest log";
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  const bool chosen = getOpenFileName(&ofn) != 0;
  FreeLibrary(dialogs);
  if (chosen) StartReading(Narrow(path));
}

void InteractiveWindow::StartReading(const std::string& path) {
  if (reader_.joinable()) reader_.join();
  auto result = std::make_shared<logs::LogReadResult>();
  read_ = result;
  const WPARAM reading = ++reading_;
  openingPath_ = path;
  HWND window = window_;
  reader_ = std::thread([path, result, window, reading] {
    *result = logs::ReadLog(path);
    PostMessageW(window, kLogRead, reading, 0);
  });
  StartJob(Job::kReading);
  Status(L"Reading " + FileName(path) + L"...");
}

void InteractiveWindow::LogRead(WPARAM reading) {
  if (reader_.joinable()) reader_.join();  // it has posted its last word
  if (reading != reading_ || job_ != Job::kReading) return;
  logs::LogReadResult& read = *read_;
  if (!read.opened || read.format.empty()) {
    StartJob(Job::kNone);
    Status(read.problems.empty() ? FileName(openingPath_) + L": neither an ADIF nor a Cabrillo log"
                                 : Widen(read.problems.front()));
    return;
  }
  // Part of a log is not the log: the contest in the window stays as it was.
  if (read.failed) {
    StartJob(Job::kNone);
    Status(Widen(read.problems.back()) + L"; the log is not opened");
    return;
  }
  // The log's own contest unless the command line named another; the window's fields when the log is silent.
  std::string ownCall, error;
  QsoTime start;
  if (!cli::OwnCall(options_, read.contacts, &ownCall, &error)) {
    ownCall = Trimmed(Narrow(Text(kOwnCallField)));
  }
  if (!cli::ContestStart(options_, read.contacts, &start, &error) &&
      !ParseStart(Trimmed(Narrow(Text(kStartField))), &start)) {
    start = UtcHour();
  }
  if (ownCall.empty()) ownCall = kDefaultOwnCall;
  SetText(kOwnCallField, Widen(ownCall));
  SetText(kStartField, TimeText(start));
  log_.NewContest(ownCall, start);
  SendMessageW(Item(kContactList), LB_RESETCONTENT, 0, 0);
  opening_ = std::move(read.contacts);
  problems_ = read.problems.size();
  read_.reset();
  StartJob(Job::kOpening);
}

void InteractiveWindow::StartJob(Job job) {
  job_ = job;
  next_ = 0;
  if (job == Job::kOpening || job == Job::kExportRescan || job == Job::kEndingExport) {
    SetTimer(window_, kSliceTimer, USER_TIMER_MINIMUM, nullptr);
  } else {
    KillTimer(window_, kSliceTimer);
  }
  UpdateEnabled();
}

void InteractiveWindow::Slice() {
  if (inPluginDialog_ || job_ == Job::kNone || job_ == Job::kReading) return;
  const bool opening = job_ == Job::kOpening;
  const size_t total = opening ? opening_.size() : log_.contacts().size();
  HWND list = Item(kContactList);
  SendMessageW(list, WM_SETREDRAW, /*wParam=*/FALSE, 0);
  const ULONGLONG until = GetTickCount64() + kSliceMs;
  for (; next_ < total && GetTickCount64() < until; ++next_) {
    if (opening) {
      log_.Log(opening_[next_]);
      AddListItem(log_.contacts().back(), /*select=*/false);
    } else {
      log_.Feed(next_);
    }
  }
  SendMessageW(list, WM_SETREDRAW, /*wParam=*/TRUE, 0);
  InvalidateRect(list, nullptr, /*bErase=*/TRUE);
  const wchar_t* doing = opening ? L"Opening" : L"Export: the plug-in rescans";
  Status(Format(L"%ls %ls: %lu of %lu contacts", doing, opening ? FileName(openingPath_).c_str() : L"the log",
                static_cast<unsigned long>(next_), static_cast<unsigned long>(total)));
  if (next_ >= total) FinishJob(/*cancelled=*/false);
}

void InteractiveWindow::FinishJob(bool cancelled) {
  const Job job = job_;
  StartJob(Job::kNone);
  if (job == Job::kOpening) {
    size_t stored = 0;
    for (const LoggedContact& c : log_.contacts()) stored += c.stored;
    const size_t fed = log_.contacts().size();
    const std::wstring name = FileName(openingPath_);
    opening_.clear();
    SendMessageW(Item(kContactList), LB_SETCURSEL, fed ? fed - 1 : static_cast<WPARAM>(-1), 0);
    SetSerial(static_cast<int>(fed) + 1);
    ShowReport();
    Check();
    auto n = [](size_t count) { return std::to_wstring(count); };
    std::wstring status = cancelled ? L"Stopped after " + n(fed) + L" contacts of " + name
                                    : L"Opened " + name + L": " + n(fed) + L" contacts (" + n(stored) +
                                          L" stored, " + n(fed - stored) + L" rejected)";
    if (problems_) status += L"; " + n(problems_) + L" problems with its records";
    Status(status);
  } else if (job == Job::kExportRescan) {
    // The report of an export pass writes the Cabrillo file and shows the "Output" box.
    inPluginDialog_ = true;
    UpdateEnabled();
    ShowReport();
    inPluginDialog_ = false;
    // Back to an ordinary session, so that later statistics write no file.
    log_.EndExport();
    StartJob(Job::kEndingExport);
  } else if (job == Job::kEndingExport) {
    Check();
    Status(L"Exported: the Cabrillo file is in the stand-in's folder");
  }
}

void InteractiveWindow::Export() {
  if (job_ != Job::kNone || inPluginDialog_) return;
  inPluginDialog_ = true;
  UpdateEnabled();
  Status(L"Export: the plug-in asks for the Cabrillo header");
  log_.ResetForExport();
  inPluginDialog_ = false;
  StartJob(Job::kExportRescan);
}

void InteractiveWindow::Cancel() {
  if (job_ == Job::kReading) {
    ++reading_;  // its result is dropped when it comes
    StartJob(Job::kNone);
    Status(L"Stopped reading " + FileName(openingPath_));
  } else if (job_ == Job::kOpening) {
    FinishJob(/*cancelled=*/true);
  }
}

void InteractiveWindow::ShowReport() {
  SetWindowTextA(Item(kReportPane), log_.Report().c_str());
  if (checkWaiting_ && !inPluginDialog_) Check();
}

void InteractiveWindow::UpdateEnabled() {
  const bool idle = job_ == Job::kNone && !inPluginDialog_;
  for (int id :
       {kNewContestButton, kOpenLogButton, kLogButton, kDeleteButton, kStatisticsButton, kExportButton}) {
    EnableWindow(Item(id), idle);
  }
  EnableWindow(Item(kCancelButton), job_ == Job::kReading || job_ == Job::kOpening);
}

void InteractiveWindow::AddListItem(const LoggedContact& logged, bool select) {
  const logs::LogContact& c = logged.contact;
  const std::wstring item =
      Format(L"%02d:%02d", c.time.hour, c.time.minute) + L"\t" + Widen(c.call) + L"\t" + Widen(c.band) +
      L"\t" + Widen(c.mode) + L"\t" + Widen(c.rstSent + " " + c.rstRcvd) + L"\t" +
      Widen(c.exchSent + " " + c.exchRcvd) + L"\t" + (logged.stored ? L"stored" : L"rejected");
  HWND list = Item(kContactList);
  const LRESULT at = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  if (select) SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
}

}  // namespace

int RunInteractive(const PluginLoader& plugin, HostObject& object, const RunOptions& options) {
  InteractiveWindow window(plugin, object, options);
  if (!window.Create()) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // Tab between the fields, Enter for Log.
    if (IsDialogMessageW(window.hwnd(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

}  // namespace host
