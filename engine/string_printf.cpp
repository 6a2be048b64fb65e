#include "engine/string_printf.h"

#include <cstdarg>
#include <cstdio>

namespace zorvant {

std::string StringPrintf(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out;
  if (size > 0) {
    out.resize(static_cast<std::size_t>(size) + 1);
    std::vsnprintf(&out[0], out.size(), format, again);
    out.resize(static_cast<std::size_t>(size));
  }
  va_end(again);
  return out;
}

}  // namespace zorvant
