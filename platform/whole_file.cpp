#include "platform/whole_file.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>

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

// Differs between processes and, through the count, between the writers of one process, so two writers of
// the same file (two exports in one station folder, say) never share a temporary.
std::string UniqueTag() {
  static const std::uint32_t process = [] {
    const auto ticks =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::uint32_t seed = static_cast<std::uint32_t>(ticks * 2654435761u);
    try {
      seed ^= std::random_device()();
    } catch (...) {
      // No source of entropy: the clock alone still tells most processes apart, and a clash only costs a
      // second try, since a temporary is only ever made where no file is.
    }
    return seed;
  }();
  static std::atomic<std::uint32_t> count{0};
  char tag[32];
  std::snprintf(tag, sizeof tag, "%08x-%u", static_cast<unsigned>(process), static_cast<unsigned>(count++));
  return tag;
}

std::FILE* CreateTemporary(Platform& platform, const std::string& name, std::string* temp) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    *temp = name + "." + UniqueTag() + ".tmp";
    if (std::FILE* out = platform.OpenShared(*temp, "wbx")) return out;
  }
  return nullptr;
}

// Writes back those of `old`'s bytes that differ in the file now, and cuts the file to `old`'s length.
bool PutBack(Platform& platform, const std::string& name, const std::string& old) {
  std::string now;
  const bool read = ReadWholeFile(platform, name, &now);
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

bool OverwriteInPlace(Platform& platform, const std::string& name, const std::string& content) {
  if (!platform.FileExists(name)) {
    std::FILE* out = platform.OpenShared(name, "wbx");
    if (!out) return false;
    if (WriteAll(out, content)) return true;
    platform.RemoveFile(name);  // nothing stood there, so no fragment shall either
    return false;
  }
  std::string old;
  if (!ReadWholeFile(platform, name, &old)) return false;
  // "r+" keeps every old byte until it is written over; "w" would have dropped them all at the open.
  std::FILE* out = platform.OpenShared(name, "r+b");
  if (!out) return false;
  const std::size_t common = std::min(old.size(), content.size());
  // A full disk refuses the new blocks here, while nothing of the old text has been touched yet; overwriting
  // blocks the file already has needs no room.
  if (content.size() > old.size() &&
      !WriteAt(out, old.size(), content.data() + common, content.size() - common)) {
    std::fclose(out);
    platform.ResizeFile(name, old.size());
    return false;
  }
  bool written = WriteAt(out, 0, content.data(), common);
  written = std::fclose(out) == 0 && written;
  if (written && (content.size() >= old.size() || platform.ResizeFile(name, content.size()))) return true;
  PutBack(platform, name, old);
  return false;
}

}  // namespace

bool RewriteFile(Platform& platform, const std::string& name, const std::string& content) {
  std::string temp;
  if (std::FILE* out = CreateTemporary(platform, name, &temp)) {
    const bool written = WriteAll(out, content);
    if (written && platform.ReplaceFile(temp, name)) return true;
    platform.RemoveFile(temp);
    // The disk took the temporary's bytes no better than it would take the file's.
    if (!written) return false;
  }
  return OverwriteInPlace(platform, name, content);
}

bool ReadWholeFile(Platform& platform, const std::string& name, std::string* out) {
  std::FILE* in = platform.OpenShared(name, "rb");
  if (!in) return false;
  char buf[8192];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) out->append(buf, n);
  const bool ok = !std::ferror(in);
  std::fclose(in);
  return ok;
}

}  // namespace zorvant
