// What the public sees of a contest: the results as published, ranked per category, and the list of the
// calls whose logs arrived; and what a publication leaves in the database.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "serve/sqlite.h"
#include "tests/serve/robot_fixture.h"

namespace serve::testing {
namespace {

namespace fs = std::filesystem;

// The ranking under the heading `heading` of a results page: "place call", in order. Empty when there is
// no such heading.
std::vector<std::string> Ranked(const std::string& page, const std::string& heading) {
  std::vector<std::string> rows;
  std::size_t at = page.find("<h2>" + heading + "</h2>");
  if (at == std::string::npos) return rows;
  const std::size_t end = page.find("</table>", at);
  const std::string cell = "<tr><td>", call = "</td><td class=\"call\">";
  while ((at = page.find(cell, at)) != std::string::npos && at < end) {
    at += cell.size();
    const std::size_t split = page.find(call, at);
    const std::size_t close = page.find("</td>", split + call.size());
    rows.push_back(page.substr(at, split - at) + " " +
                   page.substr(split + call.size(), close - split - call.size()));
  }
  return rows;
}

std::int64_t Count(const std::string& path, const char* sql) {
  Connection db(path);
  Statement q(db, sql);
  return q.Step() ? q.Int(0) : -1;
}

class ResultsTest : public RobotTest {
 protected:
  // The contest of tests/data/check/, sent log by log, with one log's categories changed; the receipts by
  // call.
  std::map<std::string, std::string> SendTheCheckedContest() {
    std::map<std::string, std::string> receipts;
    const std::string folder = std::string(ZORVANT_SOURCE_DIR) + "/tests/data/check/logs";
    for (const auto& file : fs::directory_iterator(folder)) {
      const std::string name = file.path().filename().string();
      std::string log = ReadSource("tests/data/check/logs/" + name);
      if (name == "OH1TFR.log") log.replace(log.find("SINGLE-OP"), 9, "MULTI-ONE");
      Browser entrant = NewBrowser();
      const Visit visit = SendLog(entrant, name, log, "x@example.org", true);
      EXPECT_FALSE(visit.receiptCode.empty()) << name << visit.preview.body;
      receipts[ById(visit.preview.body, "call")] = visit.receiptCode;
    }
    return receipts;
  }
};

TEST_F(ResultsTest, TheResultsPageHasTheSiteNavigationItsDateAndARankingPerCategory) {
  SendTheCheckedContest();
  clock = kContestStart + 26 * 3600;
  ASSERT_EQ(Sponsor().Post("/sponsor/publish", {}).status, 200);

  // Each category's ranking is the overall one cut to the category, its places counted afresh.
  std::map<std::string, std::vector<std::string>> expected;
  for (const PublishedLog& log : store->PublishedLogs()) {
    if (log.place == 0) continue;
    for (const std::string& group : {std::string("*"), log.categories}) {
      std::vector<std::string>& rows = expected[group];
      rows.push_back(std::to_string(group == "*" ? log.place : static_cast<int>(rows.size()) + 1) + " " +
                     log.call);
    }
  }
  ASSERT_EQ(expected.size(), 4u);  // overall, MULTI-ONE, SINGLE-OP, none (the ADIF logs)
  ASSERT_EQ(expected["MULTI-ONE DIGI"].size(), 1u);
  ASSERT_EQ(expected[""].size(), 3u);

  struct Case {
    const char* lang;
    const char* published;
    const char* overall;
    const char* none;
  };
  for (const Case& c :
       {Case{"en", "Published 2026-03-15 16:00:00 UTC.", "All entrants", "No category given"},
        Case{"ru", "Опубликовано 2026-03-15 16:00:00 UTC.", "Все участники", "Без категории"}}) {
    Browser visitor = NewBrowser();
    const Answer page = visitor.Get(std::string("/results?lang=") + c.lang);
    ASSERT_EQ(page.status, 200);
    for (const char* link : {"href=\"/\"", "href=\"/status\"", "href=\"/received\"", "href=\"/sponsor\""}) {
      EXPECT_NE(page.body.find(link), std::string::npos) << c.lang << " " << link;
    }
    EXPECT_EQ(ById(page.body, "published"), c.published);
    EXPECT_EQ(Ranked(page.body, c.overall), expected["*"]) << c.lang;
    EXPECT_EQ(Ranked(page.body, "MULTI-ONE DIGI"), expected["MULTI-ONE DIGI"]) << c.lang;
    EXPECT_EQ(Ranked(page.body, "SINGLE-OP DIGI"), expected["SINGLE-OP DIGI"]) << c.lang;
    EXPECT_EQ(Ranked(page.body, c.none), expected[""]) << c.lang;
    // Overall first, the categories by name, the logs without one last.
    EXPECT_LT(page.body.find(c.overall), page.body.find("MULTI-ONE DIGI</h2>")) << c.lang;
    EXPECT_LT(page.body.find("MULTI-ONE DIGI</h2>"), page.body.find("SINGLE-OP DIGI</h2>")) << c.lang;
    EXPECT_LT(page.body.find("SINGLE-OP DIGI</h2>"), page.body.find(c.none)) << c.lang;
    // The page's look comes from the site's style sheet.
    const std::string policy = page.headers.find("Content-Security-Policy")->second;
    EXPECT_NE(policy.find("style-src 'self'"), std::string::npos) << policy;
  }
}

TEST_F(ResultsTest, TheReceivedListShowsEachCallOnceByItsFirstReceiptAndNothingElse) {
  Browser visitor = NewBrowser();
  EXPECT_NE(visitor.Get("/received").body.find("No log has been received yet."), std::string::npos);

  Browser owner = NewBrowser(), stranger = NewBrowser(), other = NewBrowser();
  clock = kContestStart + 7 * 3600;  // 21:00
  const Visit first = SendLog(owner, "ua3xyz.adi", SampleOf("UA3XYZ"), "owner@example.org", true);
  clock = kContestStart + 8 * 3600;  // 22:00: the owner's second version
  SendLog(owner, "ua3xyz.adi", SampleOf("UA3XYZ") + "\n", "owner@example.org", true, first.receiptCode);
  clock = kContestStart + 9 * 3600;  // 23:00: someone else's, set aside
  SendLog(stranger, "ua3xyz.adi", SampleOf("UA3XYZ") + "\n\n", "stranger@example.org", true);
  ASSERT_EQ(store->SetAside().size(), 1u);
  clock = kContestStart + 10 * 3600;
  SendLog(other, "ok2za.adi", SampleOf("OK2ZA"), "ok2za@example.org", true);

  struct Case {
    const char* lang;
    const char* title;
    const char* heads;
  };
  for (const Case& c : {Case{"en", "Logs received", "CallFirst received, UTC"},
                        Case{"ru", "Полученные отчёты", "ПозывнойВпервые получен, UTC"}}) {
    const Answer page = visitor.Get(std::string("/received?lang=") + c.lang);
    ASSERT_EQ(page.status, 200);
    EXPECT_NE(page.body.find(std::string("<h1>") + c.title + "</h1>"), std::string::npos) << c.lang;
    EXPECT_EQ(ById(page.body, "received"),
              "\n" + std::string(c.heads) + "\nOK2ZA2026-03-15 00:00:00\nUA3XYZ2026-03-14 21:00:00\n")
        << c.lang;
    // Nothing of who sent them, what they score, or of the versions after the first.
    for (const char* hidden : {"@example.org", "22:00", "23:00", "60858"}) {
      EXPECT_EQ(page.body.find(hidden), std::string::npos) << c.lang << " " << hidden;
    }
  }
  // Every page links to it.
  EXPECT_NE(visitor.Get("/status?lang=en").body.find("<a href=\"/received\">Logs received</a>"),
            std::string::npos);
}

TEST_F(ResultsTest, PublishingAgainReplacesThePerContactRowsAndKeepsTheLatestForTheEntrant) {
  const std::map<std::string, std::string> receipts = SendTheCheckedContest();
  Browser sponsor = Sponsor();
  ASSERT_EQ(sponsor.Post("/sponsor/publish", {}).status, 200);
  const std::int64_t classes = Count(DatabasePath(), "SELECT COUNT(*) FROM classes");
  ASSERT_GT(classes, 100);
  for (int again = 0; again < 2; ++again) {
    ASSERT_EQ(sponsor.Post("/sponsor/publish", {}).status, 200);
    EXPECT_EQ(Count(DatabasePath(), "SELECT COUNT(*) FROM classes"), classes);
  }
  EXPECT_EQ(Count(DatabasePath(),
                  "SELECT COUNT(*) FROM classes WHERE publication <> (SELECT MAX(id) FROM publications)"),
            0);
  // Earlier publications keep their scores, not their UBN reports.
  EXPECT_EQ(Count(DatabasePath(), "SELECT COUNT(*) FROM results WHERE ubn <> ''"), 9);
  EXPECT_EQ(Count(DatabasePath(), "SELECT COUNT(*) FROM publications"), 3);

  // What the entrant and the sponsor see is the latest publication, whole.
  Browser entrant = NewBrowser();
  entrant.Get("/status");
  const Answer status = entrant.Post("/status", {{"call", "OK2ZA"}, {"receipt", receipts.at("OK2ZA")}});
  EXPECT_EQ(ById(status.body, "checked"), "2040");
  EXPECT_NE(ById(status.body, "ubn").find("BUSTED CALL, line 13"), std::string::npos);
  EXPECT_NE(
      sponsor.Get("/sponsor/results.csv").body.find(",OK2ZA,SINGLE-OP DIGI,36,72,32,2304,34,68,30,2040,2"),
      std::string::npos);
}

}  // namespace
}  // namespace serve::testing
