#include "platform/whole_file.h"

#include <algorithm>
#include <cctype>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <vector>

namespace zorvant {
namespace {

// Writes all of `content` and closes the stream; false when any of it did not reach the file.
bool WriteAll(std::FILE* out, const std::string& content) {
  const bool written = std::fwrite(content.data(), 1, content.size(), out) == content.size() &&
                       std::fflush(out) == 0 && !std::ferror(out);
  return std::fclose(out) == 0 && written;
}

bool WriteAt(std::FILE* out, std::size_t offset, const char* data, std::size_t size) {
  return std::fseek(out, static_cast<long>(offset), SEEK_SET) == 0 &&
         std::fwrite(data, 1, size, out) == size && std::fflush(out) == 0 && !std::ferror(out);
}

// The file's own bytes, whatever undo file stands beside it.
ReadOutcome ReadRaw(Platform& platform, const std::string& name, std::size_t limit, std::string* out) {
  std::FILE* in = platform.OpenShared(name, "rb");
  if (!in) return platform.FileExists(name) ? ReadOutcome::kUnreadable : ReadOutcome::kMissing;
  std::string text;
  char buf[8192];
  std::size_t n;
  bool tooLarge = false;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) {
    if (n > limit - text.size()) {
      tooLarge = true;
      break;
    }
    text.append(buf, n);
  }
  const bool failed = !tooLarge && std::ferror(in);
  std::fclose(in);
  if (tooLarge) return ReadOutcome::kTooLarge;
  if (failed) return ReadOutcome::kUnreadable;
  *out = std::move(text);
  return ReadOutcome::kRead;
}

// --- The undo file: the old bytes and the new ones between a first line and a last one that tells their
// lengths and checksums, so that an undo file cut short by a killed writer is told from a whole one, another
// program's file of that name from ours, and a file that a killed rewrite left half-done from one that was
// changed since by someone else.

const char kUndoHead[] = "ZORVANT undo file\r\n";
const char kUndoTail[] = "\r\nZORVANT undo of ";
// How earlier versions ended theirs, with the old bytes alone.
const char kOldUndoTail[] = "\r\nZORVANT undo end ";

std::uint64_t Checksum(const std::string& bytes) {  // FNV-1a
  std::uint64_t h = 14695981039346656037ull;
  for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

std::string UndoTail(const std::string& old, const std::string& now) {
  char tail[128];
  std::snprintf(tail, sizeof tail, "%zu %016llx to %zu %016llx\r\n", old.size(),
                static_cast<unsigned long long>(Checksum(old)), now.size(),
                static_cast<unsigned long long>(Checksum(now)));
  return kUndoTail + std::string(tail);
}

std::string OldUndoTail(const std::string& old) {
  char tail[64];
  std::snprintf(tail, sizeof tail, "%zu %016llx\r\n", old.size(),
                static_cast<unsigned long long>(Checksum(old)));
  return kOldUndoTail + std::string(tail);
}

enum class Undo { kNone, kWhole, kCut, kForeign };

struct UndoFile {
  Undo state = Undo::kNone;
  std::string old;      // the file's text before the rewrite
  std::string now;      // the text the rewrite was to leave
  bool proven = false;  // `now` is known: an earlier version's undo file holds the old text alone
};

// What stands at the undo file's name, and what it holds when it is whole.
UndoFile ReadUndo(Platform& platform, const std::string& undoName) {
  UndoFile undo;
  std::string text;
  const ReadOutcome read = ReadRaw(platform, undoName, std::numeric_limits<std::size_t>::max(), &text);
  if (read == ReadOutcome::kMissing) return undo;
  undo.state = Undo::kForeign;
  if (read != ReadOutcome::kRead) return undo;
  const std::string head = kUndoHead;
  if (text.compare(0, head.size(), head) != 0) {
    // Empty, or cut within its first line: ours, killed before it held anything.
    if (text.size() < head.size() && head.compare(0, text.size(), text) == 0) undo.state = Undo::kCut;
    return undo;
  }
  undo.state = Undo::kCut;
  const std::size_t tail = text.rfind(kUndoTail);
  if (tail != std::string::npos && tail >= head.size()) {
    std::size_t oldSize = 0;
    if (std::sscanf(text.c_str() + tail + std::strlen(kUndoTail), "%zu", &oldSize) != 1 ||
        oldSize > tail - head.size()) {
      return undo;
    }
    std::string old = text.substr(head.size(), oldSize);
    std::string now = text.substr(head.size() + oldSize, tail - head.size() - oldSize);
    if (text.compare(tail, std::string::npos, UndoTail(old, now)) != 0) return undo;
    undo = {Undo::kWhole, std::move(old), std::move(now), true};
    return undo;
  }
  const std::size_t oldTail = text.rfind(kOldUndoTail);
  if (oldTail == std::string::npos || oldTail < head.size()) return undo;
  std::string old = text.substr(head.size(), oldTail - head.size());
  if (text.compare(oldTail, std::string::npos, OldUndoTail(old)) != 0) return undo;
  undo.state = Undo::kWhole;
  undo.old = std::move(old);
  return undo;
}

bool WriteUndo(Platform& platform, const std::string& undoName, const std::string& old, const std::string& now) {
  std::FILE* out = platform.OpenShared(undoName, "wbx");
  if (!out) return false;
  if (WriteAll(out, kUndoHead + old + now + UndoTail(old, now))) return true;
  platform.RemoveFile(undoName);
  return false;
}

// An undo file that is no longer needed. Where it cannot be removed it is emptied, which no reader takes
// for old bytes, and which the next settling of the file removes.
void DropUndo(Platform& platform, const std::string& undoName) {
  if (!platform.RemoveFile(undoName)) platform.ResizeFile(undoName, 0);
}

// What the file holds beside a whole undo file.
enum class Verdict {
  kOld,      // the text from before the rewrite: it never touched the file, or put it back
  kNew,      // the text the rewrite was to leave: it was done but for removing the undo file
  kMix,      // at each byte the one or the other: the rewrite was cut short, and the old text is the whole one
  kChanged,  // anything else: someone wrote the file since, and the undo file no longer speaks for it
};

Verdict Judge(const std::string& file, const UndoFile& undo) {
  if (file == undo.old) return Verdict::kOld;
  if (!undo.proven) return Verdict::kChanged;
  if (file == undo.now) return Verdict::kNew;
  const std::string& old = undo.old;
  const std::string& now = undo.now;
  // A rewrite in place first writes the part of the new text past the old one's end, then the rest over the
  // old bytes from the front, then cuts the file: each byte on its way is the old one or the new one, and
  // the length lies between the two.
  if (file.size() < std::min(old.size(), now.size()) || file.size() > std::max(old.size(), now.size()))
    return Verdict::kChanged;
  for (std::size_t i = 0; i < file.size(); ++i) {
    if (!((i < old.size() && file[i] == old[i]) || (i < now.size() && file[i] == now[i])))
      return Verdict::kChanged;
  }
  return Verdict::kMix;
}

// --- Temporaries: "<file name>.zorvant-<8 hex>-<hex>.tmp", a name no other program makes, locked by its
// writer for as long as it lives. A process id would tell nothing across process namespaces (Wine beside
// Linux programs, two PCs on a network share); the lock tells it wherever the file system is shared, and
// the system lets it go when the writer ends.

const char kTemporaryMarker[] = ".zorvant-";
const char kTemporarySuffix[] = ".tmp";

std::uint32_t ProcessTag() {
  static const std::uint32_t tag = [] {
    const auto ticks =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::uint32_t seed = static_cast<std::uint32_t>(ticks * 2654435761u);
    try {
      seed ^= std::random_device()();
    } catch (...) {
      // No source of entropy: the clock alone still tells a process from another.
    }
    return seed;
  }();
  return tag;
}

// Differs between processes and, through the count, between the writers of one process, so two writers of
// the same file (two exports in one station folder, say) never share a temporary.
std::string UniqueTag() {
  static std::atomic<std::uint32_t> count{0};
  char tag[32];
  std::snprintf(tag, sizeof tag, "%08x-%x", static_cast<unsigned>(ProcessTag()),
                static_cast<unsigned>(count++));
  return tag;
}

bool IsHex(const std::string& text, std::size_t from, std::size_t to) {
  if (from >= to || to - from > 8) return false;
  for (std::size_t i = from; i < to; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

// Whether `tag` is what UniqueTag makes: "<8 hex>-<1 to 8 hex>".
bool IsOurTag(const std::string& tag) {
  return tag.size() > 9 && tag[8] == '-' && IsHex(tag, 0, 8) && IsHex(tag, 9, tag.size());
}

// The name of the file a temporary of ours in `entry` stands for, or "" when it is none of ours.
std::string TemporaryOf(const std::string& entry) {
  const std::string suffix = kTemporarySuffix;
  if (entry.size() <= suffix.size() || entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) != 0)
    return "";
  const std::string stem = entry.substr(0, entry.size() - suffix.size());
  const std::size_t marker = stem.rfind(kTemporaryMarker);
  if (marker == std::string::npos || marker == 0) return "";
  if (!IsOurTag(stem.substr(marker + std::strlen(kTemporaryMarker)))) return "";
  return stem.substr(0, marker);
}

void RemoveLeftoverTemporaries(Platform& platform, const std::string& name) {
  // Each folder is looked through once a run, not once for each file first written in it: a check writes
  // thousands of reports into one folder, and listing it for each would take time by the square of their
  // number. A temporary that a writer killed later leaves is only removed by a later run.
  static std::mutex mutex;
  // folder -> file name -> the temporaries beside it when the folder was looked through
  static std::map<std::string, std::map<std::string, std::vector<std::string>>> folders;
  const std::size_t slash = name.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
  // Known by its full path: the host may change the current folder between two writes, and a folder given
  // relative to the old one is another folder then.
  const std::string key = platform.FullPath(folder.empty() ? "." : folder);
  std::vector<std::string> entries;
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto found = folders.find(key);
    if (found == folders.end()) {
      found = folders.emplace(key, std::map<std::string, std::vector<std::string>>()).first;
      platform.FindFirstMatch(folder + "*" + kTemporaryMarker + "*" + kTemporarySuffix,
                              [&](const std::string& entry) {
                                const std::string of = TemporaryOf(entry);
                                if (!of.empty()) found->second[of].push_back(entry);
                                return false;
                              });
    }
    auto own = found->second.find(name.substr(folder.size()));
    if (own == found->second.end()) return;
    entries = std::move(own->second);
    found->second.erase(own);
  }
  for (const std::string& entry : entries) {
    const std::string path = folder + entry;
    if (platform.Inspect(path).kind != FileKind::kRegular) continue;
    // Had at once only where its writer is gone; removed while held, so no writer takes it up meanwhile.
    LockFailure why;
    const std::unique_ptr<Platform::Lock> abandoned =
        platform.TakeFileLock(path, std::chrono::milliseconds(0), &why);
    if (abandoned) platform.RemoveFile(path);
  }
}

// A temporary of this writer's own, made afresh and locked for as long as `*held` lives.
std::FILE* CreateTemporary(Platform& platform, const std::string& name, std::string* temp,
                           std::unique_ptr<Platform::Lock>* held) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    *temp = name + kTemporaryMarker + UniqueTag() + kTemporarySuffix;
    if (std::FILE* out = platform.OpenShared(*temp, "wbx")) {
      LockFailure why;
      *held = platform.TakeFileLock(*temp, std::chrono::milliseconds(0), &why);
      return out;
    }
  }
  return nullptr;
}

// --- Writing in place.

// Writes back those of `old`'s bytes that differ in the file now, and cuts the file to `old`'s length.
bool PutBack(Platform& platform, const std::string& name, const std::string& old) {
  std::string now;
  const bool read =
      ReadRaw(platform, name, std::numeric_limits<std::size_t>::max(), &now) == ReadOutcome::kRead;
  std::size_t first = 0, last = old.size();
  if (read) {
    while (first < old.size() && first < now.size() && now[first] == old[first]) ++first;
    while (last > first && last <= now.size() && now[last - 1] == old[last - 1]) --last;
  }
  bool restored = true;
  if (first < last) {
    std::FILE* out = platform.OpenShared(name, "r+b");
    if (!out) return false;
    restored = WriteAt(out, first, old.data() + first, last - first);
    restored = std::fclose(out) == 0 && restored;
  }
  return restored && ((read && now.size() == old.size()) || platform.ResizeFile(name, old.size()));
}

// With `withoutCopy`, a file whose undo file cannot be made (a folder that takes no new file) is written over
// all the same, and *withoutCopy says so.
bool OverwriteInPlace(Platform& platform, const std::string& name, const std::string& content,
                      bool* withoutCopy) {
  const std::string undoName = UndoFileName(name);
  // An undo file still there was not settled (not ours, or its old text could not be put back): it speaks
  // for the file, and a second one cannot be made.
  if (platform.FileExists(undoName)) return false;
  if (!platform.FileExists(name)) {
    // Made with the permissions of any new file, as the swap would have given it. Opened to append, so that
    // a file another program made meanwhile is never cut: one found holding anything is left alone.
    std::FILE* out = platform.OpenShared(name, "ab");
    if (!out) return false;
    if (std::fseek(out, 0, SEEK_END) != 0 || std::ftell(out) != 0) {
      std::fclose(out);
      return false;
    }
    if (WriteAll(out, content)) return true;
    platform.RemoveFile(name);  // nothing stood there, so no fragment shall either
    return false;
  }
  // The old bytes are kept whole on disk before the first of them is touched, and the new ones with them,
  // so that whoever finds the undo file can tell a rewrite cut short from a file changed since.
  std::string old;
  if (ReadRaw(platform, name, std::numeric_limits<std::size_t>::max(), &old) != ReadOutcome::kRead)
    return false;
  const bool copied = WriteUndo(platform, undoName, old, content);
  if (!copied) {
    if (!withoutCopy || platform.FileExists(undoName)) return false;
    *withoutCopy = true;
  }
  // "r+" keeps every old byte until it is written over; "w" would have dropped them all at the open.
  std::FILE* out = platform.OpenShared(name, "r+b");
  if (!out) {
    if (copied) DropUndo(platform, undoName);
    return false;
  }
  // Unbuffered, so that each write below reaches the file in one call: the file is torn on disk for as short
  // a time as it can be, and an editor or a mail attachment that takes it meanwhile finds it so but rarely.
  std::setvbuf(out, nullptr, _IONBF, 0);
  bool written = true;
  // The file is given its new length first: a full disk refuses the new blocks here, while nothing of the old
  // text has been touched yet; overwriting blocks the file already has needs no room.
  if (content.size() > old.size()) {
    written = WriteAt(out, old.size(), content.data() + old.size(), content.size() - old.size());
  }
  written = written && WriteAt(out, 0, content.data(), content.size());
  written = std::fclose(out) == 0 && written;
  if (written && (content.size() >= old.size() || platform.ResizeFile(name, content.size()))) {
    if (copied) DropUndo(platform, undoName);
    return true;
  }
  // Where the old bytes cannot be put back, the undo file stays and the next reader takes them from it.
  if (PutBack(platform, name, old) && copied) DropUndo(platform, undoName);
  return false;
}

}  // namespace

std::string UndoFileName(const std::string& name) { return name + ".undo"; }

std::string SetAsideUndoName(const std::string& name) { return UndoFileName(name) + ".old"; }

void ForgetUndo(Platform& platform, const std::string& name) {
  const std::string undoName = UndoFileName(name);
  const Undo undo = ReadUndo(platform, undoName).state;
  if (undo == Undo::kWhole || undo == Undo::kCut) platform.RemoveFile(undoName);
}

UndoFound SettleUndo(Platform& platform, const std::string& name) {
  const std::string undoName = UndoFileName(name);
  const UndoFile undo = ReadUndo(platform, undoName);
  if (undo.state == Undo::kCut) {
    // Killed while it kept the old bytes, before the file was touched; or emptied where it could not be
    // removed: the file is whole.
    platform.RemoveFile(undoName);
    return UndoFound::kNone;
  }
  if (undo.state != Undo::kWhole) return UndoFound::kNone;
  std::string file;
  const ReadOutcome read = ReadRaw(platform, name, std::numeric_limits<std::size_t>::max(), &file);
  if (read == ReadOutcome::kUnreadable || read == ReadOutcome::kTooLarge) return UndoFound::kNone;
  switch (read == ReadOutcome::kMissing ? Verdict::kChanged : Judge(file, undo)) {
    case Verdict::kOld:
    case Verdict::kNew: DropUndo(platform, undoName); return UndoFound::kNone;
    case Verdict::kMix:
      // Should this be cut short too, what it leaves is still a mix of the same two texts.
      if (PutBack(platform, name, undo.old)) DropUndo(platform, undoName);
      return UndoFound::kRestored;
    case Verdict::kChanged: break;
  }
  // Renamed, not removed: it holds someone's text all the same.
  if (!platform.ReplaceFile(undoName, SetAsideUndoName(name))) return UndoFound::kNone;
  return UndoFound::kSetAside;
}

bool RewriteFile(Platform& platform, const std::string& name, const std::string& content, bool* withoutCopy) {
  if (withoutCopy) *withoutCopy = false;
  const FileKind kind = platform.Inspect(name).kind;
  if (kind == FileKind::kLink || kind == FileKind::kOther) return false;
  RemoveLeftoverTemporaries(platform, name);
  SettleUndo(platform, name);
  std::string temp;
  std::unique_ptr<Platform::Lock> held;
  if (std::FILE* out = CreateTemporary(platform, name, &temp, &held)) {
    const bool written = WriteAll(out, content);
    if (written && platform.ReplaceFile(temp, name)) {
      held.reset();
      // An undo file that could not be settled spoke for the text just replaced.
      if (ReadUndo(platform, UndoFileName(name)).state == Undo::kWhole) DropUndo(platform, UndoFileName(name));
      return true;
    }
    platform.RemoveFile(temp);
    held.reset();
    // The disk took the temporary's bytes no better than it would take the file's.
    if (!written) return false;
  }
  return OverwriteInPlace(platform, name, content, withoutCopy);
}

ReadOutcome ReadFile(Platform& platform, const std::string& name, std::string* out, std::size_t limit,
                     UndoFound* found) {
  if (found) *found = UndoFound::kNone;
  const ReadOutcome read = ReadRaw(platform, name, limit, out);
  // A rewrite in place was cut short, or runs now: the undo file holds the whole text of before. Looked for
  // after the file is read, so that a rewrite that began meanwhile is seen too. Nothing is changed on disk:
  // a writer may be at it.
  if (read != ReadOutcome::kRead) return read;
  const UndoFile undo = ReadUndo(platform, UndoFileName(name));
  if (undo.state != Undo::kWhole) return read;
  switch (Judge(*out, undo)) {
    case Verdict::kOld:
    case Verdict::kNew: break;
    case Verdict::kMix:
      if (undo.old.size() > limit) return ReadOutcome::kTooLarge;
      *out = undo.old;
      if (found) *found = UndoFound::kRestored;
      break;
    case Verdict::kChanged:
      if (found) *found = UndoFound::kSetAside;
      break;
  }
  return read;
}

bool ReadWholeFile(Platform& platform, const std::string& name, std::string* out) {
  std::string text;
  if (ReadFile(platform, name, &text) != ReadOutcome::kRead) return false;
  out->append(text);
  return true;
}

}  // namespace zorvant
