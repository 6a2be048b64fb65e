#include "logs/callsign.h"

#include <cctype>
#include <utility>
#include <vector>

namespace logs {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(const std::string& s) {
  for (char c : s) {
    if (!IsDigit(c)) return false;
  }
  return !s.empty();
}

bool AllLetters(const std::string& s) {
  for (char c : s) {
    if (c < 'A' || c > 'Z') return false;
  }
  return true;
}

// A station's own call has a call-area digit after its first character and ends with a letter; a designator
// such as "VE3", "KH6" or "F" does not.
bool LooksLikeCall(const std::string& s) {
  const size_t digit = s.find_first_of("0123456789", 1);
  return digit != std::string::npos && !IsDigit(s.back());
}

// Designators after the call that tell how the station operates rather than where.
bool IsCondition(const std::string& s) {
  if (s.size() == 1 && AllLetters(s)) return true;
  for (const char* word : {"MM", "AM", "QRP", "QRPP", "LH"}) {
    if (s == word) return true;
  }
  return false;
}

struct Parsed {
  std::string base;      // the station's own call
  std::string location;  // a designator naming another entity or area: "DL", "F", "VE3"
  std::string area;      // a lone number standing for another call area of the base's country
  bool no_entity = false;
};

Parsed Parse(const std::string& call) {
  std::vector<std::string> parts(1);
  for (char c : call) {
    if (c == '/') {
      parts.emplace_back();
    } else if (!std::isspace(static_cast<unsigned char>(c))) {
      parts.back() += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  // The base is the part most like a station's call, the longest of equals; on a tie the later part wins,
  // since the usual form puts the designator in front (F/G4ABC).
  Parsed parsed;
  size_t base = parts.size();
  auto rank = [&](size_t i) { return std::make_pair(LooksLikeCall(parts[i]), parts[i].size()); };
  for (size_t i = 0; i < parts.size(); ++i) {
    if (!parts[i].empty() && (base == parts.size() || rank(i) >= rank(base))) base = i;
  }
  if (base == parts.size()) return parsed;
  parsed.base = parts[base];
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (i == base || part.empty()) continue;
    if (AllDigits(part)) {
      parsed.area = part;
    } else if (i > base && IsCondition(part)) {
      if (part == "MM" || part == "AM") parsed.no_entity = true;
    } else if (parsed.location.empty()) {
      parsed.location = part;
    }
  }
  return parsed;
}

std::string PrefixOf(const std::string& s) {
  const size_t last = s.find_last_of("0123456789");
  if (last == std::string::npos || last == 0) return s.substr(0, 2) + "0";
  return s.substr(0, last + 1);
}

struct Entity {
  const char* low;  // the key's first characters must lie between low and high
  const char* high;
  const char* prefix;
};

const Entity kEntities[] = {
    {"AH6", "AH7", "KH6"}, {"KH6", "KH7", "KH6"}, {"NH6", "NH7", "KH6"}, {"WH6", "WH7", "KH6"},
    {"KP3", "KP4", "KP4"}, {"NP3", "NP4", "KP4"}, {"WP3", "WP4", "KP4"},

    {"AA", "AK", "K"},     {"AL", "AL", "KL7"},   {"KL", "KL", "KL7"},   {"NL", "NL", "KL7"},
    {"WL", "WL", "KL7"},   {"VA", "VA", "VE"},    {"VE", "VG", "VE"},

    {"UA", "UI", "UA"},    {"UN", "UQ", "UN"},    {"UR", "UZ", "UR"},    {"EM", "EO", "UR"},
    {"EU", "EW", "EU"},

    {"2E", "2E", "G"},     {"GM", "GM", "GM"},    {"MM", "MM", "GM"},    {"2M", "2M", "GM"},
    {"GW", "GW", "GW"},    {"MW", "MW", "GW"},    {"2W", "2W", "GW"},    {"GI", "GI", "GI"},
    {"MI", "MI", "GI"},    {"2I", "2I", "GI"},    {"GD", "GD", "GD"},    {"MD", "MD", "GD"},
    {"2D", "2D", "GD"},    {"GJ", "GJ", "GJ"},    {"MJ", "MJ", "GJ"},    {"2J", "2J", "GJ"},
    {"GU", "GU", "GU"},    {"MU", "MU", "GU"},    {"2U", "2U", "GU"},

    {"DA", "DR", "DL"},    {"OK", "OL", "OK"},    {"OM", "OM", "OM"},    {"SN", "SR", "SP"},
    {"3Z", "3Z", "SP"},    {"HF", "HF", "SP"},    {"LY", "LY", "LY"},    {"YL", "YL", "YL"},
    {"ES", "ES", "ES"},    {"4X", "4X", "4X"},    {"4Z", "4Z", "4X"},    {"JA", "JS", "JA"},
    {"7J", "7N", "JA"},    {"8J", "8N", "JA"},    {"EA", "EH", "EA"},    {"HA", "HA", "HA"},
    {"HG", "HG", "HA"},    {"OH", "OH", "OH"},    {"SA", "SM", "SM"},    {"7S", "7S", "SM"},
    {"LA", "LN", "LA"},    {"OU", "OZ", "OZ"},    {"PA", "PI", "PA"},    {"ON", "OT", "ON"},
    {"OE", "OE", "OE"},    {"HB", "HB", "HB"},    {"YO", "YR", "YO"},    {"LZ", "LZ", "LZ"},
    {"S5", "S5", "S5"},    {"9A", "9A", "9A"},    {"YT", "YU", "YU"},    {"SV", "SZ", "SV"},
    {"TA", "TC", "TA"},    {"CT", "CT", "CT"},

    {"K", "K", "K"},       {"W", "W", "K"},       {"N", "N", "K"},       {"R", "R", "UA"},
    {"F", "F", "F"},       {"G", "G", "G"},       {"M", "M", "G"},       {"I", "I", "I"},
};

// The entry with the longest matching range wins, so "KH6" beats "K" and "GM" beats "G".
std::string LookUp(const std::string& key) {
  const Entity* best = nullptr;
  size_t best_length = 0;
  for (const Entity& entity : kEntities) {
    const std::string low = entity.low;
    if (key.size() < low.size() || low.size() <= best_length) continue;
    const std::string head = key.substr(0, low.size());
    if (head >= low && head <= entity.high) {
      best = &entity;
      best_length = low.size();
    }
  }
  return best ? best->prefix : "";
}

}  // namespace

std::string CallPrefix(const std::string& call) {
  const Parsed parsed = Parse(call);
  if (parsed.base.empty()) return "";
  if (!parsed.location.empty()) return PrefixOf(parsed.location);
  const std::string prefix = PrefixOf(parsed.base);
  if (parsed.area.empty()) return prefix;
  size_t letters = prefix.size();
  while (letters > 1 && IsDigit(prefix[letters - 1])) --letters;
  return prefix.substr(0, letters) + parsed.area;
}

std::string CountryPrefix(const std::string& call) {
  const Parsed parsed = Parse(call);
  if (parsed.base.empty() || parsed.no_entity) return "";
  const std::string& key = parsed.location.empty() ? parsed.base : parsed.location;
  const std::string country = LookUp(key);
  if (country != "UA") return country;
  char area = 0;
  if (!parsed.area.empty() && parsed.location.empty()) {
    area = parsed.area.back();
  } else if (const size_t digit = key.find_first_of("0123456789", 1); digit != std::string::npos) {
    area = key[digit];
  }
  if (area == '2') return "UA2";
  if (area == '8' || area == '9' || area == '0') return "UA9";
  return country;
}

}  // namespace logs
