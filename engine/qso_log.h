// The engine's copy of the contest log: records in the order they were stored, plus count indexes so that
// the dupe and prefix questions asked on every logged contact and every keystroke do not scan the log.
#ifndef ZORVANT_ENGINE_QSO_LOG_H_
#define ZORVANT_ENGINE_QSO_LOG_H_

#include <cstddef>
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

 private:
  using Counts = std::unordered_map<std::string, int>;
  static std::string CallKey(const std::string& call, const std::string& band, const std::string& mode,
                             int tour);
  static std::string PrefixKey(const std::string& band, const std::string& prefix, int tour);
  static void Drop(Counts& counts, const std::string& key);

  std::vector<CInfo> records_;
  Counts byCall_;    // call+band+mode+tour -> records
  Counts byPrefix_;  // band+prefix+tour -> records
};

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_QSO_LOG_H_
