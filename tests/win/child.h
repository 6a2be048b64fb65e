// Loading Stats.dll the way the host does and calling it with the host's argument lists, for the Windows
// tests. Arguments the plug-in does not read are filled with recognisable junk, so that an argument list
// that is off by one slot reads junk where a real value should be.
#ifndef ZORVANT_TESTS_WIN_CHILD_H_
#define ZORVANT_TESTS_WIN_CHILD_H_

#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "host/host_abi.h"

inline constexpr char kChildFlag[] = "--child=";
// Plays one of the scripted host sessions in this process and returns its exit code.
int RunChild(const char* mode);

struct LoadedPlugin {
  HMODULE dll = nullptr;
  host::SetVersionFn setVersion = nullptr;
  host::GetNumberOfSetsFn getNumberOfSets = nullptr;
  host::GetSetNameFn getSetName = nullptr;
  host::GetExchgCountFn getExchgCount = nullptr;
  host::IsValidExchgFn isValidExchg = nullptr;
  host::SetupSetFn setupSet = nullptr;
  host::CheckCallFn checkCall = nullptr;
  host::QsoFn addData = nullptr;
  host::QsoFn removeData = nullptr;
  host::ResetStatsFn resetStats = nullptr;
  host::GetResultFn getResult = nullptr;

  bool Load();  // every function by its plain name
  void Unload();
};

std::string PluginPath();  // Stats.dll beside this executable

host::COleDateTime MakeDate(int year, int month, int day, int hour, int minute);

struct Qso {
  std::string own = "MYCALL";
  std::string call = "HISCALL";
  host::COleDateTime time = MakeDate(2017, 3, 5, 14, 32);
  unsigned freqHz = 3585000;
  std::string mode = "RTTY";
  std::string rstSent = "599", rstRcvd = "599";
  std::string exchSent = "001", exchRcvd = "017";
  std::string prefix = "UA3", country = "UA";
  std::string hostText;
  std::string band = "80m";
};

int CallAdd(const LoadedPlugin& p, const Qso& q);
int CallRemove(const LoadedPlugin& p, const Qso& q);
int CallReset(const LoadedPlugin& p, host::COleDateTime start, const char* ownCountry = "DL",
              const char* iniFolder = "", int exportFlag = 0);
int CallCheck(const LoadedPlugin& p, const char* call, const char* mode, const char* prefix,
              const char* country, const char* band, const char* band2);

// The Setup window of the contest year, waiting up to `ms` for it to appear; null if it does not.
HWND WaitForSetupWindow(const char* year, DWORD ms);
// Waits up to `ms` until no window has this title.
bool WaitForWindowGone(const char* title, DWORD ms);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Makes a fresh folder the current one for the life of the object.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

// A test in a fresh current folder that holds the host's Plugins folder, with the plug-in loaded as the host
// loads it. Derived fixtures that override TearDown call this one's last.
class PluginFolderTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override { plugin_.Unload(); }
  // "Start" = 1 in the plug-in's settings keeps an ordinary reset from opening the Setup window.
  void KeepSetupWindowShut();

  TempFolder folder_;
  std::string ini_;  // the plug-in's settings file
  LoadedPlugin plugin_;
};

#endif  // ZORVANT_TESTS_WIN_CHILD_H_
