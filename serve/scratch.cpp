#include "serve/scratch.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace serve {
namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const std::string& parent) {
  std::string pattern = parent + "/run-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!mkdtemp(name.data())) {
    throw std::runtime_error(parent + ": no folder to score a log in can be made there");
  }
  path_ = name.data();
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void ClearScratch(const std::string& parent) {
  std::error_code ec;
  for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ignored;
    fs::remove_all(it->path(), ignored);
  }
}

FolderPlatform::FolderPlatform(zorvant::Platform& inner, std::string folder)
    : inner_(inner), folder_(std::move(folder)) {}

std::string FolderPlatform::Rooted(const std::string& path) const {
  std::string p = path;
  for (char& c : p) c = c == '\\' ? '/' : c;
  if (!p.empty() && p[0] == '/') return p;
  return folder_ + "/" + p;
}

std::string FolderPlatform::FullPath(const std::string& path) { return Rooted(path); }

std::FILE* FolderPlatform::OpenShared(const std::string& path, const char* mode) {
  return path.empty() ? nullptr : inner_.OpenShared(Rooted(path), mode);
}

bool FolderPlatform::FileExists(const std::string& path) { return inner_.FileExists(Rooted(path)); }

zorvant::FileFacts FolderPlatform::Inspect(const std::string& path) { return inner_.Inspect(Rooted(path)); }

bool FolderPlatform::ReplaceFile(const std::string& from, const std::string& to) {
  return inner_.ReplaceFile(Rooted(from), Rooted(to));
}

bool FolderPlatform::ResizeFile(const std::string& path, std::uint64_t size) {
  return inner_.ResizeFile(Rooted(path), size);
}

bool FolderPlatform::RemoveFile(const std::string& path) { return inner_.RemoveFile(Rooted(path)); }

std::unique_ptr<zorvant::Platform::Lock> FolderPlatform::TakeLock(const std::string& path,
                                                                  std::chrono::milliseconds wait,
                                                                  zorvant::LockFailure* why) {
  return inner_.TakeLock(Rooted(path), wait, why);
}

std::string FolderPlatform::FindFirstMatch(const std::string& pattern,
                                           const std::function<bool(const std::string&)>& visit) {
  return inner_.FindFirstMatch(Rooted(pattern), visit);
}

std::uint32_t FolderPlatform::ProcessId() { return inner_.ProcessId(); }

bool FolderPlatform::ProcessRunning(std::uint32_t pid) { return inner_.ProcessRunning(pid); }

int FolderPlatform::UtcHour() { return inner_.UtcHour(); }

// A server has nobody to click a message box away; nothing it runs asks for one.
void FolderPlatform::ShowMessage(const std::string&, const std::string&, zorvant::MessageIcon) {}

}  // namespace serve
