// `zorvant check` reads the logs and writes the reports on several threads at once, all through one
// platform. Here the test platform that fails on request is that one, with more threads than the machine has
// processors, so the check's threads meet in it as they do in the product's own platform. Built with
// ZORVANT_TSAN this shows any unguarded state they share, the test platform's included.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "cli/check.h"
#include "cli/score.h"
#include "tests/support/test_support.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using zorvant::testing::FaultyPlatform;
using zorvant::testing::ReadFileBytes;
using zorvant::testing::WriteFileBytes;

class CheckThreadsTest : public zorvant::testing::InTempDir {};

TEST_F(CheckThreadsTest, ManyLogsOnEightThreadsThroughAFailingPlatform) {
  // Twenty pairs of stations that worked each other once.
  fs::create_directory("logs");
  constexpr int kPairs = 20;
  auto log = [](const std::string& own, const std::string& other) {
    return "START-OF-LOG: 3.0\r\nCALLSIGN: " + own + "\r\nQSO: 3585 RY 2026-03-14 1400 " + own + " 599 001 " +
           other + " 599 001\r\nEND-OF-LOG:\r\n";
  };
  for (int n = 0; n < kPairs; ++n) {
    const std::string a = "UA3A" + std::string(1, static_cast<char>('A' + n));
    const std::string b = "DL1B" + std::string(1, static_cast<char>('A' + n));
    WriteFileBytes("logs/" + a + ".log", log(a, b));
    WriteFileBytes("logs/" + b + ".log", log(b, a));
  }

  FaultyPlatform platform;
  platform.FailWritesAfter(10, "reports/UA3AC.ubn.txt");
  CheckOptions options;
  options.folder = "logs";
  options.start = "2026-03-14 14:00";
  options.out = "reports";
  options.threads = 8;
  std::ostringstream out, err;
  EXPECT_EQ(RunCheck(options, out, err, platform), kUnreadableLog);
  EXPECT_NE(err.str().find("reports/UA3AC.ubn.txt: cannot be written"), std::string::npos) << err.str();

  // Every other report whole, and every one of them opened through the platform.
  std::set<std::string> reports;
  for (const auto& entry : fs::directory_iterator("reports")) reports.insert(entry.path().filename().string());
  for (int n = 0; n < kPairs; ++n) {
    for (const std::string& call : {"UA3A" + std::string(1, static_cast<char>('A' + n)),
                                   "DL1B" + std::string(1, static_cast<char>('A' + n))}) {
      if (call == "UA3AC") continue;
      EXPECT_EQ(reports.count(call + ".ubn.txt"), 1u) << call;
      EXPECT_NE(ReadFileBytes("reports/" + call + ".ubn.txt").find("Checked"), std::string::npos) << call;
    }
  }
  int reportOpens = 0;
  for (const auto& [path, mode] : platform.opens()) reportOpens += path.rfind("reports/", 0) == 0;
  EXPECT_GE(reportOpens, 2 * kPairs - 1);
}

}  // namespace
}  // namespace cli
