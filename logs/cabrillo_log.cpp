#include "logs/cabrillo_log.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "logs/adif.h"
#include "logs/callsign.h"

namespace logs {
namespace {

// The blanks of the C locale, without a library call for each character of millions of lines.
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(const std::string& s) {
  for (char c : s) {
    if (!IsDigit(c)) return false;
  }
  return !s.empty();
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// A field of a line and the column it starts at: a blank column tells a missing field from a present one.
struct Token {
  std::string text;
  size_t at;
  size_t end() const { return at + text.size(); }
};

// Into `tokens`, whose room (and its texts') the next line reuses: a log is millions of lines.
void Tokens(const std::string& s, size_t from, std::vector<Token>* tokens) {
  size_t n = 0;
  size_t p = from;
  while (p < s.size()) {
    while (p < s.size() && IsBlank(s[p])) ++p;
    const size_t start = p;
    while (p < s.size() && !IsBlank(s[p])) ++p;
    if (p == start) break;
    if (n == tokens->size()) tokens->emplace_back();
    (*tokens)[n].text.assign(s, start, p - start);
    (*tokens)[n++].at = start;
  }
  tokens->resize(n);
}

// Messages may quote a line of a damaged file: anything unprintable is shown as '?', and a long line is cut.
std::string Quote(const std::string& s) {
  const size_t kMax = 100;  // a QSO line whole
  std::string quoted = "\"";
  for (size_t i = 0; i < s.size() && i < kMax; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    quoted += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
  }
  return quoted + (s.size() > kMax ? "...\"" : "\"");
}

// "3580" or "14031.5" kHz; false for anything else, or for a frequency the host's 32 bits cannot hold.
bool KhzToHz(const std::string& khz, unsigned* hz) {
  const size_t point = khz.find('.');
  const std::string whole = khz.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : khz.substr(point + 1);
  if (!AllDigits(whole) || (point != std::string::npos && !AllDigits(fraction)) || whole.size() > 7) {
    return false;
  }
  fraction.resize(3, '0');  // past the Hz is cut off
  const unsigned long long value = std::strtoull(whole.c_str(), nullptr, 10) * 1000ULL +
                                   std::strtoull(fraction.substr(0, 3).c_str(), nullptr, 10);
  if (value > UINT_MAX) return false;
  *hz = static_cast<unsigned>(value);
  return true;
}

struct Designator {
  const char* text;
  unsigned hz;
  const char* band;
};

const Designator kDesignators[] = {
    {"50", 50000000u, "6m"},
    {"70", 70000000u, "4m"},
    {"144", 144000000u, "2m"},
    {"222", 222000000u, "1.25m"},
    {"432", 432000000u, "70cm"},
    {"902", 902000000u, "33cm"},
    {"1.2G", 1240000000u, "23cm"},
    {"2.3G", 2300000000u, "13cm"},
    {"3.4G", 3400000000u, "9cm"},
    {"5.7G", 0, "6cm"},
    {"10G", 0, "3cm"},
    {"24G", 0, "1.25cm"},
    {"47G", 0, "6mm"},
    {"75G", 0, "4mm"},
    {"122G", 0, "2.5mm"},
    {"134G", 0, "2mm"},
    {"241G", 0, "1mm"},
    {"LIGHT", 0, "submm"},
};

bool ReadFrequency(const std::string& text, unsigned* hz, std::string* band) {
  const std::string upper = Upper(text);
  for (const Designator& d : kDesignators) {
    if (upper == d.text) {
      *hz = d.hz;
      *band = d.band;
      return true;
    }
  }
  if (!KhzToHz(text, hz)) return false;
  *band = BandOfHz(*hz);
  return true;
}

std::string HostModeOfCode(const std::string& code) {
  const std::string upper = Upper(code);
  if (upper == "RY") return "RTTY";
  if (upper == "PM") return "BPSK63";
  if (upper == "PH") return "SSB";
  return upper;
}

// "2022-02-26" and "1801".
bool ReadTime(const std::string& date, const std::string& time, QsoTime* out) {
  if (date.size() != 10 || date[4] != '-' || date[7] != '-' || time.size() != 4) return false;
  return ParseQsoTime(date.substr(0, 4) + date.substr(5, 2) + date.substr(8, 2), time, out);
}

bool LooksLikeRst(const std::string& s) {
  return (s.size() == 2 || s.size() == 3) && AllDigits(s) && s[0] >= '1' && s[0] <= '5' && s[1] != '0' &&
         (s.size() == 2 || s[2] != '0');
}

// Letters and digits both, perhaps with a portable designator: "K1ABC", "LY1000", "OH/UA9XX". Exchange
// fields are numbers ("599", "28") or words ("DAN", "BFRA"), so this is enough to tell the call among them.
bool LooksLikeCall(const std::string& s) {
  bool letter = false, digit = false;
  for (char c : s) {
    if (std::isalpha(static_cast<unsigned char>(c))) {
      letter = true;
    } else if (IsDigit(c)) {
      digit = true;
    } else if (c != '/') {
      return false;
    }
  }
  return letter && digit && s.size() >= 3;
}

// Fields [begin, end) of a line.
struct Side {
  const Token* begin;
  const Token* end;
  size_t size() const { return static_cast<size_t>(end - begin); }
};

// One side's exchange as the contest has it: an RST, a serial (or a club's code where the serial belongs),
// both, or neither.
bool FitsSide(Side side) { return side.size() <= 1 || (side.size() == 2 && LooksLikeRst(side.begin->text)); }

// The first field is the RST when it looks like one; the rest, joined by single blanks, the exchange.
void SplitSide(Side side, std::string* rst, std::string* exchange) {
  rst->clear();
  exchange->clear();
  const Token* t = side.begin;
  if (t != side.end && LooksLikeRst(t->text)) *rst = (t++)->text;
  for (; t != side.end; ++t) *exchange += (exchange->empty() ? "" : " ") + t->text;
}

// Whether the received side's last field is the transmitter ID (0 or 1) rather than its serial. After an
// exchange that is no RST it can only be the ID. After an RST, "0" is no serial; "1" is the ID when it
// stands past where the serial's column would end, the sent side's RST and serial being the measure (a
// logger that writes fixed columns leaves the received serial's column blank before the ID).
bool TransmitterLast(Side sent, Side received) {
  const Token& last = received.end[-1];
  if (last.text != "0" && last.text != "1") return false;
  if (received.size() == 3) return true;
  if (received.size() != 2) return false;
  if (!LooksLikeRst(received.begin->text) || last.text == "0") return true;
  if (sent.size() != 2 || !LooksLikeRst(sent.begin->text)) return false;
  const size_t sentGap = sent.begin[1].at - sent.begin[0].end();
  return last.at - received.begin->end() > sentGap + sent.begin[1].text.size();
}

// `t` is the caller's room for the line's fields, reused line after line. Not a thread_local: under the
// 32-bit MinGW runtime a thread's thread_local storage is freed before its destructors run, and a checking
// thread that ended then freed a vector from freed memory.
bool ParseQsoInto(const std::string& line, std::vector<Token>& t, LogContact* contact, std::string* problem,
                  QsoLayout layout) {
  problem->clear();
  Tokens(line, line.find(':') + 1, &t);
  if (t.size() < 6) {
    *problem = "a QSO needs frequency, mode, date, time, own call and worked call: " + Quote(line);
    return false;
  }
  LogContact c;
  if (!ReadTime(t[2].text, t[3].text, &c.time)) {
    *problem = "date and time " + Quote(t[2].text + " " + t[3].text) + " are not YYYY-MM-DD HHMM";
    return false;
  }
  const Token* const rest = t.data() + 5;
  const size_t n = t.size() - 5;
  size_t at = n;
  bool transmitter = false;
  if (layout == QsoLayout::kSerials) {
    // The worked call stands where both sides fit the contest's exchange, and nowhere else: a word the
    // logger added ("dupe") must not turn a received field into the call. Of two readings that fit, the one
    // whose sides match.
    for (size_t i = 0; i < n && i <= 2; ++i) {
      if (!LooksLikeCall(rest[i].text)) continue;
      const Side sent{rest, rest + i};
      Side received{rest + i + 1, rest + n};
      if (!FitsSide(sent) || received.size() > 3) continue;
      const bool id = received.size() > 0 && TransmitterLast(sent, received);
      if (id) --received.end;
      if (!FitsSide(received)) continue;
      const bool even = sent.size() == received.size();
      if (at == n || even) {
        at = i;
        transmitter = id;
      }
      if (even) break;
    }
  } else if (n % 2 == 1 && LooksLikeCall(rest[n / 2].text)) {
    // Where the call stands when both sides send as many fields, with or without a transmitter ID.
    at = n / 2;
    transmitter = n - at - 1 == 2 && TransmitterLast({rest, rest + at}, {rest + at + 1, rest + n});
  } else if (n % 2 == 0 && n >= 2 && (rest[n - 1].text == "0" || rest[n - 1].text == "1") &&
             LooksLikeCall(rest[n / 2 - 1].text)) {
    at = n / 2 - 1;
    transmitter = true;
  } else {
    for (size_t i = 0; i < n; ++i) {
      const auto distance = [&](size_t k) { return k * 2 > n ? k * 2 - n : n - k * 2; };
      if (LooksLikeCall(rest[i].text) && (at == n || distance(i) < distance(at))) at = i;
    }
  }
  if (at == n) {
    const bool callLike =
        std::any_of(rest, rest + n, [](const Token& token) { return LooksLikeCall(token.text); });
    *problem = callLike ? "its fields fit no contest layout (an RST and a serial on each side, perhaps a "
                          "transmitter ID after them); the line is skipped: " +
                              Quote(line)
                        : "no worked callsign after the own call: " + Quote(line);
    return false;
  }
  c.ownCall = Upper(t[4].text);
  c.call = Upper(rest[at].text);
  c.mode = HostModeOfCode(t[1].text);
  SplitSide({rest, rest + at}, &c.rstSent, &c.exchSent);
  SplitSide({rest + at + 1, rest + n - (transmitter ? 1 : 0)}, &c.rstRcvd, &c.exchRcvd);
  c.prefix = CallPrefix(c.call);
  c.countryPrefix = CountryPrefix(c.call);
  if (!ReadFrequency(t[0].text, &c.freqHz, &c.band)) {
    c.freqHz = 0;
    c.band.clear();
    *problem = "frequency " + Quote(t[0].text) + " is neither kHz nor a band; the QSO is kept without it";
  }
  *contact = std::move(c);
  return true;
}

}  // namespace

bool ParseCabrilloQso(const std::string& line, LogContact* contact, std::string* problem, QsoLayout layout) {
  std::vector<Token> tokens;
  return ParseQsoInto(line, tokens, contact, problem, layout);
}

std::size_t ReadCabrillo(const std::string& name, LogSource& source, LogSink& sink, QsoLayout layout) {
  std::size_t contacts = 0;
  int number = 0;
  std::uint64_t pos = source.begin();
  LogContact contact;
  std::string problem;
  std::vector<Token> tokens;  // a line's fields, in room the next line reuses
  for (;;) {
    // CR LF, LF and a lone CR all end a line; a CR at the end of the buffered bytes waits for the next one.
    // Past the longest line, only the scan goes on: the bytes behind it are let go.
    std::uint64_t end = pos;
    bool tooLong = false;
    while (true) {
      while (end < source.end() && source[end] != '\r' && source[end] != '\n') ++end;
      const bool complete = end + (end < source.end() && source[end] == '\r' ? 1 : 0) < source.end();
      tooLong = tooLong || end - pos > kLongestCabrilloLine;
      if (complete || source.finished()) break;
      const std::uint64_t keep = tooLong ? end : pos;
      const std::uint64_t scanned = end - keep;
      if (!source.More(keep)) break;
      end = keep + scanned;
    }
    if (pos >= source.end() && !tooLong) break;
    // A line cut by a read error is not the log's last line: read, it could be a different contact.
    if (source.failed() && end == source.end()) break;
    const std::string line = tooLong ? std::string() : std::string(source.at(pos), end - pos);
    pos = end + (end + 1 < source.end() && source[end] == '\r' && source[end + 1] == '\n' ? 2 : 1);
    ++number;
    if (tooLong) {
      sink.Problem(name + ": line " + std::to_string(number) + ": more than " +
                   std::to_string(kLongestCabrilloLine) + " characters; the line is skipped");
      continue;
    }

    std::size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) ++start;
    if (start == line.size()) continue;
    std::size_t colon = start;
    while (colon < line.size() &&
           (std::isalnum(static_cast<unsigned char>(line[colon])) || line[colon] == '-')) {
      ++colon;
    }
    const auto where = [&] { return name + ": line " + std::to_string(number) + ": "; };
    if (colon == start || colon == line.size() || line[colon] != ':') {
      sink.Problem(where() + "not a Cabrillo line: " + Quote(line));
      continue;
    }
    const std::string tag = Upper(line.substr(start, colon - start));
    if (tag == "END-OF-LOG") break;
    if (tag != "QSO") continue;
    const bool usable =
        ParseQsoInto(start == 0 ? line : line.substr(start), tokens, &contact, &problem, layout);
    if (!problem.empty()) sink.Problem(where() + problem);
    if (!usable) continue;
    contact.sourceLine = number;
    sink.Contact(contact);
    ++contacts;
  }
  return contacts;
}

void ParseCabrillo(const std::string& name, const std::string& text, LogReadResult* result) {
  struct Gather : LogSink {
    explicit Gather(LogReadResult* r) : result(r) {}
    void Contact(const LogContact& c) override { result->contacts.push_back(c); }
    void Problem(const std::string& p) override { result->problems.push_back(p); }
    LogReadResult* result;
  } gather(result);
  LogSource source(text);
  ReadCabrillo(name, source, gather, QsoLayout::kAnyContest);
}

}  // namespace logs
