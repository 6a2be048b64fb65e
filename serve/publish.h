// The sponsor's "check and publish": the cross-check of `zorvant check`, run on the current version of
// every log the server holds (none set aside), and stored whole as a new publication: the results, each
// entrant's UBN report and every contact's class.
#ifndef ZORVANT_SERVE_PUBLISH_H_
#define ZORVANT_SERVE_PUBLISH_H_

#include <string>

#include "check/cross_check.h"
#include "logs/adif.h"
#include "serve/store.h"

namespace serve {

struct CheckSettings {
  logs::QsoTime start{};
  std::string startText;  // "YYYY-MM-DD HH:MM"
  int window = 3;         // minutes either way
  check::Rules rules;     // the contest period and the miscopy rule; its window is `window`
  std::string endText;    // the period's end, "YYYY-MM-DD HH:MM", or ""
  int threads = 1;
};

// The name a log has in the check's reports and in the sponsor's zip: the call as the Cabrillo writer makes
// it a file name, and the format's extension.
std::string LogFileName(const std::string& call, const std::string& format);

// Returns the publication as stored (with its id).
Publication CheckAndPublish(Store& store, const CheckSettings& settings, const std::string& now);

}  // namespace serve

#endif  // ZORVANT_SERVE_PUBLISH_H_
