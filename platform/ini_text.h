// Private-profile (ini) reading and editing on the text of a file, matching the Windows private-profile
// services, so the POSIX build reads and writes the plug-in's ini exactly as the DLL does. Each function is
// one pass over the text that keeps no more than the text it returns: a file of many short lines costs no
// more to read or edit than a file of a few long ones.
#ifndef ZORVANT_PLATFORM_INI_TEXT_H_
#define ZORVANT_PLATFORM_INI_TEXT_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zorvant {
namespace ini {

// One key of a section as Windows reads it: the first line of that name (ASCII case aside) decides, and a
// line without '=' names a key that has no value (it reads as missing). Views into the text read.
struct SectionEntry {
  std::string_view name;
  std::string_view value;  // trimmed, quotes not yet removed
  bool hasValue = false;
};
// The keys of `section`, each once, sorted by name (ASCII case aside) for FindIn.
std::vector<SectionEntry> ReadSection(std::string_view text, const std::string& section);
// The entry of that name in what ReadSection gave, or null.
const SectionEntry* FindIn(const std::vector<SectionEntry>& entries, std::string_view key);

// The value as a read gives it: one pair of matching quotes around two characters or more comes off.
std::string Unquote(std::string_view value);
// The default as GetPrivateProfileString gives it: trailing spaces (not tabs) go, though never the first
// character, then one pair of matching quotes, as from a value.
std::string DefaultValue(const std::string& def);
// Whether two section or key names are the same name: trimmed, and ASCII letters compared without case.
bool SameName(std::string_view a, std::string_view b);

// The ini text with each key of `values` set in `section`: an existing key line is replaced, a missing key is
// added after the last entry of its section, a missing section at the end of the text. Unless nothing
// changes, the text is written out again whole, trimmed and with CR LF line ends, as Windows does. A CR or
// LF in a value becomes a blank: the value keeps to its one line and can never start a key of its own.
std::string SetAll(std::string_view text, const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& values);
// What a read gives back of a key written with `value` by SetAll.
std::string ValueAsRead(std::string_view value);

// The integer at the start of a profile value as GetPrivateProfileInt reads it ("0x1f" is 31, 32 bits wrap);
// `def` for an empty value. The plug-in's own settings numbers are plain decimal: SettingNumber.
int ProfileIntValue(const std::string& value, int def);

}  // namespace ini
}  // namespace zorvant

#endif  // ZORVANT_PLATFORM_INI_TEXT_H_
