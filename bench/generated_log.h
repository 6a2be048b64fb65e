// The logs bench/make_log.py writes, as the benchmarks of reading and scoring a whole log use them: found in
// the folder named by ZORVANT_BENCH_LOGS as log-N.adi (scripts/bench.sh makes them), and held in memory as
// the host's argument lists, so that a benchmark of the engine times the engine alone.
#ifndef ZORVANT_BENCH_GENERATED_LOG_H_
#define ZORVANT_BENCH_GENERATED_LOG_H_

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/contest.h"
#include "logs/log_reader.h"

namespace zorvant {
namespace bench {

// The generated log of `contacts` contacts, or "" when there is none.
inline std::string GeneratedLog(long contacts) {
  const char* folder = std::getenv("ZORVANT_BENCH_LOGS");
  if (!folder) return "";
  const std::string path = std::string(folder) + "/log-" + std::to_string(contacts) + ".adi";
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) ? path : "";
}

// A log's contacts as the host passes them: one block of texts, and per contact where its texts start.
class HostLog {
 public:
  explicit HostLog(const std::string& path) {
    struct Packer : logs::LogSink {
      HostLog* log;
      void Contact(const logs::LogContact& c) override { log->Add(c); }
      void Problem(const std::string&) override {}
    } packer;
    packer.log = this;
    logs::LogStream(path).Read(packer);
    for (Contact& c : contacts_) c.text = texts_.data() + c.offset;  // the block no longer moves
  }

  std::size_t size() const { return contacts_.size(); }
  QsoArgs Args(std::size_t i) const {
    const Contact& c = contacts_[i];
    QsoArgs q;
    const char** fields[] = {&q.ownCall,  &q.call,     &q.mode,          &q.rstSent, &q.rstRcvd,
                             &q.exchSent, &q.exchRcvd, &q.countryPrefix, &q.prefix,  &q.band};
    const char* text = c.text;
    for (const char** field : fields) {
      *field = text;
      text += std::char_traits<char>::length(text) + 1;
    }
    q.hostText = "";
    q.time = &c.time;
    q.freqHz = c.freqHz;
    return q;
  }
  ResetArgs Reset() const {
    ResetArgs r;
    r.ownCall = "UA3XYZ";
    r.ownCountryPrefix = "UA";
    r.start = &start_;
    r.end = &start_;
    return r;
  }

 private:
  struct Contact {
    std::size_t offset;
    const char* text;
    OleDate time;
    unsigned freqHz;
  };

  void Add(const logs::LogContact& c) {
    contacts_.push_back(
        {texts_.size(), nullptr,
         OleDate::FromParts(c.time.year, c.time.month, c.time.day, c.time.hour, c.time.minute, c.time.second),
         c.freqHz});
    for (const std::string* text : {&c.ownCall, &c.call, &c.mode, &c.rstSent, &c.rstRcvd, &c.exchSent,
                                    &c.exchRcvd, &c.countryPrefix, &c.prefix, &c.band}) {
      texts_.append(*text).push_back('\0');
    }
  }

  std::string texts_;
  std::vector<Contact> contacts_;
  OleDate start_ = OleDate::FromParts(2026, 3, 14, 14, 0);
};

// A fresh current folder for the files a reset writes, removed again with them.
class ScratchFolder {
 public:
  ScratchFolder() : previous_(std::filesystem::current_path()) {
    folder_ = std::filesystem::temp_directory_path() / ("zorvant-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_ / "Plugins");
    std::filesystem::current_path(folder_);
  }
  ~ScratchFolder() {
    std::error_code error;
    std::filesystem::current_path(previous_, error);
    std::filesystem::remove_all(folder_, error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

 private:
  std::filesystem::path previous_;
  std::filesystem::path folder_;
};

}  // namespace bench
}  // namespace zorvant

#endif  // ZORVANT_BENCH_GENERATED_LOG_H_
