#include <gtest/gtest.h>

#include "engine/contest.h"
#include "engine/contest_rules.h"
#include "engine/ole_date.h"

namespace zorvant {
namespace {

TEST(ContestTablesTest, MembershipIgnoresCaseOnly) {
  Contest contest(SystemPlatform());
  for (const char* mode : {"RTTY", "rtty", "RtTy", "BPSK63", "bpsk63"}) {
    EXPECT_TRUE(contest.modeTable.Contains(mode)) << mode;
  }
  for (const char* mode :
       {"PSK31", "BPSK", "RTTY ", " RTTY", "RTTY\t", "", static_cast<const char*>(nullptr)}) {
    EXPECT_FALSE(contest.modeTable.Contains(mode)) << (mode ? mode : "(null)");
  }
  for (const char* band : {"160m", "80m", "80M", "40m", "20M", "15m", "10m"}) {
    EXPECT_TRUE(contest.bandTable.Contains(band)) << band;
  }
  for (const char* band : {"30m", "80", "m", "6m", "1600m", "", static_cast<const char*>(nullptr)}) {
    EXPECT_FALSE(contest.bandTable.Contains(band)) << (band ? band : "(null)");
  }
  EXPECT_EQ(contest.bandTable.IndexOf("40M"), 2);
  EXPECT_EQ(contest.modeTable.IndexOf("bpsk63"), 1);
}

TEST(ContestTablesTest, TablesKeepTheirOrder) {
  Contest contest(SystemPlatform());
  ASSERT_EQ(contest.bandTable.size(), 6u);
  const char* bands[] = {"160m", "80m", "40m", "20m", "15m", "10m"};
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(contest.bandTable[i], bands[i]);
  ASSERT_EQ(contest.modeTable.size(), 2u);
  EXPECT_EQ(contest.modeTable[0], "RTTY");
  EXPECT_EQ(contest.modeTable[1], "BPSK63");
}

struct TourCase {
  int startHour;
  OleDate time;
  int tour;
};

TEST(ContestTourTest, SecondTourBeginsTwoHoursAfterTheStartHour) {
  const TourCase cases[] = {
      {14, OleDate::FromParts(2017, 3, 5, 14, 0), 0},
      {14, OleDate::FromParts(2017, 3, 5, 14, 59, 59), 0},
      {14, OleDate::FromParts(2017, 3, 5, 15, 0), 0},
      {14, OleDate::FromParts(2017, 3, 5, 15, 59), 0},
      {14, OleDate::FromParts(2017, 3, 5, 16, 0), 1},
      {14, OleDate::FromParts(2017, 3, 5, 23, 59), 1},
      {14, OleDate::FromParts(2017, 3, 5, 13, 59), 0},
      {14, OleDate::FromParts(2017, 3, 6, 0, 30), 0},  // the date plays no part
      {14, OleDate::FromParts(2017, 3, 4, 16, 30), 1},
      {14, OleDate::Null(), 0},
      {14, OleDate{42799.0, OleDate::kInvalid}, 0},
      // An invalid start leaves the start hour at -1: every hour from 1 on is the second tour.
      {-1, OleDate::FromParts(2017, 3, 5, 0, 59), 0},
      {-1, OleDate::FromParts(2017, 3, 5, 1, 0), 1},
      {-1, OleDate::Null(), 0},
  };
  Contest contest(SystemPlatform());
  for (const TourCase& c : cases) {
    contest.startHour = static_cast<std::int16_t>(c.startHour);
    EXPECT_EQ(contest.TourOf(c.time), c.tour)
        << "start " << c.startHour << ", time " << Format(c.time, "%Y-%m-%d %H:%M:%S");
  }
}

}  // namespace
}  // namespace zorvant
