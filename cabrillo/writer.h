// The Cabrillo 3.0 log of the contest: the fixed-column QSO lines and the whole file.
#ifndef ZORVANT_CABRILLO_WRITER_H_
#define ZORVANT_CABRILLO_WRITER_H_

#include <string>

#include "cabrillo/cabrillo_export.h"
#include "engine/ole_date.h"
#include "platform/platform.h"

namespace zorvant {

// "RY" for "RTTY", "PM" for "BPSK63" (exact letter case), "??" for anything else.
const char* CabrilloModeCode(const std::string& mode);

// One QSO line with its CR LF. Values that fit keep the fixed columns; a longer value is written whole and
// moves the rest of the line to the right. A CR or LF in a value is written as a blank.
std::string CabrilloQsoLine(int freqKHz, const std::string& modeCode, const OleDate& time,
                            const std::string& ownCall, const std::string& rstSent,
                            const std::string& exchSent, const std::string& call, const std::string& rstRcvd,
                            const std::string& exchRcvd);

// Appends the QSO line of a contact, with the export's own callsign, to its QSO lines.
void AddCabrilloQso(CabrilloExport& out, const std::string& call, int freqKHz, const std::string& modeCode,
                    const OleDate& time, const std::string& rstSent, const std::string& exchSent,
                    const std::string& rstRcvd, const std::string& exchRcvd);

// The whole file: the header lines, the QSO lines as stored and "END-OF-LOG:", every line ending in CR LF.
// Only the address and the soapbox span lines, each further line with its own tag; a CR or LF anywhere else
// in a header value is written as a blank.
std::string CabrilloFileText(const CabrilloExport& log, int claimedScore, const std::string& hostId);

// File base and ".cbr", in the current folder.
std::string CabrilloFileName(const CabrilloExport& log);

// Writes the file and returns the text that tells the operator how it went: "File produced: " and the file
// name, or "Could not write file: " and the file name, in which case an earlier file of that name is kept.
std::string WriteCabrilloFile(Platform& platform, const CabrilloExport& log, int claimedScore,
                              const std::string& hostId);

}  // namespace zorvant

#endif  // ZORVANT_CABRILLO_WRITER_H_
