// Another program holding the settings lock, with the plug-in called through its exports as the host calls it:
// a hung holder is waited for once a pass at most, and the export says so; a live one still at work is waited
// for, and the settings are saved.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/contest.h"
#include "engine/settings_store.h"
#include "gtest/gtest.h"
#include "host/stand_in_operator.h"
#include "resources/resource.h"
#include "tests/win/child.h"

namespace {

using Clock = std::chrono::steady_clock;

class HungSettingsLock : public PluginFolderTest {
 protected:
  void SetUp() override {
    PluginFolderTest::SetUp();
    WritePrivateProfileStringA("Settings", "Name", "Ivan", ini_.c_str());
    KeepSetupWindowShut();  // not under test here
    // Opened as the plug-in's lock is, shared with nobody, and never closed while the test runs.
    hung_ = CreateFileA((ini_ + ".lock").c_str(), GENERIC_READ | GENERIC_WRITE, /*dwShareMode=*/0,
                        /*lpSecurityAttributes=*/nullptr, OPEN_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE,
                        /*hTemplateFile=*/nullptr);
    ASSERT_NE(hung_, INVALID_HANDLE_VALUE);
  }
  void TearDown() override {
    if (hung_ != INVALID_HANDLE_VALUE) CloseHandle(hung_);
    PluginFolderTest::TearDown();
  }
  std::string Setting(const char* key) {
    char buf[64] = {};
    GetPrivateProfileStringA("Settings", key, "(missing)", buf, sizeof buf, ini_.c_str());
    return buf;
  }

  HANDLE hung_ = INVALID_HANDLE_VALUE;
};

TEST_F(HungSettingsLock, TheExportPassAndTheReportReturnAndTheExportSaysWhy) {
  const auto start = Clock::now();
  {
    host::Operator header("ZORVANT", [](HWND dialog) { SetDlgItemTextA(dialog, IDC_CAB_NAME, "Petr"); });
    ASSERT_EQ(CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0), "UA", "", /*exportFlag=*/1), 1);
    ASSERT_TRUE(header.Answered());
  }
  Qso q;
  ASSERT_EQ(CallAdd(plugin_, q), 1);
  host::Operator output("Output");
  int status = 0;
  ASSERT_NE(plugin_.getResult(&status), nullptr);
  ASSERT_TRUE(output.Answered());
  const auto exportTook = Clock::now() - start;
  EXPECT_EQ(output.message(),
            "File produced: MYCALL.cbr\nCould not write file: "
            "Plugins\\ZORVANT.ini\nPlugins\\ZORVANT.ini.lock was held "
            "by another program for 250 ms: the settings were not saved");
  EXPECT_NE(ReadFileBytes("MYCALL.cbr").find("\r\nNAME: Petr\r\n"), std::string::npos);
  EXPECT_EQ(Setting("Name"), "Ivan");

  // The host's rescan after the export: an ordinary reset, the contacts again, the report after each.
  const auto rescan = Clock::now();
  ASSERT_EQ(CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0)), 1);
  const auto reportStart = Clock::now();
  ASSERT_EQ(CallAdd(plugin_, q), 1);
  ASSERT_NE(plugin_.getResult(&status), nullptr);
  const auto reportTook = Clock::now() - reportStart;
  const auto rescanTook = Clock::now() - rescan;

  // A hang, not a benchmark: the plug-in used to wait 10 s for every key, 140 s in the export pass alone, and
  // 10 s in every report. Now the lock is waited for a quarter of a second once a pass, and the rest is the
  // work (under an emulated processor, the dialog and the box take seconds).
  using std::chrono::seconds;
  EXPECT_LT(exportTook, seconds(host::Scaled(15000) / 1000));
  EXPECT_LT(rescanTook, seconds(host::Scaled(3000) / 1000));
  EXPECT_LT(reportTook, seconds(host::Scaled(2000) / 1000));
}

// The holder's side, run as a child process in the test's folder.
const char kHolding[] = "Plugins\\holding";

TEST(SettingsLockAtWork, ALiveHolderPastTheWaitIsWaitedForAndTheSettingsAreSaved) {
  TempFolder folder;
  CreateDirectoryA("Plugins", nullptr);
  const std::string ini = folder.path() + "\\Plugins\\ZORVANT.ini";
  WritePrivateProfileStringA("Settings", "Name", "Ivan", ini.c_str());
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string command = std::string("\"") + exe + "\" " + kChildFlag + "settings-lock-at-work";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  // A process takes seconds to start under an emulated processor.
  const auto until = Clock::now() + std::chrono::milliseconds(host::Scaled(30000));
  while (GetFileAttributesA(kHolding) == INVALID_FILE_ATTRIBUTES && Clock::now() < until) Sleep(10);
  ASSERT_NE(GetFileAttributesA(kHolding), INVALID_FILE_ATTRIBUTES);

  zorvant::SettingsStore settings(zorvant::SystemPlatform(), zorvant::kSettingsFile, zorvant::kSettingsSection);
  EXPECT_EQ(settings.Write({{"Name", "Petr"}}), zorvant::SettingsError::kNone);
  EXPECT_EQ(settings.problems(), std::vector<std::string>{});
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(code, 0u);
  char name[64] = {};
  GetPrivateProfileStringA("Settings", "Name", "", name, sizeof name, ini.c_str());
  EXPECT_STREQ(name, "Petr");
}

// Whether any waiter sits on a seat of the lock file: the bytes past the lock byte are the waiters' seats,
// which every version of the plug-in that waits its turn takes. Looked at as the plug-in looks, a seat at a
// time and shared, so that the look never keeps the waiter from its seat.
bool SomeoneIsSeated(const std::string& lockFile) {
  HANDLE file = CreateFileA(lockFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool seated = false;
  for (DWORD seat = 0; seat < 14 && !seated; ++seat) {
    OVERLAPPED at = {};
    at.Offset = 0x7FFFFFF1 + seat;
    if (LockFileEx(file, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      UnlockFileEx(file, 0, 1, 0, &at);
    } else {
      seated = true;
    }
  }
  CloseHandle(file);
  return seated;
}

// A writer that lets the lock go and comes straight back for it, as one export pass after another does, must
// not take it before the writer that was waiting: under Wine a waiter lost that race for seconds, and its
// settings were "not saved".
TEST(SettingsLockTurns, WhoComesBackForTheLockWaitsBehindWhoWasWaiting) {
  TempFolder folder;
  zorvant::Platform& platform = zorvant::SystemPlatform();
  const std::string lockFile = platform.FullPath("turns.ini.lock");
  zorvant::LockFailure why;
  std::unique_ptr<zorvant::Platform::Lock> held = platform.TakeLock(lockFile, std::chrono::milliseconds(0), &why);
  ASSERT_NE(held, nullptr);
  bool waiterGotIt = false;
  std::atomic<bool> tried{false};
  std::thread waiter([&] {
    zorvant::LockFailure waited;
    const std::unique_ptr<zorvant::Platform::Lock> lock =
        platform.TakeLock(lockFile, std::chrono::milliseconds(host::Scaled(5000)), &waited);
    waiterGotIt = lock != nullptr;
    // Held until the other has tried: let go at once, the lock would be free for it by right.
    while (!tried) Sleep(1);
  });
  const auto until = Clock::now() + std::chrono::milliseconds(host::Scaled(5000));
  while (!SomeoneIsSeated(lockFile) && Clock::now() < until) Sleep(1);
  EXPECT_TRUE(SomeoneIsSeated(lockFile)) << "the waiter never took a seat";

  held.reset();
  const std::unique_ptr<zorvant::Platform::Lock> cameBack =
      platform.TakeLock(lockFile, std::chrono::milliseconds(0), &why);
  EXPECT_EQ(cameBack, nullptr) << "taken from under the waiter";
  tried = true;
  waiter.join();
  EXPECT_TRUE(waiterGotIt);
}

}  // namespace

int HoldSettingsLockAtWork() {
  zorvant::Platform& platform = zorvant::SystemPlatform();
  zorvant::LockFailure why;
  const std::unique_ptr<zorvant::Platform::Lock> lock =
      platform.TakeLock(platform.FullPath(zorvant::kSettingsFile) + ".lock", std::chrono::milliseconds(0), &why);
  if (!lock) return 1;
  WriteFileBytes(kHolding, "");
  const auto until = Clock::now() + 3 * zorvant::SettingsStore::kLockWait;
  while (Clock::now() < until) {
  }
  return 0;
}
