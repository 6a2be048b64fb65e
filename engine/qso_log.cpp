#include "engine/qso_log.h"

#include <algorithm>

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

void QsoLog::Append(const CInfo& record) {
  records_.push_back(record);
  const CInfo& r = records_.back();  // `record` may have been an element of the log, moved by the growth
  stamps_.push_back(nextStamp_);
  stampsOfCall_[r.call].push_back(nextStamp_);
  ++nextStamp_;
  ++byCall_[CallKey(r.call, r.band, r.mode, r.tour)];
  ++byPrefix_[PrefixKey(r.band, r.prefix, r.tour)];
}

void QsoLog::RemoveAt(std::size_t i) {
  if (i >= records_.size()) return;
  const CInfo& r = records_[i];
  Drop(byCall_, CallKey(r.call, r.band, r.mode, r.tour));
  Drop(byPrefix_, PrefixKey(r.band, r.prefix, r.tour));
  const auto ofCall = stampsOfCall_.find(r.call);
  if (ofCall != stampsOfCall_.end()) {
    std::vector<std::uint64_t>& stamps = ofCall->second;
    stamps.erase(std::lower_bound(stamps.begin(), stamps.end(), stamps_[i]));
    if (stamps.empty()) stampsOfCall_.erase(ofCall);
  }
  stamps_.erase(stamps_.begin() + static_cast<std::ptrdiff_t>(i));
  records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i));
}

void QsoLog::Clear() {
  records_.clear();
  byCall_.clear();
  byPrefix_.clear();
  stamps_.clear();
  stampsOfCall_.clear();
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
  long found = -1;
  ForEachOfCall(call, [&](std::size_t i, const CInfo& r) {
    if (r.band == band && r.mode == mode && SameTime(r.time, time)) found = static_cast<long>(i);
    return found < 0;
  });
  return found;
}

}  // namespace zorvant
