// The log answers dupe and prefix questions from count indexes and lists a callsign's records from a call
// index; whatever sequence of adds and removes the host sends, every answer must be the one a plain scan of
// the records gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/contest.h"
#include "report/report.h"
#include "tests/support/test_support.h"

namespace zorvant {
namespace {

using testing::Contact;
using testing::ReadFileBytes;
using testing::RecordingShell;
using testing::WriteFileBytes;

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

// The bad-QSO file holds one line for each refused contact and each stored dupe; the report counts them.
// Whatever the host adds and removes, and however it fills the values that do not find a contact, the file
// must hold the lines of the dupes still logged and of the refused contacts not yet removed, and the report
// must count as many dupes and refused contacts. The operator may re-save the file meanwhile.
class BadQsoFilePropertyTest : public testing::InTempDir {};

const std::string kByteOrderMark = "\xEF\xBB\xBF";  // UTF-8's, as Notepad saves it

// The reason AddData refuses the contact for, or null when it stores it.
const char* RefusalOf(const Contest& contest, const Contact& c) {
  if (!contest.bandTable.Contains(c.band)) return kWrongBand;
  if (!contest.modeTable.Contains(c.mode)) return kWrongMode;
  if (c.exchRcvd.empty() || c.exchSent.empty()) return kNoRxNumber;
  return nullptr;
}

// The lines after the header, sorted, whatever byte-order mark, line ends and blank lines an editor left.
std::vector<std::string> LinesOf(std::string text) {
  if (text.rfind(kByteOrderMark, 0) == 0) text.erase(0, 3);
  std::vector<std::string> lines;
  std::size_t pos = 0;
  for (bool first = true; pos < text.size(); first = false) {
    const std::size_t end = std::min(text.find('\n', pos), text.size());
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (first && IsBadQsoHeader(line)) continue;
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

int ReportedCount(const std::string& report, const std::string& row) {
  const std::size_t at = report.find("\r\n" + row + "\t");
  return at == std::string::npos ? -1 : std::atoi(report.c_str() + at + row.size() + 3);
}

TEST_F(BadQsoFilePropertyTest, FileAndReportFollowTheLogAndTheRefusedContacts) {
  // Two calls, two minutes, two tours: twins and dupes are frequent. 30m and PSK31 are refused.
  const char* const calls[] = {"DL1ABC", "UA3XYZ"};
  const char* const bands[] = {"80m", "80m", "40m", "30m"};
  const char* const modes[] = {"RTTY", "RTTY", "BPSK63", "PSK31"};
  const char* const ownCalls[] = {"MYCALL", "MYCALL", "MYCALL/P"};
  const char* const numbers[] = {"001", "017", "017", ""};
  const char* const reports[] = {"599", "579"};
  const unsigned frequencies[] = {3585000, 3585999, 7040000};
  const int hours[] = {14, 16};
  const int minutes[] = {30, 32};

  std::mt19937 rng(20170305);
  testing::FaultyPlatform platform;
  platform.SetUtcHour(14);
  Contest contest(platform);
  NoWindows shell;
  const OleDate start = OleDate::FromParts(2017, 3, 5, 14, 0);
  ResetArgs reset;
  reset.ownCall = "MYCALL";
  reset.start = &start;
  std::vector<std::string> lineOfRecord;  // beside the log: the line a stored contact wrote, or none
  std::vector<std::string> refused;       // lines of the refused contacts not yet removed
  std::vector<Contact> sent;
  int storedBesideDupes = 0, editedRemovals = 0, refusedRemoved = 0;

  const auto randomContact = [&] {
    Contact c;
    c.ownCall = Pick(rng, ownCalls);
    c.call = Pick(rng, calls);
    c.band = Pick(rng, bands);
    c.mode = Pick(rng, modes);
    c.exchSent = Pick(rng, numbers);
    c.exchRcvd = Pick(rng, numbers);
    c.rstSent = Pick(rng, reports);
    c.freqHz = Pick(rng, frequencies);
    c.time = OleDate::FromParts(2017, 3, 5, Pick(rng, hours), Pick(rng, minutes));
    return c;
  };

  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    if (step % 1000 == 0) {
      ASSERT_EQ(contest.Reset(reset, shell), 1);
      lineOfRecord.clear();
      refused.clear();
      sent.clear();
    }
    const unsigned op = rng() % 20;
    if (op < 9 || sent.empty()) {
      const Contact c = randomContact();
      const char* refusal = RefusalOf(contest, c);
      ASSERT_EQ(contest.AddData(c.Args()), refusal ? 0 : 1);
      if (refusal) {
        refused.push_back(BadQsoLine(c.Args(), refusal));
      } else {
        lineOfRecord.push_back(contest.qsoLog[contest.qsoLog.size() - 1].dupe ? BadQsoLine(c.Args(), kDupe)
                                                                              : "");
      }
      sent.push_back(c);
    } else if (op < 19) {
      // A contact sent before, perhaps removed already; sometimes with values other than it was added with.
      Contact c = sent[rng() % sent.size()];
      if (rng() % 3 == 0) {
        ++editedRemovals;
        c.ownCall = Pick(rng, ownCalls);
        c.freqHz = rng() % 2 ? 0 : Pick(rng, frequencies);
        c.exchSent = Pick(rng, numbers);
        c.exchRcvd = Pick(rng, numbers);
        c.rstSent = Pick(rng, reports);
      }
      const long i = ScanFind(contest.qsoLog, c);
      if (i >= 0) {
        const bool dupesLogged = std::any_of(lineOfRecord.begin(), lineOfRecord.end(),
                                             [](const std::string& line) { return !line.empty(); });
        storedBesideDupes += lineOfRecord[static_cast<std::size_t>(i)].empty() && dupesLogged;
        lineOfRecord.erase(lineOfRecord.begin() + i);
      } else if (const char* refusal = RefusalOf(contest, c)) {
        const auto line = std::find(refused.begin(), refused.end(), BadQsoLine(c.Args(), refusal));
        if (line != refused.end()) {
          refused.erase(line);
          ++refusedRemoved;
        }
      }
      ASSERT_EQ(contest.RemoveData(c.Args(), shell), 1);
    } else {
      // Re-saved in an editor: a byte-order mark, LF line ends, a blank line at the end.
      std::string text = ReadFileBytes(contest.badQsoFileName);
      if (text.rfind(kByteOrderMark, 0) == 0) text.erase(0, 3);
      text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
      WriteFileBytes(contest.badQsoFileName, kByteOrderMark + text + "\n");
    }

    std::vector<std::string> expected = refused;
    for (const std::string& line : lineOfRecord) {
      if (!line.empty()) expected.push_back(line);
    }
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(LinesOf(ReadFileBytes(contest.badQsoFileName)), expected);
    MakeReport(contest);
    ASSERT_EQ(ReportedCount(contest.reportText, "Dupe"), static_cast<int>(expected.size() - refused.size()))
        << contest.reportText;
    ASSERT_EQ(ReportedCount(contest.reportText, "Bad QSO"), static_cast<int>(refused.size()))
        << contest.reportText;
  }
  // The walk must have removed stored contacts while dupes were logged, found contacts by values other than
  // they were added with, and taken refused contacts out, or it proves little.
  EXPECT_GT(storedBesideDupes, 20);
  EXPECT_GT(editedRemovals, 100);
  EXPECT_GT(refusedRemoved, 50);
}

}  // namespace
}  // namespace zorvant
