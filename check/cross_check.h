// The sponsor's cross-check: every contact a log claims is looked for in the other station's log, and what
// is found decides whether it stays. Portable.
//
// A's contact with X (the call as A logged it) and a contact of another log are the same contact when they
// share band and mode and their minutes lie at most the window apart. Then, for each stored contact of A:
//   confirmed        X's log holds the contact with A, and A received the serial X sent; also when X's log
//                    holds it with a call one edit from A (X's error, not A's)
//   busted exchange  X's log holds it, but X sent another serial than A received
//   NIL              X sent a log without it
//   busted call      X sent no log, but a log whose call is one edit from X holds the contact with A
//   not checkable    X sent no log and no such log holds it, but X is in other logs; and whatever the
//                    other logs hold, when two logs claim X (neither is checked, and nobody loses a
//                    contact to one that may be a fake)
//   unique           X sent no log, no log one edit from X holds it, and X is in no other log
// A contact is matched at most once, and the closest times are paired first: the contacts matched exactly
// before those through a call one edit off. One edit is one letter or digit changed, added or left out.
// Of two pairs equally far apart, the one whose contacts come first in the files goes first.
//
// The pairing takes time n log n and memory n in the contacts, however many of them could pair with each
// other (closest_first.cpp): a log that holds thousands of contacts with one station, or a wide window,
// costs no more than as many ordinary contacts.
#ifndef ZORVANT_CHECK_CROSS_CHECK_H_
#define ZORVANT_CHECK_CROSS_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "check/entries.h"

namespace check {

// Whether two texts are exactly one edit apart.
bool OneEdit(std::string_view a, std::string_view b);

// Two serials as the same number when both are digits: "007" and "7" agree.
bool SameSerial(std::string_view received, std::string_view sent);

class CrossCheck {
 public:
  explicit CrossCheck(Entries& entries);

  // Sets the verdict of every stored contact, and each matched contact's partner.
  void Run(int windowMinutes);

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
  void PairClosestFirst(const std::vector<Offer>& offers,
                        const std::function<void(const Key&, const Key&)>& pair);

  // Whether two times lie within the window.
  bool Near(std::int64_t a, std::int64_t b) const;
  void PairExactly();
  void PairOneEditOff();
  // `a` matched with `b`: its verdict from the serial it received.
  void Confirm(Qso& a, const Qso& b);
  void Unmatched();

  Entries& entries_;
  int window_ = 3;
  std::vector<Key> keys_;  // the contacts on the contest's bands and modes, sorted
  // Where each own call's keys are: the look-ups stay within one log's few hundred.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ownerKeys_;
  std::vector<std::uint32_t> logOf_;     // call id -> log
  std::vector<std::uint32_t> logsWith_;  // call id -> logs holding it
  std::vector<bool> disputed_;           // call id -> claimed by two logs or more
};

}  // namespace check

#endif  // ZORVANT_CHECK_CROSS_CHECK_H_
