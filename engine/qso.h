// One logged contact as the engine keeps it.
#ifndef ZORVANT_ENGINE_QSO_H_
#define ZORVANT_ENGINE_QSO_H_

#include <cstdint>
#include <string>

#include "engine/ole_date.h"

namespace zorvant {

class CInfo {
 public:
  std::string call;
  std::string countryPrefix;
  std::string hostText;  // kept for the host's sake; nothing here reads it
  std::string band;
  std::string mode;
  std::string rstRcvd;
  std::string rstSent;
  std::string exchRcvd;
  std::string exchSent;
  std::string prefix;  // the multiplier unit, as the host derives it
  std::string spare;   // never filled
  std::uint32_t freqKHz = 0;
  int tour = 0;      // 0 first tour, 1 second tour
  int excluded = 0;  // 1: earns nothing (a dupe)
  int rejected = 0;  // always 0: rejected contacts are never stored
  int dupe = 0;
  OleDate time;
};

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_QSO_H_
