// POSIX implementation of the platform services, used by the command-line tool and the native tests.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <thread>
#include <utility>

#include "platform/platform.h"

namespace zorvant {
namespace {

// A pause of the lock's waiter longer than this is the machine's doing, not the holder's.
constexpr std::chrono::milliseconds kStall{20};

std::string Slashes(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

// Read once, while the program is still single-threaded: umask can only be read by setting it.
const mode_t kUmask = [] {
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}();

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

// The byte the lock on a file itself covers: far past any text of ours, so no read or write of the file meets
// it, and the one Wine's LockFileEx of the Windows build takes, so that both builds exclude each other.
constexpr off_t kFileLockByte = 0x7FFFFFF0;

// An open-file-description lock rather than a process's fcntl lock: closing any other descriptor of the file
// (every read of it does) would let a process's lock go, and two threads of one would both get it.
bool LockByte(int fd, short type) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = kFileLockByte;
  range.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &range) == 0;
}

class PosixFileLock : public Platform::Lock {
 public:
  explicit PosixFileLock(int fd) : fd_(fd) {}
  ~PosixFileLock() override {
    LockByte(fd_, F_UNLCK);
    close(fd_);
  }

 private:
  int fd_;
};

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Who holds a lock: the process (of this build's kind: a Windows build's process ids are others), its host
// and when it took the lock, different for every taking. A waiter that reads the same text for the whole wait
// met one holder that kept it; one that reads new texts met a lock passing from holder to holder, whatever
// the clocks or the file system's time stamps tell.
const char kHolderKind[] = "posix";

const std::string& HostName() {
  static const std::string host = [] {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return std::string("?");
    return std::string(name);
  }();
  return host;
}

std::string HolderText() {
  static std::uint32_t takings = 0;
  timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return "pid " + std::to_string(getpid()) + " " + kHolderKind + " on " + HostName() + ", taken " +
         std::to_string(now.tv_sec) + "." + std::to_string(now.tv_nsec) + " #" +
         std::to_string(__atomic_add_fetch(&takings, 1, __ATOMIC_RELAXED)) + "\n";
}

// The process named by a holder's text where it runs on this host and in this build's kind, else 0.
pid_t LocalHolder(const std::string& text) {
  long pid = 0;
  char kind[16] = {}, host[256] = {};
  if (std::sscanf(text.c_str(), "pid %ld %15s on %255[^,],", &pid, kind, host) != 3) return 0;
  // This process's own progress tells nothing of the thread that holds the lock.
  if (pid <= 0 || pid > INT32_MAX || pid == getpid() || std::strcmp(kind, kHolderKind) != 0 ||
      HostName() != host) {
    return 0;
  }
  return static_cast<pid_t>(pid);
}

// How far a process has got: the processor time it has had, and whether it waits for a processor (or a
// disk) rather than for something that may never come. Read from /proc, where there is one.
struct Progress {
  bool known = false;
  bool running = false;
  unsigned long long ticks = 0;
};

Progress ProgressOf(pid_t pid) {
  Progress p;
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%ld/stat", static_cast<long>(pid));
  std::FILE* in = std::fopen(path, "r");
  if (!in) return p;
  char buf[1024];
  const std::size_t n = std::fread(buf, 1, sizeof buf - 1, in);
  std::fclose(in);
  buf[n] = '\0';
  // The command's name may hold anything: the fields that follow start after its last parenthesis.
  const char* after = std::strrchr(buf, ')');
  char state = 0;
  unsigned long long user = 0, system = 0;
  if (!after || std::sscanf(after + 1, " %c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &state, &user,
                            &system) != 3) {
    return p;
  }
  p.known = true;
  p.running = state == 'R' || state == 'D';
  p.ticks = user + system;
  return p;
}

// The lock file as a waiter last found it held: the file itself and what its holder wrote into it.
struct Holder {
  struct stat file {};
  std::string text;
  bool operator==(const Holder& o) const {
    return SameFile(file, o.file) && file.st_ctim.tv_sec == o.file.st_ctim.tv_sec &&
           file.st_ctim.tv_nsec == o.file.st_ctim.tv_nsec && text == o.text;
  }
};

std::string HolderTextIn(int fd) {
  char buf[512];
  const ssize_t n = pread(fd, buf, sizeof buf, 0);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

// Opens the lock file as it stands, never through a link: read-write, or for reading where it may not be
// written (flock takes either). -1 with errno set when it cannot be opened.
int OpenLockFile(const std::string& path) {
  // Non-blocking, so that a pipe of that name cannot hold the open.
  const int flags = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
  int fd = open(path.c_str(), O_RDWR | O_CREAT | flags, 0666);
  if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)) {
    fd = open(path.c_str(), O_RDONLY | flags);
  }
  return fd;
}

class PosixPlatform : public Platform {
 public:
  std::string FullPath(const std::string& path) override {
    std::string p = Slashes(path);
    if (!p.empty() && p[0] == '/') return p;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return p;
    return std::string(cwd) + "/" + p;
  }

  std::FILE* OpenShared(const std::string& path, const char* mode) override {
    if (path.empty() || !mode[0]) return nullptr;
    const char kind = mode[0];
    bool update = false, exclusive = false;
    std::string plain(1, kind);
    for (const char* c = mode + 1; *c; ++c) {
      if (*c == '+') update = true;
      if (*c == 'x') {
        exclusive = true;
      } else {
        plain += *c;
      }
    }
    int flags = O_CLOEXEC | O_NONBLOCK;  // a pipe of that name cannot hold the open
    if (kind == 'r') {
      flags |= update ? O_RDWR : O_RDONLY;
    } else if (kind == 'w' || kind == 'a') {
      flags |=
          (update ? O_RDWR : O_WRONLY) | O_CREAT | (kind == 'a' ? O_APPEND : 0) | (exclusive ? O_EXCL : 0);
    } else {
      return nullptr;
    }
    if (kind != 'r' || update) flags |= O_NOFOLLOW;
    // A file made afresh is its owner's alone until ReplaceFile gives it the permissions it is to have.
    const int fd = open(Slashes(path).c_str(), flags, exclusive ? 0600 : 0666);
    if (fd < 0) return nullptr;
    struct stat st;
    // Only now that it is known to be a plain file is it cut: "w" on a device would have reached the device.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (kind == 'w' && !exclusive && ftruncate(fd, 0) != 0) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
      close(fd);
      return nullptr;
    }
    std::FILE* stream = fdopen(fd, plain.c_str());
    if (!stream) close(fd);
    return stream;
  }

  bool FileExists(const std::string& path) override {
    struct stat st;
    return !path.empty() && stat(Slashes(path).c_str(), &st) == 0;
  }

  FileFacts Inspect(const std::string& path) override {
    FileFacts facts;
    struct stat st;
    if (path.empty() || lstat(Slashes(path).c_str(), &st) != 0) return facts;
    facts.kind = S_ISREG(st.st_mode)   ? FileKind::kRegular
                 : S_ISLNK(st.st_mode) ? FileKind::kLink
                                       : FileKind::kOther;
    facts.modified = static_cast<std::int64_t>(st.st_mtime);
    return facts;
  }

  bool ReplaceFile(const std::string& from, const std::string& to) override {
    const std::string source = Slashes(from), target = Slashes(to);
    struct stat st;
    const mode_t mode =
        lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? (st.st_mode & 07777) : (0666 & ~kUmask);
    if (chmod(source.c_str(), mode) != 0) return false;
    return std::rename(source.c_str(), target.c_str()) == 0;
  }

  bool ResizeFile(const std::string& path, std::uint64_t size) override {
    if (path.empty()) return false;
    const int fd = open(Slashes(path).c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    const bool cut =
        fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ftruncate(fd, static_cast<off_t>(size)) == 0;
    close(fd);
    return cut;
  }

  // unlink, never rmdir: a folder of that name is no file of ours.
  bool RemoveFile(const std::string& path) override {
    return !path.empty() && unlink(Slashes(path).c_str()) == 0;
  }

  std::unique_ptr<Lock> TakeLock(const std::string& path, std::chrono::milliseconds wait,
                                 LockFailure* why) override {
    const std::string p = Slashes(path);
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + wait * kLockWaitRounds;
    auto holderEnd = start + wait;
    auto lastLook = start;  // when this waiter last looked, to tell how long it was kept from running
    Holder holder;  // as last found: a new file or a new text means the lock changed hands
    Progress holderProgress;
    *why = LockFailure::kNone;
    for (;;) {
      const int fd = OpenLockFile(p);
      if (fd < 0) {
        *why = errno == ELOOP || errno == EISDIR || errno == ENXIO ? LockFailure::kNotAFile
                                                                   : LockFailure::kUnavailable;
        return nullptr;
      }
      struct stat held;
      if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
        close(fd);
        *why = LockFailure::kNotAFile;
        return nullptr;
      }
      if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // The lock counts only on the file still under that name: the holder before may have removed it
        // between this open and this lock.
        struct stat named;
        if (lstat(p.c_str(), &named) == 0 && SameFile(held, named)) {
          const std::string text = HolderText();
          const bool told = ftruncate(fd, 0) == 0 &&
                            pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
          (void)told;  // a lock file that may only be read serves without it: its waiters go by the file alone
          return std::make_unique<PosixLock>(fd, p);
        }
      } else if (errno != EWOULDBLOCK && errno != EINTR) {
        close(fd);
        *why = LockFailure::kUnavailable;
        return nullptr;
      }
      Holder found{held, HolderTextIn(fd)};
      close(fd);
      const auto now = std::chrono::steady_clock::now();
      // A holder of this host that has had the processor since, or waits for it, is no hung one: on a loaded
      // machine a live writer may wait longer than `wait` for its turn to run.
      Progress progress;
      if (const pid_t pid = LocalHolder(found.text)) progress = ProgressOf(pid);
      const bool moved = progress.known && (progress.running || progress.ticks != holderProgress.ticks);
      if (!(found == holder) || moved) {
        holder = std::move(found);
        holderProgress = progress;
        holderEnd = now + wait;
      }
      // Time this waiter itself was kept from running is no silence of the holder's: on a machine that
      // loaded, the holder was most likely kept from running too.
      const auto gap = now - lastLook;
      if (gap > kStall) holderEnd += gap - kStall;
      if (now >= holderEnd || now >= end) {
        *why = LockFailure::kBusy;
        return nullptr;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      lastLook = std::chrono::steady_clock::now();
    }
  }

  std::unique_ptr<Lock> TakeFileLock(const std::string& path, std::chrono::milliseconds wait,
                                     LockFailure* why) override {
    const std::string p = Slashes(path);
    const auto end = std::chrono::steady_clock::now() + wait;
    *why = LockFailure::kNone;
    for (;;) {
      // Written to take a write lock, never made: a missing file has nobody to lock it.
      const int fd = open(p.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
      if (fd < 0) {
        *why = errno == ELOOP || errno == EISDIR || errno == ENXIO ? LockFailure::kNotAFile
                                                                   : LockFailure::kUnavailable;
        return nullptr;
      }
      struct stat held;
      if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
        close(fd);
        *why = LockFailure::kNotAFile;
        return nullptr;
      }
      if (LockByte(fd, F_WRLCK)) {
        // A swap may have put another file at the name meanwhile: the lock counts on the one named so now.
        struct stat named;
        if (lstat(p.c_str(), &named) == 0 && SameFile(held, named)) return std::make_unique<PosixFileLock>(fd);
      } else if (errno != EAGAIN && errno != EACCES && errno != EINTR) {
        close(fd);
        *why = LockFailure::kUnavailable;
        return nullptr;
      }
      close(fd);
      if (std::chrono::steady_clock::now() >= end) {
        *why = LockFailure::kBusy;
        return nullptr;
      }
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

  std::uint32_t ProcessId() override { return static_cast<std::uint32_t>(getpid()); }

  bool ProcessRunning(std::uint32_t pid) override {
    if (pid == 0 || pid > static_cast<std::uint32_t>(INT32_MAX)) return false;
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
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
