// A log belongs to whoever sent it first: a new version needs the receipt code of an earlier one, or it is
// set aside for the sponsor, and the answer to it tells nobody whether the call had a log.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <tuple>

#include "serve/secrets.h"
#include "serve/sqlite.h"
#include "tests/serve/robot_fixture.h"

namespace serve::testing {
namespace {

// One contact, worth 2 points after the check: what a stranger sends under someone else's call.
std::string OneContact(const std::string& call) {
  return "START-OF-LOG: 3.0\r\nCONTEST: ZORVANT\r\nCALLSIGN: " + call +
         "\r\nCATEGORY-OPERATOR: SINGLE-OP\r\nCATEGORY-MODE: DIGI\r\n"
         "QSO:  3580 RY 2026-03-14 1402 " +
         call + "        599 001  W5OOI         599 001\r\nEND-OF-LOG:\r\n";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::optional<Received> Current(Store& store, const std::string& call) {
  for (const Received& r : store.Latest()) {
    if (r.call == call) return r;
  }
  return std::nullopt;
}

std::int64_t IdOf(Store& store, const std::string& receipt) {
  for (const Received& r : store.All()) {
    if (r.receipt == receipt) return r.id;
  }
  return 0;
}

class OwnershipTest : public RobotTest {
 protected:
  // The owner's log of OK1HON, as the first sent.
  Visit SendOwners() {
    Browser owner = NewBrowser();
    Visit visit = SendLog(owner, "ok1hon.adi", SampleOf("OK1HON"), "owner@example.org", true);
    EXPECT_FALSE(visit.receiptCode.empty()) << visit.preview.body;
    return visit;
  }
};

TEST_F(OwnershipTest, AStrangersLogIsSetAsideAndTheAnswerIsTheSameAsForACallWithoutALog) {
  const Visit owners = SendOwners();
  // Without a code and with a made-up one, in both languages: the answers to a log of OK1HON, which has a
  // log, are those to the same log of a call of as many letters that has none, but for the call, the codes
  // and the hash.
  struct Case {
    const char* lang;
    const char* code;
    const char* fresh;
  };
  const Case cases[] = {{"en", "", "OK1NAA"}, {"ru", "", "OK1NAB"}, {"en", "AAAAAAAAAAAA", "OK1NAC"}};
  std::vector<std::string> strangers;
  for (const Case& c : cases) {
    std::string pages[2][2];
    const std::string calls[2] = {"OK1HON", c.fresh};
    for (int i = 0; i < 2; ++i) {
      Browser stranger = NewBrowser();
      stranger.Get(std::string("/?lang=") + c.lang);
      const Visit visit =
          SendLog(stranger, "mine.log", OneContact(calls[i]), "stranger@example.net", true, c.code);
      ASSERT_EQ(visit.preview.status, 200) << visit.preview.body;
      ASSERT_EQ(visit.receipt.status, 200) << visit.receipt.body;
      if (i == 0) strangers.push_back(visit.receiptCode);
      for (int page = 0; page < 2; ++page) {
        std::string body = page == 0 ? visit.preview.body : visit.receipt.body;
        for (const auto& [from, to] :
             {std::pair<std::string, std::string>{calls[i], "CALL"}, {visit.token, "TOKEN"},
              {visit.receiptCode, "CODE"}, {stranger.cookies["zv_csrf"], "CSRF"},
              {Sha256Hex(OneContact(calls[i])), "SHA"}}) {
          body = Replaced(body, from, to);
        }
        pages[i][page] = body;
      }
    }
    EXPECT_EQ(pages[0][0], pages[1][0]) << c.lang << " '" << c.code << "': the preview";
    EXPECT_EQ(pages[0][1], pages[1][1]) << c.lang << " '" << c.code << "': the receipt";
  }

  // None of the strangers' versions counts: the owner's log is the one listed, zipped, checked and published.
  ASSERT_TRUE(Current(*store, "OK1HON"));
  EXPECT_EQ(Current(*store, "OK1HON")->receipt, owners.receiptCode);
  Browser sponsor = Sponsor();
  const Answer home = sponsor.Get("/sponsor");
  const std::string listed = ById(home.body, "logs");
  EXPECT_NE(listed.find("owner@example.org"), std::string::npos) << listed;
  // The fresh calls' first logs are theirs: the strangers own those.
  EXPECT_NE(listed.find("OK1NAA"), std::string::npos) << listed;
  const std::string setAside = ById(home.body, "setaside");
  for (const std::string& code : strangers) EXPECT_NE(setAside.find(code), std::string::npos) << setAside;
  EXPECT_NE(setAside.find("stranger@example.net"), std::string::npos) << setAside;
  EXPECT_EQ(setAside.find("OK1NAA"), std::string::npos) << setAside;
  const Answer zip = sponsor.Get("/sponsor/logs.zip");
  EXPECT_NE(zip.body.find("OK1HON.adi"), std::string::npos);
  EXPECT_EQ(zip.body.find("OK1HON.log"), std::string::npos);
  ASSERT_EQ(sponsor.Post("/sponsor/publish", {}).status, 200);
  const std::optional<PublishedLog> published = store->Published("OK1HON");
  ASSERT_TRUE(published);
  EXPECT_EQ(published->log, Current(*store, "OK1HON")->id);
  EXPECT_GT(published->checked.score, 2);
  const std::string csv = sponsor.Get("/sponsor/results.csv").body;
  const std::size_t row = csv.find(",OK1HON,");
  ASSERT_NE(row, std::string::npos) << csv;
  const std::string line = csv.substr(row, csv.find('\n', row) - row);
  EXPECT_NE(line.find("," + std::to_string(Current(*store, "OK1HON")->claimed.score) + ","), std::string::npos)
      << line;

  // The set-aside version's own receipt tells its sender where it stands, and shows nothing of the owner's.
  Browser stranger = NewBrowser();
  stranger.Get("/status");
  const Answer status = stranger.Post("/status", {{"call", "OK1HON"}, {"receipt", strangers[0]}});
  ASSERT_EQ(status.status, 200) << status.body;
  EXPECT_NE(status.body.find("set aside"), std::string::npos) << status.body;
  EXPECT_EQ(status.body.find(owners.receiptCode), std::string::npos);
  EXPECT_EQ(status.body.find(Sha256Hex(SampleOf("OK1HON"))), std::string::npos);
  EXPECT_EQ(status.body.find("id=\"checked\""), std::string::npos);
  EXPECT_NE(ById(status.body, "versions").find("—2026-03-14"), std::string::npos) << status.body;
}

TEST_F(OwnershipTest, ANewVersionReplacesTheLogOnlyWithTheReceiptCodeOfAnEarlierOne) {
  const Visit owners = SendOwners();
  Browser other = NewBrowser();
  const Visit another = SendLog(other, "ok2za.log", OneContact("OK2ZA"), "ok2za@example.org", true);
  std::string setAside;
  struct Case {
    const char* what;
    std::string code;
    bool atConfirm;  // typed on the confirm form rather than the upload form
    bool replaces;
  };
  const std::vector<Case> cases = {
      {"no code", "", false, false},
      {"another call's code", another.receiptCode, false, false},
      {"a made-up code", "ZZZZZZZZZZZZ", false, false},
      {"the first version's code", owners.receiptCode, false, true},
      {"the first version's code again, in small letters with a space",
       " " + Lower(owners.receiptCode), false, true},
      {"the code given on the confirm form", owners.receiptCode, true, true},
      {"a set-aside version's code", "<set aside>", false, false},
  };
  int version = 1;
  for (const Case& c : cases) {
    const std::string code = c.code == "<set aside>" ? setAside : c.code;
    Browser entrant = NewBrowser();
    Visit visit;
    const std::string log = SampleOf("OK1HON") + std::string(static_cast<std::size_t>(version), '\n');
    if (c.atConfirm) {
      visit = SendLog(entrant, "ok1hon.adi", log, "owner@example.org", false);
      visit.receipt = entrant.Post("/confirm", {{"token", visit.token}, {"receipt", code}});
      visit.receiptCode = ById(visit.receipt.body, "receipt");
    } else {
      visit = SendLog(entrant, "ok1hon.adi", log, "owner@example.org", true, code);
    }
    ASSERT_EQ(visit.receipt.status, 200) << c.what << visit.receipt.body;
    ASSERT_FALSE(visit.receiptCode.empty()) << c.what;
    const std::optional<Received> current = Current(*store, "OK1HON");
    ASSERT_TRUE(current) << c.what;
    EXPECT_EQ(current->receipt == visit.receiptCode, c.replaces) << c.what;
    EXPECT_EQ(store->Bytes(current->id) == log, c.replaces) << c.what;
    // Only the owner is told that the log it sent before is replaced, and by which version.
    const bool told = visit.preview.body.find("has sent a log before") != std::string::npos &&
                      visit.receipt.body.find("It replaces version") != std::string::npos;
    EXPECT_EQ(told, c.replaces && !c.atConfirm) << c.what << visit.preview.body << visit.receipt.body;
    if (!c.replaces) setAside = visit.receiptCode;
    ++version;
  }
}

TEST_F(OwnershipTest, TheSponsorAcceptsASetAsideVersionOrReleasesTheCall) {
  const Visit owners = SendOwners();
  Browser stranger = NewBrowser();
  const Visit aside = SendLog(stranger, "mine.log", OneContact("OK1HON"), "stranger@example.net", true);
  const std::int64_t id = IdOf(*store, aside.receiptCode);
  ASSERT_GT(id, 0);

  // Both forms keep the sponsor's key and the form's token.
  Browser entrant = NewBrowser();
  entrant.Get("/");
  EXPECT_EQ(entrant.Post("/sponsor/accept", {{"log", std::to_string(id)}}).status, 403);
  EXPECT_EQ(entrant.Post("/sponsor/release", {{"call", "OK1HON"}}).status, 403);
  Browser sponsor = Sponsor();
  EXPECT_EQ(sponsor.Post("/sponsor/accept", {{"csrf", "wrong"}, {"log", std::to_string(id)}}).status, 403);
  EXPECT_EQ(sponsor.Post("/sponsor/release", {{"csrf", "wrong"}, {"call", "OK1HON"}}).status, 403);
  EXPECT_EQ(Current(*store, "OK1HON")->receipt, owners.receiptCode);

  const Answer accepted = sponsor.Post("/sponsor/accept", {{"log", std::to_string(id)}});
  ASSERT_EQ(accepted.status, 200) << accepted.body;
  EXPECT_EQ(Current(*store, "OK1HON")->receipt, aside.receiptCode);
  EXPECT_NE(ById(accepted.body, "logs").find("stranger@example.net"), std::string::npos);
  EXPECT_EQ(ById(accepted.body, "setaside").find(aside.receiptCode), std::string::npos);
  // The call is now the accepted sender's: its code replaces, the earlier owner's no longer does.
  Browser again = NewBrowser();
  EXPECT_EQ(Current(*store, "OK1HON")->receipt,
            SendLog(again, "mine.log", OneContact("OK1HON") + "\r\n", "s@example.net", true, aside.receiptCode)
                .receiptCode);
  const Visit before = SendLog(again, "ok1hon.adi", SampleOf("OK1HON"), "owner@example.org", true,
                               owners.receiptCode);
  EXPECT_NE(Current(*store, "OK1HON")->receipt, before.receiptCode);

  // The entrant who lost every code: released, the call takes the next log as a first one, code or none.
  const Answer released = sponsor.Post("/sponsor/release", {{"call", "ok1hon"}});
  ASSERT_EQ(released.status, 200) << released.body;
  const Visit lost = SendLog(again, "ok1hon.adi", SampleOf("OK1HON") + "\n", "owner@example.org", true);
  EXPECT_EQ(Current(*store, "OK1HON")->receipt, lost.receiptCode);
  // Only once: after it, the call is owned again.
  const Visit next = SendLog(again, "mine.log", OneContact("OK1HON"), "stranger@example.net", true);
  EXPECT_EQ(Current(*store, "OK1HON")->receipt, lost.receiptCode);
  EXPECT_NE(ById(sponsor.Get("/sponsor").body, "setaside").find(next.receiptCode), std::string::npos);
}

TEST_F(OwnershipTest, ADatabaseOfThePreviousVersionOpensWithEachCallsLatestVersionCurrent) {
  Stop();
  std::filesystem::remove(DatabasePath());
  const std::string firstCode = "FIRSTCODE001", lastCode = "LASTCODE0003";
  {
    // The schema as the previous zorvant left it, with two versions of one call, written as it wrote them.
    const std::vector<Migration> previous(SchemaMigrations().begin(), SchemaMigrations().begin() + 3);
    { Store old(DatabasePath(), previous); }
    Connection db(DatabasePath());
    Statement insert(
        db,
        "INSERT INTO logs (call, version, receipt, received, email, remote, label, format, sha256, "
        "size, bytes, categories, contacts, qsos, points, mults, dupes, score) "
        "VALUES (?, ?, ?, '2026-03-14 20:00:00', 'a@example.org', '127.0.0.1', 'a.adi', 'ADIF', "
        "'', length(?4), ?4, '', 1, 1, 2, 1, 0, 2)");
    for (const auto& [call, version, code] :
         {std::tuple<std::string, int, std::string>{"OK1HON", 1, firstCode},
          {"OK2ZA", 1, "OTHERCODE002"},
          {"OK1HON", 2, lastCode}}) {
      insert.Bind(1, call).Bind(2, version).Bind(3, code).BindBlob(4, SampleOf(call));
      insert.Run();
      insert.Reset();
    }
  }
  Start();
  EXPECT_EQ(store->SchemaVersion(), static_cast<int>(SchemaMigrations().size()));
  ASSERT_EQ(store->Latest().size(), 2u);
  EXPECT_EQ(Current(*store, "OK1HON")->receipt, lastCode);
  EXPECT_EQ(Current(*store, "OK1HON")->versions, 2);
  // The receipts given before still prove the owner.
  Browser stranger = NewBrowser();
  SendLog(stranger, "mine.log", OneContact("OK1HON"), "stranger@example.net", true);
  EXPECT_EQ(Current(*store, "OK1HON")->receipt, lastCode);
  Browser owner = NewBrowser();
  const Visit mine = SendLog(owner, "a.adi", SampleOf("OK1HON") + "\n\n", "a@example.org", true, firstCode);
  EXPECT_EQ(Current(*store, "OK1HON")->receipt, mine.receiptCode);
}

}  // namespace
}  // namespace serve::testing
