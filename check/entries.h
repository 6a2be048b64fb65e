// The logs of a contest as its sponsor receives them: a folder of Cabrillo and ADIF files, one an entrant,
// read in parallel and each scored as it streams past, kept compact enough for a contest of a million
// contacts. Portable.
#ifndef ZORVANT_CHECK_ENTRIES_H_
#define ZORVANT_CHECK_ENTRIES_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "check/engine_run.h"
#include "engine/text_pool.h"
#include "logs/adif.h"

namespace check {

constexpr std::uint32_t kNone = ~std::uint32_t{0};

// What the cross-check found for a contact.
enum class Verdict : std::uint8_t {
  kRefused,    // the contest's rules refuse it (band, mode, serials): it scores nothing and is not checked
  kConfirmed,  // the other log holds it, with the serial this log received
  kBustedExchange,  // the other log holds it, but sent another serial than this log received
  kNil,             // the other station sent a log without it
  kBustedCall,      // the call is wrong: a log one edit from it holds the contact
  kNotCheckable,    // the other station sent no log but is in other logs
  kUnique,          // the other station sent no log and is in no other log
  kOutsidePeriod,   // logged before the contest's start or after its end
  kPartnerMiscopy,  // the other side's copy of it is a busted call or exchange, and the sponsor removes both
};
constexpr int kVerdicts = 9;
// NIL, busted call, busted exchange, outside the contest period and the partner's miscopy: the contact is
// taken out of the log for its checked score.
bool Removed(Verdict v);
const char* VerdictName(Verdict v);  // "NIL", "busted call", ...

// One contact of a log, with what the engine and the cross-check made of it.
struct Qso {
  std::int64_t second = 0;  // its time, UTC seconds since 1970 (OleTimeOf gives it as the engine takes it)
  std::uint32_t log = 0;    // the log it is in
  std::uint32_t call = 0;   // the worked call, an id in Entries::calls
  std::uint32_t texts = 0;  // where its texts start in its log's `texts`
  std::uint32_t freqHz = 0;
  std::uint32_t partner = kNone;  // the contact of the other log it was matched with
  std::int32_t line = 0;          // its first line in the file
  std::int8_t band = -1;          // the contest's band and mode, by their place in the engine's tables; -1
  std::int8_t mode = -1;          //   for any other
  bool stored = false;            // the engine stored it, and so it is checked; the refused ones are not
  bool dupe = false;              // stored as a dupe: it earns nothing
  bool partnerCallWrong = false;  // matched although the other log holds our call one edit off
  Verdict verdict = Verdict::kRefused;  // for a stored contact, set by the cross-check
};

// One file of the folder.
struct Entry {
  std::string path;    // the folder and the file name, as the problems name it
  std::string name;    // the file name
  std::string format;  // "Cabrillo", "ADIF"
  std::string call;    // the entrant, a callsign: the Cabrillo CALLSIGN: header, or an ADIF log's file name
  std::uint32_t callId = kNone;
  // Why the log is not checked: it cannot be read (at all, or to its end), is neither format, names no
  // entrant that reads as a callsign, or claims a call another log claims too. "" for a checked log.
  std::string error;
  std::vector<std::string> problems;  // records it could not use, as `zorvant score` reports them
  std::size_t first = 0;              // its contacts are Entries::qsos[first, first + count)
  std::size_t count = 0;
  std::string texts;  // each contact's texts as the engine took them, each ended by a NUL
  Totals claimed;     // the whole log through the engine
  Totals checked;     // the log without its removed contacts
};

struct Entries {
  std::vector<Entry> logs;  // by file name
  std::vector<Qso> qsos;    // log by log, each in file order
  zorvant::TextPool calls;  // the entrants' and the worked calls
  // Calls that two logs or more claim, by id in the order first claimed: none of those logs is checked,
  // and contacts with such a call are not checkable.
  std::vector<std::uint32_t> disputed;
  // The folders in the folder, by name: logs are read from the folder's own files only, so that reports
  // kept inside it, or logs set aside in a folder of their own, are never taken for entries.
  std::vector<std::string> folders;
};

// The texts the engine took for a contact.
ContactTexts TextsOf(const Entry& log, const Qso& q);
// The few of them the cross-check reads of every contact, kept first.
const char* CallOf(const Entry& log, const Qso& q);
const char* SerialSent(const Entry& log, const Qso& q);
const char* SerialReceived(const Entry& log, const Qso& q);

// Reads every regular file of `folder` (hidden ones aside; its folders are listed, not read) on `threads`
// threads, each log fed to the engine
// for its claimed score as it is read, contest starting at `start`. `progress` (may be empty) is called on
// the calling thread from time to time with the number of files done. False, with the reason, when the
// folder cannot be listed.
bool ReadEntries(const std::string& folder, const logs::QsoTime& start, int threads,
                 const std::function<void(std::size_t done, std::size_t all)>& progress, Entries* out,
                 std::string* error);

// A log held in memory with its entrant already known, as a sponsor's server keeps what it received.
struct HeldLog {
  std::string name;       // labels the log in the problems and reports, as a file name would
  std::string call;       // the entrant
  std::string_view text;  // the log's bytes, kept alive by the caller
};
// ReadEntries for logs held in memory, in the order given.
void ReadEntries(const std::vector<HeldLog>& held, const logs::QsoTime& start, int threads, Entries* out);

// UTC seconds since 1970 of a contact's time, as Qso::second holds it, and back.
std::int64_t SecondsOf(const logs::QsoTime& t);
logs::QsoTime TimeOfSeconds(std::int64_t second);
// The time as the engine took it when the log was read: the same parts, the same value.
zorvant::OleDate OleTimeOf(std::int64_t second);

// `name` in `folder`, with a "/" between them on both systems (Windows reads it too): the problems and
// reports name a file alike wherever the command runs.
std::string PathIn(const std::string& folder, const std::string& name);

// Whether `call` (in capitals) reads as a station's call: letters, digits and '/' only, a letter and a
// digit among them, 3 to 20 characters, no '/' at either end or twice in a row.
bool ReadsAsCall(const std::string& call);

// The entrant of a log, when its header does not name one: the file name without its extension, "_" read
// as "/", in capitals, when that reads as a callsign; else "".
std::string CallOfFileName(const std::string& name);

// Scores every checked log that lost a contact again, without those contacts, on `threads` threads; the
// others keep their claimed score as the checked one.
void ScoreChecked(Entries& entries, const logs::QsoTime& start, int threads);

// Runs `work(i)` for i in [0, count) on `threads` threads, each taking the next i as it becomes free; the
// calling thread gets `tick(done)` (when given) about ten times a second meanwhile. What the first failing
// `work` threw is thrown again once all have ended.
void InParallel(std::size_t count, int threads, const std::function<void(std::size_t)>& work,
                const std::function<void(std::size_t)>& tick);

}  // namespace check

#endif  // ZORVANT_CHECK_ENTRIES_H_
