// Fuzz target: the log reader on any bytes, as `zorvant score` and the host stand-in read an operator's file.
// Besides running clean under the sanitizers, what it hands on must be what the reader promises: every
// contact has a callsign and a real date and time of day; reading the bytes a few at a time, as from a
// file, must hand on the same contacts and problems as reading them all at once; and a file whose reading
// fails part-way must hand on the first of those contacts and say that it failed, never other contacts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "logs/adif.h"
#include "logs/log_reader.h"
#include "tests/logs/failing_file.h"

namespace {

bool RealTime(const logs::QsoTime& t) {
  return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour >= 0 && t.hour <= 23 &&
         t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

// The contacts' calls, lines and records and the problems, in the order they came.
class Transcript : public logs::LogSink {
 public:
  void Contact(const logs::LogContact& c) override {
    text +=
        c.call + " " + c.band + " " + std::to_string(c.sourceLine) + " " + std::to_string(c.record) + "\n";
  }
  void Problem(const std::string& p) override { text += p + "\n"; }
  std::string text;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const logs::LogReadResult log = logs::ParseLogText("fuzz.log", text);
  Transcript whole;
  for (const logs::LogContact& c : log.contacts) {
    if (c.call.empty() || !RealTime(c.time)) std::abort();
    whole.Contact(c);
  }
  for (const std::string& p : log.problems) whole.Problem(p);
  // Interleaved, the problems come among the contacts; apart, each kind keeps its order.
  logs::LogStream pieces("fuzz.log", text, 1 + size % 7);
  if (pieces.format() != log.format) std::abort();
  Transcript contacts, problems;
  struct Split : logs::LogSink {
    Transcript* contacts;
    Transcript* problems;
    void Contact(const logs::LogContact& c) override { contacts->Contact(c); }
    void Problem(const std::string& p) override { problems->Problem(p); }
  } split;
  split.contacts = &contacts;
  split.problems = &problems;
  pieces.Read(split);
  if (contacts.text + problems.text != whole.text) std::abort();

  // The read error comes at a byte the input picks, anywhere in it or past its end.
  const std::size_t failAt = size ? data[size - 1] * size / 255 + data[0] % 2 : 0;
  logs::testing::FailingFile file(text, failAt);
  logs::LogStream failing("fuzz.log", file.file(), 1 + size % 5);
  if (failing.opened()) {
    Transcript partial, ignored;
    split.contacts = &partial;
    split.problems = &ignored;
    failing.Read(split);
    if (failing.failed() ? contacts.text.compare(0, partial.text.size(), partial.text) != 0
                         : partial.text != contacts.text) {
      std::abort();
    }
    if (failing.failed() && failAt >= size) std::abort();
  }
  logs::ParseAdif(text);
  return 0;
}
