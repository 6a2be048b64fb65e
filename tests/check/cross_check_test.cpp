#include "check/cross_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "check/entries.h"
#include "cli/score.h"
#include "tests/check/memory_cap.h"
#include "tests/support/test_support.h"

namespace check {
namespace {

namespace fs = std::filesystem;
using zorvant::testing::ReadFileBytes;
using zorvant::testing::WriteFileBytes;

const std::string kSource = ZORVANT_SOURCE_DIR;
const logs::QsoTime kStart{2026, 3, 14, 14, 0, 0};

// A folder of logs read and cross-checked.
struct Checked {
  Checked(const std::string& folder, int window) {
    std::string error;
    EXPECT_TRUE(ReadEntries(folder, kStart, /*threads=*/2, nullptr, &entries, &error)) << error;
    check = std::make_unique<CrossCheck>(entries);
    check->Run(window);
    ScoreChecked(entries, kStart, /*threads=*/2);
  }
  const Entry* Log(const std::string& call) const {
    for (const Entry& log : entries.logs) {
      if (log.call == call && log.error.empty()) return &log;
    }
    return nullptr;
  }

  Entries entries;
  std::unique_ptr<CrossCheck> check;
};

// What make_contest.py says each injected error must come out as: (log's call, line) -> class.
std::map<std::pair<std::string, int>, std::string> ReadTruth(const std::string& path) {
  std::map<std::pair<std::string, int>, std::string> truth;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);  // the column names
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    if (f.size() >= 7) truth[{f[0], std::stoi(f[1])}] = f[6];
  }
  return truth;
}

// Every contact comes out as the truth says, and every contact it does not list is confirmed; a line it
// lists as "skipped" is no contact, but a problem of its log.
void ExpectTheTruth(const Checked& c, const std::string& truthFile) {
  auto truth = ReadTruth(truthFile);
  ASSERT_FALSE(truth.empty()) << truthFile;
  std::size_t contacts = 0;
  for (const Entry& log : c.entries.logs) {
    ASSERT_EQ(log.error, "");
    for (auto listed = truth.begin(); listed != truth.end();) {
      if (listed->first.first != log.call || listed->second != "skipped") {
        ++listed;
        continue;
      }
      const std::string where = ": line " + std::to_string(listed->first.second) + ": ";
      EXPECT_TRUE(std::any_of(log.problems.begin(), log.problems.end(),
                              [&](const std::string& p) { return p.find(where) != std::string::npos; }))
          << log.name << where << "is no problem";
      listed = truth.erase(listed);
    }
    for (std::size_t i = log.first; i < log.first + log.count; ++i, ++contacts) {
      const Qso& q = c.entries.qsos[i];
      const auto listed = truth.find({log.call, q.line});
      const std::string expected = listed == truth.end() ? "confirmed" : listed->second;
      EXPECT_EQ(VerdictName(q.verdict), expected) << log.name << " line " << q.line;
      if (listed != truth.end()) truth.erase(listed);
    }
  }
  EXPECT_TRUE(truth.empty()) << truth.size() << " listed contacts not in the logs, the first "
                             << truth.begin()->first.first << " line " << truth.begin()->first.second;
  EXPECT_GT(contacts, 0u);
}

// The score `zorvant score` prints for a log: "Score = P * M  = S".
Totals ScoreOf(const std::string& log, const std::string& call) {
  std::vector<std::string> args = {"zorvant", "score", log, "--call", call, "--start", "2026-03-14 14:00"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  cli::RunOptions options;
  std::string error;
  EXPECT_TRUE(cli::ParseRunOptions(static_cast<int>(argv.size()), argv.data(), 2, false, &options, &error));
  std::ostringstream out, err;
  EXPECT_EQ(cli::RunScore(options, out, err), cli::kScored) << err.str();
  Totals t;
  const std::string report = out.str();
  const std::size_t total = report.find("Total\t");
  const std::size_t score = report.find("Score = ");
  EXPECT_NE(score, std::string::npos) << report;
  std::sscanf(report.c_str() + total, "Total\t %d\t %d\t %d", &t.qsos, &t.points, &t.multiplier);
  std::sscanf(report.c_str() + score, "Score = %*d * %*d = %d", &t.score);
  return t;
}

void ExpectSameTotals(const Totals& a, const Totals& b, const std::string& what) {
  EXPECT_EQ(a.qsos, b.qsos) << what;
  EXPECT_EQ(a.points, b.points) << what;
  EXPECT_EQ(a.multiplier, b.multiplier) << what;
  EXPECT_EQ(a.score, b.score) << what;
}

// The lines of a log the check skipped as fitting no layout of the contest's exchange, which `zorvant score`,
// reading other contests' logs too, takes its best guess at.
std::vector<int> SkippedLines(const Entry& log) {
  std::vector<int> lines;
  for (const std::string& p : log.problems) {
    int line = 0;
    const std::size_t at = p.find(": line ");
    if (p.find("fit no contest layout") != std::string::npos && at != std::string::npos &&
        std::sscanf(p.c_str() + at, ": line %d", &line) == 1) {
      lines.push_back(line);
    }
  }
  return lines;
}

// `log` without the lines `cut` (one contact a line in the logs given here) as a file in the scratch folder.
std::string CutLog(const Entry& log, const std::vector<int>& cut, const std::string& prefix) {
  std::istringstream in(ReadFileBytes(log.path));
  std::string kept;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    if (std::find(cut.begin(), cut.end(), ++number) == cut.end()) kept += line + "\n";
  }
  const std::string path = prefix + log.name;
  WriteFileBytes(path, kept);
  return path;
}

// The claimed score is `zorvant score` of the log without the lines the check skipped; the checked score is
// `zorvant score` of the log without those and its removed contacts. Run in a scratch folder; returns the
// number of logs that lost contacts.
int ExpectScoresOfZorvantScore(const Checked& c) {
  int logsWithRemovals = 0;
  for (const Entry& log : c.entries.logs) {
    if (!log.error.empty()) continue;
    std::vector<int> removed = SkippedLines(log);
    ExpectSameTotals(log.claimed,
                     ScoreOf(removed.empty() ? log.path : CutLog(log, removed, "read-"), log.call),
                     log.name + " claimed");
    const std::size_t skipped = removed.size();
    for (std::size_t i = log.first; i < log.first + log.count; ++i) {
      if (Removed(c.entries.qsos[i].verdict)) removed.push_back(c.entries.qsos[i].line);
    }
    if (removed.size() == skipped) {
      ExpectSameTotals(log.checked, log.claimed, log.name + " checked");
      continue;
    }
    ++logsWithRemovals;
    ExpectSameTotals(log.checked, ScoreOf(CutLog(log, removed, "cut-"), log.call), log.name + " checked");
  }
  return logsWithRemovals;
}

class CrossCheckTest : public zorvant::testing::InTempDir {};

TEST_F(CrossCheckTest, GeneratedContestComesOutAsInjected) {
  // tests/data/check: bench/make_contest.py 10 logs --contacts 360 --rate 0.03 --seed 1, which injects
  // every kind of error.
  const Checked c(kSource + "/tests/data/check/logs", /*window=*/3);
  ExpectTheTruth(c, kSource + "/tests/data/check/truth.tsv");
  EXPECT_GT(ExpectScoresOfZorvantScore(c), 0);
}

// Logs in the shapes logging programs write them: a 2.0 header, fixed wide columns, right-aligned serials, a
// transmitter-ID column, the newest contact first, a club's code where the serial belongs, a mark after a
// dupe's exchange, blank serials, ADIF with seconds, CR LF and LF.
TEST_F(CrossCheckTest, LoggersLayoutsComeOutAsTheyMust) {
  const Checked c(kSource + "/tests/data/check/loggers/logs", /*window=*/3);
  ExpectTheTruth(c, kSource + "/tests/data/check/loggers/truth.tsv");
  ExpectScoresOfZorvantScore(c);
}

// A contest made afresh by the generator, or the one ZORVANT_CONTEST names (a folder with logs/ and
// truth.tsv, such as scripts/bench.sh's 2 000 logs).
TEST_F(CrossCheckTest, LargerGeneratedContestComesOutAsInjected) {
  std::string folder = ".";
  if (const char* given = std::getenv("ZORVANT_CONTEST")) {
    folder = given;
  } else {
    if (std::system("python3 --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3 to generate it";
    const std::string command = "python3 " + kSource +
                                "/bench/make_contest.py 150 logs --contacts 15000 --rate 0.02 --seed 7 "
                                "--truth truth.tsv";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  const Checked c(folder + "/logs", /*window=*/3);
  ExpectTheTruth(c, folder + "/truth.tsv");
}

// A contest of a few hand-written Cabrillo logs, each contact "FREQ MODE HHMM CALL SENT RCVD = CLASS" (RCVD
// "-": none), and the class each must come out as.
struct Case {
  const char* what;
  std::vector<std::pair<std::string, std::vector<std::string>>> logs;
  int window = 3;
};

std::string CabrilloLog(const std::string& own, const std::vector<std::string>& contacts) {
  std::string text = "START-OF-LOG: 3.0\r\nCALLSIGN: " + own + "\r\n";
  for (const std::string& c : contacts) {
    char freq[16], mode[8], time[8], call[16], sent[8], rcvd[8];
    std::sscanf(c.c_str(), "%15s %7s %7s %15s %7s %7s", freq, mode, time, call, sent, rcvd);
    text += std::string("QSO: ") + freq + " " + mode + " 2026-03-14 " + time + " " + own + " 599 " + sent +
            " " + call + " 599" + (std::string(rcvd) == "-" ? "" : std::string(" ") + rcvd) + "\r\n";
  }
  return text + "END-OF-LOG:\r\n";
}

TEST_F(CrossCheckTest, MatchingRules) {
  const Case cases[] = {
      {"the closest times pair first; the copy left over is NIL",
       {{"UA3AA", {"3585 RY 1400 DL1BB 001 001 = NIL", "3585 RY 1402 DL1BB 002 001 = confirmed"}},
        {"DL1BB", {"3585 RY 1402 UA3AA 001 002 = confirmed"}}}},
      {"the window, either way",
       {{"UA3AA", {"3585 RY 1400 DL1BB 001 001 = NIL", "7040 RY 1410 DL1BB 002 002 = confirmed"}},
        {"DL1BB", {"3585 RY 1404 UA3AA 001 001 = NIL", "7040 RY 1407 UA3AA 002 002 = confirmed"}}}},
      {"a wider window",
       {{"UA3AA", {"3585 RY 1400 DL1BB 001 001 = confirmed"}},
        {"DL1BB", {"3585 RY 1404 UA3AA 001 001 = confirmed"}}},
       5},
      {"band and mode must agree",
       {{"UA3AA", {"3585 RY 1400 DL1BB 001 001 = NIL", "3585 RY 1410 DL1BB 002 002 = NIL"}},
        {"DL1BB", {"7040 RY 1400 UA3AA 001 001 = NIL", "3585 PM 1410 UA3AA 002 002 = NIL"}}}},
      {"the serial received against the serial sent, leading zeros aside",
       {{"UA3AA", {"3585 RY 1400 DL1BB 001 006 = busted exchange", "7040 RY 1410 DL1BB 2 7 = confirmed"}},
        {"DL1BB", {"3585 RY 1400 UA3AA 005 001 = confirmed", "7040 RY 1410 UA3AA 007 0002 = confirmed"}}}},
      {"the other side logged the call one edit off: its error, whether or not that call sent a log",
       {{"UA3AA", {"3585 RY 1400 DL1BB 001 001 = confirmed", "7040 RY 1410 DL1BB 002 002 = confirmed"}},
        {"DL1BB", {"3585 RY 1400 UA3AB 001 001 = busted call", "7040 RY 1410 UA3A 002 002 = NIL"}},
        {"UA3A", {}}}},
      {"this side logged the call one edit off",
       {{"UA3AA", {"3585 RY 1400 DL1BC 001 001 = busted call", "7040 RY 1410 DL1BB 002 002 = confirmed"}},
        {"DL1BB", {"3585 RY 1401 UA3AA 001 001 = confirmed", "7040 RY 1410 UA3AA 002 002 = confirmed"}}}},
      {"of a station's two entries in one minute, the one that confirms is paired; the extra one is NIL",
       {{"OK2ZA", {"14080 RY 1431 OH1TFR 007 006 = NIL", "14080 RY 1431 OH1TFR 008 006 = confirmed"}},
        {"OH1TFR", {"14080 RY 1431 OK2ZA 006 008 = confirmed"}}}},
      {"a miscopied extra entry is a busted call, though its station's contact is matched already",
       {{"OK2ZA",
         {"14080 RY 1448 OH1TFRL 009 010 = busted call", "14080 RY 1449 OH1TFR 010 010 = confirmed"}},
        {"OH1TFR", {"14080 RY 1448 OK2ZA 010 010 = confirmed"}}}},
      {"... unless other logs hold that call too",
       {{"OK2ZA",
         {"14080 RY 1448 OH1TFRL 009 010 = not checkable", "14080 RY 1449 OH1TFR 010 010 = confirmed"}},
        {"OH1TFR", {"14080 RY 1448 OK2ZA 010 010 = confirmed"}},
        {"DL1BB", {"14080 RY 1500 OH1TFRL 001 011 = not checkable"}}}},
      {"two neighbours swapped are a busted call, on either side",
       {{"UA3AA", {"3585 RY 1400 FD1BB 001 001 = busted call", "7040 RY 1410 DF1BB 002 002 = confirmed"}},
        {"DF1BB", {"3585 RY 1400 UA3AA 001 001 = confirmed", "7040 RY 1410 AU3AA 002 002 = busted call"}}}},
      {"no log: not checkable when the call is in other logs, else unique",
       {{"UA3AA", {"3585 RY 1400 RA9XX 001 001 = not checkable", "3585 RY 1410 RA9YY 002 001 = unique"}},
        {"DL1BB", {"3585 RY 1405 RA9XX 001 002 = not checkable"}}}},
      {"a contact the rules refuse is not checked, and still confirms its partner",
       {{"UA3AA", {"3585 RY 1400 DL1BB 001 001 = confirmed", "10120 RY 1405 DL1BB 002 002 = refused"}},
        {"DL1BB", {"3585 RY 1400 UA3AA 001 - = refused"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = "logs-" + std::to_string(&c - cases);
    fs::create_directory(folder);
    std::map<std::string, std::vector<std::string>> expected;
    for (const auto& [call, contacts] : c.logs) {
      for (const std::string& contact : contacts)
        expected[call].push_back(contact.substr(contact.find(" = ") + 3));
      WriteFileBytes(folder + "/" + call + ".log", CabrilloLog(call, contacts));
    }
    const Checked checked(folder, c.window);
    for (const auto& [call, verdicts] : expected) {
      const Entry* log = checked.Log(call);
      ASSERT_NE(log, nullptr) << call;
      ASSERT_EQ(log->count, verdicts.size()) << call;
      for (std::size_t i = 0; i < verdicts.size(); ++i) {
        EXPECT_EQ(VerdictName(checked.entries.qsos[log->first + i].verdict), verdicts[i])
            << call << " #" << i + 1;
      }
    }
    // A removed first copy of a dupe leaves its confirmed second copy to score.
    ExpectScoresOfZorvantScore(checked);
  }
}

// Two stations that logged each other 100 000 times on one band and mode, every contact near every other
// (the window spans the contest): each pair is one contact, found in memory that grows with the contacts,
// not with the pairs they could make.
TEST_F(CrossCheckTest, TwoLogsWithManyContactsBetweenThemAreCheckedInBoundedMemory) {
  constexpr int kEach = 100000;
  fs::create_directory("logs");
  for (const auto& [own, other] :
       {std::pair<std::string, std::string>{"UA3AA", "DL1BB"}, {"DL1BB", "UA3AA"}}) {
    std::string text = "START-OF-LOG: 3.0\r\nCALLSIGN: " + own + "\r\n";
    char line[128];
    for (int i = 0; i < kEach; ++i) {
      const int minute = i % 240;
      // Each side sends its own serials; what it received is what the other sent in the same contact.
      const int sent = own < other ? i % 10000 : (i * 7) % 10000;
      const int rcvd = own < other ? (i * 7) % 10000 : i % 10000;
      std::snprintf(line, sizeof line, "QSO: 3585 RY 2026-03-14 %02d%02d %s 599 %04d %s 599 %04d\r\n",
                    14 + minute / 60, minute % 60, own.c_str(), sent, other.c_str(), rcvd);
      text += line;
    }
    WriteFileBytes("logs/" + own + ".log", text + "END-OF-LOG:\r\n");
  }
  zorvant::testing::MemoryCap cap(256 * zorvant::testing::kMiB);
  Entries entries;
  std::string error;
  try {
    ASSERT_TRUE(ReadEntries("logs", kStart, /*threads=*/2, nullptr, &entries, &error)) << error;
    CrossCheck check(entries);
    check.Run(/*windowMinutes=*/240);
  } catch (const std::bad_alloc&) {
    FAIL() << "the cross-check needed more than 256 MB";
  }
  ASSERT_EQ(entries.qsos.size(), 2u * kEach);
  std::size_t confirmed = 0;
  for (const Qso& q : entries.qsos) confirmed += q.verdict == Verdict::kConfirmed;
  EXPECT_EQ(confirmed, 2u * kEach);
  std::printf("peak %zu MB\n", cap.peak() >> 20);
}

// The pairing as plainly as it can be said: every pair near enough, sorted by how far apart and then by
// file order, made greedily; exact calls first, then calls one edit off.
void PairThePlainWay(Entries& e, int window) {
  auto minute = [](std::int64_t s) { return s >= 0 ? s / 60 : -((-s + 59) / 60); };
  auto near = [&](const Qso& a, const Qso& b) {
    return std::abs(minute(a.second) - minute(b.second)) <= window;
  };
  auto confirm = [&](Qso& a, const Qso& b) {
    if (!a.stored) return;
    const char* sent = SerialSent(e.logs[b.log], b);
    a.verdict = !*sent || SameSerial(SerialReceived(e.logs[a.log], a), sent) ? Verdict::kConfirmed
                                                                             : Verdict::kBustedExchange;
  };
  std::map<std::uint32_t, std::uint32_t> logOf;
  for (std::uint32_t l = 0; l < e.logs.size(); ++l) logOf[e.logs[l].callId] = l;
  auto owner = [&](const Qso& q) { return e.logs[q.log].callId; };
  auto checked = [](const Qso& q) { return q.band >= 0 && q.mode >= 0; };
  for (Qso& q : e.qsos) {
    q.partner = kNone;
    q.partnerCallWrong = false;
    q.verdict = Verdict::kRefused;
  }
  // Exact pairs that confirm each other first, each side having received the serial the other sent.
  auto confirming = [&](const Qso& a, const Qso& b) {
    return SameSerial(SerialReceived(e.logs[a.log], a), SerialSent(e.logs[b.log], b)) &&
           SameSerial(SerialReceived(e.logs[b.log], b), SerialSent(e.logs[a.log], a));
  };
  using Exact = std::tuple<bool, std::int64_t, std::uint32_t, std::uint32_t>;
  std::vector<Exact> exact;
  for (std::uint32_t i = 0; i < e.qsos.size(); ++i) {
    for (std::uint32_t j = 0; j < e.qsos.size(); ++j) {
      const Qso &a = e.qsos[i], &b = e.qsos[j];
      if (checked(a) && checked(b) && owner(a) < a.call && owner(b) == a.call && b.call == owner(a) &&
          a.band == b.band && a.mode == b.mode && near(a, b)) {
        exact.emplace_back(!confirming(a, b), std::abs(a.second - b.second), i, j);
      }
    }
  }
  std::sort(exact.begin(), exact.end());
  for (const auto& [disagree, apart, i, j] : exact) {
    Qso &a = e.qsos[i], &b = e.qsos[j];
    if (a.partner != kNone || b.partner != kNone) continue;
    a.partner = j;
    b.partner = i;
    confirm(a, b);
    confirm(b, a);
  }
  using Pair = std::tuple<std::int64_t, std::uint32_t, std::uint32_t>;
  std::vector<Pair> pairs;
  for (std::uint32_t i = 0; i < e.qsos.size(); ++i) {
    for (std::uint32_t j = 0; j < e.qsos.size(); ++j) {
      const Qso &p = e.qsos[i], &q = e.qsos[j];
      if (checked(p) && checked(q) && p.partner == kNone && q.partner == kNone && owner(p) != owner(q) &&
          p.call == owner(q) && OneEdit(e.calls[q.call], e.logs[p.log].call) && p.band == q.band &&
          p.mode == q.mode && near(p, q)) {
        pairs.emplace_back(std::abs(p.second - q.second), i, j);
      }
    }
  }
  std::sort(pairs.begin(), pairs.end());
  for (const auto& [apart, i, j] : pairs) {
    Qso &p = e.qsos[i], &q = e.qsos[j];
    if (p.partner != kNone || q.partner != kNone) continue;
    p.partner = j;
    q.partner = i;
    confirm(p, q);
    p.partnerCallWrong = true;
    if (q.stored) q.verdict = logOf.count(q.call) ? Verdict::kNil : Verdict::kBustedCall;
  }
  for (Qso& q : e.qsos) {
    if (!q.stored || q.partner != kNone) continue;
    std::set<std::uint32_t> holders;
    for (const Qso& other : e.qsos) {
      if (other.call == q.call) holders.insert(other.log);
    }
    q.verdict = logOf.count(q.call)  ? Verdict::kNil
                : holders.size() > 1 ? Verdict::kNotCheckable
                                     : Verdict::kUnique;
    if (q.verdict != Verdict::kUnique || !checked(q)) continue;
    // Unique, but a log one edit from the call holds a contact with this station, matched or not.
    std::uint32_t evidence = kNone;
    for (std::uint32_t j = 0; j < e.qsos.size(); ++j) {
      const Qso& p = e.qsos[j];
      if (checked(p) && owner(p) != owner(q) && p.call == owner(q) &&
          OneEdit(e.calls[q.call], e.logs[p.log].call) && p.band == q.band && p.mode == q.mode &&
          near(p, q) &&
          (evidence == kNone ||
           std::abs(p.second - q.second) < std::abs(e.qsos[evidence].second - q.second))) {
        evidence = j;
      }
    }
    if (evidence != kNone) {
      q.verdict = Verdict::kBustedCall;
      q.partner = evidence;
    }
  }
}

// Small contests crowded with ties: few times, few calls, many of them one edit from another.
Entries RandomContest(std::mt19937& rng) {
  const char* const pool[] = {"K1A", "K1B", "K1AB", "K1", "K2A", "K1AC", "K2B", "K12A", "K1BA", "1KA"};
  constexpr int kPool = static_cast<int>(std::size(pool));
  auto below = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::vector<std::string> calls(std::begin(pool), std::end(pool));
  std::shuffle(calls.begin(), calls.end(), rng);
  Entries e;
  const int logs = 2 + below(4);
  for (int l = 0; l < logs; ++l) {
    Entry log;
    log.call = calls[l];
    log.name = log.call + ".log";
    log.callId = e.calls.Intern(log.call);
    log.first = e.qsos.size();
    for (int n = below(30); n > 0; --n) {
      std::string worked = pool[below(kPool)];
      if (worked == log.call) continue;
      Qso q;
      q.log = static_cast<std::uint32_t>(l);
      q.call = e.calls.Intern(worked);
      q.second = 30 * below(16) + (below(4) == 0 ? below(30) : 0);
      q.band = static_cast<std::int8_t>(below(10) == 0 ? -1 : below(2));
      q.mode = 0;
      q.stored = below(10) != 0;
      q.texts = static_cast<std::uint32_t>(log.texts.size());
      const std::string sent = std::to_string(1 + below(2)), rcvd = std::to_string(1 + below(2));
      log.texts += worked + '\0' + sent + '\0' + rcvd + '\0' + std::string(7, '\0');
      e.qsos.push_back(q);
    }
    log.count = e.qsos.size() - log.first;
    e.logs.push_back(log);
  }
  return e;
}

TEST(CrossCheckPairingTest, SameAsEveryPairSortedAndTakenInTurn) {
  std::mt19937 rng(2026);
  for (int round = 0; round < 3000; ++round) {
    Entries swept = RandomContest(rng);
    Entries plain = swept;
    const int window = static_cast<int>(rng() % 4);
    CrossCheck(swept).Run(window);
    PairThePlainWay(plain, window);
    for (std::size_t i = 0; i < swept.qsos.size(); ++i) {
      const Qso &a = swept.qsos[i], &b = plain.qsos[i];
      ASSERT_EQ(std::tie(a.partner, a.partnerCallWrong, a.verdict),
                std::tie(b.partner, b.partnerCallWrong, b.verdict))
          << "round " << round << ", contact " << i << ": " << VerdictName(a.verdict) << " against "
          << VerdictName(b.verdict);
    }
  }
}

TEST(OneEditTest, OneLetterOrDigitChangedAddedOrLeftOut) {
  const struct {
    const char* a;
    const char* b;
    bool oneEdit;
  } cases[] = {
      {"UA3ABC", "UA3ABD", true},
      {"UA3ABC", "UA3AB", true},
      {"UA3AB", "UA3XAB", true},
      {"UA3ABC", "UA3ABC", false},
      {"UA3ABC", "UA3BAC", true},
      {"UA3ABC", "UA3A", false},
      {"K1A", "K1A/P", false},
      {"", "K", true},
      // Two neighbours swapped are one edit; swapped further apart, or twice, they are not.
      {"DF1AB", "FD1AB", true},
      {"UA3ABC", "UA3BCA", false},
      {"UA3ABC", "UA3CBA", false},
      {"AB12", "BA21", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OneEdit(c.a, c.b), c.oneEdit) << c.a << " " << c.b;
    EXPECT_EQ(OneEdit(c.b, c.a), c.oneEdit) << c.b << " " << c.a;
  }
}

}  // namespace
}  // namespace check
