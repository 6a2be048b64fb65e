// The plug-in's 8-bit texts and the system's wide ones.
#ifndef ZORVANT_UI_WINDOW_TEXT_WIN32_H_
#define ZORVANT_UI_WINDOW_TEXT_WIN32_H_

#include <windows.h>

#include <cstddef>
#include <string>

namespace zorvant {

// Text converted between 8-bit text in `codePage` and wide text; "" for what cannot be converted.
std::wstring Widen(const std::string& text, UINT codePage);
std::string Narrow(const wchar_t* text, std::size_t length, UINT codePage);
// Sets a window's text through the wide API, read in code page 1251 (the Russian texts) or the ANSI code
// page, so that Russian texts read right whatever the system's code page is.
void SetText(HWND window, const std::string& text, bool cp1251);

}  // namespace zorvant

#endif  // ZORVANT_UI_WINDOW_TEXT_WIN32_H_
