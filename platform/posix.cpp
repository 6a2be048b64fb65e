// POSIX implementation of the platform services, used by the command-line tool and the native tests.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <thread>
#include <utility>

#include "platform/ini_text.h"
#include "platform/platform.h"

namespace zorvant {
namespace {

std::string Slashes(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

// How long a writer waits for another to let go of a lock; a settings write holds it for milliseconds.
constexpr std::chrono::seconds kLockPatience{10};

// flock rather than fcntl locks: those belong to the process, so two threads of one would both get them.
class PosixLock : public Platform::Lock {
 public:
  PosixLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixLock() override {
    // Removed while still held, so that whoever opens the name next makes a new file and locks that.
    unlink(path_.c_str());
    close(fd_);
  }

 private:
  int fd_;
  std::string path_;
};

class PosixPlatform : public Platform {
 public:
  std::string ProfileString(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& def) override {
    return ini::ProfileString(*this, FullPath(file), section, key, def);
  }

  int ProfileInt(const std::string& file, const std::string& section, const std::string& key,
                 int def) override {
    return ini::ProfileInt(*this, FullPath(file), section, key, def);
  }

  bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& value) override {
    return ini::WriteProfileString(*this, FullPath(file), section, key, value);
  }

  std::string FullPath(const std::string& path) override {
    std::string p = Slashes(path);
    if (!p.empty() && p[0] == '/') return p;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return p;
    return std::string(cwd) + "/" + p;
  }

  std::FILE* OpenShared(const std::string& path, const char* mode) override {
    if (path.empty()) return nullptr;
    return std::fopen(Slashes(path).c_str(), mode);
  }

  bool FileExists(const std::string& path) override {
    struct stat st;
    return !path.empty() && stat(Slashes(path).c_str(), &st) == 0;
  }

  bool ReplaceFile(const std::string& from, const std::string& to) override {
    return std::rename(Slashes(from).c_str(), Slashes(to).c_str()) == 0;
  }

  bool ResizeFile(const std::string& path, std::uint64_t size) override {
    return !path.empty() && truncate(Slashes(path).c_str(), static_cast<off_t>(size)) == 0;
  }

  bool RemoveFile(const std::string& path) override { return std::remove(Slashes(path).c_str()) == 0; }

  std::unique_ptr<Lock> TakeLock(const std::string& path) override {
    const std::string p = Slashes(path);
    const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
    for (;;) {
      const int fd = open(p.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
      if (fd < 0) return nullptr;
      if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // The lock counts only on the file still under that name: the holder before may have removed it
        // between this open and this lock.
        struct stat held, named;
        if (fstat(fd, &held) == 0 && stat(p.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
          return std::make_unique<PosixLock>(fd, p);
        }
      } else if (errno != EWOULDBLOCK && errno != EINTR) {
        close(fd);
        return nullptr;
      }
      close(fd);
      if (std::chrono::steady_clock::now() >= deadline) return nullptr;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  std::string FindFirstMatch(const std::string& pattern,
                             const std::function<bool(const std::string&)>& visit) override {
    const std::string p = Slashes(pattern);
    const std::size_t slash = p.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
    const std::string mask = slash == std::string::npos ? p : p.substr(slash + 1);
    DIR* dir = opendir(folder.c_str());
    if (!dir) return "";
    std::string accepted;
    while (dirent* e = readdir(dir)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      // Windows matches names without regard to case.
      if (fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) == 0 && visit(name)) {
        accepted = name;
        break;
      }
    }
    closedir(dir);
    return accepted;
  }

  int UtcHour() override {
    const std::time_t now = std::time(nullptr);
    std::tm tm;
    gmtime_r(&now, &tm);
    return tm.tm_hour;
  }

  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
    std::cerr << (caption.empty() ? "" : caption + ": ") << text << '\n';
  }
};

}  // namespace

Platform& SystemPlatform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace zorvant
