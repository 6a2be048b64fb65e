// A generated contest log for the benchmarks: a few hundred prefixes, most contacts on the low bands, both
// modes, both tours, a few percent worked again on the same band and mode.
#ifndef ZORVANT_BENCH_LOGGED_CONTEST_H_
#define ZORVANT_BENCH_LOGGED_CONTEST_H_

#include <random>
#include <string>
#include <vector>

#include "engine/contest.h"

namespace zorvant {
namespace bench {

inline const char* const kBands[] = {"160m", "80m", "40m", "20m", "15m", "10m"};
inline const char* const kModes[] = {"RTTY", "BPSK63"};

// Prefixes like "AB1", and callsigns made of a prefix and a three-letter suffix.
inline std::string PrefixName(int i) {
  return {static_cast<char>('A' + i / 260 % 26), static_cast<char>('A' + i / 10 % 26),
          static_cast<char>('0' + i % 10)};
}

inline std::string Suffix(int i) {
  return {static_cast<char>('A' + i / 676 % 26), static_cast<char>('A' + i / 26 % 26),
          static_cast<char>('A' + i % 26)};
}

struct Qso {
  std::string call, band, mode, prefix;
  OleDate time;
};

// A contest log of `size` contacts.
class LoggedContest {
 public:
  static constexpr int kPrefixes = 600;

  explicit LoggedContest(int size) : contest_(SystemPlatform()) {
    contest_.startHour = 14;  // no reset: the bench writes no file
    std::mt19937 rng(static_cast<unsigned>(size));
    std::discrete_distribution<int> band({25, 35, 25, 8, 5, 2});
    for (int i = 0; i < size; ++i) {
      Qso q;
      const bool again = rng() % 20 == 0 && !qsos_.empty();
      if (again) {
        q = qsos_[rng() % qsos_.size()];
      } else {
        q.prefix = PrefixName(static_cast<int>(rng() % kPrefixes));
        q.call = q.prefix + Suffix(i / kPrefixes + static_cast<int>(rng() % 7));
        q.band = kBands[band(rng)];
        q.mode = kModes[rng() % 2];
      }
      q.time = OleDate::FromParts(2017, 3, 5, 14 + static_cast<int>(rng() % 4), static_cast<int>(rng() % 60));
      Add(q);
      qsos_.push_back(q);
    }
  }

  int Add(const Qso& q) {
    QsoArgs a;
    a.ownCall = "MYCALL";
    a.call = q.call.c_str();
    a.time = &q.time;
    a.freqHz = 3585000;
    a.mode = q.mode.c_str();
    a.rstSent = a.rstRcvd = "599";
    a.exchSent = "001";
    a.exchRcvd = "017";
    a.prefix = q.prefix.c_str();
    a.countryPrefix = "XX";
    a.band = q.band.c_str();
    return contest_.AddData(a);
  }

  Contest& contest() { return contest_; }
  const std::vector<Qso>& qsos() const { return qsos_; }

 private:
  Contest contest_;
  std::vector<Qso> qsos_;
};

}  // namespace bench
}  // namespace zorvant

#endif  // ZORVANT_BENCH_LOGGED_CONTEST_H_
