// Writing the plug-in's own text files (the bad-QSO file, the Cabrillo log) so that a failure never leaves
// a half-written file behind where a whole one stood.
#ifndef ZORVANT_ENGINE_FILE_TEXT_H_
#define ZORVANT_ENGINE_FILE_TEXT_H_

#include <string>

#include "platform/platform.h"

namespace zorvant {

// Gives the file `name` exactly `content`, creating it if needed. A sibling "name.tmp" is written first and
// swapped in, so a failed write keeps the old file whole. Where the swap is refused (another program holds
// the file open) the file is rewritten in place. False when the content could not be written.
bool RewriteFile(Platform& platform, const std::string& name, const std::string& content);

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_FILE_TEXT_H_
