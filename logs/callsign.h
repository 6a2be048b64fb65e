// What the host derives from a callsign before it hands a QSO to the plug-in: the prefix (the multiplier
// unit) and the country (entity) prefix. Portable: the native command-line tool uses it too.
#ifndef ZORVANT_LOGS_CALLSIGN_H_
#define ZORVANT_LOGS_CALLSIGN_H_

#include <string>

namespace logs {

// Letters and digits up to the call's last digit: UA9ABC -> UA9, 2E0ABC -> 2E0, N5KWN -> N5. A call without
// a digit gets a 0 after its first two characters. A portable designator decides instead: DL/UA9ABC -> DL0,
// F/G4ABC/P -> F0, K1ABC/VE3 -> VE3, and a lone digit replaces the call area: W8ABC/2 -> W2. Designators of
// operating conditions (/P, /M, /MM, /QRP, ...) are ignored. Letter case of the input does not matter; the
// result is upper case, "" for an empty call.
std::string CallPrefix(const std::string& call);

// The entity's usual prefix ("UA", "UA9", "UR", "G", "K", ...) from a small table, looked up by the portable
// designator when there is one. Russian calls are split by call area: 2 is "UA2", 8, 9 and 0 are "UA9".
// "" when the table does not know the call, and for maritime and aeronautical mobiles, which have no entity.
std::string CountryPrefix(const std::string& call);

// Both at once, into texts the caller reuses from call to call.
void CallPrefixes(const std::string& call, std::string* prefix, std::string* countryPrefix);

}  // namespace logs

#endif  // ZORVANT_LOGS_CALLSIGN_H_
