// Reading an operator's contest log, ADIF or Cabrillo, into the contacts the host would hand the plug-in.
// Shared by the host stand-in and the native command-line tool, so it must stay free of Windows headers.
#ifndef ZORVANT_LOGS_LOG_READER_H_
#define ZORVANT_LOGS_LOG_READER_H_

#include <string>
#include <vector>

#include "logs/adif.h"

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

struct LogReadResult {
  bool opened = false;               // false: the file could not be read at all
  std::string format;                // "ADIF", "Cabrillo", or "" for a text that is neither
  std::vector<LogContact> contacts;  // in file order
  // One line each, naming the file and the record or line: "log.adi: record 17 (line 20): no QSO_DATE",
  // "log.cbr: line 42: time \"18:01\" is not HHMM". A contact without a call or a usable date and time is
  // left out; one with an unreadable frequency is kept without it. A missing serial is no problem here:
  // the plug-in rejects such a contact itself.
  std::vector<std::string> problems;
};

// The format is told by the content, not the file name: "START-OF-LOG:" first, or QSO: lines, is Cabrillo;
// <EOH>, <EOR> or any well-formed ADIF field is ADIF. `name` only labels the problems.
LogReadResult ParseLogText(const std::string& name, const std::string& text);

// The whole file as bytes; false with the reason in `error` when it cannot be opened or read, and for
// anything but a regular file (a folder, a pipe, a device), which is never opened.
bool ReadFileText(const std::string& path, std::string* text, std::string* error);

// ParseLogText on a file's bytes; `path` as given labels the problems. A file that cannot be read gives
// opened false and one problem.
LogReadResult ReadLog(const std::string& path);

}  // namespace logs

#endif  // ZORVANT_LOGS_LOG_READER_H_
