#include "check/cross_check.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace check {

bool OneEdit(std::string_view a, std::string_view b) {
  if (a.size() < b.size()) std::swap(a, b);
  if (a.size() - b.size() > 1) return false;
  std::size_t i = 0;
  while (i < b.size() && a[i] == b[i]) ++i;
  if (a.size() == b.size()) {
    if (i == a.size()) return false;
    // Two neighbours swapped (DF for FD) is one slip of the fingers, as a sponsor counts it.
    const bool swapped =
        i + 1 < a.size() && a[i] == b[i + 1] && a[i + 1] == b[i] && a.substr(i + 2) == b.substr(i + 2);
    return swapped || a.substr(i + 1) == b.substr(i + 1);
  }
  return a.substr(i + 1) == b.substr(i);
}

namespace {

std::string_view Trim(std::string_view s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view NoLeadingZeros(std::string_view s) {
  const std::size_t first = s.find_first_not_of('0');
  return first == std::string_view::npos ? s.substr(s.size() - 1) : s.substr(first);
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Keys against a worked call, both ways round as equal_range asks.
struct ByWorked {
  template <typename Key>
  bool operator()(const Key& key, std::uint32_t worked) const {
    return key.worked < worked;
  }
  template <typename Key>
  bool operator()(std::uint32_t worked, const Key& key) const {
    return worked < key.worked;
  }
};

// Two calls one edit apart (two neighbours swapped too) share a text left by deleting at most one
// character of each.
void Variants(std::string_view call, std::vector<std::string>* out) {
  out->assign(1, std::string(call));
  for (std::size_t i = 0; i < call.size(); ++i) {
    std::string v(call);
    v.erase(i, 1);
    if (std::find(out->begin(), out->end(), v) == out->end()) out->push_back(v);
  }
}

// Rounded down, for times before 1970 too; no negation, so the "no bound" value INT64_MIN is safe here.
std::int64_t Minute(std::int64_t second) { return second / 60 - (second % 60 < 0 ? 1 : 0); }

}  // namespace

bool SameSerial(std::string_view received, std::string_view sent) {
  received = Trim(received);
  sent = Trim(sent);
  if (AllDigits(received) && AllDigits(sent)) return NoLeadingZeros(received) == NoLeadingZeros(sent);
  return received.size() == sent.size() && std::equal(received.begin(), received.end(), sent.begin(),
                                                      [](char a, char b) { return Upper(a) == Upper(b); });
}

CrossCheck::CrossCheck(Entries& entries, int threads) : entries_(entries), threads_(std::max(threads, 1)) {
  const std::size_t calls = entries.calls.size();
  logOf_.assign(calls, kNone);
  logsWith_.assign(calls, 0);
  disputed_.assign(calls, false);
  for (const std::uint32_t call : entries.disputed) disputed_[call] = true;
  for (std::size_t i = 0; i < entries.logs.size(); ++i) {
    if (entries.logs[i].error.empty()) logOf_[entries.logs[i].callId] = static_cast<std::uint32_t>(i);
  }
  std::vector<std::uint32_t> lastLog(calls, kNone);
  keys_.reserve(entries.qsos.size());
  for (std::size_t i = 0; i < entries.qsos.size(); ++i) {
    const Qso& q = entries.qsos[i];
    if (lastLog[q.call] != q.log) {
      lastLog[q.call] = q.log;
      ++logsWith_[q.call];
    }
    if (q.band >= 0 && q.mode >= 0) {
      if (logKeys_.empty() || keys_[logKeys_.back().first].owner != entries.logs[q.log].callId) {
        logKeys_.push_back({static_cast<std::uint32_t>(keys_.size()), 0});
      }
      keys_.push_back(
          {entries.logs[q.log].callId, q.call, q.band, q.mode, q.second, static_cast<std::uint32_t>(i)});
      logKeys_.back().second = static_cast<std::uint32_t>(keys_.size());
    }
  }
  // The contacts are kept log by log, one owner a log: sorting each log's keys sorts them all by owner
  // as far as any look-up asks, in pieces of a few hundred rather than one of millions.
  InParallel(
      logKeys_.size(), threads_,
      [&](std::size_t l) {
        std::sort(keys_.begin() + logKeys_[l].first, keys_.begin() + logKeys_[l].second,
                  [](const Key& a, const Key& b) {
                    return std::tie(a.worked, a.band, a.mode, a.second, a.qso) <
                           std::tie(b.worked, b.band, b.mode, b.second, b.qso);
                  });
      },
      nullptr);
  ownerKeys_.assign(calls, {0, 0});
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    auto& range = ownerKeys_[keys_[i].owner];
    if (range.first == range.second) range.first = static_cast<std::uint32_t>(i);
    range.second = static_cast<std::uint32_t>(i + 1);
  }
}

std::uint32_t CrossCheck::LogOf(std::uint32_t call) const {
  return call < logOf_.size() ? logOf_[call] : kNone;
}

std::size_t CrossCheck::LogsWith(std::uint32_t call) const {
  return call < logsWith_.size() ? logsWith_[call] : 0;
}

bool CrossCheck::Disputed(std::uint32_t call) const { return call < disputed_.size() && disputed_[call]; }

Verdict CrossCheck::WithoutPartner(std::uint32_t call, Verdict otherwise) const {
  if (LogOf(call) != kNone) return Verdict::kNil;
  return Disputed(call) ? Verdict::kNotCheckable : otherwise;
}

CrossCheck::Range CrossCheck::Find(std::uint32_t owner, std::uint32_t worked) const {
  const auto [first, last] = owner < ownerKeys_.size() ? ownerKeys_[owner] : std::make_pair(0u, 0u);
  const auto range = std::equal_range(keys_.data() + first, keys_.data() + last, worked, ByWorked());
  return {range.first, range.second};
}

CrossCheck::Range CrossCheck::Find(std::uint32_t owner, std::uint32_t worked, int band, int mode) const {
  const Range all = Find(owner, worked);
  const Key key{owner, worked, static_cast<std::int8_t>(band), static_cast<std::int8_t>(mode), 0, 0};
  const auto range = std::equal_range(all.begin, all.end, key, [](const Key& a, const Key& b) {
    return std::tie(a.band, a.mode) < std::tie(b.band, b.mode);
  });
  return {range.first, range.second};
}

CrossCheck::Group CrossCheck::GroupOf(Range range) const {
  return {static_cast<std::uint32_t>(range.begin - keys_.data()),
          static_cast<std::uint32_t>(range.end - keys_.data())};
}

std::uint32_t CrossCheck::Nearest(std::uint32_t ownerLog, std::uint32_t worked, const Qso& q) const {
  // Of two equally near, the first in the keys' order, as a look at each in turn would find.
  std::uint32_t nearest = kNone;
  std::int64_t best = 0;
  auto consider = [&](const Key* k) {
    const std::int64_t apart = std::abs(k->second - q.second);
    if (nearest == kNone || apart < best) {
      nearest = k->qso;
      best = apart;
    }
  };
  const Range range = Find(entries_.logs[ownerLog].callId, worked);
  // Within each band and mode the keys are in time order: the nearest there lies either side of q's time.
  for (const Key* first = range.begin; first != range.end;) {
    const Key* last = std::partition_point(
        first, range.end, [&](const Key& k) { return k.band == first->band && k.mode == first->mode; });
    const Key* later = std::partition_point(first, last, [&](const Key& k) { return k.second < q.second; });
    if (later != first) {
      const std::int64_t second = (later - 1)->second;
      consider(std::partition_point(first, later, [&](const Key& k) { return k.second < second; }));
    }
    if (later != last) consider(later);
    first = last;
  }
  return nearest;
}

bool CrossCheck::Near(std::int64_t a, std::int64_t b) const {
  return std::abs(Minute(a) - Minute(b)) <= window_;
}

void CrossCheck::Confirm(Qso& a, const Qso& b) {
  if (!a.stored) return;
  // What the other log holds of its own serial is its business: without one there is nothing to disagree.
  const char* sent = SerialSent(entries_.logs[b.log], b);
  const char* received = SerialReceived(entries_.logs[a.log], a);
  a.verdict = !*sent || SameSerial(received, sent) ? Verdict::kConfirmed : Verdict::kBustedExchange;
}

void CrossCheck::PairExactly() {
  std::vector<Qso>& qsos = entries_.qsos;
  auto pair = [&](const Key& ka, const Key& kb) {
    Qso& a = qsos[ka.qso];
    Qso& b = qsos[kb.qso];
    a.partner = kb.qso;
    b.partner = ka.qso;
    Confirm(a, b);
    Confirm(b, a);
  };
  // A log's offers touch its own contacts with a station and that station's with it, which no other log's
  // offers touch: the logs are paired side by side. Nearly every offer has no choice to make; the few that
  // have choose together after.
  std::vector<std::vector<Offer>> crowded(logKeys_.size());
  InParallel(
      logKeys_.size(), threads_,
      [&](std::size_t l) {
        for (std::size_t g = logKeys_[l].first; g < logKeys_[l].second;) {
          const Key& key = keys_[g];
          std::size_t end = g;
          while (end < logKeys_[l].second && keys_[end].worked == key.worked && keys_[end].band == key.band &&
                 keys_[end].mode == key.mode) {
            ++end;
          }
          // Each pair of logs once, from the side whose call came first; nobody works himself.
          if (key.owner < key.worked) {
            const Range other = Find(key.worked, key.owner, key.band, key.mode);
            if (other.begin != other.end) {
              const Offer offer{
                  {{static_cast<std::uint32_t>(g), static_cast<std::uint32_t>(end)}, GroupOf(other)}};
              if (!PairWithoutChoice(offer, pair)) crowded[l].push_back(offer);
            }
          }
          g = end;
        }
      },
      nullptr);
  std::vector<Offer> all;
  for (const std::vector<Offer>& offers : crowded) all.insert(all.end(), offers.begin(), offers.end());
  if (all.empty()) return;
  PairConfirmingFirst(all, pair);
  PairClosestFirst(keys_, all, pair);
}

// Two stations that worked each other on a band and mode once a tour have a contact or two a side, each near
// one of the other side's at most: nothing to choose, and every pair near enough is made as it stands.
bool CrossCheck::PairWithoutChoice(const Offer& offer,
                                   const std::function<void(const Key&, const Key&)>& pair) {
  // Two of a side more than twice the window apart cannot both be near one of the other side.
  for (const Group& side : offer.side) {
    for (std::uint32_t k = side.begin + 1; k < side.end; ++k) {
      if (Minute(keys_[k].second) - Minute(keys_[k - 1].second) <= 2 * window_) return false;
    }
  }
  const Group& a = offer.side[0];
  const Group& b = offer.side[1];
  for (std::uint32_t i = a.begin, j = b.begin; i < a.end && j < b.end;) {
    if (Near(keys_[i].second, keys_[j].second)) {
      pair(keys_[i], keys_[j]);
      ++i;
      ++j;
    } else if (keys_[i].second < keys_[j].second) {
      ++i;
    } else {
      ++j;
    }
  }
  return true;
}

namespace {

// A serial as SameSerial compares it: two agree exactly when these are equal.
std::string SerialKey(std::string_view serial) {
  serial = Trim(serial);
  if (AllDigits(serial)) return std::string(NoLeadingZeros(serial));
  std::string key(serial);
  for (char& c : key) c = Upper(c);
  return key;
}

}  // namespace

// Each side's contacts sorted again by the serials they sent and received, the other side's the other way
// round: a run of one side's and the other side's run with the same two serials are contacts that confirm
// each other, and pair as any two groups do. Only the contacts of crowded offers are copied.
void CrossCheck::PairConfirmingFirst(const std::vector<Offer>& offers,
                                     const std::function<void(const Key&, const Key&)>& pair) {
  std::unordered_map<std::string, std::uint32_t> ids;
  auto id = [&](const char* serial) {
    return ids.emplace(SerialKey(serial), static_cast<std::uint32_t>(ids.size())).first->second;
  };
  struct Sorted {
    std::uint32_t first, second;  // side 0: sent, received; side 1: received, sent
    Key key;
  };
  std::vector<Sorted> sorted;
  std::vector<Key> keys;
  std::vector<Offer> confirming;
  for (const Offer& o : offers) {
    Group side[2];
    for (int s = 0; s < 2; ++s) {
      const std::size_t from = sorted.size();
      for (std::uint32_t k = o.side[s].begin; k < o.side[s].end; ++k) {
        const Qso& q = entries_.qsos[keys_[k].qso];
        const Entry& log = entries_.logs[q.log];
        const std::uint32_t sent = id(SerialSent(log, q)), received = id(SerialReceived(log, q));
        sorted.push_back({s == 0 ? sent : received, s == 0 ? received : sent, keys_[k]});
      }
      std::sort(sorted.begin() + static_cast<std::ptrdiff_t>(from), sorted.end(),
                [](const Sorted& a, const Sorted& b) {
                  return std::tie(a.first, a.second, a.key.second, a.key.qso) <
                         std::tie(b.first, b.second, b.key.second, b.key.qso);
                });
      side[s] = {static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(sorted.size())};
    }
    // The runs with the same two serials on both sides.
    for (std::uint32_t a = side[0].begin, b = side[1].begin; a < side[0].end && b < side[1].end;) {
      const auto serials = [&](std::uint32_t i) { return std::tie(sorted[i].first, sorted[i].second); };
      if (serials(a) < serials(b)) {
        ++a;
      } else if (serials(b) < serials(a)) {
        ++b;
      } else {
        std::uint32_t aEnd = a, bEnd = b;
        while (aEnd < side[0].end && serials(aEnd) == serials(a)) ++aEnd;
        while (bEnd < side[1].end && serials(bEnd) == serials(b)) ++bEnd;
        confirming.push_back({{{a, aEnd}, {b, bEnd}}});
        a = aEnd;
        b = bEnd;
      }
    }
  }
  if (confirming.empty()) return;
  keys.reserve(sorted.size());
  for (const Sorted& s : sorted) keys.push_back(s.key);
  std::vector<Sorted>().swap(sorted);
  PairClosestFirst(keys, confirming, pair);
}

// The contacts still unmatched, where one side logged the other's call one edit off: q of log B worked W,
// and p, of a log whose call is one edit from W, worked B. p is confirmed, its call busted in q's log.
void CrossCheck::PairOneEditOff() {
  std::vector<Qso>& qsos = entries_.qsos;
  std::vector<std::string> found;

  // q's side is its group of contacts with W on one band and mode; p's, the group of a log one edit from W
  // with B on the same.
  std::vector<Offer> offers;
  std::vector<std::uint32_t> near;
  for (std::size_t g = 0; g < keys_.size();) {
    const Key& key = keys_[g];
    std::size_t end = g;
    bool open = false;
    while (end < keys_.size() && keys_[end].owner == key.owner && keys_[end].worked == key.worked &&
           keys_[end].band == key.band && keys_[end].mode == key.mode) {
      open = open || qsos[keys_[end].qso].partner == kNone;
      ++end;
    }
    const Group group{static_cast<std::uint32_t>(g), static_cast<std::uint32_t>(end)};
    g = end;
    if (!open) continue;
    LogsOneEditFrom(entries_.calls[key.worked], key.owner, &found, &near);
    for (const std::uint32_t l : near) {
      const Range range = Find(entries_.logs[l].callId, key.owner, key.band, key.mode);
      if (range.begin != range.end) offers.push_back({{GroupOf(range), group}});
    }
  }
  PairClosestFirst(keys_, offers, [&](const Key& kp, const Key& kq) {
    Qso& p = qsos[kp.qso];
    Qso& q = qsos[kq.qso];
    p.partner = kq.qso;
    q.partner = kp.qso;
    Confirm(p, q);
    p.partnerCallWrong = true;
    if (q.stored) {
      q.verdict = WithoutPartner(q.call, Verdict::kBustedCall);
    }
  });
}

std::uint32_t CrossCheck::MiscopiedStation(const Qso& q) const {
  std::vector<std::string> found;
  std::vector<std::uint32_t> near;
  const std::uint32_t owner = entries_.logs[q.log].callId;
  LogsOneEditFrom(entries_.calls[q.call], owner, &found, &near);
  std::uint32_t nearest = kNone;
  std::int64_t best = 0;
  for (const std::uint32_t l : near) {
    const Range range = Find(entries_.logs[l].callId, owner, q.band, q.mode);
    for (const Key* k = range.begin; k != range.end; ++k) {
      const std::int64_t apart = std::abs(k->second - q.second);
      if (Near(k->second, q.second) &&
          (nearest == kNone || apart < best || (apart == best && k->qso < nearest))) {
        nearest = k->qso;
        best = apart;
      }
    }
  }
  return nearest;
}

void CrossCheck::Unmatched() {
  for (Qso& q : entries_.qsos) {
    if (!q.stored || q.partner != kNone) continue;
    q.verdict = WithoutPartner(q.call, LogsWith(q.call) > 1 ? Verdict::kNotCheckable : Verdict::kUnique);
    // Nobody else worked that call, but a station one edit from it has this contact in its log, already
    // matched with another of this log's entries: the extra entry is a miscopy, not a new station.
    if (q.verdict == Verdict::kUnique && q.band >= 0 && q.mode >= 0) {
      const std::uint32_t evidence = MiscopiedStation(q);
      if (evidence != kNone) {
        q.verdict = Verdict::kBustedCall;
        q.partner = evidence;
      }
    }
  }
}

void CrossCheck::PartnersOfMiscopies() {
  std::vector<Qso>& qsos = entries_.qsos;
  for (std::size_t i = 0; i < qsos.size(); ++i) {
    const Qso& q = qsos[i];
    if ((q.verdict != Verdict::kBustedCall && q.verdict != Verdict::kBustedExchange) || q.partner == kNone) {
      continue;
    }
    // Only the contact's other side: a station one edit off that matched another entry keeps its own.
    Qso& p = qsos[q.partner];
    if (p.partner == i && p.verdict == Verdict::kConfirmed) p.verdict = Verdict::kPartnerMiscopy;
  }
}

void CrossCheck::ContestPeriod() {
  const std::int64_t first = Minute(rules_.start), last = Minute(rules_.end);
  for (Qso& q : entries_.qsos) {
    const std::int64_t minute = Minute(q.second);
    if (q.stored &&
        ((rules_.start != INT64_MIN && minute < first) || (rules_.end != INT64_MAX && minute > last))) {
      q.verdict = Verdict::kOutsidePeriod;
    }
  }
}

void CrossCheck::LogsOneEditFrom(std::string_view call, std::uint32_t except, std::vector<std::string>* found,
                                 std::vector<std::uint32_t>* near) const {
  Variants(call, found);
  near->clear();
  for (const std::string& v : *found) {
    const auto logs = byVariant_.find(v);
    if (logs == byVariant_.end()) continue;
    for (const std::uint32_t l : logs->second) {
      const Entry& log = entries_.logs[l];
      if (log.callId != except && OneEdit(call, log.call) &&
          std::find(near->begin(), near->end(), l) == near->end()) {
        near->push_back(l);
      }
    }
  }
}

void CrossCheck::Run(const Rules& rules) {
  rules_ = rules;
  window_ = rules.window;
  for (Qso& q : entries_.qsos) {
    q.partner = kNone;
    q.partnerCallWrong = false;
    q.verdict = Verdict::kRefused;
  }
  if (byVariant_.empty()) {
    std::vector<std::string> found;
    for (std::size_t i = 0; i < entries_.logs.size(); ++i) {
      const Entry& log = entries_.logs[i];
      if (!log.error.empty()) continue;
      Variants(log.call, &found);
      for (const std::string& v : found) byVariant_[v].push_back(static_cast<std::uint32_t>(i));
    }
  }
  PairExactly();
  PairOneEditOff();
  Unmatched();
  if (rules_.miscopyBoth) PartnersOfMiscopies();
  ContestPeriod();
}

}  // namespace check
