// The plug-in's own text files (the bad-QSO file, the Cabrillo log, the settings): whole-file reading and
// rewriting (platform/whole_file.h), and the few rules by which the engine reads their text.
#ifndef ZORVANT_ENGINE_FILE_TEXT_H_
#define ZORVANT_ENGINE_FILE_TEXT_H_

#include <string>
#include <vector>

#include "platform/whole_file.h"

namespace zorvant {

// Lines split at LF with a CR before it dropped; a last line without a line end still counts, and an empty
// text has no lines.
std::vector<std::string> SplitLines(const std::string& text);

// A number as the plug-in reads it from its settings ("Start", the window corners and check boxes): the
// leading decimal integer of the value's first 99 characters (a settings value goes through a 100-byte
// buffer), after any blanks and with one optional sign. No digits gives 0; a number beyond an int's range
// gives the nearest int. "0x1" is 0: no prefix changes the base.
int SettingNumber(const std::string& value);

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_FILE_TEXT_H_
