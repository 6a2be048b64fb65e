#include "logs/adif.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace logs {
namespace {

std::vector<std::string> Calls(const std::string& text) {
  std::vector<std::string> calls;
  for (const AdifRecord& record : ParseAdif(text)) calls.push_back(record.call);
  return calls;
}

TEST(AdifTest, ReadsEveryFieldTheHostPasses) {
  const std::string text =
      "Written by hand\r\n<ADIF_VER:5>3.1.0 <PROGRAMID:4>test <CALL:4>HDR1 <EOH>\r\n"
      "<STATION_CALLSIGN:6>UA3XYZ <OPERATOR:5>UA3XY <CALL:6>UA9QXA <QSO_DATE:8>20170305 <TIME_ON:6>143205 "
      "<BAND:3>80M <FREQ:7>3.58512 <MODE:3>PSK <SUBMODE:5>PSK63 <RST_SENT:3>599 <RST_RCVD:3>579 "
      "<STX:1>7 <STX_STRING:3>007 <SRX:2>12 <SRX_STRING:3>012 <QSLMSG:3>tnx <EOR>\r\n"
      "<call:5>K1XQP<qso_date:8>20170305<time_on:4>1433<freq:5>7.040<mode:4>RTTY<stx:3>008<srx:3>045<eor>"
      "\r\n";
  const std::vector<AdifRecord> records = ParseAdif(text);
  ASSERT_EQ(records.size(), 2u);  // the CALL in the header is not a QSO

  const AdifRecord& a = records[0];
  EXPECT_EQ(a.station_callsign, "UA3XYZ");
  EXPECT_EQ(a.operator_call, "UA3XY");
  EXPECT_EQ(a.call, "UA9QXA");
  EXPECT_EQ(a.qso_date, "20170305");
  EXPECT_EQ(a.time_on, "143205");
  EXPECT_EQ(a.band, "80m");
  EXPECT_EQ(a.freq, "3.58512");
  EXPECT_EQ(a.freq_hz, 3585120u);
  EXPECT_EQ(a.mode, "PSK");
  EXPECT_EQ(a.submode, "PSK63");
  EXPECT_EQ(a.rst_sent, "599");
  EXPECT_EQ(a.rst_rcvd, "579");
  EXPECT_EQ(a.stx, "007");  // the _STRING form keeps the leading zeros
  EXPECT_EQ(a.srx, "012");

  const AdifRecord& b = records[1];
  EXPECT_EQ(b.call, "K1XQP");
  EXPECT_EQ(b.time_on, "1433");
  EXPECT_EQ(b.band, "40m");  // from the frequency
  EXPECT_EQ(b.freq_hz, 7040000u);
  EXPECT_EQ(b.mode, "RTTY");
  EXPECT_EQ(b.stx, "008");
  EXPECT_EQ(b.srx, "045");
  EXPECT_EQ(b.station_callsign, "");
}

TEST(AdifTest, ValuesAreTakenByTheirDeclaredLength) {
  const std::vector<AdifRecord> records = ParseAdif(
      "<CALL:5>K1XQP<COMMENT:16>a <EOR> and <b> <SRX:4>771 <FREQ:5:N>7.040<NOTES:0><SRX_STRING:0><EOR>");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].call, "K1XQP");
  EXPECT_EQ(records[0].srx, "771");  // the blank the length counted is dropped; the empty _STRING is ignored
  EXPECT_EQ(records[0].freq_hz, 7040000u);
}

TEST(AdifTest, ToleratesLooseFraming) {
  const struct {
    const char* name;
    const char* text;
    std::vector<std::string> calls;
  } kCases[] = {
      {"no header", "<CALL:4>K1AB<EOR><CALL:4>K2AB<EOR>", {"K1AB", "K2AB"}},
      {"preamble without <EOH>", "Log of 5 < 6 days\n<CALL:4>K1AB <EOR>", {"K1AB"}},
      {"last record without <EOR>", "<EOH><CALL:4>K1AB<EOR><CALL:4>K2AB", {"K1AB", "K2AB"}},
      {"length past the end drops its record", "<EOH><CALL:4>K1AB<EOR><CALL:40>K2AB\r\n", {"K1AB"}},
      {"broken tags skipped", "<EOH><CALL:>x <:3>abc <CALL:4>K1AB <CALL:4x>y<EOR>", {"K1AB"}},
      {"empty and foreign records dropped", "<EOH><EOR> <QSLMSG:3>tnx<EOR><CALL:4>K1AB<EOR>", {"K1AB"}},
      {"header fields stay out of records", "x<CALL:4>HDR1<EOH><TIME_ON:4>1200<EOR>", {""}},
      {"header only", "x<PROGRAMID:4>test<EOH>\r\n", {}},
      {"empty text", "", {}},
  };
  for (const auto& c : kCases) EXPECT_EQ(Calls(c.text), c.calls) << c.name;
}

TEST(AdifTest, MhzToHz) {
  const struct {
    const char* mhz;
    unsigned hz;
  } kCases[] = {
      {"3.585", 3585000u},
      {"14.0745", 14074500u},
      {"7", 7000000u},
      {" 1.8385 ", 1838500u},
      {"1.8385999", 1838599u},  // past the Hz is cut, not rounded
      {"7,040", 7040000u},
      {".5", 500000u},
      {"4294.967295", 4294967295u},
      {"4294.967296", 0u},
      {"10368.1", 0u},
      {"123456789012345678901234.5", 0u},
      {"", 0u},
      {".", 0u},
      {"abc", 0u},
      {"-7.04", 0u},
      {"7.04.1", 0u},
      {"7.0 4", 0u},
  };
  for (const auto& c : kCases) EXPECT_EQ(MhzToHz(c.mhz), c.hz) << c.mhz;
}

TEST(AdifTest, BandOfHz) {
  EXPECT_EQ(BandOfHz(1800000), "160m");
  EXPECT_EQ(BandOfHz(1799999), "");
  EXPECT_EQ(BandOfHz(3585120), "80m");
  EXPECT_EQ(BandOfHz(10142100), "30m");
  EXPECT_EQ(BandOfHz(432100000), "70cm");
  EXPECT_EQ(BandOfHz(0), "");
}

TEST(AdifTest, HostMode) {
  const struct {
    const char* mode;
    const char* submode;
    const char* host;
  } kCases[] = {
      {"RTTY", "", "RTTY"},       {"rtty", "", "RTTY"},
      {"PSK", "PSK63", "BPSK63"}, {"psk", "bpsk63", "BPSK63"},
      {"PSK63", "", "BPSK63"},    {"PSK", "PSK31", "PSK"},
      {"PSK", "QPSK63", "PSK"},   {"FT8", "", "FT8"},
      {"MFSK", "FT4", "MFSK"},    {"", "", ""},
  };
  for (const auto& c : kCases) {
    AdifRecord record;
    record.mode = c.mode;
    record.submode = c.submode;
    EXPECT_EQ(HostMode(record), c.host) << c.mode << "/" << c.submode;
  }
}

TEST(AdifTest, ParseQsoTime) {
  QsoTime t{};
  ASSERT_TRUE(ParseQsoTime("20170305", "143205", &t));
  EXPECT_EQ(t.year, 2017);
  EXPECT_EQ(t.month, 3);
  EXPECT_EQ(t.day, 5);
  EXPECT_EQ(t.hour, 14);
  EXPECT_EQ(t.minute, 32);
  EXPECT_EQ(t.second, 5);
  ASSERT_TRUE(ParseQsoTime("20170305", "0000", &t));
  EXPECT_EQ(t.second, 0);

  const struct {
    const char* date;
    const char* time;
    bool ok;
  } kCases[] = {
      {"20160229", "1200", true},   {"20000229", "1200", true},    {"20170229", "1200", false},
      {"19000229", "1200", false},  {"20171305", "1200", false},   {"20170300", "1200", false},
      {"20170431", "1200", false},  {"2017035", "1200", false},    {"2017-03-05", "1200", false},
      {"20170305", "2400", false},  {"20170305", "1260", false},   {"20170305", "143", false},
      {"20170305", "14:32", false}, {"20170305", "143260", false}, {"", "", false},
  };
  for (const auto& c : kCases) EXPECT_EQ(ParseQsoTime(c.date, c.time, &t), c.ok) << c.date << " " << c.time;
}

TEST(AdifTest, ReadAdifFile) {
  const std::string path = ::testing::TempDir() + "adif_test_log.adi";
  std::ofstream(path, std::ios::binary) << "<EOH>\r\n<CALL:4>K1AB<EOR>\r\n";
  std::vector<AdifRecord> records;
  ASSERT_TRUE(ReadAdifFile(path, &records));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].call, "K1AB");
  std::remove(path.c_str());
  EXPECT_FALSE(ReadAdifFile(path, &records));
}

// The demo log must replay in full: every QSO readable, its frequency inside its band.
TEST(AdifTest, BundledSampleLogIsComplete) {
  const std::string path = std::string(ZORVANT_SOURCE_DIR) + "/data/sample-contest.adi";
  std::vector<AdifRecord> records;
  ASSERT_TRUE(ReadAdifFile(path, &records)) << path;
  ASSERT_GE(records.size(), 30u);
  for (const AdifRecord& r : records) {
    QsoTime t;
    EXPECT_TRUE(ParseQsoTime(r.qso_date, r.time_on, &t)) << r.call;
    EXPECT_EQ(r.band, BandOfHz(r.freq_hz)) << r.call;
    EXPECT_FALSE(r.call.empty());
    EXPECT_EQ(r.station_callsign, "UA3XYZ") << r.call;
    EXPECT_FALSE(HostMode(r).empty()) << r.call;
    EXPECT_FALSE(r.stx.empty()) << r.call;
  }
}

}  // namespace
}  // namespace logs
