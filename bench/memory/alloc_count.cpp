#include "bench/memory/alloc_count.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace zorvant {
namespace bench {
namespace {

std::atomic<std::size_t> g_live{0};

// glibc keeps one word of its own beside each block, and the block may be larger than asked for.
std::size_t Footprint(void* p) { return malloc_usable_size(p) + sizeof(std::size_t); }

void* Allocate(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (!p) throw std::bad_alloc();
  g_live.fetch_add(Footprint(p), std::memory_order_relaxed);
  return p;
}

void Free(void* p) {
  if (!p) return;
  g_live.fetch_sub(Footprint(p), std::memory_order_relaxed);
  std::free(p);
}

}  // namespace

std::size_t LiveBytes() { return g_live.load(std::memory_order_relaxed); }

}  // namespace bench
}  // namespace zorvant

void* operator new(std::size_t size) { return zorvant::bench::Allocate(size); }
void* operator new[](std::size_t size) { return zorvant::bench::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return zorvant::bench::Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { zorvant::bench::Free(p); }
void operator delete[](void* p) noexcept { zorvant::bench::Free(p); }
void operator delete(void* p, std::size_t) noexcept { zorvant::bench::Free(p); }
void operator delete[](void* p, std::size_t) noexcept { zorvant::bench::Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { zorvant::bench::Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { zorvant::bench::Free(p); }
