// The host asks for the report whenever it refreshes its statistics view. Nothing is cached: each call scores
// the whole log once per worked band, so its cost grows with the log; this shows by how much.
#include <benchmark/benchmark.h>

#include "bench/logged_contest.h"
#include "report/report.h"

namespace zorvant {
namespace {

void BM_Report(benchmark::State& state) {
  bench::LoggedContest log(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    MakeReport(log.contest());
    benchmark::DoNotOptimize(log.contest().reportText.data());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Report)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
}  // namespace zorvant
