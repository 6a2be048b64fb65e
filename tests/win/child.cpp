#include "tests/win/child.h"

#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "host/stand_in_operator.h"
#include "tests/win/host_thread.h"

namespace {

const char* const kJunk[] = {"j0", "j1", "j2", "j3", "j4", "j5", "j6", "j7", "j8", "j9", "j10", "j11"};
const int kJunkInt = static_cast<int>(0xdeadbeef);
const double kJunkDouble = -1.25e300;
host::COleDateTime g_junkDate{-99999.0, 1};

template <typename T>
bool Resolve(HMODULE dll, const char* name, T* out) {
  *out = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  return *out != nullptr;
}

}  // namespace

std::string PluginPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p = path;
  return p.substr(0, p.find_last_of("\\/") + 1) + "Stats.dll";
}

bool LoadedPlugin::Load() {
  dll = LoadLibraryA(PluginPath().c_str());
  if (!dll) return false;
  return Resolve(dll, "setVersion", &setVersion) && Resolve(dll, "GetNumberOfSets", &getNumberOfSets) &&
         Resolve(dll, "GetSetName", &getSetName) && Resolve(dll, "GetExchgCount0", &getExchgCount) &&
         Resolve(dll, "IsValidExchg0", &isValidExchg) && Resolve(dll, "SetupSet0", &setupSet) &&
         Resolve(dll, "CheckCall0", &checkCall) && Resolve(dll, "AddData0", &addData) &&
         Resolve(dll, "RemoveData0", &removeData) && Resolve(dll, "ResetStats0", &resetStats) &&
         Resolve(dll, "GetResult0", &getResult);
}

void LoadedPlugin::Unload() {
  if (dll) FreeLibrary(dll);
  dll = nullptr;
}

host::COleDateTime MakeDate(int year, int month, int day, int hour, int minute) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wHour = static_cast<WORD>(hour);
  st.wMinute = static_cast<WORD>(minute);
  double value = 0;
  SystemTimeToVariantTime(&st, &value);
  return host::COleDateTime{value, 0};
}

namespace {

template <typename Fn>
int CallQso(Fn fn, const Qso& q) {
  host::COleDateTime time = q.time;
  const char* const* j = kJunk;
  return fn(q.own.c_str(), q.call.c_str(), &time, &g_junkDate, &g_junkDate, &g_junkDate, 0xdeadbeefu,
            q.freqHz, q.mode.c_str(), q.rstSent.c_str(), q.rstRcvd.c_str(), q.exchSent.c_str(),
            q.exchRcvd.c_str(), j[0], j[1], j[2], j[3], j[4], j[5], j[6], j[7], q.prefix.c_str(),
            q.country.c_str(), kJunkInt, kJunkInt, kJunkInt, kJunkDouble, kJunkDouble, j[8],
            q.hostText.c_str(), j[9], q.band.c_str(), j[10]);
}

}  // namespace

int CallAdd(const LoadedPlugin& p, const Qso& q) { return CallQso(p.addData, q); }
int CallRemove(const LoadedPlugin& p, const Qso& q) { return CallQso(p.removeData, q); }

int CallReset(const LoadedPlugin& p, host::COleDateTime start, const char* ownCountry, const char* iniFolder,
              int exportFlag) {
  host::COleDateTime end{start.m_dt + 4.0 / 24, 0};
  const char* const* j = kJunk;
  return p.resetStats(iniFolder, exportFlag, "MYCALL", &start, &end, j[0], j[1], j[2], j[3], j[4], j[5], j[6],
                      j[7], j[8], ownCountry, kJunkInt, kJunkInt, kJunkInt, kJunkDouble, kJunkDouble, j[9],
                      j[10], j[11]);
}

int CallCheck(const LoadedPlugin& p, const char* call, const char* mode, const char* prefix,
              const char* country, const char* band, const char* band2) {
  char out1[64] = "sentinel1", out2[64] = "sentinel2";
  const char* const* j = kJunk;
  const int result = p.checkCall(call, 0xdeadbeefu, 0xdeadbeefu, mode, j[0], j[1], j[2], j[3], j[4], j[5],
                                 j[6], j[7], prefix, country, kJunkInt, kJunkInt, kJunkInt, kJunkDouble,
                                 kJunkDouble, j[8], j[9], j[10], j[11], j[0], band, band2, out1, out2);
  // The output buffers are the host's and are never written.
  if (std::strcmp(out1, "sentinel1") != 0 || std::strcmp(out2, "sentinel2") != 0) return -1;
  return result;
}

HWND WaitForSetupWindow(const char* year, DWORD ms) {
  const std::string title = std::string("Setup ZORVANT ") + year;
  ms = host::Scaled(ms);
  for (DWORD waited = 0;; waited += 20) {
    HWND w = FindWindowA(nullptr, title.c_str());
    if (w || waited >= ms) return w;
    Sleep(20);
  }
}

bool WaitForWindowGone(const char* title, DWORD ms) {
  ms = host::Scaled(ms);
  for (DWORD waited = 0;; waited += 20) {
    if (!FindWindowA(nullptr, title)) return true;
    if (waited >= ms) return false;
    Sleep(20);
  }
}

std::string ReadFileBytes(const std::string& path) {
  std::string out;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

TempFolder::TempFolder() {
  char base[MAX_PATH], name[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  GetTempFileNameA(base, "zv", 0, name);  // creates a file; a folder takes its unique name
  DeleteFileA(name);
  CreateDirectoryA(name, nullptr);
  path_ = name;
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  previous_ = cwd;
  SetCurrentDirectoryA(path_.c_str());
}

TempFolder::~TempFolder() {
  SetCurrentDirectoryA(previous_.c_str());
  // Best effort: the few files a test leaves, then the folder.
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string full = path_ + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteFileA((full + "\\ZORVANT.ini").c_str());
        RemoveDirectoryA(full.c_str());
      } else {
        DeleteFileA(full.c_str());
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(path_.c_str());
}

// --- Scripted host sessions that end their own process.

// Shows the Setup window for a picture: placed at (20, 20), the contest started an hour ago so that the
// first lamp is lit, the host's object answering. English, or Russian for a home-area station.
int ShowSetupWindow(bool russian) {
  TempFolder folder;
  CreateDirectoryA("Plugins", nullptr);
  const std::string ini = folder.path() + "\\Plugins\\ZORVANT.ini";
  WritePrivateProfileStringA("Settings", "setup_x", "20", ini.c_str());
  WritePrivateProfileStringA("Settings", "setup_y", "20", ini.c_str());
  WritePrivateProfileStringA("Settings", "Mode", "BPSK63", ini.c_str());
  HostThread host(/*publish=*/true);
  LoadedPlugin p;
  if (!p.Load()) return 10;
  SYSTEMTIME now;
  GetSystemTime(&now);
  const int hour = now.wHour > 0 ? now.wHour - 1 : 0;
  host.Run([&] { CallReset(p, MakeDate(now.wYear, now.wMonth, now.wDay, hour, 0), russian ? "UA" : "DL"); })
      .wait();
  Sleep(6000);  // long enough for the picture
  host.Run([&] { p.Unload(); }).wait();
  return 0;
}

// The stand-in's interactive window beside the plug-in's windows, for a picture
// (tests/win/interactive_test.cpp).
int ShowInteractiveSession();

// The Setup and Prefix windows checked from inside at the screen's DPI (tests/win/dpi_test.cpp):
// "layout-english-144", "layout-russian-96".
int CheckLayoutAtDpi(const char* mode);

// Holds the settings lock while running flat out for longer than a wait, as a live writer on a loaded machine
// may (tests/win/settings_lock_test.cpp).
int HoldSettingsLockAtWork();

int RunChild(const char* mode) {
  if (std::strncmp(mode, "layout-", 7) == 0) return CheckLayoutAtDpi(mode);
  if (std::strcmp(mode, "settings-lock-at-work") == 0) return HoldSettingsLockAtWork();
  if (std::strcmp(mode, "show-setup") == 0) return ShowSetupWindow(/*russian=*/false);
  if (std::strcmp(mode, "interactive-session") == 0) return ShowInteractiveSession();
  if (std::strcmp(mode, "show-setup-russian") == 0) return ShowSetupWindow(/*russian=*/true);
  TempFolder folder;
  LoadedPlugin p;
  if (!p.Load()) return 10;
  CallReset(p, MakeDate(2017, 3, 5, 14, 0));
  const bool immediate = std::strcmp(mode, "free-at-once") == 0;
  if (!immediate && !WaitForSetupWindow("2017", 10000)) return 11;
  if (std::strcmp(mode, "exit-with-window") == 0) {
    ExitProcess(0);  // the host quits with the Setup window open
  }
  if (std::strcmp(mode, "return-with-window") == 0) {
    return 0;  // leaves through the C runtime's exit
  }
  if (std::strcmp(mode, "free-with-window") == 0 || immediate) {
    // The host lets go of the library while the Setup window is open (or still opening).
    p.Unload();
    HWND window = WaitForSetupWindow("2017", 10000);
    if (!window) return 12;
    // The library stays loaded for the window, which still works, until the window ends ...
    if (!GetModuleHandleA("Stats.dll")) return 13;
    HANDLE thread =
        OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, GetWindowThreadProcessId(window, nullptr));
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    DWORD code = 99;
    if (WaitForSingleObject(thread, 10000) != WAIT_OBJECT_0 || !GetExitCodeThread(thread, &code) ||
        code != 0) {
      return 14;
    }
    // ... and then unloads itself.
    if (GetModuleHandleA("Stats.dll")) return 15;
    if (!p.Load() || p.getNumberOfSets() != 1) return 16;
    p.Unload();
    return 0;
  }
  return 20;
}

void PluginFolderTest::SetUp() {
  CreateDirectoryA("Plugins", nullptr);
  ini_ = folder_.path() + "\\Plugins\\ZORVANT.ini";
  ASSERT_TRUE(plugin_.Load());
}

void PluginFolderTest::KeepSetupWindowShut() {
  WritePrivateProfileStringA("Settings", "Start", "1", ini_.c_str());
}
