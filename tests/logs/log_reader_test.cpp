#include "logs/log_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "tests/check/memory_cap.h"
#include "tests/logs/failing_file.h"

namespace logs {
namespace {

std::string SourceDir() { return std::string(ZORVANT_SOURCE_DIR) + "/"; }

std::string Sample(const std::string& name) { return SourceDir() + "tests/data/samples/" + name; }

std::vector<std::string> Calls(const LogReadResult& result) {
  std::vector<std::string> calls;
  for (const LogContact& c : result.contacts) calls.push_back(c.call);
  return calls;
}

TEST(LogReaderTest, TellsTheFormatByTheContent) {
  const struct {
    const char* name;
    std::string text;
    const char* format;
    size_t contacts;
  } kCases[] = {
      {"Cabrillo header", "START-OF-LOG: 3.0\nQSO: 3585 RY 2026-03-14 1401 UA3XYZ 599 1 K1AB 599 2\n",
       "Cabrillo", 1},
      {"Cabrillo after a byte-order mark", "\xEF\xBB\xBF  start-of-log: 3.0\n", "Cabrillo", 0},
      {"QSO lines only", "\n  QSO: 3585 RY 2026-03-14 1401 UA3XYZ 599 1 K1AB 599 2\n", "Cabrillo", 1},
      {"ADIF with header", "Log\n<EOH>\n<CALL:4>K1AB<QSO_DATE:8>20260314<TIME_ON:4>1401<EOR>", "ADIF", 1},
      {"ADIF without header", "<call:4>K1AB<qso_date:8>20260314<time_on:4>1401<eor>", "ADIF", 1},
      {"ADIF cut in its first record", "<CALL:4>K1AB<QSO_DATE:8>20260314<TIME_ON:4>1401", "ADIF", 1},
      {"ADIF header only", "exported\n<ADIF_VER:5>3.1.4\n<EOH>\n", "ADIF", 0},
      {"ADIF whose comment quotes a QSO: line",
       "<EOH>\nQSO: 3585 RY 2026-03-14 1401 UA3XYZ 599 1 K1AB 599 2\n", "ADIF", 0},
      {"plain text", "Dear contest manager,\nhere is my log.\n", "", 0},
      {"empty", "", "", 0},
      {"binary", std::string("\x00\x01<\xff>\x00", 6), "", 0},
  };
  for (const auto& k : kCases) {
    const LogReadResult result = ParseLogText("x", k.text);
    EXPECT_TRUE(result.opened) << k.name;
    EXPECT_EQ(result.format, k.format) << k.name;
    EXPECT_EQ(result.contacts.size(), k.contacts) << k.name;
  }
  EXPECT_EQ(ParseLogText("x", "").problems, std::vector<std::string>{"x: the file is empty"});
  EXPECT_EQ(ParseLogText("x", "hello").problems,
            std::vector<std::string>{"x: neither an ADIF nor a Cabrillo log"});
}

TEST(LogReaderTest, AdifRecordBecomesTheHostsArguments) {
  const LogReadResult result = ParseLogText(
      "t.adi",
      "Test log\r\n<EOH>\r\n"
      "<STATION_CALLSIGN:6>ua3xyz <OPERATOR:5>UA3XY <CALL:8>dl1abc/p <QSO_DATE:8>20260314 <TIME_ON:6>140512 "
      "<BAND:3>80M <FREQ:7>3.58512 <MODE:3>PSK <SUBMODE:5>PSK63 <RST_SENT:3>599 <RST_RCVD:3>579 <STX:1>7 "
      "<STX_STRING:3>007 <SRX:2>12 <PFX:3>dl1 <EOR>\r\n"
      "<operator:5>UA3XY<call:6>UA9ABC<qso_date:8>20260314<time_on:4>1601<freq:6>1.8385<mode:4>RTTY"
      "<srx_string:3>045<eor>\r\n"
      "<CALL:8>OH/UA9XX<QSO_DATE:8>20260314<TIME_ON:4>1602<BAND:3>40m<MODE:3>FT8<EOR>\r\n");
  EXPECT_EQ(result.format, "ADIF");
  EXPECT_EQ(result.problems, std::vector<std::string>{});
  ASSERT_EQ(result.contacts.size(), 3u);

  const LogContact& a = result.contacts[0];
  EXPECT_EQ(a.ownCall, "UA3XYZ");  // STATION_CALLSIGN before OPERATOR
  EXPECT_EQ(a.call, "DL1ABC/P");
  EXPECT_EQ(std::make_tuple(a.time.year, a.time.month, a.time.day, a.time.hour, a.time.minute, a.time.second),
            std::make_tuple(2026, 3, 14, 14, 5, 12));
  EXPECT_EQ(a.freqHz, 3585120u);
  EXPECT_EQ(a.mode, "BPSK63");
  EXPECT_EQ(a.band, "80m");
  EXPECT_EQ(a.rstSent, "599");
  EXPECT_EQ(a.rstRcvd, "579");
  EXPECT_EQ(a.exchSent, "007");
  EXPECT_EQ(a.exchRcvd, "12");
  EXPECT_EQ(a.prefix, "DL1");  // the log's own PFX
  EXPECT_EQ(a.countryPrefix, "DL");
  EXPECT_EQ(a.record, 1);
  EXPECT_EQ(a.sourceLine, 3);

  const LogContact& b = result.contacts[1];
  EXPECT_EQ(b.ownCall, "UA3XY");
  EXPECT_EQ(b.band, "160m");  // from the frequency
  EXPECT_EQ(b.mode, "RTTY");
  EXPECT_EQ(b.exchSent, "");  // a missing serial is the plug-in's to judge
  EXPECT_EQ(b.exchRcvd, "045");
  EXPECT_EQ(b.prefix, "UA9");
  EXPECT_EQ(b.countryPrefix, "UA9");
  EXPECT_EQ(b.record, 2);
  EXPECT_EQ(b.sourceLine, 4);

  const LogContact& c = result.contacts[2];
  EXPECT_EQ(c.ownCall, "");
  EXPECT_EQ(c.freqHz, 0u);
  EXPECT_EQ(c.band, "40m");
  EXPECT_EQ(c.mode, "FT8");  // kept: the plug-in rejects it
  EXPECT_EQ(c.prefix, "OH0");
  EXPECT_EQ(c.countryPrefix, "OH");
}

TEST(LogReaderTest, BadAdifRecordsAreNamedAndTheRestIsRead) {
  const LogReadResult result = ParseLogText(
      "bad.adi",
      "header\n<EOH>\n"
      "<CALL:5>K1XQP<QSO_DATE:8>20260314<TIME_ON:4>1401<FREQ:5>3.585<MODE:4>RTTY<STX:3>001<EOR>\n"
      "<QSO_DATE:8>20260314<TIME_ON:4>1402<EOR>\n"
      "<CALL:5>K2XQP<QSO_DATE:9>2026-3-14<TIME_ON:4>2561<EOR>\n"
      "<CALL:5>K3XQP<QSO_DATE:8>20260314<TIME_ON:4>1403<FREQ:3>abc<BAND:3>80M<EOR>\n"
      "<CALL:5>K4XQP<QSO_DATE:8>20260314\n<TIME_ON:4>1404<CALL:4x>y<EOR>\n"
      "<CALL:5>K6XQP<QSO_DATE:8>20260314<TIME_ON:4>1406<FREQ:7>10368.1<BAND:3>3cm<EOR>\n"
      "<CALL:5>K5XQP<QSO_DATE:8>20260314<TIME_ON:4>1405<COMMENT:40>cut");
  EXPECT_EQ(Calls(result), (std::vector<std::string>{"K1XQP", "K3XQP", "K4XQP", "K6XQP"}));
  EXPECT_EQ(result.contacts[1].freqHz, 0u);
  EXPECT_EQ(result.contacts[1].band, "80m");
  EXPECT_EQ(result.contacts[3].band, "3cm");  // too high for 32 bits, but no fault of the log
  const std::vector<std::string> problems = {
      "bad.adi: record 2 (line 4): no CALL",
      "bad.adi: record 3 (line 5): QSO_DATE \"2026-3-14\" is not a date (YYYYMMDD), TIME_ON \"2561\" is not "
      "a "
      "time of day (HHMM or HHMMSS)",
      "bad.adi: record 4 (line 6): FREQ \"abc\" is not a frequency in MHz; the QSO is kept without it",
      "bad.adi: record 5 (line 7): malformed tag \"<CALL:4x>\"",
      "bad.adi: record 7 (line 10): the text ends inside COMMENT (3 of 40 characters); the record is skipped",
  };
  EXPECT_EQ(result.problems, problems);

  EXPECT_EQ(ParseLogText("x.adi", "<EOH><QSO_DATE:8>20260314<EOR><CALL:4>K1AB<TIME_ON:4>1401").problems,
            (std::vector<std::string>{"x.adi: record 1 (line 1): no CALL, no TIME_ON",
                                      "x.adi: record 2 (line 1): the text ends before <EOR>",
                                      "x.adi: record 2 (line 1): no QSO_DATE"}));

  // A declared length is named as it was written, leading zeros aside.
  for (const std::string length : {"999999999", "000999", "123456789012345678901234567890"}) {
    const std::string declared = length.substr(length.find_first_not_of('0'));
    EXPECT_EQ(ParseLogText("y.adi", "<EOH><CALL:" + length + ">" + std::string(183, 'x')).problems,
              std::vector<std::string>{"y.adi: record 1 (line 1): CALL declares " + declared +
                                       " characters, more than any CALL holds (255); the record is skipped"});
  }
}

// A length no value of its field has, or one that runs past the end of the log, would swallow the records
// after it: it costs its own record, named once, and the reading picks up at that record's <EOR>.
TEST(LogReaderTest, ABadLengthCostsOnlyItsRecord) {
  // Record 2 declares a CALL of 9999999999 characters in a file of a few hundred bytes.
  const std::string fixture = SourceDir() + "tests/data/logs/huge-length.adi";
  for (const std::size_t piece : {std::size_t{16}, LogSource::kPiece}) {
    LogStream log(fixture, piece);
    const LogReadResult result = ReadLog(log);
    EXPECT_EQ(Calls(result), (std::vector<std::string>{"K1AB", "OK1XYZ", "SP5VNY", "UA9GLI"})) << piece;
    EXPECT_EQ(result.contacts.at(1).record, 3);
    EXPECT_EQ(result.problems,
              std::vector<std::string>{fixture + ": record 2 (line 4): CALL declares 9999999999 "
                                                 "characters, more than any CALL holds (255); the "
                                                 "record is skipped"});
  }

  auto record = [](const std::string& call, const std::string& extra) {
    return "<CALL:" + std::to_string(call.size()) + ">" + call + extra +
           "<QSO_DATE:8>20260314<TIME_ON:4>1401<EOR>\n";
  };
  std::string after;  // 780 bytes of records after the bad one
  for (char c = 'A'; c < 'M'; ++c) after += record(std::string("K3A") + c, "<NOTES:3>n<b");
  const struct {
    const char* name;
    std::string field;
    std::string problem;
  } kCases[] = {
      {"a call longer than any", "<STATION_CALLSIGN:256>UA3XYZ",
       "STATION_CALLSIGN declares 256 characters, more than any STATION_CALLSIGN holds (255)"},
      {"a comment longer than any", "<COMMENT:1048577>tnx",
       "COMMENT declares 1048577 characters, more than any COMMENT holds (1048576)"},
      {"a comment past the end of the log", "<COMMENT:900>tnx",
       "the text ends inside COMMENT (824 of 900 characters)"},
      {"a bad length among bad tags", "<RST_SENT:09999>59<9<NOTES:x>",
       "RST_SENT declares 9999 characters, more than any RST_SENT holds (255)"},
  };
  for (const auto& k : kCases) {
    const std::string text = "<EOH>\n" + record("K1AB", "") + record("K2AB", k.field) + after;
    for (const std::size_t piece : {std::size_t{1}, std::size_t{64}, std::size_t{0}}) {
      LogStream log("z.adi", text, piece);
      const LogReadResult result = ReadLog(log);
      ASSERT_EQ(result.contacts.size(), 13u) << k.name << ", piece " << piece;
      EXPECT_EQ(result.contacts[0].call, "K1AB") << k.name;
      EXPECT_EQ(result.contacts[1].call, "K3AA") << k.name;
      EXPECT_EQ(result.contacts[1].record, 3) << k.name;
      EXPECT_EQ(result.problems, std::vector<std::string>{"z.adi: record 2 (line 3): " + k.problem +
                                                          "; the record is skipped"})
          << k.name;
    }
  }
}

// A line or a tag no real log has (megabytes without an end) is a problem of its line or record, read past
// in the memory of any other: one entrant's file cannot take what the sponsor's machine has.
TEST(LogReaderTest, AnEndlessLineOrTagCostsItsLineOrRecordNotMemory) {
  const std::string cabrilloQso = "QSO: 3585 RY 2026-03-14 1401 UA3XYZ 599 001 K1AB 599 002\r\n";
  auto adifRecord = [](const std::string& call) {
    return "<CALL:4>" + call + "<QSO_DATE:8>20260314<TIME_ON:4>1401<EOR>\r\n";
  };
  const std::size_t kLong = 8 * zorvant::testing::kMiB;
  std::string tokens;
  for (std::size_t i = 0; i < kLong / 2; ++i) tokens += "1 ";
  const struct {
    const char* name;
    std::string text;
    std::vector<std::string> calls;
    std::string problem;
  } kCases[] = {
      {"a Cabrillo line of short tokens",
       "START-OF-LOG: 3.0\r\n" + cabrilloQso + "QSO: 3585 RY 2026-03-14 1402 UA3XYZ 599 " + tokens +
           "K2AB\r\n" + "QSO: 3585 RY 2026-03-14 1403 UA3XYZ 599 003 K3AB 599 004\r\nEND-OF-LOG:\r\n",
       {"K1AB", "K3AB"},
       "x: line 3: more than 4096 characters; the line is skipped"},
      {"an ADIF field name",
       "<EOH>\r\n" + adifRecord("K1AB") + "<" + std::string(kLong, 'A') + ">\r\n" + adifRecord("K3AB"),
       {"K1AB", "K3AB"},
       "x: line 3: malformed tag \"<AAAAAAAAAAAAAAAAAAAAAAA\""},
      {"an ADIF length",
       "<EOH>\r\n" + adifRecord("K1AB") + "<CALL:" + std::string(kLong, '9') + ">K2AB<EOR>\r\n" +
           adifRecord("K3AB"),
       {"K1AB", "K3AB"},
       "x: line 3: malformed tag \"<CALL:999999999999999999\""},
  };
  for (const auto& k : kCases) {
    zorvant::testing::MemoryCap cap(6 * zorvant::testing::kMiB);
    try {
      LogStream log("x", k.text, LogSource::kPiece);
      const LogReadResult result = ReadLog(log);
      EXPECT_EQ(Calls(result), k.calls) << k.name;
      ASSERT_FALSE(result.problems.empty()) << k.name;
      EXPECT_EQ(result.problems[0], k.problem) << k.name;
    } catch (const std::bad_alloc&) {
      ADD_FAILURE() << k.name << ": the reading took more than 6 MB";
    }
  }
}

// A read error part-way is no end of the log: it is said apart from the log's own problems, and the record it
// cut is neither handed on nor reported as cut short.
TEST(LogReaderTest, AReadErrorIsNoEndOfTheLog) {
  const std::string cabrillo = "START-OF-LOG: 3.0\n" + std::string(100, '\n') +
                               "QSO: 3585 RY 2026-03-14 1401 UA3XYZ 599 001 K1AB 599 002\n"
                               "QSO: 3585 RY 2026-03-14 1402 UA3XYZ 599 002 K2AB 599 0031\n";
  const std::string adif = "<EOH>" + std::string(100, ' ') +
                           "<CALL:4>K1AB<QSO_DATE:8>20260314<TIME_ON:4>1401<EOR>"
                           "<CALL:4>K2AB<QSO_DATE:8>20260314<TIME_ON:4>1402<EOR>";
  for (const std::string& text : {cabrillo, adif}) {
    // Within the second contact's date, or its last serial: cut there, it would read as a fault or a
    // different contact.
    const std::size_t cut = text.size() - (text == adif ? 23 : 2);
    testing::FailingFile file(text, cut);
    LogStream log("f.log", file.file(), /*piece=*/8);
    ASSERT_TRUE(log.opened()) << log.error();
    const LogReadResult result = ReadLog(log);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(Calls(result), std::vector<std::string>{"K1AB"}) << text;
    EXPECT_EQ(result.problems, std::vector<std::string>{"f.log: read error after " + std::to_string(cut) +
                                                        " bytes: " + std::strerror(EIO)});
    // Read whole, the same bytes give both contacts and no problem.
    testing::FailingFile whole(text, text.size());
    LogStream again("f.log", whole.file(), 8);
    EXPECT_EQ(Calls(ReadLog(again)), (std::vector<std::string>{"K1AB", "K2AB"}));
    EXPECT_FALSE(again.failed());
  }
}

// The real logs of others, as their programs wrote them.
TEST(LogReaderTest, RealLogs) {
  const struct {
    const char* file;
    const char* format;
    size_t contacts;
  } kLogs[] = {
      {"NAQP-RTTY-2022_KI2D.log", "Cabrillo", 360},      {"IARU-HF-2023_I44Z.log", "Cabrillo", 6},
      {"IARU-HF-2025_GB0WR.log", "Cabrillo", 4},         {"FLE-2018-09-02_M0NOM-P_contest.adi", "ADIF", 53},
      {"Minos-2021-07-06_M0KPW_144MHz.adi", "ADIF", 45}, {"FLE-2018-10-04_M0NOM_FT8.adi", "ADIF", 5},
  };
  std::map<std::string, LogReadResult> read;
  for (const auto& log : kLogs) {
    const LogReadResult result = ReadLog(Sample(log.file));
    EXPECT_TRUE(result.opened) << log.file;
    EXPECT_EQ(result.format, log.format) << log.file;
    EXPECT_EQ(result.contacts.size(), log.contacts) << log.file;
    EXPECT_EQ(result.problems, std::vector<std::string>{}) << log.file;
    read[log.file] = result;
  }

  const std::vector<LogContact>& naqp = read["NAQP-RTTY-2022_KI2D.log"].contacts;
  ASSERT_EQ(naqp.size(), 360u);
  EXPECT_EQ(naqp[0].ownCall, "KI2D");
  EXPECT_EQ(naqp[0].call, "NJ4P");
  EXPECT_EQ(naqp[0].freqHz, 14087000u);
  EXPECT_EQ(naqp[0].band, "20m");
  EXPECT_EQ(naqp[0].mode, "RTTY");
  EXPECT_EQ(naqp[0].exchSent, "DAN NY");
  EXPECT_EQ(naqp[0].rstRcvd, "");
  EXPECT_EQ(naqp[0].exchRcvd, "ACE TN");
  EXPECT_EQ(naqp[0].sourceLine, 24);
  EXPECT_EQ(naqp[359].call, "K7RI");
  EXPECT_EQ(naqp[359].band, "80m");
  EXPECT_EQ(std::make_tuple(naqp[359].time.day, naqp[359].time.hour, naqp[359].time.minute),
            std::make_tuple(27, 5, 59));

  // Phone on 80 m from the second transmitter, logged out of time order: kept in file order.
  const std::vector<LogContact>& i44z = read["IARU-HF-2023_I44Z.log"].contacts;
  ASSERT_EQ(i44z.size(), 6u);
  EXPECT_EQ(i44z[3].call, "I2/K3LR");
  EXPECT_EQ(i44z[3].mode, "SSB");
  EXPECT_EQ(i44z[3].band, "80m");
  EXPECT_EQ(i44z[3].rstRcvd, "59");
  EXPECT_EQ(i44z[3].exchRcvd, "28");
  EXPECT_EQ(i44z[3].prefix, "I2");
  EXPECT_EQ(i44z[4].time.minute, 31);
  EXPECT_EQ(i44z[5].time.minute, 30);

  const std::vector<LogContact>& gb0wr = read["IARU-HF-2025_GB0WR.log"].contacts;
  ASSERT_EQ(gb0wr.size(), 4u);
  EXPECT_EQ(gb0wr[2].call, "UA1ZZ/3");
  EXPECT_EQ(gb0wr[2].prefix, "UA3");
  EXPECT_EQ(gb0wr[2].countryPrefix, "UA");
  EXPECT_EQ(gb0wr[3].exchRcvd, "BFRA");
  EXPECT_EQ(gb0wr[3].band, "15m");

  const std::vector<LogContact>& fle = read["FLE-2018-09-02_M0NOM-P_contest.adi"].contacts;
  ASSERT_EQ(fle.size(), 53u);
  EXPECT_EQ(fle[0].ownCall, "M0NOM/P");
  EXPECT_EQ(fle[0].call, "SN5O/P");
  EXPECT_EQ(fle[0].freqHz, 14189000u);
  EXPECT_EQ(fle[0].mode, "SSB");
  EXPECT_EQ(fle[0].exchSent, "001");
  EXPECT_EQ(fle[0].exchRcvd, "771");  // its declared length counts a trailing blank
  EXPECT_EQ(fle[0].prefix, "SN5");
  EXPECT_EQ(fle[0].countryPrefix, "SP");
  EXPECT_EQ(fle[8].call, "TK/DL2RMC/P");
  EXPECT_EQ(fle[8].prefix, "TK0");

  const std::vector<LogContact>& minos = read["Minos-2021-07-06_M0KPW_144MHz.adi"].contacts;
  ASSERT_EQ(minos.size(), 45u);
  EXPECT_EQ(minos[0].ownCall, "M0KPW");  // from OPERATOR
  EXPECT_EQ(minos[0].freqHz, 0u);
  EXPECT_EQ(minos[0].band, "2m");
  EXPECT_EQ(minos[44].call, "GM3SEK");
  EXPECT_EQ(minos[44].exchSent, "045");
  EXPECT_EQ(minos[44].exchRcvd, "062");

  const std::vector<LogContact>& ft8 = read["FLE-2018-10-04_M0NOM_FT8.adi"].contacts;
  ASSERT_EQ(ft8.size(), 5u);
  EXPECT_EQ(ft8[0].mode, "FT8");
  EXPECT_EQ(ft8[0].rstSent, "-19");
  EXPECT_EQ(ft8[0].exchRcvd, "");
}

// Every log the team has collected, and damaged copies of each: read, never a crash.
TEST(LogReaderTest, SurvivesDamagedFiles) {
  std::vector<std::string> texts;
  for (const std::string& folder : {SourceDir() + "tests/data/samples", SourceDir() + "../shared/samples"}) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      if (entry.path().filename() == "SOURCES.md") continue;
      const LogReadResult result = ReadLog(entry.path().string());
      EXPECT_TRUE(result.opened) << entry.path();
      EXPECT_NE(result.format, "") << entry.path();
      std::string text, ignored;
      ASSERT_TRUE(ReadFileText(entry.path().string(), &text, &ignored));
      texts.push_back(text);
    }
  }
  ASSERT_GE(texts.size(), 6u);
  std::mt19937 random(7);
  for (const std::string& text : texts) {
    for (size_t cut = 0; cut < text.size(); cut += 1 + text.size() / 100) {
      const LogReadResult result = ParseLogText("cut", text.substr(0, cut));
      for (const LogContact& c : result.contacts) EXPECT_FALSE(c.call.empty());
    }
    for (int round = 0; round < 20; ++round) {
      std::string damaged = text;
      for (int i = 0; i < 20; ++i) damaged[random() % damaged.size()] = static_cast<char>(random());
      ParseLogText("damaged", damaged);
    }
  }
  for (int round = 0; round < 200; ++round) {
    std::string bytes(random() % 400, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    ParseLogText("random", bytes);
    ParseLogText("random", "<EOH>" + bytes);
    ParseLogText("random", "START-OF-LOG: 3.0\nQSO: " + bytes);
  }
}

// Everything a read hands on, in order, as one text.
std::string Transcript(const LogReadResult& r) {
  std::string out = r.format + "\n";
  for (const LogContact& c : r.contacts) {
    char time[32];
    std::snprintf(time, sizeof time, "%04d%02d%02d %02d%02d%02d", c.time.year, c.time.month, c.time.day,
                  c.time.hour, c.time.minute, c.time.second);
    for (const std::string& field :
         {c.ownCall, c.call, std::string(time), std::to_string(c.freqHz), c.mode, c.band, c.rstSent,
          c.rstRcvd, c.exchSent, c.exchRcvd, c.prefix, c.countryPrefix, std::to_string(c.sourceLine),
          std::to_string(c.record)}) {
      out += field + "|";
    }
    out += "\n";
  }
  for (const std::string& p : r.problems) out += p + "\n";
  return out;
}

class Gathering : public LogSink {
 public:
  void Contact(const LogContact& c) override { result.contacts.push_back(c); }
  void Problem(const std::string& p) override { result.problems.push_back(p); }
  LogReadResult result;
};

std::string PieceByPiece(const std::string& text, size_t piece, bool ahead) {
  LogStream log("x", text, piece);
  Gathering gathering;
  gathering.result.format = log.format();
  ahead ? log.ReadAhead(gathering) : log.Read(gathering);
  return Transcript(gathering.result);
}

// A log is read a piece at a time: whatever the size of the pieces, and whether read ahead on a thread of its
// own or not, the contacts and problems are those of the whole text read at once.
TEST(LogReaderTest, ReadsTheSameWhateverThePieces) {
  std::vector<std::string> texts = {
      "\xEF\xBB\xBF\t  QSO: x<CALL:4>K1AB<CALL:9999>cut",  // a byte-order mark: the first line is no QSO line
      "   \r\n   START-OF-LOG: 3.0\rQSO: 3585 RY 2026-03-14 1401 UA3XYZ 599 1 K1AB 599 2\r",
      "QSO: 3585 RY 2026-03-14 1401 UA3XYZ 599 1 K1AB 599 2\r\n\r\n" + std::string(70, ' ') +
          "junk\rQSO: 7040 RY 2026-03-14 1402 UA3XYZ 599 2 K2AB 599 3",
      "pre <b> amble\n<CALL:4>K1AB<QSO_DATE:8>20260314<TIME_ON:4>1401<EOR><bad tag<EOH>"
      "<CALL:5>K2AB <COMMENT:30>spans <the> pieces of the read<QSO_DATE:8>20260314<TIME_ON:4>1402<EOR>"
      "<CALL:000004>K3AB<QSO_DATE:8>2026031<TIME_ON:6>140300<EOR><CALL:4>K4AB<NOTES:40>cut",
  };
  for (const char* name : {"NAQP-RTTY-2022_KI2D.log", "FLE-2018-09-02_M0NOM-P_contest.adi"}) {
    std::string text, error;
    ASSERT_TRUE(ReadFileText(Sample(name), &text, &error)) << error;
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    const std::string whole = Transcript(ParseLogText("x", text));
    for (const size_t piece : {1, 2, 3, 5, 8, 13, 100}) {
      EXPECT_EQ(PieceByPiece(text, piece, false), whole) << "piece " << piece << " of " << text.substr(0, 40);
    }
    EXPECT_EQ(PieceByPiece(text, 7, true), whole) << text.substr(0, 40);
  }

  // A file, read in small pieces from the disk.
  LogStream file(SourceDir() + "data/sample-contest.adi", 5);
  Gathering gathering;
  gathering.result.format = file.format();
  EXPECT_EQ(file.ReadAhead(gathering), 198u);
  EXPECT_EQ(Transcript(gathering.result), Transcript(ReadLog(SourceDir() + "data/sample-contest.adi")));
}

// What the taking side throws comes back to the caller, once the reading thread has ended.
TEST(LogReaderTest, ReadingAheadPassesOnWhatTheSinkThrows) {
  class Refusing : public LogSink {
   public:
    void Contact(const LogContact&) override {
      if (++taken == 3) throw std::runtime_error("refused");
    }
    void Problem(const std::string&) override {}
    int taken = 0;
  } refusing;
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "<CALL:4>K1AB<QSO_DATE:8>20260314<TIME_ON:4>1401<EOR>";
  LogStream log("x", text, 64);
  EXPECT_THROW(log.ReadAhead(refusing), std::runtime_error);
  EXPECT_EQ(refusing.taken, 3);
}

TEST(LogReaderTest, UnreadableFiles) {
  const std::string missing = ::testing::TempDir() + "log_reader_test_missing.adi";
  std::remove(missing.c_str());
  LogReadResult result = ReadLog(missing);
  EXPECT_FALSE(result.opened);
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_EQ(result.problems[0].rfind(missing + ": cannot be read: ", 0), 0u) << result.problems[0];

  result = ReadLog(::testing::TempDir());  // a folder
  EXPECT_FALSE(result.opened);
  EXPECT_EQ(result.problems.size(), 1u);
}

TEST(LogReaderTest, APipeIsNeverOpened) {
  const std::string pipe = ::testing::TempDir() + "log_reader_test_pipe.adi";
  std::remove(pipe.c_str());
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  // Opening a pipe waits for a writer. Should the reader ever try, a writer comes so that the test ends.
  auto read = std::async(std::launch::async, [&] { return ReadLog(pipe); });
  if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "the reader waits on the pipe";
    std::ofstream{pipe} << "";
  }
  const LogReadResult result = read.get();
  EXPECT_FALSE(result.opened);
  EXPECT_EQ(result.problems, std::vector<std::string>{pipe + ": cannot be read: not a regular file"});
  std::remove(pipe.c_str());
}

// The bundled log replays a whole contest with every fault the plug-in must catch, exactly once or as
// planned, so the demo and the golden report show each of them.
TEST(LogReaderTest, BundledSampleLog) {
  const LogReadResult result = ReadLog(SourceDir() + "data/sample-contest.adi");
  EXPECT_EQ(result.format, "ADIF");
  EXPECT_EQ(result.problems, std::vector<std::string>{});
  ASSERT_EQ(result.contacts.size(), 198u);

  std::map<std::tuple<int, std::string, std::string>, int> per_tour_band_mode;
  std::set<std::tuple<std::string, std::string, std::string, int>> seen;
  std::vector<int> dupes, without_serial;
  std::set<std::string> portable_pfx;
  int number = 0;
  for (const LogContact& c : result.contacts) {
    ++number;
    EXPECT_EQ(c.ownCall, "UA3XYZ");
    EXPECT_EQ(c.record, number);
    char sent[16];
    std::snprintf(sent, sizeof sent, "%03d", number);
    EXPECT_EQ(c.exchSent, sent);
    EXPECT_EQ(c.rstSent, "599");
    EXPECT_EQ(c.rstRcvd, "599");
    EXPECT_EQ(std::make_tuple(c.time.year, c.time.month, c.time.day), std::make_tuple(2026, 3, 14));
    ASSERT_TRUE(c.time.hour >= 14 && c.time.hour <= 17) << c.call;
    const int tour = c.time.hour >= 16 ? 2 : 1;
    ++per_tour_band_mode[{tour, c.band, c.mode}];
    if (!seen.insert({c.call, c.band, c.mode, tour}).second) dupes.push_back(number);
    if (c.exchRcvd.empty()) without_serial.push_back(number);
    if (c.call.find('/') != std::string::npos) portable_pfx.insert(c.call + " " + c.prefix);
  }
  const std::map<std::tuple<int, std::string, std::string>, int> expected = {
      {{1, "160m", "RTTY"}, 7},   {{1, "80m", "RTTY"}, 29},   {{1, "80m", "BPSK63"}, 19},
      {{1, "40m", "RTTY"}, 22},   {{1, "40m", "BPSK63"}, 12}, {{1, "40m", "FT8"}, 1},
      {{1, "30m", "RTTY"}, 1},    {{1, "20m", "RTTY"}, 7},    {{2, "160m", "RTTY"}, 21},
      {{2, "160m", "BPSK63"}, 9}, {{2, "80m", "RTTY"}, 23},   {{2, "80m", "BPSK63"}, 13},
      {{2, "80m", "CW"}, 1},      {{2, "40m", "RTTY"}, 25},   {{2, "40m", "BPSK63"}, 8},
  };
  EXPECT_EQ(per_tour_band_mode, expected);
  EXPECT_EQ(dupes, (std::vector<int>{18, 22, 60, 126, 180}));
  EXPECT_EQ(without_serial, std::vector<int>{103});
  EXPECT_EQ(result.contacts[83].band, "30m");
  EXPECT_EQ(result.contacts[70].mode, "FT8");
  EXPECT_EQ(result.contacts[151].mode, "CW");
  // UA3PHL is a dupe in tour 1 and a new QSO when worked again in tour 2.
  EXPECT_EQ(result.contacts[21].call, "UA3PHL");
  EXPECT_EQ(result.contacts[138].call, "UA3PHL");
  EXPECT_EQ(result.contacts[138].band, result.contacts[21].band);
  EXPECT_EQ(result.contacts[138].mode, result.contacts[21].mode);
  EXPECT_EQ(portable_pfx, (std::set<std::string>{"DL4LXC/P DL4", "F/G4VV F0", "OH/UA9JU OH0", "SP5VNY/M SP5",
                                                 "UA9GLI/3 UA3"}));
}

}  // namespace
}  // namespace logs
