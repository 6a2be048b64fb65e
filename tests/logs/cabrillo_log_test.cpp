#include "logs/cabrillo_log.h"

#include <gtest/gtest.h>

#include <string>

namespace logs {
namespace {

TEST(CabrilloLogTest, ReadsEveryFieldOfAContestQso) {
  LogContact c;
  std::string problem;
  ASSERT_TRUE(
      ParseCabrilloQso("QSO:  3585 RY 2026-03-14 1401 ua3xyz 599 001   UA9ABC\t599 012", &c, &problem));
  EXPECT_EQ(problem, "");
  EXPECT_EQ(c.ownCall, "UA3XYZ");
  EXPECT_EQ(c.call, "UA9ABC");
  EXPECT_EQ(c.time.year, 2026);
  EXPECT_EQ(c.time.month, 3);
  EXPECT_EQ(c.time.day, 14);
  EXPECT_EQ(c.time.hour, 14);
  EXPECT_EQ(c.time.minute, 1);
  EXPECT_EQ(c.time.second, 0);
  EXPECT_EQ(c.freqHz, 3585000u);
  EXPECT_EQ(c.mode, "RTTY");
  EXPECT_EQ(c.band, "80m");
  EXPECT_EQ(c.rstSent, "599");
  EXPECT_EQ(c.exchSent, "001");
  EXPECT_EQ(c.rstRcvd, "599");
  EXPECT_EQ(c.exchRcvd, "012");
  EXPECT_EQ(c.prefix, "UA9");
  EXPECT_EQ(c.countryPrefix, "UA9");
}

TEST(CabrilloLogTest, FrequencyAndMode) {
  const struct {
    const char* freq;
    const char* mode;
    unsigned hz;
    const char* band;
    const char* host_mode;
  } kCases[] = {
      {"1838", "PM", 1838000u, "160m", "BPSK63"},
      {"7040", "ry", 7040000u, "40m", "RTTY"},
      {"14031.5", "CW", 14031500u, "20m", "CW"},
      {"3714", "PH", 3714000u, "80m", "SSB"},
      {"28092", "DG", 28092000u, "10m", "DG"},
      {"10142", "RY", 10142000u, "30m", "RTTY"},
      {"144300", "FM", 144300000u, "2m", "FM"},
      // Band designators of the VHF and higher bands.
      {"50", "RY", 50000000u, "6m", "RTTY"},
      {"144", "RY", 144000000u, "2m", "RTTY"},
      {"1.2G", "RY", 1240000000u, "23cm", "RTTY"},
      {"10G", "RY", 0u, "3cm", "RTTY"},
      // Not a designator, so kHz: no band holds 7 kHz.
      {"7", "RY", 7000u, "", "RTTY"},
  };
  for (const auto& k : kCases) {
    LogContact c;
    std::string problem;
    const std::string line =
        std::string("QSO: ") + k.freq + " " + k.mode + " 2026-03-14 1401 UA3XYZ 599 1 K1AB 599 2";
    ASSERT_TRUE(ParseCabrilloQso(line, &c, &problem)) << line;
    EXPECT_EQ(problem, "") << line;
    EXPECT_EQ(c.freqHz, k.hz) << line;
    EXPECT_EQ(c.band, k.band) << line;
    EXPECT_EQ(c.mode, k.host_mode) << line;
  }
}

TEST(CabrilloLogTest, ExchangesOfOtherShapes) {
  const struct {
    const char* after_time;
    const char* call;
    const char* rst_sent;
    const char* exch_sent;
    const char* rst_rcvd;
    const char* exch_rcvd;
  } kCases[] = {
      // Name and state, no RST.
      {"KI2D DAN NY NJ4P ACE TN", "NJ4P", "", "DAN NY", "", "ACE TN"},
      // A transmitter ID after the received exchange is not part of it.
      {"I44Z 599 28 W9ZR 599 8 0", "W9ZR", "599", "28", "599", "8"},
      {"I44Z 59 28 I2/K3LR 59 28 1", "I2/K3LR", "59", "28", "59", "28"},
      {"GB0WR 599 27 LZ0HQ 599 BFRA 0", "LZ0HQ", "599", "27", "599", "BFRA"},
      // A blank received serial before the ID, as loggers writing fixed columns leave it: a missing serial.
      {"OK2ZA 599 008 G3YPT 599        0", "G3YPT", "599", "008", "599", ""},
      {"OK2ZA 599 008 G3YPT 599        1", "G3YPT", "599", "008", "599", ""},
      {"OK2ZA 599 008 G3YPT 599 001    0", "G3YPT", "599", "008", "599", "001"},
      {"OK2ZA 599 008 G3YPT 001 0", "G3YPT", "599", "008", "", "001"},
      // ... but a 1 where the serial's column is, right-aligned or not, is the serial.
      {"OK2ZA 599 001 G3YPT 599 1", "G3YPT", "599", "001", "599", "1"},
      {"OK2ZA 599   8 G3YPT 599   1", "G3YPT", "599", "8", "599", "1"},
      // Sides of different lengths: the callsign among the fields decides.
      {"K1AB 599 001 W2CD 599 002 ABC", "W2CD", "599", "001", "599", "002 ABC"},
      {"K1AB 5NN W2CD 599 003 MA", "W2CD", "", "5NN", "599", "003 MA"},
      // No exchange at all, and RST only.
      {"K1AB W2CD", "W2CD", "", "", "", ""},
      {"K1AB 599 W2CD 579", "W2CD", "599", "", "579", ""},
      // Portable and special calls are calls.
      {"K1AB 599 001 OH/UA9XX 599 002", "OH/UA9XX", "599", "001", "599", "002"},
      {"K1AB 599 001 ly1000iaru 599 002", "LY1000IARU", "599", "001", "599", "002"},
  };
  for (const auto& k : kCases) {
    LogContact c;
    std::string problem;
    const std::string line = std::string("QSO: 14000 CW 2026-03-14 1401 ") + k.after_time;
    ASSERT_TRUE(ParseCabrilloQso(line, &c, &problem)) << line << ": " << problem;
    EXPECT_EQ(c.call, k.call) << line;
    EXPECT_EQ(c.rstSent, k.rst_sent) << line;
    EXPECT_EQ(c.exchSent, k.exch_sent) << line;
    EXPECT_EQ(c.rstRcvd, k.rst_rcvd) << line;
    EXPECT_EQ(c.exchRcvd, k.exch_rcvd) << line;
  }
}

// This contest's own layout, as the sponsor's check reads it: an RST and a serial (or a club's code) each
// side, either perhaps missing, and a transmitter ID perhaps.
TEST(CabrilloLogTest, TheContestsLayout) {
  const struct {
    const char* after_time;
    const char* call;
    const char* exch_sent;
    const char* rst_rcvd;
    const char* exch_rcvd;
  } kCases[] = {
      {"OK2ZA 599 008 G3YPT 599 009", "G3YPT", "008", "599", "009"},
      {"OK2ZA 599 008 G3YPT 599        0", "G3YPT", "008", "599", ""},
      {"OK2ZA 599 008 G3YPT 599 9 1", "G3YPT", "008", "599", "9"},
      {"DK7OM 599 V20 DH8WG 599 X13", "DH8WG", "V20", "599", "X13"},
      {"DK7OM 599 V20 DH8WG 599 X13 0", "DH8WG", "V20", "599", "X13"},
      {"DK7OM V20 DH8WG X13 0", "DH8WG", "V20", "", "X13"},
      {"K1AB 599 W2CD 599 003", "W2CD", "", "599", "003"},
      {"K1AB W2CD", "W2CD", "", "", ""},
  };
  for (const auto& k : kCases) {
    LogContact c;
    std::string problem;
    const std::string line = std::string("QSO: 14000 RY 2026-03-14 1401 ") + k.after_time;
    ASSERT_TRUE(ParseCabrilloQso(line, &c, &problem, QsoLayout::kSerials)) << line << ": " << problem;
    EXPECT_EQ(c.call, k.call) << line;
    EXPECT_EQ(c.exchSent, k.exch_sent) << line;
    EXPECT_EQ(c.rstRcvd, k.rst_rcvd) << line;
    EXPECT_EQ(c.exchRcvd, k.exch_rcvd) << line;
  }
}

// Fields past the contest's exchange are the line's problem: no other field is taken for the call.
TEST(CabrilloLogTest, FieldsThatFitNoLayoutAreRefusedWithTheLine) {
  const char* const kLines[] = {
      "QSO:  7000 RY 2023-10-10 1841 DK7OM 599 V20 DH8WG 599 X13   dupe 0",
      "QSO: 14000 CW 2026-03-14 1401 KI2D DAN NY NJ4P ACE TN",
      "QSO: 14000 CW 2026-03-14 1401 K1AB 599 001 W2CD 599 002 ABC",
      "QSO: 14000 CW 2026-03-14 1401 K1AB 5NN W2CD 599 003 MA",
      "QSO: 14000 CW 2026-03-14 1401 K1AB 599 001 002 W2CD 599 003",
  };
  for (const char* line : kLines) {
    LogContact c;
    c.call = "untouched";
    std::string problem;
    EXPECT_FALSE(ParseCabrilloQso(line, &c, &problem, QsoLayout::kSerials)) << line;
    EXPECT_EQ(problem,
              "its fields fit no contest layout (an RST and a serial on each side, perhaps a transmitter ID "
              "after them); the line is skipped: \"" +
                  std::string(line) + "\"");
    EXPECT_EQ(c.call, "untouched");
  }
}

TEST(CabrilloLogTest, LinesThatAreNoContact) {
  const struct {
    const char* line;
    const char* problem;
  } kCases[] = {
      {"QSO: 3585 RY 2026-03-14 1401 UA3XYZ",
       "a QSO needs frequency, mode, date, time, own call and worked call: \"QSO: 3585 RY 2026-03-14 1401 "
       "UA3XYZ\""},
      {"QSO:", "a QSO needs frequency, mode, date, time, own call and worked call: \"QSO:\""},
      {"QSO: 3585 RY 2026/03/14 1401 UA3XYZ 599 001 K1AB 599 002",
       "date and time \"2026/03/14 1401\" are not YYYY-MM-DD HHMM"},
      {"QSO: 3585 RY 2026-02-30 1401 UA3XYZ 599 001 K1AB 599 002",
       "date and time \"2026-02-30 1401\" are not YYYY-MM-DD HHMM"},
      {"QSO: 3585 RY 2026-03-14 14:01 UA3XYZ 599 001 K1AB 599 002",
       "date and time \"2026-03-14 14:01\" are not YYYY-MM-DD HHMM"},
      {"QSO: 3585 RY 2026-03-14 140100 UA3XYZ 599 001 K1AB 599 002",
       "date and time \"2026-03-14 140100\" are not YYYY-MM-DD HHMM"},
      {"QSO: 3585 RY 2026-03-14 2460 UA3XYZ 599 001 K1AB 599 002",
       "date and time \"2026-03-14 2460\" are not YYYY-MM-DD HHMM"},
      {"QSO: 3585 RY 2026-03-14 1401 UA3XYZ 599 001 599 002",
       "no worked callsign after the own call: \"QSO: 3585 RY 2026-03-14 1401 UA3XYZ 599 001 599 002\""},
  };
  for (const auto& k : kCases) {
    LogContact c;
    c.call = "untouched";
    std::string problem;
    EXPECT_FALSE(ParseCabrilloQso(k.line, &c, &problem)) << k.line;
    EXPECT_EQ(problem, k.problem);
    EXPECT_EQ(c.call, "untouched");
  }
}

TEST(CabrilloLogTest, AnUnreadableFrequencyKeepsTheContact) {
  LogContact c;
  std::string problem;
  ASSERT_TRUE(ParseCabrilloQso("QSO: 3,585 RY 2026-03-14 1401 UA3XYZ 599 001 K1AB 599 002", &c, &problem));
  EXPECT_EQ(problem, "frequency \"3,585\" is neither kHz nor a band; the QSO is kept without it");
  EXPECT_EQ(c.call, "K1AB");
  EXPECT_EQ(c.freqHz, 0u);
  EXPECT_EQ(c.band, "");
}

TEST(CabrilloLogTest, WholeLogSkipsTheHeaderAndReportsStrayLines) {
  const std::string text =
      "START-OF-LOG: 3.0\r\n"
      "CALLSIGN: UA3XYZ\r\n"
      "SOAPBOX: 73 to all: see you\r\n"
      "QSO: 3585 RY 2026-03-14 1401 UA3XYZ 599 001 UA9ABC 599 012\r\n"
      "  qso:  3586 PM 2026-03-14 1402 UA3XYZ 599 002 K1AB 599 005\r\n"
      "X-QSO: 3586 RY 2026-03-14 1403 UA3XYZ 599 003 K1AB 599 006\r\n"
      "\r\n"
      "this line has no tag\r"
      "QSO: 3586 RY 2026-03-14 1404 UA3XYZ 599 004\n"
      "QSO: 7035 RY 2026-03-14 1405 UA3XYZ 599 005 \x01\xff 599 007\n"
      "END-OF-LOG:\r\n"
      "QSO: 3586 RY 2026-03-14 1406 UA3XYZ 599 006 W2CD 599 008\r\n";
  LogReadResult result;
  ParseCabrillo("t.log", text, &result);
  ASSERT_EQ(result.contacts.size(), 2u);
  EXPECT_EQ(result.contacts[0].call, "UA9ABC");
  EXPECT_EQ(result.contacts[0].sourceLine, 4);
  EXPECT_EQ(result.contacts[0].record, 0);
  EXPECT_EQ(result.contacts[1].call, "K1AB");
  EXPECT_EQ(result.contacts[1].mode, "BPSK63");
  EXPECT_EQ(result.contacts[1].sourceLine, 5);
  const std::vector<std::string> problems = {
      "t.log: line 8: not a Cabrillo line: \"this line has no tag\"",
      "t.log: line 9: no worked callsign after the own call: \"QSO: 3586 RY 2026-03-14 1404 UA3XYZ 599 004\"",
      "t.log: line 10: no worked callsign after the own call: \"QSO: 7035 RY 2026-03-14 1405 UA3XYZ 599 005 "
      "?? "
      "599 007\"",
  };
  EXPECT_EQ(result.problems, problems);
}

// Logs written before the address tags followed the standard carry ADDRESS-STATE; both must read as header.
TEST(CabrilloLogTest, EitherAddressStateTagIsHeader) {
  for (const char* tag : {"ADDRESS-STATE", "ADDRESS-STATE-PROVINCE"}) {
    LogReadResult result;
    ParseCabrillo("t.log",
                  std::string("START-OF-LOG: 3.0\r\n") + tag +
                      ": NY\r\nQSO: 3585 RY 2026-03-14 1401 UA3XYZ 599 001 UA9ABC 599 012\r\nEND-OF-LOG:\r\n",
                  &result);
    EXPECT_TRUE(result.problems.empty()) << tag << ": " << result.problems.front();
    ASSERT_EQ(result.contacts.size(), 1u) << tag;
    EXPECT_EQ(result.contacts[0].sourceLine, 3) << tag;
  }
}

}  // namespace
}  // namespace logs
