// The robot as a public service: what one client does, by fault or on purpose, must not end the process,
// hold the others off, or cost them their answers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "serve/sqlite.h"
#include "tests/serve/robot_fixture.h"

namespace serve::testing {
namespace {

std::string HeaderOf(const Answer& answer, const std::string& name) {
  const auto found = answer.headers.find(name);
  return found == answer.headers.end() ? "" : found->second;
}

// A client of its own making on a loopback address of its own: it sends `head` at once, then one byte of
// `trickle` every 200 ms, until the server closes the connection or 20 s pass. Tells what the server sent
// and after how long it closed (-1: never).
class SlowClient {
 public:
  SlowClient(const std::string& from, int port, std::string head, std::string trickle)
      : thread_([=, this] { Run(from, port, head, trickle); }) {}
  ~SlowClient() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  std::string said;
  double closedAfter = -1;

 private:
  void Run(const std::string& from, int port, const std::string& head, const std::string& trickle) {
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{}, remote{};
    local.sin_family = remote.sin_family = AF_INET;
    inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
      close(fd);
      return;
    }
    if (!head.empty()) send(fd, head.data(), head.size(), MSG_NOSIGNAL);
    for (std::size_t sent = 0; std::chrono::steady_clock::now() - start < std::chrono::seconds(20);) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 200) > 0) {
        char buffer[512];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
          said.append(buffer, static_cast<std::size_t>(n));
          continue;
        }
        closedAfter = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        break;
      }
      if (!trickle.empty()) send(fd, &trickle[sent++ % trickle.size()], 1, MSG_NOSIGNAL);
    }
    close(fd);
  }
  std::thread thread_;
};

// Files of this process may not grow past `bytes` while it lives, as on a disk that is full.
class FullDisk {
 public:
  explicit FullDisk(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &before_);
    signal(SIGXFSZ, SIG_IGN);  // a refused write fails with EFBIG rather than ending the process
    rlimit limit = before_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FullDisk() {
    setrlimit(RLIMIT_FSIZE, &before_);
    signal(SIGXFSZ, SIG_DFL);
  }

 private:
  rlimit before_{};
};

class Broken {
 public:
  // The logs' table out of the robot's reach, as a damaged database would have it, until destroyed.
  explicit Broken(const std::string& path) : path_(path) { Rename("logs", "logs_away"); }
  ~Broken() { Rename("logs_away", "logs"); }

 private:
  void Rename(const std::string& from, const std::string& to) {
    Connection db(path_);
    db.Exec(("ALTER TABLE " + from + " RENAME TO " + to).c_str());
  }
  std::string path_;
};

TEST_F(RobotTest, AnErrorInARequestIsAnsweredOrCutAndTheRobotGoesOn) {
  Browser entrant = NewBrowser();
  SendLog(entrant, "ua3xyz.adi", ReadSource("data/sample-contest.adi"), "a@example.org", true);
  Browser sponsor = Sponsor();
  ::testing::internal::CaptureStderr();
  {
    Broken broken(DatabasePath());
    // Failing in a handler: an error page. Failing in the archive, whose headers are gone: the connection
    // is cut, so the download is seen broken rather than whole.
    EXPECT_EQ(sponsor.Get("/sponsor").status, 500);
    EXPECT_EQ(entrant.Post("/status", {{"call", "UA3XYZ"}, {"receipt", "AAAAAAAAAAAA"}}).status, 500);
    const Answer zip = sponsor.Get("/sponsor/logs.zip");
    EXPECT_TRUE(zip.status == 0 || zip.status == 500) << zip.status;
  }
  const std::string logged = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(logged.find("GET /sponsor/logs.zip: "), std::string::npos) << logged;
  EXPECT_NE(logged.find("no such table: logs"), std::string::npos) << logged;
  EXPECT_EQ(entrant.Get("/").status, 200);
  const Answer zip = sponsor.Get("/sponsor/logs.zip");
  EXPECT_EQ(zip.status, 200);
  EXPECT_NE(zip.body.find("UA3XYZ.adi"), std::string::npos);
}

TEST_F(RobotTest, ACallKeepsABoundedNumberOfVersionsAndTheSponsorSeesTheRest) {
  PreviewSettings how;
  how.start = {2026, 3, 14, 14, 0, 0};
  how.startText = "2026-03-14 14:00";
  how.scratch = ScratchPath();
  const Preview log = ReadUpload("ua3xyz.adi", ReadSource("data/sample-contest.adi"), how);
  // The owner's versions, each with the code of the one before.
  std::string code;
  for (int i = 0; i < kMaxVersions; ++i)
    code = store->Receive(log, "a@example.org", "127.0.0.1", "2026-03-14 20:00:00", code).receipt;
  EXPECT_THROW(store->Receive(log, "a@example.org", "127.0.0.1", "2026-03-14 20:00:01", code), VersionsFull);

  Browser entrant = NewBrowser();
  const Visit visit =
      SendLog(entrant, "ua3xyz.adi", ReadSource("data/sample-contest.adi"), "a@example.org", true, code);
  EXPECT_EQ(visit.preview.status, 409);
  EXPECT_TRUE(visit.token.empty());
  EXPECT_NE(visit.preview.body.find("sent 50 times, the most the robot keeps"), std::string::npos)
      << visit.preview.body;
  EXPECT_EQ(store->Versions("UA3XYZ").size(), static_cast<std::size_t>(kMaxVersions));
  EXPECT_NE(ById(Sponsor().Get("/sponsor").body, "logs").find("50, the most kept; 2 more refused"),
            std::string::npos);
}

TEST_F(RobotTest, WrongSponsorsKeysAreSlowedThenLockedOutPerAddressAndRecorded) {
  Browser guesser = NewBrowser(), sponsor = NewBrowser();
  guesser.forwardedFor = "203.0.113.7";
  sponsor.forwardedFor = "198.51.100.9";
  guesser.Get("/sponsor");
  sponsor.Get("/sponsor");
  auto login = [](Browser& b, const std::string& key) { return b.Post("/sponsor/login", {{"key", key}}); };
  // A few typos cost nothing.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(login(guesser, "guess").status, 403) << i;
  // Then each wrong key makes the address wait, and while it waits even the right key is not taken.
  EXPECT_EQ(login(guesser, "guess").status, 403);
  Answer refused = login(guesser, kKey);
  EXPECT_EQ(refused.status, 429);
  EXPECT_EQ(HeaderOf(refused, "Retry-After"), "1");
  EXPECT_NE(refused.body.find("the next one is taken in 1 s"), std::string::npos) << refused.body;
  // Another address is not held.
  EXPECT_EQ(login(sponsor, kKey).status, 303);
  // The tenth wrong key in a row locks the address out for a quarter of an hour.
  for (int i = 4; i < 10; ++i) {
    clock += 1 << (i - 4);
    EXPECT_EQ(login(guesser, "guess").status, 403) << i;
  }
  refused = login(guesser, kKey);
  EXPECT_EQ(refused.status, 429);
  EXPECT_EQ(HeaderOf(refused, "Retry-After"), "900");
  clock += 600;
  EXPECT_EQ(login(guesser, kKey).status, 429);
  clock += 300;
  EXPECT_EQ(login(guesser, kKey).status, 303);

  // The sponsor sees each wrong key with its address and time, and which one locked the address out.
  const std::string failures = ById(sponsor.Get("/sponsor").body, "failures");
  EXPECT_NE(failures.find(Robot::TimeText(clock - 900) + "203.0.113.7locked out for 15 min"),
            std::string::npos)
      << failures;
  const std::vector<FailedLogin> recorded = store->FailedLogins(100);
  EXPECT_EQ(recorded.size(), 10u);
  EXPECT_EQ(
      std::count_if(recorded.begin(), recorded.end(), [](const FailedLogin& f) { return f.lockedSeconds; }),
      1);
}

TEST_F(RobotTest, WaitingAnswersAreBoundedByWhatTheyHoldAndNoClientThrowsOutAnothers) {
  // A log whose answer holds several times its bytes: a line of problems for each line sent.
  std::string log =
      "START-OF-LOG: 3.0\r\nCALLSIGN: OK1FL\r\n"
      "QSO:  1838 RY 2026-03-14 1402 OK1FL         599 001  W5OOI         599 001\r\n";
  for (int i = 0; i < 2000; ++i)
    log += "QSO:  7040 RY 2026-03-14 1406 OK1FL <b>x</b> " + std::to_string(i) + "\r\n";
  PreviewSettings how;
  how.start = {2026, 3, 14, 14, 0, 0};
  how.startText = "2026-03-14 14:00";
  how.scratch = ScratchPath();
  const std::size_t held = Footprint(ReadUpload("ok1fl.log", log, how));
  ASSERT_GT(held, 4 * log.size());
  // Room for five such answers, two of them from one address.
  Stop();
  tune = [held](RobotSettings& settings) {
    settings.answerBytes = held * 11 / 2;
    settings.answerShare = held * 5 / 2;
  };
  Start();

  auto from = [&](const std::string& address) {
    Browser browser = NewBrowser();
    browser.forwardedFor = address;
    return browser;
  };
  Browser entrant = from("192.0.2.1");
  const Visit first = SendLog(entrant, "ok1fl.log", log, "a@example.org", false);
  ASSERT_FALSE(first.token.empty()) << first.preview.body;
  // One client sending again and again keeps its last answers and loses its own oldest.
  Browser flooder = from("192.0.2.66");
  std::vector<Visit> flood;
  for (int i = 0; i < 4; ++i) {
    flood.push_back(SendLog(flooder, "ok1fl.log", log, "f@example.org", false));
    EXPECT_EQ(flood.back().preview.status, 200) << i;
  }
  EXPECT_EQ(flooder.Post("/confirm", {{"token", flood[0].token}}).status, 410);
  // Clients from other addresses fill the rest; then the robot is busy rather than throwing out an answer.
  Browser second = from("192.0.2.67");
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(SendLog(second, "ok1fl.log", log, "s@example.org", false).preview.status, 200);
  Browser third = from("192.0.2.68");
  const Visit busy = SendLog(third, "ok1fl.log", log, "t@example.org", false);
  EXPECT_EQ(busy.preview.status, 503);
  EXPECT_EQ(HeaderOf(busy.preview, "Retry-After"), "60");
  EXPECT_NE(busy.preview.body.find("send your log again in a minute"), std::string::npos)
      << busy.preview.body;
  // Every answer still waiting is confirmed, the first entrant's among them.
  EXPECT_EQ(entrant.Post("/confirm", {{"token", first.token}}).status, 200);
  EXPECT_EQ(flooder.Post("/confirm", {{"token", flood[3].token}}).status, 200);
  // A confirmed answer gives back its memory.
  EXPECT_EQ(SendLog(third, "ok1fl.log", log, "t@example.org", false).preview.status, 200);
}

TEST_F(RobotTest, SlowAndIdleClientsAreCutAndHoldOnlyTheirShareOfTheWorkers) {
  Stop();
  limits.workers = 12;
  limits.perAddress = 4;
  limits.graceMs = 1500;
  Start();
  std::vector<std::unique_ptr<SlowClient>> tricklers, idlers;
  // A request's head a byte at a time, from one address; idle connections from another; a body far slower
  // than any link, from a third.
  for (int i = 0; i < 10; ++i)
    tricklers.push_back(std::make_unique<SlowClient>("127.0.0.2", port, "", "GET / HTTP/1.1\r\nX-A: "));
  for (int i = 0; i < 6; ++i) idlers.push_back(std::make_unique<SlowClient>("127.0.0.3", port, "", ""));
  SlowClient body(
      "127.0.0.4", port,
      "POST /upload HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\nContent-Length: 100000\r\n\r\n",
      "QSO: ");
  // Everyone else is answered meanwhile.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(NewBrowser().Get("/").status, 200) << i;
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);

  auto refused = [](const std::vector<std::unique_ptr<SlowClient>>& clients) {
    int n = 0;
    for (const auto& c : clients) {
      c->Join();
      n += c->said.rfind("HTTP/1.1 503", 0) == 0;
      // Each is closed by its deadline however it trickles, long before it would give up.
      EXPECT_GE(c->closedAfter, 0) << c->said;
      EXPECT_LT(c->closedAfter, 10.0);
    }
    return n;
  };
  // Past its four connections, an address is told to come back later.
  EXPECT_EQ(refused(tricklers), 6);
  EXPECT_EQ(refused(idlers), 2);
  body.Join();
  EXPECT_GE(body.closedAfter, 0);
  EXPECT_LT(body.closedAfter, 10.0);
}

TEST_F(RobotTest, OnAFullDiskARefusedContactStillSaysWhyOrThatItIsNotKnown) {
  Browser entrant = NewBrowser();
  Visit visit;
  {
    FullDisk full(64);
    visit = SendLog(entrant, "ua3xyz.adi", ReadSource("data/sample-contest.adi"), "a@example.org", false);
  }
  ASSERT_EQ(visit.preview.status, 200) << visit.preview.body;
  EXPECT_EQ(ById(visit.preview.body, "score"), "60858");
  const std::string refused = ById(visit.preview.body, "refused");
  // The engine's reasons could not be written down: the page says so rather than leave them blank.
  EXPECT_NE(refused.find("90OK1NMX30mRTTYnot known just now"), std::string::npos) << refused;
  EXPECT_NE(refused.find("109SP2BK160mRTTYnot known just now"), std::string::npos) << refused;
  EXPECT_NE(visit.preview.body.find("could not write down why"), std::string::npos);
}

TEST_F(RobotTest, AStoreWhoseOutcomeIsNotKnownIsNeverToldAsFailedAndIsFoundOutLater) {
  Browser entrant = NewBrowser();
  const Visit visit =
      SendLog(entrant, "ua3xyz.adi", ReadSource("data/sample-contest.adi"), "a@example.org", false);
  ASSERT_FALSE(visit.token.empty());
  Answer answer;
  {
    // Nothing can be written, not even the robot's reading back: it cannot know, and says so.
    FullDisk full(1);
    answer = entrant.Post("/confirm", {{"token", visit.token}});
  }
  EXPECT_EQ(answer.status, 503);
  EXPECT_EQ(answer.body.find("nothing was stored"), std::string::npos) << answer.body;
  EXPECT_NE(answer.body.find("cannot tell yet whether it was"), std::string::npos) << answer.body;
  // Once the disk takes writes again, confirming finds out: one receipt, one log.
  answer = entrant.Post("/confirm", {{"token", visit.token}});
  EXPECT_EQ(answer.status, 200) << answer.body;
  EXPECT_EQ(store->All().size(), 1u);
  EXPECT_EQ(store->All()[0].receipt, ById(answer.body, "receipt"));
}

}  // namespace
}  // namespace serve::testing
