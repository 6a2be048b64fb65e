// Fuzz target: the log reader on any bytes, as `zorvant score` and the host stand-in read an operator's file.
// Besides running clean under the sanitizers, what it hands on must be what the reader promises: every
// contact has a callsign and a real date and time of day.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "logs/adif.h"
#include "logs/log_reader.h"

namespace {

bool RealTime(const logs::QsoTime& t) {
  return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour >= 0 && t.hour <= 23 &&
         t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const logs::LogReadResult log = logs::ParseLogText("fuzz.log", text);
  for (const logs::LogContact& c : log.contacts) {
    if (c.call.empty() || !RealTime(c.time)) std::abort();
  }
  logs::ParseAdif(text);
  return 0;
}
