#include "engine/ole_date.h"

#include <cmath>
#include <cstdio>

namespace zorvant {
namespace {

// Day counts of the proleptic Gregorian calendar, counted from 1 January 1970.
constexpr long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, int* y, int* m, int* d) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(static_cast<long>(yoe) + era * 400 + (*m <= 2));
}

// Constant-initialised, so dates made during other files' static initialisation are right too.
constexpr long kOleEpoch = DaysFromCivil(1899, 12, 30);
// The range the host's date class accepts: 1 January 100 to 31 December 9999.
const double kMinValue = -657434.0;
const double kMaxValue = 2958466.0;

}  // namespace

OleDate OleDate::FromParts(int year, int month, int day, int hour, int minute, int second) {
  const long days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kOleEpoch;
  const double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  // Before the epoch the date part counts down while the time of day still counts up.
  return OleDate{days >= 0 ? days + time : days - time, kValid};
}

bool ToCivil(const OleDate& d, CivilTime* out) {
  if (d.status != OleDate::kValid || !std::isfinite(d.value) || d.value <= kMinValue - 1.0 ||
      d.value >= kMaxValue) {
    return false;
  }
  // Before the epoch the date part counts down while the time of day counts up: make it one forward count
  // first, so that rounding to the nearest second (14:31:59.9999 reads 14:32) can carry into the next day.
  const double datePart = std::trunc(d.value);
  const long long total = std::llround((datePart + std::fabs(d.value - datePart)) * 86400.0);
  long days = static_cast<long>(total / 86400);
  long secs = static_cast<long>(total % 86400);
  if (secs < 0) {
    secs += 86400;
    --days;
  }
  CivilFromDays(days + kOleEpoch, &out->year, &out->month, &out->day);
  if (out->year < 100 || out->year > 9999) return false;
  out->hour = static_cast<int>(secs / 3600 % 24);
  out->minute = static_cast<int>(secs / 60 % 60);
  out->second = static_cast<int>(secs % 60);
  return true;
}

int Hour(const OleDate& d) {
  CivilTime t;
  return ToCivil(d, &t) ? t.hour : -1;
}

std::string Format(const OleDate& d, const char* format) {
  if (d.status == OleDate::kNull) return "";
  CivilTime t;
  if (!ToCivil(d, &t)) return "Invalid DateTime";
  std::string out;
  char buf[16];
  for (const char* p = format ? format : ""; *p; ++p) {
    if (*p != '%' || p[1] == '\0') {
      out += *p;
      continue;
    }
    int value = 0;
    const char* digits = "%02d";
    switch (*++p) {
      case 'Y': value = t.year, digits = "%04d"; break;
      case 'm': value = t.month; break;
      case 'd': value = t.day; break;
      case 'H': value = t.hour; break;
      case 'M': value = t.minute; break;
      case 'S': value = t.second; break;
      default:  // "%%" and codes this program never uses are copied as they stand
        out += '%';
        if (*p != '%') out += *p;
        continue;
    }
    std::snprintf(buf, sizeof buf, digits, value);
    out += buf;
  }
  return out;
}

bool SameTime(const OleDate& a, const OleDate& b) {
  if (a.status != b.status) return false;
  if (a.status == OleDate::kValid) return a.value == b.value;
  return a.status == OleDate::kNull;
}

}  // namespace zorvant
