// Private-profile (ini) reading and editing on the text of a file, matching the Windows private-profile
// services, so the POSIX build reads and writes the plug-in's ini exactly as the DLL does.
#ifndef ZORVANT_PLATFORM_INI_TEXT_H_
#define ZORVANT_PLATFORM_INI_TEXT_H_

#include <string>

namespace zorvant {

class Platform;

namespace ini {

// Whether `key` exists in `section` of the ini text; when it does, its value (trimmed, one pair of matching
// quotes removed) goes to *value.
bool Find(const std::string& text, const std::string& section, const std::string& key, std::string* value);

// The ini text with `key` in `section` set to `value`: an existing key line is replaced, a missing key is
// added after the last entry of its section, a missing section at the end of the text. Unless nothing
// changes, the text is written out again whole, trimmed and with CR LF line ends, as Windows does. A CR or
// LF in the value becomes a blank: the value keeps to its one line and can never start a key of its own.
std::string Set(const std::string& text, const std::string& section, const std::string& key,
                const std::string& value);

// The integer at the start of a profile value as GetPrivateProfileInt reads it ("0x1f" is 31, 32 bits wrap);
// `def` for an empty value. The plug-in's own settings numbers are plain decimal: SettingNumber.
int ProfileIntValue(const std::string& value, int def);

// The profile services on a settings file at the full path `path`, with every open, swap, removal and lock
// made through `files`. Every platform implements its profile services so; a test platform passes itself,
// so the faults it injects reach the settings file as they reach every other file.
std::string ProfileString(Platform& files, const std::string& path, const std::string& section,
                          const std::string& key, const std::string& def);
int ProfileInt(Platform& files, const std::string& path, const std::string& section, const std::string& key,
               int def);
// The file is read, changed and rewritten (RewriteFile) under the lock "path.lock", so two writers, in one
// process or two, each keep the other's keys. False, with the file untouched, when the folder is missing,
// when a section or key name holds a line break, when the lock cannot be had, when the file is there but
// cannot be read (its other keys would be lost) and when the new text cannot be written whole.
bool WriteProfileString(Platform& files, const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value);

}  // namespace ini
}  // namespace zorvant

#endif  // ZORVANT_PLATFORM_INI_TEXT_H_
