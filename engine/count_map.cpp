#include "engine/count_map.h"

namespace zorvant {

CountMap::CountMap() : slots_(64) {}

// Keys are packed ids whose high bits barely vary: mix every bit into the low ones the table uses.
std::size_t CountMap::Hash(std::uint64_t key) {
  key ^= key >> 33;
  key *= 0xff51afd7ed558ccdULL;
  key ^= key >> 33;
  key *= 0xc4ceb9fe1a85ec53ULL;
  key ^= key >> 33;
  return static_cast<std::size_t>(key);
}

std::size_t CountMap::SlotOf(std::uint64_t key) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t s = Hash(key) & mask;
  while (slots_[s].count != 0 && slots_[s].key != key) s = (s + 1) & mask;
  return s;
}

std::uint32_t CountMap::Add(std::uint64_t key) {
  Slot& slot = slots_[SlotOf(key)];
  if (slot.count != 0) return slot.count++;
  slot.key = key;
  slot.count = 1;
  if (4 * ++used_ > 3 * slots_.size()) Grow();
  return 0;
}

void CountMap::Drop(std::uint64_t key) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t hole = SlotOf(key);
  if (slots_[hole].count == 0 || --slots_[hole].count != 0) return;
  --used_;
  // Linear probing has no tombstones: each later key of the same run moves back into the hole when its
  // home slot lies at or before the hole, so every search still finds its key before a free slot.
  for (std::size_t s = (hole + 1) & mask; slots_[s].count != 0; s = (s + 1) & mask) {
    const std::size_t home = Hash(slots_[s].key) & mask;
    if (((s - home) & mask) >= ((s - hole) & mask)) {
      slots_[hole] = slots_[s];
      slots_[s].count = 0;
      hole = s;
    }
  }
}

void CountMap::Grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.count == 0) continue;
    std::size_t s = Hash(slot.key) & mask;
    while (slots_[s].count != 0) s = (s + 1) & mask;
    slots_[s] = slot;
  }
}

void CountMap::Clear() {
  slots_.assign(slots_.size(), Slot());
  used_ = 0;
}

}  // namespace zorvant
