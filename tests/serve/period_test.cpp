// Contacts outside the contest period: the answer page tells the entrant they will not count, and the
// check the robot publishes removes them, under the period and miscopy rule `zorvant serve` was given.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "serve/sqlite.h"
#include "tests/serve/robot_fixture.h"

namespace serve::testing {
namespace {

// An hour before the start (line 6), one in the period (line 7), and one after an 18:00 end (line 8).
const char kEarlyAndLate[] =
    "START-OF-LOG: 3.0\r\n"
    "CONTEST: ZORVANT\r\n"
    "CALLSIGN: OK2ZA\r\n"
    "CATEGORY-OPERATOR: SINGLE-OP\r\n"
    "CATEGORY-MODE: DIGI\r\n"
    "QSO:  1838 PM 2026-03-14 1300 OK2ZA         599 001  W5OOI         599 001\r\n"
    "QSO:  7040 RY 2026-03-14 1405 OK2ZA         599 002  OE4YHY/P      599 001\r\n"
    "QSO:  3585 RY 2026-03-14 1905 OK2ZA         599 003  OH1TFR        599 004\r\n"
    "END-OF-LOG:\r\n";

class PeriodTest : public RobotTest {
 protected:
  void SetUp() override {
    tune = [](RobotSettings& settings) {
      settings.rules.end = kContestStart + 4 * 3600;
      settings.endText = "2026-03-14 18:00";
    };
    RobotTest::SetUp();
  }
};

TEST_F(PeriodTest, TheAnswerAndTheStatusPageShowContactsOutsideThePeriodAsNotCounted) {
  Browser entrant = NewBrowser();
  const Visit visit = SendLog(entrant, "ok2za.log", kEarlyAndLate, "ok2za@example.org", true);
  ASSERT_EQ(visit.preview.status, 200) << visit.preview.body;
  Browser russian = NewBrowser();
  russian.acceptLanguage = "ru";
  const Answer status = entrant.Post("/status", {{"call", "OK2ZA"}, {"receipt", visit.receiptCode}});
  ASSERT_EQ(status.status, 200);
  russian.Get("/status");
  const Answer statusRu = russian.Post("/status", {{"call", "OK2ZA"}, {"receipt", visit.receiptCode}});
  ASSERT_EQ(statusRu.status, 200);

  // The claimed score stays the engine's, as the check's claimed column has it; beside it, what the check
  // will remove.
  Browser sponsor = Sponsor();
  ASSERT_EQ(sponsor.Post("/sponsor/publish", {}).status, 200);
  const std::optional<PublishedLog> published = store->Published("OK2ZA");
  ASSERT_TRUE(published);
  EXPECT_EQ(ById(visit.preview.body, "score"), std::to_string(published->claimed.score));
  EXPECT_EQ(published->removed, 2);
  EXPECT_EQ(ById(visit.preview.body, "outsidecount"), "2");
  struct Case {
    const char* what;
    std::string page;
    const char* reason;
  };
  for (const Case& c : {Case{"preview", visit.preview.body, "outside the contest period"},
                        Case{"status", status.body, "outside the contest period"},
                        Case{"russian status", statusRu.body, "вне периода соревнования"}}) {
    const std::string outside = Unescape(ById(c.page, "outside"));
    // Each by its line, call and time, with the reason and the period.
    EXPECT_NE(outside.find("6W5OOI2026-03-14 13:00"), std::string::npos) << c.what << ": " << outside;
    EXPECT_NE(outside.find("8OH1TFR2026-03-14 19:05"), std::string::npos) << c.what << ": " << outside;
    EXPECT_EQ(outside.find("OE4YHY/P"), std::string::npos) << c.what << ": " << outside;
    EXPECT_NE(outside.find(c.reason), std::string::npos) << c.what << ": " << outside;
    EXPECT_NE(outside.find("2026-03-14 14:00 – 2026-03-14 18:00"), std::string::npos)
        << c.what << ": " << outside;
  }
}

TEST_F(RobotTest, WithoutAnEndOnlyContactsBeforeTheStartAreOutside) {
  Browser entrant = NewBrowser();
  const Visit visit = SendLog(entrant, "ok2za.log", kEarlyAndLate, "ok2za@example.org", false);
  ASSERT_EQ(visit.preview.status, 200) << visit.preview.body;
  EXPECT_EQ(ById(visit.preview.body, "outsidecount"), "1");
  const std::string outside = Unescape(ById(visit.preview.body, "outside"));
  EXPECT_NE(outside.find("6W5OOI2026-03-14 13:00"), std::string::npos) << outside;
  EXPECT_EQ(outside.find("OH1TFR"), std::string::npos) << outside;

  // A log wholly inside the period says nothing of it.
  const Visit sample = SendLog(entrant, "ua3xyz.adi", SampleOf("UA3XYZ"), "ua3xyz@example.org", false);
  EXPECT_EQ(ById(sample.preview.body, "outsidecount"), "0");
  EXPECT_EQ(sample.preview.body.find("id=\"outside\""), std::string::npos);
}

// The command's own --end and --miscopy, through the server's publication to the entrant's UBN report.
TEST(ServePeriod, EndAndMiscopyGivenToServeReachTheCheck) {
  const std::string folder = NewFolder();
  {
    ServerProcess server(folder, {"--end", "2026-03-14 18:00", "--miscopy", "both"});
    ASSERT_GT(server.port, 0);
    Browser entrant("127.0.0.1", server.port);
    const Visit visit = SendLog(entrant, "ok2za.log", kEarlyAndLate, "ok2za@example.org", true);
    ASSERT_FALSE(visit.receiptCode.empty()) << visit.preview.body;
    Browser sponsor("127.0.0.1", server.port);
    sponsor.Get("/sponsor");
    ASSERT_EQ(sponsor.Post("/sponsor/login", {{"key", ServerProcess::kKey}}).status, 303);
    ASSERT_EQ(sponsor.Post("/sponsor/publish", {}).status, 200);

    entrant.Get("/status");
    const Answer status = entrant.Post("/status", {{"call", "OK2ZA"}, {"receipt", visit.receiptCode}});
    const std::string ubn = ById(status.body, "ubn");
    EXPECT_NE(ubn.find("costs both sides of the contact"), std::string::npos) << ubn;
    EXPECT_NE(ubn.find("OUTSIDE THE CONTEST PERIOD, line 6"), std::string::npos) << ubn;
    EXPECT_NE(ubn.find("before the contest's start, 2026-03-14 14:00"), std::string::npos) << ubn;
    EXPECT_NE(ubn.find("OUTSIDE THE CONTEST PERIOD, line 8"), std::string::npos) << ubn;
    EXPECT_NE(ubn.find("after the contest's end, 2026-03-14 18:00"), std::string::npos) << ubn;
    server.Kill();
  }
  // The published classes of the log's contacts, and what the results count removed.
  {
    Connection db(folder + "/zorvant.db");
    Statement classes(db, "SELECT line, class FROM classes ORDER BY line");
    std::vector<std::string> got;
    while (classes.Step()) got.push_back(std::to_string(classes.Int(0)) + " " + classes.Text(1));
    EXPECT_EQ(got.size(), 3u);
    EXPECT_EQ(got.front(), "6 outside the contest period");
    EXPECT_EQ(got.back(), "8 outside the contest period");
  }
  Store store(folder + "/zorvant.db");
  const std::optional<Publication> last = store.LastPublication();
  ASSERT_TRUE(last);
  EXPECT_NE(
      last->resultsText.find("contest period from 2026-03-14 14:00 to 2026-03-14 18:00 UTC; a miscopied "
                             "call or serial costs both sides of the contact"),
      std::string::npos)
      << last->resultsText;
  const std::optional<PublishedLog> ok2za = store.Published("OK2ZA");
  ASSERT_TRUE(ok2za);
  EXPECT_EQ(ok2za->removed, 2);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace serve::testing
