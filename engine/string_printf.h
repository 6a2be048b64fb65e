// printf-style formatting into a std::string of whatever length the values need.
#ifndef ZORVANT_ENGINE_STRING_PRINTF_H_
#define ZORVANT_ENGINE_STRING_PRINTF_H_

#include <string>

namespace zorvant {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
StringPrintf(const char* format, ...);

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_STRING_PRINTF_H_
