// The database survives the server's death: `zorvant serve` itself is killed outright (SIGKILL) while 200
// entrants upload and confirm at once, and the database it leaves must hold every log a receipt was shown
// for, whole, and pass SQLite's own integrity check.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "serve/secrets.h"
#include "serve/sqlite.h"
#include "serve/store.h"
#include "tests/serve/robot_fixture.h"

extern char** environ;

namespace serve::testing {
namespace {

// `zorvant serve` on a free port, its first line read for the port.
class ServerProcess {
 public:
  explicit ServerProcess(const std::string& folder) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> args = {
        ZORVANT_COMMAND,    "serve",    "--data",      folder,  "--start",
        "2026-03-14 14:00", "--listen", "127.0.0.1:0", "--key", "a-key-for-the-crash-test"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, ZORVANT_COMMAND, &actions, nullptr, argv.data(), environ) != 0) {
      throw std::runtime_error("zorvant cannot be started");
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);  // the server's later lines go nowhere; it ignores the broken pipe
    const std::size_t colon = line.rfind(':');
    port = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
  }
  ~ServerProcess() { Kill(); }

  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

  int port = 0;

 private:
  pid_t pid_ = 0;
};

TEST(CrashTest, AKillDuringConcurrentUploadsLosesNoConfirmedLog) {
  constexpr int kEntrants = 200;
  // Killed after this many receipts were shown: early, midway, late.
  for (const int killAfter : {10, 80, 160}) {
    const std::string folder = NewFolder();
    std::mutex mutex;
    std::vector<std::pair<std::string, std::string>> confirmed;  // receipt code, SHA-256 of the log sent
    std::atomic<int> shown{0};
    {
      ServerProcess server(folder);
      ASSERT_GT(server.port, 0);
      std::vector<std::thread> entrants;
      for (int i = 0; i < kEntrants; ++i) {
        entrants.emplace_back([&, i] {
          const std::string call = "R" + std::to_string(i) + "K";
          const std::string log = SampleOf(call);
          Browser browser("127.0.0.1", server.port);
          const Visit visit = SendLog(browser, call + ".adi", log, "k@example.org", true);
          if (visit.receipt.status == 200 && !visit.receiptCode.empty()) {
            std::lock_guard<std::mutex> lock(mutex);
            confirmed.emplace_back(visit.receiptCode, Sha256Hex(log));
            ++shown;
          }
        });
      }
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (shown < killAfter && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      server.Kill();
      for (std::thread& t : entrants) t.join();
    }
    const std::size_t receipts = confirmed.size();
    std::cout << "killed after " << killAfter << " receipts: " << receipts << " of " << kEntrants
              << " entrants got one before the kill\n";
    EXPECT_GE(receipts, static_cast<std::size_t>(killAfter));
    EXPECT_LT(receipts, static_cast<std::size_t>(kEntrants)) << "the kill came after every upload";

    {
      Connection db(folder + "/zorvant.db");
      Statement check(db, "PRAGMA integrity_check");
      ASSERT_TRUE(check.Step());
      EXPECT_EQ(check.Text(0), "ok");
      // Each log whole with its worked calls: a transaction is all or nothing.
      Statement orphans(db, "SELECT COUNT(*) FROM logs WHERE id NOT IN (SELECT log FROM worked)");
      ASSERT_TRUE(orphans.Step());
      EXPECT_EQ(orphans.Int(0), 0);
    }
    Store store(folder + "/zorvant.db");
    std::map<std::string, std::string> kept;
    for (const Received& r : store.All()) {
      EXPECT_EQ(Sha256Hex(store.Bytes(r.id)), r.sha256) << r.call;
      kept[r.receipt] = r.sha256;
    }
    std::cout << "  the database holds " << kept.size()
              << " logs, each whole, and passes its integrity check\n";
    for (const auto& [receipt, sha256] : confirmed) {
      ASSERT_EQ(kept.count(receipt), 1u) << "receipt " << receipt << " was shown but its log is lost";
      EXPECT_EQ(kept[receipt], sha256);
    }
    // And the server starts again on what it left.
    ServerProcess again(folder);
    Browser browser("127.0.0.1", again.port);
    EXPECT_EQ(browser.Get("/").status, 200);
    again.Kill();
    std::filesystem::remove_all(folder);
  }
}

}  // namespace
}  // namespace serve::testing
