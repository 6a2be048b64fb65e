#include "ui/window_text_win32.h"

namespace zorvant {

std::wstring Widen(const std::string& text, bool cp1251) {
  if (text.empty()) return {};
  const UINT page = cp1251 ? 1251 : CP_ACP;
  const int length = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(page, /*dwFlags=*/0, text.data(), length, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(page, /*dwFlags=*/0, text.data(), length, &wide[0], n);
  return wide;
}

void SetText(HWND window, const std::string& text, bool cp1251) {
  if (window) SetWindowTextW(window, Widen(text, cp1251).c_str());
}

}  // namespace zorvant
