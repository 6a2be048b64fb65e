#include "serve/zip.h"

#include <zlib.h>

#include <stdexcept>

namespace serve {
namespace {

void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xff);
  out += static_cast<char>((v >> 8) & 0xff);
}

void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

// Raw deflate, as a zip member holds it (no zlib header or trailer).
std::string Deflate(std::string_view bytes) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflate");
  std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

// 1980-01-01 00:00 in DOS terms: a fixed time, so that the same logs make the same archive.
constexpr std::uint16_t kDosTime = 0, kDosDate = (0 << 9) | (1 << 5) | 1;

}  // namespace

ZipWriter::ZipWriter(std::function<bool(std::string_view)> write) : write_(std::move(write)) {}

bool ZipWriter::Write(std::string_view bytes) {
  if (failed_) return false;
  if (!write_(bytes)) failed_ = true;
  offset_ += bytes.size();
  return !failed_;
}

bool ZipWriter::Add(const std::string& name, std::string_view bytes) {
  if (members_.size() >= 65535 || offset_ + bytes.size() + name.size() + 64 >= 0xffffffffULL ||
      bytes.size() >= 0xffffffffULL) {
    throw std::length_error("the archive would need the 64-bit zip extension");
  }
  Member m;
  m.name = name;
  m.crc = static_cast<std::uint32_t>(crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data()),
                                           static_cast<uInt>(bytes.size())));
  m.size = static_cast<std::uint32_t>(bytes.size());
  m.offset = static_cast<std::uint32_t>(offset_);
  std::string packed = Deflate(bytes);
  m.method = 8;
  if (packed.size() >= bytes.size()) {  // stored is smaller for a tiny or random member
    packed.assign(bytes.data(), bytes.size());
    m.method = 0;
  }
  m.packed = static_cast<std::uint32_t>(packed.size());
  std::string header;
  Put32(header, 0x04034b50);
  Put16(header, 20);
  Put16(header, 0x0800);  // the name is UTF-8
  Put16(header, m.method);
  Put16(header, kDosTime);
  Put16(header, kDosDate);
  Put32(header, m.crc);
  Put32(header, m.packed);
  Put32(header, m.size);
  Put16(header, static_cast<std::uint32_t>(name.size()));
  Put16(header, 0);
  header += name;
  members_.push_back(std::move(m));
  return Write(header) && Write(packed);
}

bool ZipWriter::Finish() {
  const std::uint64_t start = offset_;
  std::string directory;
  for (const Member& m : members_) {
    Put32(directory, 0x02014b50);
    Put16(directory, 0x0314);  // made by: version 2.0 on a Unix system
    Put16(directory, 20);
    Put16(directory, 0x0800);
    Put16(directory, m.method);
    Put16(directory, kDosTime);
    Put16(directory, kDosDate);
    Put32(directory, m.crc);
    Put32(directory, m.packed);
    Put32(directory, m.size);
    Put16(directory, static_cast<std::uint32_t>(m.name.size()));
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put32(directory, 0100644u << 16);  // a plain file, rw-r--r--
    Put32(directory, m.offset);
    directory += m.name;
  }
  std::string end;
  Put32(end, 0x06054b50);
  Put16(end, 0);
  Put16(end, 0);
  Put16(end, static_cast<std::uint32_t>(members_.size()));
  Put16(end, static_cast<std::uint32_t>(members_.size()));
  Put32(end, static_cast<std::uint32_t>(directory.size()));
  Put32(end, static_cast<std::uint32_t>(start));
  Put16(end, 0);
  return Write(directory) && Write(end);
}

}  // namespace serve
