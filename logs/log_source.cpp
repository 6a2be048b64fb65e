#include "logs/log_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace logs {

LogSource::LogSource(std::FILE* file, std::size_t piece) : file_(file), piece_(piece > 0 ? piece : 1) {}

LogSource::LogSource(std::string_view text) : data_(text.data()), size_(text.size()), finished_(true) {}

LogSource::LogSource(std::string_view text, std::size_t piece)
    : text_(text), pieces_(true), piece_(piece > 0 ? piece : 1) {}

std::size_t LogSource::Fetch(char* into) {
  if (file_) return std::fread(into, 1, piece_, file_);
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(piece_, text_.size() - textRead_));
  std::memcpy(into, text_.data() + textRead_, n);
  textRead_ += n;
  return n;
}

bool LogSource::More(std::uint64_t keep) {
  if (finished_) return false;
  const std::size_t kept = static_cast<std::size_t>(end() - keep);
  // What is kept moves to the front; a piece of syntax longer than the buffer makes it grow.
  if (kept > 0 && keep > begin_) std::memmove(&buffer_[0], data_ + (keep - begin_), kept);
  if (buffer_.size() < kept + piece_) buffer_.resize(std::max(2 * buffer_.size(), kept + piece_));
  begin_ = keep;
  data_ = buffer_.data();
  size_ = kept;
  errno = 0;
  const std::size_t got = Fetch(&buffer_[kept]);
  size_ += got;
  if (got < piece_) {
    finished_ = true;
    failed_ = file_ && std::ferror(file_) != 0;
    errorNumber_ = failed_ ? errno : 0;
  }
  return got > 0;
}

void LogSource::Rewind() {
  begin_ = 0;
  if (!file_ && !pieces_) return;  // a text is all buffered
  if (file_) std::rewind(file_);
  textRead_ = 0;
  size_ = 0;
  data_ = buffer_.data();
  finished_ = false;
  failed_ = false;
  errorNumber_ = 0;
}

int LineCounter::At(std::uint64_t pos) {
  if (pos <= counted_) return line_;
  const std::uint64_t to = std::min(pos, source_.end());
  if (to > counted_) {
    // Lines are long beside a word: a search per line beats a look at every byte.
    const char* from = source_.at(counted_);
    const char* const last = from + (to - counted_);
    while (
        (from = static_cast<const char*>(std::memchr(from, '\n', static_cast<std::size_t>(last - from))))) {
      ++line_;
      ++from;
    }
  }
  counted_ = pos;
  return line_;
}

}  // namespace logs
