// Helpers shared by the native tests: a private current folder per test, a platform that fails on request,
// and a shell that records what the engine asked of the windows.
#ifndef ZORVANT_TESTS_SUPPORT_TEST_SUPPORT_H_
#define ZORVANT_TESTS_SUPPORT_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/contest.h"
#include "engine/ole_date.h"
#include "platform/platform.h"

namespace zorvant {
namespace testing {

// The bad-QSO file's first line, and the file's name for a contest that starts on 5 March 2017.
inline constexpr char kHeaderLine[] = "ZORVANT CONTEST UBN file UBN file \r\n";
inline constexpr char kFileName[] = "BadQSO_StatsZORVANT_05_03_2017.txt";

// Whole-file helpers working on raw bytes, so tests see CR LF exactly as written.
std::string ReadFileBytes(const std::string& path);
bool FileExistsAt(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Runs each test in a fresh empty folder made the current folder, with an empty "Plugins" subfolder so that
// the plug-in's settings file can be written. The previous current folder comes back afterwards and the
// temporary folder is removed with everything in it.
class InTempDir : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  const std::string& dir() const { return dir_; }

 private:
  std::string saved_;
  std::string dir_;
};

// The system platform with faults on demand. File names are compared with the path exactly as the engine
// passes it to OpenShared / ReplaceFile; the settings file goes by its full path (FullPath(kSettingsFile)).
// The settings store works through this platform's own file calls, so every fault below reaches the
// settings file too. zorvant check reads and writes from several threads at once, so the recorded calls and
// the fault tables are behind one lock; what messages() and opens() return is for the test's own thread,
// once the threaded work has ended.
class FaultyPlatform : public Platform {
 public:
  enum Access { kRead, kWrite };

  explicit FaultyPlatform(Platform& inner = SystemPlatform()) : inner_(inner) {}

  // OpenShared of `path` for this kind of access returns null.
  void FailOpen(const std::string& path, Access access) {
    std::lock_guard<std::mutex> hold(mutex_);
    failOpen_.insert({path, access});
  }
  // No temporary beside `path` ("path.tmp", "path.<anything>.tmp") can be made, as on a disk without a free
  // inode or in a folder that takes no new file, while `path` itself can still be written.
  void FailTemporariesOf(const std::string& path) {
    std::lock_guard<std::mutex> hold(mutex_);
    failTemporaries_.insert(path);
  }
  // Every stream OpenShared opens for writing from now on, on a path that begins with `pathPrefix` (a file
  // and its temporary), accepts the open, and `bytes` bytes, and then fails every write, as on a full disk or
  // past a file-size limit. What it did accept is in the file.
  void FailWritesAfter(std::size_t bytes, const std::string& pathPrefix = "") {
    std::lock_guard<std::mutex> hold(mutex_);
    writeBudget_ = bytes;
    budgetPrefix_ = pathPrefix;
  }
  void BreakWrites() { FailWritesAfter(0); }
  // The clock reads this UTC hour from now on.
  void SetUtcHour(int hour) {
    std::lock_guard<std::mutex> hold(mutex_);
    utcHour_ = hour;
  }
  // ReplaceFile onto `to` (onto anything, when empty) refuses without touching either file.
  void FailReplace(const std::string& to = "") {
    std::lock_guard<std::mutex> hold(mutex_);
    failReplace_ = true;
    replaceTarget_ = to;
  }

  // Message boxes are recorded instead of shown, so tests run unattended.
  struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon;
  };
  const std::vector<Message>& messages() const { return messages_; }

  // Every OpenShared call, in order, as (path, mode).
  const std::vector<std::pair<std::string, std::string>>& opens() const { return opens_; }
  int OpensOf(const std::string& path) const;

  // One key read or written through a settings store of its own on this platform, for tests to set up and
  // look at the settings file.
  std::string ProfileString(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& def);
  bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& value);

  std::string FullPath(const std::string& path) override;
  std::FILE* OpenShared(const std::string& path, const char* mode) override;
  bool FileExists(const std::string& path) override;
  FileFacts Inspect(const std::string& path) override;
  bool ReplaceFile(const std::string& from, const std::string& to) override;
  bool ResizeFile(const std::string& path, std::uint64_t size) override;
  bool RemoveFile(const std::string& path) override;
  std::unique_ptr<Lock> TakeLock(const std::string& path, std::chrono::milliseconds wait,
                                 LockFailure* why) override;
  std::unique_ptr<Lock> TakeFileLock(const std::string& path, std::chrono::milliseconds wait,
                                     LockFailure* why) override {
    return inner_.TakeFileLock(path, wait, why);
  }
  std::string FindFirstMatch(const std::string& pattern,
                             const std::function<bool(const std::string&)>& visit) override;
  std::uint32_t ProcessId() override;
  bool ProcessRunning(std::uint32_t pid) override;
  int UtcHour() override;
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;

 private:
  Platform& inner_;
  mutable std::mutex mutex_;
  std::set<std::pair<std::string, Access>> failOpen_;
  std::set<std::string> failTemporaries_;
  std::optional<std::size_t> writeBudget_;
  std::string budgetPrefix_;
  bool failReplace_ = false;
  std::string replaceTarget_;
  int utcHour_ = -1;
  std::vector<std::pair<std::string, std::string>> opens_;
  std::vector<Message> messages_;
};

// One contact as the host passes it to AddData0 / RemoveData0, with ordinary values to change per test.
struct Contact {
  std::string ownCall = "MYCALL";
  std::string call = "HISCALL";
  OleDate time = OleDate::FromParts(2017, 3, 5, 14, 32);
  unsigned int freqHz = 3585000;
  std::string mode = "RTTY";
  std::string rstSent = "599";
  std::string rstRcvd = "599";
  std::string exchSent = "001";
  std::string exchRcvd = "017";
  std::string prefix = "HI1";
  std::string countryPrefix = "HI";
  std::string hostText = "host text";
  std::string band = "80m";

  // Points into this object: keep it alive while the arguments are used.
  QsoArgs Args() const;
};

// A Shell that answers SetupWindowOpen with `windowOpen` and counts what the engine asked for. Like the real
// one, StartSetup leaves a Setup window open. The header dialog records the fields it was shown with, lets
// `editHeader` type into them, and closes with OK unless `confirmHeader` is false.
class RecordingShell : public Shell {
 public:
  bool windowOpen = false;
  bool windowUp = true;  // the open window exists already and takes posted refreshes
  int refreshes = 0;     // posts asked for, whether a window took them or not
  int setupStarts = 0;
  std::vector<CabrilloFields> headerDialogs;
  std::function<void(CabrilloFields&)> editHeader;
  bool confirmHeader = true;

  bool SetupWindowOpen() override { return windowOpen; }
  bool PostRefresh() override {
    ++refreshes;
    return windowOpen && windowUp;
  }
  void StartSetup() override {
    ++setupStarts;
    windowOpen = true;
  }
  bool RunCabrilloDialog(CabrilloFields& fields) override {
    headerDialogs.push_back(fields);
    if (editHeader) editHeader(fields);
    return confirmHeader;
  }
};

}  // namespace testing
}  // namespace zorvant

#endif  // ZORVANT_TESTS_SUPPORT_TEST_SUPPORT_H_
