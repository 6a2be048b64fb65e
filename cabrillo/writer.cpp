#include "cabrillo/writer.h"

#include <utility>

#include "engine/file_text.h"
#include "engine/string_printf.h"

namespace zorvant {

const char* CabrilloModeCode(const std::string& mode) {
  if (mode == "RTTY") return "RY";
  if (mode == "BPSK63") return "PM";
  return "??";
}

std::string CabrilloQsoLine(int freqKHz, const std::string& modeCode, const OleDate& time,
                            const std::string& ownCall, const std::string& rstSent,
                            const std::string& exchSent, const std::string& call, const std::string& rstRcvd,
                            const std::string& exchRcvd) {
  return StringPrintf("QSO: %5i %2s %s %-13s %-3s %-6s %-13s %-3s %s\r\n", freqKHz, modeCode.c_str(),
                      Format(time, "%Y-%m-%d %H%M").c_str(), ownCall.c_str(), rstSent.c_str(),
                      exchSent.c_str(), call.c_str(), rstRcvd.c_str(), exchRcvd.c_str());
}

void AddCabrilloQso(CabrilloExport& out, const std::string& call, int freqKHz, const std::string& modeCode,
                    const OleDate& time, const std::string& rstSent, const std::string& exchSent,
                    const std::string& rstRcvd, const std::string& exchRcvd) {
  out.qsoLines.push_back(
      CabrilloQsoLine(freqKHz, modeCode, time, out.callsign, rstSent, exchSent, call, rstRcvd, exchRcvd));
}

std::string CabrilloFileText(const CabrilloExport& log, int claimedScore, const std::string& hostId) {
  const std::string claimed = std::to_string(claimedScore);
  const std::string createdBy = "Tarq " + hostId;
  // The contest and the station category are fixed for this contest, whatever the header dialog held.
  const std::string contest = "ZORVANT";
  const std::string station = "FIXED ";
  const std::pair<const char*, const std::string*> header[] = {
      {"CALLSIGN", &log.callsign},
      {"CONTEST", &contest},
      {"CATEGORY-OPERATOR", &log.categoryOperator},
      {"CATEGORY-ASSISTED", &log.categoryAssisted},
      {"CATEGORY-BAND", &log.categoryBand},
      {"CATEGORY-MODE", &log.categoryMode},
      {"CATEGORY-POWER", &log.categoryPower},
      {"CATEGORY-STATION", &station},
      {"CATEGORY-TRANSMITTER", &log.categoryTransmitter},
      {"CATEGORY-OVERLAY", &log.categoryOverlay},
      {"CLAIMED-SCORE", &claimed},
      {"CLUB", &log.club},
      {"LOCATION", &log.location},
      {"CREATED-BY", &createdBy},
      {"NAME", &log.name},
      {"ADDRESS", &log.address},
      {"ADDRESS-CITY", &log.addressCity},
      {"ADDRESS-STATE", &log.addressState},
      {"ADDRESS-POSTALCODE", &log.addressPostalCode},
      {"ADDRESS-COUNTRY", &log.addressCountry},
      {"OPERATORS", &log.operators},
      {"EMAIL", &log.email},
      {"SOAPBOX", &log.soapbox},
  };
  std::string text = "START-OF-LOG: 3.0\r\n";
  for (const auto& [tag, value] : header) {
    text.append(tag).append(": ").append(*value).append("\r\n");
  }
  for (const std::string& line : log.qsoLines) text.append(line);
  return text.append("END-OF-LOG:\r\n");
}

std::string CabrilloFileName(const CabrilloExport& log) { return log.fileBase + ".cbr"; }

std::string WriteCabrilloFile(Platform& platform, const CabrilloExport& log, int claimedScore,
                              const std::string& hostId) {
  const std::string name = CabrilloFileName(log);
  const bool written = RewriteFile(platform, name, CabrilloFileText(log, claimedScore, hostId));
  return (written ? "File produced: " : "Could not write file: ") + name;
}

}  // namespace zorvant
