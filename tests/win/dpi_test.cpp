// The Setup and Prefix windows on screens of 96, 120, 144 and 192 DPI. The screen's DPI is the prefix's
// LogPixels setting, read by each process as it starts: the test sets it, runs a scripted host session in a
// process of its own, and sets it back. The session checks the windows from inside and exits with 0, or with
// the number of the first check that failed (it prints what it saw).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gtest/gtest.h"
#include "host/window_picture.h"
#include "resources/resource.h"
#include "tests/win/child.h"
#include "tests/win/host_thread.h"
#include "tests/win/window_steps.h"
#include "ui/gdi_win32.h"
#include "ui/setup_logic.h"

namespace {

constexpr COLORREF kGreen = RGB(0, 255, 0), kYellow = RGB(255, 255, 0);

// The screen's DPI for the processes started while the object lives.
class ScreenDpi {
 public:
  explicit ScreenDpi(DWORD dpi) {
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                    KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr);
    DWORD size = sizeof old_;
    had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size) ==
           ERROR_SUCCESS;
    RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
  }
  ~ScreenDpi() {
    if (had_) {
      RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof old_);
    } else {
      RegDeleteValueW(key_, L"LogPixels");
    }
    RegCloseKey(key_);
  }

 private:
  HKEY key_ = nullptr;
  DWORD old_ = 0;
  bool had_ = false;
};

DWORD RunSession(const std::string& mode) {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string command = std::string("\"") + exe + "\" " + kChildFlag + mode;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 9999;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(pi.hProcess, host::Scaled(90000)) == WAIT_OBJECT_0) {
    GetExitCodeProcess(pi.hProcess, &code);
  } else {
    TerminateProcess(pi.hProcess, 99);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

TEST(ScreenDpi, LampsLabelsAndPrefixRowsFollowTheWindowsDpi) {
  for (const DWORD dpi : {96, 120, 144, 192}) {
    const ScreenDpi screen(dpi);
    for (const char* language : {"english", "russian"}) {
      EXPECT_EQ(RunSession(std::string("layout-") + language + "-" + std::to_string(dpi)), 0u)
          << language << " at " << dpi << " DPI";
    }
  }
}

RECT ClientRectOf(HWND control, HWND parent) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// How wide and high the control's text is in the control's own font.
SIZE TextSize(HWND control) {
  wchar_t text[128] = {};
  const int n = GetWindowTextW(control, text, 128);
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size = {};
  GetTextExtentPoint32W(dc, text, n, &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size;
}

COLORREF PixelAt(HWND w, int x, int y, COLORREF expected) {
  COLORREF seen = CLR_INVALID;
  WaitUntil(
      [&] {
        HDC dc = GetDC(w);
        seen = GetPixel(dc, x, y);
        ReleaseDC(w, dc);
        return seen == expected;
      },
      3000);
  return seen;
}

}  // namespace

// The Setup window at (20, 20) with the first tour running, and the Prefix window open, at the screen's DPI.
int CheckLayoutAtDpi(const char* mode) {
  const bool russian = std::strstr(mode, "russian") != nullptr;
  const int dpi = std::atoi(std::strrchr(mode, '-') + 1);
  TempFolder folder;
  CreateDirectoryA("Plugins", nullptr);
  const std::string ini = folder.path() + "\\Plugins\\ZORVANT.ini";
  WritePrivateProfileStringA("Settings", "setup_x", "20", ini.c_str());
  WritePrivateProfileStringA("Settings", "setup_y", "20", ini.c_str());
  WritePrivateProfileStringA("Settings", "setup_view_pref", "1", ini.c_str());
  WritePrivateProfileStringA("Settings", "dxcc_x", "20", ini.c_str());
  WritePrivateProfileStringA("Settings", "dxcc_y", "300", ini.c_str());
  HostThread host(/*publish=*/true);
  LoadedPlugin p;
  if (!p.Load()) return 1;
  SYSTEMTIME now;
  GetSystemTime(&now);
  const int hour = now.wHour > 0 ? now.wHour - 1 : 0;
  host.Run([&] { CallReset(p, MakeDate(now.wYear, now.wMonth, now.wDay, hour, 0), russian ? "UA" : "DL"); })
      .wait();
  host::PluginWindows windows;
  WaitUntil([&] {
    windows = host::FindPluginWindows();
    return windows.setup && windows.prefix && IsWindowVisible(windows.setup);
  });
  int failed = 0;
  const auto check = [&](int number, bool good, const std::string& what) {
    if (!good && failed == 0) failed = number;
    if (!good) std::printf("%s at %d DPI: %s\n", russian ? "Russian" : "English", dpi, what.c_str());
  };
  check(2, windows.setup && windows.prefix, "the Setup or the Prefix window did not open");
  if (failed) return failed;
  const HWND setup = windows.setup;
  check(3, zorvant::WindowDpi(setup) == dpi, "the window is at " + std::to_string(zorvant::WindowDpi(setup)));

  // Each lamp beside its tour label, on its row, lit as the tour stands.
  const int labels[2] = {IDC_TOUR1_LABEL, IDC_TOUR2_LABEL};
  const COLORREF colours[2] = {kGreen, kYellow};
  for (int lamp = 1; lamp <= 2; ++lamp) {
    const zorvant::PixelBox box = zorvant::LampBox(lamp, dpi);
    const RECT label = ClientRectOf(GetDlgItem(setup, labels[lamp - 1]), setup);
    const int x = (box.left + box.right) / 2, y = (box.top + box.bottom) / 2;
    const std::string where = "lamp " + std::to_string(lamp) + " at (" + std::to_string(x) + ", " +
                              std::to_string(y) + "), its label right of " + std::to_string(label.right) +
                              " from " + std::to_string(label.top) + " to " + std::to_string(label.bottom);
    check(4, box.left >= label.right && y >= label.top && y <= label.bottom, where);
    const COLORREF seen = PixelAt(setup, x, y, colours[lamp - 1]);
    check(5, seen == colours[lamp - 1], where + ": colour " + std::to_string(seen));
  }

  // No label cut: each text fits its control.
  for (const int id : {IDC_VIEW_LABEL, IDC_MODE_LABEL, IDC_TOUR1_LABEL, IDC_TOUR2_LABEL}) {
    const HWND control = GetDlgItem(setup, id);
    RECT r;
    GetClientRect(control, &r);
    const SIZE text = TextSize(control);
    check(6, text.cx <= r.right && text.cy <= r.bottom,
          "control " + std::to_string(id) + ": text " + std::to_string(text.cx) + " x " +
              std::to_string(text.cy) + " in " + std::to_string(r.right) + " x " + std::to_string(r.bottom));
  }

  // The Prefix window's lines are at least as far apart as its font is high.
  const HWND content = GetDlgItem(windows.prefix, IDC_CONTENT);
  const int line = zorvant::ScaledToDpi(15, zorvant::WindowDpi(content));
  HDC dc = GetDC(content);
  TEXTMETRICW metrics = {};
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(content, WM_GETFONT, 0, 0)));
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(content, dc);
  check(7, metrics.tmHeight <= line,
        "prefix lines " + std::to_string(line) + " apart, the font " + std::to_string(metrics.tmHeight) +
            " high");

  host.Run([&] { p.Unload(); }).wait();
  return failed;
}
