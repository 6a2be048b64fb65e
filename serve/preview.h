// What the server answers an upload with before anything is stored: the log read and scored exactly as
// `zorvant score LOG --call CALL --start START` reads and scores it, and everything an entrant needs to
// mend a log: its station and categories, every problem by its line, the contacts the contest refuses and
// why, and the statistics report itself.
#ifndef ZORVANT_SERVE_PREVIEW_H_
#define ZORVANT_SERVE_PREVIEW_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "logs/adif.h"
#include "report/report.h"
#include "serve/categories.h"

namespace serve {

// The contest period as the sponsor's cross-check takes it, UTC seconds since 1970: a contact whose minute
// lies before the start's or after the end's is removed, whatever the engine made of it.
struct Period {
  std::int64_t start = INT64_MIN;
  std::int64_t end = INT64_MAX;  // INT64_MAX: no end given
};

struct PreviewSettings {
  logs::QsoTime start{};
  std::string startText;  // "YYYY-MM-DD HH:MM", as --start takes it
  std::string scratch;    // where each log gets a folder of its own while it is scored
  Period period;
  // The upload form's categories: an ADIF log's own, and what a Cabrillo log's header leaves out.
  ChosenCategories chosen;
};

// A problem the reader found, with the line it is about (0 when it names none) and that line's text.
struct LineProblem {
  int line = 0;
  std::string message;  // the reader's words, without the log's name in front
  std::string lineText;
};

// A contact the contest refuses, or keeps as a dupe that earns nothing: one line of the bad-QSO file.
struct Refusal {
  int line = 0;  // where the contact starts in the log
  std::string call, band, mode;
  bool dupe = false;
  std::string reason;      // the bad-QSO file's marker: "WRONG BAND", "WRONG MODE", "NO RX NUMBER", "DUPE"
  std::string badQsoLine;  // the line as the bad-QSO file has it
};

// A contact logged outside the contest period. The engine's tours go by the hour alone, so its claimed
// score may hold it; the check will not count it.
struct OutsidePeriod {
  int line = 0;
  std::string call, band, mode;
  std::string time;  // "YYYY-MM-DD HH:MM", UTC
};

// Why a log cannot be taken.
enum class Unfit {
  kNo,
  kNeitherFormat,  // neither ADIF nor Cabrillo
  kNoCall,         // names no station: no CALLSIGN: line, no station call in its contacts
  kBadCall,        // names one that does not read as a call
  kUnreadable,     // the reader stopped (`why` says where)
  kNoContacts,     // not one contact could be read
};

struct Preview {
  Unfit unfit = Unfit::kNo;
  std::string why;                                          // for kUnreadable: the reader's reason
  std::string label;                                        // the name the problems and reports give the log
  std::string format;                                       // "ADIF", "Cabrillo"
  std::string call;                                         // the entrant
  std::vector<std::pair<std::string, std::string>> header;  // a Cabrillo log's header lines worth showing
  // The CATEGORY- values, one blank between them; "" for none. A Cabrillo log's own in its order, then
  // those the form filled in.
  std::string categories;
  std::size_t contacts = 0, stored = 0, dupes = 0;
  std::vector<LineProblem> problems;
  std::vector<Refusal> refusals;
  std::vector<OutsidePeriod> outside;
  bool reasonsLost = false;  // the engine's record of why could not be written or read (a full disk)
  std::string report;        // the same bytes `zorvant score` prints
  zorvant::ReportTotals totals;
  std::vector<std::string> worked;  // every call the log holds a contact with, once, sorted
  std::string bytes;                // the log as sent
  std::string sha256;
};

// `fileName` is what the browser called the file ("" for pasted text): a label only, never a path.
Preview ReadUpload(const std::string& fileName, std::string bytes, const PreviewSettings& settings);

// The contacts of a log outside `period`, read as the answer read them (a stored version on its status page).
std::vector<OutsidePeriod> ContactsOutside(const std::string& label, const std::string& bytes,
                                           const Period& period);

// The memory an answer holds, as near as its strings and lists tell (each block's allocator overhead
// included): a log full of problems holds several times its own bytes.
std::size_t Footprint(const Preview& preview);

// `text` without the blanks and line breaks at either end.
std::string Trimmed(std::string_view text);
// `text` in capitals (ASCII letters).
std::string Upper(std::string text);

// The file name reduced to a harmless label: its last component, letters, digits, '.', '-' and '_' only.
std::string SafeLabel(const std::string& fileName);

}  // namespace serve

#endif  // ZORVANT_SERVE_PREVIEW_H_
