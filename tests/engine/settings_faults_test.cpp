// The settings file, and the files rewritten beside it, under what the field throws at them: a read that
// fails in the middle of an export, a program that hangs holding the lock, links where files should be, a
// writer killed at any of its file calls, and files the plug-in did not write itself.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "cabrillo/writer.h"
#include "engine/contest.h"
#include "engine/settings_store.h"
#include "platform/whole_file.h"
#include "report/report.h"
#include "tests/support/test_support.h"

namespace zorvant {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using testing::Contact;
using testing::FaultyPlatform;
using testing::FileExistsAt;
using testing::ReadFileBytes;
using testing::RecordingShell;
using testing::WriteFileBytes;

const char kIni[] = "Plugins/ZORVANT.ini";
const char kSaved[] =
    "[Settings]\r\nName=Ivan\r\nAddress=Lenina 1\r\nAddress-City=Moscow\r\nEmail=ua3xyz@example.org\r\n"
    "Club=Radio club\r\nSoapBox=73<CR><LF>all\r\nStart=0\r\nClaimed=5\r\n";
const char* const kPersonal[] = {"Name", "Address", "Address-City", "Email", "Club", "SoapBox"};

bool Writes(const char* mode) { return std::strpbrk(mode, "wa+") != nullptr; }

// An export pass as the host runs it: the reset with the export flag, one contact, the report.
ReportOutcome ExportPass(Contest& contest, Shell& shell, const char* call = "AA1") {
  static const OleDate start = OleDate::FromParts(2017, 3, 5, 14, 0);
  ResetArgs r;
  r.ownCall = "UA3XYZ";
  r.start = &start;
  r.exportFlag = 1;
  contest.Reset(r, shell);
  Contact c;
  c.ownCall = "UA3XYZ";
  c.call = call;
  contest.AddData(c.Args());
  return MakeReport(contest);
}

SettingsSnapshot SavedSettings() {
  SettingsStore settings(SystemPlatform(), kSettingsFile, kSettingsSection);
  return settings.Load();
}

// --- A read that fails.

// Refuses the n-th open of the settings file for reading, once.
class OneFailedRead : public FaultyPlatform {
 public:
  explicit OneFailedRead(int n) : failAt_(n) {}
  std::FILE* OpenShared(const std::string& path, const char* mode) override {
    if (path == FullPath(kSettingsFile) && !Writes(mode) && ++reads_ == failAt_) return nullptr;
    return FaultyPlatform::OpenShared(path, mode);
  }
  bool failed() const { return reads_ >= failAt_; }

 private:
  const int failAt_;
  int reads_ = 0;
};

class SettingsReadFailureTest : public testing::InTempDir {};

TEST_F(SettingsReadFailureTest, NoReadOfAnExportWritesABlankOverASavedField) {
  // Each read of the settings in an export pass fails in its turn, the first where the header is loaded.
  bool tried = true;
  for (int n = 1; tried; ++n) {
    SCOPED_TRACE("read " + std::to_string(n) + " fails");
    WriteFileBytes(kIni, kSaved);
    OneFailedRead platform(n);
    platform.SetUtcHour(14);
    Contest contest(platform);
    RecordingShell shell;
    const ReportOutcome outcome = ExportPass(contest, shell);
    tried = platform.failed();

    const SettingsSnapshot saved = SavedSettings();
    const SettingsSnapshot before(kSaved, kSettingsSection);
    for (const char* key : kPersonal) EXPECT_EQ(saved.Get(key, "(missing)"), before.Get(key, "")) << key;
    if (tried) {
      EXPECT_NE(outcome.exportMessage.find("Plugins\\ZORVANT.ini"), std::string::npos)
          << outcome.exportMessage;
    } else {
      EXPECT_EQ(outcome.exportMessage, "File produced: UA3XYZ.cbr");
    }
    ASSERT_LT(n, 50);
  }
}

TEST_F(SettingsReadFailureTest, WhatTheOperatorTypesOverAnUnreadHeaderIsSavedAndNothingElse) {
  WriteFileBytes(kIni, kSaved);
  OneFailedRead platform(1);
  platform.SetUtcHour(14);
  Contest contest(platform);
  RecordingShell shell;
  shell.editHeader = [](CabrilloFields& f) { f.email = "new@example.org"; };
  const ReportOutcome outcome = ExportPass(contest, shell);

  EXPECT_EQ(shell.headerDialogs.at(0).addressCity, "") << "shown as it could be read: not at all";
  const SettingsSnapshot saved = SavedSettings();
  EXPECT_EQ(saved.Get("Email", ""), "new@example.org");
  EXPECT_EQ(saved.Get("Address-City", ""), "Moscow");
  EXPECT_EQ(saved.Get("Name", ""), "Ivan");
  EXPECT_EQ(saved.Get("Contest", "(missing)"), "(missing)") << "not written: its saved value was never read";
  EXPECT_EQ(
      outcome.exportMessage,
      "File produced: UA3XYZ.cbr\nCould not read file: Plugins\\ZORVANT.ini (the saved settings were not "
      "used, and none was written over)");
}

// --- A program that hangs holding the lock.

// Another process that takes the settings lock and never lets go.
class HungProcess {
 public:
  explicit HungProcess(const std::string& lockPath) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      LockFailure why;
      const std::unique_ptr<Platform::Lock> lock = SystemPlatform().TakeLock(lockPath, milliseconds(0), &why);
      const char held = lock ? 1 : 0;
      if (write(ready[1], &held, 1) != 1) _exit(1);
      for (;;) pause();
    }
    close(ready[1]);
    char held = 0;
    held_ = read(ready[0], &held, 1) == 1 && held == 1;
    close(ready[0]);
  }
  ~HungProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  bool held() const { return held_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

// Records how long each lock was waited for.
class LockWaits : public FaultyPlatform {
 public:
  std::vector<milliseconds> waits;
  std::unique_ptr<Lock> TakeLock(const std::string& path, milliseconds wait, LockFailure* why) override {
    waits.push_back(wait);
    return FaultyPlatform::TakeLock(path, wait, why);
  }
  int Waited() const {
    int n = 0;
    for (const milliseconds w : waits) n += w.count() > 0;
    return n;
  }
};

class HungLockTest : public testing::InTempDir {};

TEST_F(HungLockTest, EachPassWaitsOnceAndTheExportSaysSo) {
  WriteFileBytes(kIni, kSaved);
  HungProcess hung(SystemPlatform().FullPath(kSettingsFile) + ".lock");
  ASSERT_TRUE(hung.held());
  LockWaits platform;
  platform.SetUtcHour(14);
  Contest contest(platform);
  RecordingShell shell;
  shell.windowOpen = true;
  shell.editHeader = [](CabrilloFields& f) { f.name = "Petr"; };

  const auto start = std::chrono::steady_clock::now();
  const ReportOutcome outcome = ExportPass(contest, shell);
  const auto exportTook = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(platform.Waited(), 1) << "one wait in the pass, not one per key";
  EXPECT_EQ(
      outcome.exportMessage,
      "File produced: UA3XYZ.cbr\nCould not write file: Plugins\\ZORVANT.ini\nPlugins\\ZORVANT.ini.lock was "
      "held by another program for 250 ms: the settings were not saved");
  EXPECT_EQ(contest.cabrillo.name, "Petr") << "the export has what was confirmed";
  EXPECT_EQ(SavedSettings().Get("Name", ""), "Ivan");

  // The rest of the host's session: an ordinary reset and the report after each contact.
  platform.waits.clear();
  shell.windowOpen = true;
  static const OleDate begin = OleDate::FromParts(2017, 3, 5, 14, 0);
  ResetArgs r;
  r.ownCall = "UA3XYZ";
  r.start = &begin;
  contest.Reset(r, shell);
  for (const char* call : {"AA1", "AA2", "AA3"}) {
    Contact c;
    c.call = call;
    contest.AddData(c.Args());
    MakeReport(contest);
  }
  EXPECT_EQ(platform.Waited(), 1);
  // A hang, not a benchmark: the old code waited 10 s for every key, 140 s in the export pass.
  EXPECT_LT(exportTook, std::chrono::seconds(5));
}

TEST_F(HungLockTest, AHolderStillAtWorkPastTheWaitIsWaitedFor) {
  // A live writer on a loaded machine: it keeps the lock past the wait, running all the while.
  WriteFileBytes(kIni, kSaved);
  const std::string lockPath = SystemPlatform().FullPath(kSettingsFile) + ".lock";
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    LockFailure why;
    const std::unique_ptr<Platform::Lock> lock = SystemPlatform().TakeLock(lockPath, milliseconds(0), &why);
    const char held = lock ? 1 : 0;
    if (write(ready[1], &held, 1) != 1) _exit(1);
    const auto until = std::chrono::steady_clock::now() + 3 * SettingsStore::kLockWait;
    while (std::chrono::steady_clock::now() < until) {
    }
    _exit(0);
  }
  close(ready[1]);
  char held = 0;
  ASSERT_EQ(read(ready[0], &held, 1), 1);
  close(ready[0]);
  ASSERT_EQ(held, 1);
  SettingsStore settings(SystemPlatform(), kSettingsFile, kSettingsSection);
  EXPECT_EQ(settings.Write({{"Name", "Petr"}}), SettingsError::kNone);
  EXPECT_EQ(settings.problems(), std::vector<std::string>{});
  waitpid(child, nullptr, 0);
  EXPECT_EQ(SavedSettings().Get("Name", ""), "Petr");
}

TEST_F(HungLockTest, ALockFileThatMayOnlyBeReadStillServes) {
  // As the operator, not as root: root may write any file.
  WriteFileBytes(kIni, kSaved);
  WriteFileBytes(std::string(kIni) + ".lock", "");
  chmod((std::string(kIni) + ".lock").c_str(), 0444);
  chmod(".", 0777);
  chmod("Plugins", 0777);
  chmod(kIni, 0666);
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
    SettingsStore settings(SystemPlatform(), kSettingsFile, kSettingsSection);
    _exit(settings.Write({{"Name", "Petr"}}) == SettingsError::kNone ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(SavedSettings().Get("Name", ""), "Petr");
}

// --- A folder that takes no new file.

// Runs `body` in a child process as an ordinary user (root may make files anywhere) and returns what it
// printed.
std::string AsOperator(const std::function<std::string()>& body) {
  int out[2];
  if (pipe(out) != 0) return "(no pipe)";
  const pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
    const std::string said = body();
    if (write(out[1], said.data(), said.size()) != static_cast<ssize_t>(said.size())) _exit(4);
    _exit(0);
  }
  close(out[1]);
  std::string said;
  char buf[512];
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0) said.append(buf, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) said += "(the child failed)";
  return said;
}

class NoNewFileTest : public testing::InTempDir {};

TEST_F(NoNewFileTest, TheSettingsAreWrittenInPlaceAndTheOperatorIsToldSoOnce) {
  // The operator may write the ini, not add a file beside it: no lock file, no temporary, no undo file.
  WriteFileBytes(kIni, kSaved);
  chmod(kIni, 0666);
  chmod(".", 0777);
  chmod("Plugins", 0555);
  const std::string said = AsOperator([] {
    SettingsStore settings(SystemPlatform(), kSettingsFile, kSettingsSection);
    std::string out;
    // The Setup window's toggle, then the header: each written, neither waited for.
    for (const auto& values : {std::vector<std::pair<std::string, std::string>>{{"Start", "1"}},
                               std::vector<std::pair<std::string, std::string>>{{"Name", "Petr"},
                                                                                {"Email", "petr@example.org"}}}) {
      out += settings.Write(values) == SettingsError::kNone ? "saved\n" : "not saved\n";
    }
    out += settings.Load().Get("Start", "") + "\n";
    for (const std::string& line : settings.problems()) out += line + "\n";
    return out;
  });
  EXPECT_EQ(said,
            "saved\nsaved\n1\nPlugins\\ZORVANT.ini: its folder takes no new file, so the settings were "
            "written over it in place, without a safety copy\n");
  const SettingsSnapshot saved = SavedSettings();
  EXPECT_EQ(saved.Get("Start", ""), "1");
  EXPECT_EQ(saved.Get("Name", ""), "Petr");
  EXPECT_EQ(saved.Get("Email", ""), "petr@example.org");
  EXPECT_EQ(saved.Get("Address-City", ""), "Moscow");
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator("Plugins")) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"ZORVANT.ini"});
}

// --- Links where files should be.

class LinksTest : public testing::InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    fs::create_directory("elsewhere");
  }
};

TEST_F(LinksTest, NoLinkIsFollowedWhereAFileIsMadeOrCut) {
  WriteFileBytes(kIni, kSaved);
  // A dangling link for the lock, a link for the bad-QSO file to the operator's notes.
  fs::create_symlink("../elsewhere/x", "Plugins/ZORVANT.ini.lock");
  WriteFileBytes("elsewhere/notes.txt", "my notes\r\n");
  fs::create_symlink("elsewhere/notes.txt", testing::kFileName);
  FaultyPlatform platform;
  platform.SetUtcHour(14);
  Contest contest(platform);
  RecordingShell shell;
  shell.editHeader = [](CabrilloFields& f) { f.name = "Petr"; };
  const ReportOutcome outcome = ExportPass(contest, shell);

  EXPECT_FALSE(FileExistsAt("elsewhere/x"));
  EXPECT_TRUE(fs::is_symlink("Plugins/ZORVANT.ini.lock"));
  EXPECT_EQ(SavedSettings().Get("Name", ""), "Ivan");
  EXPECT_NE(outcome.exportMessage.find("a link, a folder or a device"), std::string::npos)
      << outcome.exportMessage;

  EXPECT_EQ(ReadFileBytes("elsewhere/notes.txt"), "my notes\r\n");
  EXPECT_FALSE(fs::is_symlink(testing::kFileName)) << "the link gave way to the contest's own file";
  EXPECT_EQ(ReadFileBytes(testing::kFileName), testing::kHeaderLine);

  // Planted again while the contest runs: a refused contact's line goes nowhere rather than through it.
  fs::remove(testing::kFileName);
  fs::create_symlink("elsewhere/notes.txt", testing::kFileName);
  Contact wrongBand;
  wrongBand.band = "30m";
  EXPECT_EQ(contest.AddData(wrongBand.Args()), 0);
  EXPECT_EQ(ReadFileBytes("elsewhere/notes.txt"), "my notes\r\n");
}

TEST_F(LinksTest, ALinkedSettingsFileIsReadButNeverReplaced) {
  WriteFileBytes("elsewhere/ZORVANT.ini", kSaved);
  chmod("elsewhere/ZORVANT.ini", 0600);
  fs::create_symlink("../elsewhere/ZORVANT.ini", kIni);
  SettingsStore settings(SystemPlatform(), kSettingsFile, kSettingsSection);
  EXPECT_EQ(settings.Load().Get("Address-City", ""), "Moscow");
  EXPECT_EQ(settings.Write({{"Name", "Petr"}}), SettingsError::kNotAFile);
  EXPECT_TRUE(fs::is_symlink(kIni));
  EXPECT_EQ(ReadFileBytes("elsewhere/ZORVANT.ini"), kSaved);
  EXPECT_EQ(fs::status("elsewhere/ZORVANT.ini").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(LinksTest, ARewrittenFileKeepsItsPermissions) {
  // The settings hold the operator's address and e-mail; the Cabrillo file was shared with a group.
  WriteFileBytes(kIni, kSaved);
  chmod(kIni, 0600);
  WriteFileBytes("UA3XYZ.cbr", "old\r\n");
  chmod("UA3XYZ.cbr", 0640);
  FaultyPlatform platform;
  platform.SetUtcHour(14);
  Contest contest(platform);
  RecordingShell shell;
  shell.editHeader = [](CabrilloFields& f) { f.name = "Petr"; };
  ASSERT_EQ(ExportPass(contest, shell).exportMessage, "File produced: UA3XYZ.cbr");
  ASSERT_EQ(SavedSettings().Get("Name", ""), "Petr");
  struct stat st;
  ASSERT_EQ(stat(kIni, &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_EQ(stat("UA3XYZ.cbr", &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// --- A writer killed part-way.

// Kills its own process at its n-th file call: an open, a swap, a cut, a removal, or a write, which then
// puts half its bytes on disk first. With swaps refused, as on Windows while another program has the file
// open, every file is rewritten in place. Records what the two files hold between calls while at peace.
class KilledWriter : public FaultyPlatform {
 public:
  explicit KilledWriter(long killAt) : killAt_(killAt) { FailReplace(); }

  std::set<std::string> settled[2];  // the Cabrillo file, the settings file

  std::FILE* OpenShared(const std::string& path, const char* mode) override {
    Step();
    std::FILE* f = FaultyPlatform::OpenShared(path, mode);
    if (!f || !Writes(mode)) return f;
    auto* cookie = new Stream{this, f};
    std::FILE* counted = fopencookie(cookie, mode, {nullptr, &Stream::Write, &Stream::Seek, &Stream::Close});
    if (!counted) return f;
    std::setvbuf(counted, nullptr, _IONBF, 0);
    return counted;
  }
  bool ReplaceFile(const std::string& from, const std::string& to) override {
    Step();
    return After(FaultyPlatform::ReplaceFile(from, to));
  }
  bool ResizeFile(const std::string& path, std::uint64_t size) override {
    Step();
    return After(FaultyPlatform::ResizeFile(path, size));
  }
  bool RemoveFile(const std::string& path) override {
    Step();
    return After(FaultyPlatform::RemoveFile(path));
  }
  long calls() const { return calls_; }
  void Record() {
    const std::string files[2] = {"UA3XYZ.cbr", FullPath(kSettingsFile)};
    for (int i = 0; i < 2; ++i) {
      if (!FileExistsAt(UndoFileName(files[i]))) settled[i].insert(ReadFileBytes(files[i]));
    }
  }

 private:
  struct Stream {
    KilledWriter* owner;
    std::FILE* file;
    static ssize_t Write(void* c, const char* data, std::size_t size) {
      auto* s = static_cast<Stream*>(c);
      if (s->owner->Step(/*killNow=*/false)) {
        std::fwrite(data, 1, size / 2, s->file);
        std::fflush(s->file);
        raise(SIGKILL);
      }
      const std::size_t n = std::fwrite(data, 1, size, s->file);
      std::fflush(s->file);
      s->owner->Record();
      return static_cast<ssize_t>(n);
    }
    static int Seek(void* c, off64_t* offset, int whence) {
      std::FILE* f = static_cast<Stream*>(c)->file;
      if (fseeko(f, *offset, whence) != 0) return -1;
      *offset = ftello(f);
      return 0;
    }
    static int Close(void* c) {
      auto* s = static_cast<Stream*>(c);
      const int closed = std::fclose(s->file);
      delete s;
      return closed;
    }
  };

  // Counts a call; true when this is the one to die at, which dies at once unless told to wait.
  bool Step(bool killNow = true) {
    if (++calls_ != killAt_) return false;
    if (killNow) raise(SIGKILL);
    return true;
  }
  bool After(bool result) {
    Record();
    return result;
  }

  const long killAt_;
  long calls_ = 0;
};

class KilledWriterTest : public testing::InTempDir {};

TEST_F(KilledWriterTest, TheNextReadFindsEachFileWholeWhereverTheWriterDied) {
  // An export the day before leaves both files; then the next export is killed at each of its file calls in
  // turn, and what the next read finds must be one of the states each file passed through whole.
  {
    FaultyPlatform platform;
    platform.SetUtcHour(14);
    Contest contest(platform);
    RecordingShell shell;
    ASSERT_EQ(ExportPass(contest, shell).exportMessage, "File produced: UA3XYZ.cbr");
  }
  const std::string iniPath = SystemPlatform().FullPath(kSettingsFile);
  const std::string cbrBefore = ReadFileBytes("UA3XYZ.cbr"), iniBefore = ReadFileBytes(iniPath);
  auto restore = [&] {
    WriteFileBytes("UA3XYZ.cbr", cbrBefore);
    WriteFileBytes(iniPath, iniBefore);
    for (const std::string& f : {std::string("UA3XYZ.cbr"), iniPath, std::string(testing::kFileName)}) {
      fs::remove(UndoFileName(f));
    }
  };
  auto nextExport = [](Platform& platform) {
    Contest contest(platform);
    RecordingShell shell;
    shell.editHeader = [](CabrilloFields& f) {
      f.name = "Petr Petrov";
      f.email = "petr@example.org";
      f.soapbox = "a longer soapbox\r\nover two lines";
    };
    ExportPass(contest, shell, "AA2");
  };

  KilledWriter reference(0);
  reference.SetUtcHour(14);
  reference.Record();
  nextExport(reference);
  const long calls = reference.calls();
  ASSERT_GT(calls, 20);
  ASSERT_GE(reference.settled[0].size(), 2u);
  ASSERT_GE(reference.settled[1].size(), 2u);

  int killed = 0, mixed = 0;
  for (long n = 1; n <= calls; ++n) {
    restore();
    const pid_t child = fork();
    if (child == 0) {
      KilledWriter platform(n);
      platform.SetUtcHour(14);
      nextExport(platform);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    killed += WIFSIGNALED(status);
    std::string cbr, ini;
    ASSERT_EQ(ReadFile(SystemPlatform(), "UA3XYZ.cbr", &cbr), ReadOutcome::kRead);
    ASSERT_EQ(ReadFile(SystemPlatform(), iniPath, &ini), ReadOutcome::kRead);
    const bool whole = reference.settled[0].count(cbr) && reference.settled[1].count(ini);
    if (!whole) ADD_FAILURE() << "killed at file call " << n << " of " << calls;
    mixed += !whole;
  }
  EXPECT_EQ(killed, calls);
  EXPECT_EQ(mixed, 0);

  // The next export after a killed one puts the files in order and leaves no undo file.
  FaultyPlatform healthy;
  healthy.SetUtcHour(14);
  nextExport(healthy);
  EXPECT_FALSE(FileExistsAt(UndoFileName("UA3XYZ.cbr")));
  EXPECT_FALSE(FileExistsAt(UndoFileName(iniPath)));
  EXPECT_EQ(SavedSettings().Get("Name", ""), "Petr Petrov");
}

// --- An undo file left behind, and the settings file changed since.

class LeftoverUndoTest : public testing::InTempDir {};

TEST_F(LeftoverUndoTest, OldSettingsComeBackOnlyOverAWriteCutShortAndAlwaysWithAWord) {
  const std::string oldText = "[Settings]\r\nName=Old Name\r\nEmail=old@example.org\r\n";
  const std::string iniPath = SystemPlatform().FullPath(kSettingsFile);
  // An in-place write that got as far as the whole new text, but no further: its undo file is still there.
  struct UndoStays : FaultyPlatform {
    bool RemoveFile(const std::string& path) override {
      return path.find(".undo") == std::string::npos && FaultyPlatform::RemoveFile(path);
    }
    bool ResizeFile(const std::string& path, std::uint64_t size) override {
      return path.find(".undo") == std::string::npos && FaultyPlatform::ResizeFile(path, size);
    }
  };
  auto interrupted = [&] {
    fs::remove(UndoFileName(iniPath));
    fs::remove(SetAsideUndoName(iniPath));
    WriteFileBytes(kIni, oldText);
    UndoStays platform;
    platform.FailTemporariesOf(iniPath);
    SettingsStore settings(platform, kSettingsFile, kSettingsSection);
    ASSERT_EQ(settings.Write({{"Name", "New Name"}, {"Email", "new@example.org"}}), SettingsError::kNone);
    ASSERT_TRUE(FileExistsAt(UndoFileName(iniPath)));
  };
  const std::string newText = "[Settings]\r\nName=New Name\r\nEmail=new@example.org\r\n";
  const struct {
    const char* what;
    std::string file;  // what stands in the file when the next run reads it
    const char* name;
    const char* email;
    std::vector<std::string> said;
  } cases[] = {
      {"the operator edited it since", "[Settings]\r\nName=New Name\r\nEmail=operator-edit@example.org\r\n",
       "New Name", "operator-edit@example.org",
       {"Plugins\\ZORVANT.ini was changed after a write of it was cut short: it was kept as it is, and the "
        "settings from before that write were set aside in Plugins\\ZORVANT.ini.undo.old"}},
      {"the write was whole", newText, "New Name", "new@example.org", {}},
      {"the write was cut short", newText.substr(0, 20) + oldText.substr(20), "Old Name", "old@example.org",
       {"Plugins\\ZORVANT.ini: a write of it was cut short; the settings from before it were put back"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    interrupted();
    WriteFileBytes(kIni, c.file);
    SettingsStore settings(SystemPlatform(), kSettingsFile, kSettingsSection);
    const SettingsSnapshot read = settings.Load();
    EXPECT_EQ(read.Get("Name", ""), c.name);
    EXPECT_EQ(read.Get("Email", ""), c.email);
    EXPECT_EQ(settings.problems(), c.said);
    EXPECT_EQ(SavedSettings().Get("Email", ""), c.email) << "and so it stays on disk";
    EXPECT_FALSE(FileExistsAt(UndoFileName(iniPath)));
    EXPECT_EQ(FileExistsAt(SetAsideUndoName(iniPath)), !c.said.empty() && c.said[0].find("set aside") != std::string::npos);
  }
}

TEST_F(LeftoverUndoTest, AnUndoFileThatCouldOnlyBeEmptiedGoesAtTheNextRun) {
  // A disk that refused to remove it: emptied, it holds nothing, and nothing else ever rewrites it.
  WriteFileBytes(kIni, kSaved);
  const std::string undo = UndoFileName(SystemPlatform().FullPath(kSettingsFile));
  WriteFileBytes(undo, "");
  SettingsStore settings(SystemPlatform(), kSettingsFile, kSettingsSection);
  EXPECT_EQ(settings.Load().Get("Name", ""), "Ivan");
  EXPECT_FALSE(FileExistsAt(undo));
  EXPECT_EQ(settings.problems(), std::vector<std::string>{});
}

// --- Files the plug-in did not write.

class OddSettingsFileTest : public testing::InTempDir {};

TEST_F(OddSettingsFileTest, ANotepadUnicodeFileIsLeftAsItIsAndTheExportSaysWhy) {
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("[Settings]\r\nName=Ivan\r\nAddress-City=Moscow\r\n")) {
    utf16 += c;
    utf16 += '\0';
  }
  WriteFileBytes(kIni, utf16);
  FaultyPlatform platform;
  platform.SetUtcHour(14);
  Contest contest(platform);
  RecordingShell shell;
  shell.editHeader = [](CabrilloFields& f) { f.name = "Petr"; };
  const ReportOutcome outcome = ExportPass(contest, shell);
  EXPECT_EQ(ReadFileBytes(kIni), utf16);
  EXPECT_NE(
      outcome.exportMessage.find("Plugins\\ZORVANT.ini is saved as Unicode (UTF-16): it was neither read nor "
                                 "written; save it as ANSI text"),
      std::string::npos)
      << outcome.exportMessage;
}

TEST_F(OddSettingsFileTest, AFileOfMegabytesIsNeitherParsedNorRewritten) {
  // One-byte lines cost the parser the most for their size.
  std::string big = "[Settings]\r\nName=Ivan\r\n";
  while (big.size() <= SettingsStore::kMaxBytes) big += "a\n";
  WriteFileBytes(kIni, big);
  FaultyPlatform platform;
  SettingsStore settings(platform, kSettingsFile, kSettingsSection);
  EXPECT_FALSE(settings.Load().readable());
  EXPECT_EQ(settings.Write({{"Name", "Petr"}}), SettingsError::kTooLarge);
  EXPECT_EQ(ReadFileBytes(kIni), big);
  EXPECT_EQ(
      settings.problems(),
      std::vector<std::string>{"Plugins\\ZORVANT.ini is larger than 4 MB: it was neither read nor written"});
}

// Holds the lock on a file from another process, as a live writer holds its temporary, until it goes.
class LiveWriter {
 public:
  explicit LiveWriter(const std::string& path) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      LockFailure why;
      const std::unique_ptr<Platform::Lock> lock = SystemPlatform().TakeFileLock(path, milliseconds(0), &why);
      const char held = lock ? 1 : 0;
      if (write(ready[1], &held, 1) != 1) _exit(1);
      for (;;) pause();
    }
    close(ready[1]);
    char held = 0;
    held_ = read(ready[0], &held, 1) == 1 && held == 1;
    close(ready[0]);
  }
  ~LiveWriter() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  bool held() const { return held_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

TEST_F(OddSettingsFileTest, OnlyTemporariesOfKilledWritersAreRemoved) {
  const std::string ini = kIni;
  const std::string dead = ini + ".zorvant-1234abcd-0.tmp";  // nobody holds it
  const std::string live = ini + ".zorvant-1234abcd-1.tmp";  // its writer is still at it
  // Other programs' files, and an earlier version's temporary, however old.
  const std::string others[] = {ini + ".draft.tmp", ini + ".tmp12345.tmp", ini + ".0badf00d-3.tmp",
                                ini + "." + std::to_string(getpid() + 1000000) + "-1234abcd-0.tmp",
                                ini + ".zorvant-notours.tmp", "Plugins/notes.tmp"};
  for (const std::string& f : {dead, live}) WriteFileBytes(f, "half a text");
  for (const std::string& f : others) {
    WriteFileBytes(f, "someone's text");
    fs::last_write_time(f, fs::file_time_type::clock::now() - std::chrono::hours(24));
  }
  LiveWriter writer(live);
  ASSERT_TRUE(writer.held());

  // As across a process namespace (Wine beside a Linux writer, two PCs on a share): no process is seen.
  struct SeesNoProcess : FaultyPlatform {
    bool ProcessRunning(std::uint32_t) override { return false; }
  } platform;
  SettingsStore settings(platform, kSettingsFile, kSettingsSection);
  ASSERT_EQ(settings.Write({{"Name", "Petr"}}), SettingsError::kNone);
  EXPECT_FALSE(FileExistsAt(dead));
  EXPECT_TRUE(FileExistsAt(live)) << "its writer may still swap it in";
  for (const std::string& f : others) EXPECT_TRUE(FileExistsAt(f)) << f;
}

}  // namespace
}  // namespace zorvant
