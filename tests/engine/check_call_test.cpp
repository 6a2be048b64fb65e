#include <gtest/gtest.h>

#include "engine/contest.h"
#include "tests/support/test_support.h"

namespace zorvant {
namespace {

using testing::Contact;
using testing::RecordingShell;

class CheckCallTest : public ::testing::Test {
 protected:
  CheckCallTest() { contest_.startHour = 14; }

  void Add(const char* call, const char* band, const char* mode, const char* prefix, int hour) {
    Contact c;
    c.call = call;
    c.band = band;
    c.mode = mode;
    c.prefix = prefix;
    c.time = OleDate::FromParts(2017, 3, 5, hour, 10);
    ASSERT_EQ(contest_.AddData(c.Args()), 1);
  }

  Contest contest_{SystemPlatform()};  // never reset: no file is written
  RecordingShell shell_;
};

struct Check {
  const char* what;
  int tour;
  const char* call;
  const char* band;
  const char* mode;
  const char* prefix;
  const char* countryPrefix;
  const char* band2;
  int result;
};

TEST_F(CheckCallTest, EmptyLog) {
  const Check cases[] = {
      {"new prefix", 0, "HISCALL", "80m", "RTTY", "HI1", "HI", nullptr, 2},
      {"no country prefix", 0, "HISCALL", "80m", "RTTY", "HI1", "", nullptr, 1},
      {"band outside", 0, "HISCALL", "30m", "RTTY", "HI1", "HI", nullptr, 4},
  };
  for (const Check& c : cases) {
    EXPECT_EQ(contest_.CheckCall({c.call, c.mode, c.prefix, c.countryPrefix, c.band, c.band2}, shell_),
              c.result)
        << c.what;
  }
}

TEST_F(CheckCallTest, AnswersFromTheLog) {
  Add("HISCALL", "80m", "RTTY", "HI1", 14);  // tour 0
  Add("THIRD", "80m", "BPSK63", "TH3", 16);  // tour 1
  Add("EMPTY", "40m", "RTTY", "", 14);       // tour 0, no prefix
  const Check cases[] = {
      {"dupe", 0, "HISCALL", "80m", "RTTY", "HI1", "HI", nullptr, 0},
      {"other mode, prefix worked on the band", 0, "HISCALL", "80m", "BPSK63", "HI1", "HI", nullptr, 1},
      {"other tour", 1, "HISCALL", "80m", "RTTY", "HI1", "HI", nullptr, 2},
      {"other tour, its prefix worked there", 1, "HISCALL", "80m", "RTTY", "TH3", "HI", nullptr, 1},
      {"other station, same prefix, any mode", 0, "HI9XX", "80m", "BPSK63", "HI1", "HI", nullptr, 1},
      {"other band", 0, "HISCALL", "40m", "RTTY", "HI1", "HI", nullptr, 2},
      {"call in lower case is another call", 0, "hiscall", "80m", "RTTY", "HI1", "HI", nullptr, 1},
      {"prefix in lower case is another prefix", 0, "NEW", "80m", "RTTY", "hi1", "HI", nullptr, 2},
      {"mode in lower case passes the table, matches no record", 0, "HISCALL", "80m", "rtty", "XX", "HI",
       nullptr, 2},
      {"band in capitals passes the table, matches no record", 0, "HISCALL", "80M", "RTTY", "HI1", "HI",
       nullptr, 2},
      {"second band in capitals agrees", 0, "HISCALL", "80m", "RTTY", "HI1", "HI", "80M", 0},
      {"second band disagrees", 0, "HISCALL", "80m", "RTTY", "HI1", "HI", "40m", 4},
      {"second band given alone", 0, "HISCALL", nullptr, "RTTY", "HI1", "HI", "80m", 4},
      {"no country prefix: no search, even for a dupe", 0, "HISCALL", "80m", "RTTY", "HI1", "", nullptr, 1},
      {"null country prefix", 0, "HISCALL", "80m", "RTTY", "HI1", nullptr, nullptr, 1},
      {"null prefix matches a record without one", 0, "NEW", "40m", "BPSK63", nullptr, "XX", nullptr, 1},
      {"null call matches no record", 0, nullptr, "80m", "RTTY", "NEW", "XX", nullptr, 2},
      {"band outside the contest", 0, "HISCALL", "30m", "RTTY", "HI1", "HI", nullptr, 4},
      {"mode outside the contest", 0, "HISCALL", "80m", "PSK31", "HI1", "HI", nullptr, 4},
      {"null band", 0, "HISCALL", nullptr, "RTTY", "HI1", "HI", nullptr, 4},
      {"null mode", 0, "HISCALL", "80m", nullptr, "HI1", "HI", nullptr, 4},
  };
  for (const Check& c : cases) {
    contest_.currentTour = static_cast<std::int16_t>(c.tour);
    EXPECT_EQ(contest_.CheckCall({c.call, c.mode, c.prefix, c.countryPrefix, c.band, c.band2}, shell_),
              c.result)
        << c.what;
  }
  EXPECT_EQ(contest_.qsoLog.size(), 3u);
}

TEST_F(CheckCallTest, DupeRecordsCountForThePrefix) {
  Add("HISCALL", "80m", "RTTY", "HI1", 14);
  Add("HISCALL", "80m", "RTTY", "HI1", 15);  // dupe
  contest_.qsoLog.RemoveAt(0);
  ASSERT_EQ(contest_.qsoLog[0].dupe, 1);
  EXPECT_EQ(contest_.CheckCall({"HI9XX", "RTTY", "HI1", "HI", "80m", nullptr}, shell_), 1);
  EXPECT_EQ(contest_.CheckCall({"HISCALL", "RTTY", "HI1", "HI", "80m", nullptr}, shell_), 0);
}

TEST_F(CheckCallTest, PendingRefreshIsPostedOnce) {
  const CallCheckArgs probe{"HISCALL", "RTTY", "HI1", "HI", "80m", nullptr};
  contest_.CheckCall(probe, shell_);
  EXPECT_EQ(shell_.refreshes, 0) << "no Setup window: nothing to post";
  EXPECT_EQ(contest_.refreshPending, 1);

  shell_.windowOpen = true;
  contest_.CheckCall({"HISCALL", "RTTY", "HI1", "HI", "30m", nullptr},
                     shell_);  // answered 4, posted all the same
  EXPECT_EQ(shell_.refreshes, 1);
  EXPECT_EQ(contest_.refreshPending, 0);
  contest_.CheckCall(probe, shell_);
  contest_.CheckCall(probe, shell_);
  EXPECT_EQ(shell_.refreshes, 1);

  contest_.refreshPending = 1;  // what the Setup window does after its refresh
  contest_.CheckCall(probe, shell_);
  EXPECT_EQ(shell_.refreshes, 2);
  EXPECT_EQ(shell_.setupStarts, 0);
}

// Between the start of the Setup thread and its window being up, a call check has nowhere to post: the
// refresh stays pending for the next check instead of being lost.
TEST_F(CheckCallTest, ARefreshStaysPendingUntilTheWindowIsUp) {
  const CallCheckArgs probe{"HISCALL", "RTTY", "HI1", "HI", "80m", nullptr};
  shell_.windowOpen = true;
  shell_.windowUp = false;
  contest_.CheckCall(probe, shell_);
  EXPECT_EQ(contest_.refreshPending, 1);
  shell_.windowUp = true;
  contest_.CheckCall(probe, shell_);
  EXPECT_EQ(contest_.refreshPending, 0);
  contest_.CheckCall(probe, shell_);
  EXPECT_EQ(shell_.refreshes, 2) << "one that found no window, one taken, then none while it is outstanding";
}

}  // namespace
}  // namespace zorvant
