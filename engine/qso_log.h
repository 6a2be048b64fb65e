// The engine's copy of the contest log: records in the order they were stored, plus indexes so that the dupe
// and prefix questions asked on every logged contact and every keystroke, and the Setup window's look-up of
// the callsign being typed, do not scan the log.
//
// A record is 64 bytes of numbers. Its texts are ids into pools that keep each distinct text once: callsigns
// in one, prefixes in another, band and mode spellings in small ones of their own (only the contest tables'
// entries, in the letter case the host sent, get there), every other text in a shared one. Texts stay in
// their pool until Clear, even when the last record holding one is removed: the host removes a contact only
// when the operator deletes it, and the reset that starts every rescan clears the pools. The indexes key on
// ids and hold no text either. A dupe also keeps the own callsign it came with, which its bad-QSO line
// carries; few contacts are dupes, so that text is kept beside the records rather than in each of them.
#ifndef ZORVANT_ENGINE_QSO_LOG_H_
#define ZORVANT_ENGINE_QSO_LOG_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/count_map.h"
#include "engine/ole_date.h"
#include "engine/qso.h"
#include "engine/text_pool.h"

namespace zorvant {

class QsoLog {
 public:
  using TextId = TextPool::Id;

  // A record as the log keeps it.
  struct Record {
    std::uint64_t stamp;        // grows along the log: a record's place is a binary search away
    std::uint64_t earlierCall;  // stamp of the previous record with the same call, or kNone
    double time;
    TextId call;                                                           // in calls()
    TextId prefix;                                                         // in prefixes()
    TextId countryPrefix, hostText, rstSent, rstRcvd, exchSent, exchRcvd;  // in texts()
    std::uint32_t freqKHz;
    std::uint8_t band, mode;  // in bands(), modes()
    std::int8_t tour;
    std::uint8_t bits;  // kExcluded, kDupe, kRejected, and the time's status above kStatusShift

    static constexpr std::uint8_t kExcluded = 1, kDupe = 2, kRejected = 4, kStatusShift = 3;
    bool excluded() const { return (bits & kExcluded) != 0; }
    bool dupe() const { return (bits & kDupe) != 0; }
    OleDate Time() const { return {time, static_cast<OleDate::Status>(bits >> kStatusShift)}; }
  };
  static constexpr std::uint64_t kNone = ~std::uint64_t{0};
  static_assert(sizeof(Record) == 64, "a record stays small");

  std::size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  const Record& record(std::size_t i) const { return records_[i]; }

  const TextPool& calls() const { return calls_; }
  const TextPool& prefixes() const { return prefixes_; }
  const TextPool& texts() const { return texts_; }
  const TextPool& bands() const { return bands_; }
  const TextPool& modes() const { return modes_; }
  // The record with its texts, borrowed from the pools: valid until the next Append or Clear.
  QsoView View(std::size_t i) const { return ViewOf(records_[i]); }
  QsoView ViewOf(const Record& r) const;
  // Copies, for readers that keep a record or hold no lock over the log; the hot paths read Record.
  CInfo operator[](std::size_t i) const { return View(i); }
  std::vector<CInfo> records() const;

  // Appends a record as it is. REQUIRES: the band and mode are spellings of the contest tables' entries
  // (there are at most 12 and 32; at most 255 different ones fit). `r` may be a view of this log.
  void Append(const QsoView& r) { Store(r, /*judge=*/false, {}); }
  void Append(const CInfo& r) { Append(r.View()); }
  // Appends a contact as AddData stores it: when an earlier record has the same call, band, mode and tour
  // (dupes too), it is a dupe, stored with excluded and dupe set whatever `r` says, and the result is true.
  // A dupe keeps `ownCall` (see DupeOwnCall). Same requirements as Append; `ownCall` is no view of this log.
  bool AppendJudged(const QsoView& r, std::string_view ownCall) { return Store(r, /*judge=*/true, ownCall); }
  // The own callsign that came with record i when AppendJudged stored it as a dupe; empty for other records.
  std::string_view DupeOwnCall(std::size_t i) const;
  void RemoveAt(std::size_t i);
  void Clear();

  // Starts fetching what storing a record of `call` reads first: in a large log it is far from anything
  // used just before, so a caller with other work to do first saves the wait.
  void PrefetchCall(std::string_view call) const { calls_.Prefetch(call); }

  // Some record has exactly this call, band and mode (case counts) in this tour; dupes count too.
  bool HasCall(std::string_view call, std::string_view band, std::string_view mode, int tour) const;
  // Some record of this tour has exactly this band and prefix, whatever its mode.
  bool HasPrefix(std::string_view band, std::string_view prefix, int tour) const;
  // Index of the first record with this call, band and mode at the same time, or -1.
  long Find(std::string_view call, std::string_view band, std::string_view mode, const OleDate& time) const;

  // Calls visit(index, view) for each record whose call is exactly `call` (case counts), in log order, until
  // visit returns false. Costs the number of such records, not the size of the log.
  template <typename Visit>
  void ForEachOfCall(std::string_view call, Visit&& visit) const {
    ForEachIndexOfCall(call, [&](std::size_t i) { return visit(i, View(i)); });
  }

 private:
  bool Store(const QsoView& r, bool judge, std::string_view ownCall);
  // Where the dupe of this stamp has, or would have, its own callsign in dupeOwnCalls_.
  std::vector<std::pair<std::uint64_t, TextId>>::const_iterator DupeOwnCallOf(std::uint64_t stamp) const {
    return std::lower_bound(
        dupeOwnCalls_.begin(), dupeOwnCalls_.end(), stamp,
        [](const std::pair<std::uint64_t, TextId>& d, std::uint64_t s) { return d.first < s; });
  }
  static std::uint64_t CallKey(TextId call, std::uint8_t band, std::uint8_t mode, int tour);
  static std::uint64_t PrefixKey(TextId prefix, std::uint8_t band, int tour);
  // Ids of a band or mode text, false when no record was ever stored with it.
  static bool SmallId(const TextPool& pool, std::string_view text, std::uint8_t* id);
  // Calls visit(index) as ForEachOfCall does.
  template <typename Visit>
  void ForEachIndexOfCall(std::string_view call, Visit&& visit) const {
    TextId id;
    if (!calls_.Find(call, &id) || id >= lastOfCall_.size()) return;
    std::vector<std::size_t> found;  // last first: the chain runs backwards
    for (std::uint64_t s = lastOfCall_[id]; s != kNone; s = records_[found.back()].earlierCall) {
      found.push_back(IndexOfStamp(s));
    }
    for (auto i = found.rbegin(); i != found.rend(); ++i) {
      if (!visit(*i)) return;
    }
  }
  std::size_t IndexOfStamp(std::uint64_t stamp) const {
    return static_cast<std::size_t>(
        std::lower_bound(records_.begin(), records_.end(), stamp,
                         [](const Record& r, std::uint64_t s) { return r.stamp < s; }) -
        records_.begin());
  }

  std::vector<Record> records_;
  std::uint64_t nextStamp_ = 0;
  TextPool calls_, prefixes_, texts_, bands_, modes_;
  // Each call's records form a chain through earlierCall from its last one, so that a removal in the middle
  // of the log rewrites nothing: the later records move down one place and keep their stamps.
  std::vector<std::uint64_t> lastOfCall_;  // call id -> stamp of its last record, or kNone
  CountMap byCall_;                        // call+band+mode+tour -> records
  CountMap byPrefix_;                      // band+prefix+tour -> records
  std::vector<std::pair<std::uint64_t, TextId>> dupeOwnCalls_;  // (stamp, own call in texts()) by stamp
};

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_QSO_LOG_H_
