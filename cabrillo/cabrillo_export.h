// What the Cabrillo file is made of: the header fields the operator confirms, the file's name and the QSO
// lines of the export step.
#ifndef ZORVANT_CABRILLO_CABRILLO_EXPORT_H_
#define ZORVANT_CABRILLO_CABRILLO_EXPORT_H_

#include <string>
#include <vector>

namespace zorvant {

// The header fields, one per control of the header dialog. The address and soapbox hold their continuation
// lines in file form (each further line introduced by CR LF and its own tag) once the header is confirmed.
struct CabrilloFields {
  std::string callsign;
  std::string name;
  std::string address;
  std::string claimed;
  std::string contest;  // shown in the dialog only: the file's CONTEST line is fixed
  std::string email;
  std::string club;
  std::string soapbox;
  std::string operators;
  std::string categoryOperator;
  std::string categoryAssisted;
  std::string categoryStation;  // shown in the dialog only: the file's CATEGORY-STATION line is fixed
  std::string categoryBand;
  std::string categoryMode;
  std::string categoryPower;
  std::string categoryTransmitter;
  std::string addressCity;
  std::string addressState;
  std::string addressPostalCode;
  std::string addressCountry;
  std::string categoryOverlay;
  std::string location;
};

struct CabrilloExport : CabrilloFields {
  std::string fileBase;               // file name without folder and extension, from the host's callsign
  std::vector<std::string> qsoLines;  // each a whole QSO line ending in CR LF
};

}  // namespace zorvant

#endif  // ZORVANT_CABRILLO_CABRILLO_EXPORT_H_
