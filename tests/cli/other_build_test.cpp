// The other build of the command (ZORVANT_EXE: zorvant.exe under Wine, in the test command) prints the same
// and leaves the same files as this one, byte for byte: the reports with their CR LF line ends, the
// Cabrillo and bad-QSO files, the settings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/check.h"
#include "cli/score.h"
#include "tests/cli/zorvant_exe.h"
#include "tests/support/test_support.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using zorvant::testing::ReadFileBytes;
using zorvant::testing::WriteFileBytes;

const std::string kSource = ZORVANT_SOURCE_DIR;

// Every file below `folder`, by its path there, with its bytes.
std::map<std::string, std::string> Files(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (e.is_regular_file())
      files[fs::relative(e.path(), folder).string()] = ReadFileBytes(e.path().string());
  }
  return files;
}

class OtherBuildTest : public zorvant::testing::InTempDir {};

TEST_F(OtherBuildTest, ChecksAndScoresToTheSameBytes) {
  if (!zorvant::testing::ZorvantExe()) GTEST_SKIP() << "ZORVANT_EXE names no other build of the command";
  std::vector<std::string> golden = zorvant::testing::GoldenArgs(kSource + "/data/sample-contest.adi");
  golden.insert(golden.end(), {"--cabrillo", "--html"});
  const std::vector<std::vector<std::string>> runs = {
      {"check", "logs", "--start", "2026-03-14 14:00", "--out", "reports", "--html"},
      golden,
      {"score", "logs/OK2ZA.log", "--start", "2026-03-14 14:00", "--cabrillo"},
      {"check", "logs/..", "--start", "2026-03-14 14:00", "--out", "none"},
  };
  for (const std::string folder : {"here", "there"}) {
    fs::create_directories(folder + "/Plugins");
    fs::copy(kSource + "/tests/data/check/logs", folder + "/logs");
    WriteFileBytes(folder + "/Tarq2.ini", "[Program]\r\nTarq=stand-in 1.0\r\n");
  }
  for (const std::vector<std::string>& run : runs) {
    SCOPED_TRACE(run[0] + " " + run[1]);
    ASSERT_EQ(chdir("here"), 0);
    const zorvant::testing::ExeRun here = zorvant::testing::RunHere(run);
    EXPECT_NE(here.code, kBadUsage) << here.err;
    ASSERT_EQ(chdir(".."), 0);
    const zorvant::testing::ExeRun there = zorvant::testing::RunZorvantExe(run, "there");
    EXPECT_EQ(there.code, here.code);
    EXPECT_EQ(there.out, here.out);
    EXPECT_EQ(there.err, here.err);
  }
  const std::map<std::string, std::string> here = Files("here"), there = Files("there");
  EXPECT_GT(here.size(), 15u);
  for (const auto& [name, bytes] : here) {
    const auto other = there.find(name);
    if (other == there.end()) {
      ADD_FAILURE() << name << " is missing";
    } else {
      EXPECT_TRUE(other->second == bytes) << name << " differs";
    }
  }
  for (const auto& [name, bytes] : there) {
    // Windows keeps the settings lock file beside the ini, as its lock is a byte of that file; POSIX removes
    // it while still held.
    if (name.size() > 9 && name.compare(name.size() - 9, 9, ".ini.lock") == 0) continue;
    EXPECT_TRUE(here.count(name)) << name << " is not written here";
  }
}

}  // namespace
}  // namespace cli
