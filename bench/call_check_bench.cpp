// The host calls CheckCall0 on every keystroke and AddData0 for every logged contact, and after a reset it
// feeds its whole log back: both must cost about the same in a log of 100 000 contacts as in one of 1 000.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "bench/logged_contest.h"
#include "engine/contest.h"

namespace zorvant {
namespace {

using bench::LoggedContest;
using bench::Qso;

struct Probe {
  std::string call, band, mode, prefix;
  int tour;
};

// A third each: dupes, new stations with a prefix already worked, stations with a prefix never worked.
std::vector<Probe> MakeProbes(LoggedContest& log, std::mt19937& rng) {
  std::vector<Probe> probes;
  for (int i = 0; i < 300; ++i) {
    const Qso& q = log.qsos()[rng() % log.qsos().size()];
    const int tour = log.contest().TourOf(q.time);
    switch (i % 3) {
      case 0: probes.push_back({q.call, q.band, q.mode, q.prefix, tour}); break;
      case 1: probes.push_back({q.prefix + "ZZZ", q.band, q.mode, q.prefix, tour}); break;
      default:
        probes.push_back({"QQ" + std::to_string(i) + "Q", q.band, q.mode, "QQ" + std::to_string(i), tour});
    }
  }
  return probes;
}

void BM_CheckCall(benchmark::State& state) {
  LoggedContest log(static_cast<int>(state.range(0)));
  std::mt19937 rng(7);
  const std::vector<Probe> probes = MakeProbes(log, rng);
  NoWindows shell;
  Contest& contest = log.contest();
  std::size_t i = 0;
  int answers[5] = {};
  for (auto _ : state) {
    const Probe& p = probes[i++ % probes.size()];
    contest.currentTour = static_cast<std::int16_t>(p.tour);
    const int answer = contest.CheckCall(
        {p.call.c_str(), p.mode.c_str(), p.prefix.c_str(), "XX", p.band.c_str(), p.band.c_str()}, shell);
    ++answers[answer];
    benchmark::DoNotOptimize(answer);
  }
  // Shares of the answers, to show the probes hit all three searches as meant.
  state.counters["dupe"] = benchmark::Counter(answers[0], benchmark::Counter::kAvgIterations);
  state.counters["known"] = benchmark::Counter(answers[1], benchmark::Counter::kAvgIterations);
  state.counters["new"] = benchmark::Counter(answers[2], benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_CheckCall)->Arg(1000)->Arg(10000)->Arg(100000);

// One contact logged and taken off the end again, so the log keeps its size.
void BM_AddData(benchmark::State& state) {
  LoggedContest log(static_cast<int>(state.range(0)));
  Qso q{"NEW1ABC", "80m", "RTTY", "NEW1", OleDate::FromParts(2017, 3, 5, 15, 10)};
  QsoLog& records = log.contest().qsoLog;
  for (auto _ : state) {
    benchmark::DoNotOptimize(log.Add(q));
    records.RemoveAt(records.size() - 1);
  }
}
BENCHMARK(BM_AddData)->Arg(1000)->Arg(10000)->Arg(100000);

}  // namespace
}  // namespace zorvant
