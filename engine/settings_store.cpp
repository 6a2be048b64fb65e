#include "engine/settings_store.h"

#include <algorithm>
#include <condition_variable>
#include <list>
#include <map>
#include <mutex>

#include "platform/whole_file.h"

namespace zorvant {
namespace {

// A file Notepad saved as "Unicode" starts with a UTF-16 byte-order mark. Read as bytes it would give no
// key, and a write would append single-byte lines that no reader then reads whole.
bool IsUtf16(const std::string& text) {
  return text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0;
}

bool HoldsLineBreak(const std::string& name) { return name.find_first_of("\r\n") != std::string::npos; }

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The threads of one process take their turns at a settings file in the order they came. The lock file alone
// would let a thread that has just let go take it again before a waiting one looked, as often as it liked.
class Turns {
 public:
  bool Take(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    int me;
    queue_.push_back(&me);
    if (cv_.wait_until(lock, deadline, [&] { return !taken_ && queue_.front() == &me; })) {
      queue_.pop_front();
      taken_ = true;
      return true;
    }
    queue_.remove(&me);
    cv_.notify_all();  // the next in line may be first now
    return false;
  }
  void Give() {
    std::lock_guard<std::mutex> lock(mutex_);
    taken_ = false;
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::list<int*> queue_;
  bool taken_ = false;
};

std::shared_ptr<Turns> TurnsAt(const std::string& lockPath) {
  static std::mutex mutex;
  static std::map<std::string, std::shared_ptr<Turns>> all;
  std::lock_guard<std::mutex> lock(mutex);
  std::shared_ptr<Turns>& turns = all[lockPath];
  if (!turns) turns = std::make_shared<Turns>();
  return turns;
}

// This thread's turn and the lock file, let go in that order.
class TurnAndLock : public Platform::Lock {
 public:
  TurnAndLock(std::shared_ptr<Turns> turns, std::unique_ptr<Platform::Lock> file)
      : turns_(std::move(turns)), file_(std::move(file)) {}
  ~TurnAndLock() override {
    file_.reset();
    turns_->Give();
  }

 private:
  std::shared_ptr<Turns> turns_;
  std::unique_ptr<Platform::Lock> file_;
};

}  // namespace

SettingsSnapshot::SettingsSnapshot(std::string text, const std::string& section)
    : text_(std::make_shared<const std::string>(std::move(text))),
      entries_(ini::ReadSection(*text_, section)) {}

std::optional<std::string> SettingsSnapshot::Get(const std::string& key) const {
  const ini::SectionEntry* e = ini::FindIn(entries_, key);
  if (!e || !e->hasValue) return std::nullopt;
  return ini::Unquote(e->value);
}

std::string SettingsSnapshot::Get(const std::string& key, const std::string& def) const {
  std::optional<std::string> value = Get(key);
  return value ? *value : ini::DefaultValue(def);
}

bool SettingsSnapshot::Holds(const std::string& key, const std::string& value) const {
  const std::optional<std::string> saved = Get(key);
  return saved && *saved == ini::ValueAsRead(value);
}

SettingsStore::SettingsStore(Platform& platform, std::string file, std::string section)
    : platform_(platform), file_(std::move(file)), section_(std::move(section)) {}

void SettingsStore::NewPass() {
  gaveUp_ = false;
  problems_.clear();
}

std::unique_ptr<Platform::Lock> SettingsStore::Lock(LockFailure* why) {
  *why = LockFailure::kNone;
  const std::string path = platform_.FullPath(file_) + ".lock";
  lockName_ = file_ + ".lock";
  const std::chrono::milliseconds wait = gaveUp_ ? std::chrono::milliseconds(0) : kLockWait;
  // The other threads of this process each hold it for one read or write: they are waited for as long as
  // the platform would wait for a lock that keeps changing hands.
  const std::shared_ptr<Turns> turns = TurnsAt(path);
  if (!turns->Take(std::chrono::steady_clock::now() + wait * Platform::kLockWaitRounds)) {
    *why = LockFailure::kBusy;
    gaveUp_ = true;
    return nullptr;
  }
  std::unique_ptr<Platform::Lock> file = platform_.TakeLock(path, wait, why);
  // A folder that takes no new file has no room for the lock file: the settings file itself is locked then,
  // and the file is written in place there, as nothing else can be.
  onFileItself_ = false;
  if (!file && *why == LockFailure::kUnavailable && platform_.FileExists(FolderOf(path))) {
    lockName_ = file_;
    const std::string settingsPath = platform_.FullPath(file_);
    if (platform_.Inspect(settingsPath).kind == FileKind::kRegular) {
      file = platform_.TakeFileLock(settingsPath, wait, why);
      onFileItself_ = file != nullptr;
    }
  }
  if (!file) {
    turns->Give();
    if (*why == LockFailure::kBusy) gaveUp_ = true;
    return nullptr;
  }
  gaveUp_ = false;
  return std::make_unique<TurnAndLock>(turns, std::move(file));
}

SettingsSnapshot SettingsStore::ReadUnderLock(const std::string& path, FileKind kind, bool locked) {
  if (kind == FileKind::kOther) return SettingsSnapshot(SettingsError::kNotAFile);
  std::string text;
  // Under the lock no writer is at the file, so a rewrite cut short is put right on disk; without it the
  // file is only read, and the next holder of the lock puts it right.
  UndoFound found = locked && kind == FileKind::kRegular ? SettleUndo(platform_, path) : UndoFound::kNone;
  const ReadOutcome read = ReadFile(platform_, path, &text, kMaxBytes, locked ? nullptr : &found);
  if (found == UndoFound::kRestored) {
    NoteLine(file_ + ": a write of it was cut short; the settings from before it were " +
             (locked ? "put back" : "read"));
  } else if (found == UndoFound::kSetAside && locked) {
    NoteLine(file_ + " was changed after a write of it was cut short: it was kept as it is, and the settings "
                     "from before that write were set aside in " +
             SetAsideUndoName(file_));
  }
  switch (read) {
    case ReadOutcome::kRead: break;
    case ReadOutcome::kMissing:
      return platform_.FileExists(FolderOf(path)) ? SettingsSnapshot(std::string(), section_)
                                                  : SettingsSnapshot(SettingsError::kNoFolder);
    case ReadOutcome::kUnreadable: return SettingsSnapshot(SettingsError::kUnreadable);
    case ReadOutcome::kTooLarge: return SettingsSnapshot(SettingsError::kTooLarge);
  }
  if (IsUtf16(text)) return SettingsSnapshot(SettingsError::kUtf16);
  return SettingsSnapshot(std::move(text), section_);
}

const SettingsSnapshot& SettingsStore::Load() {
  // Without the lock the file is read all the same: nothing is written on the strength of this read alone.
  LockFailure why;
  const std::unique_ptr<Platform::Lock> lock = Lock(&why);
  const std::string path = platform_.FullPath(file_);
  saved_ = ReadUnderLock(path, platform_.Inspect(path).kind, lock != nullptr);
  if (!saved_.readable()) Note(saved_.error());
  return saved_;
}

SettingsError SettingsStore::Write(const std::vector<std::pair<std::string, std::string>>& values) {
  if (values.empty()) return SettingsError::kNone;
  // A name is written as it is, so a line break in it would start a line of the caller's choosing.
  if (HoldsLineBreak(section_) ||
      std::any_of(values.begin(), values.end(), [](const auto& v) { return HoldsLineBreak(v.first); })) {
    return SettingsError::kNotWritten;
  }
  const std::string path = platform_.FullPath(file_);
  // Held from the read to the swap: a writer that read the file before another's swap would write its text
  // back without the other's key.
  LockFailure why;
  const std::unique_ptr<Platform::Lock> lock = Lock(&why);
  if (!lock) {
    SettingsError error = SettingsError::kNotWritten;
    if (why == LockFailure::kBusy) error = SettingsError::kBusy;
    if (why == LockFailure::kNotAFile) error = SettingsError::kNotAFile;
    if (why == LockFailure::kUnavailable && !platform_.FileExists(FolderOf(path)))
      error = SettingsError::kNoFolder;
    Note(error);
    return error;
  }
  const FileKind kind = platform_.Inspect(path).kind;
  if (kind == FileKind::kLink || kind == FileKind::kOther) {
    Note(SettingsError::kNotAFile);
    return SettingsError::kNotAFile;
  }
  const SettingsSnapshot now = ReadUnderLock(path, kind, /*locked=*/true);
  if (!now.readable()) {
    // Its other keys would be lost.
    Note(now.error());
    return now.error();
  }
  std::vector<std::pair<std::string, std::string>> changed;
  for (auto v = values.rbegin(); v != values.rend(); ++v) {
    const bool later =
        std::any_of(values.rbegin(), v, [&](const auto& w) { return ini::SameName(w.first, v->first); });
    if (later) continue;
    if (!now.Holds(v->first, v->second)) changed.push_back(*v);
  }
  std::reverse(changed.begin(), changed.end());
  if (changed.empty()) {
    saved_ = now;
    return SettingsError::kNone;
  }
  std::string updated = ini::SetAll(now.text_ ? *now.text_ : std::string(), section_, changed);
  bool withoutCopy = false;
  if (!RewriteFile(platform_, path, updated, onFileItself_ ? &withoutCopy : nullptr)) {
    Note(SettingsError::kNotWritten);
    return SettingsError::kNotWritten;
  }
  if (withoutCopy) {
    NoteLine(file_ + ": its folder takes no new file, so the settings were written over it in place, "
                     "without a safety copy");
  }
  saved_ = SettingsSnapshot(std::move(updated), section_);
  return SettingsError::kNone;
}

void SettingsStore::Note(SettingsError error) {
  std::string line;
  switch (error) {
    case SettingsError::kNone:
    case SettingsError::kNoFolder: return;
    case SettingsError::kUnreadable:
      line =
          "Could not read file: " + file_ + " (the saved settings were not used, and none was written over)";
      break;
    case SettingsError::kTooLarge:
      line = file_ + " is larger than " + std::to_string(kMaxBytes >> 20) +
             " MB: it was neither read nor written";
      break;
    case SettingsError::kUtf16:
      line = file_ + " is saved as Unicode (UTF-16): it was neither read nor written; save it as ANSI text";
      break;
    case SettingsError::kNotAFile:
      line = file_ + " or " + file_ + ".lock is a link, a folder or a device: the settings were not saved";
      break;
    case SettingsError::kBusy:
      line = lockName_ + " was held by another program for " + std::to_string(kLockWait.count()) +
             " ms: the settings were not saved";
      break;
    case SettingsError::kNotWritten: line = "Could not write file: " + file_; break;
  }
  NoteLine(line);
}

void SettingsStore::NoteLine(const std::string& line) {
  if (std::find(problems_.begin(), problems_.end(), line) == problems_.end()) problems_.push_back(line);
}

}  // namespace zorvant
