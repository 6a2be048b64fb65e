#include "engine/text_pool.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "engine/count_map.h"

namespace zorvant {
namespace {

constexpr std::size_t kFirstSlots = 64;

}  // namespace

TextPool::TextPool() : starts_{0, 0}, slots_(kFirstSlots) {}

// FNV-1a: the texts are short (callsigns, serials, prefixes), where it is as good as anything longer.
std::uint32_t TextPool::Hash(std::string_view text) {
  std::uint32_t h = 2166136261u;
  for (const char c : text) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

void TextPool::Fill(Slot* slot, Id id, std::string_view text) {
  slot->id = id;
  slot->size = static_cast<std::uint8_t>(std::min<std::size_t>(text.size(), 0xff));
  std::memcpy(slot->head, text.data(), std::min(text.size(), Slot::kHead));
}

bool TextPool::Holds(const Slot& slot, std::string_view text) const {
  if (slot.size != std::min<std::size_t>(text.size(), 0xff)) return false;
  if (std::memcmp(slot.head, text.data(), std::min(text.size(), Slot::kHead)) != 0) return false;
  return text.size() <= Slot::kHead || (*this)[slot.id] == text;
}

std::size_t TextPool::SlotOf(std::string_view text) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t s = Hash(text) & mask;; s = (s + 1) & mask) {
    if (slots_[s].id == 0 || Holds(slots_[s], text)) return s;
  }
}

void TextPool::Prefetch(std::string_view text) const {
  zorvant::Prefetch(&slots_[Hash(text) & (slots_.size() - 1)]);
}

bool TextPool::Find(std::string_view text, Id* id) const {
  if (text.empty()) {
    *id = kEmpty;
    return true;
  }
  const Id found = slots_[SlotOf(text)].id;
  if (found == 0) return false;
  *id = found;
  return true;
}

TextPool::Id TextPool::Intern(std::string_view text) {
  if (text.empty()) return kEmpty;
  Slot& slot = slots_[SlotOf(text)];
  if (slot.id != 0) return slot.id;
  if (text.size() > std::numeric_limits<std::uint32_t>::max() - bytes_.size()) {
    throw std::length_error("TextPool: more than 4 GiB of text");
  }
  const Id id = static_cast<Id>(size());
  bytes_.append(text.data(), text.size());
  starts_.push_back(static_cast<std::uint32_t>(bytes_.size()));
  Fill(&slot, id, text);
  // At most three quarters full, so a search ends at a free slot after a step or two.
  if (4 * size() > 3 * slots_.size()) Grow();
  return id;
}

void TextPool::Grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.id == 0) continue;
    std::size_t s = Hash((*this)[slot.id]) & mask;
    while (slots_[s].id != 0) s = (s + 1) & mask;
    slots_[s] = slot;
  }
}

void TextPool::Clear() {
  bytes_.clear();
  starts_.assign({0, 0});
  slots_.assign(slots_.size(), Slot());
}

}  // namespace zorvant
