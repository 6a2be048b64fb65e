// The host's rescan through Stats.dll, timed as the host sees it: for each log, a reset, then AddData0 for
// every contact in log order, then GetResult0. A plain program rather than a Google Benchmark, which has no
// build for this toolchain; scripts/bench.sh runs it under Wine in a folder of its own, because the plug-in
// writes its files into the current folder.
//
// usage: zorvant_wine_bench STATS.DLL LOG...   prints "rescan CONTACTS SECONDS" and "report CONTACTS SECONDS"
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_abi.h"
#include "host/plugin_loader.h"
#include "logs/log_reader.h"

namespace {

using host::COleDateTime;

// Days since 30 December 1899, the host's date, of a proleptic Gregorian date and time.
double OleDate(const logs::QsoTime& t) {
  auto days = [](long y, long m, long d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy;
  };
  return static_cast<double>(days(t.year, t.month, t.day) - days(1899, 12, 30)) +
         (t.hour * 3600 + t.minute * 60 + t.second) / 86400.0;
}

// A log's contacts as the host holds them: its texts in one block, so that a large log fits this 32-bit
// process beside the plug-in's own copy.
class HostLog : public logs::LogSink {
 public:
  static constexpr int kTexts = 10;

  void Contact(const logs::LogContact& c) override {
    contacts_.push_back({texts_.size(), {OleDate(c.time), 0}, c.freqHz});
    for (const std::string* text : {&c.ownCall, &c.call, &c.mode, &c.rstSent, &c.rstRcvd, &c.exchSent,
                                    &c.exchRcvd, &c.prefix, &c.countryPrefix, &c.band}) {
      texts_.append(*text).push_back('\0');
    }
  }
  void Problem(const std::string&) override {}

  std::size_t size() const { return contacts_.size(); }
  // The texts of contact i in the order Contact stores them, and its date.
  void Texts(std::size_t i, const char* (&texts)[kTexts], COleDateTime* time, unsigned* freqHz) const {
    const char* text = texts_.data() + contacts_[i].offset;
    for (const char*& t : texts) {
      t = text;
      text += std::strlen(text) + 1;
    }
    *time = contacts_[i].time;
    *freqHz = contacts_[i].freqHz;
  }

 private:
  struct Entry {
    std::size_t offset;
    COleDateTime time;
    unsigned freqHz;
  };
  std::string texts_;
  std::vector<Entry> contacts_;
};

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: zorvant_wine_bench STATS.DLL LOG...\n");
    return 2;
  }
  host::PluginLoader plugin;
  if (!plugin.Load(argv[1]) || !plugin.complete()) {
    std::fprintf(stderr, "%s does not load: %s\n", argv[1], plugin.error().c_str());
    return 3;
  }
  CreateDirectoryA("Plugins", nullptr);
  for (int a = 2; a < argc; ++a) {
    HostLog log;
    logs::LogStream(argv[a]).Read(log);
    // An ordinary reset opens the Setup window every other time; this setting makes it skip this one.
    WritePrivateProfileStringA("Settings", "Start", "1", ".\\Plugins\\ZORVANT.ini");
    COleDateTime start = {OleDate({2026, 3, 14, 14, 0, 0}), 0};
    COleDateTime end = {start.m_dt + 4.0 / 24.0, 0};
    COleDateTime unused[3] = {{0.0, 2}, {0.0, 2}, {0.0, 2}};

    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    plugin.ResetStats0("", 0, "UA3XYZ", &start, &end, "", "", "", "", "", "", "", "", "", "UA", 0, 0, 0, 0.0,
                       0.0, "", "", "");
    int stored = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
      const char* t[HostLog::kTexts];
      COleDateTime time;
      unsigned freqHz;
      log.Texts(i, t, &time, &freqHz);
      stored += plugin.AddData0(t[0], t[1], &time, &unused[0], &unused[1], &unused[2], 0, freqHz, t[2], t[3],
                                t[4], t[5], t[6], "", "", "", "", "", "", "", "", t[7], t[8], 0, 0, 0, 0.0,
                                0.0, "", "", "", t[9], "");
    }
    QueryPerformanceCounter(&t1);
    int status = 0;
    plugin.GetResult0(&status);
    QueryPerformanceCounter(&t2);
    std::printf("rescan %zu %.6f\n", log.size(), Seconds(t0, t1));
    std::printf("report %zu %.6f\n", log.size(), Seconds(t1, t2));
    std::fprintf(stderr, "%s: %zu contacts, %d stored\n", argv[a], log.size(), stored);
  }
  plugin.Unload();
  return 0;
}
