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
  // Sizes, offsets and counts from `wide` on are written in the format's 64-bit fields (ZIP64), so that
  // the archive has no bound on its members or its size; below it the archive is the plain format every
  // reader takes. Tests lower `wide` to see the 64-bit fields read back without writing gigabytes.
  explicit ZipWriter(std::function<bool(std::string_view)> write, std::uint64_t wide = 0xffffffffu);

  // One member; `name` uses "/" for folders. False once `write` has refused.
  bool Add(const std::string& name, std::string_view bytes);
  // The central directory; the archive is whole once it returns true.
  bool Finish();

 private:
  struct Member {
    std::string name;
    std::uint32_t crc;
    std::uint64_t packed, size, offset;
    std::uint16_t method;
  };
  bool Write(std::string_view bytes);

  std::function<bool(std::string_view)> write_;
  const std::uint64_t wide_;
  std::vector<Member> members_;
  std::uint64_t offset_ = 0;
  bool failed_ = false;
};

}  // namespace serve

#endif  // ZORVANT_SERVE_ZIP_H_
