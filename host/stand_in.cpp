// The host stand-in: loads Stats.dll as the host does and runs one contest through its exports: the reset
// (an export pass with --cabrillo, its header dialog answered as an operator would), the call check and
// AddData0 for every contact of the log, and the report. With --interactive it is instead a small logging
// window for a person to drive the plug-in by hand. Run it in the folder the host would run in: the plug-in
// reads and writes its files in the current folder.
#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "cli/run_options.h"
#include "host/automation_object.h"
#include "host/host_abi.h"
#include "host/interactive_window.h"
#include "host/plugin_loader.h"
#include "host/stand_in_operator.h"
#include "host/stand_in_replay.h"
#include "host/window_picture.h"
#include "logs/log_reader.h"
#include "zorvant_version.h"

namespace host {
namespace {

using namespace cli;
using namespace logs;

const char kHostId[] = "stand-in 1.0";

enum ExitCode { kDone = 0, kUnreadableLog = 1, kBadUsage = 2, kNoPlugin = 3 };

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ExeFolder() {
  char path[MAX_PATH] = "";
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, n);
  const size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? "" : folder.substr(0, slash + 1);
}

void Usage(std::FILE* to) {
  std::fprintf(to, "usage: zorvant_host LOG [options]\n       zorvant_host --interactive [LOG] [options]\n");
  std::fprintf(to, "\noptions:\n%s", OptionHelp(/*withDll=*/true).c_str());
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

// How many messages the Setup window has answered for the pictures. A count, not a flag on the stack: an
// answer may come after the wait for it has ended.
LONG g_settleAnswers = 0;
void CALLBACK SettleAnswered(HWND, UINT, ULONG_PTR, LRESULT) { ++g_settleAnswers; }

// The operator types a callsign already in the log, with the radio on 80 m, and the plug-in's windows follow:
// each is saved as a picture.
void TakePictures(const PluginLoader& plugin, const std::vector<LogContact>& contacts, const QsoTime& start,
                  HostObject& object, const std::string& folder) {
  // The windows show the tour the wall clock is in: type a callsign worked on 80 m in that tour if there is
  // one, so the table has something to show.
  SYSTEMTIME now;
  GetSystemTime(&now);
  auto tourOf = [&](int hour) { return hour - start.hour >= 2 ? 1 : 0; };
  const LogContact* typed = nullptr;
  for (const LogContact& c : contacts) {
    if (c.band != "80m" || c.call.size() < 3) continue;
    if (!typed || tourOf(c.time.hour) == tourOf(now.wHour)) typed = &c;
  }
  object.SetEnteredCallAnsi(typed ? typed->call : "");
  object.SetFrequency(typed && typed->freqHz / 1000000 == 3 ? typed->freqHz : 3580000.0);
  const int reads = object.frequencyReads();
  char out1[256] = {}, out2[256] = {};
  const char* call = typed ? typed->call.c_str() : "";
  plugin.CheckCall0(call, 0, 0, "RTTY", "", "", "", "", "", "", "", "", "", "", 0, 0, 0, 0.0, 0.0, "", "", "",
                    "", "", "80m", "80m", out1, out2);
  // A refresh posted before the call check (by the replay) may still be queued, and under emulation the
  // windows take seconds to follow: pictured too soon, a title shows one refresh and the content another.
  // The refresh of this call check reads the frequency and names the typed call and the radio's band in the
  // titles; the same refresh filled what the contents show. A message sent to the Setup window is answered
  // only once that refresh has run to its end; then each window is painted while the stand-in waits.
  const auto titleOf = [](HWND window) {
    char title[512] = "";
    if (window) GetWindowTextA(window, title, sizeof title);
    return std::string(title);
  };
  const std::string callShown = typed ? " " + typed->call + " " : "";
  PluginWindows windows = FindPluginWindows();
  const auto showsThisCheck = [&] {
    windows = FindPluginWindows();
    return (!windows.prevQso || titleOf(windows.prevQso).find(callShown) != std::string::npos) &&
           (!windows.prefix || titleOf(windows.prefix).find(" 80m ") != std::string::npos);
  };
  const ULONGLONG end = GetTickCount64() + Scaled(20000);
  // Without the Setup window nothing refreshes, and nothing is shown to wait for.
  bool settled = windows.setup == nullptr;
  while (!settled && GetTickCount64() < end) {
    if (!PumpUntil([&] { return object.frequencyReads() > reads && showsThisCheck(); }, Scaled(20000))) break;
    // Answered while this thread pumps: the refresh may still call into the host's object on its way out.
    const LONG answers = g_settleAnswers;
    if (windows.setup && SendMessageCallbackW(windows.setup, WM_NULL, 0, 0, SettleAnswered, 0)) {
      PumpUntil([&] { return g_settleAnswers != answers; }, Scaled(5000));
    }
    settled = showsThisCheck();
  }
  if (!settled) std::printf("pictures   the windows did not show the typed call on 80m in time\n");
  for (HWND window : {windows.setup, windows.prefix, windows.prevQso}) {
    if (window) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  const struct {
    HWND window;
    const char* name;
  } shots[] = {
      {windows.setup, "setup.bmp"}, {windows.prefix, "prefix.bmp"}, {windows.prevQso, "previous-qso.bmp"}};
  for (const auto& shot : shots) {
    const std::string path = folder + "\\" + shot.name;
    const bool saved = shot.window && SaveWindowPicture(shot.window, path);
    std::printf("picture    %s %s\n", path.c_str(), saved ? "saved" : "not taken: the window is not shown");
  }
}

void PrintAutomation(const HostObject& object) {
  std::printf("automation %s, callsign read %d times, frequency read %d times, %zu macro%s",
              object.attached() ? "attached by the plug-in" : "never attached", object.callReads(),
              object.frequencyReads(), object.macros().size(), object.macros().size() == 1 ? "" : "s");
  // Runs of the same macro (the spots as the radio moves) print once, with their count.
  const std::vector<std::wstring> macros = object.macros();
  for (size_t i = 0, run; i < macros.size(); i += run) {
    for (run = 1; i + run < macros.size() && macros[i + run] == macros[i];) ++run;
    std::printf(run > 1 ? " %ls x%zu" : " %ls", macros[i].c_str(), run);
  }
  std::printf("\n");
}

// Loads the plug-in as the host does, from the host's Plugins folder (or --dll), and says what it found.
bool LoadPlugin(const RunOptions& options, PluginLoader* plugin) {
  std::string dll = options.dll;
  if (dll.empty()) dll = Exists("Plugins\\Stats.dll") ? "Plugins\\Stats.dll" : ExeFolder() + "Stats.dll";
  if (!plugin->Load(dll)) {
    std::printf("plug-in    %s does not load: %s\n", dll.c_str(), plugin->error().c_str());
    return false;
  }
  std::printf("plug-in    %s: %d of %zu names resolved, set \"%s\"\n", dll.c_str(), plugin->resolved(),
              std::size(kExportNames), plugin->GetSetName ? plugin->GetSetName(0) : "?");
  for (const std::string& name : plugin->missing()) std::printf("  missing  %s\n", name.c_str());
  for (const std::string& name : plugin->mismatched()) {
    std::printf("  differs  %s leads elsewhere than its plain name\n", name.c_str());
  }
  return plugin->complete();
}

// Ends a session as the host quits: the library let go, the Setup window closed, the object withdrawn.
void Quit(PluginLoader& plugin, HostObject& object, bool published) {
  plugin.Unload();
  if (CloseSetupWindow()) {
    std::printf("Setup window closed; the plug-in %s\n",
                GetModuleHandleA("Stats.dll") ? "is still loaded" : "has unloaded itself");
  }
  if (published) {
    PrintAutomation(object);
    object.Withdraw();
  }
}

int RunWindow(const RunOptions& options) {
  std::printf("Tarq %s, built with plug-in %s, interactive\n", kHostId, ZORVANT_VERSION);
  PrepareFolder();
  PluginLoader plugin;
  if (!LoadPlugin(options, &plugin)) return kNoPlugin;
  HostObject object;
  const bool published = object.Publish();
  if (!published) std::printf("automation Tarq2.Application could not be published\n");
  const int code = host::RunInteractive(plugin, object, options);
  Quit(plugin, object, published);
  return code;
}

int Run(const RunOptions& options) {
  if (options.interactive) return RunWindow(options);
  std::printf("Tarq %s, built with plug-in %s\n", kHostId, ZORVANT_VERSION);
  const LogReadResult log = ReadLog(options.log);
  // After a read error the contacts are only part of the log: replayed, they would pass for all of it in
  // the report, the Cabrillo file and the claimed score. The error is the last problem.
  const std::size_t shown = log.problems.size() - (log.failed ? 1 : 0);
  for (std::size_t i = 0; i < shown; ++i) std::fprintf(stderr, "%s\n", log.problems[i].c_str());
  if (log.failed) {
    std::fprintf(stderr, "zorvant_host: %s; nothing is replayed\n", log.problems.back().c_str());
    return kUnreadableLog;
  }
  if (!log.opened) return kUnreadableLog;
  if (log.format.empty()) {
    std::fprintf(stderr, "%s: neither an ADIF nor a Cabrillo log\n", options.log.c_str());
    return kUnreadableLog;
  }
  QsoTime start;
  std::string ownCall, error;
  if (!ContestStart(options, log.contacts, &start, &error) ||
      !OwnCall(options, log.contacts, &ownCall, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kBadUsage;
  }
  std::printf("log        %s (%s): %zu contacts\n", options.log.c_str(), log.format.c_str(),
              log.contacts.size());
  PrepareFolder();

  PluginLoader plugin;
  if (!LoadPlugin(options, &plugin)) return kNoPlugin;
  std::printf("contest    own call %s, start %04d-%02d-%02d %02d:%02d UTC%s\n", ownCall.c_str(), start.year,
              start.month, start.day, start.hour, start.minute, options.cabrillo ? ", export pass" : "");

  // The host's automation object, which the plug-in's Setup window attaches to and polls.
  HostObject object;
  const bool published = !options.noAutomation && object.Publish();
  if (!published) {
    std::printf("automation Tarq2.Application %s\n",
                options.noAutomation ? "not published (--no-automation)" : "could not be published");
  }
  const ReplayOutcome outcome = Replay(plugin, options, log.contacts, start, ownCall,
                                       options.trace ? stdout : nullptr, published ? &object : nullptr);
  if (options.cabrillo) {
    std::printf("header     %s\n", outcome.headerAnswered ? "dialog confirmed" : "dialog did not come");
  }
  std::printf(
      "contacts   %d stored, %d rejected; call checks before each: %d dupe, %d ordinary, %d new prefix, %d "
      "not contest\n\n",
      outcome.stored, outcome.rejected, outcome.verdicts[0], outcome.verdicts[1], outcome.verdicts[2],
      outcome.verdicts[4]);
  std::fwrite(outcome.report.data(), 1, outcome.report.size(), stdout);
  if (!outcome.exportMessage.empty()) std::printf("%s\n", outcome.exportMessage.c_str());

  if (!options.pictures.empty()) TakePictures(plugin, log.contacts, start, object, options.pictures);
  Quit(plugin, object, published);
  return kDone;
}

}  // namespace
}  // namespace host

int main(int argc, char** argv) {
  // Unbuffered, so whatever was printed before a crash inside the plug-in is on the console; binary, so the
  // report's CR LF line ends reach it as the plug-in wrote them.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  _setmode(_fileno(stdout), _O_BINARY);
  cli::RunOptions options;
  std::string error;
  if (!cli::ParseRunOptions(argc, argv, 1, /*withDll=*/true, &options, &error)) {
    std::fprintf(stderr, "zorvant_host: %s\n", error.c_str());
    host::Usage(stderr);
    return host::kBadUsage;
  }
  if (options.help) {
    host::Usage(stdout);
    return host::kDone;
  }
  // The host's own thread: its automation object lives in this apartment.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int code = host::Run(options);
  CoUninitialize();
  return code;
}
