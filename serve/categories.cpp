#include "serve/categories.h"

#include <algorithm>
#include <cctype>

namespace serve {

const std::vector<Category>& Categories() {
  static const std::vector<Category> kCategories = {
      {"CATEGORY-OPERATOR", {"SINGLE-OP", "MULTI-OP", "CHECKLOG"}},
      {"CATEGORY-ASSISTED", {"ASSISTED", "NON-ASSISTED"}},
      {"CATEGORY-BAND", {"ALL", "160M", "80M", "40M",  "20M",  "15M",  "10M",   "6M",         "4M",
                         "2M",  "222",  "432", "902",  "1.2G", "2.3G", "3.4G",  "5.7G",       "10G",
                         "24G", "47G",  "75G", "122G", "134G", "241G", "LIGHT", "VHF-3-BAND", "VHF-FM-ONLY"}},
      {"CATEGORY-MODE", {"CW", "DIGI", "FM", "RTTY", "SSB", "MIXED"}},
      {"CATEGORY-POWER", {"HIGH", "LOW", "QRP"}},
      {"CATEGORY-STATION",
       {"DISTRIBUTED", "FIXED", "MOBILE", "PORTABLE", "ROVER", "ROVER-LIMITED", "ROVER-UNLIMITED",
        "EXPEDITION", "HQ", "SCHOOL", "EXPLORER"}},
      {"CATEGORY-TIME", {"6-HOURS", "8-HOURS", "12-HOURS", "24-HOURS"}},
      {"CATEGORY-TRANSMITTER", {"ONE", "TWO", "LIMITED", "UNLIMITED", "SWL"}},
      {"CATEGORY-OVERLAY", {"CLASSIC", "ROOKIE", "TB-WIRES", "YOUTH", "NOVICE-TECH", "OVER-50"}},
  };
  return kCategories;
}

const Category* CategoryOf(const std::string& tag) {
  for (const Category& c : Categories()) {
    if (tag == c.tag) return &c;
  }
  return nullptr;
}

bool KnownValue(const Category& category, const std::string& value) {
  std::string upper = value;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return std::any_of(category.values.begin(), category.values.end(),
                     [&](const char* v) { return upper == v; });
}

bool KnownCabrilloTag(const std::string& tag) {
  static const char* const kTags[] = {"START-OF-LOG",
                                      "END-OF-LOG",
                                      "CALLSIGN",
                                      "CONTEST",
                                      "CERTIFICATE",
                                      "CLAIMED-SCORE",
                                      "CLUB",
                                      "CREATED-BY",
                                      "EMAIL",
                                      "GRID-LOCATOR",
                                      "LOCATION",
                                      "NAME",
                                      "ADDRESS",
                                      "ADDRESS-CITY",
                                      "ADDRESS-STATE-PROVINCE",
                                      "ADDRESS-POSTALCODE",
                                      "ADDRESS-COUNTRY",
                                      "OPERATORS",
                                      "OFFTIME",
                                      "SOAPBOX",
                                      "QSO",
                                      "X-QSO"};
  if (tag.rfind("X-", 0) == 0 || CategoryOf(tag)) return true;
  return std::find_if(std::begin(kTags), std::end(kTags), [&](const char* t) { return tag == t; }) !=
         std::end(kTags);
}

}  // namespace serve
