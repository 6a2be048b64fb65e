// Bounded memory as a test can show it: the test program's own operator new counts the bytes live on the
// heap, and while a MemoryCap lives it refuses, with std::bad_alloc, any allocation that would take them more
// than its bytes above where they stood when it was set. Work whose memory grows without bound then fails
// its test at once rather than taking the machine with it.
#ifndef ZORVANT_TESTS_CHECK_MEMORY_CAP_H_
#define ZORVANT_TESTS_CHECK_MEMORY_CAP_H_

#include <cstddef>

namespace zorvant {
namespace testing {

// One at a time. Counts the allocations of every thread.
class MemoryCap {
 public:
  explicit MemoryCap(std::size_t bytes);
  ~MemoryCap();
  MemoryCap(const MemoryCap&) = delete;
  MemoryCap& operator=(const MemoryCap&) = delete;

  // The most the live bytes stood above the start so far.
  std::size_t peak() const;
};

constexpr std::size_t kMiB = std::size_t{1} << 20;

}  // namespace testing
}  // namespace zorvant

#endif  // ZORVANT_TESTS_CHECK_MEMORY_CAP_H_
