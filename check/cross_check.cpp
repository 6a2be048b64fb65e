#include "check/cross_check.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <unordered_map>

namespace check {

bool OneEdit(std::string_view a, std::string_view b) {
  if (a.size() < b.size()) std::swap(a, b);
  if (a.size() - b.size() > 1) return false;
  std::size_t i = 0;
  while (i < b.size() && a[i] == b[i]) ++i;
  if (a.size() == b.size()) return i < a.size() && a.substr(i + 1) == b.substr(i + 1);
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

std::int64_t Minute(std::int64_t second) { return second >= 0 ? second / 60 : -((-second + 59) / 60); }

}  // namespace

bool SameSerial(std::string_view received, std::string_view sent) {
  received = Trim(received);
  sent = Trim(sent);
  if (AllDigits(received) && AllDigits(sent)) return NoLeadingZeros(received) == NoLeadingZeros(sent);
  return received.size() == sent.size() && std::equal(received.begin(), received.end(), sent.begin(),
                                                      [](char a, char b) { return Upper(a) == Upper(b); });
}

CrossCheck::CrossCheck(Entries& entries) : entries_(entries) {
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
      keys_.push_back(
          {entries.logs[q.log].callId, q.call, q.band, q.mode, q.second, static_cast<std::uint32_t>(i)});
    }
  }
  std::sort(keys_.begin(), keys_.end(), [](const Key& a, const Key& b) {
    return std::tie(a.owner, a.worked, a.band, a.mode, a.second, a.qso) <
           std::tie(b.owner, b.worked, b.band, b.mode, b.second, b.qso);
  });
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
  std::vector<Offer> offer(1);
  for (std::size_t g = 0; g < keys_.size();) {
    const Key& key = keys_[g];
    std::size_t end = g;
    while (end < keys_.size() && keys_[end].owner == key.owner && keys_[end].worked == key.worked &&
           keys_[end].band == key.band && keys_[end].mode == key.mode) {
      ++end;
    }
    // Each pair of logs once, from the side whose call came first; nobody works himself.
    if (key.owner < key.worked) {
      const Range other = Find(key.worked, key.owner, key.band, key.mode);
      if (other.begin != other.end) {
        offer[0] = {{{static_cast<std::uint32_t>(g), static_cast<std::uint32_t>(end)}, GroupOf(other)}};
        PairClosestFirst(offer, [&](const Key& ka, const Key& kb) {
          Qso& a = qsos[ka.qso];
          Qso& b = qsos[kb.qso];
          a.partner = kb.qso;
          b.partner = ka.qso;
          Confirm(a, b);
          Confirm(b, a);
        });
      }
    }
    g = end;
  }
}

// The contacts still unmatched, where one side logged the other's call one edit off: q of log B worked W,
// and p, of a log whose call is one edit from W, worked B. p is confirmed, its call busted in q's log.
void CrossCheck::PairOneEditOff() {
  std::vector<Qso>& qsos = entries_.qsos;
  // Two calls one edit apart share a text left by deleting at most one character of each.
  std::unordered_map<std::string, std::vector<std::uint32_t>> byVariant;
  auto variants = [](std::string_view call, std::vector<std::string>* out) {
    out->assign(1, std::string(call));
    for (std::size_t i = 0; i < call.size(); ++i) {
      std::string v(call);
      v.erase(i, 1);
      if (std::find(out->begin(), out->end(), v) == out->end()) out->push_back(v);
    }
  };
  std::vector<std::string> found;
  for (std::size_t i = 0; i < entries_.logs.size(); ++i) {
    const Entry& log = entries_.logs[i];
    if (!log.error.empty()) continue;
    variants(log.call, &found);
    for (const std::string& v : found) byVariant[v].push_back(static_cast<std::uint32_t>(i));
  }

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
    const std::string_view worked = entries_.calls[key.worked];
    variants(worked, &found);
    near.clear();
    for (const std::string& v : found) {
      const auto logs = byVariant.find(v);
      if (logs == byVariant.end()) continue;
      for (const std::uint32_t l : logs->second) {
        const Entry& log = entries_.logs[l];
        if (log.callId != key.owner && OneEdit(worked, log.call) &&
            std::find(near.begin(), near.end(), l) == near.end()) {
          near.push_back(l);
        }
      }
    }
    for (const std::uint32_t l : near) {
      const Range range = Find(entries_.logs[l].callId, key.owner, key.band, key.mode);
      if (range.begin != range.end) offers.push_back({{GroupOf(range), group}});
    }
  }
  PairClosestFirst(offers, [&](const Key& kp, const Key& kq) {
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

void CrossCheck::Unmatched() {
  for (Qso& q : entries_.qsos) {
    if (!q.stored || q.partner != kNone) continue;
    q.verdict =
        WithoutPartner(q.call, LogsWith(q.call) > 1 ? Verdict::kNotCheckable : Verdict::kUnique);
  }
}

void CrossCheck::Run(int windowMinutes) {
  window_ = windowMinutes;
  for (Qso& q : entries_.qsos) {
    q.partner = kNone;
    q.partnerCallWrong = false;
    q.verdict = Verdict::kRefused;
  }
  PairExactly();
  PairOneEditOff();
  Unmatched();
}

}  // namespace check
