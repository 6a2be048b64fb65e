#include "host/stand_in_operator.h"

#include <utility>

namespace host {
namespace {

// The message text of a message box is the control with this id.
const int kMessageBoxText = 0xFFFF;

HWND FindOwnWindow(const std::string& title) {
  HWND w = nullptr;
  while ((w = FindWindowExA(nullptr, w, nullptr, title.c_str())) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

}  // namespace

Operator::Operator(const std::string& title, std::function<void(HWND)> fill, DWORD ms)
    : thread_([this, title, fill = std::move(fill), ms] {
        for (DWORD waited = 0; waited < ms; waited += 20) {
          if (HWND w = FindOwnWindow(title)) {
            if (fill) fill(w);
            char text[1024] = "";
            GetDlgItemTextA(w, kMessageBoxText, text, sizeof text);
            message_ = text;
            answered_ = true;
            SendMessageA(w, WM_COMMAND, IDOK, 0);
            return;
          }
          Sleep(20);
        }
      }) {}

Operator::~Operator() {
  if (thread_.joinable()) thread_.join();
}

bool Operator::Answered() {
  if (thread_.joinable()) thread_.join();
  return answered_;
}

}  // namespace host
