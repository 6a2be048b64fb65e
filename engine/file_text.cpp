#include "engine/file_text.h"

#include <cstdio>

namespace zorvant {

bool RewriteFile(Platform& platform, const std::string& name, const std::string& content) {
  const std::string temp = name + ".tmp";
  std::FILE* out = platform.OpenShared(temp, "wb");
  if (out) {
    const bool written =
        std::fwrite(content.data(), 1, content.size(), out) == content.size() && std::fflush(out) == 0;
    const bool closed = std::fclose(out) == 0;
    if (written && closed && platform.ReplaceFile(temp, name)) return true;
    platform.RemoveFile(temp);
    if (!(written && closed)) return false;
  }
  out = platform.OpenShared(name, "wb");
  if (!out) return false;
  const bool written = std::fwrite(content.data(), 1, content.size(), out) == content.size();
  return std::fclose(out) == 0 && written;
}

}  // namespace zorvant
