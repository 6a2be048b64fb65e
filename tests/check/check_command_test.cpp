#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/check.h"
#include "cli/score.h"
#include "tests/support/test_support.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using zorvant::testing::FileExistsAt;
using zorvant::testing::ReadFileBytes;
using zorvant::testing::WriteFileBytes;

struct Outcome {
  int code = -1;
  std::string out, err;
};

Outcome Check(std::vector<std::string> args, zorvant::Platform& platform = zorvant::SystemPlatform()) {
  args.insert(args.begin(), {"zorvant", "check"});
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  CheckOptions options;
  Outcome run;
  if (!ParseCheckOptions(static_cast<int>(argv.size()), argv.data(), 2, &options, &run.err)) {
    run.code = kBadUsage;
    return run;
  }
  std::ostringstream out, err;
  run.code = RunCheck(options, out, err, platform);
  run.out = out.str();
  run.err = err.str();
  return run;
}

std::string Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos ? "" : "\"" + part + "\" is not in:\n" + text;
}

class CheckCommandTest : public zorvant::testing::InTempDir {
 protected:
  // UA3AA and DL1BB, who worked each other once.
  void WriteTwoLogs() {
    fs::create_directory("logs");
    WriteFileBytes("logs/UA3AA.log",
                   "START-OF-LOG: 3.0\r\nCALLSIGN: UA3AA\r\n"
                   "QSO: 3585 RY 2026-03-14 1400 UA3AA 599 001 DL1BB 599 001\r\nEND-OF-LOG:\r\n");
    WriteFileBytes("logs/DL1BB.log",
                   "START-OF-LOG: 3.0\r\nCALLSIGN: DL1BB\r\n"
                   "QSO: 3585 RY 2026-03-14 1400 DL1BB 599 001 UA3AA 599 001\r\nEND-OF-LOG:\r\n");
  }
};

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

TEST_F(CheckCommandTest, ReportsEveryLogWithItsEvidence) {
  fs::create_directory("logs");
  // UA3AA: one contact confirmed, one NIL, and a line the reader cannot use.
  WriteFileBytes("logs/UA3AA.log",
                 "START-OF-LOG: 3.0\r\nCALLSIGN: UA3AA\r\n"
                 "QSO: 3585 RY 2026-03-14 1400 UA3AA 599 001 DL1BB 599 001\r\n"
                 "QSO: 7040 RY 2026-03-14 1410 UA3AA 599 002 DL1BB 599 002\r\n"
                 "QSO: 7040 RY 2026-03-14 14:20 UA3AA 599 003 DL1BB 599 003\r\n"
                 "END-OF-LOG:\r\n");
  // DL1BB, an ADIF log named after the call, holds the first contact and the second on another band.
  WriteFileBytes(
      "logs/DL1BB.adi",
      "<EOH>\r\n"
      "<CALL:5>UA3AA<QSO_DATE:8>20260314<TIME_ON:4>1400<FREQ:5>3.585<MODE:4>RTTY<STX:3>001<SRX:3>001<EOR>\r\n"
      "<CALL:5>UA3AA<QSO_DATE:8>20260314<TIME_ON:4>1410<FREQ:6>14.080<MODE:4>RTTY<STX:3>002<SRX:3>002<EOR>"
      "\r\n");
  // Calls that must not become paths or markup, a file that is no log, and a second log of one station.
  WriteFileBytes("logs/aux.log", "START-OF-LOG: 3.0\r\nCALLSIGN: AUX\r\nEND-OF-LOG:\r\n");
  WriteFileBytes("logs/odd.log",
                 "START-OF-LOG: 3.0\r\nCALLSIGN: ../<b>R1\r\n"
                 "QSO: 3585 RY 2026-03-14 1500 R1 599 001 DL1BB 599 009\r\nEND-OF-LOG:\r\n");
  WriteFileBytes("logs/notes.txt", "sent by mail\r\n");
  WriteFileBytes("logs/UA3AA.v2.log", "START-OF-LOG: 3.0\r\nCALLSIGN: UA3AA\r\nEND-OF-LOG:\r\n");

  const Outcome run = Check({"logs", "--start", "2026-03-14 14:00", "--out", "reports", "--html"});
  ASSERT_EQ(run.code, kScored) << run.err;
  EXPECT_EQ(Contains(run.err, "logs/UA3AA.log: line 5: date and time \"2026-03-14 14:20\""), "");
  EXPECT_EQ(Contains(run.err, "logs/notes.txt: neither an ADIF nor a Cabrillo log"), "");
  const std::string summary = ReadFileBytes("reports/summary.txt");
  EXPECT_EQ(run.out.rfind(summary, 0), 0u) << run.out;
  for (const char* part : {"Logs checked: 4 (Cabrillo 3, ADIF 1)", "Logs not checked: 2",
                           "logs/notes.txt: neither an ADIF nor a Cabrillo log",
                           "UA3AA.v2.log: a second log of UA3AA (the first is UA3AA.log)",
                           "  confirmed               2", "  NIL                     3"}) {
    EXPECT_EQ(Contains(summary, part), "");
  }

  const std::string ua = ReadFileBytes("reports/UA3AA.ubn.txt");
  for (const char* part : {"Claimed           2        4            2          8",
                           "Checked           1        2            1          2", "NIL, line 4\n",
                           "QSO:  7040 RY 2026-03-14 1410 UA3AA         599 002    DL1BB         599 002\n",
                           "DL1BB sent a log without it; its nearest contact with UA3AA: DL1BB.adi line 3\n"
                           "  QSO: 14080 RY 2026-03-14 1410 DL1BB",
                           "Problems with the log: 1\n  logs/UA3AA.log: line 5"}) {
    EXPECT_EQ(Contains(ua, part), "");
  }
  // A report a checked log, results.txt, results.html, summary.txt, and nothing anywhere else.
  std::set<std::string> written;
  for (const auto& e : fs::directory_iterator("reports")) written.insert(e.path().filename().string());
  EXPECT_EQ(written, (std::set<std::string>{"..__B_R1.ubn.txt", "AUX_.ubn.txt", "DL1BB.ubn.txt",
                                            "UA3AA.ubn.txt", "results.html", "results.txt", "summary.txt"}));
  std::set<std::string> here;
  for (const auto& e : fs::directory_iterator(".")) here.insert(e.path().filename().string());
  EXPECT_EQ(here, (std::set<std::string>{"Plugins", "logs", "reports"}));

  const std::string results = ReadFileBytes("reports/results.txt");
  EXPECT_LT(results.find("UA3AA"), results.find("../<B>R1")) << results;  // by checked score, then claimed
  EXPECT_LT(results.find("../<B>R1"), results.find("AUX")) << results;
  const std::string html = ReadFileBytes("reports/results.html");
  EXPECT_EQ(Contains(html, "<td class=\"call\">../&lt;B&gt;R1</td>"), "");
  EXPECT_EQ(html.find("<B>"), std::string::npos);
}

TEST_F(CheckCommandTest, RealLogsGoThrough) {
  const Outcome run = Check({std::string(ZORVANT_SOURCE_DIR) + "/tests/data/samples", "--start",
                             "2018-09-02 07:00", "--out", "reports"});
  ASSERT_EQ(run.code, kScored) << run.err;
  EXPECT_EQ(Contains(run.out, "Logs checked: 6 (Cabrillo 3, ADIF 3)"), "");
  EXPECT_EQ(Contains(run.out, "SOURCES.md: neither an ADIF nor a Cabrillo log"), "");
  // The sample named M0NOM-P_contest is M0NOM/P's by its station call, not by its name.
  EXPECT_TRUE(FileExistsAt("reports/M0NOM_P.ubn.txt"));
}

TEST_F(CheckCommandTest, RefusesWhatItCannotCheck) {
  fs::create_directory("logs");
  const struct {
    std::vector<std::string> args;
    int code;
    const char* reason;
  } cases[] = {
      {{"logs"}, kBadUsage, "--start \"YYYY-MM-DD HH:MM\" is needed"},
      {{"--start", "2026-03-14 14:00"}, kBadUsage, "no folder of logs given"},
      {{"logs", "--start", "2026-13-14 14:00"}, kBadUsage, "--start wants"},
      {{"logs", "--start", "2026-03-14 14:00", "--window", "-1"}, kBadUsage, "--window wants whole minutes"},
      {{"logs", "--start", "2026-03-14 14:00", "--window", "3m"}, kBadUsage, "--window wants whole minutes"},
      {{"logs", "--start", "2026-03-14 14:00", "--out", ""}, kBadUsage, "--out needs a folder"},
      {{"logs", "other", "--start", "2026-03-14 14:00"}, kBadUsage, "one folder of logs only"},
      {{"logs", "--start", "2026-03-14 14:00", "--call", "X"}, kBadUsage, "unknown option --call"},
      {{"missing", "--start", "2026-03-14 14:00"}, kUnreadableLog, "missing: cannot be read"},
  };
  for (const auto& c : cases) {
    const Outcome run = Check(c.args);
    EXPECT_EQ(run.code, c.code) << c.reason;
    EXPECT_EQ(Contains(run.err, c.reason), "");
    EXPECT_EQ(run.out, "");
  }
  WriteFileBytes("taken", "");
  EXPECT_EQ(Check({"logs", "--start", "2026-03-14 14:00", "--out", "taken"}).code, kUnreadableLog);
}

// Whatever stands at a report's name is replaced, never written through: a link planted in the folder
// changes nothing outside it. A folder that is a link, or someone else's, takes no reports at all.
TEST_F(CheckCommandTest, ReportsReplaceLinksAndNeverFollowThem) {
  WriteTwoLogs();
  fs::create_directories("victim");
  WriteFileBytes("victim/precious.txt", "precious");
  fs::create_directories("reports");
  fs::create_symlink("../victim/precious.txt", "reports/UA3AA.ubn.txt");
  fs::create_symlink("../victim/planted.txt", "reports/results.txt");
  const Outcome run = Check({"logs", "--start", "2026-03-14 14:00", "--out", "reports"});
  ASSERT_EQ(run.code, kScored) << run.err;
  EXPECT_EQ(ReadFileBytes("victim/precious.txt"), "precious");
  EXPECT_FALSE(fs::exists(fs::symlink_status("victim/planted.txt")));
  for (const char* report : {"reports/UA3AA.ubn.txt", "reports/results.txt"}) {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(report))) << report;
  }
  EXPECT_EQ(Contains(ReadFileBytes("reports/UA3AA.ubn.txt"), "UBN report of UA3AA"), "");

  fs::create_directory_symlink("reports", "linked");
  std::vector<std::pair<std::string, std::string>> refused = {{"linked", "linked: is a link"}};
  // Only the superuser can give a folder to someone else.
  if (geteuid() == 0) {
    fs::create_directory("theirs");
    ASSERT_EQ(chown("theirs", 4242, 4242), 0);
    refused.emplace_back("theirs", "theirs: belongs to another user");
  }
  for (const auto& [out, reason] : refused) {
    const Outcome refusal = Check({"logs", "--start", "2026-03-14 14:00", "--out", out});
    EXPECT_EQ(refusal.code, kUnreadableLog) << out;
    EXPECT_EQ(Contains(refusal.err, reason), "");
  }
  if (fs::exists("theirs")) EXPECT_EQ(Names("theirs"), std::set<std::string>{});
}

// A report that cannot be written keeps what the last run wrote, whole, and leaves nothing beside it.
TEST_F(CheckCommandTest, AFailedWriteKeepsTheLastRunsReport) {
  WriteTwoLogs();
  ASSERT_EQ(Check({"logs", "--start", "2026-03-14 14:00", "--out", "reports"}).code, kScored);
  const std::string summary = ReadFileBytes("reports/summary.txt");
  const std::set<std::string> written = Names("reports");
  WriteFileBytes("logs/OK1XYZ.log", "START-OF-LOG: 3.0\r\nCALLSIGN: OK1XYZ\r\nEND-OF-LOG:\r\n");
  zorvant::testing::FaultyPlatform full;
  full.FailWritesAfter(100, "reports/summary.txt");
  const Outcome run = Check({"logs", "--start", "2026-03-14 14:00", "--out", "reports"}, full);
  EXPECT_EQ(run.code, kUnreadableLog);
  EXPECT_EQ(Contains(run.err, "reports/summary.txt: cannot be written"), "");
  EXPECT_EQ(ReadFileBytes("reports/summary.txt"), summary);
  std::set<std::string> now = Names("reports");
  now.erase("OK1XYZ.ubn.txt");
  EXPECT_EQ(now, written);
}

}  // namespace
}  // namespace cli
