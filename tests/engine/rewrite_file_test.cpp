#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "engine/file_text.h"
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

class RewriteFileTest : public testing::InTempDir {};

TEST_F(RewriteFileTest, AWriteFailingAnywhereLeavesNoFileShorterThanBoth) {
  // The size of the bundled log's Cabrillo file, and a disk that takes 8192 bytes of it.
  const std::string longer = Lines("old ", 15738), shorter = Lines("new ", 9000);
  const struct { std::string old, now; } pairs[] = {{longer, shorter}, {shorter, Lines("new ", 15738)}};
  for (const bool folderInTheWay : {false, true}) {
    for (const auto& [old, now] : pairs) {
      for (const std::size_t at : {std::size_t{0}, std::size_t{1}, std::size_t{8192}, now.size() - 1}) {
        SCOPED_TRACE("temporary blocked " + std::to_string(folderInTheWay) + ", " +
                     std::to_string(old.size()) + " -> " + std::to_string(now.size()) +
                     " bytes, failing at " + std::to_string(at));
        WriteFileBytes(kName, old);
        if (folderInTheWay) fs::create_directory(kTemp);
        FaultyPlatform platform;
        platform.FailWritesAfter(at);

        EXPECT_FALSE(RewriteFile(platform, kName, now));
        const std::string file = ReadFileBytes(kName);
        EXPECT_GE(file.size(), std::min(old.size(), now.size()));
        if (folderInTheWay) {
          // Overwritten in place up to the failure; past it the old bytes are still there.
          EXPECT_EQ(file, now.substr(0, at) + old.substr(std::min(at, old.size())));
          EXPECT_TRUE(fs::is_directory(kTemp));
        } else {
          EXPECT_EQ(file, old);
          EXPECT_FALSE(FileExistsAt(kTemp));
        }
        fs::remove_all(kTemp);
      }
    }
  }
}

TEST_F(RewriteFileTest, WithoutATemporaryTheFileIsStillWrittenWhole) {
  fs::create_directory(kTemp);
  FaultyPlatform platform;
  ASSERT_TRUE(RewriteFile(platform, kName, Lines("first ", 5000)));  // nothing there before
  EXPECT_EQ(ReadFileBytes(kName), Lines("first ", 5000));
  for (const std::size_t size : {9000, 100}) {  // longer, then cut to the shorter length
    ASSERT_TRUE(RewriteFile(platform, kName, Lines("next ", size)));
    EXPECT_EQ(ReadFileBytes(kName), Lines("next ", size));
  }
}

}  // namespace
}  // namespace zorvant
