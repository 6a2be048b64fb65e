#include "ui/setup_logic.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/file_text.h"
#include "engine/ole_date.h"
#include "engine/string_printf.h"

namespace zorvant {
namespace {

// Titles, English and in Windows-1251 bytes. The "c" before the callsign in the Russian callsign title is the
// Latin letter.
constexpr char kSetupTitle[] = "Setup ZORVANT %s";
constexpr char kSetupTitleRu[] = "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8 ZORVANT %s";
constexpr char kPrefixOpening[] = "ZORVANT-%s Working prefix tour %i";
constexpr char kPrefixOpeningRu[] =
    "ZORVANT-%s \xCE\xF2\xF0\xE0\xE1\xEE\xF2\xE0\xED\xED\xFB\xE5 \xEF\xF0\xE5\xF4\xE8\xEA\xF1\xFB "
    "\xF2\xF3\xF0 %i";
constexpr char kPrefixBand[] = "ZORVANT-%s  prefix worked on %s %i tour %i";  // band, then count
constexpr char kPrefixBandRu[] =                                              // count, then band
    "ZORVANT-%s  \xEE\xF2\xF0\xE0\xE1\xEE\xF2\xE0\xED\xED\xFB\xF5 \xEF\xF0\xE5\xF4\xE8\xEA\xF1\xEE\xE2 %i "
    "\xED\xE0 %s \xF2\xF3\xF0 %i";
constexpr char kPrevQso[] = "ZORVANT-%s Previous QSO tour %i";
constexpr char kPrevQsoRu[] = "ZORVANT-%s \xCF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE8\xE5 QSO \xF2\xF3\xF0 %i";
constexpr char kPrevQsoCall[] = "ZORVANT-%s Previous QSO with %s tour %i ";
constexpr char kPrevQsoCallRu[] =
    "ZORVANT-%s \xCF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE8\xE5 QSO c %s \xF2\xF3\xF0 %i";

// What a previous-QSO cell shows when this refresh found nothing for it.
constexpr char kNothingFound[] = "   -";
constexpr char kTimeFormat[] = "%H:%M";
constexpr std::size_t kRowCells = 5;

// Whole megahertz of the host's frequency -> band slot; other bands show no prefix list.
std::optional<int> SlotOfFrequency(double hz) {
  const double mhz = std::trunc(hz / 1e6);
  if (mhz == 1) return 0;
  if (mhz == 3) return 1;
  if (mhz == 7) return 2;
  return std::nullopt;
}

// Rows 0 to 2 of bandRows hold the previous-QSO table. REQUIRES: engine lock held.
void FillPreviousQsos(Contest& contest) {
  for (int s = 0; s < kPrefixBands; ++s) {
    std::vector<std::string>& row = contest.bandRows[static_cast<std::size_t>(s)];
    // Only before the first reset can a row be short; the table still needs all its cells.
    if (row.empty()) row.push_back(contest.bandTable[static_cast<std::size_t>(s)]);
    row.resize(std::max(row.size(), kRowCells));
    for (std::size_t cell = 1; cell < kRowCells; ++cell) row[cell] = kNothingFound;
  }
  if (contest.enteredCall.empty()) return;
  contest.qsoLog.ForEachOfCall(contest.enteredCall, [&contest](std::size_t, const QsoView& r) {
    if (r.tour != contest.currentTour) return true;
    for (std::size_t s = 0; s < static_cast<std::size_t>(kPrefixBands); ++s) {
      if (r.band != contest.bandTable[s]) continue;
      std::vector<std::string>& row = contest.bandRows[s];
      if (r.mode == "BPSK63") row[1] = Format(r.time, kTimeFormat);
      if (r.mode == "RTTY") row[2] = Format(r.time, kTimeFormat);
      row[3] = r.exchRcvd;  // later contacts overwrite earlier ones, whatever their mode
      break;
    }
    return true;
  });
}

// Sends "<SP1>" when the host moved far enough and gives the band slot it is tuned to.
// REQUIRES: engine lock NOT held.
std::optional<int> PollFrequency(HostLink& host, SetupMemory& mine) {
  const std::optional<double> hz = host.Frequency();
  if (!hz || !std::isfinite(*hz)) return std::nullopt;
  if (std::fabs(*hz - mine.lastSpotFrequency) > 300) {
    host.SendMacro(kMacroSpot);
    mine.lastSpotFrequency = *hz;
  }
  return SlotOfFrequency(*hz);
}

}  // namespace

const ControlText kRussianSetupTexts[7] = {
    {1025, "\xCE\xF2\xEE\xE1\xF0\xE0\xE6\xE0\xF2\xFC"},
    {1026, "\xC2\xFB\xE1\xEE\xF0 \xEC\xEE\xE4\xFB"},
    {1027, "\xD2\xF3\xF0 1"},
    {1028, "\xD2\xF3\xF0 2"},
    {1014, "\xCE\xF2\xF0\xE0\xE1\xEE\xF2\xE0\xED\xED\xFB\xE5 \xEF\xF0\xE5\xF4\xE8\xEA\xF1\xFB"},
    {1015, "\xCF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE8\xE5 QSO"},
    {1016, "\xCF\xEE\xE2\xE5\xF0\xF5 \xEE\xEA\xEE\xED"},
};

int SettingInt(const SettingsSnapshot& saved, const char* key) { return SettingNumber(saved.Get(key, "")); }

WindowCorner CornerSetting(const SettingsSnapshot& saved, const char* xKey, const char* yKey) {
  WindowCorner corner{SettingInt(saved, xKey), SettingInt(saved, yKey)};
  if (corner.x == 0) corner.x = 10;
  if (corner.y == 0) corner.y = 400;
  return corner;
}

void SaveCorner(SettingsStore& settings, WindowCorner& last, int x, int y, const char* xKey,
                const char* yKey) {
  std::vector<std::pair<std::string, std::string>> changed;
  if (x != last.x) changed.emplace_back(xKey, std::to_string(x));
  if (y != last.y) changed.emplace_back(yKey, std::to_string(y));
  if (changed.empty()) return;
  if (settings.Write(changed) != SettingsError::kBusy) last = {x, y};
}

ModemMode ModeFromSetting(const std::string& value) {
  return value.empty() || value == "RTTY" ? ModemMode::kRtty : ModemMode::kBpsk63;
}

const char* ModeSetting(ModemMode mode) { return mode == ModemMode::kRtty ? "RTTY" : "BPSK63"; }

void SendModeMacros(HostLink& host, ModemMode mode) {
  if (mode == ModemMode::kRtty) {
    host.SendMacro(kMacroModeRtty);
    host.SendMacro(kMacroBaudRtty);
  } else {
    host.SendMacro(kMacroModeBpsk);
    host.SendMacro(kMacroBaudBpsk);
  }
}

TitleValues TitleValuesOf(const Contest& contest) {
  return {contest.startYear, contest.currentTour + 1, contest.homeArea != 0};
}

std::string SetupTitle(const std::string& startYear, bool russian) {
  return StringPrintf(russian ? kSetupTitleRu : kSetupTitle, startYear.c_str());
}

std::string PrefixOpeningTitle(const TitleValues& v) {
  return StringPrintf(v.russian ? kPrefixOpeningRu : kPrefixOpening, v.startYear.c_str(), v.tourNumber);
}

std::string PrefixBandTitle(const TitleValues& v, const std::string& band, std::size_t prefixCount) {
  const int count = static_cast<int>(prefixCount);
  if (v.russian) return StringPrintf(kPrefixBandRu, v.startYear.c_str(), count, band.c_str(), v.tourNumber);
  return StringPrintf(kPrefixBand, v.startYear.c_str(), band.c_str(), count, v.tourNumber);
}

std::string PrevQsoTitle(const TitleValues& v) {
  return StringPrintf(v.russian ? kPrevQsoRu : kPrevQso, v.startYear.c_str(), v.tourNumber);
}

std::string PrevQsoCallTitle(const TitleValues& v, const std::string& call) {
  return StringPrintf(v.russian ? kPrevQsoCallRu : kPrevQsoCall, v.startYear.c_str(), call.c_str(),
                      v.tourNumber);
}

RefreshResult RunRefresh(HostLink& host, std::mutex& engineLock, Contest& contest, SetupMemory& mine) {
  RefreshResult result;
  std::optional<int> slot;
  if (host.attached()) {
    std::string call = host.EnteredCall();
    // One or two characters are a callsign still being typed: the table, the titles and the frequency poll
    // wait for it to grow or be cleared.
    const bool complete = call.empty() || call.size() > 2;
    {
      std::lock_guard<std::mutex> lock(engineLock);
      contest.enteredCall = std::move(call);
      if (complete) {
        const TitleValues titles = TitleValuesOf(contest);
        result.russian = titles.russian;
        FillPreviousQsos(contest);
        result.prevQsoTitles.push_back(PrevQsoTitle(titles));
        if (!contest.enteredCall.empty()) {
          result.prevQsoTitles.push_back(PrevQsoCallTitle(titles, contest.enteredCall));
        }
      }
    }
    if (complete) slot = PollFrequency(host, mine);
  }

  std::lock_guard<std::mutex> lock(engineLock);
  if (slot) {
    contest.currentBandSlot = *slot;
    const TitleValues titles = TitleValuesOf(contest);
    const int list = contest.currentTour * kPrefixBands + *slot;
    const std::size_t prefixCount = list >= 0 && list < static_cast<int>(contest.tourPrefixes.size())
                                        ? contest.tourPrefixes[static_cast<std::size_t>(list)].size()
                                        : 0;
    result.russian = titles.russian;
    result.prefixTitle =
        PrefixBandTitle(titles, contest.bandTable[static_cast<std::size_t>(*slot)], prefixCount);
    result.repaintContent = true;
  }
  contest.refreshPending = 1;
  return result;
}

std::vector<LampPaint> TickTourTimer(int utcHour, std::mutex& engineLock, Contest& contest,
                                     SetupMemory& mine) {
  std::vector<LampPaint> paints;
  std::lock_guard<std::mutex> lock(engineLock);
  const int sinceStart = utcHour - contest.startHour;
  if (sinceStart < 0) return paints;  // before the start hour the tour stays as it was
  if (sinceStart < 2) {
    contest.currentTour = 0;
    if (!mine.tourOneLitDone) {
      mine.tourOneLitDone = true;
      paints.push_back({1, kLampGreen});
    }
  } else {
    contest.currentTour = 1;
    if (!mine.tourTwoLitDone) {
      mine.tourTwoLitDone = true;
      paints.push_back({1, kLampRed});
      paints.push_back({2, kLampGreen});
    }
  }
  if (sinceStart > 4 && !mine.contestOverDone) {
    mine.contestOverDone = true;
    paints.push_back({1, kLampRed});
    paints.push_back({2, kLampRed});
  }
  return paints;
}

int ScaledToDpi(int pixels, int dpi) {
  if (dpi <= 0 || dpi == kBaseDpi) return pixels;
  const long long scaled = static_cast<long long>(pixels) * dpi;
  return static_cast<int>((scaled >= 0 ? scaled + kBaseDpi / 2 : scaled - kBaseDpi / 2) / kBaseDpi);
}

namespace {

PixelBox Scaled(const PixelBox& box, int dpi) {
  return {ScaledToDpi(box.left, dpi), ScaledToDpi(box.top, dpi), ScaledToDpi(box.right, dpi),
          ScaledToDpi(box.bottom, dpi)};
}

}  // namespace

PixelBox LampBox(int lamp, int dpi) {
  static const PixelBox kAt96[2] = {{188, 80, 208, 100}, {188, 105, 208, 125}};
  return Scaled(kAt96[lamp == 2 ? 1 : 0], dpi);
}

PixelBox RussianModeLabelBox(int dpi) { return Scaled({170, 8, 270, 28}, dpi); }

}  // namespace zorvant
