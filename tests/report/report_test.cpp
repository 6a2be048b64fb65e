#include "report/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/contest.h"
#include "tests/support/test_support.h"

namespace zorvant {
namespace {

using testing::Contact;
using testing::FaultyPlatform;
using testing::FileExistsAt;
using testing::ReadFileBytes;
using testing::RecordingShell;
using testing::WriteFileBytes;

using List = std::vector<std::string>;

class ReportTest : public testing::InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    platform_.SetUtcHour(14);
    shell_.windowOpen = true;  // keeps the reset from asking for a Setup window
    Reset(0);
  }

  void Reset(int exportFlag, const char* ownCall = "UA3XYZ") {
    ResetArgs r;
    r.ownCall = ownCall;
    r.start = &start_;
    r.exportFlag = exportFlag;
    ASSERT_EQ(contest_.Reset(r, shell_), 1);
  }

  // A contact on 80m at 14:30 (tour 1 of the contest) or 16:30 (tour 2).
  void Add(const std::string& call, const std::string& prefix, int tour, const std::string& band = "80m") {
    Contact c;
    c.call = call;
    c.prefix = prefix;
    c.band = band;
    c.time = OleDate::FromParts(2017, 3, 5, tour == 0 ? 14 : 16, 30);
    ASSERT_EQ(contest_.AddData(c.Args()), 1);
  }

  // Three scoring contacts with prefixes P, P and Q and one dupe in the first tour, P again in the second.
  void AddWorkedExample() {
    Add("AA1", "P", 0);
    Add("AA2", "P", 0);
    Add("AA3", "Q", 0);
    Add("AA1", "P", 0);
    Add("AA1", "P", 1);
  }

  std::string Claimed() { return platform_.ProfileString(kSettingsFile, kSettingsSection, "Claimed", "?"); }

  OleDate start_ = OleDate::FromParts(2017, 3, 5, 14, 0);
  FaultyPlatform platform_;
  RecordingShell shell_;
  Contest contest_{platform_};
};

TEST_F(ReportTest, WorkedExampleAsText) {
  AddWorkedExample();
  const ReportOutcome outcome = MakeReport(contest_);
  EXPECT_EQ(contest_.reportText,
            "  ZORVANT Contest 05.03.2017 \r\n"
            "     Contestant: UA3XYZ\r\n"
            "Band\tQSOs\tPoints\tNew Prefix\r\n"
            "80m\t 4\t  8\t    3\r\n"
            "Total\t 4\t  8\t    3\r\n"
            "Dupe\t 1\r\n"
            "Bad QSO\t 0\r\n"
            "Score = 8 * 3  = 24 \r\n");
  EXPECT_EQ(Claimed(), "24");
  EXPECT_EQ(contest_.claimedScore, 24);
  EXPECT_FALSE(outcome.exported);
  EXPECT_FALSE(FileExistsAt("UA3XYZ.cbr"));
}

const char kHtmlHead[] =
    "<html><head><style>table{ width:100%; }table, th, td{ border: 1px solid black; border-collapse: "
    "collapse; "
    "}th, td{ padding: 1px; text-align: middle; }th,td{ background-color: #fffac6; color: black; "
    "}</style></head><body>";
const char kHtmlColumnHeads[] = "<tr><th>Band</th><th>QSOs</th><th>Points</th><th>New Prefix</th></tr>";

TEST_F(ReportTest, WorkedExampleAsHtml) {
  contest_.htmlReport = 1;
  AddWorkedExample();
  MakeReport(contest_);
  EXPECT_EQ(
      contest_.reportText,
      std::string(kHtmlHead) +
          "<center><b>   ZORVANT Contest 05.03.2017</b></center><center>Contestant:  <b>UA3XYZ</center></b>"
          "<table>" +
          kHtmlColumnHeads +
          "<tr><th><center>80m</center></th><td><center>4</center></td><td><center>8</center></td>"
          "<td><center>3</center></td></tr>"
          "<tr><th><center>Total</center></th><td><center>4</center></td><td><center>8</center></td>"
          "<td><center>3</center></td></tr>"
          "<tr><th><center>Dupe</center></th><td><center>1</center></td><td colspan=7> </td></tr>"
          "<tr><th><center>Bad QSO</center></th><td><center>0</center></td><td colspan=7> </td></tr>"
          "<tr><th>Score:</th><td colspan=8><center>8 * 3  = 24</center></td></tr>"
          "</table></body></html>");
}

TEST_F(ReportTest, EmptyLogCountsTheRejectedContacts) {
  Contact wrongBand;
  wrongBand.band = "30m";
  Contact noNumber;
  noNumber.exchRcvd = "";
  ASSERT_EQ(contest_.AddData(wrongBand.Args()), 0);
  ASSERT_EQ(contest_.AddData(noNumber.Args()), 0);
  contest_.bandsWorked.clear();  // the contact without a number marked 80m as worked
  platform_.WriteProfileString(kSettingsFile, kSettingsSection, "Claimed", "1234");

  MakeReport(contest_);
  EXPECT_EQ(contest_.reportText,
            "  ZORVANT Contest 05.03.2017 \r\n     Contestant: UA3XYZ\r\nBand\tQSOs\tPoints\tNew Prefix\r\n"
            "Total\t 0\t  0\t    0\r\nDupe\t 0\r\nBad QSO\t 2\r\nScore = 0 * 0  = 0 \r\n");
  EXPECT_EQ(Claimed(), "0");
}

TEST_F(ReportTest, CallsAndExchangesThatSpellAMarkerAreStillCounted) {
  Contact dupeCall;
  dupeCall.call = "K3DUPE";
  dupeCall.band = "30m";
  Contact ubnExchange;
  ubnExchange.exchRcvd = "UBN";
  ubnExchange.band = "30m";
  ASSERT_EQ(contest_.AddData(dupeCall.Args()), 0);
  ASSERT_EQ(contest_.AddData(ubnExchange.Args()), 0);
  Add("UA3UBN", "UA3", 0);
  Add("UA3UBN", "UA3", 0);  // a dupe line, which is not counted

  MakeReport(contest_);
  EXPECT_NE(contest_.reportText.find("Dupe\t 1\r\nBad QSO\t 2\r\n"), std::string::npos)
      << contest_.reportText;
}

TEST_F(ReportTest, HtmlEscapesEveryInsertedText) {
  Reset(0, "<b>&\"X\"");
  contest_.htmlReport = 1;
  Contact refused;
  refused.band = "<80m>";
  ASSERT_EQ(contest_.AddData(refused.Args()), 0);
  contest_.bandsWorked = {"<80m>"};  // the band table refuses such a text: force it in to see it escaped
  MakeReport(contest_);
  EXPECT_EQ(
      contest_.reportText,
      std::string(kHtmlHead) +
          "<center><b>   ZORVANT Contest 05.03.2017</b></center><center>Contestant:  "
          "<b>&lt;b&gt;&amp;&quot;X&quot;</center></b><table>" +
          kHtmlColumnHeads +
          "<tr><th><center>&lt;80m&gt;</center></th><td><center>0</center></td><td><center>0</center></td>"
          "<td><center>0</center></td></tr>"
          "<tr><th><center>Total</center></th><td><center>0</center></td><td><center>0</center></td>"
          "<td><center>0</center></td></tr>"
          "<tr><th><center>Dupe</center></th><td><center>0</center></td><td colspan=7> </td></tr>"
          "<tr><th><center>Bad QSO</center></th><td><center>1</center></td><td colspan=7> </td></tr>"
          "<tr><th>Score:</th><td colspan=8><center>0 * 0  = 0</center></td></tr>"
          "</table></body></html>");
}

TEST_F(ReportTest, CurrentTourFollowsTheUtcClock) {
  struct Case {
    int startHour, utcHour, tour;
  } cases[] = {{14, 14, 0}, {14, 15, 0}, {14, 16, 1}, {14, 23, 1}, {14, 3, 0}, {23, 1, 0}, {0, 2, 1}};
  for (const Case& c : cases) {
    contest_.startHour = static_cast<std::int16_t>(c.startHour);
    platform_.SetUtcHour(c.utcHour);
    MakeReport(contest_);
    EXPECT_EQ(contest_.currentTour, c.tour) << c.startHour << " " << c.utcHour;
  }
}

TEST_F(ReportTest, PrefixListsOfTheCurrentTourAreRebuilt) {
  AddWorkedExample();
  Add("AA4", "R", 1, "160m");
  MakeReport(contest_);
  EXPECT_EQ(contest_.tourPrefixes[0 * 3 + 1], (List{"P", "Q"}));
  EXPECT_EQ(contest_.tourPrefixes[0 * 3 + 0], List{});
  EXPECT_EQ(contest_.tourPrefixes[1 * 3 + 1], List{});

  platform_.SetUtcHour(16);
  MakeReport(contest_);
  EXPECT_EQ(contest_.tourPrefixes[1 * 3 + 1], List{"P"});
  EXPECT_EQ(contest_.tourPrefixes[1 * 3 + 0], List{"R"});
  EXPECT_EQ(contest_.tourPrefixes[0 * 3 + 1], (List{"P", "Q"}));  // the other tour keeps what it had
}

TEST_F(ReportTest, BandsInOrderEachCountedFromItsOwnContacts) {
  for (const char* band : {"20m", "40m", "10m", "160m", "15m", "80m"}) Add("AA1", "X", 1, band);
  Add("AA2", "Y", 0, "20m");
  Add("AA3", "Z", 0, "80M");  // another spelling of 80m is a band of its own
  MakeReport(contest_);
  EXPECT_EQ(contest_.reportText,
            "  ZORVANT Contest 05.03.2017 \r\n     Contestant: UA3XYZ\r\nBand\tQSOs\tPoints\tNew Prefix\r\n"
            "160m\t 1\t  2\t    1\r\n"
            "80m\t 1\t  2\t    1\r\n"
            "80M\t 1\t  2\t    1\r\n"
            "40m\t 1\t  2\t    1\r\n"
            "20m\t 2\t  4\t    2\r\n"
            "15m\t 1\t  2\t    1\r\n"
            "10m\t 1\t  2\t    1\r\n"
            "Total\t 8\t  16\t    8\r\nDupe\t 0\r\nBad QSO\t 0\r\nScore = 16 * 8  = 128 \r\n");
  // Only the three window bands fill the lists the windows show.
  EXPECT_EQ(contest_.tourPrefixes[0 * 3 + 1], List{});
  EXPECT_EQ(contest_.tourPrefixes[0 * 3 + 2], List{});
}

TEST(SortBandsTest, DescendingByZeroPaddedText) {
  List bands = {"10m", "40m", "160m", "15m", "80m", "20m"};
  SortBands(bands);
  EXPECT_EQ(bands, (List{"160m", "80m", "40m", "20m", "15m", "10m"}));
}

TEST(CountBadQsoLinesTest, SkipsTheHeaderAndTheDupes) {
  EXPECT_EQ(CountBadQsoLines(""), 0);
  EXPECT_EQ(CountBadQsoLines("ZORVANT CONTEST UBN file UBN file \r\n"
                             "QSO:  3585  RTTY  x   DUPE !!!\r\n"
                             "QSO:  3585  CW  x   WRONG MODE !!!\r\n"
                             "QSO:  3585  RTTY  x   NO RX NUMBER !!!"),
            2);
}

TEST(CountBadQsoLinesTest, ByTheReasonAtTheEndOfEachLine) {
  const std::string wrongBand =
      "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  K3DUPE  599  017   WRONG BAND !!!\r\n";
  const std::string dupe =
      "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  UBN  UA3UBN  599  017   DUPE !!!\r\n";
  const struct {
    std::string text;
    int count;
  } cases[] = {
      {"ZORVANT CONTEST UBN file UBN file \r\n" + wrongBand + dupe, 1},
      {wrongBand + dupe, 1},                                     // no header: the first line is a contact's
      {"ZORVANT CONTEST UBN file UBN file\r\n" + wrongBand, 1},  // an editor cut the header's trailing blank
      {"ZORVANT CONTEST UBN file UBN file \r\n" + dupe + "DUPE !!! WRONG MODE !!!\r\n", 1},
      // As an operator's editor leaves the file: blank lines stand for no contact, and a header saved with a
      // byte-order mark is still the header.
      {"ZORVANT CONTEST UBN file UBN file \r\n" + wrongBand + "\r\n", 1},
      {"ZORVANT CONTEST UBN file UBN file \r\n\r\n \t\r\n" + wrongBand + "\n\n", 1},
      {"\xEF\xBB\xBFZORVANT CONTEST UBN file UBN file \r\n" + wrongBand + dupe, 1},
      {"\xEF\xBB\xBFZORVANT CONTEST UBN file UBN file\n" + wrongBand, 1},
      {"\xEF\xBB\xBF" + wrongBand + wrongBand, 2},
  };
  for (const auto& c : cases) EXPECT_EQ(CountBadQsoLines(c.text), c.count) << c.text;
}

class ReportExportTest : public ReportTest {
 protected:
  void SetUp() override {
    ReportTest::SetUp();
    Reset(1);
    contest_.cabrillo.callsign = "UA3XYZ";
    contest_.cabrillo.fileBase = "UA3XYZ";
  }
};

TEST_F(ReportExportTest, WritesOneLinePerContactOfTheLogOnEveryCall) {
  AddWorkedExample();
  Contact emptyCall;
  emptyCall.call = "";
  emptyCall.mode = "BPSK63";
  emptyCall.freqHz = 7040000;
  emptyCall.band = "40m";
  ASSERT_EQ(contest_.AddData(emptyCall.Args()), 1);

  for (int call = 0; call < 2; ++call) {
    const ReportOutcome outcome = MakeReport(contest_);
    EXPECT_TRUE(outcome.exported);
    EXPECT_EQ(outcome.exportMessage, "File produced: UA3XYZ.cbr");
    const std::string file = ReadFileBytes("UA3XYZ.cbr");
    EXPECT_NE(file.find("\r\nCLAIMED-SCORE: 24\r\n"), std::string::npos);
    const std::string body = file.substr(file.find("QSO:"));
    EXPECT_EQ(body,
              "QSO:  3585 RY 2017-03-05 1430 UA3XYZ        599 001    AA1           599 017\r\n"
              "QSO:  3585 RY 2017-03-05 1430 UA3XYZ        599 001    AA2           599 017\r\n"
              "QSO:  3585 RY 2017-03-05 1430 UA3XYZ        599 001    AA3           599 017\r\n"
              "QSO:  3585 RY 2017-03-05 1430 UA3XYZ        599 001    AA1           599 017\r\n"
              "QSO:  3585 RY 2017-03-05 1630 UA3XYZ        599 001    AA1           599 017\r\n"
              "QSO:  7040 PM 2017-03-05 1432 UA3XYZ        599 001                  599 017\r\n"
              "END-OF-LOG:\r\n");
  }
}

}  // namespace
}  // namespace zorvant
