// The few operating-system services the engine needs. The engine talks only to this interface, so the same
// code runs inside the DLL (Win32 implementation), in the native command-line tool and tests (POSIX), and
// against failure-injecting fakes in tests.
#ifndef ZORVANT_PLATFORM_PLATFORM_H_
#define ZORVANT_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace zorvant {

enum class MessageIcon { kNone, kInformation };

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Private-profile (ini) files. `file` is a path as the program names it ("Plugins\ZORVANT.ini"); each
  // implementation resolves it against the current folder (FullPath) so every platform reads the same file.
  // Semantics follow the Windows private-profile services: case-insensitive section and key names, trimmed
  // names and values, one pair of matching quotes stripped, first duplicate wins, CR LF on write. Every
  // platform reads and writes through the same code (platform/ini_text.h), so both builds keep a value of
  // any length whole, and the files stay readable by the Windows services.

  // The value of `key`, or `def` (trailing blanks stripped) when the file, section or key is missing.
  virtual std::string ProfileString(const std::string& file, const std::string& section,
                                    const std::string& key, const std::string& def) = 0;
  // The integer at the start of the value as GetPrivateProfileInt reads it ("12abc" is 12, "abc" is 0, and
  // "0x1f" is 31); `def` when missing or empty. The plug-in's own settings numbers are plain decimal and are
  // read from ProfileString instead.
  virtual int ProfileInt(const std::string& file, const std::string& section, const std::string& key,
                         int def) = 0;
  // Creates the file, the section or the key as needed, and keeps every other key, whoever else writes the
  // file meanwhile. A CR or LF in the value is written as a blank, so a value always stays on its own line.
  // False, with the file as it was, when the folder does not exist, when a section or key name holds a line
  // break, and when the new text could not be written whole.
  virtual bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                                  const std::string& value) = 0;

  // --- Files.
  // A relative path (either separator) made absolute against the current folder.
  virtual std::string FullPath(const std::string& path) = 0;
  // fopen-style open that lets other processes read and write the file meanwhile; null on failure. An "x" in
  // a writing mode ("wbx") creates the file only where none is: the open fails when the path exists.
  virtual std::FILE* OpenShared(const std::string& path, const char* mode) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Puts `from` in place of `to` in one step (replacing `to`); false when that cannot be done.
  virtual bool ReplaceFile(const std::string& from, const std::string& to) = 0;
  // Cuts an existing file to its first `size` bytes; false when that cannot be done.
  virtual bool ResizeFile(const std::string& path, std::uint64_t size) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;

  // An exclusive lock between threads and processes alike, held for as long as the object lives.
  class Lock {
   public:
    virtual ~Lock() = default;
  };
  // Takes the lock named by the file `path` (made for the purpose, beside what it guards, and gone again once
  // let go), waiting a few seconds at most while another holder has it. Null when it cannot be taken: the
  // folder is missing or cannot be written, or the holder kept it too long. A holder that ends lets go.
  virtual std::unique_ptr<Lock> TakeLock(const std::string& path) = 0;

  // Visits the names (without folder) of the directory entries matching `pattern` ("folder\prefix*.ini",
  // wildcards only in the last component), in the order the file system lists them, until `visit` returns
  // true. Returns the accepted name, or "" when none was accepted.
  virtual std::string FindFirstMatch(const std::string& pattern,
                                     const std::function<bool(const std::string&)>& visit) = 0;

  // --- Clock and operator.
  virtual int UtcHour() = 0;  // 0..23
  // Modal message box with one OK button; `caption` empty means the system's default caption.
  virtual void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

// The implementation for the platform this binary is built for.
Platform& SystemPlatform();

}  // namespace zorvant

#endif  // ZORVANT_PLATFORM_PLATFORM_H_
