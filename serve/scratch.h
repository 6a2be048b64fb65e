// A folder of its own for each log the server scores, so that logs scored side by side never share the
// files the engine writes (the bad-QSO file, above all, whose name is the same for every log of a contest).
#ifndef ZORVANT_SERVE_SCRATCH_H_
#define ZORVANT_SERVE_SCRATCH_H_

#include <string>

#include "platform/platform.h"

namespace serve {

// A new, empty folder inside `parent`, removed with all it holds when this ends.
class ScratchFolder {
 public:
  // Throws std::runtime_error when no folder can be made.
  explicit ScratchFolder(const std::string& parent);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The system's platform with `folder` for the current folder: what the engine names relative to the
// current folder (its bad-QSO file, the settings and the host's ini files) is found there instead.
class FolderPlatform : public zorvant::Platform {
 public:
  FolderPlatform(zorvant::Platform& inner, std::string folder);

  std::string FullPath(const std::string& path) override;
  std::FILE* OpenShared(const std::string& path, const char* mode) override;
  bool FileExists(const std::string& path) override;
  zorvant::FileFacts Inspect(const std::string& path) override;
  bool ReplaceFile(const std::string& from, const std::string& to) override;
  bool ResizeFile(const std::string& path, std::uint64_t size) override;
  bool RemoveFile(const std::string& path) override;
  std::unique_ptr<Lock> TakeLock(const std::string& path, std::chrono::milliseconds wait,
                                 zorvant::LockFailure* why) override;
  std::string FindFirstMatch(const std::string& pattern,
                             const std::function<bool(const std::string&)>& visit) override;
  std::uint32_t ProcessId() override;
  bool ProcessRunning(std::uint32_t pid) override;
  int UtcHour() override;
  void ShowMessage(const std::string& text, const std::string& caption, zorvant::MessageIcon icon) override;

 private:
  std::string Rooted(const std::string& path) const;

  zorvant::Platform& inner_;
  const std::string folder_;
};

// Removes what earlier runs left in `parent` (a server killed while it scored a log leaves its folder).
void ClearScratch(const std::string& parent);

}  // namespace serve

#endif  // ZORVANT_SERVE_SCRATCH_H_
