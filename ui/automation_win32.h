// The host link over the host program's automation object: the running instance of "Tarq2.Application",
// called late-bound through IDispatch.
#ifndef ZORVANT_UI_AUTOMATION_WIN32_H_
#define ZORVANT_UI_AUTOMATION_WIN32_H_

#include <oaidl.h>
#include <windows.h>

#include <optional>
#include <string>

#include "ui/host_link.h"

namespace zorvant {

inline constexpr wchar_t kHostProgId[] = L"Tarq2.Application";

// The host's dispatch members.
inline constexpr DISPID kDispRunMacro = 16;    // method(BSTR macro)
inline constexpr DISPID kDispEnteredCall = 8;  // method(long 5) -> BSTR
inline constexpr DISPID kDispFrequency = 2;    // property get -> double, hertz
inline constexpr long kEnteredCallField = 5;

// Belongs to one thread: Attach, every call and Detach (or the destructor) must run on the thread that
// attached, because the dispatch pointer is only good inside that thread's COM apartment. So it is never
// process-wide and never released from the library's unload, where the loader lock is held.
class HostAutomation : public HostLink {
 public:
  HostAutomation() = default;
  ~HostAutomation() override { Detach(); }
  HostAutomation(const HostAutomation&) = delete;
  HostAutomation& operator=(const HostAutomation&) = delete;

  // Initialises COM (apartment-threaded) on this thread and takes the host's running object, if any. Safe to
  // call again: a later attach that finds no object leaves the link detached.
  void Attach();
  // Lets go of the host's object, then of this thread's COM.
  void Detach();

  bool attached() const override { return dispatch_ != nullptr; }
  void SendMacro(const std::string& text) override;
  std::string EnteredCall() override;
  std::optional<double> Frequency() override;

 private:
  // Calls a member; false when the host refused or is gone (then `result` is cleared).
  bool Call(DISPID member, WORD kind, VARIANT* args, UINT argCount, VARIANT* result);
  void Release();

  IDispatch* dispatch_ = nullptr;
  bool comInitialised_ = false;
};

}  // namespace zorvant

#endif  // ZORVANT_UI_AUTOMATION_WIN32_H_
