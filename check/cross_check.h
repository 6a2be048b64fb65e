// The sponsor's cross-check: every contact a log claims is looked for in the other station's log, and what
// is found decides whether it stays. Portable.
//
// A's contact with X (the call as A logged it) and a contact of another log are the same contact when they
// share band and mode and their minutes lie at most the window apart. Then, for each stored contact of A:
//   confirmed        X's log holds the contact with A, and A received the serial X sent; also when X's log
//                    holds it with a call one edit from A (X's error, not A's)
//   busted exchange  X's log holds it, but X sent another serial than A received
//   NIL              X sent a log without it
//   busted call      X sent no log, but a log whose call is one edit from X holds the contact with A; also
//                    when X is in no other log and such a log holds a contact with A that another of A's
//                    entries has already claimed (A logged the station twice, once miscopied)
//   not checkable    X sent no log and no such log holds it, but X is in other logs; and whatever the
//                    other logs hold, when two logs claim X (neither is checked, and nobody loses a
//                    contact to one that may be a fake)
//   unique           X sent no log, no log one edit from X holds it, and X is in no other log
// and, by the sponsor's choice:
//   outside the contest period  logged before the start or after the end: removed, whatever else holds
//   partner's miscopy           with the miscopy costing both sides, the contact whose partner is a busted
//                               call or busted exchange
// A contact is matched at most once: the contacts matched exactly before those through a call one edit
// off; of the exact ones, those that confirm each other (each received the serial the other sent) first, so
// that a right copy is never paired with the other side's extra entry; then the closest times. One edit is
// one letter or digit changed, added or left out, or two neighbours swapped. Of two pairs equally far
// apart, the one whose contacts come first in the files goes first.
//
// The pairing takes time n log n and memory n in the contacts, however many of them could pair with each
// other (closest_first.cpp): a log that holds thousands of contacts with one station, or a wide window,
// costs no more than as many ordinary contacts.
#ifndef ZORVANT_CHECK_CROSS_CHECK_H_
#define ZORVANT_CHECK_CROSS_CHECK_H_

#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "check/entries.h"

namespace check {

// Whether two texts are exactly one edit apart.
bool OneEdit(std::string_view a, std::string_view b);

// Two serials as the same number when both are digits: "007" and "7" agree.
bool SameSerial(std::string_view received, std::string_view sent);

// The choices a sponsor makes.
struct Rules {
  int window = 3;  // minutes either way
  // A busted call or busted exchange removes the partner's side of the contact too.
  bool miscopyBoth = false;
  // The contest period, UTC seconds since 1970: a contact whose minute lies before the start's or after
  // the end's is outside it.
  std::int64_t start = INT64_MIN;
  std::int64_t end = INT64_MAX;
};

class CrossCheck {
 public:
  // `threads` sort and pair the logs side by side.
  explicit CrossCheck(Entries& entries, int threads = 1);

  // Sets the verdict of every stored contact, and each matched contact's partner. A busted call found
  // through a contact already matched has that contact as its partner, one way only.
  void Run(const Rules& rules);
  void Run(int windowMinutes) { Run(Rules{windowMinutes}); }
  const Rules& rules() const { return rules_; }

  // The checked log that `call` (an id in the entries' calls) sent, or kNone.
  std::uint32_t LogOf(std::uint32_t call) const;
  // How many checked logs hold a contact with `call`.
  std::size_t LogsWith(std::uint32_t call) const;
  // Whether two logs or more claim `call`.
  bool Disputed(std::uint32_t call) const;
  // The contact of log `owner` with `worked` nearest in time to `q` on any band and mode, or kNone.
  std::uint32_t Nearest(std::uint32_t ownerLog, std::uint32_t worked, const Qso& q) const;

 private:
  struct Key {
    std::uint32_t owner;  // the own call's id
    std::uint32_t worked;
    std::int8_t band, mode;
    std::int64_t second;
    std::uint32_t qso;
  };
  struct Range {
    const Key* begin;
    const Key* end;
  };
  Range Find(std::uint32_t owner, std::uint32_t worked) const;
  // The verdict of an unpaired contact with `call`: NIL where that station's log was checked, not checkable
  // where two logs claim the call, else `otherwise`.
  Verdict WithoutPartner(std::uint32_t call, Verdict otherwise) const;
  Range Find(std::uint32_t owner, std::uint32_t worked, int band, int mode) const;

  // Keys [begin, end): one owner's contacts with one call on one band and mode, by time.
  struct Group {
    std::uint32_t begin, end;
  };
  Group GroupOf(Range range) const;
  // Two groups whose contacts may be one contact: side 0's with side 1's.
  struct Offer {
    Group side[2];
  };
  // Pairs the contacts the offers put up, closest in time first, each at most once: `pair` gets side 0's
  // key and side 1's of each pair as it is made, and must set both contacts' partner. Contacts that have a
  // partner already take no part. See closest_first.cpp.
  // `keys` holds the groups: keys_, or the same contacts sorted otherwise.
  void PairClosestFirst(const std::vector<Key>& keys, const std::vector<Offer>& offers,
                        const std::function<void(const Key&, const Key&)>& pair);
  // Pairs the offer's contacts when none has a choice between two of the other side's, and says so; false,
  // with nothing paired, when one may have.
  bool PairWithoutChoice(const Offer& offer, const std::function<void(const Key&, const Key&)>& pair);
  // Of `offers` (groups of keys_), the pairs whose contacts confirm each other, closest in time first.
  void PairConfirmingFirst(const std::vector<Offer>& offers,
                           const std::function<void(const Key&, const Key&)>& pair);

  // Whether two times lie within the window.
  bool Near(std::int64_t a, std::int64_t b) const;
  void PairExactly();
  void PairOneEditOff();
  // `a` matched with `b`: its verdict from the serial it received.
  void Confirm(Qso& a, const Qso& b);
  void Unmatched();
  // A would-be unique contact's evidence of a miscopied call, or kNone: the nearest contact with its log's
  // station, within the window on its band and mode, of a log one edit from its call.
  std::uint32_t MiscopiedStation(const Qso& q) const;
  // The checked logs, but `except`'s (a call id), whose calls are one edit from `call`, into `near`;
  // `found` is room for the work.
  void LogsOneEditFrom(std::string_view call, std::uint32_t except, std::vector<std::string>* found,
                       std::vector<std::uint32_t>* near) const;
  // The sponsor's choices laid over the verdicts.
  void PartnersOfMiscopies();
  void ContestPeriod();

  Entries& entries_;
  const int threads_;
  Rules rules_;
  int window_ = 3;
  // Each checked log by the texts left when at most one character is deleted from its call: two calls one
  // edit apart share one.
  std::unordered_map<std::string, std::vector<std::uint32_t>> byVariant_;
  std::vector<Key> keys_;  // the contacts on the contest's bands and modes, log by log, each log's sorted
  std::vector<std::pair<std::uint32_t, std::uint32_t>> logKeys_;  // each log's keys [first, second)
  // Where each own call's keys are: the look-ups stay within one log's few hundred.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ownerKeys_;
  std::vector<std::uint32_t> logOf_;     // call id -> log
  std::vector<std::uint32_t> logsWith_;  // call id -> logs holding it
  std::vector<bool> disputed_;           // call id -> claimed by two logs or more
};

}  // namespace check

#endif  // ZORVANT_CHECK_CROSS_CHECK_H_
