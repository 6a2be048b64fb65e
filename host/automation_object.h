// The host's automation object, "Tarq2.Application", as the stand-in publishes it: the three members the
// plug-in calls, answered from the stand-in's own state, with every call recorded. Windows only.
#ifndef ZORVANT_HOST_AUTOMATION_OBJECT_H_
#define ZORVANT_HOST_AUTOMATION_OBJECT_H_

#include <oaidl.h>
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace host {

// The class id the stand-in registers for "Tarq2.Application" (scripts/env.sh writes it into the Wine
// prefix under HKEY_CLASSES_ROOT).
extern const CLSID kHostClsid;
inline constexpr char kHostClsidText[] = "{5E0B6A3C-2F41-4C8E-9D27-7A1F3B64C0D5}";

// Lives in the apartment of the thread that creates it; calls from other apartments arrive only while that
// thread pumps messages. Its state may be set and read from any thread.
class HostObject : public IDispatch {
 public:
  // How the object answers the two reads, for tests of a host that refuses.
  enum class Answer { kValue, kError, kException, kEmpty, kWrongType };

  HostObject() = default;
  HostObject(const HostObject&) = delete;
  HostObject& operator=(const HostObject&) = delete;

  // --- The stand-in's state: what the operator has typed and where the radio is tuned.
  void SetEnteredCall(const std::wstring& call);
  void SetEnteredCallAnsi(const std::string& call);  // in the process's code page
  void SetFrequency(double hz);
  void SetAnswer(Answer answer);
  // Each member call takes this long before it answers.
  void SetDelay(DWORD ms);
  // The modem mode the plug-in's last macro pair switched to: "BPSK63", "RTTY", or the pair's own mode
  // text; "" before any pair.
  std::string mode() const;
  // Posts `message` to `window` each time a macro pair switches the mode, from whichever thread the call
  // arrives on; a null window stops it.
  void WatchMode(HWND window, UINT message);

  // --- What the plug-in did.
  void Clear();  // forgets it
  std::vector<std::wstring> macros() const;
  int callReads() const;
  int frequencyReads() const;
  // Whether someone has asked this object for its dispatch interface, as every attach does.
  bool attached() const;

  // --- Publishing in the running-object table, on the owning thread (COM initialised there).
  bool Publish();
  // Revokes the entry and cuts every proxy off, as when the host program quits.
  void Withdraw();

  // IUnknown. The object is owned by whoever created it; the count only tracks COM's references.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* badArg) override;

 private:
  mutable std::mutex mutex_;
  std::wstring enteredCall_;
  double frequency_ = 0;
  Answer answer_ = Answer::kValue;
  DWORD delay_ = 0;
  std::vector<std::wstring> macros_;
  std::wstring pairMode_;  // from a "<MODE:...>" waiting for its "<BAUDRATE:...>"
  std::string mode_;
  HWND modeWindow_ = nullptr;
  UINT modeMessage_ = 0;
  int callReads_ = 0;
  int frequencyReads_ = 0;
  int attaches_ = 0;
  LONG refs_ = 0;
  DWORD cookie_ = 0;
};

// Pumps this thread's messages (so calls into an object it owns get through) for `ms` milliseconds, or until
// `done` returns true, whichever comes first. Returns `done`'s last answer.
template <typename Done>
bool PumpUntil(Done done, DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    const DWORD left = static_cast<DWORD>(end - now);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, left < 10 ? left : 10, QS_ALLINPUT);
  }
}

inline void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

}  // namespace host

#endif  // ZORVANT_HOST_AUTOMATION_OBJECT_H_
