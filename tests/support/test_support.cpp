#include "tests/support/test_support.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/settings_store.h"

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

// A stream that passes its bytes on to a real file until its budget is spent, then fails like a full disk.
struct BudgetedFile {
  std::FILE* file;
  std::size_t budget;
};

ssize_t BudgetedWrite(void* cookie, const char* data, std::size_t size) {
  auto* f = static_cast<BudgetedFile*>(cookie);
  const std::size_t n = std::fwrite(data, 1, std::min(size, f->budget), f->file);
  f->budget -= n;
  std::fflush(f->file);
  // A short count marks the stream as failed; -1 also ends the library's retries of the rest.
  return n == 0 && size > 0 ? -1 : static_cast<ssize_t>(n);
}

ssize_t BudgetedRead(void* cookie, char* data, std::size_t size) {
  return static_cast<ssize_t>(std::fread(data, 1, size, static_cast<BudgetedFile*>(cookie)->file));
}

int BudgetedSeek(void* cookie, off64_t* offset, int whence) {
  std::FILE* file = static_cast<BudgetedFile*>(cookie)->file;
  if (fseeko(file, *offset, whence) != 0) return -1;
  *offset = ftello(file);
  return 0;
}

int BudgetedClose(void* cookie) {
  auto* f = static_cast<BudgetedFile*>(cookie);
  const int closed = std::fclose(f->file);
  delete f;
  return closed;
}

std::FILE* WithBudget(std::FILE* file, const char* mode, std::size_t budget) {
  auto* cookie = new BudgetedFile{file, budget};
  std::FILE* f = fopencookie(cookie, mode, {BudgetedRead, BudgetedWrite, BudgetedSeek, BudgetedClose});
  if (!f) {
    BudgetedClose(cookie);
    return nullptr;
  }
  // Unbuffered, so the budget counts the bytes in the order the caller writes them.
  std::setvbuf(f, nullptr, _IONBF, 0);
  return f;
}

// "path.tmp" or "path.<anything>.tmp".
bool IsTemporaryOf(const std::string& temp, const std::string& path) {
  const std::string tail = ".tmp";
  return temp.size() >= path.size() + tail.size() && temp.compare(0, path.size(), path) == 0 &&
         (temp.size() == path.size() + tail.size() || temp[path.size()] == '.') &&
         temp.compare(temp.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

int FaultyPlatform::OpensOf(const std::string& path) const {
  std::lock_guard<std::mutex> hold(mutex_);
  int n = 0;
  for (const auto& open : opens_) n += open.first == path;
  return n;
}

std::string FaultyPlatform::ProfileString(const std::string& file, const std::string& section,
                                          const std::string& key, const std::string& def) {
  SettingsStore settings(*this, file, section);
  return settings.Load().Get(key, def);
}

bool FaultyPlatform::WriteProfileString(const std::string& file, const std::string& section,
                                        const std::string& key, const std::string& value) {
  SettingsStore settings(*this, file, section);
  return settings.Write({{key, value}}) == SettingsError::kNone;
}

std::string FaultyPlatform::FullPath(const std::string& path) { return inner_.FullPath(path); }

std::FILE* FaultyPlatform::OpenShared(const std::string& path, const char* mode) {
  const Access access = Writes(mode) ? kWrite : kRead;
  std::optional<std::size_t> budget;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    opens_.emplace_back(path, mode);
    if (failOpen_.count({path, access})) return nullptr;
    for (const std::string& file : failTemporaries_) {
      if (access == kWrite && IsTemporaryOf(path, file)) return nullptr;
    }
    if (access == kWrite && path.rfind(budgetPrefix_, 0) == 0) budget = writeBudget_;
  }
  // The real open outside the lock: threads that open different files must not wait on each other here.
  std::FILE* f = inner_.OpenShared(path, mode);
  if (f && budget) f = WithBudget(f, mode, *budget);
  return f;
}

bool FaultyPlatform::FileExists(const std::string& path) { return inner_.FileExists(path); }

bool FaultyPlatform::ReplaceFile(const std::string& from, const std::string& to) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (failReplace_ && (replaceTarget_.empty() || replaceTarget_ == to)) return false;
  }
  return inner_.ReplaceFile(from, to);
}

bool FaultyPlatform::ResizeFile(const std::string& path, std::uint64_t size) {
  return inner_.ResizeFile(path, size);
}

bool FaultyPlatform::RemoveFile(const std::string& path) { return inner_.RemoveFile(path); }

FileFacts FaultyPlatform::Inspect(const std::string& path) { return inner_.Inspect(path); }

std::unique_ptr<Platform::Lock> FaultyPlatform::TakeLock(const std::string& path,
                                                         std::chrono::milliseconds wait, LockFailure* why) {
  return inner_.TakeLock(path, wait, why);
}

std::uint32_t FaultyPlatform::ProcessId() { return inner_.ProcessId(); }
bool FaultyPlatform::ProcessRunning(std::uint32_t pid) { return inner_.ProcessRunning(pid); }

std::string FaultyPlatform::FindFirstMatch(const std::string& pattern,
                                           const std::function<bool(const std::string&)>& visit) {
  return inner_.FindFirstMatch(pattern, visit);
}

int FaultyPlatform::UtcHour() {
  int hour;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    hour = utcHour_;
  }
  return hour >= 0 ? hour : inner_.UtcHour();
}

void FaultyPlatform::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
  std::lock_guard<std::mutex> hold(mutex_);
  messages_.push_back({text, caption, icon});
}

}  // namespace testing
}  // namespace zorvant
