#include "serve/zip.h"

#include <zlib.h>

#include <algorithm>
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

void Put64(std::string& out, std::uint64_t v) {
  Put32(out, static_cast<std::uint32_t>(v & 0xffffffffu));
  Put32(out, static_cast<std::uint32_t>(v >> 32));
}

// Raw deflate, as a zip member holds it (no zlib header or trailer). zlib counts in 32 bits: a member past
// that is fed and drained in pieces.
std::string Deflate(std::string_view bytes) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflate");
  constexpr std::size_t kPiece = 1u << 30;
  std::string out;
  std::size_t taken = 0;
  int rc = Z_OK;
  char buffer[1 << 16];
  while (rc != Z_STREAM_END) {
    if (z.avail_in == 0 && taken < bytes.size()) {
      const std::size_t piece = std::min(kPiece, bytes.size() - taken);
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + taken));
      z.avail_in = static_cast<uInt>(piece);
      taken += piece;
    }
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    rc = deflate(&z, taken == bytes.size() ? Z_FINISH : Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) break;
    out.append(buffer, sizeof buffer - z.avail_out);
  }
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

// 1980-01-01 00:00 in DOS terms: a fixed time, so that the same logs make the same archive.
constexpr std::uint16_t kDosTime = 0, kDosDate = (0 << 9) | (1 << 5) | 1;
constexpr std::uint32_t kMasked = 0xffffffffu;
// The version a reader needs: 2.0 for deflate, 4.5 for the 64-bit fields.
constexpr std::uint16_t kPlain = 20, kWide = 45;

}  // namespace

ZipWriter::ZipWriter(std::function<bool(std::string_view)> write, std::uint64_t wide)
    : write_(std::move(write)), wide_(std::min<std::uint64_t>(wide, kMasked)) {}

bool ZipWriter::Write(std::string_view bytes) {
  if (failed_) return false;
  if (!write_(bytes)) failed_ = true;
  offset_ += bytes.size();
  return !failed_;
}

bool ZipWriter::Add(const std::string& name, std::string_view bytes) {
  Member m;
  m.name = name.substr(0, 0xffff);
  m.crc = static_cast<std::uint32_t>(
      crc32_z(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
  m.size = bytes.size();
  m.offset = offset_;
  std::string packed = Deflate(bytes);
  m.method = 8;
  if (packed.size() >= bytes.size()) {  // stored is smaller for a tiny or random member
    packed.assign(bytes.data(), bytes.size());
    m.method = 0;
  }
  m.packed = packed.size();
  // The sizes are known before the member's bytes, so the local header carries them, in 64 bits when
  // either is too large for 32.
  const bool wideSizes = m.size >= wide_ || m.packed >= wide_;
  std::string header;
  Put32(header, 0x04034b50);
  Put16(header, wideSizes ? kWide : kPlain);
  Put16(header, 0x0800);  // the name is UTF-8
  Put16(header, m.method);
  Put16(header, kDosTime);
  Put16(header, kDosDate);
  Put32(header, m.crc);
  Put32(header, wideSizes ? kMasked : static_cast<std::uint32_t>(m.packed));
  Put32(header, wideSizes ? kMasked : static_cast<std::uint32_t>(m.size));
  Put16(header, static_cast<std::uint32_t>(m.name.size()));
  Put16(header, wideSizes ? 20 : 0);
  header += m.name;
  if (wideSizes) {
    Put16(header, 0x0001);
    Put16(header, 16);
    Put64(header, m.size);
    Put64(header, m.packed);
  }
  members_.push_back(std::move(m));
  return Write(header) && Write(packed);
}

bool ZipWriter::Finish() {
  const std::uint64_t start = offset_;
  std::string directory;
  for (const Member& m : members_) {
    // Each field too large for 32 bits is masked and given in the 64-bit extra field, in this order.
    std::string extra;
    const bool wideSize = m.size >= wide_, widePacked = m.packed >= wide_, wideOffset = m.offset >= wide_;
    if (wideSize) Put64(extra, m.size);
    if (widePacked) Put64(extra, m.packed);
    if (wideOffset) Put64(extra, m.offset);
    const bool wide = !extra.empty();
    Put32(directory, 0x02014b50);
    Put16(directory, 0x0300 | (wide ? kWide : kPlain));  // made by: a Unix system
    Put16(directory, wide ? kWide : kPlain);
    Put16(directory, 0x0800);
    Put16(directory, m.method);
    Put16(directory, kDosTime);
    Put16(directory, kDosDate);
    Put32(directory, m.crc);
    Put32(directory, widePacked ? kMasked : static_cast<std::uint32_t>(m.packed));
    Put32(directory, wideSize ? kMasked : static_cast<std::uint32_t>(m.size));
    Put16(directory, static_cast<std::uint32_t>(m.name.size()));
    Put16(directory, wide ? static_cast<std::uint32_t>(extra.size() + 4) : 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put32(directory, 0100644u << 16);  // a plain file, rw-r--r--
    Put32(directory, wideOffset ? kMasked : static_cast<std::uint32_t>(m.offset));
    directory += m.name;
    if (wide) {
      Put16(directory, 0x0001);
      Put16(directory, static_cast<std::uint32_t>(extra.size()));
      directory += extra;
    }
  }
  const std::uint64_t count = members_.size(), size = directory.size();
  const bool wideCount = count >= std::min<std::uint64_t>(wide_, 0xffff);
  const bool wideSize = size >= wide_, wideStart = start >= wide_;
  std::string end;
  if (wideCount || wideSize || wideStart) {
    const std::uint64_t record = start + size;
    Put32(end, 0x06064b50);
    Put64(end, 44);  // what follows of this record
    Put16(end, 0x0300 | kWide);
    Put16(end, kWide);
    Put32(end, 0);
    Put32(end, 0);
    Put64(end, count);
    Put64(end, count);
    Put64(end, size);
    Put64(end, start);
    Put32(end, 0x07064b50);  // where that record is
    Put32(end, 0);
    Put64(end, record);
    Put32(end, 1);
  }
  Put32(end, 0x06054b50);
  Put16(end, 0);
  Put16(end, 0);
  Put16(end, wideCount ? 0xffff : static_cast<std::uint32_t>(count));
  Put16(end, wideCount ? 0xffff : static_cast<std::uint32_t>(count));
  Put32(end, wideSize ? kMasked : static_cast<std::uint32_t>(size));
  Put32(end, wideStart ? kMasked : static_cast<std::uint32_t>(start));
  Put16(end, 0);
  return Write(directory) && Write(end);
}

}  // namespace serve
