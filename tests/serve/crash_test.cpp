// The database survives the server's death: `zorvant serve` itself is killed outright (SIGKILL) while 200
// entrants upload and confirm at once, and the database it leaves must hold every log a receipt was shown
// for, whole, and pass SQLite's own integrity check.
#include <gtest/gtest.h>
#include <signal.h>
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

namespace serve::testing {
namespace {

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
