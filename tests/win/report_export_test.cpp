// The report and the export pass through the real exports, with the operator's part played by a thread
// that answers the plug-in's modal windows.
#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "host/stand_in_operator.h"
#include "tests/win/child.h"

namespace {

class ReportThroughExports : public PluginFolderTest {
 protected:
  void SetUp() override {
    PluginFolderTest::SetUp();
    KeepSetupWindowShut();  // not under test here
  }

  // The worked example: three scoring contacts with prefixes P, P, Q and a dupe in the first tour, P again
  // in the second; one of them in BPSK63 on 40 m.
  void AddContacts() {
    Qso q;
    q.prefix = "P";
    q.call = "AA1";
    ASSERT_EQ(CallAdd(plugin_, q), 1);
    ASSERT_EQ(CallAdd(plugin_, q), 1);  // dupe
    q.call = "AA2";
    ASSERT_EQ(CallAdd(plugin_, q), 1);
    q.call = "AA3";
    q.prefix = "Q";
    ASSERT_EQ(CallAdd(plugin_, q), 1);
    q.call = "AA1";
    q.prefix = "P";
    q.time = MakeDate(2017, 3, 5, 16, 5);
    ASSERT_EQ(CallAdd(plugin_, q), 1);
    q.call = "OK1AB";
    q.mode = "BPSK63";
    q.band = "40m";
    q.freqHz = 7040000;
    q.exchRcvd = "123";
    ASSERT_EQ(CallAdd(plugin_, q), 1);
  }
};

TEST_F(ReportThroughExports, TextReportLeavesTheStatusAlone) {
  ASSERT_EQ(CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0)), 1);
  AddContacts();
  int status = 0x5a5a;
  const char* report = plugin_.getResult(&status);
  ASSERT_NE(report, nullptr);
  EXPECT_STREQ(report,
               "  ZORVANT Contest 05.03.2017 \r\n"
               "     Contestant: MYCALL\r\n"
               "Band\tQSOs\tPoints\tNew Prefix\r\n"
               "80m\t 4\t  8\t    3\r\n"
               "40m\t 1\t  2\t    1\r\n"
               "Total\t 5\t  10\t    4\r\n"
               "Dupe\t 1\r\n"
               "Bad QSO\t 0\r\n"
               "Score = 10 * 4  = 40 \r\n");
  EXPECT_EQ(status, 0x5a5a);
  char claimed[32] = "";
  GetPrivateProfileStringA("Settings", "Claimed", "", claimed, sizeof claimed, ini_.c_str());
  EXPECT_STREQ(claimed, "40");
  EXPECT_EQ(GetFileAttributesA("MYCALL.cbr"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ReportThroughExports, ExportPassWritesTheCabrilloFileAndTellsTheOperator) {
  host::Operator header("ZORVANT");
  ASSERT_EQ(CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0), "UA", "", /*exportFlag=*/1), 1);
  EXPECT_TRUE(header.Answered());
  AddContacts();

  for (int pass = 0; pass < 2; ++pass) {  // a second report call must not write the contacts twice
    host::Operator output("Output");
    int status = 0;
    ASSERT_NE(plugin_.getResult(&status), nullptr);
    ASSERT_TRUE(output.Answered());
    EXPECT_EQ(output.message(), "File produced: MYCALL.cbr");
    EXPECT_EQ(status, -1);

    const std::string file = ReadFileBytes("MYCALL.cbr");
    ASSERT_EQ(file.rfind("START-OF-LOG: 3.0\r\nCALLSIGN: MYCALL\r\nCONTEST: ZORVANT\r\n", 0), 0u) << file;
    EXPECT_NE(file.find("\r\nCLAIMED-SCORE: 40\r\n"), std::string::npos);
    const std::size_t body = file.find("QSO:");
    ASSERT_NE(body, std::string::npos);
    std::size_t headerLines = 0, lineEnds = 0;
    for (std::size_t i = 0; i < file.size(); ++i) {
      if (file[i] != '\n') continue;
      ++lineEnds;
      EXPECT_EQ(file[i - 1], '\r') << "bare LF at " << i;
      if (i < body) ++headerLines;
    }
    EXPECT_EQ(headerLines, 24u);
    EXPECT_EQ(file.substr(body),
              "QSO:  3585 RY 2017-03-05 1432 MYCALL        599 001    AA1           599 017\r\n"
              "QSO:  3585 RY 2017-03-05 1432 MYCALL        599 001    AA1           599 017\r\n"
              "QSO:  3585 RY 2017-03-05 1432 MYCALL        599 001    AA2           599 017\r\n"
              "QSO:  3585 RY 2017-03-05 1432 MYCALL        599 001    AA3           599 017\r\n"
              "QSO:  3585 RY 2017-03-05 1605 MYCALL        599 001    AA1           599 017\r\n"
              "QSO:  7040 PM 2017-03-05 1605 MYCALL        599 001    OK1AB         599 123\r\n"
              "END-OF-LOG:\r\n");
    EXPECT_EQ(lineEnds, 24u + 6u + 1u);
  }
}

}  // namespace
