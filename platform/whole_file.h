// Reading and rewriting whole files through the platform's file calls: the bad-QSO file, the Cabrillo log and
// the settings file alike, so that a failure never leaves a half-written file where a whole one stood.
#ifndef ZORVANT_PLATFORM_WHOLE_FILE_H_
#define ZORVANT_PLATFORM_WHOLE_FILE_H_

#include <cstddef>
#include <limits>
#include <string>

#include "platform/platform.h"

namespace zorvant {

// Gives the file `name` exactly `content`, creating it if needed; false when it could not, and then the file
// is byte for byte what it was (or still missing). A link, a folder or a device at `name` is refused: the
// file is rewritten only where it is a regular file or nothing.
//
// The new text goes to a temporary of this writer's own beside the file ("name.zorvant-<unique>.tmp"),
// locked by the writer while it lives, which is then swapped in with the old file's permissions. Temporaries
// of that name that writers killed part-way left behind (nobody holds their lock) are removed on the first
// rewrite of the file in a run; the folder is looked through for them once a run, at its first rewrite. No
// other file is ever removed.
//
// Where no temporary can be made (no free inode, a folder the file may be written in but not added to) or
// the swap is refused (another program holds the file open), the file is overwritten in place, but only
// once its old bytes are kept whole in "name.undo": the part that lengthens the file goes on first, so the
// disk has made room before any old byte is touched; should a later write fail after all, the old bytes are
// put back and the file is cut to its old length; and should the writer be killed part-way, the next read or
// rewrite of the file finds the undo file and takes the old bytes from it, as long as the file holds what
// the rewrite left (see ReadFile). The undo file goes once the file is whole again. A file that cannot be read is never overwritten in place, nor one whose undo file cannot
// be made, unless the caller passes `withoutCopy`: then, where neither a temporary nor an undo file can be
// made (a folder that takes no new file), the file is written over without a copy of its old bytes on disk,
// and *withoutCopy tells the caller so, for the operator to hear it.
bool RewriteFile(Platform& platform, const std::string& name, const std::string& content,
                 bool* withoutCopy = nullptr);

enum class ReadOutcome { kRead, kMissing, kUnreadable, kTooLarge };

// What was found of a rewrite in place cut short: one whose old text was taken (kRestored), or an undo file
// that no longer speaks for the file, which someone changed since (kSetAside).
enum class UndoFound { kNone, kRestored, kSetAside };

// The bytes of a whole file of at most `limit` bytes (kTooLarge, with nothing read, beyond that). Where a
// rewrite in place was cut short, the file's bytes from before it, but only where the file still holds what
// the rewrite left (the old text, the new one, or a mix of the two): a file changed since is read as it
// stands. kMissing only where no file is at all: one that is there but cannot be opened or read to its end
// is kUnreadable. Nothing on disk is changed; *found (when given) says which of the two it met.
ReadOutcome ReadFile(Platform& platform, const std::string& name, std::string* out,
                     std::size_t limit = std::numeric_limits<std::size_t>::max(), UndoFound* found = nullptr);

// For a caller that keeps every other writer of `name` away meanwhile: a rewrite in place that was cut short
// is undone on disk (the old text put back), an undo file that holds nothing or speaks for a text already
// whole is removed, and one that no longer speaks for the file is set aside (renamed to SetAsideUndoName,
// never removed). Says which it met.
UndoFound SettleUndo(Platform& platform, const std::string& name);

// ReadFile without a limit: true when the file was read.
bool ReadWholeFile(Platform& platform, const std::string& name, std::string* out);

// The name of the file that keeps `name`'s old bytes while it is rewritten in place.
std::string UndoFileName(const std::string& name);
// Where an undo file that no longer speaks for `name` is put.
std::string SetAsideUndoName(const std::string& name);
// Removes the undo file a rewrite of `name` cut short left behind (never another program's file of that
// name), for a caller that has just given the file new bytes by other means: it would stand for them.
void ForgetUndo(Platform& platform, const std::string& name);

}  // namespace zorvant

#endif  // ZORVANT_PLATFORM_WHOLE_FILE_H_
