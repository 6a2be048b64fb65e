#include "host/stand_in_replay.h"

#include <windows.h>

#include "host/stand_in_operator.h"
#include "logs/callsign.h"

namespace host {
namespace {

// Days since 1 January 1970 of a proleptic Gregorian date.
long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

const char* Verdict(int check) {
  switch (check) {
    case 0: return "dupe";
    case 1: return "ordinary";
    case 2: return "new prefix";
    case 4: return "not contest";
    default: return "unexpected";
  }
}

// Types the header fields into the dialog's controls as an operator would; the drop-down boxes take the
// typed text in their edit field.
void TypeIntoHeaderDialog(HWND dialog, const RunOptions& options) {
  for (const auto& [option, text] : options.header) SetDlgItemTextA(dialog, option->control, text.c_str());
  if (options.soapbox.empty()) return;
  zorvant::CabrilloFields typed;
  TypeHeader(options, typed);  // joins the soapbox lines as the multi-line box holds them
  SetDlgItemTextA(dialog, cli::kSoapboxControl, typed.soapbox.c_str());
}

}  // namespace

COleDateTime ToOle(const QsoTime& t) {
  const long days = DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) -
                    DaysFromCivil(1899, 12, 30);
  return {static_cast<double>(days) + (t.hour * 3600 + t.minute * 60 + t.second) / 86400.0, 0};
}

int HostReset(const PluginLoader& plugin, bool exportPass, const std::string& ownCall, const QsoTime& start) {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof folder, folder);
  const std::string iniFolder = std::string(folder) + "\\";
  COleDateTime startDate = ToOle(start);
  COleDateTime endDate = {startDate.m_dt + 4.0 / 24.0, 0};
  const std::string ownCountry = logs::CountryPrefix(ownCall);
  return plugin.ResetStats0(iniFolder.c_str(), exportPass ? 1 : 0, ownCall.c_str(), &startDate, &endDate, "",
                            "", "", "", "", "", "", "", "", ownCountry.c_str(), 0, 0, 0, 0.0, 0.0, "", "",
                            "");
}

int HostCheck(const PluginLoader& plugin, const LogContact& c) {
  char out1[256] = {}, out2[256] = {};
  return plugin.CheckCall0(c.call.c_str(), 0, 0, c.mode.c_str(), "", "", "", "", "", "", "", "",
                           c.prefix.c_str(), c.countryPrefix.c_str(), 0, 0, 0, 0.0, 0.0, "", "", "", "", "",
                           c.band.c_str(), c.band.c_str(), out1, out2);
}

int HostQso(QsoFn fn, const LogContact& c, const std::string& ownCall) {
  COleDateTime time = ToOle(c.time);
  COleDateTime unused[3] = {{0.0, 2}, {0.0, 2}, {0.0, 2}};
  const std::string& own = c.ownCall.empty() ? ownCall : c.ownCall;
  return fn(own.c_str(), c.call.c_str(), &time, &unused[0], &unused[1], &unused[2], 0, c.freqHz,
            c.mode.c_str(), c.rstSent.c_str(), c.rstRcvd.c_str(), c.exchSent.c_str(), c.exchRcvd.c_str(), "",
            "", "", "", "", "", "", "", c.prefix.c_str(), c.countryPrefix.c_str(), 0, 0, 0, 0.0, 0.0, "", "",
            "", c.band.c_str(), "");
}

ReplayOutcome Replay(const PluginLoader& plugin, const RunOptions& options,
                     const std::vector<LogContact>& contacts, const QsoTime& start,
                     const std::string& ownCall, std::FILE* trace, HostObject* object) {
  ReplayOutcome out;
  if (options.html) plugin.setVersion("stand-in");

  auto reset = [&](bool exportPass) {
    Operator header(
        "ZORVANT", [&](HWND dialog) { TypeIntoHeaderDialog(dialog, options); }, exportPass ? 20000 : 0);
    HostReset(plugin, exportPass, ownCall, start);
    return header.Answered();
  };
  // One contact as the operator logs it: typed (the call check on the way), then logged.
  auto log = [&](const LogContact& c, bool counted) {
    const int reads = object ? object->callReads() : 0;
    if (object) {
      object->SetEnteredCallAnsi(c.call);
      object->SetFrequency(c.freqHz);
      PumpFor(0);
    }
    const int check = HostCheck(plugin, c);
    // Live, the operator types at a person's pace: the Setup window gets to read each callsign.
    if (object && !counted) PumpUntil([&] { return object->callReads() > reads; }, 300);
    const int added = HostQso(plugin.AddData0, c, ownCall);
    if (object) PumpFor(0);
    if (!counted) return;
    if (check >= 0 && check <= 4) ++out.verdicts[check];
    (added == 1 ? out.stored : out.rejected)++;
    if (trace) {
      std::fprintf(trace, "%4d-%02d-%02d %02d:%02d  %-12s %-5s %-7s %-7s %-4s %-4s check %d %-11s add %d\n",
                   c.time.year, c.time.month, c.time.day, c.time.hour, c.time.minute, c.call.c_str(),
                   c.band.c_str(), c.mode.c_str(), c.prefix.c_str(), c.exchSent.c_str(), c.exchRcvd.c_str(),
                   check, Verdict(check), added);
    }
  };

  // With the host's object there, the contest is first worked live, as an operator logs it: an ordinary
  // reset, which may open the Setup window, and each contact typed and logged in turn. The export pass then
  // starts afresh, as the host's export does.
  if (object && options.cabrillo) {
    reset(/*exportPass=*/false);
    for (const LogContact& c : contacts) log(c, /*counted=*/false);
  }
  out.headerAnswered = reset(options.cabrillo);
  for (const LogContact& c : contacts) log(c, /*counted=*/true);

  Operator output("Output", nullptr, options.cabrillo ? 20000 : 0);
  const char* report = plugin.GetResult0(&out.status);
  if (output.Answered()) out.exportMessage = output.message();
  out.report = report ? report : "";
  return out;
}

}  // namespace host
