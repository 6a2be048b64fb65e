#include "host/stand_in_operator.h"

#include <cstdlib>
#include <utility>

namespace host {
namespace {

// The message text of a message box is the control with this id.
const int kMessageBoxText = 0xFFFF;

}  // namespace

DWORD Scaled(DWORD ms) {
  static const DWORD scale = [] {
    const char* text = std::getenv("ZORVANT_WAIT_SCALE");
    const long value = text ? std::strtol(text, nullptr, 10) : 1;
    return static_cast<DWORD>(value >= 1 && value <= 100 ? value : 1);
  }();
  return ms * scale;
}

HWND WaitForOwnWindow(const std::string& title, DWORD ms) {
  ms = Scaled(ms);
  for (DWORD waited = 0;; waited += 20) {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, nullptr, title.c_str())) != nullptr) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == GetCurrentProcessId() && IsWindowVisible(w)) return w;
    }
    if (waited >= ms) return nullptr;
    Sleep(20);
  }
}

Operator::Operator(const std::string& title, std::function<void(HWND)> fill, DWORD ms)
    : thread_([this, title, fill = std::move(fill), ms] {
        HWND w = WaitForOwnWindow(title, ms);
        if (!w) return;
        if (fill) fill(w);
        char text[1024] = "";
        GetDlgItemTextA(w, kMessageBoxText, text, sizeof text);
        message_ = text;
        answered_ = true;
        SendMessageA(w, WM_COMMAND, IDOK, 0);
      }) {}

Operator::~Operator() {
  if (thread_.joinable()) thread_.join();
}

bool Operator::Answered() {
  if (thread_.joinable()) thread_.join();
  return answered_;
}

}  // namespace host
