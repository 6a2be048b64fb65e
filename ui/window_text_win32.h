// Window texts from the plug-in's 8-bit strings.
#ifndef ZORVANT_UI_WINDOW_TEXT_WIN32_H_
#define ZORVANT_UI_WINDOW_TEXT_WIN32_H_

#include <windows.h>

#include <string>

namespace zorvant {

// The 8-bit text as wide text, read in code page 1251 (the Russian texts) or in the ANSI code page.
std::wstring Widen(const std::string& text, bool cp1251);
// Sets a window's text through the wide API, so that Russian texts read right whatever the system's code
// page is.
void SetText(HWND window, const std::string& text, bool cp1251);

}  // namespace zorvant

#endif  // ZORVANT_UI_WINDOW_TEXT_WIN32_H_
