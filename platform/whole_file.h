// Reading and rewriting whole files through the platform's file calls: the bad-QSO file, the Cabrillo log and
// the settings file alike, so that a failure never leaves a half-written file where a whole one stood.
#ifndef ZORVANT_PLATFORM_WHOLE_FILE_H_
#define ZORVANT_PLATFORM_WHOLE_FILE_H_

#include <string>

#include "platform/platform.h"

namespace zorvant {

// Gives the file `name` exactly `content`, creating it if needed; false when it could not, and then the file
// is byte for byte what it was (or still missing).
//
// The new text goes to a temporary of this writer's own beside the file ("name.<unique>.tmp"), which is then
// swapped in. Where no temporary can be made (no free inode, a folder the file may be written in but not
// added to) or the swap is refused (another program holds the file open), the file is overwritten in place:
// the part that lengthens it goes on first, so the disk has made room before any old byte is touched, and
// should a later write fail after all, the old bytes are put back and the file is cut to its old length.
// A file that cannot be read is never overwritten in place, since its old bytes could not be put back.
bool RewriteFile(Platform& platform, const std::string& name, const std::string& content);

// The bytes of a whole file; false when it cannot be opened or read to its end.
bool ReadWholeFile(Platform& platform, const std::string& name, std::string* out);

}  // namespace zorvant

#endif  // ZORVANT_PLATFORM_WHOLE_FILE_H_
