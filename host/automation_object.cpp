#include "host/automation_object.h"

#include <oleauto.h>

#include <cstring>
#include <cwchar>

namespace host {

// {5E0B6A3C-2F41-4C8E-9D27-7A1F3B64C0D5}
const CLSID kHostClsid = {0x5e0b6a3c, 0x2f41, 0x4c8e, {0x9d, 0x27, 0x7a, 0x1f, 0x3b, 0x64, 0xc0, 0xd5}};

namespace {

constexpr DISPID kRunMacro = 16;
constexpr DISPID kEnteredCall = 8;
constexpr DISPID kFrequency = 2;

// The value of a macro "<NAME:value>", or nullptr when `macro` is not one of NAME.
const wchar_t* MacroValue(const std::wstring& macro, const wchar_t* name) {
  const size_t n = std::wcslen(name);
  if (macro.size() < n + 3 || macro.front() != L'<' || macro.back() != L'>') return nullptr;
  if (macro.compare(1, n, name) != 0 || macro[n + 1] != L':') return nullptr;
  return macro.c_str() + n + 2;
}

// A phase-shift mode is named by its rate ("<MODE:BPSK31>" at "<BAUDRATE:63>" is BPSK63); any other mode by
// its own text.
std::string PairMode(const std::wstring& mode, const std::wstring& baud) {
  std::string name;
  for (wchar_t c : mode) name += c < 128 ? static_cast<char>(c) : '?';
  if (name.size() > 3 && name.compare(1, 3, "PSK") == 0) {
    name.resize(4);
    for (wchar_t c : baud) {
      if (c < L'0' || c > L'9') break;
      name += static_cast<char>(c);
    }
  }
  return name;
}

}  // namespace

void HostObject::SetEnteredCall(const std::wstring& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  enteredCall_ = call;
}

void HostObject::SetEnteredCallAnsi(const std::string& call) {
  std::wstring wide;
  if (!call.empty()) {
    const int length = static_cast<int>(call.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, call.data(), length, nullptr, 0);
    wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, call.data(), length, &wide[0], n);
  }
  SetEnteredCall(wide);
}

void HostObject::SetFrequency(double hz) {
  std::lock_guard<std::mutex> lock(mutex_);
  frequency_ = hz;
}

void HostObject::SetAnswer(Answer answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answer_ = answer;
}

void HostObject::SetDelay(DWORD ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  delay_ = ms;
}

std::string HostObject::mode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return mode_;
}

void HostObject::WatchMode(HWND window, UINT message) {
  std::lock_guard<std::mutex> lock(mutex_);
  modeWindow_ = window;
  modeMessage_ = message;
}

void HostObject::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  macros_.clear();
  callReads_ = frequencyReads_ = attaches_ = 0;
}

std::vector<std::wstring> HostObject::macros() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return macros_;
}

int HostObject::callReads() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return callReads_;
}

int HostObject::frequencyReads() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return frequencyReads_;
}

bool HostObject::attached() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return attaches_ > 0;
}

bool HostObject::Publish() {
  return SUCCEEDED(RegisterActiveObject(this, kHostClsid, ACTIVEOBJECT_STRONG, &cookie_));
}

void HostObject::Withdraw() {
  if (cookie_) RevokeActiveObject(cookie_, nullptr);
  cookie_ = 0;
  CoDisconnectObject(this, 0);
}

HRESULT STDMETHODCALLTYPE HostObject::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (riid == IID_IDispatch) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++attaches_;
  }
  if (riid == IID_IUnknown || riid == IID_IDispatch) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE HostObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
ULONG STDMETHODCALLTYPE HostObject::Release() { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }

HRESULT STDMETHODCALLTYPE HostObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE HostObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE HostObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  (void)names;
  return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE HostObject::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                             VARIANT* result, EXCEPINFO* exception, UINT* badArg) {
  DWORD delay;
  Answer answer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    delay = delay_;
    answer = answer_;
  }
  if (delay) Sleep(delay);
  const UINT argCount = params ? params->cArgs : 0;
  switch (member) {
    case kRunMacro: {
      if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
      if (argCount != 1) return DISP_E_BADPARAMCOUNT;
      if (params->rgvarg[0].vt != VT_BSTR) {
        if (badArg) *badArg = 0;
        return DISP_E_TYPEMISMATCH;
      }
      const BSTR text = params->rgvarg[0].bstrVal;
      std::lock_guard<std::mutex> lock(mutex_);
      macros_.emplace_back(text ? text : L"", text ? SysStringLen(text) : 0);
      const std::wstring& macro = macros_.back();
      if (const wchar_t* mode = MacroValue(macro, L"MODE")) {
        pairMode_ = mode;
        pairMode_.pop_back();  // the closing '>'
      } else if (const wchar_t* baud = MacroValue(macro, L"BAUDRATE")) {
        if (!pairMode_.empty()) {
          const std::string before = mode_;
          mode_ = PairMode(pairMode_, baud);
          pairMode_.clear();
          if (mode_ != before && modeWindow_) PostMessageW(modeWindow_, modeMessage_, 0, 0);
        }
      }
      return S_OK;
    }
    case kEnteredCall:
    case kFrequency: {
      const bool isCall = member == kEnteredCall;
      if (isCall && (!(flags & DISPATCH_METHOD) || argCount != 1)) return DISP_E_BADPARAMCOUNT;
      if (!isCall && !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
      std::wstring call;
      double hz;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++(isCall ? callReads_ : frequencyReads_);
        call = enteredCall_;
        hz = frequency_;
      }
      if (answer == Answer::kError) return E_FAIL;
      if (answer == Answer::kException) {
        if (exception) {
          std::memset(exception, 0, sizeof *exception);
          exception->bstrSource = SysAllocString(L"Tarq");
          exception->bstrDescription = SysAllocString(L"no field 5 here");
          exception->scode = E_INVALIDARG;
        }
        return DISP_E_EXCEPTION;
      }
      if (!result) return S_OK;
      VariantInit(result);
      if (answer == Answer::kEmpty) return S_OK;
      if (answer == Answer::kWrongType) {
        // A number where a text belongs, and a text where the number belongs.
        if (isCall) {
          result->vt = VT_I4;
          result->lVal = 5;
        } else {
          result->vt = VT_BSTR;
          result->bstrVal = SysAllocString(L"3585000");
        }
        return S_OK;
      }
      if (isCall) {
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(call.data(), static_cast<UINT>(call.size()));
      } else {
        result->vt = VT_R8;
        result->dblVal = hz;
      }
      return S_OK;
    }
    default: return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace host
