// Reading the QSO: lines of a Cabrillo 3.0 log (the contest-log submission format) as the host's contacts.
// Portable, like the rest of the log reader.
#ifndef ZORVANT_LOGS_CABRILLO_LOG_H_
#define ZORVANT_LOGS_CABRILLO_LOG_H_

#include <cstddef>
#include <string>

#include "logs/log_reader.h"

namespace logs {

// One "QSO:" line, tag included: frequency, mode, date, time, own call, sent exchange, worked call, received
// exchange and an optional transmitter ID, separated by any run of blanks.
// - Frequency: kHz ("3580", "14031.5"). Above 30 MHz a log may write the band instead; the designators
//   "50", "70", "144", "222", "432", "902", "1.2G", "2.3G" and "3.4G" are read as that band at its usual
//   frequency (no band holds 50 kHz, so the two readings cannot be confused), "5.7G" to "241G" and "LIGHT"
//   as the band only, since their frequencies do not fit the host's 32 bits.
// - Mode: RY is "RTTY", PM "BPSK63", PH "SSB"; any other code is kept as written (CW, FM, DG).
// - Exchanges, as `layout` has them:
//   kAnyContest: other contests send more or fewer fields than an RST and a serial. When both sides have
//   the same number of fields (with or without a trailing transmitter ID, 0 or 1) the worked call stands
//   in the middle; otherwise it is the token most like a callsign, nearest the middle. On each side the
//   first field is the RST when it looks like one (59, 599, 339), and the rest, joined by single blanks,
//   is the exchange.
//   kSerials: this contest's own, on each side an RST and a serial (or a word where the serial belongs),
//   either of which may be missing, then perhaps a transmitter ID. The worked call is the field that
//   leaves both sides so; a line that fits no such reading is refused, with its text, and not read with
//   another field as the call.
//   In both, a lone 0 after the received RST is the transmitter ID (no serial is 0), and so is a lone 1
//   that stands past the received serial's column (measured by the sent side's): loggers that write fixed
//   columns leave a missing serial blank.
// Returns false, with the reason in `problem`, when the line cannot be read as a contact. A frequency that
// is neither kHz nor a band leaves the contact usable without a frequency: true, and `problem` says so.
// Sets neither sourceLine nor record.
bool ParseCabrilloQso(const std::string& line, LogContact* contact, std::string* problem,
                      QsoLayout layout = QsoLayout::kAnyContest);

// The longest line read: a QSO: line is about 80 characters, a header line seldom more. A longer line is
// reported and skipped without being kept, so that a file of megabytes without a line end costs no more
// memory than any other.
constexpr std::size_t kLongestCabrilloLine = 4096;

// Every QSO: line of a Cabrillo log to `sink` (problems labelled with `name`), read a line at a time. Other
// tags are the header and are skipped, X-QSO: lines too (they are excluded from scoring by definition);
// reading ends at END-OF-LOG:. A line without a tag, or longer than kLongestCabrilloLine, is reported.
// Returns the number of contacts.
std::size_t ReadCabrillo(const std::string& name, LogSource& source, LogSink& sink, QsoLayout layout);

// ReadCabrillo of a whole text into `result`, any contest's layout.
void ParseCabrillo(const std::string& name, const std::string& text, LogReadResult* result);

}  // namespace logs

#endif  // ZORVANT_LOGS_CABRILLO_LOG_H_
