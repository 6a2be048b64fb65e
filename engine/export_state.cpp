#include "engine/export_state.h"

#include <cctype>
#include <cstddef>
#include <cstring>

#include "engine/contest.h"
#include "engine/settings_store.h"

namespace zorvant {
namespace {

using Field = std::string CabrilloFields::*;

const char kCrText[] = "<CR>";
const char kLfText[] = "<LF>";
const char kWhiteSpace[] = " \t\n\v\f\r";

struct Key {
  const char* name;
  Field field;
};

// The keys written on OK, in the order they are written. "Contest" and "Location" are preset at every
// dialog and so never read back.
const Key kSavedKeys[] = {
    {"Operators", &CabrilloFields::operators},
    {"Name", &CabrilloFields::name},
    {"Address", &CabrilloFields::address},
    {"Address-City", &CabrilloFields::addressCity},
    {"Address-State", &CabrilloFields::addressState},
    {"Address-PostalCode", &CabrilloFields::addressPostalCode},
    {"Address-Country", &CabrilloFields::addressCountry},
    {"Contest", &CabrilloFields::contest},
    {"Email", &CabrilloFields::email},
    {"Club", &CabrilloFields::club},
    {"Location", &CabrilloFields::location},
    {"SoapBox", &CabrilloFields::soapbox},
};

struct Choices {
  Field field;
  std::vector<std::string> entries;
};

const std::vector<Choices>& AllChoices() {
  static const std::vector<Choices> choices = {
      {&CabrilloFields::categoryOperator, {"SINGLE-OP", "MULTI-OP", "CHECKLOG"}},
      {&CabrilloFields::categoryAssisted, {"ASSISTED", "NON-ASSISTED"}},
      {&CabrilloFields::categoryBand, {"ALL"}},
      {&CabrilloFields::categoryMode, {"DIGI"}},
      {&CabrilloFields::categoryPower, {"HIGH", "LOW", "QRP"}},
      {&CabrilloFields::categoryStation, {"FIXED"}},
      {&CabrilloFields::categoryTransmitter, {"ONE", "TWO", "UNLIMITED"}},
      {&CabrilloFields::categoryOverlay, {"TB-WIRES", "ROOKIE"}},
      {&CabrilloFields::location,
       {"DX", "-/-", "AL", "AK", "AZ", "AR", "CA", "CO", "CT", "DE", "FL",  "GA", "ID", "IL", "IN", "IA",
        "KS", "KY",  "LA", "ME", "MA", "MI", "MN", "MS", "MO", "MT", "NE",  "NV", "NH", "NJ", "NM", "NY",
        "NC", "ND",  "OH", "OK", "OR", "PA", "RI", "SC", "SD", "TN", "TX",  "UT", "VT", "VA", "WA", "WV",
        "WI", "WY",  "NB", "NS", "QC", "ON", "MB", "SK", "AB", "BC", "NWT", "NF", "LB", "NU", "YT", "PEI"}},
  };
  return choices;
}

std::string SoapboxFileForm(const std::string& iniForm) {
  return ReplaceAll(ReplaceAll(iniForm, kCrText, "\r\nSOAPBOX: "), kLfText, "");
}

std::string AddressFileForm(const std::string& typed) {
  return ReplaceAll(ReplaceAll(typed, kCrText, "\r\nADDRESS: "), kLfText, "");
}

const char* const kDeviceNames[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                    "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                    "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) !=
        std::toupper(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

}  // namespace

std::string ReplaceAll(std::string text, const std::string& find, const std::string& replacement) {
  if (find.empty() || find == replacement) return text;
  // One pass into a new text: replacing in place would move the whole rest of the text at every find.
  std::string out;
  std::size_t from = 0;
  for (std::size_t pos = text.find(find); pos != std::string::npos; pos = text.find(find, from)) {
    out.append(text, from, pos - from).append(replacement);
    from = pos + find.size();
  }
  if (from == 0) return text;
  return out.append(text, from, std::string::npos);
}

std::string CabrilloFileBase(const std::string& callsign) {
  std::string base = ReplaceAll(ReplaceAll(callsign, "/", "_"), "\\", "_");
  const std::size_t first = base.find_first_not_of(kWhiteSpace);
  if (first == std::string::npos) return "QLMB";
  base = base.substr(first, base.find_last_not_of(kWhiteSpace) - first + 1);
  // What Windows refuses in a name; a colon would also name a drive, and so another folder.
  for (char& c : base) {
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"|?*", c)) c = '_';
  }
  // A device name stands for the device whatever extension follows ("AUX.cbr" is AUX), in any letter case
  // and with blanks after it: the name gets a "_" right after that part.
  const std::size_t dot = base.find('.');
  std::string stem = base.substr(0, dot);
  stem.erase(stem.find_last_not_of(' ') + 1);
  for (const char* device : kDeviceNames) {
    if (EqualsNoCase(stem, device)) return base.insert(stem.size(), "_");
  }
  return base;
}

const std::vector<std::string>& HeaderChoices(Field field) {
  static const std::vector<std::string> none;
  for (const Choices& c : AllChoices()) {
    if (c.field == field) return c.entries;
  }
  return none;
}

int ChoiceIndex(const std::vector<std::string>& choices, const std::string& text) {
  if (text.empty()) return -1;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (StartsWithNoCase(choices[i], text)) return static_cast<int>(i);
  }
  return -1;
}

void AsShownInDialog(CabrilloFields& fields) {
  for (const Choices& c : AllChoices()) {
    const int i = ChoiceIndex(c.entries, fields.*c.field);
    if (i >= 0) fields.*c.field = c.entries[static_cast<std::size_t>(i)];
  }
}

int EditCabrilloHeader(SettingsStore& settings, CabrilloExport& out, const std::string& callsign,
                       Shell& shell) {
  // The overlay is neither loaded nor preset: it keeps what the last confirmed dialog left.
  CabrilloFields f = out;
  f.callsign = callsign;
  out.fileBase = CabrilloFileBase(callsign);
  out.headerNotSaved = false;  // a cancelled dialog saves nothing, so nothing can fail

  // Every field from one read, so that they all come from one state of the file; kept apart from the store,
  // whose own view moves on with the writes made while the dialog is up.
  const SettingsSnapshot saved = settings.Load();
  f.operators = saved.Get("Operators", callsign);
  f.name = saved.Get("Name", "");
  f.address = saved.Get("Address", "");
  f.addressCity = saved.Get("Address-City", "");
  f.addressState = saved.Get("Address-State", "");
  f.addressPostalCode = saved.Get("Address-PostalCode", "");
  f.addressCountry = saved.Get("Address-Country", "");
  f.claimed = saved.Get("Claimed", "");

  f.contest = "ZORVANT ";
  f.categoryOperator = "SINGLE-OP";
  f.categoryBand = "ALL";
  f.categoryMode = "DIGI";
  f.categoryPower = "HIGH";
  f.categoryTransmitter = "ONE";
  f.categoryStation = "FIXED";
  f.categoryAssisted = "NON-ASSISTED";
  f.location = "DX";

  f.email = saved.Get("Email", "");
  f.club = saved.Get("Club", "");
  const std::string savedSoapbox = saved.Get("SoapBox", "");
  f.soapbox = ReplaceAll(ReplaceAll(savedSoapbox, kCrText, "\r"), kLfText, "\n");

  // The export step runs after a cancelled dialog too, and writes whatever is here: the fields as loaded,
  // with the multi-line ones already in the form the file needs.
  CabrilloFields loaded = f;
  loaded.soapbox = SoapboxFileForm(savedSoapbox);
  loaded.address = AddressFileForm(f.address);
  static_cast<CabrilloFields&>(out) = loaded;

  // The shell may let other calls at the contest meanwhile, so it works on a copy of its own.
  CabrilloFields shown = f;
  if (!shell.RunCabrilloDialog(shown)) return 0;

  shown.claimed = f.claimed;  // the claimed score is the report's to set, whatever was typed
  shown.soapbox = ReplaceAll(ReplaceAll(shown.soapbox, "\r", kCrText), "\n", kLfText);
  CabrilloFields before = f;
  before.soapbox = savedSoapbox;
  std::vector<std::pair<std::string, std::string>> changed;
  for (const Key& key : kSavedKeys) {
    const std::string& value = shown.*key.field;
    if (saved.readable() ? !saved.Holds(key.name, value) : value != before.*key.field) {
      changed.emplace_back(key.name, value);
    }
  }
  const SettingsError error = settings.Write(changed);
  out.headerNotSaved = error != SettingsError::kNone && error != SettingsError::kNoFolder;
  shown.soapbox = SoapboxFileForm(shown.soapbox);
  shown.address = AddressFileForm(shown.address);
  static_cast<CabrilloFields&>(out) = shown;
  out.qsoLines.clear();
  return 1;
}

}  // namespace zorvant
