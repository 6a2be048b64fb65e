#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "engine/file_text.h"
#include "platform/whole_file.h"
#include "tests/support/test_support.h"

namespace zorvant {
namespace {

using testing::FaultyPlatform;
using testing::FileExistsAt;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

namespace fs = std::filesystem;

const char kName[] = "UA3XYZ.cbr";
const char kTemp[] = "UA3XYZ.cbr.tmp";

// Numbered lines, so that every byte position of an old and a new text tells them apart.
std::string Lines(const char* tag, std::size_t bytes) {
  std::string text;
  for (int n = 0; text.size() < bytes; ++n) text += tag + std::to_string(n) + "\r\n";
  return text.substr(0, bytes);
}

class RewriteFileTest : public testing::InTempDir {
 protected:
  std::vector<std::string> Temporaries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(".")) {
      if (e.path().extension() == ".tmp") names.push_back(e.path().filename().string());
    }
    return names;
  }
};

TEST_F(RewriteFileTest, AWriteFailingAnywhereLeavesTheOldFileAsItWas) {
  // The size of the bundled log's Cabrillo file; a disk that takes a page of it, or two.
  const std::string longer = Lines("old ", 15738), shorter = Lines("new ", 9000);
  const struct { std::string old, now; } pairs[] = {{longer, shorter}, {shorter, Lines("new ", 15738)}};
  // Without a temporary (no free inode, or a folder that takes no new file) the file is written in place.
  for (const bool noTemporary : {false, true}) {
    for (const auto& [old, now] : pairs) {
      for (const std::size_t at :
           {std::size_t{0}, std::size_t{1}, std::size_t{4096}, std::size_t{8192}, now.size() - 1}) {
        SCOPED_TRACE("no temporary " + std::to_string(noTemporary) + ", " + std::to_string(old.size()) +
                     " -> " + std::to_string(now.size()) + " bytes, failing at " + std::to_string(at));
        WriteFileBytes(kName, old);
        FaultyPlatform platform;
        if (noTemporary) platform.FailTemporariesOf(kName);
        platform.FailWritesAfter(at);

        EXPECT_FALSE(RewriteFile(platform, kName, now));
        EXPECT_TRUE(ReadFileBytes(kName) == old) << "the old file changed";
        EXPECT_EQ(Temporaries(), std::vector<std::string>{});
      }
    }
  }
}

TEST_F(RewriteFileTest, WithoutATemporaryTheFileIsStillWrittenWhole) {
  FaultyPlatform platform;
  platform.FailTemporariesOf(kName);
  ASSERT_TRUE(RewriteFile(platform, kName, Lines("first ", 5000)));  // nothing there before
  EXPECT_EQ(ReadFileBytes(kName), Lines("first ", 5000));
  for (const std::size_t size : {9000, 100}) {  // longer, then cut to the shorter length
    ASSERT_TRUE(RewriteFile(platform, kName, Lines("next ", size)));
    EXPECT_EQ(ReadFileBytes(kName), Lines("next ", size));
  }
  // A file whose old bytes cannot be read could not have them put back: it is not written over.
  platform.FailOpen(kName, FaultyPlatform::kRead);
  EXPECT_FALSE(RewriteFile(platform, kName, Lines("last ", 200)));
  EXPECT_EQ(ReadFileBytes(kName), Lines("next ", 100));
}

// Leaves every undo file in place, as a writer killed just before removing it does, or a disk that refuses
// the removal.
struct UndoStays : FaultyPlatform {
  static bool IsUndo(const std::string& path) { return path == UndoFileName(kName); }
  bool RemoveFile(const std::string& path) override { return !IsUndo(path) && FaultyPlatform::RemoveFile(path); }
  bool ResizeFile(const std::string& path, std::uint64_t size) override {
    return !IsUndo(path) && FaultyPlatform::ResizeFile(path, size);
  }
};

TEST_F(RewriteFileTest, AnUndoFileSpeaksOnlyForATextItsRewriteLeft) {
  const std::string old = Lines("old ", 300), now = Lines("new ", 200);
  WriteFileBytes(kName, old);
  {
    UndoStays platform;
    platform.FailTemporariesOf(kName);
    ASSERT_TRUE(RewriteFile(platform, kName, now));
  }
  const std::string undo = ReadFileBytes(UndoFileName(kName));
  ASSERT_FALSE(undo.empty());
  const struct {
    const char* what;
    std::string file;
    std::string read;   // what a read gives
    UndoFound found;    // what it says
    std::string after;  // the file once settled
  } cases[] = {
      {"the rewrite was done", now, now, UndoFound::kNone, now},
      {"the rewrite never touched it", old, old, UndoFound::kNone, old},
      {"cut short over the front", now.substr(0, 120) + old.substr(120), old, UndoFound::kRestored, old},
      {"cut short before the cut", now + old.substr(now.size()), old, UndoFound::kRestored, old},
      {"edited by hand since", now.substr(0, 50) + "Email=operator-edit\r\n" + now.substr(50),
       now.substr(0, 50) + "Email=operator-edit\r\n" + now.substr(50), UndoFound::kSetAside,
       now.substr(0, 50) + "Email=operator-edit\r\n" + now.substr(50)},
      {"rewritten by another program", "[Settings]\r\n", "[Settings]\r\n", UndoFound::kSetAside,
       "[Settings]\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(kName, c.file);
    WriteFileBytes(UndoFileName(kName), undo);
    fs::remove(SetAsideUndoName(kName));
    std::string read;
    UndoFound found = UndoFound::kNone;
    ASSERT_EQ(ReadFile(SystemPlatform(), kName, &read, std::numeric_limits<std::size_t>::max(), &found),
              ReadOutcome::kRead);
    EXPECT_TRUE(read == c.read);
    EXPECT_EQ(found, c.found);
    EXPECT_TRUE(ReadFileBytes(kName) == c.file) << "a read changes nothing";

    EXPECT_EQ(SettleUndo(SystemPlatform(), kName), c.found);
    EXPECT_TRUE(ReadFileBytes(kName) == c.after);
    EXPECT_FALSE(FileExistsAt(UndoFileName(kName)));
    EXPECT_EQ(FileExistsAt(SetAsideUndoName(kName)), c.found == UndoFound::kSetAside);
    if (c.found == UndoFound::kSetAside) {
      EXPECT_EQ(ReadFileBytes(SetAsideUndoName(kName)), undo);
    }
  }
}

TEST_F(RewriteFileTest, InPlaceTheNewTextReachesTheFileInOneCallAndANewFileGetsTheUsualMode) {
  // Counts the write calls that reach the file itself: between two of them an editor or a mail attachment
  // would find the file torn.
  struct CountingWrites : FaultyPlatform {
    int calls = 0;
    std::FILE* OpenShared(const std::string& path, const char* mode) override {
      std::FILE* f = FaultyPlatform::OpenShared(path, mode);
      if (!f || path != kName || std::string(mode).find_first_of("wa+") == std::string::npos) return f;
      auto* self = new std::pair<CountingWrites*, std::FILE*>(this, f);
      cookie_io_functions_t io = {};
      io.write = [](void* c, const char* data, std::size_t size) -> ssize_t {
        auto* s = static_cast<std::pair<CountingWrites*, std::FILE*>*>(c);
        ++s->first->calls;
        const std::size_t n = std::fwrite(data, 1, size, s->second);
        std::fflush(s->second);
        return static_cast<ssize_t>(n);
      };
      io.seek = [](void* c, off64_t* offset, int whence) -> int {
        std::FILE* file = static_cast<std::pair<CountingWrites*, std::FILE*>*>(c)->second;
        if (fseeko(file, *offset, whence) != 0) return -1;
        *offset = ftello(file);
        return 0;
      };
      io.close = [](void* c) -> int {
        auto* s = static_cast<std::pair<CountingWrites*, std::FILE*>*>(c);
        const int closed = std::fclose(s->second);
        delete s;
        return closed;
      };
      return fopencookie(self, mode, io);
    }
  };
  const mode_t mask = umask(022);
  umask(mask);
  const struct { std::size_t old, now; int calls; } sizes[] = {
      {15738, 9000, 1}, {9000, 15738, 2}};  // longer: its new length first, then the text
  for (const auto& size : sizes) {
    SCOPED_TRACE(std::to_string(size.old) + " -> " + std::to_string(size.now));
    WriteFileBytes(kName, Lines("old ", size.old));
    CountingWrites platform;
    platform.FailTemporariesOf(kName);
    ASSERT_TRUE(RewriteFile(platform, kName, Lines("new ", size.now)));
    EXPECT_EQ(ReadFileBytes(kName), Lines("new ", size.now));
    EXPECT_EQ(platform.calls, size.calls);
  }
  fs::remove(kName);
  FaultyPlatform platform;
  platform.FailTemporariesOf(kName);
  ASSERT_TRUE(RewriteFile(platform, kName, "new\r\n"));
  struct stat st;
  ASSERT_EQ(stat(kName, &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
}

TEST_F(RewriteFileTest, ALeftoverTemporaryIsNoObstacle) {
  // What a writer that was killed half-way leaves, or another program's file of that name.
  fs::create_directory(kTemp);
  WriteFileBytes(kName, "old\r\n");
  ASSERT_TRUE(RewriteFile(SystemPlatform(), kName, Lines("new ", 5000)));
  EXPECT_EQ(ReadFileBytes(kName), Lines("new ", 5000));
  EXPECT_TRUE(fs::is_directory(kTemp));
}

TEST_F(RewriteFileTest, AFolderIsLookedThroughForLeftoversOnceARun) {
  // A check writes thousands of reports into one folder: listing it again for each would take time by the
  // square of their number. What killed writers left beside any of the files still goes.
  struct CountingPlatform : FaultyPlatform {
    int listings = 0;
    std::string FindFirstMatch(const std::string& pattern,
                               const std::function<bool(const std::string&)>& visit) override {
      ++listings;
      return FaultyPlatform::FindFirstMatch(pattern, visit);
    }
  } platform;
  fs::create_directory("many-reports");
  // A killed writer's temporary: nobody holds it.
  const std::string leftover = "many-reports/OK2ZA.ubn.txt.zorvant-0badf00d-3.tmp";
  const std::string foreign = "many-reports/notes.tmp";
  for (const std::string& f : {leftover, foreign}) WriteFileBytes(f, "half a text");

  for (int n = 0; n < 50; ++n) {
    ASSERT_TRUE(RewriteFile(platform, "many-reports/CALL" + std::to_string(n) + ".ubn.txt", "report\r\n"));
  }
  ASSERT_TRUE(RewriteFile(platform, "many-reports/OK2ZA.ubn.txt", "report\r\n"));
  EXPECT_EQ(platform.listings, 1);
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_TRUE(fs::exists(foreign));
}

TEST_F(RewriteFileTest, AFolderNamedAfterAChangeOfCurrentFolderIsAnotherFolder) {
  // The host moves its current folder (a file dialog does), and the same relative name then means another
  // folder, whose killed writers' temporaries are its own.
  fs::create_directories("first/reports");
  fs::create_directories("second/reports");
  // A killed writer's temporary: nobody holds it.
  const std::string leftover = "second/reports/OK2ZA.ubn.txt.zorvant-0badf00d-3.tmp";
  WriteFileBytes(leftover, "half a text");
  const fs::path here = fs::current_path();
  fs::current_path(here / "first");
  ASSERT_TRUE(RewriteFile(SystemPlatform(), "reports/OK2ZA.ubn.txt", "report\r\n"));
  fs::current_path(here / "second");
  ASSERT_TRUE(RewriteFile(SystemPlatform(), "reports/OK2ZA.ubn.txt", "report\r\n"));
  fs::current_path(here);
  EXPECT_FALSE(fs::exists(leftover));
}

}  // namespace
}  // namespace zorvant
