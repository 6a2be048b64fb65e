#include "engine/qso_log.h"

#include <stdexcept>

namespace zorvant {
namespace {

std::uint8_t Bit(int flag, std::uint8_t bit) { return flag != 0 ? bit : 0; }

// A status the host's date class does not define behaves as invalid everywhere (formatting, hour, equality),
// so it is kept as invalid.
std::uint8_t StatusOf(const OleDate& t) {
  return static_cast<std::uint8_t>(
      t.status == OleDate::kValid || t.status == OleDate::kNull ? t.status : OleDate::kInvalid);
}

}  // namespace

std::uint64_t QsoLog::CallKey(TextId call, std::uint8_t band, std::uint8_t mode, int tour) {
  return std::uint64_t{call} << 24 | std::uint64_t{band} << 16 | std::uint64_t{mode} << 8 |
         static_cast<std::uint8_t>(tour);
}

std::uint64_t QsoLog::PrefixKey(TextId prefix, std::uint8_t band, int tour) {
  return std::uint64_t{prefix} << 16 | std::uint64_t{band} << 8 | static_cast<std::uint8_t>(tour);
}

bool QsoLog::SmallId(const TextPool& pool, std::string_view text, std::uint8_t* id) {
  TextId found;
  if (!pool.Find(text, &found)) return false;
  *id = static_cast<std::uint8_t>(found);
  return true;
}

QsoView QsoLog::ViewOf(const Record& r) const {
  QsoView v;
  v.call = calls_[r.call];
  v.countryPrefix = texts_[r.countryPrefix];
  v.hostText = texts_[r.hostText];
  v.band = bands_[r.band];
  v.mode = modes_[r.mode];
  v.rstRcvd = texts_[r.rstRcvd];
  v.rstSent = texts_[r.rstSent];
  v.exchRcvd = texts_[r.exchRcvd];
  v.exchSent = texts_[r.exchSent];
  v.prefix = prefixes_[r.prefix];
  v.freqKHz = r.freqKHz;
  v.tour = r.tour;
  v.excluded = r.excluded() ? 1 : 0;
  v.rejected = (r.bits & Record::kRejected) != 0 ? 1 : 0;
  v.dupe = r.dupe() ? 1 : 0;
  v.time = r.Time();
  return v;
}

std::vector<CInfo> QsoLog::records() const {
  std::vector<CInfo> copies;
  copies.reserve(records_.size());
  for (const Record& r : records_) copies.emplace_back(ViewOf(r));
  return copies;
}

bool QsoLog::Store(const QsoView& v, bool judge, std::string_view ownCall) {
  const TextId band = bands_.Intern(v.band);
  const TextId mode = modes_.Intern(v.mode);
  if (band > 0xff || mode > 0xff) throw std::length_error("QsoLog: band or mode outside the contest tables");
  Record r;
  r.stamp = nextStamp_++;
  r.time = v.time.value;
  r.band = static_cast<std::uint8_t>(band);
  r.mode = static_cast<std::uint8_t>(mode);
  r.tour = static_cast<std::int8_t>(v.tour);
  r.call = calls_.Intern(v.call);
  // In a large log the call's chain and dupe count are far apart in memory: fetch both while the texts,
  // which are few and near, are looked up.
  if (r.call >= lastOfCall_.size()) lastOfCall_.resize(r.call + std::size_t{1}, kNone);
  const std::uint64_t callKey = CallKey(r.call, r.band, r.mode, r.tour);
  byCall_.Prefetch(callKey);
  Prefetch(&lastOfCall_[r.call]);
  r.prefix = prefixes_.Intern(v.prefix);
  r.countryPrefix = texts_.Intern(v.countryPrefix);
  r.hostText = texts_.Intern(v.hostText);
  r.rstSent = texts_.Intern(v.rstSent);
  r.rstRcvd = texts_.Intern(v.rstRcvd);
  r.exchSent = texts_.Intern(v.exchSent);
  r.exchRcvd = texts_.Intern(v.exchRcvd);
  r.freqKHz = v.freqKHz;
  r.bits = static_cast<std::uint8_t>(Bit(v.excluded, Record::kExcluded) | Bit(v.dupe, Record::kDupe) |
                                     Bit(v.rejected, Record::kRejected) |
                                     StatusOf(v.time) << Record::kStatusShift);
  r.earlierCall = lastOfCall_[r.call];
  lastOfCall_[r.call] = r.stamp;
  const bool dupe = byCall_.Add(callKey) != 0;
  if (judge) {
    r.bits &= static_cast<std::uint8_t>(~(Record::kExcluded | Record::kDupe));
    if (dupe) {
      r.bits |= Record::kExcluded | Record::kDupe;
      dupeOwnCalls_.emplace_back(r.stamp, texts_.Intern(ownCall));  // stamps grow: still in order
    }
  }
  byPrefix_.Add(PrefixKey(r.prefix, r.band, r.tour));
  records_.push_back(r);
  return judge && dupe;
}

void QsoLog::RemoveAt(std::size_t i) {
  if (i >= records_.size()) return;
  const Record r = records_[i];
  byCall_.Drop(CallKey(r.call, r.band, r.mode, r.tour));
  byPrefix_.Drop(PrefixKey(r.prefix, r.band, r.tour));
  // Unlink from the call's chain: the record after it in the chain (the next later one with the same call),
  // if any, points past it.
  if (lastOfCall_[r.call] == r.stamp) {
    lastOfCall_[r.call] = r.earlierCall;
  } else {
    std::size_t later = IndexOfStamp(lastOfCall_[r.call]);
    while (records_[later].earlierCall != r.stamp) later = IndexOfStamp(records_[later].earlierCall);
    records_[later].earlierCall = r.earlierCall;
  }
  records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i));
  if (r.dupe()) {
    const auto own = DupeOwnCallOf(r.stamp);
    if (own != dupeOwnCalls_.end() && own->first == r.stamp) dupeOwnCalls_.erase(own);
  }
}

std::string_view QsoLog::DupeOwnCall(std::size_t i) const {
  const auto own = DupeOwnCallOf(records_[i].stamp);
  return own != dupeOwnCalls_.end() && own->first == records_[i].stamp ? texts_[own->second]
                                                                       : std::string_view{};
}

void QsoLog::Clear() {
  records_.clear();
  nextStamp_ = 0;
  calls_.Clear();
  prefixes_.Clear();
  texts_.Clear();
  bands_.Clear();
  modes_.Clear();
  lastOfCall_.clear();
  byCall_.Clear();
  byPrefix_.Clear();
  dupeOwnCalls_.clear();
}

bool QsoLog::HasCall(std::string_view call, std::string_view band, std::string_view mode, int tour) const {
  TextId c;
  std::uint8_t b, m;
  return calls_.Find(call, &c) && SmallId(bands_, band, &b) && SmallId(modes_, mode, &m) &&
         byCall_.Contains(CallKey(c, b, m, tour));
}

bool QsoLog::HasPrefix(std::string_view band, std::string_view prefix, int tour) const {
  TextId p;
  std::uint8_t b;
  return prefixes_.Find(prefix, &p) && SmallId(bands_, band, &b) && byPrefix_.Contains(PrefixKey(p, b, tour));
}

long QsoLog::Find(std::string_view call, std::string_view band, std::string_view mode,
                  const OleDate& time) const {
  std::uint8_t b, m;
  if (!SmallId(bands_, band, &b) || !SmallId(modes_, mode, &m)) return -1;
  long found = -1;
  ForEachIndexOfCall(call, [&](std::size_t i) {
    const Record& r = records_[i];
    if (r.band == b && r.mode == m && SameTime(r.Time(), time)) found = static_cast<long>(i);
    return found < 0;
  });
  return found;
}

}  // namespace zorvant
