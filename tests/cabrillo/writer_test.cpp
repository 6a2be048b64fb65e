#include "cabrillo/writer.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

namespace zorvant {
namespace {

using testing::FaultyPlatform;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

const OleDate kTime = OleDate::FromParts(2017, 3, 5, 14, 32, 45);

TEST(CabrilloQsoLineTest, FixedColumnsAndWiderValues) {
  struct Case {
    int freq;
    const char* mode;
    OleDate time;
    const char* own;
    const char* exchSent;
    const char* call;
    const char* expected;
  } cases[] = {
      {3580, "RY", kTime, "UA3XYZ", "001", "DL1ABC",
       "QSO:  3580 RY 2017-03-05 1432 UA3XYZ        599 001    DL1ABC        599 017\r\n"},
      {14085, "PM", kTime, "UA3XYZ", "001", "DL1ABC",
       "QSO: 14085 PM 2017-03-05 1432 UA3XYZ        599 001    DL1ABC        599 017\r\n"},
      // Nothing is ever cut: a wide value pushes the rest of its line to the right.
      {100000, "??", kTime, "UA3XYZ/QRP/MM1", "1234567", "VERYLONGCALL/P",
       "QSO: 100000 ?? 2017-03-05 1432 UA3XYZ/QRP/MM1 599 1234567 VERYLONGCALL/P 599 017\r\n"},
      {7040, "RY", OleDate{0, OleDate::kInvalid}, "A", "1", "B",
       "QSO:  7040 RY Invalid DateTime A             599 1      B             599 017\r\n"},
      {7040, "RY", OleDate::Null(), "A", "1", "B",
       "QSO:  7040 RY  A             599 1      B             599 017\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CabrilloQsoLine(c.freq, c.mode, c.time, c.own, "599", c.exchSent, c.call, "599", "017"),
              c.expected);
  }
}

TEST(CabrilloQsoLineTest, ValuesThatFitSitInTheirColumns) {
  const std::string line = CabrilloQsoLine(1838, "RY", kTime, "OWN", "57", "12", "WKD", "5", "0345 extra");
  auto column = [&](int first, int last) { return line.substr(first - 1, last - first + 1); };
  EXPECT_EQ(column(1, 5), "QSO: ");
  EXPECT_EQ(column(6, 10), " 1838");
  EXPECT_EQ(column(12, 13), "RY");
  EXPECT_EQ(column(15, 29), "2017-03-05 1432");
  EXPECT_EQ(column(31, 43), "OWN          ");
  EXPECT_EQ(column(45, 47), "57 ");
  EXPECT_EQ(column(49, 54), "12    ");
  EXPECT_EQ(column(56, 68), "WKD          ");
  EXPECT_EQ(column(70, 72), "5  ");
  EXPECT_EQ(line.substr(73), "0345 extra\r\n");
  for (int blank : {11, 14, 30, 44, 48, 55, 69, 73}) EXPECT_EQ(line[blank - 1], ' ') << blank;
}

TEST(CabrilloModeCodeTest, OnlyTheExactModeTextsHaveCodes) {
  EXPECT_STREQ(CabrilloModeCode("RTTY"), "RY");
  EXPECT_STREQ(CabrilloModeCode("BPSK63"), "PM");
  for (const char* other : {"rtty", "Bpsk63", "CW", "", "BPSK31"})
    EXPECT_STREQ(CabrilloModeCode(other), "??");
}

CabrilloExport SmallLog() {
  CabrilloExport log;
  log.callsign = "UA3XYZ";
  log.name = "Ivan";
  log.address = "Lenina 1\r\nADDRESS: Apt 2";
  log.claimed = "999";
  log.contest = "SOMETHING ELSE";
  log.email = "ua3xyz@example.org";
  log.club = "Radio Club";
  log.soapbox = "Fine contest\r\nSOAPBOX: see you";
  log.operators = "UA3XYZ UA3XXX";
  log.categoryOperator = "SINGLE-OP";
  log.categoryAssisted = "NON-ASSISTED";
  log.categoryStation = "PORTABLE";
  log.categoryBand = "ALL";
  log.categoryMode = "DIGI";
  log.categoryPower = "LOW";
  log.categoryTransmitter = "ONE";
  log.addressCity = "Moscow";
  log.addressState = "";
  log.addressPostalCode = "101000";
  log.addressCountry = "Russia";
  log.categoryOverlay = "ROOKIE";
  log.location = "DX";
  log.fileBase = "UA3XYZ";
  AddCabrilloQso(log, "DL1ABC", 3580, "RY", kTime, "599", "001", "599", "017");
  AddCabrilloQso(log, "OK1AB", 7035, "PM", kTime, "599", "002", "599", "123");
  return log;
}

const char kSmallLogFile[] =
    "START-OF-LOG: 3.0\r\n"
    "CALLSIGN: UA3XYZ\r\n"
    "CONTEST: ZORVANT\r\n"
    "CATEGORY-OPERATOR: SINGLE-OP\r\n"
    "CATEGORY-ASSISTED: NON-ASSISTED\r\n"
    "CATEGORY-BAND: ALL\r\n"
    "CATEGORY-MODE: DIGI\r\n"
    "CATEGORY-POWER: LOW\r\n"
    "CATEGORY-STATION: FIXED \r\n"
    "CATEGORY-TRANSMITTER: ONE\r\n"
    "CATEGORY-OVERLAY: ROOKIE\r\n"
    "CLAIMED-SCORE: -24\r\n"
    "CLUB: Radio Club\r\n"
    "LOCATION: DX\r\n"
    "CREATED-BY: Tarq stand-in 1.0\r\n"
    "NAME: Ivan\r\n"
    "ADDRESS: Lenina 1\r\n"
    "ADDRESS: Apt 2\r\n"
    "ADDRESS-CITY: Moscow\r\n"
    "ADDRESS-STATE-PROVINCE: \r\n"
    "ADDRESS-POSTALCODE: 101000\r\n"
    "ADDRESS-COUNTRY: Russia\r\n"
    "OPERATORS: UA3XYZ UA3XXX\r\n"
    "EMAIL: ua3xyz@example.org\r\n"
    "SOAPBOX: Fine contest\r\n"
    "SOAPBOX: see you\r\n"
    "QSO:  3580 RY 2017-03-05 1432 UA3XYZ        599 001    DL1ABC        599 017\r\n"
    "QSO:  7035 PM 2017-03-05 1432 UA3XYZ        599 002    OK1AB         599 123\r\n"
    "END-OF-LOG:\r\n";

TEST(CabrilloFileTextTest, HeaderInOrderThenTheQsoLines) {
  EXPECT_EQ(CabrilloFileText(SmallLog(), -24, "stand-in 1.0"), kSmallLogFile);
}

TEST(CabrilloFileTextTest, EmptyExportGivesBareTagsAndNoQsoLines) {
  const std::string text = CabrilloFileText(CabrilloExport(), 0, "Tarq");
  EXPECT_EQ(text.substr(0, 39), "START-OF-LOG: 3.0\r\nCALLSIGN: \r\nCONTEST:");
  EXPECT_NE(text.find("\r\nCLAIMED-SCORE: 0\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nCREATED-BY: Tarq Tarq\r\n"), std::string::npos);
  const std::string end = "\r\nEMAIL: \r\nSOAPBOX: \r\nEND-OF-LOG:\r\n";
  EXPECT_EQ(text.substr(text.size() - end.size()), end);
  std::size_t lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(lines, 25u);  // 24 header lines and the end
}

TEST(CabrilloFileTextTest, LineBreaksInValuesStartNoLineOfTheirOwn) {
  CabrilloExport log = SmallLog();
  log.name = "Ivan\r\nQSO: 14000 RY 2017-03-05 1432 UA3XYZ 599 001 FAKE 599 001";
  log.club = "Club\nEND-OF-LOG:";
  log.callsign = "UA3XYZ\r";
  log.address = "Lenina 1\r\nADDRESS: Apt 2\nQSO: x";  // the last break came without its tag
  log.soapbox = "Fine\rEND-OF-LOG:";
  log.qsoLines.clear();
  AddCabrilloQso(log, "DL1ABC\r\nEND-OF-LOG:", 3580, "RY", kTime, "599", "001\n", "599", "017\r\nQSO:");

  const std::string text = CabrilloFileText(log, 0, "host\rid");
  EXPECT_NE(text.find("\r\nNAME: Ivan  QSO: 14000 RY"), std::string::npos);
  EXPECT_NE(text.find("\r\nCLUB: Club END-OF-LOG:\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nADDRESS: Lenina 1\r\nADDRESS: Apt 2\r\nADDRESS: QSO: x\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nSOAPBOX: Fine\r\nSOAPBOX: END-OF-LOG:\r\n"), std::string::npos);
  EXPECT_NE(
      text.find(
          "\r\nQSO:  3580 RY 2017-03-05 1432 UA3XYZ        599 001    DL1ABC  END-OF-LOG: 599 017  QSO:\r\n"),
      std::string::npos)
      << text;
  // Every line is a header line, the one QSO line or the end, and each line break is a CR LF.
  std::size_t qsoLines = 0, ends = 0, lines = 0;
  for (std::size_t pos = 0; pos < text.size(); ++lines) {
    const std::size_t end = text.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos);
    const std::string line = text.substr(pos, end - pos);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    qsoLines += line.rfind("QSO:", 0) == 0;
    ends += line == "END-OF-LOG:";
    pos = end + 2;
  }
  EXPECT_EQ(qsoLines, 1u);
  EXPECT_EQ(ends, 1u);
  EXPECT_EQ(lines,
            24u + 3 + 1 + 1);  // the header with three more address and soapbox lines, the QSO, the end
}

class CabrilloWriteTest : public testing::InTempDir {};

TEST_F(CabrilloWriteTest, WritesTheFileAndNamesIt) {
  EXPECT_EQ(WriteCabrilloFile(SystemPlatform(), SmallLog(), -24, "stand-in 1.0"),
            "File produced: UA3XYZ.cbr");
  EXPECT_EQ(ReadFileBytes("UA3XYZ.cbr"), kSmallLogFile);
  // Rewritten from scratch each time.
  CabrilloExport shorter = SmallLog();
  shorter.qsoLines.pop_back();
  WriteCabrilloFile(SystemPlatform(), shorter, -24, "stand-in 1.0");
  EXPECT_EQ(ReadFileBytes("UA3XYZ.cbr"), CabrilloFileText(shorter, -24, "stand-in 1.0"));
}

TEST_F(CabrilloWriteTest, FailureIsReportedAndKeepsTheEarlierFile) {
  WriteFileBytes("UA3XYZ.cbr", "earlier log\r\n");
  FaultyPlatform platform;
  platform.BreakWrites();
  EXPECT_EQ(WriteCabrilloFile(platform, SmallLog(), 0, "x"), "Could not write file: UA3XYZ.cbr");
  EXPECT_EQ(ReadFileBytes("UA3XYZ.cbr"), "earlier log\r\n");

  // A file that cannot be created at all, as in a folder the operator may not write to.
  FaultyPlatform locked;
  locked.FailOpen("OK1AB.cbr", FaultyPlatform::kWrite);
  locked.FailTemporariesOf("OK1AB.cbr");
  CabrilloExport log = SmallLog();
  log.fileBase = "OK1AB";
  EXPECT_EQ(WriteCabrilloFile(locked, log, 0, "x"), "Could not write file: OK1AB.cbr");
  EXPECT_FALSE(testing::FileExistsAt("OK1AB.cbr"));
}

}  // namespace
}  // namespace zorvant
