#include "check/heap.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace check {

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  // The C library keeps freed small blocks for later; the pages between them go back only when asked.
  malloc_trim(0);
#endif
}

}  // namespace check
