// Pairing contacts closest in time first, in time n log n and memory n.
//
// Every pair the offers allow, sorted by how far apart, would be the plain way; but two logs that hold
// thousands of contacts with each other near one time allow millions of pairs. Instead, the contacts of an
// offer are taken in time order, those of one side at one second gathered into one place, which its first
// contact not yet paired (by file order) stands for. The closest pair left, of any offer, is then always
// made of the first contacts of two neighbouring places of opposite sides: a place between them would lie
// nearer to one of them, or as near with a contact that comes first in the files, since it holds a time
// between theirs and is not of the same side at the same second (that would be the same place). So only
// neighbouring places are candidates. A heap holds them; a pair made changes the candidates around the
// two places it took from, in every offer that has their groups, and candidates that no longer hold are
// dropped as they come up.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <queue>
#include <tuple>

#include "check/cross_check.h"

namespace check {
namespace {

// A group's contacts at one second: keys [next, end) are those not yet paired.
struct Slot {
  std::uint32_t next, end;
  std::uint32_t group;
};

// A slot in the time order of one offer.
struct Place {
  std::uint32_t slot, prev, next;
  std::uint8_t side;
};

struct Candidate {
  std::int64_t apart;
  std::uint32_t id[2];        // the two contacts (their place in the files), side 0's first
  std::uint32_t left, right;  // their places, left before right
  bool operator>(const Candidate& o) const {
    return std::tie(apart, id[0], id[1]) > std::tie(o.apart, o.id[0], o.id[1]);
  }
};

}  // namespace

void CrossCheck::PairClosestFirst(const std::vector<Key>& keys, const std::vector<Offer>& offers,
                                  const std::function<void(const Key&, const Key&)>& pair) {
  const std::vector<Qso>& qsos = entries_.qsos;
  auto taken = [&](std::uint32_t key) { return qsos[keys[key].qso].partner != kNone; };

  // The common offer, a contact on each side, needs none of what follows.
  if (offers.size() == 1 && offers[0].side[0].end - offers[0].side[0].begin == 1 &&
      offers[0].side[1].end - offers[0].side[1].begin == 1) {
    const Key& a = keys[offers[0].side[0].begin];
    const Key& b = keys[offers[0].side[1].begin];
    if (!taken(offers[0].side[0].begin) && !taken(offers[0].side[1].begin) && Near(a.second, b.second)) {
      pair(a, b);
    }
    return;
  }

  // Each group once, by where it begins; offers may share them.
  std::vector<Group> groups;
  for (const Offer& o : offers) groups.insert(groups.end(), std::begin(o.side), std::end(o.side));
  std::sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) { return a.begin < b.begin; });
  groups.erase(std::unique(groups.begin(), groups.end(),
                           [](const Group& a, const Group& b) { return a.begin == b.begin; }),
               groups.end());
  auto groupIndex = [&](const Group& g) {
    return static_cast<std::uint32_t>(
        std::lower_bound(groups.begin(), groups.end(), g,
                         [](const Group& a, const Group& b) { return a.begin < b.begin; }) -
        groups.begin());
  };

  std::vector<Slot> slots;
  std::vector<std::uint32_t> firstSlot(groups.size() + 1);
  for (std::uint32_t g = 0; g < groups.size(); ++g) {
    firstSlot[g] = static_cast<std::uint32_t>(slots.size());
    for (std::uint32_t k = groups[g].begin; k < groups[g].end;) {
      std::uint32_t end = k;
      while (end < groups[g].end && keys[end].second == keys[k].second) ++end;
      Slot slot{k, end, g};
      while (slot.next < slot.end && taken(slot.next)) ++slot.next;
      slots.push_back(slot);
      k = end;
    }
  }
  firstSlot[groups.size()] = static_cast<std::uint32_t>(slots.size());

  // Which offers, and on which side, have each group: offer * 2 + side.
  std::vector<std::uint32_t> memberStart(groups.size() + 1, 0), members(offers.size() * 2);
  std::vector<std::array<std::uint32_t, 2>> offerGroups(offers.size());
  for (std::uint32_t o = 0; o < offers.size(); ++o) {
    for (int side = 0; side < 2; ++side) {
      offerGroups[o][side] = groupIndex(offers[o].side[side]);
      ++memberStart[offerGroups[o][side] + 1];
    }
  }
  for (std::size_t g = 0; g < groups.size(); ++g) memberStart[g + 1] += memberStart[g];
  {
    std::vector<std::uint32_t> filled(memberStart.begin(), memberStart.end() - 1);
    for (std::uint32_t o = 0; o < offers.size(); ++o) {
      for (std::uint32_t side = 0; side < 2; ++side) members[filled[offerGroups[o][side]]++] = o * 2 + side;
    }
  }

  // Each offer's places in time order, side 0 first at one second, and where each slot's place is in each
  // offer: placeOf[placeBase[o][side] + the slot's place in its group], kNone for a slot empty from the
  // start.
  std::vector<Place> places;
  std::vector<std::uint32_t> placeOf;
  std::vector<std::array<std::uint32_t, 2>> placeBase(offers.size());
  std::priority_queue<Candidate, std::vector<Candidate>, std::greater<Candidate>> heap;
  auto push = [&](std::uint32_t left, std::uint32_t right) {
    if (left == kNone || right == kNone) return;
    const Place& a = places[left];
    const Place& b = places[right];
    const Slot& sa = slots[a.slot];
    const Slot& sb = slots[b.slot];
    if (a.side == b.side || sa.next == sa.end || sb.next == sb.end) return;
    const Key& ka = keys[sa.next];
    const Key& kb = keys[sb.next];
    if (!Near(ka.second, kb.second)) return;
    Candidate c;
    c.apart = std::abs(ka.second - kb.second);
    c.id[a.side] = ka.qso;
    c.id[b.side] = kb.qso;
    c.left = left;
    c.right = right;
    heap.push(c);
  };
  for (std::uint32_t o = 0; o < offers.size(); ++o) {
    std::uint32_t from[2], to[2];
    for (int side = 0; side < 2; ++side) {
      from[side] = firstSlot[offerGroups[o][side]];
      to[side] = firstSlot[offerGroups[o][side] + 1];
      placeBase[o][side] = static_cast<std::uint32_t>(placeOf.size());
      placeOf.resize(placeOf.size() + (to[side] - from[side]), kNone);
    }
    std::uint32_t last = kNone;
    for (std::uint32_t at[2] = {from[0], from[1]}; at[0] < to[0] || at[1] < to[1];) {
      const std::uint8_t side = at[0] < to[0] && (at[1] == to[1] || keys[slots[at[0]].end - 1].second <=
                                                                        keys[slots[at[1]].end - 1].second)
                                    ? 0
                                    : 1;
      const std::uint32_t slot = at[side]++;
      if (slots[slot].next == slots[slot].end) continue;
      const auto index = static_cast<std::uint32_t>(places.size());
      places.push_back({slot, last, kNone, side});
      placeOf[placeBase[o][side] + slot - from[side]] = index;
      if (last != kNone) places[last].next = index;
      last = index;
    }
  }
  for (std::uint32_t p = 0; p < places.size(); ++p) push(p, places[p].next);

  // A contact of `slot` was paired: the slot's next contact stands for its places now, or the slot is
  // empty and its places leave their offers' order.
  auto advance = [&](std::uint32_t slotIndex) {
    Slot& slot = slots[slotIndex];
    while (slot.next < slot.end && taken(slot.next)) ++slot.next;
    const bool empty = slot.next == slot.end;
    const std::uint32_t local = slotIndex - firstSlot[slot.group];
    for (std::uint32_t m = memberStart[slot.group]; m < memberStart[slot.group + 1]; ++m) {
      const std::uint32_t p = placeOf[placeBase[members[m] / 2][members[m] % 2] + local];
      if (p == kNone) continue;
      Place& place = places[p];
      if (empty) {
        if (place.prev != kNone) places[place.prev].next = place.next;
        if (place.next != kNone) places[place.next].prev = place.prev;
        push(place.prev, place.next);
      } else {
        push(place.prev, p);
        push(p, place.next);
      }
    }
  };

  while (!heap.empty()) {
    const Candidate c = heap.top();
    heap.pop();
    const Place& a = places[c.left];
    const Place& b = places[c.right];
    const Slot& sa = slots[a.slot];
    const Slot& sb = slots[b.slot];
    if (a.next != c.right || sa.next == sa.end || sb.next == sb.end || keys[sa.next].qso != c.id[a.side] ||
        keys[sb.next].qso != c.id[b.side]) {
      continue;  // the places have changed since
    }
    const std::uint32_t slotA = a.slot, slotB = b.slot;
    pair(keys[a.side == 0 ? sa.next : sb.next], keys[a.side == 0 ? sb.next : sa.next]);
    advance(slotA);
    advance(slotB);
  }
}

}  // namespace check
