// Win32 implementation of the platform services, used inside Stats.dll and the Windows tests.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <windows.h>
// The platform's member and the ini code share this name with the Windows profile service's macro.
#undef WriteProfileString

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/ini_text.h"
#include "platform/platform.h"

namespace zorvant {
namespace {

// How long a writer waits for another to let go of a lock; a settings write holds it for milliseconds.
constexpr std::chrono::seconds kLockPatience{10};

// The lock is the open file itself: opened with no sharing, so no other thread or process opens it
// meanwhile, and deleted by the system when it is closed, also when its holder ends without closing it.
class Win32Lock : public Platform::Lock {
 public:
  explicit Win32Lock(HANDLE file) : file_(file) {}
  ~Win32Lock() override { CloseHandle(file_); }

 private:
  HANDLE file_;
};

// A stream on a file made here, where no file of that name may be yet; the C runtime's own open cannot say
// that.
std::FILE* CreateNewStream(const std::string& path, const char* mode) {
  const bool update = std::strchr(mode, '+') != nullptr;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE | (update ? GENERIC_READ : 0),
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            /*lpSecurityAttributes=*/nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            /*hTemplateFile=*/nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), std::strchr(mode, 'b') ? _O_BINARY : 0);
  if (fd < 0) {
    CloseHandle(file);
    return nullptr;
  }
  std::string plain;
  for (const char* c = mode; *c; ++c) {
    if (*c != 'x') plain += *c;
  }
  std::FILE* stream = _fdopen(fd, plain.c_str());
  if (!stream) _close(fd);
  return stream;
}

class Win32Platform : public Platform {
 public:
  // The project's own profile code on this platform's file calls, as on POSIX. The Windows services would
  // store a value of 32 767 characters or more as question marks, and keep a parsed file in a cache that a
  // swap within the same tick of the file clock goes unseen by. The files stay as those services write them.
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

  // A relative ini path with a folder in it would otherwise be taken from the Windows folder.
  std::string FullPath(const std::string& path) override {
    char buf[MAX_PATH * 4];
    const DWORD n =
        GetFullPathNameA(path.c_str(), static_cast<DWORD>(sizeof buf), buf, /*lpFilePart=*/nullptr);
    if (n == 0 || n >= sizeof buf) return path;
    return std::string(buf, n);
  }

  std::FILE* OpenShared(const std::string& path, const char* mode) override {
    if (path.empty()) return nullptr;
    if (std::strchr(mode, 'x')) return CreateNewStream(path, mode);
    return _fsopen(path.c_str(), mode, _SH_DENYNO);
  }

  bool FileExists(const std::string& path) override {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  bool ReplaceFile(const std::string& from, const std::string& to) override {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }

  bool ResizeFile(const std::string& path, std::uint64_t size) override {
    // Shared as OpenShared shares, so a file another program keeps open can still be cut.
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                    /*hTemplateFile=*/nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool cut =
        SetFilePointerEx(file, end, /*lpNewFilePointer=*/nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return cut;
  }

  bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != FALSE; }

  std::unique_ptr<Lock> TakeLock(const std::string& path) override {
    const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
    for (;;) {
      HANDLE file =
          CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, /*dwShareMode=*/0,
                      /*lpSecurityAttributes=*/nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, /*hTemplateFile=*/nullptr);
      if (file != INVALID_HANDLE_VALUE) return std::make_unique<Win32Lock>(file);
      const DWORD error = GetLastError();
      // Held, or still being deleted by the holder before; a folder that takes no new file refuses access
      // too, and there no wait helps.
      const bool held =
          error == ERROR_SHARING_VIOLATION ||
          (error == ERROR_ACCESS_DENIED && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES);
      if (!held || std::chrono::steady_clock::now() >= deadline) return nullptr;
      Sleep(1);
    }
  }

  std::string FindFirstMatch(const std::string& pattern,
                             const std::function<bool(const std::string&)>& visit) override {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return "";
    std::string accepted;
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;  // "folder\*" lists them; the POSIX side never does
      if (visit(name)) {
        accepted = name;
        break;
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return accepted;
  }

  int UtcHour() override {
    SYSTEMTIME st;
    GetSystemTime(&st);
    return st.wHour;
  }

  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
    const UINT type = MB_OK | (icon == MessageIcon::kInformation ? MB_ICONINFORMATION : 0);
    MessageBoxA(/*hWnd=*/nullptr, text.c_str(), caption.empty() ? nullptr : caption.c_str(), type);
  }
};

}  // namespace

Platform& SystemPlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace zorvant
