#include "ui/window_text_win32.h"

namespace zorvant {

std::wstring Widen(const std::string& text, UINT codePage) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(codePage, /*dwFlags=*/0, text.data(), length, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, /*dwFlags=*/0, text.data(), length, &wide[0], n);
  return wide;
}

std::string Narrow(const wchar_t* text, std::size_t length, UINT codePage) {
  if (!text || length == 0) return {};
  const int wide = static_cast<int>(length);
  const int n = WideCharToMultiByte(codePage, /*dwFlags=*/0, text, wide, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, /*dwFlags=*/0, text, wide, &out[0], n, nullptr, nullptr);
  return out;
}

void SetText(HWND window, const std::string& text, bool cp1251) {
  if (window) SetWindowTextW(window, Widen(text, cp1251 ? 1251 : CP_ACP).c_str());
}

}  // namespace zorvant
