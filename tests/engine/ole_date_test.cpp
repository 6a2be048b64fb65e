#include "engine/ole_date.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zorvant {
namespace {

constexpr double kSecond = 1.0 / 86400.0;
// 5 March 2017, 00:00.
constexpr double kMarch5 = 42799.0;

struct FormatCase {
  double value;
  const char* text;  // "%Y-%m-%d %H%M:%S"
  int hour;
};

TEST(OleDateTest, ValidValuesFormatAndGiveTheirHour) {
  const FormatCase cases[] = {
      {kMarch5 + 0.25, "2017-03-05 0600:00", 6},
      {kMarch5 + (14 * 3600 + 32 * 60) * kSecond, "2017-03-05 1432:00", 14},
      // Stored a hair early, as the host's arithmetic leaves it: still 14:32.
      {kMarch5 + (14 * 3600 + 31 * 60 + 59.9999) * kSecond, "2017-03-05 1432:00", 14},
      {kMarch5 + (14 * 3600 + 31 * 60 + 59.4) * kSecond, "2017-03-05 1431:59", 14},
      {kMarch5 + (23 * 3600 + 59 * 60 + 59.9) * kSecond, "2017-03-06 0000:00", 0},
      {kMarch5 - 0.1 * kSecond, "2017-03-05 0000:00", 0},
      {0.0, "1899-12-30 0000:00", 0},
      {1.75, "1899-12-31 1800:00", 18},
      // Before the epoch the day counts down but the fraction is still the time of day.
      {-1.25, "1899-12-29 0600:00", 6},
      {-0.5, "1899-12-30 1200:00", 12},
      {-36522.75, "1800-01-01 1800:00", 18},
      {-657434.0, "0100-01-01 0000:00", 0},
      {2958465.5, "9999-12-31 1200:00", 12},
  };
  for (const FormatCase& c : cases) {
    const OleDate d{c.value, OleDate::kValid};
    EXPECT_EQ(Format(d, "%Y-%m-%d %H%M:%S"), c.text) << c.value;
    EXPECT_EQ(Hour(d), c.hour) << c.value;
  }
}

TEST(OleDateTest, RoundingAcrossMidnightBeforeTheEpoch) {
  // 29 December 1899, 23:59:59.9: the next day begins at the second it rounds to.
  const OleDate d{-1.0 - (86399.9 * kSecond), OleDate::kValid};
  EXPECT_EQ(Format(d, "%Y-%m-%d %H%M:%S"), "1899-12-30 0000:00");
  const OleDate justBefore{-1.0 - (86399.0 * kSecond), OleDate::kValid};
  EXPECT_EQ(Format(justBefore, "%Y-%m-%d %H%M:%S"), "1899-12-29 2359:59");
}

TEST(OleDateTest, FromPartsMatchesTheHostsCount) {
  EXPECT_DOUBLE_EQ(OleDate::FromParts(2017, 3, 5, 6, 0).value, kMarch5 + 0.25);
  EXPECT_DOUBLE_EQ(OleDate::FromParts(1899, 12, 29, 6, 0).value, -1.25);
  EXPECT_EQ(Format(OleDate::FromParts(2024, 2, 29, 23, 59, 30), "%d.%m.%Y %H:%M:%S"), "29.02.2024 23:59:30");
}

TEST(OleDateTest, InvalidNullAndOutOfRangeDates) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const OleDate invalid[] = {
      {kMarch5, OleDate::kInvalid},
      {-657435.0, OleDate::kValid},
      {2958466.0, OleDate::kValid},
      {2958465.0 + 86399.9 * kSecond, OleDate::kValid},  // rounds into the year 10000
      {1e300, OleDate::kValid},
      {nan, OleDate::kValid},
      {inf, OleDate::kValid},
      {-inf, OleDate::kValid},
  };
  for (const OleDate& d : invalid) {
    EXPECT_EQ(Format(d, "%Y"), "Invalid DateTime") << d.value;
    EXPECT_EQ(Format(d, "literal"), "Invalid DateTime") << d.value;
    EXPECT_EQ(Hour(d), -1) << d.value;
  }
  const OleDate null = OleDate::Null();
  EXPECT_EQ(Format(null, "%Y-%m-%d %H%M"), "");
  EXPECT_EQ(Format(OleDate{kMarch5, OleDate::kNull}, "literal"), "");
  EXPECT_EQ(Hour(null), -1);
  EXPECT_EQ(OleDate::From(nullptr).status, OleDate::kNull);
}

TEST(OleDateTest, FormatCopiesOtherTextAndEscapes) {
  const OleDate d{kMarch5 + 0.5, OleDate::kValid};
  EXPECT_EQ(Format(d, "at %H%% of %d/%m (%Q)"), "at 12% of 05/03 (%Q)");
  EXPECT_EQ(Format(d, ""), "");
  EXPECT_EQ(Format(d, nullptr), "");
  EXPECT_EQ(Format(d, "trailing %"), "trailing %");
}

TEST(OleDateTest, SameTimeComparesStatusThenValue) {
  const OleDate a{kMarch5, OleDate::kValid};
  EXPECT_TRUE(SameTime(a, OleDate{kMarch5, OleDate::kValid}));
  EXPECT_FALSE(SameTime(a, OleDate{kMarch5 + kSecond, OleDate::kValid}));
  EXPECT_FALSE(SameTime(a, OleDate{kMarch5, OleDate::kNull}));
  EXPECT_TRUE(SameTime(OleDate::Null(), OleDate{5.0, OleDate::kNull}));
  EXPECT_FALSE(SameTime(OleDate{kMarch5, OleDate::kInvalid}, OleDate{kMarch5, OleDate::kInvalid}));
}

}  // namespace
}  // namespace zorvant
