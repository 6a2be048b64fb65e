// printf-style formatting into a std::string of whatever length the values need.
#ifndef ZORVANT_ENGINE_STRING_PRINTF_H_
#define ZORVANT_ENGINE_STRING_PRINTF_H_

#include <string>

namespace zorvant {

// MinGW's C++ library formats with its own printf (%zu, %lld as on POSIX), which the compiler checks as
// gnu_printf; plain printf there would mean the Windows C library's rules.
#if defined(__MINGW32__)
__attribute__((format(gnu_printf, 1, 2)))
#elif defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
StringPrintf(const char* format, ...);

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_STRING_PRINTF_H_
