// How many records of the log share a key made of text ids: the dupe and prefix indexes. One flat table
// without a node per key, so an index entry costs a few bytes beside the record it counts.
#ifndef ZORVANT_ENGINE_COUNT_MAP_H_
#define ZORVANT_ENGINE_COUNT_MAP_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorvant {

// A hint that `p` will be read soon; nothing where the compiler has no such hint.
inline void Prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

class CountMap {
 public:
  CountMap();

  bool Contains(std::uint64_t key) const { return slots_[SlotOf(key)].count != 0; }
  // Starts fetching the memory a look-up of `key` reads first, for a caller with other work meanwhile.
  void Prefetch(std::uint64_t key) const { zorvant::Prefetch(&slots_[Hash(key) & (slots_.size() - 1)]); }
  // One record more with `key`; returns how many there were before.
  std::uint32_t Add(std::uint64_t key);
  // One record fewer with `key`; a key that is not there is left alone.
  void Drop(std::uint64_t key);
  // Empty again; the table keeps its size for the next log.
  void Clear();

 private:
  struct Slot {
    std::uint64_t key = 0;
    std::uint32_t count = 0;  // 0: free
  };
  static std::size_t Hash(std::uint64_t key);
  // The slot holding `key`, or the free slot where it would go.
  std::size_t SlotOf(std::uint64_t key) const;
  void Grow();

  std::vector<Slot> slots_;  // linear probing, at most three quarters full
  std::size_t used_ = 0;
};

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_COUNT_MAP_H_
