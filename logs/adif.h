// Reading ADIF logs (the amateur-radio exchange format) into the few fields the host feeds the plug-in.
// Shared by the host stand-in and the native command-line tool, so it must stay free of Windows headers.
#ifndef ZORVANT_LOGS_ADIF_H_
#define ZORVANT_LOGS_ADIF_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "logs/log_source.h"

namespace logs {

// One QSO. Texts are the field values with surrounding blanks removed; a field the record lacks is empty.
struct AdifRecord {
  std::string call;
  std::string qso_date;  // YYYYMMDD
  std::string time_on;   // HHMM or HHMMSS
  std::string band;      // as written; filled from the frequency when the record has no BAND
  std::string freq;      // MHz, as written
  unsigned freq_hz = 0;  // 0 when the frequency is missing, unreadable or above 4294 MHz
  std::string mode;
  std::string submode;
  std::string rst_sent;
  std::string rst_rcvd;
  std::string stx;  // serial sent: STX_STRING when present, else STX
  std::string srx;  // serial received, likewise
  std::string station_callsign;
  std::string operator_call;
  std::string pfx;  // the WPX prefix, when the log gives it
  int number = 0;   // the record's place in the file, from 1
  int line = 0;     // the line its first field is on, from 1
};

// Values longer than these are no real log's: a declared length beyond them is a malformed record. The
// fields listed in AdifRecord are short texts (calls, dates, serials); the others (comments, notes) may
// run to a few lines, and a scan keeps no more than this of them buffered.
constexpr std::uint64_t kLongestKeptValue = 255;
constexpr std::uint64_t kLongestValue = std::uint64_t{1} << 20;
// Nor has any real log a data specifier whose parts run longer than these: a name (the longest defined is
// about 30 characters), a length's digits, or a type. One that does is a malformed tag, read past like any
// other, so that a '<' followed by megabytes of letters or digits is never held to see where it ends.
constexpr std::size_t kLongestName = 64;
constexpr std::size_t kLongestDigits = 32;
constexpr std::size_t kLongestType = 16;

// Parses a whole file's text. Field names may be in any letter case and need no blanks between them; a value
// is taken by its declared length, so it may hold '<' or blanks. Tolerated: a missing header, a preamble
// without <EOH>, a last record without <EOR>. Dropped: header fields, records without any field listed in
// AdifRecord, and malformed records: one with a declared length past the longest value its field may have
// (above), or past the end of the text.
std::vector<AdifRecord> ParseAdif(const std::string& text);

// Something wrong with the framing of an ADIF text.
struct AdifProblem {
  int record = 0;  // the record it is in; 0 between records
  int line = 0;    // the line that record starts on, or the problem's own line between records
  std::string what;
};

// ParseAdif for a reader that must account for every record: a record is any run of fields ended by <EOR>
// (or by the end of the text), even one without a field listed in AdifRecord, and records are numbered in
// file order. What is wrong with the framing is appended to `problems`: a tag that is not well formed (past
// the preamble), a last record without <EOR>, and each malformed record, once. A malformed record is left
// out, and the scan goes on from its bad tag, as though its value were empty, to its <EOR>: the records
// after it are read as usual.
std::vector<AdifRecord> ScanAdif(const std::string& text, std::vector<AdifProblem>* problems);

// What a scan finds, handed on in file order as it is found. A record is lent for the call only.
class AdifHandler {
 public:
  virtual ~AdifHandler() = default;
  virtual void Record(const AdifRecord& record) = 0;
  virtual void Problem(const AdifProblem& problem) = 0;
};

// The scan of ScanAdif (`keepForeign` true) or ParseAdif (false) over a log read a piece at a time: the
// memory it takes does not grow with the log; a value buffers at most kLongestValue bytes. When the source
// fails, the scan ends at the failure, and the record it cut is neither handed on nor reported.
void ScanAdif(LogSource& source, bool keepForeign, AdifHandler& handler);

// False when the file cannot be read or is not a regular file.
bool ReadAdifFile(const std::string& path, std::vector<AdifRecord>* records);

// "14.0745" -> 14074500. Digits past the Hz are cut off, a comma counts as the decimal point; 0 for anything
// unreadable or too large for 32 bits.
unsigned MhzToHz(std::string_view mhz);

// The amateur band holding the frequency, in the host's spelling ("80m", "70cm"); "" outside every band.
std::string BandOfHz(unsigned hz);
const char* BandNameOfHz(unsigned hz);  // the same, without making a string

// The mode text the host shows for the record: PSK with a PSK63 submode, and the older spellings of it, are
// "BPSK63"; any other mode is MODE as written.
std::string HostMode(const AdifRecord& record);

struct QsoTime {
  int year, month, day, hour, minute, second;
};

// From QSO_DATE and TIME_ON; false when either is not a real date or time of day.
bool ParseQsoTime(std::string_view qso_date, std::string_view time_on, QsoTime* out);

}  // namespace logs

#endif  // ZORVANT_LOGS_ADIF_H_
