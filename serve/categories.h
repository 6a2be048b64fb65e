// The Cabrillo 3.0 categories an entry is placed by, with their standard values: the upload form offers
// them, and a Cabrillo log's own header lines are checked against them.
#ifndef ZORVANT_SERVE_CATEGORIES_H_
#define ZORVANT_SERVE_CATEGORIES_H_

#include <string>
#include <utility>
#include <vector>

namespace serve {

struct Category {
  const char* tag;  // "CATEGORY-OPERATOR"
  std::vector<const char*> values;
};

// In the order a Cabrillo header lists them, which is the order an ADIF log's categories are stored in.
const std::vector<Category>& Categories();

// The category of `tag` ("CATEGORY-MODE"), or null.
const Category* CategoryOf(const std::string& tag);

// Whether `value` is one of the category's standard values (letters in any case).
bool KnownValue(const Category& category, const std::string& value);

// Whether `tag` (in capitals) may head a line of a Cabrillo 3.0 log: the standard's tags, and the X- ones
// every log may add of its own.
bool KnownCabrilloTag(const std::string& tag);

// The choice of the upload form: (tag, value) in the order of Categories(), the unchosen left out.
using ChosenCategories = std::vector<std::pair<std::string, std::string>>;

}  // namespace serve

#endif  // ZORVANT_SERVE_CATEGORIES_H_
