#include "tests/support/test_support.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zorvant {
namespace testing {

namespace fs = std::filesystem;

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExistsAt(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

QsoArgs Contact::Args() const {
  QsoArgs q;
  q.ownCall = ownCall.c_str();
  q.call = call.c_str();
  q.time = &time;
  q.freqHz = freqHz;
  q.mode = mode.c_str();
  q.rstSent = rstSent.c_str();
  q.rstRcvd = rstRcvd.c_str();
  q.exchSent = exchSent.c_str();
  q.exchRcvd = exchRcvd.c_str();
  q.prefix = prefix.c_str();
  q.countryPrefix = countryPrefix.c_str();
  q.hostText = hostText.c_str();
  q.band = band.c_str();
  return q;
}

void InTempDir::SetUp() {
  saved_ = fs::current_path().string();
  std::string base = ::testing::TempDir();
  if (base.empty()) base = "/tmp/";
  std::string tmpl = (fs::path(base) / "zorvant_test_XXXXXX").string();
  ASSERT_NE(mkdtemp(tmpl.data()), nullptr) << std::strerror(errno);
  dir_ = tmpl;
  fs::current_path(dir_);
  fs::create_directory("Plugins");
}

void InTempDir::TearDown() {
  if (!saved_.empty()) fs::current_path(saved_);
  if (!dir_.empty()) {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
}

namespace {

bool Writes(const char* mode) { return std::strpbrk(mode, "wa+") != nullptr; }

}  // namespace

int FaultyPlatform::OpensOf(const std::string& path) const {
  int n = 0;
  for (const auto& open : opens_) n += open.first == path;
  return n;
}

std::string FaultyPlatform::ProfileString(const std::string& file, const std::string& section,
                                          const std::string& key, const std::string& def) {
  return inner_.ProfileString(file, section, key, def);
}

int FaultyPlatform::ProfileInt(const std::string& file, const std::string& section, const std::string& key,
                               int def) {
  return inner_.ProfileInt(file, section, key, def);
}

bool FaultyPlatform::WriteProfileString(const std::string& file, const std::string& section,
                                        const std::string& key, const std::string& value) {
  return inner_.WriteProfileString(file, section, key, value);
}

std::string FaultyPlatform::FullPath(const std::string& path) { return inner_.FullPath(path); }

std::FILE* FaultyPlatform::OpenShared(const std::string& path, const char* mode) {
  opens_.emplace_back(path, mode);
  const Access access = Writes(mode) ? kWrite : kRead;
  if (failOpen_.count({path, access})) return nullptr;
  std::FILE* f = inner_.OpenShared(path, mode);
  if (f && access == kWrite && breakWrites_) {
    // The file is created or truncated as asked, but the caller gets it for reading only, so its writes
    // fail as on a full disk.
    std::fclose(f);
    f = inner_.OpenShared(path, "rb");
  }
  return f;
}

bool FaultyPlatform::FileExists(const std::string& path) { return inner_.FileExists(path); }

bool FaultyPlatform::ReplaceFile(const std::string& from, const std::string& to) {
  return !failReplace_ && inner_.ReplaceFile(from, to);
}

bool FaultyPlatform::RemoveFile(const std::string& path) { return inner_.RemoveFile(path); }

std::string FaultyPlatform::FindFirstMatch(const std::string& pattern,
                                           const std::function<bool(const std::string&)>& visit) {
  return inner_.FindFirstMatch(pattern, visit);
}

int FaultyPlatform::UtcHour() { return utcHour_ >= 0 ? utcHour_ : inner_.UtcHour(); }

void FaultyPlatform::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
  messages_.push_back({text, caption, icon});
}

}  // namespace testing
}  // namespace zorvant
