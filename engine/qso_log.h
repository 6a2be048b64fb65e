// The engine's copy of the contest log: records in the order they were stored, plus indexes so that the dupe
// and prefix questions asked on every logged contact and every keystroke, and the Setup window's look-up of
// the callsign being typed, do not scan the log.
#ifndef ZORVANT_ENGINE_QSO_LOG_H_
#define ZORVANT_ENGINE_QSO_LOG_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/qso.h"

namespace zorvant {

class QsoLog {
 public:
  std::size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  const CInfo& operator[](std::size_t i) const { return records_[i]; }
  const std::vector<CInfo>& records() const { return records_; }

  void Append(const CInfo& r);
  void RemoveAt(std::size_t i);
  void Clear();

  // Some record has exactly this call, band and mode (case counts) in this tour; dupes count too.
  bool HasCall(const std::string& call, const std::string& band, const std::string& mode, int tour) const;
  // Some record of this tour has exactly this band and prefix, whatever its mode.
  bool HasPrefix(const std::string& band, const std::string& prefix, int tour) const;
  // Index of the first record with this call, band and mode at the same time, or -1.
  long Find(const std::string& call, const std::string& band, const std::string& mode,
            const OleDate& time) const;

  // Calls visit(index, record) for each record whose call is exactly `call` (case counts), in log order,
  // until visit returns false. Costs the number of such records, not the size of the log.
  template <typename Visit>
  void ForEachOfCall(const std::string& call, Visit&& visit) const {
    const auto found = stampsOfCall_.find(call);
    if (found == stampsOfCall_.end()) return;
    for (const std::uint64_t stamp : found->second) {
      const std::size_t i = IndexOfStamp(stamp);
      if (!visit(i, records_[i])) return;
    }
  }

 private:
  using Counts = std::unordered_map<std::string, int>;
  static std::string CallKey(const std::string& call, const std::string& band, const std::string& mode,
                             int tour);
  static std::string PrefixKey(const std::string& band, const std::string& prefix, int tour);
  static void Drop(Counts& counts, const std::string& key);
  std::size_t IndexOfStamp(std::uint64_t stamp) const {
    return static_cast<std::size_t>(std::lower_bound(stamps_.begin(), stamps_.end(), stamp) -
                                    stamps_.begin());
  }

  std::vector<CInfo> records_;
  Counts byCall_;    // call+band+mode+tour -> records
  Counts byPrefix_;  // band+prefix+tour -> records
  // Each record gets a stamp that only grows along the log, so the call index stays right when a record in
  // the middle goes: the later ones move down one place but keep their stamps, and a stamp's place in the
  // log is a binary search away. Stored positions would all need rewriting instead.
  std::vector<std::uint64_t> stamps_;  // one per record, in log order, strictly increasing
  std::uint64_t nextStamp_ = 0;
  std::unordered_map<std::string, std::vector<std::uint64_t>> stampsOfCall_;  // call -> stamps, ascending
};

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_QSO_LOG_H_
