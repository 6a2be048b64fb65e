#include "engine/contest_rules.h"

namespace zorvant {

const char* const kModeEntries[] = {"RTTY", "BPSK63"};
const char* const kBandEntries[] = {"160m", "80m", "40m", "20m", "15m", "10m"};

namespace {
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool EqualNoCase(const char* a, const char* b) {
  if (!a) a = "";
  if (!b) b = "";
  for (; *a && *b; ++a, ++b) {
    if (Lower(*a) != Lower(*b)) return false;
  }
  return *a == *b;
}

bool IsValidExchange(const char* exchange) {
  if (!exchange) return false;
  std::size_t n = 0;
  for (const char* p = exchange; *p; ++p, ++n) {
    if (*p < '0' || *p > '9') return false;
  }
  return n >= 2 && n <= 4 && std::string(exchange) != "599";
}

int CContestRules::IndexOf(const char* text) const {
  if (!text || !*text) return -1;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (EqualNoCase(entries_[i].c_str(), text)) return static_cast<int>(i);
  }
  return -1;
}

bool CContestRules::Contains(const char* text) const { return IndexOf(text) >= 0; }

}  // namespace zorvant
