#include <malloc.h>

#include "check/heap.h"

namespace check {

void ReturnFreedMemory() { _heapmin(); }

}  // namespace check
