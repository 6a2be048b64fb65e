// The log robot's HTTP side in process: requests in, pages out, and what the database holds after them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "cli/check.h"
#include "serve/secrets.h"
#include "tests/serve/robot_fixture.h"

namespace serve::testing {
namespace {

namespace fs = std::filesystem;

std::string NoCarriageReturns(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

// A Cabrillo log with what entrants get wrong: a time that is no HHMM, a contact line cut short (holding
// markup besides), a band outside the contest, and a dupe.
const char kFaultyCabrillo[] =
    "START-OF-LOG: 3.0\r\n"
    "CONTEST: ZORVANT\r\n"
    "CALLSIGN: OK2ZA\r\n"
    "CATEGORY-OPERATOR: SINGLE-OP\r\n"
    "CATEGORY-MODE: DIGI\r\n"
    "QSO:  1838 PM 2026-03-14 1402 OK2ZA         599 001  W5OOI         599 001\r\n"
    "QSO:  1838 RY 2026-03-14 18:01 OK2ZA        599 002  OE4YHY/P      599 001\r\n"
    "QSO: 10144 RY 2026-03-14 1405 OK2ZA         599 003  DL1ABC        599 004\r\n"
    "QSO:  7040 RY 2026-03-14 1406 OK2ZA <b>x</b> 005\r\n"
    "QSO:  1838 PM 2026-03-14 1407 OK2ZA         599 006  W5OOI         599 002\r\n"
    "END-OF-LOG:\r\n";

TEST_F(RobotTest, AnUploadShowsTheScoreAndReportOfZorvantScoreAndStoresNothingUntilConfirmed) {
  Browser entrant = NewBrowser();
  const std::string log = ReadSource("data/sample-contest.adi");
  Visit visit = SendLog(entrant, "sample-contest.adi", log, "ua3xyz@example.org", /*confirm=*/false);
  ASSERT_EQ(visit.preview.status, 200) << visit.preview.body;
  EXPECT_EQ(ById(visit.preview.body, "call"), "UA3XYZ");
  EXPECT_EQ(ById(visit.preview.body, "score"), "60858");
  EXPECT_EQ(ById(visit.preview.body, "report"),
            NoCarriageReturns(ReadSource("data/sample-contest.report.txt")));
  // The contacts the contest refuses, each by its line and with the engine's reason.
  const std::string refused = ById(visit.preview.body, "refused");
  EXPECT_NE(refused.find("90OK1NMX30mRTTYband outside the contest"), std::string::npos) << refused;
  EXPECT_NE(refused.find("77UA0YCI40mFT8mode outside the contest"), std::string::npos) << refused;
  EXPECT_NE(refused.find("109SP2BK160mRTTYa serial number missing"), std::string::npos) << refused;
  EXPECT_TRUE(store->Latest().empty());

  visit = SendLog(entrant, "sample-contest.adi", log, "ua3xyz@example.org", /*confirm=*/true);
  ASSERT_EQ(visit.receipt.status, 200) << visit.receipt.body;
  ASSERT_EQ(visit.receiptCode.size(), 12u);
  const std::vector<Received> stored = store->Latest();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].call, "UA3XYZ");
  EXPECT_EQ(stored[0].receipt, visit.receiptCode);
  EXPECT_EQ(stored[0].email, "ua3xyz@example.org");
  EXPECT_EQ(stored[0].claimed.score, 60858);
  EXPECT_EQ(stored[0].sha256, Sha256Hex(log));
  EXPECT_EQ(store->Bytes(stored[0].id), log);

  // The same answer confirmed again (a second press, a browser resending) gives the same receipt, once.
  const Answer again = entrant.Post("/confirm", {{"token", visit.token}});
  EXPECT_EQ(ById(again.body, "receipt"), visit.receiptCode);
  EXPECT_EQ(store->All().size(), 1u);
}

TEST_F(RobotTest, ProblemsAreShownByLineWithTheLineItself) {
  Browser entrant = NewBrowser();
  const Visit visit = SendLog(entrant, "ok2za.log", kFaultyCabrillo, "ok2za@example.org", false);
  ASSERT_EQ(visit.preview.status, 200);
  const std::string problems = ById(visit.preview.body, "problems");
  EXPECT_NE(problems.find("7line 7: date and time \"2026-03-14 18:01\" are not YYYY-MM-DD HHMMQSO:  1838 RY "
                          "2026-03-14 18:01 OK2ZA"),
            std::string::npos)
      << problems;
  EXPECT_NE(problems.find("9line 9: no worked callsign"), std::string::npos) << problems;
  const std::string refused = ById(visit.preview.body, "refused");
  EXPECT_NE(refused.find("8DL1ABC"), std::string::npos) << refused;
  EXPECT_NE(refused.find("10W5OOI160mBPSK63dupe"), std::string::npos) << refused;
  EXPECT_NE(visit.preview.body.find("CATEGORY-OPERATOR: SINGLE-OP"), std::string::npos);
  EXPECT_EQ(ById(visit.preview.body, "score"), "2");
  // What the log held is shown as text, never as markup.
  EXPECT_EQ(visit.preview.body.find("<b>x"), std::string::npos);
  EXPECT_NE(visit.preview.body.find("&lt;b&gt;x&lt;/b&gt;"), std::string::npos);
}

TEST_F(RobotTest, ALogThatCannotBeTakenIsShownWithItsReasonAndNeverStored) {
  struct Case {
    const char* what;
    std::string log;
    const char* reason;
  };
  const Case cases[] = {
      {"neither format", "Dear sponsor, my log follows by post.\n", "neither a Cabrillo 3.0 nor an ADIF log"},
      {"no station", "<CALL:5>W5OOI <QSO_DATE:8>20260314 <TIME_ON:4>1402 <BAND:3>80m <MODE:4>RTTY <EOR>\n",
       "does not say whose it is"},
      {"a call that is markup",
       "START-OF-LOG: 3.0\nCALLSIGN: <script>x</script>\nQSO:  1838 RY 2026-03-14 1402 A1B 599 1 W5OOI 599 "
       "1\n",
       "does not read as a callsign"},
      {"no contact", "START-OF-LOG: 3.0\nCALLSIGN: OK2ZA\nEND-OF-LOG:\n", "Not one contact"},
  };
  for (const Case& c : cases) {
    Browser entrant = NewBrowser();
    const Visit visit = SendLog(entrant, "x.log", c.log, "e@example.org", true);
    EXPECT_EQ(visit.preview.status, 422) << c.what;
    EXPECT_NE(ById(visit.preview.body, "unfit").find(c.reason), std::string::npos)
        << c.what << visit.preview.body;
    EXPECT_TRUE(visit.token.empty()) << c.what;
    EXPECT_EQ(visit.preview.body.find("<script"), std::string::npos) << c.what;
    EXPECT_EQ(visit.preview.body.find("<SCRIPT"), std::string::npos) << c.what;
  }
  EXPECT_TRUE(store->All().empty());
}

TEST_F(RobotTest, FormsAreRefusedWithoutTheirTokenOrWithWrongInput) {
  Browser entrant = NewBrowser();
  entrant.Get("/");
  const std::string log = ReadSource("data/sample-contest.adi");
  struct Case {
    const char* what;
    std::vector<Browser::Part> parts;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"no token", {{"csrf", "", ""}, {"log", "a.adi", log}, {"email", "", "a@b.org"}}, 403, "has expired"},
      {"another token",
       {{"csrf", "", std::string(32, 'A')}, {"log", "a.adi", log}, {"email", "", "a@b.org"}},
       403,
       "has expired"},
      {"no log", {{"email", "", "a@b.org"}}, 400, "Choose a file"},
      {"file and text",
       {{"log", "a.adi", log}, {"text", "", log}, {"email", "", "a@b.org"}},
       400,
       "not both"},
      {"no e-mail", {{"log", "a.adi", log}, {"email", "", "nobody"}}, 400, "e-mail address"},
      {"markup for an e-mail", {{"log", "a.adi", log}, {"email", "", "<i>@b.org"}}, 400, "e-mail address"},
  };
  for (const Case& c : cases) {
    const Answer answer = entrant.PostMultipart("/upload", c.parts);
    EXPECT_EQ(answer.status, c.status) << c.what;
    EXPECT_NE(answer.body.find(c.says), std::string::npos) << c.what << answer.body;
    EXPECT_EQ(answer.body.find("<i>@"), std::string::npos) << c.what;
  }
  // A pasted log is read as a file is.
  const Answer pasted = entrant.PostMultipart("/upload", {{"text", "", log}, {"email", "", "a@b.org"}});
  EXPECT_EQ(ById(pasted.body, "score"), "60858");

  for (const char* path : {"/confirm", "/status", "/sponsor/login", "/sponsor/publish"}) {
    EXPECT_EQ(entrant.Post(path, {{"csrf", "wrong"}, {"token", "x"}, {"key", kKey}}).status, 403) << path;
  }
  // A browser that never had the token's cookie has nothing to match.
  Browser stranger = NewBrowser();
  EXPECT_EQ(stranger.Post("/status", {{"csrf", ""}, {"call", "UA3XYZ"}, {"receipt", "X"}}).status, 403);
  EXPECT_TRUE(store->All().empty());
}

TEST_F(RobotTest, LogsOverTheBoundAreRefusedWithAMessage) {
  Browser entrant = NewBrowser();
  entrant.Get("/");
  // Just over the log's bound (read, then refused), and far over it (refused as it arrives, never held).
  for (const std::size_t size : {std::size_t{(1u << 20) + 1000}, std::size_t{8u << 20}}) {
    const std::string big = ReadSource("data/sample-contest.adi") + std::string(size, ' ');
    const Answer answer =
        entrant.PostMultipart("/upload", {{"log", "big.adi", big}, {"email", "", "a@b.org"}});
    EXPECT_EQ(answer.status, 413) << size;
    EXPECT_NE(answer.body.find("larger than 1 MB"), std::string::npos) << size << answer.body;
  }
  EXPECT_TRUE(store->All().empty());
}

TEST_F(RobotTest, SendingAgainReplacesTheEntryAndKeepsEveryVersion) {
  Browser entrant = NewBrowser();
  const Visit first =
      SendLog(entrant, "ua3xyz.adi", ReadSource("data/sample-contest.adi"), "a@example.org", true);
  const Visit second = SendLog(entrant, "ok2za.log", kFaultyCabrillo, "b@example.org", true);
  const Visit third =
      SendLog(entrant, "ua3xyz.adi", SampleOf("UA3XYZ") + "\n", "a@example.org", true, first.receiptCode);
  EXPECT_NE(third.preview.body.find("has sent a log before"), std::string::npos);
  ASSERT_FALSE(third.receiptCode.empty());
  const std::vector<Received> latest = store->Latest();
  ASSERT_EQ(latest.size(), 2u);
  EXPECT_EQ(latest[1].call, "UA3XYZ");
  EXPECT_EQ(latest[1].version, 2);
  EXPECT_EQ(latest[1].versions, 2);
  EXPECT_EQ(latest[1].receipt, third.receiptCode);
  EXPECT_EQ(store->Versions("UA3XYZ")[0].receipt, first.receiptCode);

  // The first receipt still shows what is stored, and says that a later version replaced it.
  const Answer status = entrant.Post("/status", {{"call", "ua3xyz"}, {"receipt", first.receiptCode}});
  ASSERT_EQ(status.status, 200) << status.body;
  EXPECT_NE(status.body.find("version 1 of the log of UA3XYZ"), std::string::npos);
  EXPECT_NE(status.body.find("Version 2, received"), std::string::npos);
  EXPECT_NE(status.body.find("not published the results yet"), std::string::npos);
  // Another call's receipt, or a made-up one, shows nothing.
  EXPECT_EQ(entrant.Post("/status", {{"call", "UA3XYZ"}, {"receipt", second.receiptCode}}).status, 404);
  EXPECT_EQ(entrant.Post("/status", {{"call", "UA3XYZ"}, {"receipt", "AAAAAAAAAAAA"}}).status, 404);
}

TEST_F(RobotTest, TheSponsorsPagesAskForTheKey) {
  Browser entrant = NewBrowser();
  SendLog(entrant, "ua3xyz.adi", ReadSource("data/sample-contest.adi"), "a@example.org", true);
  Browser stranger = NewBrowser();
  const Answer login = stranger.Get("/sponsor");
  EXPECT_NE(login.body.find("type=\"password\" name=\"key\""), std::string::npos);
  EXPECT_EQ(login.body.find("a@example.org"), std::string::npos);
  for (const char* path : {"/sponsor/logs.zip", "/sponsor/results.csv"}) {
    const Answer refused = stranger.Get(path);
    EXPECT_EQ(refused.status, 403) << path;
    EXPECT_EQ(refused.body.find("UA3XYZ"), std::string::npos) << path;
  }
  EXPECT_EQ(stranger.Post("/sponsor/publish", {}).status, 403);
  EXPECT_EQ(stranger.Post("/sponsor/login", {{"key", "the-sponsors-own-kez"}}).status, 403);
  // The key travels in a form's body only; a URL with it opens nothing.
  EXPECT_EQ(stranger.Get(std::string("/sponsor?key=") + kKey).body.find("a@example.org"), std::string::npos);
  EXPECT_FALSE(store->LastPublication());

  Browser sponsor = Sponsor();
  const Answer home = sponsor.Get("/sponsor");
  EXPECT_NE(ById(home.body, "logs").find("UA3XYZ"), std::string::npos);
  EXPECT_NE(home.body.find("a@example.org"), std::string::npos);
  // The calls many logs hold: none yet with one log.
  EXPECT_EQ(home.body.find("id=\"missing\""), std::string::npos);
  sponsor.Post("/sponsor/logout", {});
  EXPECT_EQ(sponsor.Get("/sponsor").body.find("a@example.org"), std::string::npos);
}

TEST_F(RobotTest, CheckAndPublishIsZorvantCheckOnTheStoredLogs) {
  // The contest of tests/data/check/, sent log by log.
  const std::string folder = std::string(ZORVANT_SOURCE_DIR) + "/tests/data/check/logs";
  std::map<std::string, std::string> receipts;
  for (const auto& file : fs::directory_iterator(folder)) {
    Browser entrant = NewBrowser();
    const std::string name = file.path().filename().string();
    const Visit visit =
        SendLog(entrant, name, ReadSource("tests/data/check/logs/" + name), "x@example.org", true);
    ASSERT_FALSE(visit.receiptCode.empty()) << name << visit.preview.body;
    receipts[ById(visit.preview.body, "call")] = visit.receiptCode;
  }
  Browser sponsor = Sponsor();
  const Answer before = sponsor.Get("/sponsor");
  // Stations in several logs that sent none are the ones to ask.
  EXPECT_NE(ById(before.body, "missing").find("G3YPT9"), std::string::npos) << before.body;
  const Answer published = sponsor.Post("/sponsor/publish", {});
  ASSERT_EQ(published.status, 200);
  EXPECT_NE(published.body.find("Checked and published"), std::string::npos);

  // The same results and UBN reports as zorvant check of the folder.
  const std::string out = NewFolder();
  cli::CheckOptions options;
  options.folder = folder;
  options.start = "2026-03-14 14:00";
  options.out = out;
  std::ostringstream quiet, err;
  ASSERT_EQ(cli::RunCheck(options, quiet, err), 0);
  const std::optional<Publication> last = store->LastPublication();
  ASSERT_TRUE(last);
  std::ifstream results(out + "/results.txt");
  std::stringstream expected;
  expected << results.rdbuf();
  EXPECT_EQ(last->resultsText, expected.str());

  const std::optional<PublishedLog> ok2za = store->Published("OK2ZA");
  ASSERT_TRUE(ok2za);
  EXPECT_EQ(ok2za->claimed.score, 2304);
  EXPECT_EQ(ok2za->checked.score, 2040);
  EXPECT_EQ(ok2za->removed, 2);
  std::ifstream ubn(out + "/OK2ZA.ubn.txt");
  std::stringstream ubnText;
  ubnText << ubn.rdbuf();
  // The reports differ only in where the log was: a folder for the command, the robot's own name for it.
  std::string expectedUbn = ubnText.str();
  expectedUbn.replace(expectedUbn.find(folder + "/OK2ZA.log"), folder.size() + 10, "OK2ZA.log");
  EXPECT_EQ(ok2za->ubn, expectedUbn);
  fs::remove_all(out);

  // The entrant's status page shows the checked score and the UBN report.
  Browser entrant = NewBrowser();
  entrant.Get("/status");
  const Answer status = entrant.Post("/status", {{"call", "OK2ZA"}, {"receipt", receipts["OK2ZA"]}});
  EXPECT_EQ(ById(status.body, "checked"), "2040");
  EXPECT_NE(ById(status.body, "ubn").find("BUSTED CALL, line 13"), std::string::npos);
  // The results page and the sponsor's CSV.
  const Answer page = entrant.Get("/results");
  EXPECT_EQ(page.body, last->resultsHtml);
  // Its look comes from the site's style sheet, as every other page's: nothing inline is let in.
  ASSERT_EQ(page.headers.count("Content-Security-Policy"), 1u);
  const std::string policy = page.headers.find("Content-Security-Policy")->second;
  EXPECT_NE(policy.find("default-src 'none'; style-src 'self';"), std::string::npos) << policy;
  EXPECT_EQ(policy.find("unsafe-inline"), std::string::npos) << policy;
  const Answer csv = sponsor.Get("/sponsor/results.csv");
  EXPECT_NE(csv.body.find(",OK2ZA,SINGLE-OP DIGI,36,72,32,2304,34,68,30,2040,2\r\n"), std::string::npos)
      << csv.body;
  // A version sent after the publication is not the one those scores are of: its categories stay out.
  std::string multi = ReadSource("tests/data/check/logs/OK2ZA.log");
  multi.replace(multi.find("SINGLE-OP"), 9, "MULTI-ONE");
  const Visit later = SendLog(entrant, "OK2ZA.log", multi, "x@example.org", true, receipts["OK2ZA"]);
  ASSERT_EQ(store->Versions("OK2ZA").back().receipt, later.receiptCode);
  ASSERT_TRUE(store->Versions("OK2ZA").back().current);
  EXPECT_NE(sponsor.Get("/sponsor/results.csv").body.find(",OK2ZA,SINGLE-OP DIGI,36,"), std::string::npos);
}

TEST_F(RobotTest, TheZipHoldsTheLastVersionOfEachLogAndEveryVersionBeneath) {
  Browser entrant = NewBrowser();
  const Visit first =
      SendLog(entrant, "ua3xyz.adi", ReadSource("data/sample-contest.adi"), "a@example.org", true);
  SendLog(entrant, "ua3xyz.adi", SampleOf("UA3XYZ") + "\n", "a@example.org", true, first.receiptCode);
  // An address a spreadsheet would take for a formula.
  SendLog(entrant, "ok2za.log", kFaultyCabrillo, "=HYPERLINK(1)@example.org", true);
  const Answer zip = Sponsor().Get("/sponsor/logs.zip");
  ASSERT_EQ(zip.status, 200);
  const std::string folder = NewFolder();
  { std::ofstream(folder + "/logs.zip", std::ios::binary) << zip.body; }
  // Unpacked by a program of its own, that tells a damaged archive.
  ASSERT_EQ(std::system(("cd " + folder +
                         " && python3 -c 'import zipfile,sys; z=zipfile.ZipFile(\"logs.zip\"); "
                         "sys.exit(z.testzip() is not None); ' && python3 -m zipfile -e logs.zip out")
                            .c_str()),
            0);
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder + "/out")) {
    if (entry.is_regular_file()) names.insert(fs::relative(entry.path(), folder + "/out").string());
  }
  EXPECT_EQ(names, (std::set<std::string>{"OK2ZA.log", "UA3XYZ.adi", "versions/OK2ZA.v1.log",
                                          "versions/UA3XYZ.v1.adi", "versions/UA3XYZ.v2.adi",
                                          "versions/versions.csv"}));
  std::ifstream last(folder + "/out/UA3XYZ.adi", std::ios::binary);
  std::stringstream bytes;
  bytes << last.rdbuf();
  EXPECT_EQ(bytes.str(), SampleOf("UA3XYZ") + "\n");
  std::ifstream list(folder + "/out/versions/versions.csv", std::ios::binary);
  std::stringstream listed;
  listed << list.rdbuf();
  EXPECT_NE(listed.str().find(",'=HYPERLINK(1)@example.org,"), std::string::npos) << listed.str();
  fs::remove_all(folder);
}

TEST_F(RobotTest, AfterTheDeadlineUploadsAreRefusedButEarlierAnswersMayBeConfirmed) {
  Stop();
  Start(/*deadline=*/clock + 60);
  Browser early = NewBrowser();
  EXPECT_NE(early.Get("/").body.find("Logs are due by"), std::string::npos);
  const Visit answered =
      SendLog(early, "ua3xyz.adi", ReadSource("data/sample-contest.adi"), "a@example.org", false);
  ASSERT_FALSE(answered.token.empty());
  clock += 120;

  Browser late = NewBrowser();
  const Answer page = late.Get("/");
  EXPECT_NE(page.body.find("has passed: logs are no longer accepted"), std::string::npos);
  EXPECT_EQ(page.body.find("action=\"/upload\""), std::string::npos);
  const Visit refused = SendLog(late, "ok2za.log", kFaultyCabrillo, "b@example.org", true);
  EXPECT_EQ(refused.preview.status, 403);
  EXPECT_NE(refused.preview.body.find("no longer accepted"), std::string::npos);

  EXPECT_EQ(early.Post("/confirm", {{"token", answered.token}}).status, 200);
  ASSERT_EQ(store->All().size(), 1u);
  EXPECT_EQ(store->All()[0].call, "UA3XYZ");
}

TEST_F(RobotTest, PagesSpeakTheBrowsersLanguageOrTheOneChosen) {
  Browser russian = NewBrowser();
  russian.acceptLanguage = "ru-RU,ru;q=0.9,en-US;q=0.8,en;q=0.7";
  EXPECT_NE(russian.Get("/").body.find("Отправьте свой отчёт"), std::string::npos);
  EXPECT_NE(russian.Get("/?lang=en").body.find("Send your log"), std::string::npos);
  // The choice is kept for the pages after.
  EXPECT_NE(russian.Get("/status").body.find("Status of your log"), std::string::npos);
  const Visit visit = SendLog(russian, "x.adi", ReadSource("data/sample-contest.adi"), "a@b.org", false);
  EXPECT_NE(visit.preview.body.find("Your log as the robot reads it"), std::string::npos);
  Browser english = NewBrowser();
  english.acceptLanguage = "en-GB,en;q=0.9,ru;q=0.5";
  EXPECT_NE(english.Get("/").body.find("Send your log"), std::string::npos);
  EXPECT_NE(english.Get("/sponsor?lang=ru").body.find("Ключ организатора"), std::string::npos);
}

TEST_F(RobotTest, ConcurrentUploadsAreEachAnsweredAndNoneIsLost) {
  constexpr int kEntrants = 40;
  std::vector<Visit> visits(kEntrants);
  std::vector<std::thread> threads;
  for (int i = 0; i < kEntrants; ++i) {
    threads.emplace_back([&, i] {
      Browser entrant = NewBrowser();
      const std::string call = "R" + std::to_string(i) + "AA";
      visits[static_cast<std::size_t>(i)] =
          SendLog(entrant, call + ".adi", SampleOf(call), call + "@example.org", true);
    });
  }
  for (std::thread& t : threads) t.join();
  std::set<std::string> receipts;
  for (const Visit& visit : visits) {
    EXPECT_EQ(visit.receipt.status, 200);
    receipts.insert(visit.receiptCode);
  }
  EXPECT_EQ(receipts.size(), static_cast<std::size_t>(kEntrants));
  const std::vector<Received> stored = store->Latest();
  ASSERT_EQ(stored.size(), static_cast<std::size_t>(kEntrants));
  for (const Received& r : stored) EXPECT_EQ(receipts.count(r.receipt), 1u) << r.call;
}

}  // namespace
}  // namespace serve::testing
