// Reading an operator's contest log, ADIF or Cabrillo, into the contacts the host would hand the plug-in.
// Shared by the host stand-in and the native command-line tool, so it must stay free of Windows headers.
//
// A log is read as a stream: each contact is handed on as soon as it is read, and the memory the reading
// takes does not grow with the log. ReadLog and ParseLogText gather a whole log for callers that want one.
#ifndef ZORVANT_LOGS_LOG_READER_H_
#define ZORVANT_LOGS_LOG_READER_H_

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "logs/adif.h"
#include "logs/log_source.h"

namespace logs {

// One contact with every text exactly as the host puts it in AddData0's argument list (the names are those
// of the arguments). Nothing is filtered to the contest's bands or modes: judging them is the plug-in's part.
struct LogContact {
  std::string ownCall;  // upper case; "" when the log does not say
  std::string call;     // upper case
  QsoTime time{};       // UTC, always a real date and time of day
  unsigned freqHz = 0;  // 0 when the log gives no frequency that fits in 32 bits
  std::string mode;     // "RTTY", "BPSK63", or the log's own text of any other mode
  std::string band;     // the host's spelling ("80m"); "" when the log gives none and the frequency has none
  std::string rstSent;
  std::string rstRcvd;
  std::string exchSent;  // the serials, as written ("007"); "" when the log has none
  std::string exchRcvd;
  std::string prefix;         // the WPX prefix: the log's own when it gives one, else derived from the call
  std::string countryPrefix;  // the entity prefix from the call; "" when unknown
  int sourceLine = 0;         // the line the contact starts on, from 1
  int record = 0;             // ADIF: the record's number, from 1; 0 for Cabrillo
};

// How a Cabrillo QSO line's exchanges are read (see cabrillo_log.h): any contest's, as far as they can be
// told apart, or strictly this contest's RST and serial on each side.
enum class QsoLayout { kAnyContest, kSerials };

// Problems are lines naming the file and the record or line: "log.adi: record 17 (line 20): no QSO_DATE",
// "log.cbr: line 42: time \"18:01\" is not HHMM". A contact without a call or a usable date and time is
// left out; one with an unreadable frequency is kept without it. A missing serial is no problem here: the
// plug-in rejects such a contact itself.
class LogSink {
 public:
  virtual ~LogSink() = default;
  // Lent for the call only: the reader fills the same contact again for the next one.
  virtual void Contact(const LogContact& contact) = 0;
  virtual void Problem(const std::string& problem) = 0;
};

// A log opened for reading. The format is told by the content, not the file name: "START-OF-LOG:" first, or
// QSO: lines, is Cabrillo; <EOH>, <EOR> or any well-formed ADIF field is ADIF. Telling it usually takes the
// first bytes; a log that is neither may take a look at all of them.
class LogStream {
 public:
  // A file; `path` as given labels the problems. Only a regular file is ever opened: a pipe or a device
  // could wait forever for a writer. `piece`: see LogSource.
  explicit LogStream(const std::string& path, std::size_t piece = LogSource::kPiece);
  // A file the caller opened for reading and keeps open while this lives; it is rewound for each pass.
  // `name` labels the problems.
  LogStream(const std::string& name, std::FILE* file, std::size_t piece = LogSource::kPiece);
  // A text the caller keeps alive; `name` labels the problems. With a `piece` size, the text is read as a
  // file would be, that many bytes at a time.
  LogStream(const std::string& name, std::string_view text, std::size_t piece = 0);
  ~LogStream();
  LogStream(const LogStream&) = delete;
  LogStream& operator=(const LogStream&) = delete;

  // False when the file could not be read at all; error() says why ("log.adi: cannot be read: ...").
  bool opened() const { return opened_; }
  // True when the last pass stopped at a read error ("log.adi: read error after 20000 bytes: ...").
  bool failed() const { return failed_; }
  const std::string& error() const { return error_; }
  // "ADIF", "Cabrillo", or "" for a text that is neither.
  const std::string& format() const { return format_; }
  // How the passes that follow read a Cabrillo log's exchanges; any contest's until set.
  void set_layout(QsoLayout layout) { layout_ = layout; }

  // Hands every contact and problem to `sink` in file order, reading the log from its start, and returns
  // the number of contacts. May be called again for another pass. A read error ends the pass early, and
  // what it handed on is then only part of the log: failed() says so and error() says where.
  std::size_t Read(LogSink& sink);
  // Read, with the reading done on a thread of its own while `sink` takes contacts and problems on the
  // calling thread, in file order still: when the sink's work on a contact costs about as much as reading
  // it, a large log takes the time of the slower of the two. A few batches of contacts are in flight.
  std::size_t ReadAhead(LogSink& sink);

 private:
  void Open(std::FILE* file, std::size_t piece);
  void TellFormat();

  std::string name_;
  std::FILE* file_ = nullptr;
  bool ownsFile_ = false;
  std::unique_ptr<LogSource> source_;
  bool opened_ = false;
  bool failed_ = false;
  bool empty_ = false;
  std::string error_;
  std::string format_;
  QsoLayout layout_ = QsoLayout::kAnyContest;
};

struct LogReadResult {
  bool opened = false;               // false: the file could not be read at all
  bool failed = false;               // true: reading stopped at a read error, the last problem says where
  std::string format;                // "ADIF", "Cabrillo", or "" for a text that is neither
  std::vector<LogContact> contacts;  // in file order
  std::vector<std::string> problems;
};

// The whole log at once: its contacts and problems gathered from a LogStream.
LogReadResult ParseLogText(const std::string& name, const std::string& text);
// A file that cannot be read gives opened false and one problem.
LogReadResult ReadLog(const std::string& path);
LogReadResult ReadLog(LogStream& log);

// The whole file as bytes; false with the reason in `error` when it cannot be opened or read, and for
// anything but a regular file (a folder, a pipe, a device), which is never opened.
bool ReadFileText(const std::string& path, std::string* text, std::string* error);

}  // namespace logs

#endif  // ZORVANT_LOGS_LOG_READER_H_
