// The log answers dupe and prefix questions from count indexes and lists a callsign's records from a call
// index; whatever sequence of adds and removes the host sends, every answer must be the one a plain scan of
// the records gives.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/contest.h"
#include "tests/support/test_support.h"

namespace zorvant {
namespace {

using testing::Contact;
using testing::RecordingShell;

bool ScanHasCall(const QsoLog& log, const std::string& call, const std::string& band, const std::string& mode,
                 int tour) {
  for (const CInfo& r : log.records()) {
    if (r.call == call && r.band == band && r.mode == mode && r.tour == tour) return true;
  }
  return false;
}

bool ScanHasPrefix(const QsoLog& log, const std::string& band, const std::string& prefix, int tour) {
  for (const CInfo& r : log.records()) {
    if (r.band == band && r.prefix == prefix && r.tour == tour) return true;
  }
  return false;
}

int ScanCheckCall(const Contest& contest, const CallCheckArgs& c) {
  const auto text = [](const char* s) { return std::string(s ? s : ""); };
  if (c.band && c.band2 && !EqualNoCase(c.band, c.band2)) return 4;
  if (!contest.bandTable.Contains(c.band) || !contest.modeTable.Contains(c.mode)) return 4;
  if (text(c.countryPrefix).empty()) return 1;
  if (ScanHasCall(contest.qsoLog, text(c.call), c.band, c.mode, contest.currentTour)) return 0;
  if (ScanHasPrefix(contest.qsoLog, c.band, text(c.prefix), contest.currentTour)) return 1;
  return 2;
}

// Index of the record a removal must take: the first with the same call, band, mode and time.
long ScanFind(const QsoLog& log, const Contact& c) {
  for (std::size_t i = 0; i < log.size(); ++i) {
    const CInfo& r = log[i];
    if (r.call == c.call && r.band == c.band && r.mode == c.mode && SameTime(r.time, c.time)) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

// Every record with exactly this call, as (index, exchange received), in log order.
using Visited = std::vector<std::pair<std::size_t, std::string>>;

Visited ScanOfCall(const QsoLog& log, const std::string& call) {
  Visited found;
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i].call == call) found.emplace_back(i, log[i].exchRcvd);
  }
  return found;
}

Visited IndexedOfCall(const QsoLog& log, const std::string& call) {
  Visited found;
  log.ForEachOfCall(call, [&](std::size_t i, const CInfo& r) {
    found.emplace_back(i, r.exchRcvd);
    return true;
  });
  return found;
}

template <typename T, std::size_t N>
const T& Pick(std::mt19937& rng, const T (&items)[N]) {
  return items[std::uniform_int_distribution<std::size_t>(0, N - 1)(rng)];
}

TEST(LogIndexPropertyTest, EveryAnswerEqualsThePlainScan) {
  // Small alphabets, so that dupes, shared prefixes and repeated removals are frequent. Case variants and
  // texts outside the tables are in on purpose.
  const char* const calls[] = {"AA1A", "BB2B", "CC3C", "aa1a", "AA1A/P", "DD4D", ""};
  const char* const bands[] = {"160m", "80m", "80M", "40m", "20m", "30m"};
  const char* const modes[] = {"RTTY", "BPSK63", "rtty", "PSK31"};
  const char* const prefixes[] = {"AA1", "BB2", "CC3", "EE5", "FF6", "GG7", "", "aa1"};
  const int hours[] = {13, 14, 15, 16, 17, 0};
  const int minutes[] = {0, 30};

  std::mt19937 rng(20170305);
  Contest contest(SystemPlatform());  // no reset: nothing is written to disk
  contest.startHour = 14;
  RecordingShell shell;
  std::vector<Contact> added;  // every contact sent so far, for removals that hit
  int dupes = 0, removals = 0, answers[5] = {};

  const auto randomContact = [&] {
    Contact c;
    c.call = Pick(rng, calls);
    c.band = Pick(rng, bands);
    c.mode = Pick(rng, modes);
    c.prefix = Pick(rng, prefixes);
    c.exchRcvd = std::to_string(100 + rng() % 900);
    c.time =
        OleDate::FromParts(2017, 3, 5 + static_cast<int>(rng() % 2), Pick(rng, hours), Pick(rng, minutes));
    return c;
  };

  for (int step = 0; step < 4000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    for (const char* call : calls) {
      ASSERT_EQ(IndexedOfCall(contest.qsoLog, call), ScanOfCall(contest.qsoLog, call))
          << "call '" << call << "'";
    }
    if (step == 1000 || step == 2000) contest.qsoLog.Clear();
    const unsigned op = rng() % 10;
    if (op < 4 || added.empty()) {
      const Contact c = randomContact();
      const bool wasDupe = ScanHasCall(contest.qsoLog, c.call, c.band, c.mode, contest.TourOf(c.time));
      const std::size_t before = contest.qsoLog.size();
      if (contest.AddData(c.Args()) == 1) {
        ASSERT_EQ(contest.qsoLog.size(), before + 1);
        ASSERT_EQ(contest.qsoLog[before].dupe, wasDupe ? 1 : 0) << c.call << " " << c.band << " " << c.mode;
        dupes += wasDupe;
        added.push_back(c);
      }
    } else if (op < 8) {
      // Mostly a contact sent before (it may have been removed already), sometimes a stranger.
      const Contact c = rng() % 4 ? added[rng() % added.size()] : randomContact();
      std::vector<CInfo> expected = contest.qsoLog.records();
      const long i = ScanFind(contest.qsoLog, c);
      if (i >= 0) expected.erase(expected.begin() + i);
      contest.RemoveData(c.Args(), shell);
      removals += i >= 0;
      ASSERT_EQ(contest.qsoLog.size(), expected.size());
      for (std::size_t k = 0; k < expected.size(); ++k) {
        ASSERT_EQ(contest.qsoLog[k].call, expected[k].call);
        ASSERT_EQ(contest.qsoLog[k].exchRcvd, expected[k].exchRcvd);
        ASSERT_TRUE(SameTime(contest.qsoLog[k].time, expected[k].time));
        ASSERT_EQ(contest.qsoLog[k].dupe, expected[k].dupe);
      }
    } else {
      contest.currentTour = static_cast<std::int16_t>(rng() % 2);
      const Contact c = randomContact();
      CallCheckArgs q;
      q.call = c.call.c_str();
      q.mode = c.mode.c_str();
      q.prefix = c.prefix.c_str();
      q.countryPrefix = rng() % 8 ? "XX" : "";
      q.band = c.band.c_str();
      q.band2 = rng() % 8 ? nullptr : Pick(rng, bands);
      const int expected = ScanCheckCall(contest, q);
      ASSERT_EQ(contest.CheckCall(q, shell), expected)
          << c.call << " " << c.band << " " << c.mode << " " << c.prefix << " tour " << contest.currentTour;
      ++answers[expected];
    }
  }
  // The walk must have reached every kind of answer, or it proves little.
  EXPECT_GT(dupes, 100);
  EXPECT_GT(removals, 100);
  for (int answer : {0, 1, 2, 4}) EXPECT_GT(answers[answer], 20) << "answer " << answer;
  EXPECT_GT(contest.qsoLog.size(), 50u);
}

}  // namespace
}  // namespace zorvant
