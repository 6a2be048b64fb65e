// A log file whose reading fails part-way, as a failing disk or a dropped network share makes it fail: the
// bytes up to a chosen offset read as usual, every read past it fails with EIO. It can be rewound, as a
// reader's second pass does, and fails at the same byte again.
#ifndef ZORVANT_TESTS_LOGS_FAILING_FILE_H_
#define ZORVANT_TESTS_LOGS_FAILING_FILE_H_

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace logs {
namespace testing {

class FailingFile {
 public:
  FailingFile(std::string bytes, std::size_t failAt) : bytes_(std::move(bytes)), failAt_(failAt) {
    cookie_io_functions_t io = {};
    io.read = &FailingFile::Read;
    io.seek = &FailingFile::Seek;
    file_ = fopencookie(this, "rb", io);
  }
  ~FailingFile() {
    if (file_) std::fclose(file_);
  }
  FailingFile(const FailingFile&) = delete;
  FailingFile& operator=(const FailingFile&) = delete;

  std::FILE* file() const { return file_; }

 private:
  static ssize_t Read(void* cookie, char* into, std::size_t n) {
    FailingFile& f = *static_cast<FailingFile*>(cookie);
    if (f.pos_ >= f.failAt_ && f.pos_ < f.bytes_.size()) {
      errno = EIO;
      return -1;
    }
    n = std::min({n, f.bytes_.size() - std::min(f.pos_, f.bytes_.size()), f.failAt_ - f.pos_});
    std::memcpy(into, f.bytes_.data() + f.pos_, n);
    f.pos_ += n;
    return static_cast<ssize_t>(n);
  }
  static int Seek(void* cookie, off64_t* offset, int whence) {
    FailingFile& f = *static_cast<FailingFile*>(cookie);
    if (whence != SEEK_SET || *offset < 0) return -1;
    f.pos_ = static_cast<std::size_t>(*offset);
    return 0;
  }

  std::string bytes_;
  std::size_t failAt_;
  std::size_t pos_ = 0;
  std::FILE* file_ = nullptr;
};

}  // namespace testing
}  // namespace logs

#endif  // ZORVANT_TESTS_LOGS_FAILING_FILE_H_
