// The plug-in's settings file as one store: a section read whole in one pass, and batches of keys written in
// one read-modify-write under one lock, so that the host's thread, the Setup window's thread and other
// processes of the plug-in keep each other's keys.
//
// A read that fails is never taken for missing keys: the snapshot says so, and its caller writes back no key
// it did not read. Waits are short, since they happen on the host's thread and the Setup thread: a settings
// write holds the lock for milliseconds, so whoever keeps it longer than kLockWait is taken to be hung, and
// the store does not wait for it again until the lock has been had once more or a new pass begins. What goes
// wrong is collected, one line per kind of fault, for the caller to show where the operator looks.
//
// Thread safety: none inside; each thread that touches the settings keeps a store of its own.
#ifndef ZORVANT_ENGINE_SETTINGS_STORE_H_
#define ZORVANT_ENGINE_SETTINGS_STORE_H_

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ini_text.h"
#include "platform/platform.h"

namespace zorvant {

enum class SettingsError {
  kNone,
  kNoFolder,    // no folder to keep the file in: nothing is kept, and that is no fault
  kUnreadable,  // the file is there but could not be read
  kTooLarge,    // larger than SettingsStore::kMaxBytes: not read, and left as it is
  kUtf16,       // saved as UTF-16 ("Unicode"): not read, and left as it is
  kNotAFile,    // the file or its lock is a link, a folder or a device: not written
  kBusy,        // another holder kept the lock past the wait
  kNotWritten,  // the new text could not be written whole, or a name held a line break
};

// One read of the store's section.
class SettingsSnapshot {
 public:
  SettingsSnapshot() = default;
  explicit SettingsSnapshot(SettingsError error) : error_(error) {}
  SettingsSnapshot(std::string text, const std::string& section);

  // Whether the keys are known: the file was read, or there is none. When false every key reads as missing,
  // though it may well be in the file.
  bool readable() const { return error_ == SettingsError::kNone || error_ == SettingsError::kNoFolder; }
  SettingsError error() const { return error_; }

  // The value as the Windows profile services read it (trimmed, one pair of quotes removed), or nothing when
  // the key is missing or has no '='.
  std::optional<std::string> Get(const std::string& key) const;
  // The same, with `def` (trailing spaces and quotes removed, as those services do) for a missing key.
  std::string Get(const std::string& key, const std::string& def) const;
  // Whether the key reads already as it would once `value` were written: writing it would change nothing.
  bool Holds(const std::string& key, const std::string& value) const;

 private:
  friend class SettingsStore;  // which edits the text it read

  SettingsError error_ = SettingsError::kNone;
  std::shared_ptr<const std::string> text_;
  std::vector<ini::SectionEntry> entries_;  // views into *text_
};

class SettingsStore {
 public:
  // A settings write takes milliseconds, under Wine on a busy machine, under emulation or beside a virus
  // scanner tens of them; a holder still at it after a quarter of a second is hung, and the host's thread (or
  // the window being dragged) has waited long enough for it. A lock that keeps changing hands, or whose holder
  // is seen running, is no hung one: it is waited for on, up to Platform::kLockWaitRounds times as long (five
  // seconds: six plug-ins saving at once under Wine on a loaded machine wait up to about one).
  static constexpr std::chrono::milliseconds kLockWait{250};
  // The plug-in's settings are a few hundred bytes; a file of megabytes is something else, and reading it
  // would cost the host seconds and memory on every pass.
  static constexpr std::size_t kMaxBytes = 4u << 20;

  // `file` as the program names it ("Plugins\ZORVANT.ini"), resolved against the current folder at each use,
  // and named so in what the store reports.
  SettingsStore(Platform& platform, std::string file, std::string section);

  // Reads the file once, under its lock when the lock can be had within the wait (a read then never meets a
  // rewrite half-done), and keeps what it read as saved().
  const SettingsSnapshot& Load();
  // What the last Load read, as this store's own writes have changed it since.
  const SettingsSnapshot& saved() const { return saved_; }

  // Sets the keys in one read-modify-write under the lock: the file is read again under it, keys whose value
  // reads the same already are left alone, and the file is rewritten only when something changed. A later
  // key of the same name wins. Any other key of the file stays as it is.
  SettingsError Write(const std::vector<std::pair<std::string, std::string>>& values);

  // A new pass (a reset of the contest): the lock is waited for again, and the problems start afresh.
  void NewPass();
  // One line for each fault met since the last NewPass, in the order met, as the operator is told.
  const std::vector<std::string>& problems() const { return problems_; }

  const std::string& file() const { return file_; }

 private:
  std::unique_ptr<Platform::Lock> Lock(LockFailure* why);
  SettingsSnapshot ReadUnderLock(const std::string& path, FileKind kind, bool locked);
  void Note(SettingsError error);
  void NoteLine(const std::string& line);

  Platform& platform_;
  const std::string file_;
  const std::string section_;
  SettingsSnapshot saved_;
  bool gaveUp_ = false;  // the lock was not had within the wait, and has not been had since
  bool onFileItself_ = false;  // the lock last had is on the settings file itself: no lock file could be made
  std::string lockName_;       // what was locked last, as the operator is told
  std::vector<std::string> problems_;
};

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_SETTINGS_STORE_H_
