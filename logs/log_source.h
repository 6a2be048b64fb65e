// The bytes of a log, read a piece at a time, so that reading a log of any length takes the same memory. A
// scanner addresses bytes by their position in the whole log, looks at what is buffered, and asks for more
// when a piece of syntax runs past it, keeping the bytes it still needs. Portable.
#ifndef ZORVANT_LOGS_LOG_SOURCE_H_
#define ZORVANT_LOGS_LOG_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace logs {

class LogSource {
 public:
  // Large enough that a read costs little per byte, small beside any log worth streaming.
  static constexpr std::size_t kPiece = 1 << 20;

  // A file opened for reading, which stays the caller's, read from its current position `piece` bytes at a
  // time (tests make pieces tiny, so that syntax crosses their ends everywhere).
  explicit LogSource(std::FILE* file, std::size_t piece = kPiece);
  // A text the caller keeps alive, all of it buffered from the start.
  explicit LogSource(std::string_view text);
  // The same text read `piece` bytes at a time, as from a file: what the tests and the fuzz target use to
  // cross every piece of syntax with the end of the buffered bytes.
  LogSource(std::string_view text, std::size_t piece);
  LogSource(const LogSource&) = delete;
  LogSource& operator=(const LogSource&) = delete;

  // The buffered bytes are the positions [begin(), end()).
  std::uint64_t begin() const { return begin_; }
  std::uint64_t end() const { return begin_ + size_; }
  // REQUIRES: begin() <= pos < end().
  char operator[](std::uint64_t pos) const { return data_[pos - begin_]; }
  const char* at(std::uint64_t pos) const { return data_ + (pos - begin_); }
  // True once end() is the end of the log: nothing more will come.
  bool finished() const { return finished_; }
  // True when reading failed (finished() is then true as well): the bytes read are only part of the log.
  bool failed() const { return failed_; }
  // The system's error number for that failure; 0 when it gave none.
  int errorNumber() const { return errorNumber_; }

  // Drops the bytes before `keep` and reads more after end(); false when nothing more came.
  // REQUIRES: begin() <= keep <= end().
  bool More(std::uint64_t keep);
  // Back to the first byte, for another pass over the log.
  void Rewind();

 private:
  // Reads up to piece_ bytes after the kept ones, from the file or the text in pieces.
  std::size_t Fetch(char* into);

  std::FILE* file_ = nullptr;
  std::string_view text_;  // read in pieces when file_ is null and pieces_ is set
  bool pieces_ = false;
  std::uint64_t textRead_ = 0;
  std::size_t piece_ = kPiece;
  std::string buffer_;  // the file's bytes [begin_, end()) at its front
  const char* data_ = nullptr;
  std::uint64_t begin_ = 0;
  std::size_t size_ = 0;
  bool finished_ = false;
  bool failed_ = false;
  int errorNumber_ = 0;
};

// Line numbers, from 1, of positions that only move forward, counted on demand. Count up to a position before
// the source drops the bytes before it (CountTo), and a later At still knows its line.
class LineCounter {
 public:
  explicit LineCounter(const LogSource& source) : source_(source) {}

  // REQUIRES: the bytes from the last position counted up to `pos` are buffered, or `pos` is past them all.
  int At(std::uint64_t pos);

 private:
  const LogSource& source_;
  std::uint64_t counted_ = 0;
  int line_ = 1;
};

}  // namespace logs

#endif  // ZORVANT_LOGS_LOG_SOURCE_H_
