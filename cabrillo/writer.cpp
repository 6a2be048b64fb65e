#include "cabrillo/writer.h"

#include <utility>

#include "engine/contest.h"
#include "engine/file_text.h"
#include "engine/string_printf.h"

namespace zorvant {
namespace {

// A value that has one line of the file to itself: a line break in it would start a line of its own, a fake
// QSO line or an early END-OF-LOG, so each CR or LF becomes a blank.
std::string OneLine(std::string_view text) {
  std::string value(text);
  for (char& c : value) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return value;
}

// A multi-line value in file form: each further line is introduced by CR LF and the tag. A line break that
// came any other way (a bare CR or LF, or a line without the tag) starts a tagged line all the same.
std::string TaggedLines(const std::string& value, const std::string& tag) {
  std::string out;
  for (std::size_t pos = 0;;) {
    const std::size_t end = value.find_first_of("\r\n", pos);
    const std::string line = value.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (pos > 0) {
      out += "\r\n";
      if (line.compare(0, tag.size(), tag) != 0) out += tag;
    }
    out += line;
    if (end == std::string::npos) return out;
    pos = end + (value.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
}

}  // namespace

const char* CabrilloModeCode(std::string_view mode) {
  if (mode == "RTTY") return "RY";
  if (mode == "BPSK63") return "PM";
  return "??";
}

std::string CabrilloQsoLine(int freqKHz, std::string_view modeCode, const OleDate& time,
                            std::string_view ownCall, std::string_view rstSent, std::string_view exchSent,
                            std::string_view call, std::string_view rstRcvd, std::string_view exchRcvd) {
  return StringPrintf("QSO: %5i %2s %s %-13s %-3s %-6s %-13s %-3s %s\r\n", freqKHz, OneLine(modeCode).c_str(),
                      Format(time, "%Y-%m-%d %H%M").c_str(), OneLine(ownCall).c_str(),
                      OneLine(rstSent).c_str(), OneLine(exchSent).c_str(), OneLine(call).c_str(),
                      OneLine(rstRcvd).c_str(), OneLine(exchRcvd).c_str());
}

void AddCabrilloQso(CabrilloExport& out, std::string_view call, int freqKHz, std::string_view modeCode,
                    const OleDate& time, std::string_view rstSent, std::string_view exchSent,
                    std::string_view rstRcvd, std::string_view exchRcvd) {
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
      {"ADDRESS-STATE-PROVINCE", &log.addressState},
      {"ADDRESS-POSTALCODE", &log.addressPostalCode},
      {"ADDRESS-COUNTRY", &log.addressCountry},
      {"OPERATORS", &log.operators},
      {"EMAIL", &log.email},
      {"SOAPBOX", &log.soapbox},
  };
  std::string text = "START-OF-LOG: 3.0\r\n";
  for (const auto& [tag, value] : header) {
    const std::string prefix = std::string(tag) + ": ";
    const bool multiLine = value == &log.address || value == &log.soapbox;
    text.append(prefix).append(multiLine ? TaggedLines(*value, prefix) : OneLine(*value)).append("\r\n");
  }
  for (const std::string& line : log.qsoLines) text.append(line);
  return text.append("END-OF-LOG:\r\n");
}

std::string CabrilloFileName(const CabrilloExport& log) { return log.fileBase + ".cbr"; }

std::string WriteCabrilloFile(Platform& platform, const CabrilloExport& log, int claimedScore,
                              const std::string& hostId) {
  const std::string name = CabrilloFileName(log);
  const bool written = RewriteFile(platform, name, CabrilloFileText(log, claimedScore, hostId));
  std::string message = (written ? "File produced: " : "Could not write file: ") + name;
  if (log.headerNotSaved) message += std::string("\nCould not write file: ") + kSettingsFile;
  return message;
}

}  // namespace zorvant
