// `zorvant score` reads its log on a thread of its own while the engine takes the contacts on the calling
// one. Built with ZORVANT_TSAN this shows the batches cross between the two threads safely.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logs/log_reader.h"

namespace logs {
namespace {

class Recording : public LogSink {
 public:
  void Contact(const LogContact& c) override { seen.push_back(c.call + " " + std::to_string(c.sourceLine)); }
  void Problem(const std::string& p) override { seen.push_back(p); }
  std::vector<std::string> seen;
};

TEST(ReadAheadTest, HandsOnWhatAPlainReadDoesInTheSameOrder) {
  std::string text = "<EOH>\n";
  for (int i = 0; i < 5000; ++i) {
    text += "<CALL:6>K" + std::to_string(10000 + i) + "<QSO_DATE:8>20260314<TIME_ON:4>1401";
    text += i % 7 == 0 ? "<FREQ:3>abc<EOR>\n" : "<EOR>\n";  // a problem now and then among the contacts
  }
  LogStream log("x.adi", text, 100);
  Recording plain, ahead;
  ASSERT_EQ(log.Read(plain), 5000u);
  ASSERT_EQ(log.ReadAhead(ahead), 5000u);
  EXPECT_EQ(ahead.seen, plain.seen);
}

}  // namespace
}  // namespace logs
