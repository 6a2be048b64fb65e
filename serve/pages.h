// The robot's pages: plain HTML forms that work without JavaScript, every value escaped, every form with
// its CSRF token. Pure functions of what they show, so that tests read them as a browser gets them.
#ifndef ZORVANT_SERVE_PAGES_H_
#define ZORVANT_SERVE_PAGES_H_

#include <optional>
#include <string>
#include <vector>

#include "serve/preview.h"
#include "serve/store.h"
#include "serve/texts.h"

namespace serve {

// What every page needs of the request.
struct PageContext {
  Lang lang = Lang::kEnglish;
  std::string csrf;  // the token every form carries
  std::string here;  // the page's own path, for the language links ("/", "/status", ...)
};

// What the contest is, as the pages tell it.
struct ContestFacts {
  std::string start;     // "YYYY-MM-DD HH:MM"
  std::string end;       // the contest period's end, the same, or "" for none
  std::string deadline;  // the same, or "" for none
  bool closed = false;   // the deadline has passed
  std::size_t maxMegabytes = 5;
};

// `text` made safe to stand in HTML text or a double-quoted attribute: the markup characters written as
// entities, and what is not UTF-8 (a log may be in any 8-bit code page) or is a control character shown
// as U+FFFD.
std::string Html(const std::string& text);

// The text of `key` with {1}, {2}... replaced by the values, each escaped.
std::string Say(Lang lang, const char* key, const std::vector<std::string>& values = {});

// What the receipt code sent with a log says of its sender.
enum class Claim {
  kNoCode,
  kOwner,     // the code proves the call's owner: the log replaces the call's current one
  kNotTaken,  // it does not (whether or not the call has a log: the answer must not tell which)
};

std::string UploadPage(const PageContext& page, const ContestFacts& contest, const std::string& message,
                       const std::string& email);

// What the entrant typed into the upload form, given back with an answer that turns it away: a browser
// keeps no file chosen, but pasted text, the e-mail, the code and the categories need not be typed again.
struct UploadForm {
  std::string text, email, receipt;
  ChosenCategories categories;
};
std::string UploadPage(const PageContext& page, const ContestFacts& contest, const std::string& message,
                       const UploadForm& form);
// A log that cannot be taken: why, what little could be read of it, and the form again as it was sent.
std::string UnfitPage(const PageContext& page, const ContestFacts& contest, const Preview& preview,
                      const UploadForm& form);
// `token`: the confirm form's hidden value; "" when the log cannot be taken. `code`: the receipt code the
// upload came with, and `claim` what it says.
std::string PreviewPage(const PageContext& page, const ContestFacts& contest, const Preview& preview,
                        const std::string& token, const std::string& code, Claim claim);
// `code`: the receipt code the version was sent with. Only an owner's version tells what it replaced: any
// other answer reads the same whether the call had a log or not.
std::string ReceiptPage(const PageContext& page, const Received& receipt, const std::string& code);
std::string StatusForm(const PageContext& page, const std::string& message, const std::string& call);
// `outside`: the contacts of the receipt's version outside the contest period.
std::string StatusPage(const PageContext& page, const ContestFacts& contest, const Received& receipt,
                       const std::vector<Received>& versions, const std::optional<PublishedLog>& published,
                       const std::vector<OutsidePeriod>& outside);
std::string MessagePage(const PageContext& page, const std::string& title, const std::string& message);
std::string NoResultsPage(const PageContext& page);
std::string SponsorLogin(const PageContext& page, const std::string& message);
// A publication's results for the public: the overall ranking, then one per category as the logs give them
// (by name; the logs without one last, in a group of their own). `logs`: by place; those not checked (place
// 0) are in no ranking. `published`: "YYYY-MM-DD HH:MM:SS", UTC.
std::string ResultsPage(const PageContext& page, const std::string& published,
                        const std::vector<PublishedLog>& logs);
// The calls whose logs arrived, for entrants to see that theirs did: nothing of who sent them or of what.
std::string ReceivedPage(const PageContext& page, const std::vector<Arrival>& calls);
// `logs`: each call's current version; `setAside`: the versions waiting for the sponsor.
std::string SponsorPage(const PageContext& page, const std::string& message,
                        const std::vector<Received>& logs, const std::vector<Received>& setAside,
                        const std::vector<Missing>& missing, int missingAtLeast,
                        const std::optional<Publication>& last, const std::vector<FailedLogin>& failures);

// The pages' one style sheet.
const std::string& StyleSheet();

// The last publication's results as CSV (RFC 4180), one row a log by place.
std::string ResultsCsv(const std::vector<PublishedLog>& logs);
// A CSV field: quoted where it holds a comma, a quote or a line break, and kept as text where a spreadsheet
// would take it for a formula.
std::string CsvField(const std::string& value);

}  // namespace serve

#endif  // ZORVANT_SERVE_PAGES_H_
