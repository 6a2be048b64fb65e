#include "cli/score.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/zorvant_exe.h"
#include "tests/logs/failing_file.h"
#include "tests/support/test_support.h"

namespace cli {
namespace {

using zorvant::testing::ReadFileBytes;
using zorvant::testing::WriteFileBytes;

const std::string kData = std::string(ZORVANT_SOURCE_DIR) + "/data/";
const std::string kLogs = std::string(ZORVANT_SOURCE_DIR) + "/tests/data/logs/";

using zorvant::testing::GoldenArgs;
using Outcome = zorvant::testing::ExeRun;

// With `log`, the run reads that stream in place of the file its options name.
Outcome Score(std::vector<std::string> args, logs::LogStream* log = nullptr) {
  if (zorvant::testing::ZorvantExe() && !log) return zorvant::testing::RunZorvantExe(args);
  return zorvant::testing::RunHere(std::move(args), zorvant::SystemPlatform(), log);
}

class ScoreTest : public zorvant::testing::InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    // The host identifies itself in its own ini file, which the plug-in finds in the current folder.
    WriteFileBytes("Tarq2.ini", "[Program]\r\nTarq=stand-in 1.0\r\n");
  }
};

TEST_F(ScoreTest, BundledLogGivesTheGoldenReportAndCabrilloFile) {
  const Outcome run = Score(GoldenArgs(kData + "sample-contest.adi"));
  ASSERT_EQ(run.code, kScored) << run.err;
  EXPECT_EQ(run.out, ReadFileBytes(kData + "sample-contest.report.txt") + "File produced: UA3XYZ.cbr\n");
  EXPECT_EQ(ReadFileBytes("UA3XYZ.cbr"), ReadFileBytes(kData + "sample-contest.cbr"));
  EXPECT_NE(run.err.find("4 rejected (see BadQSO_StatsZORVANT_14_03_2026.txt)"), std::string::npos)
      << run.err;

  std::vector<std::string> html = GoldenArgs(kData + "sample-contest.adi");
  html.push_back("--html");
  EXPECT_EQ(Score(html).out,
            ReadFileBytes(kData + "sample-contest.report.html") + "File produced: UA3XYZ.cbr\n");
}

TEST_F(ScoreTest, RefusesWhatItCannotScore) {
  WriteFileBytes("binary.adi", std::string("\x7f"
                                           "ELF\x01\x01\x00\x00\xff\xfe",
                                           10));
  WriteFileBytes("nocall.adi",
                 "<CALL:5>DL1AB<QSO_DATE:8>20260314<TIME_ON:4>1401<BAND:3>80m<MODE:4>RTTY<EOR>");
  const std::string log = kData + "sample-contest.adi";
  const struct {
    std::vector<std::string> args;
    int code;
    const char* reason;
  } cases[] = {
      {{"score", "missing.adi"}, kUnreadableLog, "missing.adi"},
      {{"score", "binary.adi"}, kUnreadableLog, "neither an ADIF nor a Cabrillo log"},
      {{"score", "nocall.adi"}, kBadUsage, "give --call"},
      {{"score", log, "--start", "2026-13-01 14:00"}, kBadUsage, "--start wants"},
      {{"score", log, "--start", "14:00"}, kBadUsage, "--start wants"},
      {{"score", log, "--call", ""}, kBadUsage, "--call needs a callsign, got an empty text"},
      {{"score", log, "--start", ""}, kBadUsage, "--start wants \"YYYY-MM-DD HH:MM\", got an empty text"},
      // A line break would add a line of its own to the Cabrillo file: a fake QSO, an early end.
      {{"score", log, "--name", "Ivan\r\nQSO: 14000 RY 2026-03-14 1400 UA3XYZ 599 001 FAKE 599 001"},
       kBadUsage,
       "--name takes a single line"},
      {{"score", log, "--club", "Club\nEND-OF-LOG:"}, kBadUsage, "--club takes a single line"},
      {{"score", log, "--address", "Lenina 1\r\nMoscow"},
       kBadUsage,
       "write \"<CR>\" where the address breaks"},
      {{"score", log, "--call", "UA3XYZ\n"}, kBadUsage, "--call takes a single line"},
      // The log's own call is the default of the Operators setting: its line breaks would add settings.
      {{"score", kLogs + "own-call-line-break.adi", "--cabrillo"},
       kBadUsage,
       "the log's own call holds a line break (after \"UA3XYZ\"): give --call"},
      {{"score", log, "--bogus"}, kBadUsage, "unknown option --bogus"},
      {{"score", log, "--name"}, kBadUsage, "--name needs a value"},
      {{"score", log, log}, kBadUsage, "one log file only"},
      {{"score"}, kBadUsage, "no log file given"},
  };
  for (const auto& c : cases) {
    const Outcome run = Score(c.args);
    EXPECT_EQ(run.code, c.code) << c.reason;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(ScoreTest, TheCabrilloFileIsAPlainFileInTheCurrentFolder) {
  const std::string log = kData + "sample-contest.adi";
  const std::pair<const char*, const char*> cases[] = {
      {"C:", "C_.cbr"}, {"AUX", "AUX_.cbr"}, {"com1", "COM1_.cbr"}, {"ua3xyz/p", "UA3XYZ_P.cbr"}};
  for (const auto& [call, file] : cases) {
    const Outcome run = Score({"score", log, "--cabrillo", "--call", call});
    ASSERT_EQ(run.code, kScored) << run.err;
    EXPECT_EQ(run.out.substr(run.out.rfind("File produced: ")), std::string("File produced: ") + file + "\n");
    EXPECT_NE(ReadFileBytes(file).find("\r\nEND-OF-LOG:\r\n"), std::string::npos) << file;
  }
}

TEST_F(ScoreTest, LineBreaksInTheSoapboxStartSoapboxLines) {
  const Outcome run = Score({"score", kData + "sample-contest.adi", "--cabrillo", "--soapbox",
                             "one\r\nQSO: two", "--soapbox", "three\nEND-OF-LOG:"});
  ASSERT_EQ(run.code, kScored) << run.err;
  EXPECT_NE(
      ReadFileBytes("UA3XYZ.cbr")
          .find("\r\nSOAPBOX: one\r\nSOAPBOX: QSO: two\r\nSOAPBOX: three\r\nSOAPBOX: END-OF-LOG:\r\nQSO:"),
      std::string::npos);
}

TEST_F(ScoreTest, DefaultsComeFromTheLog) {
  // Own call from STATION_CALLSIGN, the start from the hour of the earliest contact.
  WriteFileBytes(
      "log.adi",
      "<STATION_CALLSIGN:6>ua3xyz<CALL:5>DL1AB<QSO_DATE:8>20260314<TIME_ON:4>1612<BAND:3>80m"
      "<MODE:4>RTTY<STX:3>001<SRX:2>12<EOR>"
      "<CALL:5>DL1AB<QSO_DATE:8>20260314<TIME_ON:4>1401<BAND:3>80m<MODE:4>RTTY<STX:3>002<SRX:2>13<EOR>");
  const Outcome run = Score({"score", "log.adi"});
  ASSERT_EQ(run.code, kScored) << run.err;
  EXPECT_EQ(run.out.substr(0, run.out.find("Band")),
            "  ZORVANT Contest 14.03.2026 \r\n     Contestant: UA3XYZ\r\n");
  // 14:00 start: the 16:12 contact is in the second tour, so the two are no dupes.
  EXPECT_NE(run.out.find("80m\t 2\t  4\t    2\r\n"), std::string::npos) << run.out;
}

// A log whose reading fails part-way scores nothing, whether or not the contest's defaults took a pass over
// it first: a partial score must not pass for the log's, nor reach the Cabrillo file or the settings.
TEST_F(ScoreTest, AReadErrorFailsTheRun) {
  if (zorvant::testing::ZorvantExe()) GTEST_SKIP() << "the read error is injected into the code in-process";
  const std::string log = kData + "sample-contest.adi";
  const std::string bytes = ReadFileBytes(log);
  ASSERT_GT(bytes.size(), 40000u);
  const std::vector<std::string> runs[] = {
      {"score", log, "--cabrillo"},  // the defaults from the log: two passes
      {"score", log, "--cabrillo", "--call", "UA3XYZ", "--start", "2026-03-14 14:00"},  // one pass
  };
  for (const std::vector<std::string>& args : runs) {
    logs::testing::FailingFile file(bytes, 20000);
    logs::LogStream stream(log, file.file(), /*piece=*/4096);
    const Outcome run = Score(args, &stream);
    EXPECT_EQ(run.code, kUnreadableLog) << args.size();
    EXPECT_EQ(run.out, "");
    const std::string last = run.err.substr(run.err.rfind('\n', run.err.size() - 2) + 1);
    EXPECT_EQ(last, "zorvant: " + log + ": read error after 20000 bytes: " + std::strerror(EIO) +
                        "; nothing is scored\n")
        << run.err;
    EXPECT_FALSE(zorvant::testing::FileExistsAt("UA3XYZ.cbr"));
    EXPECT_EQ(ReadFileBytes("Plugins/ZORVANT.ini").find("Claimed"), std::string::npos);
  }
  // The same log read whole scores, so what failed above was the reading alone.
  logs::testing::FailingFile whole(bytes, bytes.size());
  logs::LogStream stream(log, whole.file(), 4096);
  EXPECT_EQ(Score({"score", log, "--cabrillo"}, &stream).code, kScored);
  EXPECT_TRUE(zorvant::testing::FileExistsAt("UA3XYZ.cbr"));
}

// Logs of other contests, as operators have them: every one is read and scored, and what the plug-in cannot
// use is said rather than hidden.
TEST_F(ScoreTest, ReadsEveryRealLogItIsGiven) {
  const std::string folder = std::string(ZORVANT_SOURCE_DIR) + "/tests/data/samples/";
  for (const char* name :
       {"FLE-2018-09-02_M0NOM-P_contest.adi", "FLE-2018-10-04_M0NOM_FT8.adi", "IARU-HF-2023_I44Z.log",
        "IARU-HF-2025_GB0WR.log", "Minos-2021-07-06_M0KPW_144MHz.adi", "NAQP-RTTY-2022_KI2D.log"}) {
    const Outcome run = Score({"score", folder + name});
    EXPECT_EQ(run.code, kScored) << name << ": " << run.err;
    EXPECT_NE(run.out.find("Score = "), std::string::npos) << name;
    EXPECT_NE(run.err.find(" contacts read from "), std::string::npos) << name << ": " << run.err;
  }
  // The RTTY log is all contest modes on contest bands; the others are mostly not.
  const Outcome rtty = Score({"score", folder + "NAQP-RTTY-2022_KI2D.log"});
  EXPECT_NE(rtty.err.find("360 contacts read"), std::string::npos) << rtty.err;
  EXPECT_NE(rtty.err.find("360 stored, 0 rejected"), std::string::npos) << rtty.err;
}

}  // namespace
}  // namespace cli
