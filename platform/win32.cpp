// Win32 implementation of the platform services, used inside Stats.dll and the Windows tests.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/file_names.h"
#include "platform/platform.h"

namespace zorvant {
namespace {

// A pause of the lock's waiter longer than this is the machine's doing, not the holder's.
constexpr std::chrono::milliseconds kStall{20};

// Every open shares reading, writing and deleting, so that one program's read never refuses another's
// write, nor a swap's rename the reads that follow it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// How long an open waits out another program's sharing, and a swap another program's open: a reader or a
// virus scanner has a file open for a few milliseconds at a time.
constexpr std::chrono::milliseconds kSharingPatience{50};

bool IsLinkOrFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0;
}

// The byte the lock on a file itself covers: far past any text of ours, so that no read or write of the file
// meets it (Windows locks are enforced on reads and writes), and the one the POSIX build locks.
constexpr DWORD kFileLockByte = 0x7FFFFFF0;

bool LockRange(HANDLE file, DWORD offset, DWORD length) {
  OVERLAPPED at = {};
  at.Offset = offset;
  return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, /*dwReserved=*/0, length, 0, &at);
}

void UnlockRange(HANDLE file, DWORD offset, DWORD length) {
  OVERLAPPED at = {};
  at.Offset = offset;
  UnlockFileEx(file, /*dwReserved=*/0, length, 0, &at);
}

bool LockByte(HANDLE file) { return LockRange(file, kFileLockByte, 1); }

// The bytes after it are seats of the lock file's waiters, one each. A waiter sits on one for as long as it
// waits, and whoever comes while a seat is taken waits too rather than take the lock it finds free: else a
// writer that has just let the lock go takes it again before a waiter wakes from its sleep, and under Wine a
// waiter could lose that race for seconds.
constexpr DWORD kFirstSeat = kFileLockByte + 1;
constexpr DWORD kSeats = 14;

// Looks at one seat at a time, and shares it while looking: a waiter taking its seat meanwhile finds another
// free, and two newcomers looking at once do not take each other for waiters.
bool SomeoneWaits(HANDLE file) {
  for (DWORD seat = 0; seat < kSeats; ++seat) {
    OVERLAPPED at = {};
    at.Offset = kFirstSeat + seat;
    if (!LockFileEx(file, LOCKFILE_FAIL_IMMEDIATELY, /*dwReserved=*/0, 1, 0, &at)) {
      const DWORD error = GetLastError();
      if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return true;
      continue;
    }
    UnlockFileEx(file, /*dwReserved=*/0, 1, 0, &at);
  }
  return false;
}

// A seat of the lock file `name`, on a handle of its own: the attempts at the lock open and close the file,
// and closing a handle lets its locks go. Closed (and the seat let go) when the waiting ends, or by the
// system when the waiter does. With every seat taken for the moment, the waiter tries again at its next look.
class Seat {
 public:
  ~Seat() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  // Has waited, seated or not: no newcomer any more.
  bool waited() const { return waited_; }
  void Take(const std::wstring& name) {
    waited_ = true;
    if (seated_) return;
    if (file_ == INVALID_HANDLE_VALUE) {
      file_ = CreateFileW(name.c_str(), GENERIC_READ, kShareAll, /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING,
                          FILE_FLAG_OPEN_REPARSE_POINT, /*hTemplateFile=*/nullptr);
      if (file_ == INVALID_HANDLE_VALUE) return;
    }
    for (DWORD seat = 0; seat < kSeats && !seated_; ++seat) seated_ = LockRange(file_, kFirstSeat + seat, 1);
  }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  bool waited_ = false;
  bool seated_ = false;
};

class Win32FileLock : public Platform::Lock {
 public:
  explicit Win32FileLock(HANDLE file) : file_(file) {}
  ~Win32FileLock() override {
    UnlockRange(file_, kFileLockByte, 1);
    CloseHandle(file_);
  }

 private:
  HANDLE file_;
};

const std::string& HostName() {
  static const std::string host = [] {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? std::string(name, size) : std::string("?");
  }();
  return host;
}

// The processor time the process named by a holder's text has had, where it runs on this host as a Windows
// process; -1 where that cannot be told (another host, a POSIX build's process, a process ended). Summed
// over its threads: Wine keeps a process's own times only as of its last call to the server, and a thread's
// as the system counts them. Takes milliseconds or more on a busy machine, so it is asked seldom.
std::int64_t HolderProcessorTime(const std::string& text) {
  unsigned long pid = 0;
  char kind[16] = {}, host[256] = {};
  if (std::sscanf(text.c_str(), "pid %lu %15s on %255[^,],", &pid, kind, host) != 3 ||
      std::strcmp(kind, "windows") != 0 || HostName() != host || pid == GetCurrentProcessId()) {
    return -1;  // this process's own progress tells nothing of the thread that holds the lock
  }
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  std::int64_t time = -1;
  THREADENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != pid) continue;
    HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, /*bInheritHandle=*/FALSE, entry.th32ThreadID);
    FILETIME created, exited, kernel, user;
    if (thread && GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
      time = std::max<std::int64_t>(time, 0) +
             static_cast<std::int64_t>((std::uint64_t{kernel.dwHighDateTime} << 32 | kernel.dwLowDateTime) +
                                       (std::uint64_t{user.dwHighDateTime} << 32 | user.dwLowDateTime));
    }
    if (thread) CloseHandle(thread);
  }
  CloseHandle(snapshot);
  return time;
}

// Who holds a lock: the process, its host and when it took the lock, different for every taking. A waiter
// that reads the same for the whole wait met one holder that kept it; one that reads something new met a lock
// passing from holder to holder, whatever the clocks or the file system's time stamps tell.
void TellHolder(HANDLE file) {
  static LONG takings = 0;
  const std::string& host = HostName();
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  char text[160];
  const int n = std::snprintf(text, sizeof text, "pid %lu windows on %s, taken %08lx%08lx #%ld\r\n",
                              static_cast<unsigned long>(GetCurrentProcessId()), host.c_str(),
                              static_cast<unsigned long>(now.dwHighDateTime),
                              static_cast<unsigned long>(now.dwLowDateTime),
                              static_cast<long>(InterlockedIncrement(&takings)));
  DWORD written = 0;
  OVERLAPPED at = {};  // from the start, whatever an earlier holder left
  // A lock file that cannot be written serves without it: its waiters go by its times alone.
  if (n > 0 && WriteFile(file, text, static_cast<DWORD>(n), &written, &at)) {
    LARGE_INTEGER end;
    end.QuadPart = n;
    if (SetFilePointerEx(file, end, /*lpNewFilePointer=*/nullptr, FILE_BEGIN)) SetEndOfFile(file);
  }
}

// What the holder of the lock file open as `file` wrote into it, after the file's times (which tell an older
// version's holder, who writes nothing, from the next).
std::string TimesText(const FILETIME& created, const FILETIME& written) {
  char times[40];
  std::snprintf(times, sizeof times, "%08lx%08lx %08lx%08lx ", static_cast<unsigned long>(created.dwHighDateTime),
                static_cast<unsigned long>(created.dwLowDateTime), static_cast<unsigned long>(written.dwHighDateTime),
                static_cast<unsigned long>(written.dwLowDateTime));
  return times;
}

std::string HolderOf(HANDLE file, std::string* text) {
  std::string found;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file, &info)) found = TimesText(info.ftCreationTime, info.ftLastWriteTime);
  char buf[256];
  DWORD n = 0;
  OVERLAPPED at = {};
  if (ReadFile(file, buf, sizeof buf, &n, &at)) text->assign(buf, n);
  return found + *text;
}

// The same for a lock file this process cannot open, held by an older version that shares it with nobody.
std::string HolderOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WideName(path).c_str(), GetFileExInfoStandard, &data)) return "";
  return TimesText(data.ftCreationTime, data.ftLastWriteTime);
}

bool IsPlainFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
         !IsLinkOrFolder(info.dwFileAttributes);
}

// CreateFileW, tried again while another program's sharing refuses it.
HANDLE CreateSharedFile(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
  const std::wstring name = WideName(path);
  const auto deadline = std::chrono::steady_clock::now() + kSharingPatience;
  for (;;) {
    HANDLE file = CreateFileW(name.c_str(), access, kShareAll, /*lpSecurityAttributes=*/nullptr, disposition,
                              flags, /*hTemplateFile=*/nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION ||
        std::chrono::steady_clock::now() >= deadline) {
      return file;
    }
    Sleep(1);
  }
}

class Win32Platform : public Platform {
 public:
  // A relative ini path with a folder in it would otherwise be taken from the Windows folder.
  std::string FullPath(const std::string& path) override {
    wchar_t buf[MAX_PATH * 4];
    const DWORD n =
        GetFullPathNameW(WideName(path).c_str(), static_cast<DWORD>(sizeof buf / sizeof buf[0]), buf,
                         /*lpFilePart=*/nullptr);
    if (n == 0 || n >= sizeof buf / sizeof buf[0]) return path;
    return Utf8Text(buf, n);
  }

  // CreateFileW rather than the C runtime's open, whose sharing modes never share deleting: a swap would then
  // be refused while anyone reads, and a read refused while a swap is under way.
  std::FILE* OpenShared(const std::string& path, const char* mode) override {
    if (path.empty() || !mode[0]) return nullptr;
    const char kind = mode[0];
    bool update = false, exclusive = false, binary = false;
    std::string plain(1, kind);
    for (const char* c = mode + 1; *c; ++c) {
      if (*c == '+') update = true;
      if (*c == 'b') binary = true;
      if (*c == 'x') {
        exclusive = true;
      } else {
        plain += *c;
      }
    }
    DWORD access = 0, disposition = 0;
    int crtFlags = binary ? _O_BINARY : _O_TEXT;
    if (kind == 'r') {
      access = GENERIC_READ | (update ? GENERIC_WRITE : 0);
      disposition = OPEN_EXISTING;
      if (!update) crtFlags |= _O_RDONLY;
    } else if (kind == 'w' || kind == 'a') {
      access = GENERIC_WRITE | (update ? GENERIC_READ : 0);
      disposition = exclusive ? CREATE_NEW : OPEN_ALWAYS;
      if (kind == 'a') crtFlags |= _O_APPEND;
    } else {
      return nullptr;
    }
    const bool writes = kind != 'r' || update;
    // Never written through a link.
    if (writes && !exclusive && IsLinkOrFolder(GetFileAttributesW(WideName(path).c_str()))) return nullptr;
    HANDLE file = CreateSharedFile(path, access, disposition,
                                   FILE_ATTRIBUTE_NORMAL | (writes ? FILE_FLAG_OPEN_REPARSE_POINT : 0));
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    // Cut only once it is known to be a plain file.
    if (!IsPlainFile(file) || (kind == 'w' && !exclusive && !SetEndOfFile(file))) {
      CloseHandle(file);
      return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), crtFlags);
    if (fd < 0) {
      CloseHandle(file);
      return nullptr;
    }
    std::FILE* stream = _fdopen(fd, plain.c_str());
    if (!stream) _close(fd);
    return stream;
  }

  bool FileExists(const std::string& path) override {
    return !path.empty() && GetFileAttributesW(WideName(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  FileFacts Inspect(const std::string& path) override {
    FileFacts facts;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExW(WideName(path).c_str(), GetFileExInfoStandard, &data))
      return facts;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      facts.kind = FileKind::kLink;
    } else if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
      facts.kind = FileKind::kOther;
    } else {
      facts.kind = FileKind::kRegular;
    }
    ULARGE_INTEGER t;
    t.LowPart = data.ftLastWriteTime.dwLowDateTime;
    t.HighPart = data.ftLastWriteTime.dwHighDateTime;
    // 100-nanosecond ticks since 1601.
    facts.modified = static_cast<std::int64_t>(t.QuadPart / 10000000ull) - 11644473600ll;
    return facts;
  }

  bool ReplaceFile(const std::string& from, const std::string& to) override {
    // The attributes a rename would drop; the rest come with the new file.
    const std::wstring wideFrom = WideName(from), wideTo = WideName(to);
    const DWORD old = GetFileAttributesW(wideTo.c_str());
    if (old != INVALID_FILE_ATTRIBUTES && !IsLinkOrFolder(old)) {
      const DWORD keep =
          old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
      if (keep) SetFileAttributesW(wideFrom.c_str(), keep | FILE_ATTRIBUTE_ARCHIVE);
    }
    // A file anyone has open is not replaced (whatever that one shares, under Wine): a reader lets go within
    // milliseconds. A read-only file or a folder never lets it, and is not waited for.
    const bool mayWait =
        old == INVALID_FILE_ATTRIBUTES || !(old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
    const auto deadline = std::chrono::steady_clock::now() + kSharingPatience;
    for (;;) {
      if (MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
      const DWORD error = GetLastError();
      if (!mayWait || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
          std::chrono::steady_clock::now() >= deadline) {
        return false;
      }
      Sleep(1);
    }
  }

  bool ResizeFile(const std::string& path, std::uint64_t size) override {
    // Shared as OpenShared shares, so a file another program keeps open can still be cut.
    HANDLE file = CreateSharedFile(path, GENERIC_WRITE, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool cut = IsPlainFile(file) &&
                     SetFilePointerEx(file, end, /*lpNewFilePointer=*/nullptr, FILE_BEGIN) &&
                     SetEndOfFile(file);
    CloseHandle(file);
    return cut;
  }

  bool RemoveFile(const std::string& path) override { return DeleteFileW(WideName(path).c_str()) != FALSE; }

  std::unique_ptr<Lock> TakeLock(const std::string& path, std::chrono::milliseconds wait,
                                 LockFailure* why) override {
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + wait * kLockWaitRounds;
    auto holderEnd = start + wait;
    auto lastLook = start;  // when this waiter last looked, to tell how long it was kept from running
    // The lock file as last found held, by its times and by what its holder wrote into it: each holder tells
    // who it is.
    std::string holder;
    std::int64_t holderRan = -1;
    auto nextLook = holderEnd;  // when to look again how far the holder has got
    int refusedAndGone = 0;
    *why = LockFailure::kNone;
    const std::wstring name = WideName(path);
    Seat seat;
    for (;;) {
      // The lock is a byte of the file, which the system lets go when its holder ends. The file stays, shared
      // with all: deleting it would leave it pending while a waiter has it open, and nobody could take it.
      HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                /*lpSecurityAttributes=*/nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_OPEN_REPARSE_POINT, /*hTemplateFile=*/nullptr);
      DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
      bool writable = error == ERROR_SUCCESS;
      if (error == ERROR_ACCESS_DENIED) {
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (IsLinkOrFolder(attributes)) {
          *why = LockFailure::kNotAFile;
          return nullptr;
        }
        // A lock file left read-only, or one we may not write: a byte of it locks all the same. Gone
        // altogether, an older version's holder was deleting it a moment ago; still gone after a few tries,
        // the folder takes no new file, and nobody holds it: that is no lock to wait for.
        if (attributes != INVALID_FILE_ATTRIBUTES) {
          refusedAndGone = 0;
          file = CreateFileW(name.c_str(), GENERIC_READ, kShareAll, /*lpSecurityAttributes=*/nullptr,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, /*hTemplateFile=*/nullptr);
          error = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
          if (error == ERROR_ACCESS_DENIED) error = ERROR_SHARING_VIOLATION;  // being deleted
        } else if (++refusedAndGone < 20) {
          Sleep(1);
          continue;
        } else {
          *why = LockFailure::kUnavailable;
          return nullptr;
        }
      } else {
        refusedAndGone = 0;
      }
      std::string text, found;
      if (file != INVALID_HANDLE_VALUE) {
        if (!IsPlainFile(file)) {
          CloseHandle(file);
          *why = LockFailure::kNotAFile;
          return nullptr;
        }
        // A newcomer waits its turn behind those already waiting; a waiter takes the lock when it is free.
        if (!seat.waited() && SomeoneWaits(file)) {
          SetLastError(ERROR_LOCK_VIOLATION);
        } else if (LockByte(file)) {
          if (writable) TellHolder(file);
          return std::make_unique<Win32FileLock>(file);
        }
        error = GetLastError();
        if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
          error = ERROR_SHARING_VIOLATION;
          found = HolderOf(file, &text);
        }
        CloseHandle(file);
      } else if (error == ERROR_SHARING_VIOLATION) {
        found = HolderOf(path);  // an older version's holder, who shares it with nobody
      }
      if (error != ERROR_SHARING_VIOLATION) {
        *why = LockFailure::kUnavailable;
        return nullptr;
      }
      seat.Take(name);
      const auto now = std::chrono::steady_clock::now();
      if (found != holder) {
        holder = std::move(found);
        holderRan = -1;
        holderEnd = now + wait;
        nextLook = now + wait / 4;
      } else if (now >= nextLook) {
        // A holder of this host that has had the processor since the last look is no hung one: on a loaded
        // machine a live writer may wait longer than `wait` for its turn to run.
        const std::int64_t ran = HolderProcessorTime(text);
        if (ran >= 0 && holderRan >= 0 && ran != holderRan) holderEnd = now + wait;
        holderRan = ran;
        nextLook = now + wait / 4;
      }
      // Time this waiter itself was kept from running is no silence of the holder's: on a machine that
      // loaded, the holder was most likely kept from running too.
      const auto gap = now - lastLook;
      if (gap > kStall) holderEnd += gap - kStall;
      if (now >= holderEnd || now >= end) {
        *why = LockFailure::kBusy;
        return nullptr;
      }
      Sleep(1);
      lastLook = std::chrono::steady_clock::now();
    }
  }

  std::unique_ptr<Lock> TakeFileLock(const std::string& path, std::chrono::milliseconds wait,
                                     LockFailure* why) override {
    const auto end = std::chrono::steady_clock::now() + wait;
    *why = LockFailure::kNone;
    if (IsLinkOrFolder(GetFileAttributesW(WideName(path).c_str()))) {
      *why = LockFailure::kNotAFile;
      return nullptr;
    }
    // Shared as every open of ours is, so that the file is read and written beside the lock as ever.
    HANDLE file = CreateSharedFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
    if (file == INVALID_HANDLE_VALUE) {
      *why = LockFailure::kUnavailable;
      return nullptr;
    }
    if (!IsPlainFile(file)) {
      CloseHandle(file);
      *why = LockFailure::kNotAFile;
      return nullptr;
    }
    for (;;) {
      if (LockByte(file)) return std::make_unique<Win32FileLock>(file);
      const DWORD error = GetLastError();
      if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
        CloseHandle(file);
        *why = LockFailure::kUnavailable;
        return nullptr;
      }
      if (std::chrono::steady_clock::now() >= end) {
        CloseHandle(file);
        *why = LockFailure::kBusy;
        return nullptr;
      }
      Sleep(1);
    }
  }

  std::string FindFirstMatch(const std::string& pattern,
                             const std::function<bool(const std::string&)>& visit) override {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(WideName(pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return "";
    std::string accepted;
    do {
      const std::string name = Utf8Text(data.cFileName, wcslen(data.cFileName));
      if (name == "." || name == "..") continue;  // "folder\*" lists them; the POSIX side never does
      if (visit(name)) {
        accepted = name;
        break;
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return accepted;
  }

  std::uint32_t ProcessId() override { return GetCurrentProcessId(); }

  bool ProcessRunning(std::uint32_t pid) override {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, /*bInheritHandle=*/FALSE, pid);
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;  // there, but not ours to look at
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
  }

  int UtcHour() override {
    SYSTEMTIME st;
    GetSystemTime(&st);
    return st.wHour;
  }

  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
    const UINT type = MB_OK | (icon == MessageIcon::kInformation ? MB_ICONINFORMATION : 0);
    MessageBoxW(/*hWnd=*/nullptr, WideName(text).c_str(),
                caption.empty() ? nullptr : WideName(caption).c_str(), type);
  }
};

}  // namespace

Platform& SystemPlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace zorvant
