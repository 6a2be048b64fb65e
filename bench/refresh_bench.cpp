// The Setup window refreshes on every keystroke the host reports: finding the typed callsign's contacts must
// cost about the same in a log of 100 000 contacts as in one of 1 000.
#include <benchmark/benchmark.h>

#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bench/logged_contest.h"
#include "engine/contest.h"
#include "ui/host_link.h"
#include "ui/setup_logic.h"

namespace zorvant {
namespace {

// A host that always has the operator typing `call` on 80 m.
class TypingHost : public HostLink {
 public:
  std::string call;

  bool attached() const override { return true; }
  void SendMacro(const std::string&) override {}
  std::string EnteredCall() override { return call; }
  std::optional<double> Frequency() override { return 3580000; }
};

void BM_RefreshLookup(benchmark::State& state) {
  bench::LoggedContest log(static_cast<int>(state.range(0)));
  Contest& contest = log.contest();
  for (std::size_t i = 0; i < contest.bandRows.size(); ++i) {
    contest.bandRows[i] = {contest.bandTable[i], "-", "-", "-", "-"};
  }
  contest.startYear = "2017";
  // Callsigns of the log, a new one each refresh as the operator moves on to the next station.
  std::mt19937 rng(11);
  std::vector<std::string> calls;
  for (int i = 0; i < 300; ++i) calls.push_back(log.qsos()[rng() % log.qsos().size()].call);

  std::mutex engineLock;
  TypingHost host;
  SetupMemory window;
  std::size_t i = 0;
  long filled = 0;
  for (auto _ : state) {
    host.call = calls[i++ % calls.size()];
    contest.currentTour = static_cast<std::int16_t>(i / calls.size() % 2);
    const RefreshResult result = RunRefresh(host, engineLock, contest, window);
    benchmark::DoNotOptimize(result);
    for (int s = 0; s < kPrefixBands; ++s)
      filled += contest.bandRows[static_cast<std::size_t>(s)][3] != "   -";
  }
  // Rows filled per refresh, to show the callsigns do hit the log.
  state.counters["rows"] =
      benchmark::Counter(static_cast<double>(filled), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_RefreshLookup)->Arg(1000)->Arg(100000);

}  // namespace
}  // namespace zorvant
