#include "logs/adif.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

namespace logs {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A record while its fields arrive: the two spellings of each serial are kept apart until the record ends.
struct Pending {
  AdifRecord record;
  std::string stx, stx_string, srx, srx_string;
  bool known = false;  // holds a field listed in AdifRecord
  bool any = false;    // holds any field at all

  // Null for a field this reader does not keep.
  std::string* Field(const std::string& name) {
    const std::pair<const char*, std::string*> kFields[] = {
        {"CALL", &record.call},
        {"QSO_DATE", &record.qso_date},
        {"TIME_ON", &record.time_on},
        {"BAND", &record.band},
        {"FREQ", &record.freq},
        {"MODE", &record.mode},
        {"SUBMODE", &record.submode},
        {"RST_SENT", &record.rst_sent},
        {"RST_RCVD", &record.rst_rcvd},
        {"STX", &stx},
        {"STX_STRING", &stx_string},
        {"SRX", &srx},
        {"SRX_STRING", &srx_string},
        {"STATION_CALLSIGN", &record.station_callsign},
        {"OPERATOR", &record.operator_call},
        {"PFX", &record.pfx},
    };
    for (const auto& field : kFields) {
      if (name == field.first) return field.second;
    }
    return nullptr;
  }

  void Set(const std::string& name, const std::string& value) {
    any = true;
    if (std::string* field = Field(name)) {
      *field = value;
      known = true;
    }
  }

  AdifRecord Finish() {
    // The _STRING form keeps the serial as it was sent ("007"); the plain form is a number and may have lost
    // its leading zeros.
    record.stx = stx_string.empty() ? stx : stx_string;
    record.srx = srx_string.empty() ? srx : srx_string;
    record.freq_hz = MhzToHz(record.freq);
    record.band = record.band.empty() ? BandOfHz(record.freq_hz) : Lower(record.band);
    AdifRecord done = record;
    *this = Pending();
    return done;
  }
};

// A data specifier: <NAME>, <NAME:LENGTH> or <NAME:LENGTH:TYPE>. On success `pos` is just past the '>'.
// A length past the text's end is only ever cut to the end, so *length stops growing there; *declared keeps
// the digits as written, without leading zeros, for messages.
bool ReadTag(const std::string& text, size_t* pos, std::string* name, size_t* length, std::string* declared,
             bool* has_length) {
  size_t p = *pos + 1;
  const size_t name_start = p;
  while (p < text.size() && (std::isalnum(static_cast<unsigned char>(text[p])) || text[p] == '_')) ++p;
  if (p == name_start) return false;
  *name = Upper(text.substr(name_start, p - name_start));
  *has_length = false;
  *length = 0;
  if (p < text.size() && text[p] == ':') {
    ++p;
    const size_t digits = p;
    while (p < text.size() && IsDigit(text[p])) {
      if (*length <= text.size()) *length = *length * 10 + static_cast<size_t>(text[p] - '0');
      ++p;
    }
    if (p == digits) return false;
    const size_t significant = text.find_first_not_of('0', digits);
    *declared = significant < p ? text.substr(significant, p - significant) : "0";
    *has_length = true;
    if (p < text.size() && text[p] == ':') {
      ++p;
      while (p < text.size() && std::isalpha(static_cast<unsigned char>(text[p]))) ++p;
    }
  }
  if (p >= text.size() || text[p] != '>') return false;
  *pos = p + 1;
  return true;
}

bool AllDigits(const std::string& s) {
  for (char c : s) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

int Number(const std::string& s, size_t at, size_t count) { return std::stoi(s.substr(at, count)); }

// Line numbers for messages, counted on demand as the scan moves forward through the text.
class LineCounter {
 public:
  explicit LineCounter(const std::string& text) : text_(text) {}

  int At(size_t pos) {
    for (; counted_ < pos && counted_ < text_.size(); ++counted_) {
      if (text_[counted_] == '\n') ++line_;
    }
    return line_;
  }

 private:
  const std::string& text_;
  size_t counted_ = 0;
  int line_ = 1;
};

// A message may quote a stretch of a binary file: anything unprintable is shown as '?'.
std::string Quote(const std::string& text, size_t pos, size_t max_length) {
  std::string quoted = "\"";
  for (size_t i = pos; i < text.size() && i < pos + max_length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    quoted += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
    if (c == '>') break;
  }
  return quoted + "\"";
}

std::vector<AdifRecord> Scan(const std::string& text, bool keep_foreign, std::vector<AdifProblem>* problems) {
  std::vector<AdifRecord> records;
  Pending pending;
  LineCounter lines(text);
  int number = 0;
  bool cut = false;
  bool in_records = false;  // past the free-text preamble, where a '<' is no longer just text
  auto note = [&](size_t pos, const std::string& what) {
    if (!problems) return;
    const int line = lines.At(pos);
    if (pending.any) {
      problems->push_back({pending.record.number, pending.record.line, what});
    } else {
      problems->push_back({0, line, what});
    }
  };
  auto finish = [&] {
    if (pending.any && (pending.known || keep_foreign)) {
      records.push_back(pending.Finish());
    } else {
      pending = Pending();
    }
  };
  size_t pos = 0;
  // Everything before the first well-formed tag is skipped, so a free-text preamble needs no <EOH> to end
  // it; header fields that do follow it are not record fields and are dropped with <EOH> or ignored.
  while ((pos = text.find('<', pos)) != std::string::npos) {
    std::string name, declared;
    size_t length = 0;
    bool has_length = false;
    const size_t tag = pos;
    if (!ReadTag(text, &pos, &name, &length, &declared, &has_length)) {
      const bool named = pos + 1 < text.size() &&
                         (std::isalnum(static_cast<unsigned char>(text[pos + 1])) || text[pos + 1] == '_');
      if (in_records && named) note(pos, "malformed tag " + Quote(text, pos, 24));
      ++pos;
      continue;
    }
    in_records = true;
    if (!has_length) {
      if (name == "EOH") {
        pending = Pending();
        number = 0;
      }
      if (name == "EOR") finish();
      continue;
    }
    if (!pending.any) {
      pending.record.number = ++number;
      pending.record.line = lines.At(tag);
    }
    const size_t take = std::min(length, text.size() - pos);
    pending.Set(name, Trim(text.substr(pos, take)));
    if (take < length) {
      note(tag,
           "the text ends inside " + name + " (" + std::to_string(take) + " of " + declared + " characters)");
      cut = true;
    }
    pos += take;
  }
  if (pending.any && !cut) note(text.size(), "the text ends before <EOR>");
  finish();
  return records;
}

}  // namespace

std::vector<AdifRecord> ParseAdif(const std::string& text) { return Scan(text, false, nullptr); }

std::vector<AdifRecord> ScanAdif(const std::string& text, std::vector<AdifProblem>* problems) {
  return Scan(text, true, problems);
}

bool ReadAdifFile(const std::string& path, std::vector<AdifRecord>* records) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;  // a pipe would wait for a writer
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string text;
  try {  // a folder opens, then throws on the first read
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    return false;
  }
  if (in.bad()) return false;
  *records = ParseAdif(text);
  return true;
}

unsigned MhzToHz(const std::string& mhz) {
  const std::string s = Trim(mhz);
  const size_t point = s.find_first_of(".,");
  const std::string whole = s.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : s.substr(point + 1);
  if (whole.empty() && fraction.empty()) return 0;
  if (!AllDigits(whole) || !AllDigits(fraction) || whole.size() > 6) return 0;
  fraction.resize(6, '0');
  const unsigned long long hz =
      (whole.empty() ? 0ULL : std::stoull(whole)) * 1000000ULL + std::stoull(fraction.substr(0, 6));
  return hz > UINT_MAX ? 0 : static_cast<unsigned>(hz);
}

std::string BandOfHz(unsigned hz) {
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

std::string HostMode(const AdifRecord& record) {
  const std::string mode = Upper(record.mode);
  const std::string submode = Upper(record.submode);
  if (mode == "PSK" && (submode == "PSK63" || submode == "BPSK63")) return "BPSK63";
  // Logs written before submodes existed put the PSK variant in MODE itself.
  if (mode == "PSK63" || mode == "BPSK63") return "BPSK63";
  return mode;
}

bool ParseQsoTime(const std::string& qso_date, const std::string& time_on, QsoTime* out) {
  if (qso_date.size() != 8 || !AllDigits(qso_date)) return false;
  if ((time_on.size() != 4 && time_on.size() != 6) || !AllDigits(time_on)) return false;
  QsoTime t;
  t.year = Number(qso_date, 0, 4);
  t.month = Number(qso_date, 4, 2);
  t.day = Number(qso_date, 6, 2);
  t.hour = Number(time_on, 0, 2);
  t.minute = Number(time_on, 2, 2);
  t.second = time_on.size() == 6 ? Number(time_on, 4, 2) : 0;
  static const int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  if (t.year < 100 || t.month < 1 || t.month > 12 || t.day < 1) return false;
  if (t.day > kDaysIn[t.month - 1] + (t.month == 2 && leap ? 1 : 0)) return false;
  if (t.hour > 23 || t.minute > 59 || t.second > 59) return false;
  *out = t;
  return true;
}

}  // namespace logs
