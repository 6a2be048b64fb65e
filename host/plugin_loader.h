// Loads the plug-in the way the host does: LoadLibrary, then GetProcAddress of every name the host may ask
// for. Windows only.
#ifndef ZORVANT_HOST_PLUGIN_LOADER_H_
#define ZORVANT_HOST_PLUGIN_LOADER_H_

#include <windows.h>

#include <string>
#include <vector>

#include "host/host_abi.h"

namespace host {

class PluginLoader {
 public:
  PluginLoader() = default;
  ~PluginLoader() { Unload(); }
  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;

  // Loads the library and resolves every name of kExportNames. False when the library does not load
  // (error() says why); a library that loads with names missing still returns true: see missing().
  bool Load(const std::string& path);
  // FreeLibrary, which runs the plug-in's unload work on this thread. Every function pointer is cleared.
  void Unload();

  bool loaded() const { return module_ != nullptr; }
  // True when every name resolved and each decorated name leads to the same function as its plain name.
  bool complete() const { return loaded() && missing_.empty() && mismatched_.empty(); }
  int resolved() const { return resolved_; }
  const std::vector<std::string>& missing() const { return missing_; }
  // Names found at another address than their plain name.
  const std::vector<std::string>& mismatched() const { return mismatched_; }
  const std::string& error() const { return error_; }

  // From the first of an export's names that resolved (the plain name, when the library has it); null when
  // none did.
  SetVersionFn setVersion = nullptr;
  GetNumberOfSetsFn GetNumberOfSets = nullptr;
  GetSetNameFn GetSetName = nullptr;
  GetExchgCountFn GetExchgCount0 = nullptr;
  IsValidExchgFn IsValidExchg0 = nullptr;
  SetupSetFn SetupSet0 = nullptr;
  CheckCallFn CheckCall0 = nullptr;
  QsoFn AddData0 = nullptr;
  QsoFn RemoveData0 = nullptr;
  ResetStatsFn ResetStats0 = nullptr;
  GetResultFn GetResult0 = nullptr;

 private:
  void ClearPointers();

  HMODULE module_ = nullptr;
  int resolved_ = 0;
  std::vector<std::string> missing_;
  std::vector<std::string> mismatched_;
  std::string error_;
};

}  // namespace host

#endif  // ZORVANT_HOST_PLUGIN_LOADER_H_
