// The engine's memory a contact, counted by this program's own operator new and delete: a fresh contest fed
// a generated log of 1 000, 100 000 and 1 000 000 contacts from a reset on, everything it holds afterwards
// divided by the contacts. A program of its own, so that the counting slows no timing of zorvant_bench.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/generated_log.h"
#include "bench/memory/alloc_count.h"
#include "engine/contest.h"

namespace zorvant {
namespace bench {
namespace {

void BM_EngineMemory(benchmark::State& state) {
  const std::string path = GeneratedLog(state.range(0));
  if (path.empty()) {
    state.SkipWithError("no generated log: scripts/bench.sh makes them (ZORVANT_BENCH_LOGS)");
    return;
  }
  const HostLog log(path);
  ScratchFolder folder;  // the reset writes the bad-QSO file and the settings
  NoWindows shell;
  double bytesPerContact = 0;
  for (auto _ : state) {
    const std::size_t before = LiveBytes();
    auto contest = std::make_unique<Contest>(SystemPlatform());
    contest->Reset(log.Reset(), shell);
    for (std::size_t i = 0; i < log.size(); ++i) contest->AddData(log.Args(i));
    bytesPerContact = static_cast<double>(LiveBytes() - before) / static_cast<double>(log.size());
  }
  state.counters["bytes_per_contact"] = bytesPerContact;
}
BENCHMARK(BM_EngineMemory)->Arg(1000)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
}  // namespace zorvant
