#include "engine/file_text.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace zorvant {

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

int SettingNumber(const std::string& value) {
  const std::size_t size = std::min<std::size_t>(value.size(), 99);
  std::size_t i = 0;
  while (i < size && std::isspace(static_cast<unsigned char>(value[i]))) ++i;
  bool minus = false;
  if (i < size && (value[i] == '+' || value[i] == '-')) minus = value[i++] == '-';
  // Counted towards the bound the sign allows, so that INT_MIN itself still reads.
  const unsigned long long bound = minus ? 0ull + INT_MAX + 1 : INT_MAX;
  unsigned long long total = 0;
  for (; i < size && value[i] >= '0' && value[i] <= '9'; ++i) {
    total = std::min(bound, total * 10 + static_cast<unsigned>(value[i] - '0'));
  }
  return minus ? static_cast<int>(-static_cast<long long>(total)) : static_cast<int>(total);
}

}  // namespace zorvant
