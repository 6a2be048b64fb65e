#include "cli/run_options.h"

#include <cctype>
#include <cstdio>

#include "logs/callsign.h"
#include "resources/resource.h"

namespace cli {

using namespace logs;  // the log reader and the callsign rules

using zorvant::CabrilloFields;

const HeaderOption kHeaderOptions[] = {
    {"--operators", &CabrilloFields::operators, IDC_CAB_OPERATORS, "OPERATORS line"},
    {"--name", &CabrilloFields::name, IDC_CAB_NAME, "NAME line"},
    {"--address", &CabrilloFields::address, IDC_CAB_ADDRESS, "ADDRESS; \"<CR>\" starts another ADDRESS line"},
    {"--city", &CabrilloFields::addressCity, IDC_CAB_ADDRESS_CITY, "ADDRESS-CITY line"},
    {"--state", &CabrilloFields::addressState, IDC_CAB_ADDRESS_STATE, "ADDRESS-STATE-PROVINCE line"},
    {"--postcode", &CabrilloFields::addressPostalCode, IDC_CAB_ADDRESS_POSTALCODE, "ADDRESS-POSTALCODE line"},
    {"--country", &CabrilloFields::addressCountry, IDC_CAB_ADDRESS_COUNTRY, "ADDRESS-COUNTRY line"},
    {"--email", &CabrilloFields::email, IDC_CAB_EMAIL, "EMAIL line"},
    {"--club", &CabrilloFields::club, IDC_CAB_CLUB, "CLUB line"},
    {"--category-operator", &CabrilloFields::categoryOperator, IDC_CAB_CATEGORY_OPERATOR,
     "SINGLE-OP (default), MULTI-OP, CHECKLOG"},
    {"--category-assisted", &CabrilloFields::categoryAssisted, IDC_CAB_CATEGORY_ASSISTED,
     "ASSISTED, NON-ASSISTED (default)"},
    {"--category-band", &CabrilloFields::categoryBand, IDC_CAB_CATEGORY_BAND, "ALL (default)"},
    {"--category-mode", &CabrilloFields::categoryMode, IDC_CAB_CATEGORY_MODE, "DIGI (default)"},
    {"--category-power", &CabrilloFields::categoryPower, IDC_CAB_CATEGORY_POWER, "HIGH (default), LOW, QRP"},
    {"--category-transmitter", &CabrilloFields::categoryTransmitter, IDC_CAB_CATEGORY_TRANSMITTER,
     "ONE (default), TWO, UNLIMITED"},
    {"--category-overlay", &CabrilloFields::categoryOverlay, IDC_CAB_CATEGORY_OVERLAY, "TB-WIRES, ROOKIE"},
    {"--location", &CabrilloFields::location, IDC_CAB_LOCATION, "DX (default), a US state or Canadian area"},
    {"--header-call", &CabrilloFields::callsign, IDC_CAB_CALLSIGN,
     "CALLSIGN line and own call of the QSO lines (default: --call)"},
};
const int kSoapboxControl = IDC_CAB_SOAPBOX;

namespace {

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// The lines of a text, split at CR LF, CR or LF.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t pos = 0;;) {
    const std::size_t end = text.find_first_of("\r\n", pos);
    lines.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
    if (end == std::string::npos) return lines;
    pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
}

}  // namespace

bool OptionValue(int argc, char** argv, int* i, std::string* into, std::string* error) {
  if (*i + 1 >= argc) {
    *error = std::string(argv[*i]) + " needs a value";
    return false;
  }
  *into = argv[++*i];
  return true;
}

std::string StartText(const QsoTime& start) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", start.year, start.month, start.day, start.hour,
                start.minute);
  return text;
}

bool ParseWindow(const std::string& text, int* minutes, std::string* error) {
  int read = -1;
  char tail;
  if (std::sscanf(text.c_str(), "%d%c", &read, &tail) != 1 || read < 0 || read > 24 * 60) {
    *error = "--window wants whole minutes from 0 to 1440, got \"" + text + "\"";
    return false;
  }
  *minutes = read;
  return true;
}

bool ParseRunOptions(int argc, char** argv, int first, bool withDll, RunOptions* out, std::string* error) {
  for (int i = first; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* into) { return OptionValue(argc, argv, &i, into, error); };
    // A value that must stay on its one line of the Cabrillo file and of the settings file.
    auto oneLine = [&](const std::string& text, const char* hint) {
      if (!HasLineBreak(text)) return true;
      *error = arg + " takes a single line; its value holds a line break" + hint;
      return false;
    };
    if (arg == "--help" || arg == "-h") {
      out->help = true;
    } else if (arg == "--call") {
      if (!value(&out->call) || !oneLine(out->call, "")) return false;
      // Leaving the option out takes the log's call; giving it empty is a mistake, not a wish for that.
      if (out->call.empty()) {
        *error = "--call needs a callsign, got an empty text";
        return false;
      }
    } else if (arg == "--start") {
      if (!value(&out->start)) return false;
      if (out->start.empty()) {
        *error = "--start wants \"YYYY-MM-DD HH:MM\", got an empty text";
        return false;
      }
    } else if (arg == "--html") {
      out->html = true;
    } else if (arg == "--cabrillo") {
      out->cabrillo = true;
    } else if (arg == "--dll" && withDll) {
      if (!value(&out->dll)) return false;
    } else if (arg == "--trace" && withDll) {
      out->trace = true;
    } else if (arg == "--pictures" && withDll) {
      if (!value(&out->pictures)) return false;
    } else if (arg == "--no-automation" && withDll) {
      out->noAutomation = true;
    } else if (arg == "--interactive" && withDll) {
      out->interactive = true;
    } else if (arg == "--soapbox") {
      std::string text;
      if (!value(&text)) return false;
      // The soapbox is the one field of many lines: a line break in the value starts another SOAPBOX line.
      for (const std::string& line : Lines(text)) out->soapbox.push_back(line);
    } else if (arg.rfind("--", 0) == 0) {
      const HeaderOption* known = nullptr;
      for (const HeaderOption& h : kHeaderOptions) {
        if (arg == h.option) known = &h;
      }
      std::string text;
      if (!known) {
        *error = "unknown option " + arg;
        return false;
      }
      if (!value(&text)) return false;
      const bool address = known->field == &CabrilloFields::address;
      if (!oneLine(text, address ? " (write \"<CR>\" where the address breaks)" : "")) return false;
      out->header.emplace_back(known, text);
    } else if (out->log.empty()) {
      out->log = arg;
    } else {
      *error = "one log file only (got \"" + out->log + "\" and \"" + arg + "\")";
      return false;
    }
  }
  if (!out->help && !out->interactive && out->log.empty()) {
    *error = "no log file given";
    return false;
  }
  return true;
}

std::string OptionHelp(bool withDll) {
  auto line = [](const std::string& option, const char* help) {
    char text[200];
    std::snprintf(text, sizeof text, "  %-30s %s\n", option.c_str(), help);
    return std::string(text);
  };
  std::string text = line("--call CALL", "own callsign (default: the log's station or operator call)") +
                     line("--start \"YYYY-MM-DD HH:MM\"",
                          "contest start, UTC (default: the hour of the earliest contact);") +
                     line("", "the second tour begins two hours after it") +
                     line("--html", "the report as HTML, as for a host that announces its version") +
                     line("--cabrillo", "an export pass: confirm the Cabrillo header and write CALL.cbr");
  if (withDll) {
    text += line("--dll PATH", "the plug-in to load (default: Plugins\\Stats.dll, else beside this program)");
    text += line("--trace", "one line per contact: the call check before it and AddData0's answer");
    text += line("--pictures DIR",
                 "after the run: a logged callsign typed, the radio on 80 m, and the plug-in's");
    text += line("", "windows saved there as setup.bmp, prefix.bmp and previous-qso.bmp");
    text += line("--no-automation", "publish no Tarq2.Application: the Setup window finds no host to follow");
    text += line("--interactive", "a logging window to try the plug-in by hand; LOG, when given, is");
    text += line("", "opened in it (--call and --start then apply to it)");
  }
  text +=
      "Cabrillo header fields, as if typed into the header dialog (saved ones come from "
      "Plugins/ZORVANT.ini):\n";
  for (const HeaderOption& h : kHeaderOptions) text += line(std::string(h.option) + " TEXT", h.help);
  return text + line("--soapbox TEXT", "one SOAPBOX line; repeat for more");
}

void TypeHeader(const RunOptions& options, CabrilloFields& fields) {
  for (const auto& [option, text] : options.header) fields.*(option->field) = text;
  if (options.soapbox.empty()) return;
  std::string soapbox;
  for (const std::string& line : options.soapbox) soapbox += (soapbox.empty() ? "" : "\r\n") + line;
  fields.soapbox = soapbox;
}

namespace {

long long Key(const QsoTime& t) {
  return ((((t.year * 100LL + t.month) * 100 + t.day) * 100 + t.hour) * 100 + t.minute) * 100 + t.second;
}

bool ParseStart(const std::string& text, QsoTime* start) {
  int y, mo, d, h, mi;
  char tail;
  char date[16], time[16];
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d%c", &y, &mo, &d, &h, &mi, &tail) == 5 && y >= 0 &&
      y <= 9999 && mo >= 0 && d >= 0 && h >= 0 && mi >= 0 && mo < 100 && d < 100 && h < 100 && mi < 100) {
    std::snprintf(date, sizeof date, "%04d%02d%02d", y, mo, d);
    std::snprintf(time, sizeof time, "%02d%02d", h, mi);
    return ParseQsoTime(date, time, start);
  }
  return false;
}

LogFacts FactsOf(const std::vector<LogContact>& contacts) {
  LogFacts facts;
  for (const LogContact& c : contacts) facts.Note(c);
  return facts;
}

}  // namespace

void LogFacts::Note(const LogContact& contact) {
  if (!any_ || Key(contact.time) < Key(earliest_)) earliest_ = contact.time;
  if (ownCall_.empty()) ownCall_ = contact.ownCall;
  any_ = true;
}

bool NeedsLogFacts(const RunOptions& options) {
  QsoTime ignored;
  return options.start.empty() || options.call.empty() || !ParseStart(options.start, &ignored);
}

bool ContestStart(const RunOptions& options, const LogFacts& log, QsoTime* start, std::string* error) {
  if (!options.start.empty()) {
    if (ParseStart(options.start, start)) return true;
    *error = "--start wants \"YYYY-MM-DD HH:MM\", got \"" + options.start + "\"";
    return false;
  }
  if (!log.any()) {
    *error = "no contact to take the contest start from: give --start";
    return false;
  }
  *start = log.earliest();
  start->minute = 0;
  start->second = 0;
  return true;
}

bool OwnCall(const RunOptions& options, const LogFacts& log, std::string* call, std::string* error) {
  std::string own = options.call.empty() ? log.ownCall() : options.call;
  for (char& ch : own) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  if (own.empty()) {
    *error = "the log does not name the station: give --call";
    return false;
  }
  // The call becomes a settings value and a Cabrillo line, as --call does, and gets the same check.
  if (HasLineBreak(own)) {
    *error = "the log's own call holds a line break (after \"" + own.substr(0, own.find_first_of("\r\n")) +
             "\"): give --call";
    return false;
  }
  *call = own;
  return true;
}

bool ContestStart(const RunOptions& options, const std::vector<LogContact>& contacts, QsoTime* start,
                  std::string* error) {
  return ContestStart(options, FactsOf(contacts), start, error);
}

bool OwnCall(const RunOptions& options, const std::vector<LogContact>& contacts, std::string* call,
             std::string* error) {
  return OwnCall(options, FactsOf(contacts), call, error);
}

}  // namespace cli
