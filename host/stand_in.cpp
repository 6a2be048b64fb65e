// The host stand-in: loads Stats.dll as the host does and replays an ADIF log through its exports, printing
// every answer. Run it in the folder the host would run in: the plug-in reads and writes its files in the
// current folder.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "host/adif.h"
#include "host/callsign.h"
#include "host/host_abi.h"
#include "host/plugin_loader.h"

namespace host {
namespace {

const char kHostId[] = "stand-in 1.0";

const int kBadUsage = 2;
const int kNoPlugin = 3;

// Days since 1 January 1970 of a proleptic Gregorian date.
long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, QsoTime* t) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  t->day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t->month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t->year = static_cast<int>(static_cast<long>(yoe) + era * 400 + (t->month <= 2));
}

const long kOleEpochDay = DaysFromCivil(1899, 12, 30);

// Contest times lie after 1899, where an OLE date is simply days plus the fraction of the day.
COleDateTime ToOle(const QsoTime& t) {
  const long days = DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
  return {static_cast<double>(days - kOleEpochDay) + (t.hour * 3600 + t.minute * 60 + t.second) / 86400.0, 0};
}

QsoTime FromOle(double value) {
  QsoTime t;
  const long days = static_cast<long>(value);
  const long seconds = static_cast<long>((value - days) * 86400.0 + 0.5);
  CivilFromDays(days + kOleEpochDay + seconds / 86400, &t);
  t.hour = static_cast<int>(seconds / 3600 % 24);
  t.minute = static_cast<int>(seconds / 60 % 60);
  t.second = static_cast<int>(seconds % 60);
  return t;
}

std::string Format(const QsoTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
  return text;
}

// The host shows and passes callsigns in capitals; the plug-in compares them case-sensitively.
std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

template <size_t N>
bool Untouched(const char (&buffer)[N]) {
  return std::all_of(buffer, buffer + N, [](char c) { return c == 0; });
}

// The plug-in may hand back null for any text.
std::string Shown(const char* text) { return text ? "\"" + std::string(text) + "\"" : "(null)"; }

const char* Verdict(int check) {
  switch (check) {
    case 0: return "dupe";
    case 1: return "ordinary";
    case 2: return "new prefix";
    case 4: return "not contest";
    default: return "unexpected";
  }
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ExeFolder() {
  char path[MAX_PATH] = "";
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, n);
  const size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? "" : folder.substr(0, slash + 1);
}

std::string CurrentFolder() {
  char path[MAX_PATH] = "";
  const DWORD n = GetCurrentDirectoryA(sizeof path, path);
  std::string folder(path, n < sizeof path ? n : 0);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

// What the host knows about a QSO when it hands it over, with the texts kept alive for the calls.
struct Qso {
  int number = 0;
  std::string call, band, mode, rst_sent, rst_rcvd, stx, srx, prefix, country;
  std::string when;  // for printing
  unsigned freq_hz = 0;
  COleDateTime time = {0.0, 1};
};

Qso FromRecord(const AdifRecord& record, int number) {
  Qso q;
  q.number = number;
  q.call = Upper(record.call);
  q.band = record.band;
  q.mode = HostMode(record);
  q.rst_sent = record.rst_sent;
  q.rst_rcvd = record.rst_rcvd;
  q.stx = record.stx;
  q.srx = record.srx;
  q.prefix = CallPrefix(q.call);
  q.country = CountryPrefix(q.call);
  q.freq_hz = record.freq_hz;
  QsoTime t;
  if (ParseQsoTime(record.qso_date, record.time_on, &t)) {
    q.time = ToOle(t);
    q.when = Format(t);
  } else {
    q.when = "(no valid time)";
  }
  return q;
}

// AddData0 and RemoveData0 share the host's argument list.
int SendQso(QsoFn fn, const std::string& own_call, Qso& q) {
  COleDateTime unused_dates[3] = {{0.0, 2}, {0.0, 2}, {0.0, 2}};
  return fn(own_call.c_str(), q.call.c_str(), &q.time, &unused_dates[0], &unused_dates[1], &unused_dates[2],
            0, q.freq_hz, q.mode.c_str(), q.rst_sent.c_str(), q.rst_rcvd.c_str(), q.stx.c_str(),
            q.srx.c_str(), "", "", "", "", "", "", "", "", q.prefix.c_str(), q.country.c_str(), 0, 0, 0, 0.0,
            0.0, "", "", "", q.band.c_str(), "");
}

struct Options {
  std::string dll;
  std::string call;
  std::string start;
  bool html = false;
  std::string log;
};

void Usage() {
  std::fprintf(stderr,
               "usage: zorvant_host [--dll PATH] [--call OWNCALL] [--start \"YYYY-MM-DD HH:MM\"] [--html] "
               "LOGFILE\n");
}

bool ParseArgs(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--dll" && has_value) {
      options->dll = argv[++i];
    } else if (arg == "--call" && has_value) {
      options->call = argv[++i];
    } else if (arg == "--start" && has_value) {
      options->start = argv[++i];
    } else if (arg == "--html") {
      options->html = true;
    } else if (arg.rfind("--", 0) != 0 && options->log.empty()) {
      options->log = arg;
    } else {
      return false;
    }
  }
  return !options->log.empty();
}

bool ParseStart(const std::string& text, QsoTime* out) {
  int y, mo, d, h, mi;
  char tail;
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d%c", &y, &mo, &d, &h, &mi, &tail) != 5) return false;
  char date[16], time[16];
  std::snprintf(date, sizeof date, "%04d%02d%02d", y, mo, d);
  std::snprintf(time, sizeof time, "%02d%02d", h, mi);
  return ParseQsoTime(date, time, out);
}

// The host's own folder layout: a Plugins folder, and its ini file with the line the plug-in takes the host's
// name from. An existing ini is the host's and is left alone.
void PrepareFolder() {
  CreateDirectoryA("Plugins", nullptr);
  if (Exists("Tarq2.ini")) return;
  if (FILE* ini = std::fopen("Tarq2.ini", "wb")) {
    std::fprintf(ini, "[Program]\r\nTarq=%s\r\n", kHostId);
    std::fclose(ini);
  }
}

BOOL CALLBACK FindSetupWindow(HWND w, LPARAM found) {
  char title[64] = {};
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  GetWindowTextA(w, title, sizeof title);
  if (pid != GetCurrentProcessId() || std::strncmp(title, "Setup ZORVANT", 13) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = w;
  return FALSE;
}

// The plug-in stays loaded while its Setup window is open. Close the window as the operator would (Escape)
// and wait until the library has unloaded itself, so this process never ends under a window still busy
// with the display.
void CloseSetupWindow() {
  HWND window = nullptr;
  for (int waited = 0; waited < 10000 && !window; waited += 50) {
    EnumWindows(FindSetupWindow, reinterpret_cast<LPARAM>(&window));
    if (!window && !GetModuleHandleA("Stats.dll")) return;  // no window and already unloaded
    if (!window) Sleep(50);
  }
  if (!window) return;
  PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  for (int waited = 0; waited < 10000 && GetModuleHandleA("Stats.dll"); waited += 50) Sleep(50);
  std::printf("Setup window closed; the plug-in %s\n",
              GetModuleHandleA("Stats.dll") ? "is still loaded" : "has unloaded itself");
}

int Run(const Options& options) {
  std::printf("Tarq %s\n", kHostId);
  std::vector<AdifRecord> records;
  if (!ReadAdifFile(options.log, &records)) {
    std::fprintf(stderr, "cannot read %s\n", options.log.c_str());
    return kBadUsage;
  }
  std::vector<Qso> qsos;
  for (const AdifRecord& record : records) {
    qsos.push_back(FromRecord(record, static_cast<int>(qsos.size()) + 1));
  }
  std::printf("log        %s: %zu QSOs\n", options.log.c_str(), qsos.size());

  QsoTime start;
  if (!options.start.empty()) {
    if (!ParseStart(options.start, &start)) {
      std::fprintf(stderr, "--start wants \"YYYY-MM-DD HH:MM\", got \"%s\"\n", options.start.c_str());
      return kBadUsage;
    }
  } else {
    const Qso* earliest = nullptr;
    for (const Qso& q : qsos) {
      if (q.time.m_status == 0 && (!earliest || q.time.m_dt < earliest->time.m_dt)) earliest = &q;
    }
    if (!earliest) {
      std::fprintf(stderr, "no QSO has a valid date and time: give --start\n");
      return kBadUsage;
    }
    start = FromOle(earliest->time.m_dt);
    start.minute = 0;
    start.second = 0;
  }
  COleDateTime start_date = ToOle(start);
  COleDateTime end_date = {start_date.m_dt + 4.0 / 24.0, 0};

  std::string own_call = options.call;
  for (const AdifRecord& record : records) {
    if (!own_call.empty()) break;
    own_call = record.station_callsign.empty() ? record.operator_call : record.station_callsign;
  }
  own_call = Upper(own_call);
  const std::string own_country = CountryPrefix(own_call);

  const std::string folder = CurrentFolder();
  std::printf("folder     %s\n", folder.c_str());
  PrepareFolder();

  std::string dll = options.dll;
  if (dll.empty()) dll = Exists("Plugins\\Stats.dll") ? "Plugins\\Stats.dll" : ExeFolder() + "Stats.dll";
  PluginLoader plugin;
  if (!plugin.Load(dll)) {
    std::printf("plug-in    %s does not load: %s\n", dll.c_str(), plugin.error().c_str());
    return kNoPlugin;
  }
  std::printf("plug-in    %s: %d of %zu names resolved\n", dll.c_str(), plugin.resolved(),
              std::size(kExportNames));
  for (const std::string& name : plugin.missing()) std::printf("  missing  %s\n", name.c_str());
  for (const std::string& name : plugin.mismatched()) {
    std::printf("  differs  %s leads elsewhere than its plain name\n", name.c_str());
  }
  if (!plugin.complete()) return kNoPlugin;

  if (options.html) std::printf("setVersion(\"%s\") = %lu\n", kHostId, plugin.setVersion(kHostId));
  std::printf("GetNumberOfSets() = %d\n", plugin.GetNumberOfSets());
  std::printf("GetSetName(0) = %s\n", Shown(plugin.GetSetName(0)).c_str());
  std::printf("GetSetName(1) = %s\n", Shown(plugin.GetSetName(1)).c_str());
  std::printf("GetExchgCount0() = %d\n", plugin.GetExchgCount0("", "", ""));
  for (const char* exchange :
       {"001", "0599", "9999", "599", "1", "12345", "12a", static_cast<const char*>(nullptr)}) {
    std::printf("IsValidExchg0(%s) = %d\n", Shown(exchange).c_str(),
                plugin.IsValidExchg0(exchange, "", "", "", 0, 0, 0));
  }

  const int reset =
      plugin.ResetStats0(folder.c_str(), 0, own_call.c_str(), &start_date, &end_date, "", "", "", "", "", "",
                         "", "", "", own_country.c_str(), 0, 0, 0, 0.0, 0.0, "", "", "");
  std::printf("ResetStats0(own \"%s\" [%s], start %s, end %s) = %d\n\n", own_call.c_str(),
              own_country.c_str(), Format(start).c_str(), Format(FromOle(end_date.m_dt)).c_str(), reset);

  std::printf("check: CheckCall0 before the QSO is logged; it judges by the tour of the present hour\n");
  std::printf("%4s  %-16s  %-11s %-5s %-7s %-6s %-7s %-5s %-14s %s\n", "#", "time (UTC)", "call", "band",
              "mode", "prefix", "country", "exch", "check", "add");
  int stored = 0, rejected = 0, buffers_written = 0;
  int verdicts[5] = {};
  Qso* last_stored = nullptr;
  for (Qso& q : qsos) {
    char out1[256] = {}, out2[256] = {};
    const int check = plugin.CheckCall0(q.call.c_str(), 0, 0, q.mode.c_str(), "", "", "", "", "", "", "", "",
                                        q.prefix.c_str(), q.country.c_str(), 0, 0, 0, 0.0, 0.0, "", "", "",
                                        "", "", q.band.c_str(), q.band.c_str(), out1, out2);
    // The host's buffers are its own; the plug-in has no business writing them.
    if (!Untouched(out1) || !Untouched(out2)) {
      ++buffers_written;
    }
    const int valid = plugin.IsValidExchg0(q.srx.c_str(), "", "", "", 0, 0, 0);
    const int added = SendQso(plugin.AddData0, own_call, q);
    if (check >= 0 && check <= 4) ++verdicts[check];
    if (added == 1) {
      ++stored;
      last_stored = &q;
    } else {
      ++rejected;
    }
    char check_text[24];
    std::snprintf(check_text, sizeof check_text, "%d %s", check, Verdict(check));
    std::printf("%4d  %-16s  %-11s %-5s %-7s %-6s %-7s %-5d %-14s %d\n", q.number, q.when.c_str(),
                q.call.c_str(), q.band.c_str(), q.mode.c_str(), q.prefix.c_str(), q.country.c_str(), valid,
                check_text, added);
  }
  if (buffers_written) std::printf("CheckCall0 wrote into its output buffers %d times\n", buffers_written);

  if (last_stored) {
    Qso& q = *last_stored;
    std::printf("\nRemoveData0(#%d %s %s %s %s) = %d\n", q.number, q.call.c_str(), q.band.c_str(),
                q.mode.c_str(), q.when.c_str(), SendQso(plugin.RemoveData0, own_call, q));
    std::printf("AddData0(#%d again) = %d\n", q.number, SendQso(plugin.AddData0, own_call, q));
  }

  int status = 0;
  const char* report = plugin.GetResult0(&status);
  if (report) {
    std::printf("\nGetResult0: status %d, %zu characters\n", status, std::strlen(report));
    if (*report) std::printf("----\n%s\n----\n", report);
  } else {
    std::printf("\nGetResult0: status %d, (null)\n", status);
  }

  const DWORD unload_start = GetTickCount();
  plugin.Unload();
  std::printf("\nFreeLibrary done in %lu ms\n", static_cast<unsigned long>(GetTickCount() - unload_start));
  CloseSetupWindow();
  std::printf(
      "summary: %zu QSOs replayed, %d stored, %d rejected; checks: %d dupe, %d ordinary, %d new prefix, "
      "%d not contest\n",
      qsos.size(), stored, rejected, verdicts[0], verdicts[1], verdicts[2], verdicts[4]);
  return 0;
}

}  // namespace
}  // namespace host

int main(int argc, char** argv) {
  // Unbuffered, so whatever was printed before a crash inside the plug-in is on the console.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  host::Options options;
  if (!host::ParseArgs(argc, argv, &options)) {
    host::Usage();
    return host::kBadUsage;
  }
  return host::Run(options);
}
