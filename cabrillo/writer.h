// The Cabrillo 3.0 log of the contest: the fixed-column QSO lines and the whole file.
#ifndef ZORVANT_CABRILLO_WRITER_H_
#define ZORVANT_CABRILLO_WRITER_H_

#include <string>
#include <string_view>

#include "engine/export_state.h"
#include "engine/ole_date.h"
#include "platform/platform.h"

namespace zorvant {

// "RY" for "RTTY", "PM" for "BPSK63" (exact letter case), "??" for anything else.
const char* CabrilloModeCode(std::string_view mode);

// One QSO line with its CR LF. Values that fit keep the fixed columns; a longer value is written whole and
// moves the rest of the line to the right. A CR or LF in a value is written as a blank.
std::string CabrilloQsoLine(int freqKHz, std::string_view modeCode, const OleDate& time,
                            std::string_view ownCall, std::string_view rstSent, std::string_view exchSent,
                            std::string_view call, std::string_view rstRcvd, std::string_view exchRcvd);

// Appends the QSO line of a contact, with the export's own callsign, to its QSO lines.
void AddCabrilloQso(CabrilloExport& out, std::string_view call, int freqKHz, std::string_view modeCode,
                    const OleDate& time, std::string_view rstSent, std::string_view exchSent,
                    std::string_view rstRcvd, std::string_view exchRcvd);

// The whole file: the header lines, the QSO lines as stored and "END-OF-LOG:", every line ending in CR LF.
// Only the address and the soapbox span lines, each further line with its own tag; a CR or LF anywhere else
// in a header value is written as a blank.
std::string CabrilloFileText(const CabrilloExport& log, int claimedScore, const std::string& hostId);

// File base and ".cbr", in the current folder.
std::string CabrilloFileName(const CabrilloExport& log);

// Writes the file and returns the text that tells the operator how it went: "File produced: " and the file
// name, or "Could not write file: " and the file name, in which case an earlier file of that name is kept.
// When the confirmed header could not be saved, a second line says "Could not write file: " and the
// settings file's name.
std::string WriteCabrilloFile(Platform& platform, const CabrilloExport& log, int claimedScore,
                              const std::string& hostId);

}  // namespace zorvant

#endif  // ZORVANT_CABRILLO_WRITER_H_
