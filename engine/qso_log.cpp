#include "engine/qso_log.h"

namespace zorvant {

// Texts from the host are C strings, so a NUL byte can never occur inside one and separates fields safely.
std::string QsoLog::CallKey(const std::string& call, const std::string& band, const std::string& mode,
                            int tour) {
  std::string key;
  key.reserve(call.size() + band.size() + mode.size() + 4);
  key.append(call).append(1, '\0').append(band).append(1, '\0').append(mode).append(1, '\0');
  key.append(1, static_cast<char>('0' + tour));
  return key;
}

std::string QsoLog::PrefixKey(const std::string& band, const std::string& prefix, int tour) {
  std::string key;
  key.reserve(band.size() + prefix.size() + 3);
  key.append(band).append(1, '\0').append(prefix).append(1, '\0');
  key.append(1, static_cast<char>('0' + tour));
  return key;
}

void QsoLog::Drop(Counts& counts, const std::string& key) {
  auto it = counts.find(key);
  if (it != counts.end() && --it->second == 0) counts.erase(it);
}

void QsoLog::Append(const CInfo& r) {
  records_.push_back(r);
  ++byCall_[CallKey(r.call, r.band, r.mode, r.tour)];
  ++byPrefix_[PrefixKey(r.band, r.prefix, r.tour)];
}

void QsoLog::RemoveAt(std::size_t i) {
  if (i >= records_.size()) return;
  const CInfo& r = records_[i];
  Drop(byCall_, CallKey(r.call, r.band, r.mode, r.tour));
  Drop(byPrefix_, PrefixKey(r.band, r.prefix, r.tour));
  records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i));
}

void QsoLog::Clear() {
  records_.clear();
  byCall_.clear();
  byPrefix_.clear();
}

bool QsoLog::HasCall(const std::string& call, const std::string& band, const std::string& mode,
                     int tour) const {
  return byCall_.count(CallKey(call, band, mode, tour)) != 0;
}

bool QsoLog::HasPrefix(const std::string& band, const std::string& prefix, int tour) const {
  return byPrefix_.count(PrefixKey(band, prefix, tour)) != 0;
}

long QsoLog::Find(const std::string& call, const std::string& band, const std::string& mode,
                  const OleDate& time) const {
  for (std::size_t i = 0; i < records_.size(); ++i) {
    const CInfo& r = records_[i];
    if (r.call == call && r.band == band && r.mode == mode && SameTime(r.time, time)) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

}  // namespace zorvant
