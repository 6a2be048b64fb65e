// The test program's operator new and delete, which count what lives on the heap for MemoryCap, and the
// check that a cap does refuse: without it, a test of bounded memory could pass by counting nothing.
#include "tests/check/memory_cap.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace zorvant {
namespace testing {
namespace {

std::atomic<std::size_t> g_live{0};
std::atomic<bool> g_capped{false};
std::atomic<std::size_t> g_limit{0};  // the live bytes no allocation may take them past
std::atomic<std::size_t> g_base{0};
std::atomic<std::size_t> g_peak{0};

// The allocator keeps a word of its own beside each block, and the block may be larger than asked for.
std::size_t Footprint(void* p) { return malloc_usable_size(p) + sizeof(std::size_t); }

void* Allocate(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (!p) throw std::bad_alloc();
  const std::size_t bytes = Footprint(p);
  const std::size_t live = g_live.fetch_add(bytes, std::memory_order_relaxed) + bytes;
  if (g_capped.load(std::memory_order_relaxed)) {
    if (live > g_limit.load(std::memory_order_relaxed)) {
      g_live.fetch_sub(bytes, std::memory_order_relaxed);
      std::free(p);
      throw std::bad_alloc();
    }
    for (std::size_t peak = g_peak.load(std::memory_order_relaxed);
         live > peak && !g_peak.compare_exchange_weak(peak, live, std::memory_order_relaxed);) {
    }
  }
  return p;
}

void Free(void* p) {
  if (!p) return;
  g_live.fetch_sub(Footprint(p), std::memory_order_relaxed);
  std::free(p);
}

}  // namespace

MemoryCap::MemoryCap(std::size_t bytes) {
  const std::size_t live = g_live.load();
  g_base = live;
  g_peak = live;
  g_limit = live + bytes;
  g_capped = true;
}

MemoryCap::~MemoryCap() { g_capped = false; }

std::size_t MemoryCap::peak() const { return g_peak.load() - g_base.load(); }

TEST(MemoryCapTest, RefusesWhatWouldPassItAndTellsThePeak) {
  MemoryCap cap(8 * kMiB);
  {
    std::vector<char> within(4 * kMiB);
    EXPECT_GE(cap.peak(), 4 * kMiB);
  }
  EXPECT_THROW(std::vector<char>(16 * kMiB), std::bad_alloc);
  std::string grown;
  EXPECT_THROW(for (;;) grown.append(kMiB, 'x'), std::bad_alloc);
  EXPECT_LE(cap.peak(), 8 * kMiB);
}

}  // namespace testing
}  // namespace zorvant

void* operator new(std::size_t size) { return zorvant::testing::Allocate(size); }
void* operator new[](std::size_t size) { return zorvant::testing::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return zorvant::testing::Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { zorvant::testing::Free(p); }
void operator delete[](void* p) noexcept { zorvant::testing::Free(p); }
void operator delete(void* p, std::size_t) noexcept { zorvant::testing::Free(p); }
void operator delete[](void* p, std::size_t) noexcept { zorvant::testing::Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { zorvant::testing::Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { zorvant::testing::Free(p); }
