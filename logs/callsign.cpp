#include "logs/callsign.h"

#include <string_view>
#include <utility>
#include <vector>

namespace logs {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view s) {
  for (char c : s) {
    if (!IsDigit(c)) return false;
  }
  return !s.empty();
}

bool AllLetters(std::string_view s) {
  for (char c : s) {
    if (c < 'A' || c > 'Z') return false;
  }
  return true;
}

constexpr std::string_view kDigits = "0123456789";

// A station's own call has a call-area digit after its first character and ends with a letter; a designator
// such as "VE3", "KH6" or "F" does not.
bool LooksLikeCall(std::string_view s) {
  const size_t digit = s.find_first_of(kDigits, 1);
  return digit != std::string_view::npos && !IsDigit(s.back());
}

// Designators after the call that tell how the station operates rather than where.
bool IsCondition(std::string_view s) {
  if (s.size() == 1 && AllLetters(s)) return true;
  for (const char* word : {"MM", "AM", "QRP", "QRPP", "LH"}) {
    if (s == word) return true;
  }
  return false;
}

// Calls visit(index, part) for each part of a call between slashes, empty ones included.
template <typename Visit>
void ForEachPart(std::string_view call, Visit&& visit) {
  for (size_t from = 0, i = 0;; ++i) {
    const size_t slash = call.find('/', from);
    visit(i, call.substr(from, slash == std::string_view::npos ? std::string_view::npos : slash - from));
    if (slash == std::string_view::npos) return;
    from = slash + 1;
  }
}

// The parts of a call, as views into its upper-case form, which lives as long as this.
class Parsed {
 public:
  explicit Parsed(const std::string& call) {
    upper_.reserve(call.size());
    for (char c : call) {
      // White space as the C library's isspace has it in the "C" locale this program runs in.
      if (c != ' ' && (c < '\t' || c > '\r')) {
        upper_ += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
      }
    }
    // The base is the part most like a station's call, the longest of equals; on a tie the later part wins,
    // since the usual form puts the designator in front (F/G4ABC).
    const std::string_view all = upper_;
    size_t base = std::string_view::npos;
    std::pair<bool, size_t> best;
    ForEachPart(all, [&](size_t i, std::string_view part) {
      if (part.empty()) return;
      const std::pair<bool, size_t> rank(LooksLikeCall(part), part.size());
      if (base == std::string_view::npos || rank >= best) {
        base = i;
        best = rank;
        base_ = part;
      }
    });
    if (base == std::string_view::npos) return;
    ForEachPart(all, [&](size_t i, std::string_view part) {
      if (i == base || part.empty()) return;
      if (AllDigits(part)) {
        area_ = part;
      } else if (i > base && IsCondition(part)) {
        if (part == "MM" || part == "AM") noEntity_ = true;
      } else if (location_.empty()) {
        location_ = part;
      }
    });
  }
  Parsed(const Parsed&) = delete;
  Parsed& operator=(const Parsed&) = delete;

  std::string_view base() const { return base_; }          // the station's own call
  std::string_view location() const { return location_; }  // a designator naming another entity or area
  std::string_view area() const { return area_; }  // a lone number: another call area of the base's country
  bool noEntity() const { return noEntity_; }

 private:
  std::string upper_;
  std::string_view base_, location_, area_;
  bool noEntity_ = false;
};

void PrefixOf(std::string_view s, std::string* out) {
  const size_t last = s.find_last_of(kDigits);
  if (last == std::string_view::npos || last == 0) {
    out->assign(s.substr(0, 2)).push_back('0');
  } else {
    out->assign(s.substr(0, last + 1));
  }
}

struct Entity {
  std::string_view low;  // the key's first characters must lie between low and high
  std::string_view high;
  const char* prefix;
};

constexpr Entity kEntities[] = {
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

constexpr bool RangesShareTheirFirstCharacter() {
  for (const Entity& entity : kEntities) {
    if (entity.low[0] != entity.high[0]) return false;
  }
  return true;
}
static_assert(RangesShareTheirFirstCharacter(),
              "LookUp only looks at the entries of the key's first character");

// The entry with the longest matching range wins, so "KH6" beats "K" and "GM" beats "G". A range's ends
// share their first character, so only the entries of the key's first character can match.
const char* LookUp(std::string_view key) {
  if (key.empty()) return "";
  // The entries of each first character, in table order.
  static const std::vector<std::vector<const Entity*>> kByFirst = [] {
    std::vector<std::vector<const Entity*>> byFirst(256);
    for (const Entity& entity : kEntities)
      byFirst[static_cast<unsigned char>(entity.low[0])].push_back(&entity);
    return byFirst;
  }();
  const Entity* best = nullptr;
  size_t bestLength = 0;
  for (const Entity* candidate : kByFirst[static_cast<unsigned char>(key[0])]) {
    const Entity& entity = *candidate;
    const std::string_view low = entity.low;
    if (key.size() < low.size() || low.size() <= bestLength) continue;
    const std::string_view head = key.substr(0, low.size());
    if (head >= low && head <= entity.high) {
      best = &entity;
      bestLength = low.size();
    }
  }
  return best ? best->prefix : "";
}

void CallPrefixOf(const Parsed& parsed, std::string* prefix) {
  if (parsed.base().empty()) {
    prefix->clear();
  } else if (!parsed.location().empty()) {
    PrefixOf(parsed.location(), prefix);
  } else {
    PrefixOf(parsed.base(), prefix);
    if (parsed.area().empty()) return;
    size_t letters = prefix->size();
    while (letters > 1 && IsDigit((*prefix)[letters - 1])) --letters;
    prefix->resize(letters);
    prefix->append(parsed.area());
  }
}

const char* CountryPrefixOf(const Parsed& parsed) {
  if (parsed.base().empty() || parsed.noEntity()) return "";
  const std::string_view key = parsed.location().empty() ? parsed.base() : parsed.location();
  const char* country = LookUp(key);
  if (std::string_view(country) != "UA") return country;
  char area = 0;
  if (!parsed.area().empty() && parsed.location().empty()) {
    area = parsed.area().back();
  } else if (const size_t digit = key.find_first_of(kDigits, 1); digit != std::string_view::npos) {
    area = key[digit];
  }
  if (area == '2') return "UA2";
  if (area == '8' || area == '9' || area == '0') return "UA9";
  return country;
}

}  // namespace

std::string CallPrefix(const std::string& call) {
  std::string prefix;
  CallPrefixOf(Parsed(call), &prefix);
  return prefix;
}

std::string CountryPrefix(const std::string& call) { return CountryPrefixOf(Parsed(call)); }

void CallPrefixes(const std::string& call, std::string* prefix, std::string* countryPrefix) {
  const Parsed parsed(call);
  CallPrefixOf(parsed, prefix);
  countryPrefix->assign(CountryPrefixOf(parsed));
}

}  // namespace logs
