// Handing memory the program has freed back to the system, where the allocator keeps it otherwise.
#ifndef ZORVANT_CHECK_HEAP_H_
#define ZORVANT_CHECK_HEAP_H_

namespace check {

// After a contest's logs are gathered into one list, the room each log was read into is free but still the
// process's; the cross-check's own tables come on top of it. Giving it back keeps the peak to what is in use.
void ReturnFreedMemory();

}  // namespace check

#endif  // ZORVANT_CHECK_HEAP_H_
