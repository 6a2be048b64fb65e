// The Windows private-profile rules as Wine 8 carries them out, checked byte for byte against its
// GetPrivateProfileStringA, GetPrivateProfileIntA and WritePrivateProfileStringA. Like Wine, a write does
// not edit the text in place: the text is read into sections and keys and written out again whole, so a
// write that changes something also drops blank lines, trims names and values and ends every line in CR LF;
// a write that changes nothing leaves the text as it was.
// Not modelled: Wine reads a file that starts with a UTF-8 byte-order mark as UTF-8 and converts names and
// values to and from the ANSI code page; here the mark is kept and the bytes after it are taken as they are,
// which agrees as long as they are ASCII.
#include "platform/ini_text.h"

#include <algorithm>
#include <cstdint>

namespace zorvant {
namespace ini {
namespace {

// Wine trims these (iswspace plus the DOS end-of-file mark), never a byte above 0x7F.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

std::string_view TrimLeft(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return s.substr(b);
}

std::string_view TrimRight(std::string_view s) {
  std::size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return s.substr(0, e);
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

// A value as its key line holds it: line breaks as blanks, so that it keeps to its one line, from its first
// non-blank on.
std::string LineValue(std::string_view value) {
  std::string line(value);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return std::string(TrimLeft(line));
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool LessNoCase(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return AsciiLower(x) < AsciiLower(y); });
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// One line as Wine's loader keeps it.
struct Line {
  bool section = false;
  std::string_view name;
  std::string_view value;
  bool hasValue = false;
};

// Walks the lines Wine keeps, in order, until `visit` returns false. Blank lines are skipped, and so is a
// nameless entry ("=x") that comes right after another nameless one in its section, as Wine's loader
// drops it.
template <typename Visit>
void Walk(std::string_view text, Visit visit) {
  std::size_t pos = text.substr(0, kUtf8Bom.size()) == kUtf8Bom ? kUtf8Bom.size() : 0;
  bool previousKept = false, previousNameless = false;
  while (pos < text.size()) {
    // A CR alone ends a line too.
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view raw = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (raw.empty()) continue;

    Line line;
    if (raw[0] == '[') {
      const std::size_t close = raw.rfind(']');
      // "[Name] anything" names the section up to the last ']'; "[Name" is a plain line.
      if (close != std::string_view::npos && close != 0) {
        line.section = true;
        line.name = Trim(raw.substr(1, close - 1));
        previousKept = false;
        if (!visit(line)) return;
        continue;
      }
    }
    const std::size_t eq = raw.find('=');
    if (eq == std::string_view::npos) {
      line.name = raw;
    } else {
      line.name = TrimRight(raw.substr(0, eq));
      line.hasValue = true;
      line.value = TrimLeft(raw.substr(eq + 1));
    }
    if (line.name.empty() && previousKept && previousNameless) continue;
    previousKept = true;
    previousNameless = line.name.empty();
    if (!visit(line)) return;
  }
}

// Follows which section a walk is in: only the first section of a name counts, so a later one of the same
// name is never read or written.
class SectionTracker {
 public:
  // The lines before the first section header form a nameless section of their own.
  explicit SectionTracker(const std::string& section) : target_(Trim(section)) {
    inTarget_ = target_.empty();
    seen_ = inTarget_;
  }
  // Returns whether the walk just left the section.
  bool Enter(std::string_view name) {
    const bool left = inTarget_;
    inTarget_ = !seen_ && SameName(name, target_);
    seen_ = seen_ || inTarget_;
    return left;
  }
  bool inTarget() const { return inTarget_; }
  bool seen() const { return seen_; }
  std::string_view target() const { return target_; }

 private:
  std::string_view target_;
  bool inTarget_ = false;
  bool seen_ = false;
};

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  a = Trim(a);
  b = Trim(b);
  // Without regard to ASCII case only: Wine compares "\xC4" and "\xE4" as different names.
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

std::string Unquote(std::string_view value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

std::string DefaultValue(const std::string& def) {
  std::string d = def;
  while (d.size() > 1 && d.back() == ' ') d.pop_back();
  return Unquote(d);
}

std::vector<SectionEntry> ReadSection(std::string_view text, const std::string& section) {
  // The first of each name wins: a stable sort keeps the order of equal names, and unique keeps the first.
  // Done now and then on the way, so that a section of many lines of a few names costs no more than the
  // names.
  auto compact = [](std::vector<SectionEntry>& entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const SectionEntry& a, const SectionEntry& b) { return LessNoCase(a.name, b.name); });
    entries.erase(
        std::unique(entries.begin(), entries.end(),
                    [](const SectionEntry& a, const SectionEntry& b) { return SameName(a.name, b.name); }),
        entries.end());
  };
  SectionTracker tracker(section);
  std::vector<SectionEntry> entries;
  std::size_t compacted = 0;
  Walk(text, [&](const Line& line) {
    if (line.section) return !tracker.Enter(line.name);
    if (!tracker.inTarget()) return true;
    entries.push_back({line.name, line.value, line.hasValue});
    if (entries.size() >= 2 * compacted + 4096) {
      compact(entries);
      compacted = entries.size();
    }
    return true;
  });
  compact(entries);
  return entries;
}

const SectionEntry* FindIn(const std::vector<SectionEntry>& entries, std::string_view key) {
  key = Trim(key);
  const auto at =
      std::lower_bound(entries.begin(), entries.end(), key,
                       [](const SectionEntry& e, std::string_view k) { return LessNoCase(e.name, k); });
  return at != entries.end() && SameName(at->name, key) ? &*at : nullptr;
}

std::string ValueAsRead(std::string_view value) { return Unquote(TrimRight(LineValue(value))); }

std::string SetAll(std::string_view text, const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& values) {
  struct Wanted {
    std::string name;  // as a new line writes it: new names keep their trailing blanks, as Wine writes them
    std::string value;
    bool done = false;
  };
  std::vector<Wanted> wanted;
  for (const auto& keyValue : values) {
    const std::string& key = keyValue.first;
    std::string value = LineValue(keyValue.second);
    const auto same =
        std::find_if(wanted.begin(), wanted.end(), [&](const Wanted& w) { return SameName(w.name, key); });
    if (same != wanted.end()) {
      same->value = std::move(value);  // the later of two writes of one key wins
    } else {
      wanted.push_back({std::string(TrimLeft(key)), std::move(value)});
    }
  }

  std::string out;
  out.reserve(text.size() + 64);
  if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) out += kUtf8Bom;
  bool changed = false;
  auto addMissing = [&] {
    for (Wanted& w : wanted) {
      if (w.done) continue;
      out.append(w.name).append("=").append(w.value).append("\r\n");
      w.done = true;
      changed = true;
    }
  };

  SectionTracker tracker(section);
  Walk(text, [&](const Line& line) {
    if (line.section) {
      if (tracker.Enter(line.name)) addMissing();  // a new key goes after the last entry of its section
      // A nameless section is written without its header, as Wine writes it.
      if (!line.name.empty()) out.append("[").append(line.name).append("]\r\n");
      return true;
    }
    out.append(line.name);
    Wanted* w = nullptr;
    if (tracker.inTarget()) {
      for (Wanted& candidate : wanted) {
        if (!candidate.done && SameName(candidate.name, line.name)) w = &candidate;
      }
    }
    if (w) {
      // The first line of the name takes the write, with a value or without.
      w->done = true;
      changed = changed || !line.hasValue || line.value != w->value;
      out.append("=").append(w->value);
    } else if (line.hasValue) {
      out.append("=").append(line.value);
    }
    out.append("\r\n");
    return true;
  });
  if (tracker.inTarget()) addMissing();
  if (!tracker.seen()) {
    out.append("[").append(TrimLeft(section)).append("]\r\n");
    addMissing();
  }
  return changed ? out : std::string(text);
}

int ProfileIntValue(const std::string& value, int def) {
  if (value.empty()) return def;
  // Wine reads the value through a 30-character buffer and converts it with RtlUnicodeStringToInteger in
  // base 0: leading control characters and spaces skipped, one sign, then "0x", "0o" or "0b" (lower case
  // only) switch the base; digits are taken until the first one the base does not have; 32 bits wrap.
  const std::string s = value.substr(0, 29);
  std::size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  bool minus = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) minus = s[i++] == '-';
  unsigned base = 10;
  if (s.size() - i >= 2 && s[i] == '0') {
    if (s[i + 1] == 'x') base = 16;
    if (s[i + 1] == 'o') base = 8;
    if (s[i + 1] == 'b') base = 2;
    if (base != 10) i += 2;
  }
  std::uint32_t total = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'z') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'Z') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    if (digit >= base) break;
    total = total * base + digit;
  }
  if (minus) total = 0u - total;
  return static_cast<int>(total);
}

}  // namespace ini
}  // namespace zorvant
