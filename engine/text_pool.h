// Texts kept once each and known by a number, so that the log's records and index keys are numbers that
// compare as their texts do (byte for byte, letter case counting) and hold no text of their own.
#ifndef ZORVANT_ENGINE_TEXT_POOL_H_
#define ZORVANT_ENGINE_TEXT_POOL_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorvant {

class TextPool {
 public:
  using Id = std::uint32_t;
  static constexpr Id kEmpty = 0;  // the empty text, in every pool from the start

  TextPool();

  // The id of `text`, added when the pool does not hold it yet. Throws std::length_error past 4 GiB of
  // distinct text, as a container does past its size limit.
  Id Intern(std::string_view text);
  // The id of `text` without adding it; false when the pool does not hold it. Never allocates.
  bool Find(std::string_view text, Id* id) const;

  // Starts fetching the memory a look-up of `text` reads first, for a caller with other work meanwhile.
  void Prefetch(std::string_view text) const;

  // Valid until the next Intern of a new text or Clear.
  std::string_view operator[](Id id) const {
    return {bytes_.data() + starts_[id], starts_[id + 1] - starts_[id]};
  }
  std::size_t size() const { return starts_.size() - 1; }  // distinct texts, the empty one included

  // Back to the empty text alone. The memory is kept: the host feeds a log of the same size again.
  void Clear();

 private:
  static std::uint32_t Hash(std::string_view text);
  // The slot that holds `text`, or the free slot where it would go.
  std::size_t SlotOf(std::string_view text) const;
  void Grow();

  // A table slot holds the text's first bytes beside its id: most texts are shorter than that (callsigns,
  // serials, prefixes), so a look-up in a large pool reads one slot rather than three places.
  struct Slot {
    static constexpr std::size_t kHead = 11;
    Id id = 0;              // 0: free (the empty text is never hashed)
    std::uint8_t size = 0;  // the text's size, up to 255
    char head[kHead] = {};
  };
  static void Fill(Slot* slot, Id id, std::string_view text);
  bool Holds(const Slot& slot, std::string_view text) const;

  std::string bytes_;                  // every text back to back
  std::vector<std::uint32_t> starts_;  // text i is bytes_[starts_[i], starts_[i + 1])
  std::vector<Slot> slots_;            // open addressing by hash, at most three quarters full
};

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_TEXT_POOL_H_
