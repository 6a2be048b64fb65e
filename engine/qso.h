// One logged contact, in the two forms the rest of the program handles: CInfo owns its texts (a record copied
// out of the log, or one made to go in), QsoView borrows them (from the host's arguments on the way in, from
// the log on the way out). The log itself keeps neither: see QsoLog.
#ifndef ZORVANT_ENGINE_QSO_H_
#define ZORVANT_ENGINE_QSO_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/ole_date.h"

namespace zorvant {

struct QsoView {
  std::string_view call;
  std::string_view countryPrefix;
  std::string_view hostText;  // kept for the host's sake; nothing here reads it
  std::string_view band;      // as the host spelled it: "80M" and "80m" are two bands
  std::string_view mode;
  std::string_view rstRcvd;
  std::string_view rstSent;
  std::string_view exchRcvd;
  std::string_view exchSent;
  std::string_view prefix;  // the multiplier unit, as the host derives it
  std::uint32_t freqKHz = 0;
  int tour = 0;      // 0 first tour, 1 second tour
  int excluded = 0;  // 1: earns nothing (a dupe)
  int rejected = 0;  // always 0: rejected contacts are never stored
  int dupe = 0;
  OleDate time;
};

class CInfo {
 public:
  CInfo() = default;
  // A copy of a record the log lends.
  CInfo(const QsoView& v)  // NOLINT(google-explicit-constructor): a view converts as string_view does
      : call(v.call),
        countryPrefix(v.countryPrefix),
        hostText(v.hostText),
        band(v.band),
        mode(v.mode),
        rstRcvd(v.rstRcvd),
        rstSent(v.rstSent),
        exchRcvd(v.exchRcvd),
        exchSent(v.exchSent),
        prefix(v.prefix),
        freqKHz(v.freqKHz),
        tour(v.tour),
        excluded(v.excluded),
        rejected(v.rejected),
        dupe(v.dupe),
        time(v.time) {}

  QsoView View() const {
    return {call,     countryPrefix, hostText, band, mode,     rstRcvd,  rstSent, exchRcvd,
            exchSent, prefix,        freqKHz,  tour, excluded, rejected, dupe,    time};
  }

  std::string call;
  std::string countryPrefix;
  std::string hostText;
  std::string band;
  std::string mode;
  std::string rstRcvd;
  std::string rstSent;
  std::string exchRcvd;
  std::string exchSent;
  std::string prefix;
  std::string spare;  // never filled
  std::uint32_t freqKHz = 0;
  int tour = 0;
  int excluded = 0;
  int rejected = 0;
  int dupe = 0;
  OleDate time;
};

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_QSO_H_
