// The contest's fixed lists of accepted texts (modes, bands).
#ifndef ZORVANT_ENGINE_CONTEST_RULES_H_
#define ZORVANT_ENGINE_CONTEST_RULES_H_

#include <cstddef>
#include <string>
#include <vector>

namespace zorvant {

class CContestRules {
 public:
  CContestRules(const char* const* entries, std::size_t count) : entries_(entries, entries + count) {}

  // Whether some entry equals `text` ignoring letter case. The entries are plain ASCII, so a byte-wise ASCII
  // comparison gives the same answer as a multi-byte aware one. Null and empty texts are in no table.
  bool Contains(const char* text) const;
  bool Contains(const std::string& text) const { return Contains(text.c_str()); }
  // The table index of `text` under the same comparison, or -1.
  int IndexOf(const char* text) const;

  std::size_t size() const { return entries_.size(); }
  const std::string& operator[](std::size_t i) const { return entries_[i]; }

 private:
  std::vector<std::string> entries_;
};

// A received exchange is a serial number of 2 to 4 ASCII digits; "599" (a signal report typed into the wrong
// field) is refused, while "0599" is a real serial.
bool IsValidExchange(const char* exchange);

// ASCII case-insensitive equality of two texts; a null text reads as empty.
bool EqualNoCase(const char* a, const char* b);

extern const char* const kModeEntries[];
constexpr std::size_t kModeCount = 2;
extern const char* const kBandEntries[];
constexpr std::size_t kBandCount = 6;
// The bands that carry prefix lists and the plug-in's windows: the first three of the band table.
constexpr int kPrefixBands = 3;

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_CONTEST_RULES_H_
