#include "engine/file_text.h"

#include <cstdio>

namespace zorvant {

namespace {

bool WriteAll(std::FILE* out, const std::string& content) {
  const bool written = std::fwrite(content.data(), 1, content.size(), out) == content.size() &&
                       std::fflush(out) == 0 && !std::ferror(out);
  return std::fclose(out) == 0 && written;
}

bool OverwriteInPlace(Platform& platform, const std::string& name, const std::string& content) {
  // "r+" keeps the old bytes past the point a failing write reaches; "w" would have dropped them already.
  std::FILE* out = platform.OpenShared(name, "r+b");
  if (!out) {
    if (platform.FileExists(name)) return false;
    out = platform.OpenShared(name, "wb");  // nothing there to lose
    if (!out) return false;
  }
  return WriteAll(out, content) && platform.ResizeFile(name, content.size());
}

}  // namespace

bool RewriteFile(Platform& platform, const std::string& name, const std::string& content) {
  const std::string temp = name + ".tmp";
  if (std::FILE* out = platform.OpenShared(temp, "wb")) {
    const bool written = WriteAll(out, content);
    if (written && platform.ReplaceFile(temp, name)) return true;
    platform.RemoveFile(temp);
    // The disk took the temporary's bytes no better than it would take the file's.
    if (!written) return false;
  }
  return OverwriteInPlace(platform, name, content);
}

bool ReadWholeFile(Platform& platform, const std::string& name, std::string* out) {
  std::FILE* in = platform.OpenShared(name, "rb");
  if (!in) return false;
  char buf[8192];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) out->append(buf, n);
  const bool ok = !std::ferror(in);
  std::fclose(in);
  return ok;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    const std::size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos) end = text.size();
    if (end > pos && text[end - 1] == '\r') --end;
    lines.push_back(text.substr(pos, end - pos));
    pos = next;
  }
  return lines;
}

}  // namespace zorvant
