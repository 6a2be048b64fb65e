// The few operating-system services the engine needs. The engine talks only to this interface, so the same
// code runs inside the DLL (Win32 implementation), in the native command-line tool and tests (POSIX), and
// against failure-injecting fakes in tests. The plug-in's settings file is read and written through
// engine/settings_store.h, on top of these calls.
#ifndef ZORVANT_PLATFORM_PLATFORM_H_
#define ZORVANT_PLATFORM_PLATFORM_H_

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace zorvant {

enum class MessageIcon { kNone, kInformation };

// What stands at a path, the path itself and never what a link there points to.
enum class FileKind { kMissing, kRegular, kLink, kOther };

struct FileFacts {
  FileKind kind = FileKind::kMissing;
  std::int64_t modified = 0;  // last written, seconds since 1970 (UTC)
};

// Why a lock could not be had.
enum class LockFailure {
  kNone,
  kBusy,         // someone else held it for the whole wait
  kNotAFile,     // a link, a folder or a device stands where the lock file goes
  kUnavailable,  // the folder is missing, or takes no file and holds none to open
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Files.
  // A relative path (either separator) made absolute against the current folder.
  virtual std::string FullPath(const std::string& path) = 0;
  // fopen-style open that lets other threads and processes read, write, rename and remove the file meanwhile;
  // null on failure. Only a regular file opens. An open for writing never follows a link: a link at `path`
  // refuses it. An "x" in a writing mode ("wbx") creates the file only where none is, readable and writable
  // by its owner alone until ReplaceFile puts it in place. On Windows an open that another program's sharing
  // refuses is tried again for a few milliseconds first.
  virtual std::FILE* OpenShared(const std::string& path, const char* mode) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual FileFacts Inspect(const std::string& path) = 0;
  // Puts `from` in place of `to` in one step (replacing `to` itself, even where `to` is a link), giving
  // `from` the permissions `to` had (or a new file's, where there was none); false when that cannot be done.
  // A swap refused because someone has `to` open is tried again for a few milliseconds first.
  virtual bool ReplaceFile(const std::string& from, const std::string& to) = 0;
  // Cuts an existing file to its first `size` bytes; false when that cannot be done.
  virtual bool ResizeFile(const std::string& path, std::uint64_t size) = 0;
  // Removes the name (a link itself, not what it points to); false when that cannot be done.
  virtual bool RemoveFile(const std::string& path) = 0;

  // An exclusive lock between threads and processes alike, held for as long as the object lives.
  class Lock {
   public:
    virtual ~Lock() = default;
  };
  // Takes the lock named by the file `path` (made for the purpose beside what it guards; the POSIX build
  // removes it again once let go, the Windows build keeps it, since a waiter may have it open). The holder
  // writes who it is into the file (process, host, when it took the lock), so that a waiter tells a lock
  // passing from holder to holder from one kept by the same holder. While others hold it, waits up to `wait`
  // for the holder it finds to let go; a lock that passes from holder to holder, or whose holder runs on this
  // host and has had the processor meanwhile, is waited for on, up to kLockWaitRounds times `wait` in all,
  // while one that the same holder keeps for `wait` without getting on is taken to be hung. Null when it cannot be taken, and then *why says why. A holder that ends lets go: the
  // system frees its lock. A lock file that can only be opened for reading still serves; a link, a folder or
  // a device at `path` is never waited on, created through or written; a lock file that cannot be made (a
  // folder that takes no new file) is kUnavailable at once, never taken for one held by another.
  virtual std::unique_ptr<Lock> TakeLock(const std::string& path, std::chrono::milliseconds wait,
                                         LockFailure* why) = 0;
  static constexpr int kLockWaitRounds = 20;

  // Takes an exclusive lock on the existing regular file `path` itself, for where no lock file can be made
  // beside it: a byte range far past any text it will hold, so that no read or write of the file meets it.
  // Waits up to `wait` for a holder; a holder that ends lets go. Also what tells a live writer's temporary
  // from a killed one's, in any process namespace that shares the file system: the live writer holds it.
  virtual std::unique_ptr<Lock> TakeFileLock(const std::string& path, std::chrono::milliseconds wait,
                                             LockFailure* why) {
    (void)path;
    (void)wait;
    *why = LockFailure::kUnavailable;
    return nullptr;
  }

  // Visits the names (without folder) of the directory entries matching `pattern` ("folder\prefix*.ini",
  // wildcards only in the last component), in the order the file system lists them, until `visit` returns
  // true. Returns the accepted name, or "" when none was accepted.
  virtual std::string FindFirstMatch(const std::string& pattern,
                                     const std::function<bool(const std::string&)>& visit) = 0;

  // --- Processes: what tells a file left by a killed writer from one a live writer is still making.
  virtual std::uint32_t ProcessId() = 0;
  virtual bool ProcessRunning(std::uint32_t pid) = 0;

  // --- Clock and operator.
  virtual int UtcHour() = 0;  // 0..23
  // Modal message box with one OK button; `caption` empty means the system's default caption.
  virtual void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

// The implementation for the platform this binary is built for.
Platform& SystemPlatform();

}  // namespace zorvant

#endif  // ZORVANT_PLATFORM_PLATFORM_H_
