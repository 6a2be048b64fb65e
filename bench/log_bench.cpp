// A whole log of 1 000, 100 000 and 1 000 000 contacts, as `zorvant score` works it: read from its file, and
// fed to the engine one contact after the other from a reset on. Both should grow with the log and no
// faster. (The engine's memory is measured by bench/memory/.)
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "bench/generated_log.h"
#include "engine/contest.h"
#include "logs/log_reader.h"

namespace zorvant {
namespace bench {
namespace {

class CountingSink : public logs::LogSink {
 public:
  void Contact(const logs::LogContact& c) override { bytes += c.call.size(); }
  void Problem(const std::string&) override {}
  std::size_t bytes = 0;
};

void BM_ReadLog(benchmark::State& state) {
  const std::string path = GeneratedLog(state.range(0));
  if (path.empty()) {
    state.SkipWithError("no generated log: scripts/bench.sh makes them (ZORVANT_BENCH_LOGS)");
    return;
  }
  std::size_t contacts = 0;
  for (auto _ : state) {
    CountingSink sink;
    logs::LogStream log(path);
    contacts = log.Read(sink);
    benchmark::DoNotOptimize(sink.bytes);
  }
  state.counters["contacts"] = static_cast<double>(contacts);
}
// Three times each: a shared machine's other work shows in a single round of a second; the best one counts.
BENCHMARK(BM_ReadLog)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Repetitions(3);

// Read once per size: reading is the other benchmark's business.
const HostLog& LoadedLog(const std::string& path) {
  static std::map<std::string, std::unique_ptr<HostLog>> logs;
  std::unique_ptr<HostLog>& log = logs[path];
  if (!log) log = std::make_unique<HostLog>(path);
  return *log;
}

void BM_Engine(benchmark::State& state) {
  const std::string path = GeneratedLog(state.range(0));
  if (path.empty()) {
    state.SkipWithError("no generated log: scripts/bench.sh makes them (ZORVANT_BENCH_LOGS)");
    return;
  }
  const HostLog& log = LoadedLog(path);
  ScratchFolder folder;  // the reset writes the bad-QSO file and the settings
  NoWindows shell;
  for (auto _ : state) {
    state.PauseTiming();
    auto contest = std::make_unique<Contest>(SystemPlatform());
    state.ResumeTiming();

    contest->Reset(log.Reset(), shell);
    int stored = 0;
    for (std::size_t i = 0; i < log.size(); ++i) stored += contest->AddData(log.Args(i));
    benchmark::DoNotOptimize(stored);

    state.PauseTiming();
    contest.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Engine)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3);

// The operator deletes a contact anywhere in the log: it leaves the log and its line the bad-QSO file, which
// is rewritten. Each round puts the contact back at the end, so the log keeps its size.
void BM_RemoveData(benchmark::State& state) {
  const std::string path = GeneratedLog(state.range(0));
  if (path.empty()) {
    state.SkipWithError("no generated log: scripts/bench.sh makes them (ZORVANT_BENCH_LOGS)");
    return;
  }
  const HostLog& log = LoadedLog(path);
  ScratchFolder folder;
  NoWindows shell;
  Contest contest(SystemPlatform());
  contest.Reset(log.Reset(), shell);
  for (std::size_t i = 0; i < log.size(); ++i) contest.AddData(log.Args(i));
  std::size_t pick = 12345;
  for (auto _ : state) {
    pick = (pick * 1103515245 + 12345) % log.size();
    const QsoArgs q = log.Args(pick);
    contest.RemoveData(q, shell);
    contest.AddData(q);
  }
}
BENCHMARK(BM_RemoveData)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace bench
}  // namespace zorvant
