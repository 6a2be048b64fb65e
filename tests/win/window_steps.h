// Steps the window tests take on windows of another thread: waiting for a state, reading a text, clicking.
#ifndef ZORVANT_TESTS_WIN_WINDOW_STEPS_H_
#define ZORVANT_TESTS_WIN_WINDOW_STEPS_H_

#include <windows.h>

#include <string>

#include "host/stand_in_operator.h"

// Polls `pred` every 20 ms for up to `ms` (scaled, host::Scaled); its last answer.
template <typename Pred>
bool WaitUntil(Pred pred, int ms = 10000) {
  ms = static_cast<int>(host::Scaled(static_cast<DWORD>(ms)));
  for (int waited = 0; waited < ms; waited += 20) {
    if (pred()) return true;
    Sleep(20);
  }
  return pred();
}

inline std::wstring TextOf(HWND w) {
  wchar_t text[256] = {};
  GetWindowTextW(w, text, 256);
  return text;
}

// Waits until the window's text is `expected`; returns the text it has then.
inline std::wstring TextWhen(HWND w, const std::wstring& expected, int ms = 5000) {
  std::wstring seen;
  WaitUntil([&] { return (seen = TextOf(w)) == expected; }, ms);
  return seen;
}

// A click as BM_CLICK makes it. A button that loses the focus between its press and its release takes no
// click, and a window just shown is still being activated for a moment (the X server's focus events come
// later): wait until the thread's active window has stayed the same for a while first.
inline void Click(HWND button) {
  const DWORD thread = GetWindowThreadProcessId(button, nullptr);
  HWND last = nullptr;
  int steady = 0;
  WaitUntil(
      [&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(thread, &info);
        steady = info.hwndActive == last ? steady + 1 : 0;
        last = info.hwndActive;
        return steady >= 10;  // 200 ms
      },
      3000);
  SendMessageW(button, BM_CLICK, 0, 0);
}

#endif  // ZORVANT_TESTS_WIN_WINDOW_STEPS_H_
