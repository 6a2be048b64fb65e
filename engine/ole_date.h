// The OLE automation date the host passes by pointer: a double counting days since 30 December 1899 (the
// fraction is the time of day) and a status. The layout is ABI: value at offset 0, status at offset 8.
#ifndef ZORVANT_ENGINE_OLE_DATE_H_
#define ZORVANT_ENGINE_OLE_DATE_H_

#include <string>

namespace zorvant {

struct OleDate {
  enum Status : int { kValid = 0, kInvalid = 1, kNull = 2 };

  double value = 0.0;
  int status = kValid;

  static OleDate Null() { return OleDate{0.0, kNull}; }
  // A null pointer from the host is a null date.
  static OleDate From(const OleDate* p) { return p ? *p : Null(); }
  static OleDate FromParts(int year, int month, int day, int hour, int minute, int second = 0);
};
static_assert(sizeof(OleDate) == 16, "the host's date object is 16 bytes");

struct CivilTime {
  int year, month, day, hour, minute, second;
};

// False for an invalid or null date and for values outside the years 100 to 9999.
bool ToCivil(const OleDate& d, CivilTime* out);

// Hour of the day, 0 to 23; -1 for a date that is not valid.
int Hour(const OleDate& d);

// strftime-style formatting ("%Y", "%m", "%d", "%H", "%M", "%S", "%%"). A null date gives "", an invalid one
// "Invalid DateTime", whatever the format.
std::string Format(const OleDate& d, const char* format);

// Same status and, when valid, the same value; two null dates are equal, two invalid ones are not.
bool SameTime(const OleDate& a, const OleDate& b);

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_OLE_DATE_H_
