// The operator's part in an unattended run: answers the plug-in's modal windows from a second thread while
// the host's thread is blocked in the export call that opened them. Windows only.
#ifndef ZORVANT_HOST_STAND_IN_OPERATOR_H_
#define ZORVANT_HOST_STAND_IN_OPERATOR_H_

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace host {

// `ms` stretched by ZORVANT_WAIT_SCALE (a whole number, 1 when unset): under an emulated processor every
// window takes several times longer to come. Waits end as soon as what they wait for is there, so a longer
// bound costs nothing when all is well.
DWORD Scaled(DWORD ms);

// A visible top-level window of this process titled exactly `title`, waiting up to `ms` for it; null if none
// comes. A dialog is shown only once its controls are filled, so it is ready to be typed into.
HWND WaitForOwnWindow(const std::string& title, DWORD ms);

class Operator {
 public:
  // Waits up to `ms` for a visible top-level window of this process titled exactly `title`, lets `fill`
  // type into it, keeps the text of a message box's message, and presses OK.
  explicit Operator(const std::string& title, std::function<void(HWND)> fill = nullptr, DWORD ms = 20000);
  ~Operator();
  Operator(const Operator&) = delete;
  Operator& operator=(const Operator&) = delete;

  // Whether the window came and was answered. Call after the modal call has returned: waits for the thread.
  bool Answered();
  const std::string& message() const { return message_; }

 private:
  bool answered_ = false;
  std::string message_;
  std::thread thread_;
};

}  // namespace host

#endif  // ZORVANT_HOST_STAND_IN_OPERATOR_H_
