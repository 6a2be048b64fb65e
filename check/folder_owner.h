// Who a folder belongs to, which the standard library cannot tell. One file a system: folder_owner_posix.cpp
// and folder_owner_win32.cpp.
#ifndef ZORVANT_CHECK_FOLDER_OWNER_H_
#define ZORVANT_CHECK_FOLDER_OWNER_H_

#include <string>

namespace check {

// Whether `folder` belongs to another user than the one this program runs as. Someone else's folder may
// hold links he planted, or may gain them while reports are written: the reports stay out of it. False
// when the folder cannot be looked at (what comes next reports that).
bool OwnedByAnotherUser(const std::string& folder);

}  // namespace check

#endif  // ZORVANT_CHECK_FOLDER_OWNER_H_
