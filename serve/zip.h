// A zip archive written as it goes, each member deflated whole: what the sponsor downloads of the logs.
#ifndef ZORVANT_SERVE_ZIP_H_
#define ZORVANT_SERVE_ZIP_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace serve {

class ZipWriter {
 public:
  // `write` takes the archive's bytes in order; false from it stops the writer (the reader went away).
  explicit ZipWriter(std::function<bool(std::string_view)> write);

  // One member; `name` uses "/" for folders. False once `write` has refused. Members are limited to what
  // a zip without its 64-bit extension holds: 65 535 of them, 4 GB in all.
  bool Add(const std::string& name, std::string_view bytes);
  // The central directory; the archive is whole once it returns true.
  bool Finish();

 private:
  struct Member {
    std::string name;
    std::uint32_t crc, packed, size, offset;
    std::uint16_t method;
  };
  bool Write(std::string_view bytes);

  std::function<bool(std::string_view)> write_;
  std::vector<Member> members_;
  std::uint64_t offset_ = 0;
  bool failed_ = false;
};

}  // namespace serve

#endif  // ZORVANT_SERVE_ZIP_H_
