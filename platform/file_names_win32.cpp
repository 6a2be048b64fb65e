#include "platform/file_names.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zorvant {
namespace {

std::wstring Decoded(UINT codePage, DWORD flags, const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(codePage, flags, text.data(), size, /*lpWideCharStr=*/nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), size, &wide[0], n);
  return wide;
}

}  // namespace

std::wstring WideName(const std::string& name) {
  std::wstring wide = Decoded(CP_UTF8, MB_ERR_INVALID_CHARS, name);
  return wide.empty() && !name.empty() ? Decoded(CP_ACP, 0, name) : wide;
}

std::string Utf8Text(const wchar_t* text, std::size_t length) {
  if (length == 0) return std::string();
  const int size = static_cast<int>(length);
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, size, /*lpMultiByteStr=*/nullptr, 0,
                                    /*lpDefaultChar=*/nullptr, /*lpUsedDefaultChar=*/nullptr);
  if (n <= 0) return std::string();
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, size, &utf8[0], n, /*lpDefaultChar=*/nullptr,
                      /*lpUsedDefaultChar=*/nullptr);
  return utf8;
}

std::filesystem::path FsPath(const std::string& name) { return std::filesystem::path(WideName(name)); }

std::string NameText(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  return Utf8Text(wide.data(), wide.size());
}

std::FILE* OpenNamed(const std::string& name, const char* mode) {
  return _wfopen(WideName(name).c_str(), WideName(mode).c_str());
}

}  // namespace zorvant
