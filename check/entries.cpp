#include "check/entries.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "engine/contest_rules.h"
#include "platform/file_names.h"

namespace check {
namespace fs = std::filesystem;

bool Removed(Verdict v) {
  return v == Verdict::kNil || v == Verdict::kBustedCall || v == Verdict::kBustedExchange ||
         v == Verdict::kOutsidePeriod || v == Verdict::kPartnerMiscopy;
}

const char* VerdictName(Verdict v) {
  switch (v) {
    case Verdict::kRefused: return "refused";
    case Verdict::kConfirmed: return "confirmed";
    case Verdict::kBustedExchange: return "busted exchange";
    case Verdict::kNil: return "NIL";
    case Verdict::kBustedCall: return "busted call";
    case Verdict::kNotCheckable: return "not checkable";
    case Verdict::kUnique: return "unique";
    case Verdict::kOutsidePeriod: return "outside the contest period";
    case Verdict::kPartnerMiscopy: return "partner's miscopy";
  }
  return "";
}

namespace {

// The order a contact's texts are kept in: those read most first.
std::array<const char**, 10> Fields(ContactTexts& t) {
  return {&t.call, &t.exchSent, &t.exchRcvd, &t.ownCall, &t.mode,
          &t.band, &t.rstSent,  &t.rstRcvd,  &t.prefix,  &t.countryPrefix};
}

const char* Field(const Entry& log, const Qso& q, int n) {
  const char* p = log.texts.data() + q.texts;
  for (; n > 0; --n) p += std::strlen(p) + 1;
  return p;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The CALLSIGN: line of a Cabrillo header, looked for before the first contact.
std::string HeaderCall(const std::string& path) {
  // The header is a few dozen short lines; a log that runs on without one is not read further for it.
  constexpr std::size_t kPiece = 4096, kMost = 64 * 1024;
  std::ifstream in(zorvant::FsPath(path), std::ios::binary);
  std::string head;
  std::size_t pos = 0;
  while (head.size() < kMost) {
    const std::size_t had = head.size();
    head.resize(had + kPiece);
    in.read(&head[had], kPiece);
    head.resize(had + static_cast<std::size_t>(in.gcount()));
    const bool last = head.size() < had + kPiece;
    if (had == 0 && head.rfind("\xEF\xBB\xBF", 0) == 0) pos = 3;
    for (;;) {
      const std::size_t end = head.find_first_of("\r\n", pos);
      if (end == std::string::npos && !last) break;  // the rest of the line is still to come
      const std::string line =
          Trimmed(head.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
      pos = end == std::string::npos ? head.size() : end + 1;
      const std::size_t colon = line.find(':');
      std::string tag = line.substr(0, colon);
      for (char& c : tag) c = Upper(c);
      if (tag == "QSO" || tag == "X-QSO" || tag == "END-OF-LOG") return "";
      if (colon != std::string::npos && tag == "CALLSIGN") {
        std::string call = Trimmed(line.substr(colon + 1));
        for (char& c : call) c = Upper(c);
        return call;
      }
      if (pos >= head.size()) break;
    }
    if (last) break;
  }
  return "";
}

// A text a message quotes, cut where it runs long.
std::string Quoted(const std::string& text) {
  constexpr std::size_t kLongest = 40;
  return "\"" + text.substr(0, kLongest) + (text.size() > kLongest ? "...\"" : "\"");
}

const zorvant::CContestRules& Bands() {
  static const zorvant::CContestRules bands(zorvant::kBandEntries, zorvant::kBandCount);
  return bands;
}
const zorvant::CContestRules& Modes() {
  static const zorvant::CContestRules modes(zorvant::kModeEntries, zorvant::kModeCount);
  return modes;
}

// A pass that only looks for the station, when neither the header nor the file name names it.
class OwnCallFinder : public logs::LogSink {
 public:
  explicit OwnCallFinder(std::vector<std::string>& problems) : problems_(problems) {}
  void Contact(const logs::LogContact& c) override {
    if (call.empty()) call = c.ownCall;
  }
  void Problem(const std::string& problem) override { problems_.push_back(problem); }
  std::string call;

 private:
  std::vector<std::string>& problems_;
};

// Each contact to the engine as it is read, and kept.
class Keeper : public logs::LogSink {
 public:
  Keeper(Entry& log, std::uint32_t index, const logs::QsoTime& start, std::vector<Qso>& qsos,
         bool keepProblems)
      : log_(log), index_(index), run_(log.call, start), qsos_(qsos), keepProblems_(keepProblems) {}

  void Contact(const logs::LogContact& c) override {
    const ContactTexts t = TextsOf(c, log_.call);
    Qso q;
    q.second = SecondsOf(c.time);
    const zorvant::OleDate time = TimeOf(c.time);
    q.log = index_;
    q.texts = static_cast<std::uint32_t>(log_.texts.size());
    q.freqHz = c.freqHz;
    q.line = c.sourceLine;
    q.band = static_cast<std::int8_t>(Bands().IndexOf(t.band));
    q.mode = static_cast<std::int8_t>(Modes().IndexOf(t.mode));
    ContactTexts kept = t;
    for (const char** text : Fields(kept)) log_.texts.append(*text).push_back('\0');
    q.stored = run_.Add(t, time, c.freqHz, &q.dupe);
    qsos_.push_back(q);
  }
  void Problem(const std::string& problem) override {
    if (keepProblems_) log_.problems.push_back(problem);
  }

  Totals Report() { return run_.Report(); }

 private:
  Entry& log_;
  const std::uint32_t index_;
  EngineRun run_;
  std::vector<Qso>& qsos_;
  const bool keepProblems_;
};

void ReadOne(Entry& log, std::uint32_t index, const logs::QsoTime& start, std::vector<Qso>& qsos,
             const HeldLog* held) {
  const std::unique_ptr<logs::LogStream> opened =
      held ? std::make_unique<logs::LogStream>(log.path, held->text)
           : std::make_unique<logs::LogStream>(log.path);
  logs::LogStream& stream = *opened;
  if (!stream.opened()) {
    log.error = stream.error();
    return;
  }
  // A sponsor's check reads this contest's exchange only: a field the logger added must not shift another
  // into the call's place.
  stream.set_layout(logs::QsoLayout::kSerials);
  log.format = stream.format();
  if (log.format.empty()) {
    log.error = log.path + ": neither an ADIF nor a Cabrillo log";
    return;
  }
  // The entrant: the call the log was given with, a Cabrillo log's header, an ADIF log's file name; failing
  // those, the station call of its contacts, and then a Cabrillo log's file name. Whatever names the
  // entrant must read as a callsign: a call the log itself states that does not is no entrant's, and
  // taking it would put the file's text where calls go (the results, the name of a report).
  const bool cabrillo = log.format == "Cabrillo";
  if (held || cabrillo) {
    const std::string stated = held ? held->call : HeaderCall(log.path);
    if (!stated.empty() && !ReadsAsCall(stated)) {
      log.error = log.path + (held ? ": the call given, " : ": its CALLSIGN: line, ") + Quoted(stated) +
                  ", does not read as a callsign; not read";
      return;
    }
    log.call = stated;
  } else {
    log.call = CallOfFileName(log.name);
  }
  const bool twoPasses = log.call.empty();
  if (twoPasses) {
    OwnCallFinder finder(log.problems);
    stream.Read(finder);
    if (ReadsAsCall(finder.call)) log.call = finder.call;
  }
  if (log.call.empty() && cabrillo) log.call = CallOfFileName(log.name);
  if (log.call.empty() && !stream.failed()) {
    log.error = log.path + ": nothing names its entrant (" + (cabrillo ? "no CALLSIGN: line, " : "") +
                "no station call in its contacts, and its file name is no callsign); not read";
    return;
  }
  if (!stream.failed()) {
    Keeper keeper(log, index, start, qsos, /*keepProblems=*/!twoPasses);
    stream.Read(keeper);
    if (!stream.failed()) log.claimed = keeper.Report();
    // Grown by doubling as read, and kept until the whole contest is: a world of logs would carry half as
    // much again in room it never uses.
    qsos.shrink_to_fit();
    log.texts.shrink_to_fit();
  }
  if (stream.failed()) {
    // Part of a log must not pass for all of it, as with `zorvant score`.
    log.error = stream.error();
    qsos.clear();
    log.texts.clear();
  }
}

// Reads every log of `out` (its name and path set), from `held` when given, else from its file.
void ReadAll(const std::vector<HeldLog>* held, const logs::QsoTime& start, int threads,
             const std::function<void(std::size_t, std::size_t)>& progress, Entries* out) {
  Entries& entries = *out;
  const std::size_t count = entries.logs.size();
  std::vector<std::vector<Qso>> read(count);
  InParallel(
      count, threads,
      [&](std::size_t i) {
        Entry& log = entries.logs[i];
        try {
          ReadOne(log, static_cast<std::uint32_t>(i), start, read[i], held ? &(*held)[i] : nullptr);
        } catch (const std::exception& e) {
          log.error = log.path + ": cannot be checked: " + e.what();
          read[i].clear();
          log.texts.clear();
        }
      },
      [&](std::size_t done) {
        if (progress) progress(done, count);
      });

  // One log an entrant. Of two files that claim one call, which is the entrant's cannot be told: neither is
  // checked (taking the first by name would let any file put the real log aside), and the call is
  // disputed: contacts with it are not checkable, so that nobody loses one to a log that may be a fake.
  std::size_t total = 0;
  for (const auto& qsos : read) total += qsos.size();
  entries.qsos.clear();
  entries.qsos.reserve(total);
  entries.disputed.clear();
  std::unordered_map<std::uint32_t, std::vector<std::size_t>> claims;
  for (std::size_t i = 0; i < entries.logs.size(); ++i) {
    Entry& log = entries.logs[i];
    if (!log.error.empty()) continue;
    log.callId = entries.calls.Intern(log.call);
    claims[log.callId].push_back(i);
  }
  for (std::size_t i = 0; i < entries.logs.size(); ++i) {
    Entry& log = entries.logs[i];
    if (!log.error.empty()) continue;
    const std::vector<std::size_t>& claimants = claims[log.callId];
    if (claimants.size() > 1) {
      if (claimants.front() == i) entries.disputed.push_back(log.callId);
      std::string files;
      for (std::size_t n = 0; n < claimants.size(); ++n) {
        files += (n == 0 ? "" : n + 1 == claimants.size() ? " and " : ", ") + entries.logs[claimants[n]].name;
      }
      log.error = log.path + ": " + log.call + " is claimed by " + std::to_string(claimants.size()) +
                  " logs, " + files + ": " + (claimants.size() == 2 ? "neither" : "none") +
                  " is checked, and contacts with " + log.call + " count as not checkable";
      log.texts.clear();
      continue;
    }
    log.first = entries.qsos.size();
    log.count = read[i].size();
    // Millions of calls through one table, each look-up a miss of the cache: asked for a few ahead.
    constexpr std::size_t kAhead = 8;
    std::vector<Qso>& qsos = read[i];
    for (std::size_t k = 0; k < qsos.size(); ++k) {
      if (k + kAhead < qsos.size()) entries.calls.Prefetch(CallOf(log, qsos[k + kAhead]));
      qsos[k].call = entries.calls.Intern(CallOf(log, qsos[k]));
      entries.qsos.push_back(qsos[k]);
    }
    std::vector<Qso>().swap(read[i]);
  }
}

}  // namespace

ContactTexts TextsOf(const Entry& log, const Qso& q) {
  ContactTexts t;
  const char* p = log.texts.data() + q.texts;
  for (const char** field : Fields(t)) {
    *field = p;
    p += std::strlen(p) + 1;
  }
  return t;
}

const char* CallOf(const Entry& log, const Qso& q) { return Field(log, q, 0); }
const char* SerialSent(const Entry& log, const Qso& q) { return Field(log, q, 1); }
const char* SerialReceived(const Entry& log, const Qso& q) { return Field(log, q, 2); }

// Days from the civil calendar, proleptic Gregorian.
std::int64_t SecondsOf(const logs::QsoTime& t) {
  const std::int64_t y = t.year - (t.month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (t.month + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + t.day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t days = era * 146097 + doe - 719468;
  return ((days * 24 + t.hour) * 60 + t.minute) * 60 + t.second;
}

logs::QsoTime TimeOfSeconds(std::int64_t second) {
  std::int64_t days = (second >= 0 ? second : second - 86399) / 86400;
  const std::int64_t inDay = second - days * 86400;
  // The civil date of a day since 1970, proleptic Gregorian.
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  logs::QsoTime t{};
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = static_cast<int>(inDay / 3600);
  t.minute = static_cast<int>(inDay / 60 % 60);
  t.second = static_cast<int>(inDay % 60);
  return t;
}

zorvant::OleDate OleTimeOf(std::int64_t second) { return TimeOf(TimeOfSeconds(second)); }

std::string PathIn(const std::string& folder, const std::string& name) {
  const bool separated = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
  return folder + (separated ? "" : "/") + name;
}

bool ReadsAsCall(const std::string& call) {
  bool letter = false, digit = false;
  for (char c : call) {
    letter = letter || (c >= 'A' && c <= 'Z');
    digit = digit || (c >= '0' && c <= '9');
    if (!(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9') && c != '/') return false;
  }
  return letter && digit && call.size() >= 3 && call.size() <= 20 && call.front() != '/' &&
         call.back() != '/' && call.find("//") == std::string::npos;
}

std::string CallOfFileName(const std::string& name) {
  std::string call = name.substr(0, name.rfind('.'));
  for (char& c : call) c = c == '_' ? '/' : Upper(c);
  return ReadsAsCall(call) ? call : "";
}

void InParallel(std::size_t count, int threads, const std::function<void(std::size_t)>& work,
                const std::function<void(std::size_t)>& tick) {
  std::atomic<std::size_t> next{0};
  std::size_t done = 0;
  std::exception_ptr failure;
  std::mutex mutex;
  std::condition_variable changed;
  auto worker = [&] {
    for (std::size_t i; (i = next++) < count;) {
      std::exception_ptr thrown;
      try {
        work(i);
      } catch (...) {
        thrown = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(mutex);
      if (thrown && !failure) failure = thrown;
      ++done;
      changed.notify_all();
    }
  };
  std::vector<std::thread> pool;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), count);
  for (std::size_t t = 0; t < n; ++t) pool.emplace_back(worker);
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (done < count) {
      changed.wait_for(lock, std::chrono::milliseconds(100), [&] { return done == count; });
      const std::size_t now = done;
      lock.unlock();
      if (tick) tick(now);
      lock.lock();
    }
  }
  for (std::thread& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
}

bool ReadEntries(const std::string& folder, const logs::QsoTime& start, int threads,
                 const std::function<void(std::size_t, std::size_t)>& progress, Entries* out,
                 std::string* error) {
  std::error_code ec;
  fs::directory_iterator it(zorvant::FsPath(folder), ec), end;
  if (ec) {
    *error = folder + ": cannot be read: " + ec.message();
    return false;
  }
  std::vector<std::string> names;
  out->folders.clear();
  std::size_t unspelled = 0;
  for (; it != end; it.increment(ec)) {
    std::string name;
    try {
      name = zorvant::NameText(it->path().filename());
    } catch (const std::exception&) {
      ++unspelled;  // a name Windows keeps in a form this program's texts cannot hold
      continue;
    }
    std::error_code statusError;
    const fs::file_status status = it->status(statusError);
    if (name.empty() || name[0] == '.') continue;
    if (fs::is_directory(status)) out->folders.push_back(name);
    if (fs::is_regular_file(status)) names.push_back(name);
  }
  std::sort(out->folders.begin(), out->folders.end());
  if (ec) {
    *error = folder + ": cannot be read: " + ec.message();
    return false;
  }
  std::sort(names.begin(), names.end());

  out->logs.assign(names.size(), Entry{});
  for (std::size_t i = 0; i < names.size(); ++i) {
    out->logs[i].name = names[i];
    out->logs[i].path = PathIn(folder, names[i]);
  }
  ReadAll(nullptr, start, threads, progress, out);
  for (std::size_t i = 0; i < unspelled; ++i) {
    Entry unread;
    unread.name = "?";
    unread.path = PathIn(folder, "?");
    unread.error = folder + ": a file whose name cannot be spelled here; not read";
    out->logs.push_back(unread);
  }
  return true;
}

void ReadEntries(const std::vector<HeldLog>& held, const logs::QsoTime& start, int threads, Entries* out) {
  out->logs.assign(held.size(), Entry{});
  for (std::size_t i = 0; i < held.size(); ++i) out->logs[i].name = out->logs[i].path = held[i].name;
  ReadAll(&held, start, threads, nullptr, out);
}

void ScoreChecked(Entries& entries, const logs::QsoTime& start, int threads) {
  InParallel(
      entries.logs.size(), threads,
      [&](std::size_t i) {
        Entry& log = entries.logs[i];
        if (!log.error.empty()) return;
        const auto begin = entries.qsos.begin() + static_cast<std::ptrdiff_t>(log.first);
        const auto end = begin + static_cast<std::ptrdiff_t>(log.count);
        if (std::none_of(begin, end, [](const Qso& q) { return Removed(q.verdict); })) {
          log.checked = log.claimed;
          return;
        }
        EngineRun run(log.call, start);
        bool dupe;
        for (auto q = begin; q != end; ++q) {
          if (!Removed(q->verdict)) {
            run.Add(TextsOf(log, *q), OleTimeOf(q->second), q->freqHz, &dupe);
          }
        }
        log.checked = run.Report();
      },
      nullptr);
}

}  // namespace check
