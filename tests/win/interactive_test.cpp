// The stand-in's interactive window driven through its own controls, as a person would drive it, with the
// plug-in's windows following what is typed. The window's thread is set up as the stand-in's main sets it
// up; the plug-in's windows are read as the other window tests read them.
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "cli/run_options.h"
#include "gtest/gtest.h"
#include "host/automation_object.h"
#include "host/interactive_window.h"
#include "host/plugin_loader.h"
#include "host/window_picture.h"
#include "tests/win/child.h"
#include "tests/win/window_steps.h"

namespace {

// One key after the other, at a person's pace: the plug-in's Setup window gets to read what is typed.
void Type(HWND edit, const wchar_t* text) {
  for (const wchar_t* c = text; *c; ++c) {
    SendMessageW(edit, WM_CHAR, *c, 0);
    Sleep(150);
  }
}

// An ADIF log of the current UTC hour, so that the session's contest starts at this hour and every contact,
// typed or logged, is in its first tour. `contacts` are call, band, frequency in MHz and mode.
struct Worked {
  const char* call;
  const char* band;
  const char* mhz;
  const char* mode;
};
std::string LogOfThisHour(const char* ownCall, const std::vector<Worked>& contacts) {
  SYSTEMTIME now;
  GetSystemTime(&now);
  char date[16];
  std::snprintf(date, sizeof date, "%04d%02d%02d", now.wYear, now.wMonth, now.wDay);
  auto field = [](const char* name, const std::string& value) {
    return "<" + std::string(name) + ":" + std::to_string(value.size()) + ">" + value + " ";
  };
  std::string adif = "Contacts of this hour\r\n<EOH>\r\n";
  int serial = 0;
  for (const Worked& w : contacts) {
    ++serial;
    char time[16], sent[8], rcvd[8];
    std::snprintf(time, sizeof time, "%02d00%02d", now.wHour, serial % 60);
    std::snprintf(sent, sizeof sent, "%03d", serial);
    std::snprintf(rcvd, sizeof rcvd, "%03d", 10 + serial * 7 % 90);
    adif += field("STATION_CALLSIGN", ownCall) + field("CALL", w.call) + field("QSO_DATE", date) +
            field("TIME_ON", time) + field("BAND", w.band) + field("FREQ", w.mhz) + field("MODE", w.mode) +
            field("RST_SENT", "599") + field("RST_RCVD", "599") + field("STX_STRING", sent) +
            field("SRX_STRING", rcvd) + "<EOR>\r\n";
  }
  return adif;
}

int ThisYear() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  return now.wYear;
}

// The stand-in's interactive session on a thread of its own, set up as its main sets it up: the host's
// thread in its COM apartment, the automation object published there, the plug-in loaded from beside the
// tests. Ends as the stand-in ends: the window closed, the library let go, the Setup window closed.
class Session {
 public:
  explicit Session(cli::RunOptions options) {
    options.interactive = true;
    options.dll = PluginPath();
    thread_ = std::thread([options] {
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      {
        host::PluginLoader plugin;
        host::HostObject object;
        if (plugin.Load(options.dll) && object.Publish()) host::RunInteractive(plugin, object, options);
        plugin.Unload();
        host::CloseSetupWindow();
        object.Withdraw();
      }
      CoUninitialize();
    });
    // Shown once its controls are there.
    HWND found = nullptr;
    WaitUntil(
        [&] { return (found = FindWindowW(host::kInteractiveClass, nullptr)) && IsWindowVisible(found); });
    window_ = found;
  }
  ~Session() {
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
    thread_.join();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  HWND window() const { return window_; }
  HWND Item(int id) const { return GetDlgItem(window_, id); }
  int Contacts() const { return static_cast<int>(SendMessageW(Item(host::kContactList), LB_GETCOUNT, 0, 0)); }

 private:
  std::thread thread_;
  HWND window_ = nullptr;
};

// The plug-in's windows shown beside the stand-in's, RTTY chosen.
void WriteStationSettings(const std::string& folder) {
  CreateDirectoryA("Plugins", nullptr);
  const std::string ini = folder + "\\Plugins\\ZORVANT.ini";
  const char* const settings[][2] = {
      {"Mode", "RTTY"},   {"setup_view_pref", "1"}, {"setup_view_prev_qso", "1"},
      {"setup_x", "585"}, {"setup_y", "10"},        {"prev_x", "585"},
      {"prev_y", "170"},  {"dxcc_x", "585"},        {"dxcc_y", "395"}};
  for (const auto& s : settings) WritePrivateProfileStringA("Settings", s[0], s[1], ini.c_str());
}

std::string BadQsoFile() {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("BadQSO_StatsZORVANT_*.txt", &data);
  if (find == INVALID_HANDLE_VALUE) return "(no bad-QSO file)";
  FindClose(find);
  return ReadFileBytes(data.cFileName);
}

TEST(Interactive, ATypedDupeALoggedContactAndItsDeletionReachThePluginsWindows) {
  TempFolder folder;
  WriteStationSettings(folder.path());
  // Five prefixes on 80 m, and SP2BK worked twice: the second time a dupe, with its bad-QSO line.
  WriteFileBytes("contest.adi", LogOfThisHour("DL0ZV", {{"UA9VZ", "80m", "3.5800", "RTTY"},
                                                        {"SP2BK", "80m", "3.5812", "RTTY"},
                                                        {"DL5KQG", "80m", "3.5830", "RTTY"},
                                                        {"I2SED", "80m", "3.5841", "RTTY"},
                                                        {"CT1XM", "80m", "3.5855", "RTTY"},
                                                        {"SP2BK", "80m", "3.5867", "RTTY"}}));
  cli::RunOptions options;
  options.log = "contest.adi";
  Session session(options);
  ASSERT_NE(session.window(), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return session.Contacts() == 6; }));
  host::PluginWindows plugin;
  ASSERT_TRUE(WaitUntil([&] { return (plugin = host::FindPluginWindows()).prefix && plugin.prevQso; }));
  const std::wstring year = std::to_wstring(ThisYear());
  auto prefixTitle = [&](int count) {
    return L"ZORVANT-" + year + L"  prefix worked on 80m " + std::to_wstring(count) + L" tour 1";
  };
  ASSERT_EQ(TextWhen(plugin.prefix, prefixTitle(5)), prefixTitle(5));
  const std::string badQsos = BadQsoFile();
  ASSERT_NE(badQsos.find("SP2BK"), std::string::npos) << badQsos;

  HWND call = session.Item(host::kCallField);
  Type(call, L"sp2bk");
  EXPECT_EQ(TextOf(session.Item(host::kVerdictLabel)), L"dupe");
  const std::wstring withCall = L"ZORVANT-" + year + L" Previous QSO with SP2BK tour 1 ";
  EXPECT_EQ(TextWhen(plugin.prevQso, withCall), withCall);

  // A new prefix, logged with Enter.
  SetWindowTextW(call, L"");
  Type(call, L"YO3AMT");
  EXPECT_EQ(TextOf(session.Item(host::kVerdictLabel)), L"new prefix");
  SetWindowTextW(session.Item(host::kRcvdField), L"042");
  PostMessageW(call, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(WaitUntil([&] { return session.Contacts() == 7; }));
  EXPECT_EQ(TextOf(call), L"");
  EXPECT_EQ(TextOf(session.Item(host::kSentField)), L"008");
  EXPECT_EQ(TextWhen(plugin.prefix, prefixTitle(6)), prefixTitle(6));

  // Deleted again: the plug-in counts it no more and its bad-QSO file is as the log left it.
  SendMessageW(session.Item(host::kContactList), LB_SETCURSEL, /*wParam=*/6, 0);
  Click(session.Item(host::kDeleteButton));
  ASSERT_TRUE(WaitUntil([&] { return session.Contacts() == 6; }));
  EXPECT_EQ(TextWhen(plugin.prefix, prefixTitle(5)), prefixTitle(5));
  EXPECT_EQ(BadQsoFile(), badQsos);
}

}  // namespace

// For the README's picture (scripts/screenshots.sh): a live session beside the plug-in's three windows, a
// callsign of the log typed on 80 m. "interactive-session.ready" beside this program says when it is there
// to be pictured.
int ShowInteractiveSession() {
  TempFolder folder;
  WriteStationSettings(folder.path());
  WriteFileBytes("contest.adi", LogOfThisHour("DL0ZV", {{"UA9VZ", "80m", "3.5800", "RTTY"},
                                                        {"SP2BK", "80m", "3.5812", "RTTY"},
                                                        {"DL5KQG", "80m", "3.5830", "RTTY"},
                                                        {"I2SED", "80m", "3.5841", "RTTY"},
                                                        {"CT1XM", "80m", "3.5855", "RTTY"},
                                                        {"RK3ZQM", "80m", "3.5861", "RTTY"},
                                                        {"YU1ZZC", "80m", "3.5872", "RTTY"},
                                                        {"UA3ZU", "80m", "3.5880", "BPSK63"},
                                                        {"SP2BK", "80m", "3.5885", "BPSK63"},
                                                        {"LY2KIJ", "80m", "3.5890", "RTTY"},
                                                        {"EA3VDO", "40m", "7.0400", "RTTY"},
                                                        {"SP2BK", "40m", "7.0410", "RTTY"},
                                                        {"UA2LP", "160m", "1.8380", "RTTY"}}));
  cli::RunOptions options;
  options.log = "contest.adi";
  Session session(options);
  if (!session.window()) return 1;
  host::PluginWindows plugin;
  if (!WaitUntil([&] { return session.Contacts() == 13; }) ||
      !WaitUntil([&] { return (plugin = host::FindPluginWindows()).prefix && plugin.prevQso; })) {
    return 2;
  }
  Sleep(1000);
  SetForegroundWindow(session.window());
  Type(session.Item(host::kCallField), L"SP2BK");
  SetWindowTextW(session.Item(host::kRcvdField), L"057");
  const std::wstring title = L"ZORVANT-" + std::to_wstring(ThisYear()) + L" Previous QSO with SP2BK tour 1 ";
  if (TextWhen(plugin.prevQso, title) != title) return 3;
  Sleep(1000);
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string ready = exe;
  ready = ready.substr(0, ready.find_last_of("\\/") + 1) + "interactive-session.ready";
  WriteFileBytes(ready, "");
  Sleep(6000);
  DeleteFileA(ready.c_str());
  return 0;
}
