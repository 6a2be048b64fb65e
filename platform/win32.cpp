// Win32 implementation of the platform services, used inside Stats.dll and the Windows tests.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <share.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/platform.h"

namespace zorvant {
namespace {

const DWORD kValueBuffer = 4096;
// Far beyond any value a person types; only a damaged file holds more.
const DWORD kMaxValueBuffer = 1u << 26;

class Win32Platform : public Platform {
 public:
  std::string ProfileString(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& def) override {
    const std::string path = FullPath(file);
    // A value that fills the buffer may have been cut: read again into a larger one until it fits.
    for (DWORD size = kValueBuffer;; size *= 2) {
      std::vector<char> buf(size);
      const DWORD n =
          GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buf.data(), size, path.c_str());
      if (n + 1 < size || size >= kMaxValueBuffer) return std::string(buf.data(), n);
    }
  }

  int ProfileInt(const std::string& file, const std::string& section, const std::string& key,
                 int def) override {
    return static_cast<int>(GetPrivateProfileIntA(section.c_str(), key.c_str(), def, FullPath(file).c_str()));
  }

  bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& value) override {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), FullPath(file).c_str()) !=
           FALSE;
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
