// The plug-in's two threads on one contest. The host's thread makes the export calls, each under the one
// engine lock exactly as the exports take it (a call that waits for the operator or for the Setup window lets
// go of it meanwhile); the Setup thread runs the Setup window's own refresh (against a host link that answers
// at once), its tour timer, and the copies the two content paints take, then draws from the copies without
// the lock. scripts/test.sh runs this under ThreadSanitizer, which fails the run on any access to shared
// state that the lock does not order.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/contest.h"
#include "report/report.h"
#include "tests/support/test_support.h"
#include "ui/content_drawing.h"
#include "ui/setup_logic.h"

namespace zorvant {
namespace {

using testing::Contact;
using testing::FaultyPlatform;

// The engine's view of the windows during one export call, as the plug-in has it: the export holds the lock,
// and whatever waits (closing and opening the Setup window, the header dialog) lets go of it for the wait.
class ExportShell : public Shell {
 public:
  ExportShell(std::unique_lock<std::mutex>& held, std::atomic<int>& refreshes, bool windowOpen)
      : held_(held), refreshes_(refreshes), windowOpen_(windowOpen) {}

  bool SetupWindowOpen() override { return windowOpen_; }
  bool PostRefresh() override {
    ++refreshes_;
    return true;
  }
  void StartSetup() override {
    held_.unlock();
    std::this_thread::yield();
    held_.lock();
  }
  bool RunCabrilloDialog(CabrilloFields& fields) override {
    held_.unlock();
    AsShownInDialog(fields);
    fields.name = "Operator";
    held_.lock();
    return true;
  }

 private:
  std::unique_lock<std::mutex>& held_;
  std::atomic<int>& refreshes_;
  const bool windowOpen_;
};

const char* const kCalls[] = {"UA3ABC", "DL1XX", "OK1AB", "UA9ZZ", "K3DUPE"};
const double kFrequencies[] = {1840000.0, 3580000.0, 7040000.0, 14070000.0};

// The host's automation object as the Setup thread sees it: the operator typing through the calls, the radio
// moving through the bands.
class TypingHost : public HostLink {
 public:
  int tick = 0;
  bool attached() const override { return true; }
  void SendMacro(const std::string&) override {}
  std::string EnteredCall() override { return kCalls[tick % 5]; }
  std::optional<double> Frequency() override { return kFrequencies[tick % 4]; }
};
const char* const kBands[] = {"160m", "80m", "40m", "30m"};

class HostAndSetupThreadsTest : public testing::InTempDir {
 protected:
  // The host: resets, then per contact the call check as it is typed and the add, a deletion now and then,
  // and the report after every round, every other round on an export pass.
  void HostThread() {
    const OleDate start = OleDate::FromParts(2026, 3, 14, 14, 0);
    for (int round = 0; round < kRounds; ++round) {
      {
        std::unique_lock<std::mutex> lock(engineLock_);
        ExportShell shell(lock, refreshes_, round % 3 != 0);
        ResetArgs r;
        r.ownCall = "UA3XYZ";
        r.start = &start;
        r.end = &start;
        r.exportFlag = round % 2;
        contest_.Reset(r, shell);
      }
      std::vector<Contact> logged;
      for (int n = 0; n < kContacts; ++n) {
        Contact c;
        c.ownCall = "UA3XYZ";
        c.call = kCalls[(round + n) % 5];
        c.band = kBands[n % 4];
        c.prefix = c.call.substr(0, 3);
        c.time = OleDate::FromParts(2026, 3, 14, 14 + n % 4, n);
        logged.push_back(c);
        const QsoArgs q = c.Args();
        CallCheckArgs check;
        check.call = q.call;
        check.mode = q.mode;
        check.prefix = q.prefix;
        check.countryPrefix = q.countryPrefix;
        check.band = check.band2 = q.band;
        {
          std::unique_lock<std::mutex> lock(engineLock_);
          ExportShell shell(lock, refreshes_, true);
          contest_.CheckCall(check, shell);
        }
        std::lock_guard<std::mutex> lock(engineLock_);
        contest_.AddData(q);
      }
      for (std::size_t n = 0; n < logged.size(); n += 3) {
        std::unique_lock<std::mutex> lock(engineLock_);
        ExportShell shell(lock, refreshes_, true);
        contest_.RemoveData(logged[n].Args(), shell);
      }
      std::unique_lock<std::mutex> lock(engineLock_);
      contest_.htmlReport = round % 4 == 2 ? 1 : 0;
      const ReportOutcome outcome = MakeReport(contest_);
      const char* report = contest_.reportText.c_str();
      lock.unlock();  // the operator may take any time over the "Output" box
      lastReport_ = report;
      if (outcome.exported) lastExport_ = outcome.exportMessage;
    }
  }

  // The Setup window: a refresh for the callsign being typed, the tour timer, and the paints of the
  // previous-QSO table and the prefix grid, each from its copy.
  void SetupThread() {
    TypingHost host;
    SetupMemory memory;
    for (int tick = 0; !hostDone_; ++tick) {
      host.tick = tick;
      const RefreshResult refreshed = RunRefresh(host, engineLock_, contest_, memory);
      TickTourTimer(14 + tick % 5, engineLock_, contest_, memory);
      PrevQsoTableCopy table;
      PrefixGridCopy grid;
      {
        std::lock_guard<std::mutex> lock(engineLock_);
        table = CopyPrevQsoTable(contest_);
        grid = CopyPrefixGrid(contest_);
        ++setupReads_;
      }
      // Drawing works on the copies only.
      painted_ += DrawPrevQsoTable(table, 400, 190).size() + DrawPrefixGrid(grid, 400, 200).size() +
                  refreshed.prevQsoTitles.size();
    }
  }

  static constexpr int kRounds = 60;
  static constexpr int kContacts = 24;
  std::mutex engineLock_;  // the plug-in's EngineLock()
  FaultyPlatform platform_;
  Contest contest_{platform_};
  std::atomic<int> refreshes_{0};
  std::atomic<bool> hostDone_{false};
  int setupReads_ = 0;
  std::size_t painted_ = 0;
  std::string lastReport_;
  std::string lastExport_;
};

TEST_F(HostAndSetupThreadsTest, EveryExportBesideRefreshTimerAndPaint) {
  platform_.SetUtcHour(15);
  std::thread setup([this] { SetupThread(); });
  std::thread host([this] {
    HostThread();
    hostDone_ = true;
  });
  host.join();
  setup.join();

  EXPECT_GT(setupReads_, 0);
  EXPECT_GT(painted_, 0u);
  EXPECT_GT(refreshes_.load(), 0);
  EXPECT_EQ(lastExport_, "File produced: UA3XYZ.cbr");
  EXPECT_NE(lastReport_.find("Score = "), std::string::npos) << lastReport_;
  // The Setup thread wrote rows 0 to 2 only; the reset's rows of the other bands are as it left them.
  EXPECT_EQ(contest_.bandRows[3], (std::vector<std::string>{"20m", "-", "-", "-", "-"}));
}

}  // namespace
}  // namespace zorvant
