#include "logs/adif.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/file_names.h"

namespace logs {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The C library's classification in the "C" locale this program runs in, without a call per byte.
bool IsAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsNameChar(char c) { return IsAlpha(c) || IsDigit(c) || c == '_'; }

std::string_view Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether a field name as written is `upper` in any letter case. Names hold letters, digits and '_' only.
bool NameIs(std::string_view name, std::string_view upper) {
  if (name.size() != upper.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (Upper(name[i]) != upper[i]) return false;
  }
  return true;
}

bool AllDigits(std::string_view s) {
  for (char c : s) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

// REQUIRES: every character is a digit and the number fits.
int Number(std::string_view s) {
  int n = 0;
  for (char c : s) n = n * 10 + (c - '0');
  return n;
}

// A record while its fields arrive: the two spellings of each serial are kept apart until the record ends.
// One of these serves a whole scan, so its texts keep their room from record to record.
struct Pending {
  AdifRecord record;
  std::string stx, stx_string, srx, srx_string;
  bool known = false;  // holds a field listed in AdifRecord
  bool any = false;    // holds any field at all
  bool bad = false;    // its framing cannot be trusted: it is reported once and never handed on

  // Null for a field this reader does not keep. Every record has a dozen fields or more, so the name's
  // length picks the few candidates first.
  std::string* Field(std::string_view name) {
    switch (name.size()) {
      case 3:
        if (NameIs(name, "STX")) return &stx;
        if (NameIs(name, "SRX")) return &srx;
        if (NameIs(name, "PFX")) return &record.pfx;
        break;
      case 4:
        if (NameIs(name, "CALL")) return &record.call;
        if (NameIs(name, "BAND")) return &record.band;
        if (NameIs(name, "FREQ")) return &record.freq;
        if (NameIs(name, "MODE")) return &record.mode;
        break;
      case 7:
        if (NameIs(name, "TIME_ON")) return &record.time_on;
        if (NameIs(name, "SUBMODE")) return &record.submode;
        break;
      case 8:
        if (NameIs(name, "QSO_DATE")) return &record.qso_date;
        if (NameIs(name, "RST_SENT")) return &record.rst_sent;
        if (NameIs(name, "RST_RCVD")) return &record.rst_rcvd;
        if (NameIs(name, "OPERATOR")) return &record.operator_call;
        break;
      case 10:
        if (NameIs(name, "STX_STRING")) return &stx_string;
        if (NameIs(name, "SRX_STRING")) return &srx_string;
        break;
      case 16:
        if (NameIs(name, "STATION_CALLSIGN")) return &record.station_callsign;
        break;
    }
    return nullptr;
  }

  void Start(int number, int line) {
    record.number = number;
    record.line = line;
    any = true;
  }

  void Set(std::string* field, std::string_view value) {
    any = true;
    if (!field) return;
    field->assign(value.data(), value.size());
    known = true;
  }

  void Finish() {
    // The _STRING form keeps the serial as it was sent ("007"); the plain form is a number and may have lost
    // its leading zeros.
    record.stx = stx_string.empty() ? stx : stx_string;
    record.srx = srx_string.empty() ? srx : srx_string;
    record.freq_hz = MhzToHz(record.freq);
    if (record.band.empty()) {
      record.band = BandNameOfHz(record.freq_hz);
    } else {
      for (char& c : record.band) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }

  void Clear() {
    for (std::string* s : {&record.call, &record.qso_date, &record.time_on, &record.band, &record.freq,
                           &record.mode, &record.submode, &record.rst_sent, &record.rst_rcvd, &record.stx,
                           &record.srx, &record.station_callsign, &record.operator_call, &record.pfx, &stx,
                           &stx_string, &srx, &srx_string}) {
      s->clear();
    }
    record.freq_hz = 0;
    record.number = 0;
    record.line = 0;
    known = false;
    any = false;
    bad = false;
  }
};

// A data specifier: <NAME>, <NAME:LENGTH> or <NAME:LENGTH:TYPE>, read from the source's buffered bytes.
struct Tag {
  std::uint64_t nameEnd = 0;
  std::uint64_t digits = 0, digitsEnd = 0;  // the length as written
  bool hasLength = false;
  // Stops growing once far past any real file, where it only has to stay larger than what is left.
  std::uint64_t length = 0;
  std::uint64_t end = 0;  // just past the '>'
};

// kCut: the log ends inside what may be a tag, which then is none.
enum class TagRead { kTag, kNotTag, kMore, kCut };

TagRead ReadTag(const LogSource& s, std::uint64_t pos, Tag* tag) {
  // Running out of buffered bytes decides nothing until the log itself has ended.
  const TagRead cut = s.finished() ? TagRead::kCut : TagRead::kMore;
  const char* const open = s.at(pos);
  const char* const end = s.at(s.end());
  // Each part is looked at no further than the longest it may be.
  auto limit = [end](const char* from, std::size_t longest) {
    return static_cast<std::size_t>(end - from) > longest ? from + longest + 1 : end;
  };
  const char* p = open + 1;
  for (const char* stop = limit(p, kLongestName); p < stop && IsNameChar(*p);) ++p;
  if (p - open - 1 > static_cast<std::ptrdiff_t>(kLongestName)) return TagRead::kNotTag;
  if (p == end) return cut;
  if (p == open + 1) return TagRead::kNotTag;
  tag->nameEnd = pos + static_cast<std::uint64_t>(p - open);
  tag->hasLength = false;
  tag->length = 0;
  if (*p == ':') {
    const char* const digits = ++p;
    for (const char* stop = limit(p, kLongestDigits); p < stop && IsDigit(*p); ++p) {
      if (tag->length < (std::uint64_t{1} << 58))
        tag->length = tag->length * 10 + static_cast<unsigned>(*p - '0');
    }
    if (p - digits > static_cast<std::ptrdiff_t>(kLongestDigits)) return TagRead::kNotTag;
    if (p == end) return cut;
    if (p == digits) return TagRead::kNotTag;
    tag->digits = pos + static_cast<std::uint64_t>(digits - open);
    tag->digitsEnd = pos + static_cast<std::uint64_t>(p - open);
    tag->hasLength = true;
    if (*p == ':') {
      const char* const type = ++p;
      for (const char* stop = limit(p, kLongestType); p < stop && IsAlpha(*p);) ++p;
      if (p - type > static_cast<std::ptrdiff_t>(kLongestType)) return TagRead::kNotTag;
      if (p == end) return cut;
    }
  }
  if (*p != '>') return TagRead::kNotTag;
  tag->end = pos + static_cast<std::uint64_t>(p - open) + 1;
  return TagRead::kTag;
}

// A message may quote a stretch of a binary file: anything unprintable is shown as '?'.
std::string Quote(const LogSource& s, std::uint64_t pos, std::uint64_t maxLength) {
  std::string quoted = "\"";
  for (std::uint64_t i = pos; i < s.end() && i < pos + maxLength; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    quoted += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
    if (c == '>') break;
  }
  return quoted + "\"";
}

class Scanner {
 public:
  Scanner(LogSource& source, bool keepForeign, AdifHandler& handler)
      : s_(source), lines_(source), keepForeign_(keepForeign), handler_(handler) {}

  void Run() {
    std::uint64_t pos = s_.begin();
    bool inRecords = false;  // past the free-text preamble, where a '<' is no longer just text
    // Everything before the first well-formed tag is skipped, so a free-text preamble needs no <EOH> to end
    // it; header fields that do follow it are not record fields and are dropped with <EOH> or ignored.
    while (FindOpen(&pos)) {
      Tag tag;
      TagRead read;
      while ((read = ReadTag(s_, pos, &tag)) == TagRead::kMore) Refill(pos);
      if (read == TagRead::kCut && s_.failed()) break;  // cut by the read error, not by the writer
      if (read != TagRead::kTag) {
        Ensure(pos, 24);
        const bool named = pos + 1 < s_.end() && IsNameChar(s_[pos + 1]);
        if (inRecords && named && !pending_.bad) Note(pos, "malformed tag " + Quote(s_, pos, 24));
        ++pos;
        continue;
      }
      inRecords = true;
      const std::string_view name(s_.at(pos + 1), tag.nameEnd - pos - 1);
      if (!tag.hasLength) {
        if (NameIs(name, "EOH")) {
          pending_.Clear();
          number_ = 0;
        }
        if (NameIs(name, "EOR")) Finish();
        pos = tag.end;
        continue;
      }
      if (!pending_.any) pending_.Start(++number_, lines_.At(pos));
      std::string* field = pending_.Field(name);
      const std::uint64_t longest = field ? kLongestKeptValue : kLongestValue;
      // The usual case: a length in reason, and the whole value buffered.
      if (tag.length <= longest && s_.end() - tag.end >= tag.length) {
        pending_.Set(field, Trim(std::string_view(s_.at(tag.end), tag.length)));
        pos = tag.end + tag.length;
        continue;
      }
      // The tag goes out of the buffer now, so what a message needs of it is kept first.
      const std::string upper = UpperName(name);
      const std::uint64_t significant = std::min(tag.digitsEnd - 1, FirstNonZero(tag.digits, tag.digitsEnd));
      const std::string declared(s_.at(significant), tag.digitsEnd - significant);
      // A length no value has, or one that the log's end cuts short, is a fault of the writer, not text to
      // take: trusting it would swallow the records after it. The record goes, and the scan picks up right
      // after the tag, which brings it to the record's <EOR> and the next record.
      if (tag.length > longest) {
        Malformed(tag.end, upper + " declares " + declared + " characters, more than any " + upper +
                               " holds (" + std::to_string(longest) + ")");
        pos = tag.end;
        continue;
      }
      Ensure(tag.end, tag.length);  // no more than `longest`
      if (s_.end() - tag.end < tag.length) {
        if (s_.failed()) break;  // the reading ended, not the log
        Malformed(tag.end, "the text ends inside " + upper + " (" + std::to_string(s_.end() - tag.end) +
                               " of " + declared + " characters)");
        pos = tag.end;
        continue;
      }
      pending_.Set(field, Trim(std::string_view(s_.at(tag.end), tag.length)));
      pos = tag.end + tag.length;
    }
    // After a read error the last record is cut by it, not by the writer: neither a fault nor a record.
    if (s_.failed()) return;
    if (pending_.any && !pending_.bad) Note(s_.end(), "the text ends before <EOR>");
    Finish();
  }

 private:
  static std::string UpperName(std::string_view name) {
    std::string upper(name);
    for (char& c : upper) c = Upper(c);
    return upper;
  }

  std::uint64_t FirstNonZero(std::uint64_t from, std::uint64_t to) const {
    while (from < to && s_[from] == '0') ++from;
    return from;
  }

  // Reads on, keeping the bytes from `keep`; their lines are counted before they go.
  bool Refill(std::uint64_t keep) {
    lines_.At(keep);
    return s_.More(keep);
  }

  // Buffers the `n` bytes from `pos` on, or as many as the log has.
  void Ensure(std::uint64_t pos, std::uint64_t n) {
    while (s_.end() - pos < n && Refill(pos)) {
    }
  }

  // Moves `pos` to the next '<'; false at the end of the log.
  bool FindOpen(std::uint64_t* pos) {
    // Fields follow each other closely: a look at the next few bytes usually finds the tag.
    for (const std::uint64_t near = std::min(*pos + 4, s_.end()); *pos < near; ++*pos) {
      if (s_[*pos] == '<') return true;
    }
    for (;;) {
      if (*pos < s_.end()) {
        const void* found = std::memchr(s_.at(*pos), '<', static_cast<std::size_t>(s_.end() - *pos));
        if (found) {
          *pos = s_.begin() + static_cast<std::uint64_t>(static_cast<const char*>(found) - s_.at(s_.begin()));
          return true;
        }
        *pos = s_.end();
      }
      if (!Refill(*pos)) return false;
    }
  }

  // A problem of the record being read, or between records when none is.
  void Note(std::uint64_t pos, const std::string& what) {
    const int line = lines_.At(pos);
    if (pending_.any) {
      handler_.Problem({pending_.record.number, pending_.record.line, what});
    } else {
      handler_.Problem({0, line, what});
    }
  }

  // The record being read cannot be trusted: it is reported, once, and dropped at its end.
  void Malformed(std::uint64_t pos, const std::string& what) {
    if (!pending_.bad) Note(pos, what + "; the record is skipped");
    pending_.bad = true;
  }

  void Finish() {
    if (pending_.any && !pending_.bad && (pending_.known || keepForeign_)) {
      pending_.Finish();
      handler_.Record(pending_.record);
    }
    pending_.Clear();
  }

  LogSource& s_;
  LineCounter lines_;
  const bool keepForeign_;
  AdifHandler& handler_;
  Pending pending_;
  int number_ = 0;
};

class Collect : public AdifHandler {
 public:
  explicit Collect(std::vector<AdifProblem>* problems) : problems_(problems) {}
  void Record(const AdifRecord& record) override { records.push_back(record); }
  void Problem(const AdifProblem& problem) override {
    if (problems_) problems_->push_back(problem);
  }
  std::vector<AdifRecord> records;

 private:
  std::vector<AdifProblem>* problems_;
};

}  // namespace

void ScanAdif(LogSource& source, bool keepForeign, AdifHandler& handler) {
  Scanner(source, keepForeign, handler).Run();
}

std::vector<AdifRecord> ParseAdif(const std::string& text) {
  LogSource source(text);
  Collect collect(nullptr);
  ScanAdif(source, false, collect);
  return std::move(collect.records);
}

std::vector<AdifRecord> ScanAdif(const std::string& text, std::vector<AdifProblem>* problems) {
  LogSource source(text);
  Collect collect(problems);
  ScanAdif(source, true, collect);
  return std::move(collect.records);
}

bool ReadAdifFile(const std::string& path, std::vector<AdifRecord>* records) {
  std::error_code ec;
  // A pipe would wait for a writer.
  if (!std::filesystem::is_regular_file(zorvant::FsPath(path), ec)) return false;
  std::FILE* file = zorvant::OpenNamed(path, "rb");
  if (!file) return false;
  LogSource source(file);
  Collect collect(nullptr);
  ScanAdif(source, false, collect);
  std::fclose(file);
  if (source.failed()) return false;
  *records = std::move(collect.records);
  return true;
}

unsigned MhzToHz(std::string_view mhz) {
  const std::string_view s = Trim(mhz);
  const std::size_t point = s.find_first_of(".,");
  const std::string_view whole = s.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? "" : s.substr(point + 1);
  if (whole.empty() && fraction.empty()) return 0;
  if (!AllDigits(whole) || !AllDigits(fraction) || whole.size() > 6) return 0;
  unsigned long long hz = static_cast<unsigned long long>(whole.empty() ? 0 : Number(whole)) * 1000000ULL;
  // Six digits of the fraction are the Hz; what follows is cut off.
  unsigned long long scale = 100000;
  for (std::size_t i = 0; i < fraction.size() && i < 6; ++i, scale /= 10) {
    hz += static_cast<unsigned long long>(fraction[i] - '0') * scale;
  }
  return hz > UINT_MAX ? 0 : static_cast<unsigned>(hz);
}

const char* BandNameOfHz(unsigned hz) {
  struct Band {
    unsigned low, high;
    const char* name;
  };
  static const Band kBands[] = {
      {135700, 137800, "2200m"},        {472000, 479000, "630m"},           {1800000, 2000000, "160m"},
      {3500000, 4000000, "80m"},        {5060000, 5450000, "60m"},          {7000000, 7300000, "40m"},
      {10100000, 10150000, "30m"},      {14000000, 14350000, "20m"},        {18068000, 18168000, "17m"},
      {21000000, 21450000, "15m"},      {24890000, 24990000, "12m"},        {28000000, 29700000, "10m"},
      {50000000, 54000000, "6m"},       {70000000, 71000000, "4m"},         {144000000, 148000000, "2m"},
      {222000000, 225000000, "1.25m"},  {420000000, 450000000, "70cm"},     {902000000, 928000000, "33cm"},
      {1240000000, 1300000000, "23cm"}, {2300000000u, 2450000000u, "13cm"}, {3300000000u, 3500000000u, "9cm"},
  };
  for (const Band& band : kBands) {
    if (hz >= band.low && hz <= band.high) return band.name;
  }
  return "";
}

std::string BandOfHz(unsigned hz) { return BandNameOfHz(hz); }

std::string HostMode(const AdifRecord& record) {
  const bool psk = NameIs(record.mode, "PSK");
  if (psk && (NameIs(record.submode, "PSK63") || NameIs(record.submode, "BPSK63"))) return "BPSK63";
  // Logs written before submodes existed put the PSK variant in MODE itself.
  if (NameIs(record.mode, "PSK63") || NameIs(record.mode, "BPSK63")) return "BPSK63";
  std::string mode = record.mode;
  for (char& c : mode) c = Upper(c);
  return mode;
}

bool ParseQsoTime(std::string_view qso_date, std::string_view time_on, QsoTime* out) {
  if (qso_date.size() != 8 || !AllDigits(qso_date)) return false;
  if ((time_on.size() != 4 && time_on.size() != 6) || !AllDigits(time_on)) return false;
  QsoTime t;
  t.year = Number(qso_date.substr(0, 4));
  t.month = Number(qso_date.substr(4, 2));
  t.day = Number(qso_date.substr(6, 2));
  t.hour = Number(time_on.substr(0, 2));
  t.minute = Number(time_on.substr(2, 2));
  t.second = time_on.size() == 6 ? Number(time_on.substr(4, 2)) : 0;
  static const int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  if (t.year < 100 || t.month < 1 || t.month > 12 || t.day < 1) return false;
  if (t.day > kDaysIn[t.month - 1] + (t.month == 2 && leap ? 1 : 0)) return false;
  if (t.hour > 23 || t.minute > 59 || t.second > 59) return false;
  *out = t;
  return true;
}

}  // namespace logs
