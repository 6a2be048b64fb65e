// What the program holds from the allocator right now, counted by this benchmark program's own global
// operator new and delete: so a structure's memory is measured, not estimated from its fields.
#ifndef ZORVANT_BENCH_MEMORY_ALLOC_COUNT_H_
#define ZORVANT_BENCH_MEMORY_ALLOC_COUNT_H_

#include <cstddef>

namespace zorvant {
namespace bench {

// Bytes of every block the allocator has handed out and not yet taken back, each with the allocator's own
// word beside it.
std::size_t LiveBytes();

}  // namespace bench
}  // namespace zorvant

#endif  // ZORVANT_BENCH_MEMORY_ALLOC_COUNT_H_
