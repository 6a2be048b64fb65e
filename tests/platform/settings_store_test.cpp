// The settings store and the file calls under it, against whichever platform this binary links: natively the
// POSIX one, under Wine the Win32 one. What the host's thread and the Setup thread do to the settings file at
// once, and what a reader beside a rewrite sees.
#include "engine/settings_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/contest.h"
#include "engine/export_state.h"
#include "platform/platform.h"
#include "platform/whole_file.h"
#include "tests/platform/fresh_folder.h"
#include "ui/setup_logic.h"

namespace zorvant {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

using testing::WriteBytes;

// The system's file calls, with a count of the swaps refused and a record of how long each lock was waited
// for.
class Watched : public Platform {
 public:
  explicit Watched(Platform& inner) : inner_(inner) {}

  std::atomic<int> refusedSwaps{0};
  std::vector<milliseconds> lockWaits;  // one thread only

  std::string FullPath(const std::string& path) override { return inner_.FullPath(path); }
  std::FILE* OpenShared(const std::string& path, const char* mode) override {
    return inner_.OpenShared(path, mode);
  }
  bool FileExists(const std::string& path) override { return inner_.FileExists(path); }
  FileFacts Inspect(const std::string& path) override { return inner_.Inspect(path); }
  bool ReplaceFile(const std::string& from, const std::string& to) override {
    const bool swapped = inner_.ReplaceFile(from, to);
    refusedSwaps += !swapped;
    return swapped;
  }
  bool ResizeFile(const std::string& path, std::uint64_t size) override {
    return inner_.ResizeFile(path, size);
  }
  bool RemoveFile(const std::string& path) override { return inner_.RemoveFile(path); }
  std::unique_ptr<Lock> TakeLock(const std::string& path, milliseconds wait, LockFailure* why) override {
    lockWaits.push_back(wait);
    return inner_.TakeLock(path, wait, why);
  }
  std::unique_ptr<Lock> TakeFileLock(const std::string& path, milliseconds wait, LockFailure* why) override {
    return inner_.TakeFileLock(path, wait, why);
  }
  std::string FindFirstMatch(const std::string& pattern,
                             const std::function<bool(const std::string&)>& visit) override {
    return inner_.FindFirstMatch(pattern, visit);
  }
  std::uint32_t ProcessId() override { return inner_.ProcessId(); }
  bool ProcessRunning(std::uint32_t pid) override { return inner_.ProcessRunning(pid); }
  int UtcHour() override { return inner_.UtcHour(); }
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
    inner_.ShowMessage(text, caption, icon);
  }

 private:
  Platform& inner_;
};

// With a Plugins folder in the fresh folder, as the host's folder has.
class SettingsStoreTest : public testing::InFreshFolder {
 protected:
  void SetUp() override {
    InFreshFolder::SetUp();
    fs::create_directory("Plugins");
  }

  SettingsSnapshot Saved() {
    SettingsStore settings(platform_, kSettingsFile, kSettingsSection);
    return settings.Load();
  }

  Platform& platform_ = SystemPlatform();
};

TEST_F(SettingsStoreTest, AnExportBesideADraggedWindowLosesNoField) {
  // The host's thread saves the Cabrillo header at every export while the Setup thread saves the corner of
  // a window being dragged, as it does on each mouse move.
  WriteBytes("Plugins/ZORVANT.ini",
             "[Settings]\r\nName=Ivan\r\nAddress-City=Moscow\r\nEmail=ua3xyz@example.org\r\nsetup_x=100\r\n"
             "setup_y=100\r\n");
  std::atomic<bool> stop{false};
  WindowCorner dragged;
  std::thread setupThread([&] {
    SettingsStore settings(platform_, kSettingsFile, kSettingsSection);
    dragged = CornerSetting(settings.Load(), "setup_x", "setup_y");
    for (int x = 101; !stop; ++x) {
      SaveCorner(settings, dragged, x, 300 + x % 7, "setup_x", "setup_y");
      std::this_thread::sleep_for(milliseconds(1));
    }
  });

  constexpr int kRounds = 200;
  SettingsStore host(platform_, kSettingsFile, kSettingsSection);
  int lost = 0, told = 0;
  for (int round = 0; round < kRounds; ++round) {
    host.NewPass();
    const std::string name = "Ivan " + std::to_string(round);
    NoWindows shell([&](CabrilloFields& f) { f.name = name; });
    CabrilloExport out;
    ASSERT_EQ(EditCabrilloHeader(host, out, "UA3XYZ", shell), 1);
    const SettingsSnapshot saved = Saved();
    const bool whole = out.name == name && out.addressCity == "Moscow" && out.email == "ua3xyz@example.org" &&
                       saved.Get("Name", "") == name && saved.Get("Address-City", "") == "Moscow" &&
                       saved.Get("Email", "") == "ua3xyz@example.org";
    if (!whole) {
      ++lost;
      ADD_FAILURE() << "round " << round << ": Cabrillo " << out.name << "/" << out.addressCity << "/"
                    << out.email << ", settings " << saved.Get("Name", "?") << "/"
                    << saved.Get("Address-City", "?") << "/" << saved.Get("Email", "?");
    }
    told += !host.problems().empty() || out.headerNotSaved;
  }
  stop = true;
  setupThread.join();

  EXPECT_EQ(lost, 0) << "of " << kRounds;
  EXPECT_EQ(told, 0);
  const SettingsSnapshot saved = Saved();
  EXPECT_EQ(SettingInt(saved, "setup_x"), dragged.x) << "the corner the window was dragged to";
  EXPECT_EQ(SettingInt(saved, "setup_y"), dragged.y);
  EXPECT_GT(dragged.x, 101);
}

// Numbered lines, so that a text made of two of them is never one of them.
std::string Text(int n) {
  std::string text;
  for (int line = 0; line < 40; ++line)
    text += "version " + std::to_string(n) + " line " + std::to_string(line) + "\r\n";
  return text;
}

TEST_F(SettingsStoreTest, ARewriteBesideAReaderRefusesNoReadAndSeldomWritesInPlace) {
  // Another program (or another thread of this one) that reads the file every few milliseconds while the
  // plug-in rewrites it, as an editor or a virus scanner does.
  const std::string name = "UA3XYZ.cbr";
  WriteBytes(name, Text(0));
  constexpr int kRewrites = 300;
  std::atomic<bool> done{false};
  int reads = 0, refused = 0, mixed = 0;
  std::thread reader([&] {
    while (!done) {
      std::string text;
      if (!ReadWholeFile(platform_, name, &text)) {
        ++refused;
      } else {
        int n = 0;
        const bool one = std::sscanf(text.c_str(), "version %d", &n) == 1 && text == Text(n);
        mixed += !one;
      }
      ++reads;
      std::this_thread::sleep_for(milliseconds(1));
    }
  });
  Watched watched(platform_);
  int failed = 0;
  for (int n = 1; n <= kRewrites; ++n) failed += !RewriteFile(watched, name, Text(n));
  done = true;
  reader.join();

  EXPECT_EQ(failed, 0);
  EXPECT_EQ(refused, 0) << "of " << reads << " reads";
  EXPECT_EQ(mixed, 0) << "of " << reads << " reads";
  // Each refused swap is a rewrite in place.
  EXPECT_LE(watched.refusedSwaps, kRewrites / 20) << "of " << kRewrites << " rewrites";
  std::string last;
  ASSERT_TRUE(ReadWholeFile(platform_, name, &last));
  EXPECT_EQ(last, Text(kRewrites));
}

TEST_F(SettingsStoreTest, AHungLockCostsOneShortWaitAPass) {
  WriteBytes("Plugins/ZORVANT.ini", "[Settings]\r\nName=Ivan\r\nClaimed=10\r\n");
  // Another process's lock, taken past this process's turns as that process would take it, and kept.
  LockFailure why;
  std::unique_ptr<Platform::Lock> hung =
      platform_.TakeLock(platform_.FullPath(kSettingsFile) + ".lock", milliseconds(0), &why);
  ASSERT_TRUE(hung);

  Watched watched(platform_);
  SettingsStore settings(watched, kSettingsFile, kSettingsSection);
  // A read goes on without the lock: nothing is written on its strength.
  EXPECT_EQ(settings.Load().Get("Name", ""), "Ivan");
  EXPECT_EQ(settings.Write({{"Claimed", "20"}}), SettingsError::kBusy);
  EXPECT_EQ(settings.Write({{"Start", "0"}}), SettingsError::kBusy);
  EXPECT_EQ(watched.lockWaits,
            (std::vector<milliseconds>{SettingsStore::kLockWait, milliseconds(0), milliseconds(0)}))
      << "one wait a pass";
  EXPECT_EQ(settings.problems(),
            std::vector<std::string>{"Plugins\\ZORVANT.ini.lock was held by another program for 250 ms: the "
                                     "settings were not saved"});
  EXPECT_EQ(Saved().Get("Claimed", ""), "10");

  // The next pass waits again; once the holder lets go the lock is had, and waited for as ever.
  settings.NewPass();
  EXPECT_TRUE(settings.problems().empty());
  EXPECT_EQ(settings.Write({{"Claimed", "30"}}), SettingsError::kBusy);
  hung.reset();
  EXPECT_EQ(settings.Write({{"Claimed", "40"}}), SettingsError::kNone);
  EXPECT_EQ(settings.Write({{"Start", "1"}}), SettingsError::kNone);
  EXPECT_EQ(watched.lockWaits.back(), SettingsStore::kLockWait);
  EXPECT_EQ(Saved().Get("Claimed", ""), "40");
}

TEST_F(SettingsStoreTest, ALockThatIsNoFileIsToldAndNeverWaitedFor) {
  WriteBytes("Plugins/ZORVANT.ini", "[Settings]\r\nName=Ivan\r\n");
  fs::create_directory("Plugins/ZORVANT.ini.lock");  // what a careless tidy-up may leave
  SettingsStore settings(platform_, kSettingsFile, kSettingsSection);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(settings.Write({{"Name", "Petr"}}), SettingsError::kNotAFile);
  // Not waited on: the Win32 code took 10 s here, as if the folder were a holder that never let go.
  EXPECT_LT(std::chrono::steady_clock::now() - start, SettingsStore::kLockWait * Platform::kLockWaitRounds);
  EXPECT_EQ(Saved().Get("Name", ""), "Ivan");
  ASSERT_EQ(settings.problems().size(), 1u);
  EXPECT_NE(settings.problems()[0].find("a link, a folder or a device"), std::string::npos);
}

TEST_F(SettingsStoreTest, AFolderThatTakesNoNewFileStillTakesTheSettings) {
  // Every new file refused beside an ini that may be written: no lock file, no temporary, no undo file.
  struct NoNewFile : Watched {
    using Watched::Watched;
    std::FILE* OpenShared(const std::string& path, const char* mode) override {
      if (std::strchr(mode, 'x') || (!FileExists(path) && std::strpbrk(mode, "wa"))) return nullptr;
      return Watched::OpenShared(path, mode);
    }
    std::unique_ptr<Lock> TakeLock(const std::string&, milliseconds, LockFailure* why) override {
      *why = LockFailure::kUnavailable;
      return nullptr;
    }
  } noNewFile(platform_);
  WriteBytes("Plugins/ZORVANT.ini", "[Settings]\r\nName=Ivan\r\nStart=0\r\n");
  SettingsStore settings(noNewFile, kSettingsFile, kSettingsSection);
  EXPECT_EQ(settings.Write({{"Start", "1"}}), SettingsError::kNone);
  EXPECT_EQ(settings.Write({{"Name", "Petr Petrovich"}}), SettingsError::kNone);
  EXPECT_EQ(settings.problems(),
            std::vector<std::string>{"Plugins\\ZORVANT.ini: its folder takes no new file, so the settings were "
                                     "written over it in place, without a safety copy"});
  EXPECT_EQ(Saved().Get("Start", ""), "1");
  EXPECT_EQ(Saved().Get("Name", ""), "Petr Petrovich");

  // Another writer holding the ini itself is waited for as any holder is, and then reported.
  LockFailure why;
  const std::unique_ptr<Platform::Lock> held =
      platform_.TakeFileLock(platform_.FullPath(kSettingsFile), milliseconds(0), &why);
  ASSERT_TRUE(held);
  EXPECT_EQ(settings.Write({{"Name", "Ivan"}}), SettingsError::kBusy);
  EXPECT_EQ(settings.problems().back(),
            "Plugins\\ZORVANT.ini was held by another program for 250 ms: the settings were not saved");
  EXPECT_EQ(Saved().Get("Name", ""), "Petr Petrovich") << "read beside the lock";
}

TEST_F(SettingsStoreTest, AReadOnlyLockFileLeftBehindStillLocks) {
  const std::string lockName = platform_.FullPath(kSettingsFile) + ".lock";
  WriteBytes("Plugins/ZORVANT.ini.lock", "");
  fs::permissions("Plugins/ZORVANT.ini.lock",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  LockFailure why;
  std::unique_ptr<Platform::Lock> lock = platform_.TakeLock(lockName, SettingsStore::kLockWait, &why);
  ASSERT_TRUE(lock) << static_cast<int>(why);
  EXPECT_FALSE(platform_.TakeLock(lockName, milliseconds(0), &why)) << "still exclusive";
  EXPECT_EQ(why, LockFailure::kBusy);
  lock.reset();
  SettingsStore settings(platform_, kSettingsFile, kSettingsSection);
  EXPECT_EQ(settings.Write({{"Name", "Petr"}}), SettingsError::kNone);
  EXPECT_EQ(Saved().Get("Name", ""), "Petr");
}

}  // namespace
}  // namespace zorvant
