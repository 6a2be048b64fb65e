// zorvant: scores a contest log with the plug-in's own engine, and cross-checks a contest's logs. The same
// program on Linux and, as zorvant.exe, on Windows.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cwchar>
#include <memory>
#include <streambuf>
#include <vector>

#include "platform/file_names.h"
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <iostream>
#include <string>

#include "cli/check.h"
#include "cli/score.h"
#include "zorvant_version.h"
#ifdef ZORVANT_SERVE  // the log robot, built where its libraries are found (cmake/serve.cmake)
#include "serve/command.h"
#endif

namespace {

// The two systems' names for the same two things.
bool ErrorIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

// What the command prints is the same bytes on both systems: the report's own CR LF stays CR LF, where
// Windows' text mode would write every LF as CR LF and make it CR CR LF.
void PrintBytesAsTheyAre() {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

#ifdef _WIN32
// This program's text is UTF-8. A console would show those bytes in its code page, letter by wrong letter,
// so what goes to one goes as UTF-16; a file or a pipe gets the bytes, the same as on Linux.
class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) {}
  ~ConsoleBuffer() override { sync(); }

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) pending_ += traits_type::to_char_type(c);
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pending_.append(s, static_cast<std::size_t>(n));
    return n;
  }
  int sync() override {
    // A letter whose bytes came in two pieces waits for the rest of them.
    std::size_t end = pending_.size();
    for (std::size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
      const unsigned char c = static_cast<unsigned char>(pending_[pending_.size() - back]);
      if ((c & 0xC0) == 0x80) continue;
      const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
      if (length > back) end = pending_.size() - back;
      break;
    }
    const std::wstring text = zorvant::WideName(pending_.substr(0, end));
    pending_.erase(0, end);
    DWORD written = 0;
    return text.empty() || WriteConsoleW(console_, text.data(), static_cast<DWORD>(text.size()), &written,
                                         /*lpReserved=*/nullptr)
               ? 0
               : -1;
  }

 private:
  HANDLE console_;
  std::string pending_;
};

// Points the stream at the console when that is where `handle` goes.
class ToConsole {
 public:
  ToConsole(std::ostream& stream, DWORD handle) : stream_(stream) {
    HANDLE console = GetStdHandle(handle);
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) return;
    buffer_ = std::make_unique<ConsoleBuffer>(console);
    old_ = stream_.rdbuf(buffer_.get());
  }
  ~ToConsole() {
    if (!buffer_) return;
    stream_.flush();
    stream_.rdbuf(old_);
  }

 private:
  std::ostream& stream_;
  std::unique_ptr<ConsoleBuffer> buffer_;
  std::streambuf* old_ = nullptr;
};
#endif

int Check(int argc, char** argv) {
  cli::CheckOptions options;
  std::string error;
  if (!cli::ParseCheckOptions(argc, argv, 2, &options, &error)) {
    std::cerr << "zorvant: " << error << " (zorvant check --help)\n";
    return cli::kBadUsage;
  }
  if (options.help) {
    std::cout << cli::CheckHelp();
    return cli::kScored;
  }
  options.liveProgress = ErrorIsTerminal();
  return cli::RunCheck(options, std::cout, std::cerr);
}

}  // namespace

int Main(int argc, char** argv) {
  PrintBytesAsTheyAre();
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << cli::ScoreHelp() << "\n" << cli::CheckHelp();
    return cli::kScored;
  }
  if (command == "--version" || command == "version") {
    std::cout << "zorvant " ZORVANT_VERSION "\n";
    return cli::kScored;
  }
  if (command == "check") return Check(argc, argv);
#ifdef ZORVANT_SERVE
  if (command == "serve") return serve::ServeMain(argc, argv);
#endif
  if (command != "score") {
    std::cerr
        << "zorvant: " << (command.empty() ? "no command given" : "unknown command " + command)
        << "; try: zorvant score LOG --call MYCALL --start \"YYYY-MM-DD HH:MM\", or zorvant check LOGDIR "
           "--start \"YYYY-MM-DD HH:MM\" (zorvant --help)\n";
    return cli::kBadUsage;
  }
  cli::RunOptions options;
  std::string error;
  if (!cli::ParseRunOptions(argc, argv, 2, /*withDll=*/false, &options, &error)) {
    std::cerr << "zorvant: " << error << " (zorvant --help)\n";
    return cli::kBadUsage;
  }
  if (options.help) {
    std::cout << cli::ScoreHelp();
    return cli::kScored;
  }
  return cli::RunScore(options, std::cout, std::cerr);
}

#ifdef _WIN32
// The wide entry point: the narrow arguments the C runtime makes spell only what the ANSI code page can, so a
// folder named in Cyrillic under code page 1252 would arrive as question marks.
int wmain(int argc, wchar_t** wideArgv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i)
    arguments.push_back(zorvant::Utf8Text(wideArgv[i], std::wcslen(wideArgv[i])));
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  ToConsole out(std::cout, STD_OUTPUT_HANDLE), err(std::cerr, STD_ERROR_HANDLE);
  return Main(argc, argv.data());
}
#else
int main(int argc, char** argv) { return Main(argc, argv); }
#endif
