#include "platform/file_names.h"

namespace zorvant {

std::filesystem::path FsPath(const std::string& name) { return std::filesystem::path(name); }

std::string NameText(const std::filesystem::path& path) { return path.string(); }

std::FILE* OpenNamed(const std::string& name, const char* mode) { return std::fopen(name.c_str(), mode); }

}  // namespace zorvant
