#include "host/plugin_loader.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace host {
namespace {

std::string Win32Message(DWORD code) {
  char text[512] = "";
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                 text, sizeof text, nullptr);
  std::string message(text, n);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  char number[32];
  std::snprintf(number, sizeof number, "error %lu", static_cast<unsigned long>(code));
  return message.empty() ? number : std::string(number) + ": " + message;
}

// GetProcAddress hands back a generic FARPROC; the host casts it to the export's own type.
template <typename Fn>
Fn As(FARPROC proc) {
  Fn fn;
  static_assert(sizeof fn == sizeof proc, "function pointer sizes");
  std::memcpy(&fn, &proc, sizeof fn);
  return fn;
}

}  // namespace

bool PluginLoader::Load(const std::string& path) {
  Unload();
  error_.clear();
  module_ = LoadLibraryA(path.c_str());
  if (!module_) {
    error_ = Win32Message(GetLastError());
    return false;
  }
  std::map<std::string, FARPROC> by_plain;
  for (const ExportName& name : kExportNames) {
    const FARPROC proc = GetProcAddress(module_, name.name);
    if (!proc) {
      missing_.push_back(name.name);
      continue;
    }
    ++resolved_;
    const auto seen = by_plain.emplace(name.plain, proc);
    if (!seen.second && seen.first->second != proc) mismatched_.push_back(name.name);
  }
  auto plain = [&](const char* name) {
    const auto found = by_plain.find(name);
    return found == by_plain.end() ? nullptr : found->second;
  };
  setVersion = As<SetVersionFn>(plain("setVersion"));
  GetNumberOfSets = As<GetNumberOfSetsFn>(plain("GetNumberOfSets"));
  GetSetName = As<GetSetNameFn>(plain("GetSetName"));
  GetExchgCount0 = As<GetExchgCountFn>(plain("GetExchgCount0"));
  IsValidExchg0 = As<IsValidExchgFn>(plain("IsValidExchg0"));
  SetupSet0 = As<SetupSetFn>(plain("SetupSet0"));
  CheckCall0 = As<CheckCallFn>(plain("CheckCall0"));
  AddData0 = As<QsoFn>(plain("AddData0"));
  RemoveData0 = As<QsoFn>(plain("RemoveData0"));
  ResetStats0 = As<ResetStatsFn>(plain("ResetStats0"));
  GetResult0 = As<GetResultFn>(plain("GetResult0"));
  return true;
}

void PluginLoader::Unload() {
  ClearPointers();
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
  resolved_ = 0;
  missing_.clear();
  mismatched_.clear();
}

void PluginLoader::ClearPointers() {
  setVersion = nullptr;
  GetNumberOfSets = nullptr;
  GetSetName = nullptr;
  GetExchgCount0 = nullptr;
  IsValidExchg0 = nullptr;
  SetupSet0 = nullptr;
  CheckCall0 = nullptr;
  AddData0 = nullptr;
  RemoveData0 = nullptr;
  ResetStats0 = nullptr;
  GetResult0 = nullptr;
}

}  // namespace host
