#include "ui/automation_win32.h"

#include <oleauto.h>

#include <cmath>

#include "ui/window_text_win32.h"

namespace zorvant {
namespace {

// The host has gone away under a link that still holds its proxy: nothing it answers can come any more.
bool HostGone(HRESULT hr) {
  return hr == RPC_E_DISCONNECTED || hr == CO_E_OBJNOTCONNECTED || hr == RPC_E_SERVER_DIED ||
         hr == RPC_E_SERVER_DIED_DNE || hr == static_cast<HRESULT>(0x800706BA) /*RPC server unavailable*/;
}

}  // namespace

void HostAutomation::Attach() {
  Release();
  CLSID host = {};
  // A host that never registered its class simply has no running object to find below.
  CLSIDFromProgID(kHostProgId, &host);
  if (!comInitialised_) {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE: already initialised here, which still needs its own CoUninitialize.
    comInitialised_ = SUCCEEDED(init);
  }
  IUnknown* running = nullptr;
  if (SUCCEEDED(GetActiveObject(host, /*pvReserved=*/nullptr, &running)) && running) {
    IDispatch* dispatch = nullptr;
    if (SUCCEEDED(running->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
      dispatch_ = dispatch;
    }
    running->Release();
  }
}

void HostAutomation::Release() {
  if (dispatch_) dispatch_->Release();
  dispatch_ = nullptr;
}

void HostAutomation::Detach() {
  Release();
  if (comInitialised_) CoUninitialize();
  comInitialised_ = false;
}

bool HostAutomation::Call(DISPID member, WORD kind, VARIANT* args, UINT argCount, VARIANT* result) {
  if (result) VariantInit(result);
  if (!dispatch_) return false;
  DISPPARAMS params = {args, nullptr, argCount, 0};
  EXCEPINFO exception = {};
  UINT badArg = 0;
  const HRESULT hr =
      dispatch_->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, &exception, &badArg);
  if (hr == DISP_E_EXCEPTION) {
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
  }
  if (FAILED(hr)) {
    if (result) VariantClear(result);
    // A proxy to a host that has gone answers nothing any more; stop asking it.
    if (HostGone(hr)) Release();
    return false;
  }
  return true;
}

void HostAutomation::SendMacro(const std::string& text) {
  if (!dispatch_) return;
  const std::wstring wide = Widen(text, CP_THREAD_ACP);
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_BSTR;
  arg.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!arg.bstrVal) return;
  Call(kDispRunMacro, DISPATCH_METHOD, &arg, 1, nullptr);
  VariantClear(&arg);
}

std::string HostAutomation::EnteredCall() {
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_I4;
  arg.lVal = kEnteredCallField;
  VARIANT result;
  if (!Call(kDispEnteredCall, DISPATCH_METHOD, &arg, 1, &result)) return {};
  // Only a text is a callsign; anything else the host hands back reads as nothing typed.
  std::string call;
  if (result.vt == VT_BSTR) call = Narrow(result.bstrVal, SysStringLen(result.bstrVal), CP_THREAD_ACP);
  VariantClear(&result);
  return call;
}

std::optional<double> HostAutomation::Frequency() {
  VARIANT result;
  if (!Call(kDispFrequency, DISPATCH_PROPERTYGET, nullptr, 0, &result)) return std::nullopt;
  std::optional<double> hz;
  // A frequency that is no finite number names no band and no move.
  if (result.vt == VT_R8 && std::isfinite(result.dblVal)) hz = result.dblVal;
  VariantClear(&result);
  return hz;
}

}  // namespace zorvant
