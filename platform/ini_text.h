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
// changes, the text is written out again whole, trimmed and with CR LF line ends, as Windows does.
std::string Set(const std::string& text, const std::string& section, const std::string& key,
                const std::string& value);

// The leading decimal integer of a profile value, as GetPrivateProfileInt reads it.
int LeadingInt(const std::string& value, int def);

// The profile services on a settings file at the full path `path`, with every open, swap and removal made
// through `files`. That is the POSIX implementation; a test platform passes itself, so the faults it injects
// reach the settings file as they reach every other file.
std::string ProfileString(Platform& files, const std::string& path, const std::string& section,
                          const std::string& key, const std::string& def);
int ProfileInt(Platform& files, const std::string& path, const std::string& section, const std::string& key,
               int def);
// The new text goes to a sibling "path.tmp" that is then swapped in, so a write that fails keeps the old
// file whole. False, with the file untouched, when the folder is missing, when the file is there but cannot
// be read (its other keys would be lost) and when the new text cannot be written or swapped in.
bool WriteProfileString(Platform& files, const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value);

}  // namespace ini
}  // namespace zorvant

#endif  // ZORVANT_PLATFORM_INI_TEXT_H_
