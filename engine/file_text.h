// Writing the plug-in's own text files (the bad-QSO file, the Cabrillo log) so that a failure never leaves
// a half-written file behind where a whole one stood.
#ifndef ZORVANT_ENGINE_FILE_TEXT_H_
#define ZORVANT_ENGINE_FILE_TEXT_H_

#include <string>
#include <vector>

#include "platform/platform.h"

namespace zorvant {

// Gives the file `name` exactly `content`, creating it if needed. A sibling "name.tmp" is written first and
// swapped in, so a failed write keeps the old file whole. Where no temporary can be made, or the swap is
// refused (another program holds the file open), the file is overwritten in place and cut to length only
// once every byte is in: a write that fails there part-way leaves the new bytes over the old ones, never a
// file shorter than both. False when the content could not be written.
bool RewriteFile(Platform& platform, const std::string& name, const std::string& content);

// The bytes of a whole file; false when it cannot be opened or read to its end.
bool ReadWholeFile(Platform& platform, const std::string& name, std::string* out);

// Lines split at LF with a CR before it dropped; a last line without a line end still counts, and an empty
// text has no lines.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_FILE_TEXT_H_
