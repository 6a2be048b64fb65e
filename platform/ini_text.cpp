// The Windows private-profile rules as Wine 8 carries them out, checked byte for byte against its
// GetPrivateProfileStringA, GetPrivateProfileIntA and WritePrivateProfileStringA. Like Wine, a write does
// not edit the text in place: the text is read into sections and keys and written out again whole, so a
// write that changes something also drops blank lines, trims names and values and ends every line in CR LF;
// a write that changes nothing leaves the text as it was.
// Not modelled: Wine reads a file that starts with a UTF-8 byte-order mark as UTF-8 and converts names and
// values to and from the ANSI code page; here the mark is kept and the bytes after it are taken as they are,
// which agrees as long as they are ASCII.
#include "platform/ini_text.h"

#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "platform/whole_file.h"

namespace zorvant {
namespace ini {
namespace {

// Wine trims these (iswspace plus the DOS end-of-file mark), never a byte above 0x7F.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

std::string TrimLeft(const std::string& s) {
  std::size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return s.substr(b);
}

std::string TrimRight(const std::string& s) {
  std::size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return s.substr(0, e);
}

std::string Trim(const std::string& s) { return TrimRight(TrimLeft(s)); }

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Names compare without regard to ASCII case only: Wine compares "\xC4" and "\xE4" as different names.
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

struct Entry {
  std::string name;
  bool hasValue = false;  // a line without '=' (a comment, say) is kept as a name with no value
  std::string value;
};

struct Section {
  std::string name;  // empty for the lines before the first section header, written without a header
  std::vector<Entry> entries;
};

struct Profile {
  std::string bom;  // a UTF-8 byte-order mark is kept in front of the text
  std::vector<Section> sections;
};

const char kUtf8Bom[] = "\xEF\xBB\xBF";

Profile Parse(const std::string& text) {
  Profile p;
  std::size_t pos = 0;
  if (text.compare(0, 3, kUtf8Bom) == 0) {
    p.bom = kUtf8Bom;
    pos = 3;
  }
  p.sections.emplace_back();
  const Entry* previous = nullptr;  // the last entry kept in the current section
  while (pos < text.size()) {
    // A CR alone ends a line too.
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;

    if (line[0] == '[') {
      const std::size_t close = line.rfind(']');
      // "[Name] anything" names the section up to the last ']'; "[Name" is a plain line.
      if (close != std::string::npos && close != 0) {
        p.sections.push_back(Section{Trim(line.substr(1, close - 1)), {}});
        previous = nullptr;
        continue;
      }
    }

    Entry e;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
      e.name = line;
    } else {
      e.name = TrimRight(line.substr(0, eq));
      e.hasValue = true;
      e.value = TrimLeft(line.substr(eq + 1));
    }
    // Wine's loader drops a nameless entry ("=x") that comes right after another nameless one.
    if (!e.name.empty() || previous == nullptr || !previous->name.empty()) {
      std::vector<Entry>& entries = p.sections.back().entries;
      entries.push_back(e);
      previous = &entries.back();
    }
  }
  return p;
}

std::string Serialize(const Profile& p) {
  std::string out = p.bom;
  for (const Section& s : p.sections) {
    if (!s.name.empty()) out += "[" + s.name + "]\r\n";
    for (const Entry& e : s.entries) {
      out += e.name;
      if (e.hasValue) out += "=" + e.value;
      out += "\r\n";
    }
  }
  return out;
}

// The first section of that name (a later duplicate is never read or written), or null.
Section* FindSection(Profile& p, const std::string& section) {
  const std::string name = Trim(section);
  for (Section& s : p.sections) {
    if (SameName(s.name, name)) return &s;
  }
  return nullptr;
}

Entry* FindEntry(Section& s, const std::string& key) {
  const std::string name = Trim(key);
  for (Entry& e : s.entries) {
    if (SameName(e.name, name)) return &e;
  }
  return nullptr;
}

// One pair of matching quotes around a value of at least two characters comes off.
std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

bool Find(const std::string& text, const std::string& section, const std::string& key, std::string* value) {
  Profile p = Parse(text);
  Section* s = FindSection(p, section);
  if (!s) return false;
  const Entry* e = FindEntry(*s, key);
  if (!e || !e->hasValue) return false;
  *value = Unquote(e->value);
  return true;
}

std::string Set(const std::string& text, const std::string& section, const std::string& key,
                const std::string& value) {
  Profile p = Parse(text);
  Section* s = FindSection(p, section);
  if (!s) {
    // New names keep their trailing blanks, as Wine writes them; only leading blanks go.
    p.sections.push_back(Section{TrimLeft(section), {}});
    s = &p.sections.back();
  }
  Entry* e = FindEntry(*s, key);
  if (!e) {
    s->entries.push_back(Entry{TrimLeft(key), false, ""});
    e = &s->entries.back();
  }
  std::string v = value;
  for (char& c : v) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  v = TrimLeft(v);
  if (e->hasValue && e->value == v) return text;
  e->hasValue = true;
  e->value = v;
  return Serialize(p);
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

std::string ProfileString(Platform& files, const std::string& path, const std::string& section,
                          const std::string& key, const std::string& def) {
  std::string text, value;
  if (ReadWholeFile(files, path, &text) && Find(text, section, key, &value)) return value;
  // As GetPrivateProfileString treats the default: trailing spaces (not tabs) go, though never its first
  // character, then one pair of matching quotes, as from a value.
  std::string d = def;
  while (d.size() > 1 && d.back() == ' ') d.pop_back();
  return Unquote(d);
}

int ProfileInt(Platform& files, const std::string& path, const std::string& section, const std::string& key,
               int def) {
  std::string text, value;
  if (!ReadWholeFile(files, path, &text) || !Find(text, section, key, &value)) return def;
  return ProfileIntValue(value, def);
}

bool WriteProfileString(Platform& files, const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value) {
  // A name is written as it is, so a line break in it would start a line of the caller's choosing.
  if (section.find_first_of("\r\n") != std::string::npos || key.find_first_of("\r\n") != std::string::npos) {
    return false;
  }
  // Held from the read to the swap: a writer that read the file before another's swap would write its text
  // back without the other's key.
  const std::unique_ptr<Platform::Lock> lock = files.TakeLock(path + ".lock");
  if (!lock) return false;
  std::string text;
  const bool existed = files.FileExists(path);
  if (existed && !ReadWholeFile(files, path, &text)) return false;
  const std::string updated = Set(text, section, key, value);
  if (existed && updated == text) return true;
  return RewriteFile(files, path, updated);
}

}  // namespace ini
}  // namespace zorvant
