// File names are UTF-8 text throughout this program, as Linux keeps them. On Windows they become the
// system's own UTF-16 names at each call: the ANSI functions and the C library would read narrow text in the
// ANSI code page, where a Cyrillic folder name has no spelling at all under 1252, and std::filesystem in the
// C library's locale, where it has none right under any.
#ifndef ZORVANT_PLATFORM_FILE_NAMES_H_
#define ZORVANT_PLATFORM_FILE_NAMES_H_

#include <cstdio>
#include <filesystem>
#include <string>

namespace zorvant {

// A name as std::filesystem takes it.
std::filesystem::path FsPath(const std::string& name);
// A name std::filesystem gave back, as this program's text.
std::string NameText(const std::filesystem::path& path);
// std::fopen of a name.
std::FILE* OpenNamed(const std::string& name, const char* mode);

#ifdef _WIN32
// The UTF-16 name Windows' wide functions take. Text that is not UTF-8 is read in the ANSI code page: the
// host hands the plug-in its strings in that code page.
std::wstring WideName(const std::string& name);
// UTF-16 text from Windows as this program's text.
std::string Utf8Text(const wchar_t* text, std::size_t length);
#endif

}  // namespace zorvant

#endif  // ZORVANT_PLATFORM_FILE_NAMES_H_
