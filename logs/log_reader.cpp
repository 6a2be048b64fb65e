
#include "logs/log_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <utility>

#include "logs/cabrillo_log.h"
#include "logs/callsign.h"
#include "platform/file_names.h"

namespace logs {
namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// ASCII, as the C library's toupper in the "C" locale this program runs in.
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether the buffered bytes at `pos` spell `upper` in any letter case; false when they run out first.
bool HasAt(const LogSource& s, std::uint64_t pos, std::string_view upper) {
  if (s.end() - pos < upper.size()) return false;
  for (std::size_t i = 0; i < upper.size(); ++i) {
    if (Upper(s[pos + i]) != upper[i]) return false;
  }
  return true;
}

// The format, told from the content. "START-OF-LOG:" first (after a byte-order mark and blanks) is Cabrillo.
// Otherwise <EOH> or <EOR> anywhere is ADIF; failing that, a line that begins with "QSO:" is Cabrillo, and a
// well-formed ADIF field anywhere ADIF (a log cut off inside its first record has nothing else to show what
// it is). Only a log without <EOH> and <EOR> is read to its end for this; one pass, a piece at a time.
std::string TellFormat(LogSource& s) {
  auto ensure = [&](std::uint64_t pos, std::uint64_t n) {
    while (s.end() - pos < n && s.More(pos)) {
    }
  };
  std::uint64_t start = 0;
  ensure(0, 3);
  if (HasAt(s, 0, "\xEF\xBB\xBF")) start = 3;
  for (;;) {
    while (start < s.end() && IsSpace(s[start])) ++start;
    if (start < s.end() || !s.More(start)) break;
  }
  ensure(start, 13);
  if (HasAt(s, start, "START-OF-LOG:")) return "Cabrillo";
  // The look for the tag may have dropped the first bytes; the lines begin at the first byte.
  s.Rewind();
  s.More(0);

  bool qsoLine = false, field = false;
  bool lineStart = true;  // the next byte begins a line
  for (std::uint64_t pos = s.begin();;) {
    if (pos >= s.end()) {
      if (!s.More(pos)) break;
      continue;
    }
    if (lineStart && !qsoLine) {
      // Blanks before the tag, then the tag; both may run past the buffered bytes. The blanks are neither
      // a line end nor a '<', so they are passed over and let go.
      for (;;) {
        while (pos < s.end() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
        if (pos < s.end() || !s.More(pos)) break;
      }
      ensure(pos, 4);
      qsoLine = HasAt(s, pos, "QSO:");
      lineStart = false;
      continue;
    }
    const char c = s[pos];
    if (c == '\r' || c == '\n') {
      lineStart = true;
    } else if (c == '<') {
      ensure(pos, 5);
      if (HasAt(s, pos, "<EOH>") || HasAt(s, pos, "<EOR>")) return "ADIF";
      if (!field) {
        // A data specifier with a length: <NAME:LENGTH> or <NAME:LENGTH:TYPE>, each part no longer than
        // the scanner takes it.
        std::uint64_t p = pos + 1;
        auto run = [&](std::size_t longest, auto accept) {
          const std::uint64_t from = p;
          for (;;) {
            while (p < s.end() && p - from <= longest && accept(s[p])) ++p;
            if (p < s.end() || !s.More(pos)) return p - from <= longest;
          }
        };
        bool fits = run(kLongestName,
                        [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; });
        const std::uint64_t nameEnd = p;
        if (fits && nameEnd > pos + 1 && p < s.end() && s[p] == ':') {
          const std::uint64_t digits = ++p;
          fits = run(kLongestDigits, [](char ch) { return ch >= '0' && ch <= '9'; });
          if (fits && p > digits && p < s.end() && s[p] == ':') {
            ++p;
            fits =
                run(kLongestType, [](char ch) { return std::isalpha(static_cast<unsigned char>(ch)) != 0; });
          }
          field = fits && p > digits && p < s.end() && s[p] == '>';
        }
      }
    }
    ++pos;
  }
  if (qsoLine) return "Cabrillo";
  return field ? "ADIF" : "";
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// Why a record cannot become a contact, or "" when it can.
std::string Unusable(const AdifRecord& r) {
  QsoTime ignored;
  const bool dateOk = !r.qso_date.empty() && ParseQsoTime(r.qso_date, "0000", &ignored);
  const bool timeOk = !r.time_on.empty() && ParseQsoTime("20000101", r.time_on, &ignored);
  std::vector<std::string> reasons;
  if (r.call.empty()) reasons.push_back("no CALL");
  if (r.qso_date.empty()) {
    reasons.push_back("no QSO_DATE");
  } else if (!dateOk) {
    reasons.push_back("QSO_DATE " + Quoted(r.qso_date) + " is not a date (YYYYMMDD)");
  }
  if (r.time_on.empty()) {
    reasons.push_back("no TIME_ON");
  } else if (!timeOk) {
    reasons.push_back("TIME_ON " + Quoted(r.time_on) + " is not a time of day (HHMM or HHMMSS)");
  }
  std::string joined;
  for (const std::string& reason : reasons) joined += (joined.empty() ? "" : ", ") + reason;
  return joined;
}

// A FREQ that reads as a number but exceeds the host's 32 bits (a microwave QSO) is not a fault of the log.
bool IsNumber(const std::string& s) {
  const size_t point = s.find_first_of(".,");
  const std::string digits = point == std::string::npos ? s : s.substr(0, point) + s.substr(point + 1);
  if (digits.empty()) return false;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

void AssignUpper(std::string* to, const std::string& from) {
  to->assign(from);
  for (char& c : *to) c = Upper(c);
}

// The ADIF records of a log as the host's contacts. The problems come in file order, as a scan of the whole
// text sorted by line would list them: the scanner's own (framing) first, then those of the records, each
// ordered by its line and then by record. A scan notes a record's problems under the line the record starts
// on and meets lines in order, so a problem only has to wait for the problems of its line.
class AdifContacts : public AdifHandler {
 public:
  AdifContacts(const std::string& name, LogSink& sink) : name_(name), sink_(sink) {}

  std::size_t contacts() const { return contacts_; }

  void Record(const AdifRecord& r) override {
    LogContact& c = contact_;
    // A real date and time of day make a contact of any record with a call; the reasons are only looked
    // for in a record that has none.
    if (r.call.empty() || !ParseQsoTime(r.qso_date, r.time_on, &c.time)) {
      Hold({r.number, r.line, Unusable(r)}, /*framing=*/false);
      return;
    }
    if (!r.freq.empty() && r.freq_hz == 0 && !IsNumber(r.freq)) {
      Hold({r.number, r.line,
            "FREQ " + Quoted(r.freq) + " is not a frequency in MHz; the QSO is kept without it"},
           /*framing=*/false);
    }
    AssignUpper(&c.ownCall, r.station_callsign.empty() ? r.operator_call : r.station_callsign);
    AssignUpper(&c.call, r.call);
    c.freqHz = r.freq_hz;
    c.mode = HostMode(r);
    c.band = r.band;
    c.rstSent = r.rst_sent;
    c.rstRcvd = r.rst_rcvd;
    c.exchSent = r.stx;
    c.exchRcvd = r.srx;
    // ADIF has no field for the entity prefix (DXCC is a number, COUNTRY a name), so it always comes from the
    // call, as the host's own look-up would.
    CallPrefixes(c.call, &c.prefix, &c.countryPrefix);
    if (!r.pfx.empty()) AssignUpper(&c.prefix, r.pfx);
    c.sourceLine = r.line;
    c.record = r.number;
    sink_.Contact(c);
    ++contacts_;
  }

  void Problem(const AdifProblem& p) override { Hold(p, /*framing=*/true); }

  void Flush() {
    std::stable_sort(held_.begin(), held_.end(), [](const Held& a, const Held& b) {
      return a.problem.record != b.problem.record ? a.problem.record < b.problem.record
                                                  : a.framing && !b.framing;
    });
    for (const Held& h : held_) {
      const AdifProblem& p = h.problem;
      const std::string where =
          p.record ? "record " + std::to_string(p.record) + " (line " + std::to_string(p.line) + ")"
                   : "line " + std::to_string(p.line);
      sink_.Problem(name_ + ": " + where + ": " + p.what);
    }
    held_.clear();
  }

 private:
  struct Held {
    AdifProblem problem;
    bool framing;
  };

  void Hold(const AdifProblem& p, bool framing) {
    if (!held_.empty() && p.line != held_.front().problem.line) Flush();
    held_.push_back({p, framing});
  }

  const std::string& name_;
  LogSink& sink_;
  LogContact contact_;
  std::size_t contacts_ = 0;
  std::vector<Held> held_;  // the problems of one line
};

class Gather : public LogSink {
 public:
  explicit Gather(LogReadResult* result) : result_(result) {}
  void Contact(const LogContact& contact) override { result_->contacts.push_back(contact); }
  void Problem(const std::string& problem) override { result_->problems.push_back(problem); }

 private:
  LogReadResult* result_;
};

}  // namespace

LogStream::LogStream(const std::string& path, std::size_t piece) : name_(path) {
  // A pipe, a device or a socket opens and then waits for a writer that may never come.
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(zorvant::FsPath(path), ec);
  if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    error_ = path + ": cannot be read: " +
             (std::filesystem::is_directory(status) ? "it is a folder" : "not a regular file");
    return;
  }
  errno = 0;
  std::FILE* file = zorvant::OpenNamed(path, "rb");
  if (!file) {
    error_ = path + ": cannot be read: " + (errno ? std::strerror(errno) : "cannot open");
    return;
  }
  ownsFile_ = true;
  Open(file, piece);
}

LogStream::LogStream(const std::string& name, std::FILE* file, std::size_t piece) : name_(name) {
  Open(file, piece);
}

void LogStream::Open(std::FILE* file, std::size_t piece) {
  file_ = file;
  source_ = std::make_unique<LogSource>(file_, piece);
  TellFormat();
  if (source_->failed()) {
    // A folder may open like a file and fail only on the first read.
    const int number = source_->errorNumber();
    error_ = name_ + ": cannot be read: " + (number ? std::strerror(number) : "read error");
    return;
  }
  opened_ = true;
}

LogStream::LogStream(const std::string& name, std::string_view text, std::size_t piece)
    : name_(name),
      source_(piece ? std::make_unique<LogSource>(text, piece) : std::make_unique<LogSource>(text)),
      opened_(true) {
  TellFormat();
}

LogStream::~LogStream() {
  source_.reset();
  if (ownsFile_) std::fclose(file_);
}

void LogStream::TellFormat() {
  source_->More(0);
  empty_ = source_->end() == 0;
  format_ = logs::TellFormat(*source_);
}

std::size_t LogStream::Read(LogSink& sink) {
  if (!opened_) return 0;
  failed_ = false;
  source_->Rewind();
  source_->More(0);
  std::size_t contacts = 0;
  if (format_ == "Cabrillo") {
    contacts = ReadCabrillo(name_, *source_, sink, layout_);
  } else if (format_ == "ADIF") {
    AdifContacts adif(name_, sink);
    ScanAdif(*source_, /*keepForeign=*/true, adif);
    adif.Flush();
    contacts = adif.contacts();
  } else {
    sink.Problem(name_ + (empty_ ? ": the file is empty" : ": neither an ADIF nor a Cabrillo log"));
  }
  if (source_->failed()) {
    // Not a problem of the log to report among the others: the caller must not take the rest for all of it.
    failed_ = true;
    const int number = source_->errorNumber();
    error_ = name_ + ": read error after " + std::to_string(source_->end()) + " bytes" +
             (number ? std::string(": ") + std::strerror(number) : "");
  }
  return contacts;
}

namespace {

// What the reading thread hands over: contacts, and the problems met among them.
struct Batch {
  std::vector<LogContact> contacts;  // the first `size` are this batch's; the others keep their room
  std::size_t size = 0;
  std::vector<std::pair<std::size_t, std::string>> problems;  // each after as many of the contacts
};

// Batches between the two threads: `ready` ones in file order, and used ones back for refilling, so that
// a contact's texts keep their room from batch to batch.
class BatchQueue {
 public:
  static constexpr std::size_t kContacts = 512;
  static constexpr std::size_t kBatches = 8;

  BatchQueue() {
    for (std::size_t i = 0; i < kBatches; ++i) {
      batches_.push_back(std::make_unique<Batch>());
      free_.push_back(batches_.back().get());
    }
  }

  // The reading thread's side.
  Batch* TakeFree() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !free_.empty(); });
    Batch* batch = free_.back();
    free_.pop_back();
    return batch;
  }
  void PutReady(Batch* batch) {
    std::lock_guard<std::mutex> lock(mutex_);
    ready_.push_back(batch);
    changed_.notify_all();
  }
  void Finish(std::exception_ptr failure) {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    failure_ = failure;
    changed_.notify_all();
  }

  // The taking thread's side: null once everything has been taken.
  Batch* TakeReady() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty() || finished_; });
    if (ready_.empty()) return nullptr;
    Batch* batch = ready_.front();
    ready_.pop_front();
    return batch;
  }
  void PutFree(Batch* batch) {
    batch->size = 0;
    batch->problems.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    free_.push_back(batch);
    changed_.notify_all();
  }
  std::exception_ptr failure() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Batch>> batches_;
  std::vector<Batch*> free_;    // GUARDED_BY(mutex_)
  std::deque<Batch*> ready_;    // GUARDED_BY(mutex_)
  bool finished_ = false;       // GUARDED_BY(mutex_)
  std::exception_ptr failure_;  // GUARDED_BY(mutex_)
};

// The reading thread's sink: fills batches and hands each over when it is full, and the last at the end.
class Batcher : public LogSink {
 public:
  explicit Batcher(BatchQueue& queue) : queue_(queue) {}

  void Contact(const LogContact& contact) override {
    Batch& b = Current();
    if (b.size == b.contacts.size()) b.contacts.emplace_back();
    b.contacts[b.size++] = contact;
    if (b.size == BatchQueue::kContacts) HandOver();
  }
  void Problem(const std::string& problem) override {
    Batch& b = Current();
    b.problems.emplace_back(b.size, problem);
  }
  void HandOver() {
    if (!current_) return;
    queue_.PutReady(current_);
    current_ = nullptr;
  }

 private:
  Batch& Current() {
    if (!current_) current_ = queue_.TakeFree();
    return *current_;
  }

  BatchQueue& queue_;
  Batch* current_ = nullptr;
};

}  // namespace

std::size_t LogStream::ReadAhead(LogSink& sink) {
  BatchQueue queue;
  std::size_t contacts = 0;
  std::thread reader([&] {
    std::exception_ptr failure;
    try {
      Batcher batcher(queue);
      contacts = Read(batcher);
      batcher.HandOver();
    } catch (...) {
      failure = std::current_exception();
    }
    queue.Finish(failure);
  });
  // The sink runs here, so it needs no guard of its own; should it throw, the reading runs to its end
  // first, into batches nobody takes but this loop, which keeps taking them until the end.
  std::exception_ptr sinkFailure;
  while (Batch* batch = queue.TakeReady()) {
    if (!sinkFailure) {
      try {
        auto problem = batch->problems.begin();
        for (std::size_t i = 0; i <= batch->size; ++i) {
          for (; problem != batch->problems.end() && problem->first == i; ++problem)
            sink.Problem(problem->second);
          if (i < batch->size) sink.Contact(batch->contacts[i]);
        }
      } catch (...) {
        sinkFailure = std::current_exception();
      }
    }
    queue.PutFree(batch);
  }
  reader.join();
  if (sinkFailure) std::rethrow_exception(sinkFailure);
  if (std::exception_ptr failure = queue.failure()) std::rethrow_exception(failure);
  return contacts;
}

bool ReadFileText(const std::string& path, std::string* text, std::string* error) {
  // A pipe, a device or a socket opens and then waits for a writer that may never come.
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(zorvant::FsPath(path), ec);
  if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    *error = std::filesystem::is_directory(status) ? "it is a folder" : "not a regular file";
    return false;
  }
  errno = 0;
  std::ifstream in(zorvant::FsPath(path), std::ios::binary);
  if (!in) {
    *error = errno ? std::strerror(errno) : "cannot open";
    return false;
  }
  // A folder opens like a file on POSIX and fails only on the first read, which the library reports by
  // throwing from inside the iterator.
  try {
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception& e) {
    *error = errno ? std::strerror(errno) : e.what();
    return false;
  }
  if (in.bad()) {
    *error = "read error";
    return false;
  }
  return true;
}

LogReadResult ReadLog(LogStream& log) {
  LogReadResult result;
  result.opened = log.opened();
  result.format = log.format();
  if (!log.opened()) {
    result.problems.push_back(log.error());
    return result;
  }
  Gather gather(&result);
  log.Read(gather);
  if (log.failed()) {
    result.failed = true;
    result.problems.push_back(log.error());
  }
  return result;
}

LogReadResult ParseLogText(const std::string& name, const std::string& text) {
  LogStream log(name, text);
  return ReadLog(log);
}

LogReadResult ReadLog(const std::string& path) {
  LogStream log(path);
  return ReadLog(log);
}

}  // namespace logs
