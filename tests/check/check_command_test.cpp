#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <set>
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
using zorvant::testing::FileExistsAt;
using zorvant::testing::ReadFileBytes;
using zorvant::testing::WriteFileBytes;

using Outcome = zorvant::testing::ExeRun;

Outcome Check(std::vector<std::string> args, zorvant::Platform& platform = zorvant::SystemPlatform()) {
  args.insert(args.begin(), "check");
  if (zorvant::testing::ZorvantExe()) return zorvant::testing::RunZorvantExe(args);
  return zorvant::testing::RunHere(std::move(args), platform);
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

// A report's text: its lines end in CR LF, as the plug-in's own files do on every system.
std::string Report(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
      ++i;
    else
      EXPECT_NE(bytes[i], '\n') << path << ": a line ends without CR at " << i;
    text += bytes[i];
  }
  return text;
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

// Control characters in anything a report or the command's output shows would reach the sponsor's terminal
// or editor as commands; only line ends may stand in them.
std::string Printable(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool lineEnd = c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
    if ((c < 0x20 || c == 0x7f) && !lineEnd)
      return "a control character at " + std::to_string(i) + " of:\n" + text;
  }
  return "";
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
  // DL1BB, an ADIF log named after the call, holds the first contact and the second on another band, and
  // a contact with a "call" that would clear the screen.
  WriteFileBytes(
      "logs/DL1BB.adi",
      "<EOH>\r\n"
      "<CALL:5>UA3AA<QSO_DATE:8>20260314<TIME_ON:4>1400<FREQ:5>3.585<MODE:4>RTTY<STX:3>001<SRX:3>001<EOR>\r\n"
      "<CALL:5>UA3AA<QSO_DATE:8>20260314<TIME_ON:4>1410<FREQ:6>14.080<MODE:4>RTTY<STX:3>002<SRX:3>002<EOR>"
      "\r\n"
      "<CALL:6>\x1b[2J\nX<QSO_DATE:8>20260314<TIME_ON:4>1420<FREQ:5>3.585<MODE:4>RTTY<STX:3>003<SRX:1>\a<EOR>"
      "\r\n");
  // A call that is a device name must not become one as a file name; calls that do not read as calls
  // (markup and a path, a word, a terminal's command) leave their logs unread; a file that is no log.
  WriteFileBytes("logs/com.log", "START-OF-LOG: 3.0\r\nCALLSIGN: com1\r\nEND-OF-LOG:\r\n");
  WriteFileBytes("logs/odd.log",
                 "START-OF-LOG: 3.0\r\nCALLSIGN: ../<b>R1\r\n"
                 "QSO: 3585 RY 2026-03-14 1500 R1 599 001 DL1BB 599 009\r\nEND-OF-LOG:\r\n");
  WriteFileBytes("logs/word.log", "START-OF-LOG: 3.0\r\nCALLSIGN: AUX\r\nEND-OF-LOG:\r\n");
  WriteFileBytes("logs/title.log", "START-OF-LOG: 3.0\r\nCALLSIGN: \x1b]2;R1XX\a\r\nEND-OF-LOG:\r\n");
  WriteFileBytes("logs/notes.txt", "sent by mail\r\n");

  const Outcome run = Check({"logs", "--start", "2026-03-14 14:00", "--out", "reports", "--html"});
  ASSERT_EQ(run.code, kScored) << run.err;
  EXPECT_EQ(Contains(run.err, "logs/UA3AA.log: line 5: date and time \"2026-03-14 14:20\""), "");
  EXPECT_EQ(Contains(run.err, "logs/notes.txt: neither an ADIF nor a Cabrillo log"), "");
  const std::string summary = Report("reports/summary.txt");
  EXPECT_EQ(run.out.rfind(ReadFileBytes("reports/summary.txt"), 0), 0u) << run.out;
  for (const char* part :
       {"Logs checked: 3 (Cabrillo 2, ADIF 1)", "Logs not checked: 4",
        "logs/notes.txt: neither an ADIF nor a Cabrillo log",
        "logs/odd.log: its CALLSIGN: line, \"../<B>R1\", does not read as a callsign; not read",
        "logs/word.log: its CALLSIGN: line, \"AUX\", does not read as a callsign; not read",
        "logs/title.log: its CALLSIGN: line, \"?]2;R1XX?\", does not read as a callsign; not read",
        "  confirmed                         2", "  NIL                               2",
        "  unique                            1"}) {
    EXPECT_EQ(Contains(summary, part), "");
  }

  const std::string ua = Report("reports/UA3AA.ubn.txt");
  for (const char* part : {"Claimed           2        4            2          8",
                           "Checked           1        2            1          2", "NIL, line 4\n",
                           "QSO:  7040 RY 2026-03-14 1410 UA3AA         599 002    DL1BB         599 002\n",
                           "DL1BB sent a log without it; its nearest contact with UA3AA: DL1BB.adi line 3\n"
                           "  QSO: 14080 RY 2026-03-14 1410 DL1BB",
                           "Problems with the log: 1\n  logs/UA3AA.log: line 5"}) {
    EXPECT_EQ(Contains(ua, part), "");
  }
  EXPECT_EQ(Contains(Report("reports/DL1BB.ubn.txt"), "  ?[2J?X sent no log and is in no other log"), "");
  // A report a checked log, results.txt, results.html, summary.txt, and nothing anywhere else.
  EXPECT_EQ(Names("reports"), (std::set<std::string>{"COM1_.ubn.txt", "DL1BB.ubn.txt", "UA3AA.ubn.txt",
                                                     "results.html", "results.txt", "summary.txt"}));
  EXPECT_EQ(Names("."), (std::set<std::string>{"Plugins", "logs", "reports"}));
  for (const std::string& name : Names("reports")) EXPECT_EQ(Printable(ReadFileBytes("reports/" + name)), "");
  EXPECT_EQ(Printable(run.out), "");
  EXPECT_EQ(Printable(run.err), "");

  const std::string results = Report("reports/results.txt");
  EXPECT_LT(results.find("UA3AA"), results.find("COM1")) << results;  // by checked score, then claimed
}

// What the entrant's report holds besides the cross-check: every contact read that did not count, and the
// sponsor's choices of the contest period and of what a miscopy costs.
TEST_F(CheckCommandTest, TheSponsorsChoicesAndWhatDidNotCount) {
  fs::create_directory("logs");
  // UA3AA's clock is a minute slow at the start; it copies one serial wrong, misses another, and logs a
  // dupe that DL1BB logged too; both worked each other after the end.
  WriteFileBytes("logs/UA3AA.log",
                 "START-OF-LOG: 3.0\r\nCALLSIGN: UA3AA\r\n"
                 "QSO:  3585 RY 2026-03-14 1359 UA3AA 599 001 DL1BB 599 001\r\n"
                 "QSO:  7040 RY 2026-03-14 1410 UA3AA 599 002 DL1BB 599 009\r\n"
                 "QSO: 14080 RY 2026-03-14 1420 UA3AA 599 003 DL1BB 599\r\n"
                 "QSO:  1838 RY 2026-03-14 1830 UA3AA 599 004 DL1BB 599 004\r\n"
                 "QSO:  7040 RY 2026-03-14 1412 UA3AA 599 005 DL1BB 599 005\r\n"
                 "END-OF-LOG:\r\n");
  WriteFileBytes("logs/DL1BB.log",
                 "START-OF-LOG: 3.0\r\nCALLSIGN: DL1BB\r\n"
                 "QSO:  3585 RY 2026-03-14 1400 DL1BB 599 001 UA3AA 599 001\r\n"
                 "QSO:  7040 RY 2026-03-14 1410 DL1BB 599 002 UA3AA 599 002\r\n"
                 "QSO:  7040 RY 2026-03-14 1412 DL1BB 599 005 UA3AA 599 005\r\n"
                 "QSO: 14080 RY 2026-03-14 1420 DL1BB 599 003 UA3AA 599 003\r\n"
                 "QSO:  1838 RY 2026-03-14 1830 DL1BB 599 004 UA3AA 599 004\r\n"
                 "END-OF-LOG:\r\n");
  const struct {
    std::vector<std::string> options;
    std::vector<std::string> ua, dl, summary;
  } kRuns[] = {
      {{},
       {"Rules: contacts matched within 3 minutes; contest period from 2026-03-14 14:00 UTC; a miscopied "
        "call "
        "or serial costs the side that made it\n",
        "Log: logs/UA3AA.log (Cabrillo), 5 contacts read, 2 of them not counted (listed below)\n",
        "Removed: 2 contacts\nOUTSIDE THE CONTEST PERIOD, line 3\n",
        "  logged at 2026-03-14 13:59, before the contest's start, 2026-03-14 14:00\n",
        "BUSTED EXCHANGE, line 4\n",
        "Not counted: 2 contacts\n"
        "REFUSED, line 5: NO RX NUMBER !!! (a serial, sent or received, is missing)\n"
        "  QSO: 14080 RY 2026-03-14 1420 UA3AA         599 003    DL1BB         599\n"
        "DUPE, line 7: DUPE !!! (worked before on this band and mode in this tour: it earns nothing)\n"},
       {"Log: logs/DL1BB.log (Cabrillo), 5 contacts read, 1 of them not counted (listed below)\n",
        "Claimed           4        8            4         32\nChecked           4        8            4     "
        "    32\n"},
       {"  outside the contest period        1\n", "  partner's miscopy                 0\n"}},
      {{"--end", "2026-03-14 17:59", "--miscopy", "both"},
       {"Rules: contacts matched within 3 minutes; contest period from 2026-03-14 14:00 to 2026-03-14 17:59 "
        "UTC; a miscopied call or serial costs both sides of the contact\n",
        "Removed: 3 contacts\n",
        "OUTSIDE THE CONTEST PERIOD, line 6\n"
        "  QSO:  1838 RY 2026-03-14 1830 UA3AA         599 004    DL1BB         599 004\n"
        "  logged at 2026-03-14 18:30, after the contest's end, 2026-03-14 17:59\n"},
       {"Removed: 2 contacts\nPARTNER'S MISCOPY, line 4\n"
        "  QSO:  7040 RY 2026-03-14 1410 DL1BB         599 002    UA3AA         599 002\n"
        "  UA3AA miscopied it (received 009, but DL1BB sent 002), and the contest removes both sides: "
        "UA3AA.log line 4\n",
        "OUTSIDE THE CONTEST PERIOD, line 7\n"},
       {"contest period from 2026-03-14 14:00 to 2026-03-14 17:59 UTC",
        "  outside the contest period        3\n", "  partner's miscopy                 1\n"}},
  };
  for (const auto& r : kRuns) {
    std::vector<std::string> args = {"logs", "--start", "2026-03-14 14:00", "--out", "reports"};
    args.insert(args.end(), r.options.begin(), r.options.end());
    const Outcome run = Check(args);
    ASSERT_EQ(run.code, kScored) << run.err;
    for (const std::string& part : r.ua) EXPECT_EQ(Contains(Report("reports/UA3AA.ubn.txt"), part), "");
    for (const std::string& part : r.dl) EXPECT_EQ(Contains(Report("reports/DL1BB.ubn.txt"), part), "");
    for (const std::string& part : r.summary) EXPECT_EQ(Contains(Report("reports/summary.txt"), part), "");
  }
}

// Two files that claim one call: which is the entrant's cannot be told, so neither is checked, and nobody's
// contacts with that call are removed. Here a three-line file claims the leader's call.
TEST_F(CheckCommandTest, TwoLogsOfOneCallAreNeitherChecked) {
  fs::copy(std::string(ZORVANT_SOURCE_DIR) + "/tests/data/check/logs", "logs");
  WriteFileBytes("logs/0.log", "START-OF-LOG: 3.0\r\nCALLSIGN: OH1TFR\r\nEND-OF-LOG:\r\n");
  const Outcome run = Check({"logs", "--start", "2026-03-14 14:00", "--out", "reports"});
  ASSERT_EQ(run.code, kScored) << run.err;
  const std::string conflict =
      "OH1TFR is claimed by 2 logs, 0.log and OH1TFR.log: neither is checked, and contacts with OH1TFR "
      "count as not checkable";
  EXPECT_EQ(Contains(run.err, "logs/0.log: " + conflict), "");
  EXPECT_EQ(Contains(run.err, "logs/OH1TFR.log: " + conflict), "");
  const std::string summary = Report("reports/summary.txt");
  for (const char* part : {"Logs checked: 8 (Cabrillo 5, ADIF 3)", "Logs not checked: 2",
                           "Calls claimed by more than one log, not checked: OH1TFR"}) {
    EXPECT_EQ(Contains(summary, part), "");
  }
  EXPECT_EQ(Report("reports/results.txt").find("OH1TFR"), std::string::npos);
  EXPECT_FALSE(FileExistsAt("reports/OH1TFR.ubn.txt"));
  // Every report says of each contact with OH1TFR that it is not checkable, and removes none.
  int withOh1tfr = 0;
  for (const std::string& name : Names("reports")) {
    if (name.find(".ubn.txt") == std::string::npos) continue;
    std::istringstream report(Report("reports/" + name));
    std::string previous;
    for (std::string line; std::getline(report, line); previous = line) {
      std::istringstream words(line);
      const std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
      if (w.size() > 8 && w[0] == "QSO:" && w[8] == "OH1TFR") {
        ++withOh1tfr;
        EXPECT_EQ(previous.rfind("NOT CHECKABLE,", 0), 0u) << name << ": " << previous;
      }
    }
  }
  EXPECT_GT(withOh1tfr, 20);
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
      {{"logs", "--start", "2026-03-14 14:00", "--miscopy", "all"}, kBadUsage, "--miscopy wants own or both"},
      {{"logs", "--start", "2026-03-14 14:00", "--end", "2026-03-14"}, kBadUsage, "--end wants"},
      {{"logs", "--start", "2026-03-14 14:00", "--end", "2026-03-14 13:59"},
       kBadUsage,
       "--end 2026-03-14 13:59 is before --start 2026-03-14 14:00"},
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

// A folder without a log to check is a mistake to be told, not an empty contest; a subfolder is named as
// not read, whether or not there is anything else.
TEST_F(CheckCommandTest, NoLogToCheckIsAnErrorAndSubfoldersAreNamed) {
  WriteTwoLogs();
  fs::create_directories("logs/old");
  WriteFileBytes("logs/old/UA3AA.log", ReadFileBytes("logs/UA3AA.log"));
  fs::create_directories("mail");
  WriteFileBytes("mail/notes.txt", "sent by mail\r\n");
  fs::create_directories("empty");
  const struct {
    const char* folder;
    std::string error;
  } kCases[] = {
      {".", ".: holds no log, only folders, and logs in folders are not read: Plugins, empty, logs, mail"},
      {"empty", "empty: holds no log"},
      {"mail", "mail: holds no log: its one file is neither an ADIF nor a Cabrillo log"},
  };
  for (const auto& k : kCases) {
    const Outcome run = Check({k.folder, "--start", "2026-03-14 14:00", "--out", "reports"});
    EXPECT_EQ(run.code, kUnreadableLog) << k.folder;
    EXPECT_EQ(Contains(run.err, "zorvant: " + k.error + "\n"), "");
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists("reports")) << k.folder;
  }
  const Outcome run = Check({"logs", "--start", "2026-03-14 14:00", "--out", "reports"});
  ASSERT_EQ(run.code, kScored) << run.err;
  EXPECT_EQ(Contains(run.err, "zorvant: logs/old: a folder; logs in folders are not read\n"), "");
  EXPECT_EQ(Contains(Report("reports/summary.txt"), "Folders not read: old\n"), "");
  EXPECT_EQ(Contains(run.out, "Logs checked: 2 (Cabrillo 2, ADIF 0)"), "");
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
  EXPECT_EQ(Contains(Report("reports/UA3AA.ubn.txt"), "UBN report of UA3AA"), "");

  // Windows has no owners of this kind, and its links need a privilege to make: there the folder is taken.
  if (zorvant::testing::ZorvantExe()) return;
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
  if (fs::exists("theirs")) {
    EXPECT_EQ(Names("theirs"), std::set<std::string>{});
  }
}

// A report that cannot be written keeps what the last run wrote, whole, and leaves nothing beside it.
TEST_F(CheckCommandTest, AFailedWriteKeepsTheLastRunsReport) {
  if (zorvant::testing::ZorvantExe())
    GTEST_SKIP() << "the failing writes are injected into the code in-process";
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
