// What the Setup window decides, apart from the window system: the mode it starts in, the texts it shows, the
// refresh that polls the host and fills the previous-QSO table, and the tour timer's rule. The window code
// calls these and only carries out what they return, so all of it runs natively against a fake host link.
//
// Threads: everything here runs on the Setup thread. The functions given the engine lock take it themselves,
// for short spans, and never hold it across a call to the host link: the host answers those calls on its
// own thread, which may be waiting for the lock inside an export. So call them, and SendModeMacros, without
// the lock held.
#ifndef ZORVANT_UI_SETUP_LOGIC_H_
#define ZORVANT_UI_SETUP_LOGIC_H_

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/contest.h"
#include "ui/host_link.h"

namespace zorvant {

// A colour laid out as the window system's (red in the low byte), so the window code passes it on as it is.
constexpr std::uint32_t Rgb(int red, int green, int blue) {
  return static_cast<std::uint32_t>(red) | static_cast<std::uint32_t>(green) << 8 |
         static_cast<std::uint32_t>(blue) << 16;
}
inline constexpr std::uint32_t kLampYellow = Rgb(255, 255, 0);  // both lamps when the window opens
inline constexpr std::uint32_t kLampGreen = Rgb(0, 255, 0);
inline constexpr std::uint32_t kLampRed = Rgb(255, 0, 0);

// What one Setup window remembers between its refreshes and timer ticks. Each window has its own, starting
// clear, so a window opened after a reset sends "<SP1>" afresh and shows the lamps of the tour it opens in.
struct SetupMemory {
  double lastSpotFrequency = 0;  // hertz at which "<SP1>" was last sent
  bool tourOneLitDone = false;
  bool tourTwoLitDone = false;
  bool contestOverDone = false;
};

// --- Settings. The Setup thread reads and writes them through a store of its own (engine/settings_store.h).

// A number of the plug-in's settings ("setup_x", "setup_view_pref", "dxcc_y", ...): SettingNumber of the
// saved value, so 0 when the key is missing, empty or holds no number. The windows read every number so.
int SettingInt(const SettingsSnapshot& saved, const char* key);

// One corner shared by the plug-in's three windows: the one any of them last loaded from or wrote to the
// settings, so that each writes a coordinate only when it really changed. Setup thread only.
struct WindowCorner {
  int x = 0;
  int y = 0;
};
// The corner a window opens at, from its two keys: 0, also for a missing key, is x 10 or y 400.
WindowCorner CornerSetting(const SettingsSnapshot& saved, const char* xKey, const char* yKey);
// After a window has moved to (x, y): whichever coordinate differs from `last` is saved, both in one write.
// `last` then follows the window, unless the lock was busy: it stays, so that the next mouse move tries
// again.
void SaveCorner(SettingsStore& settings, WindowCorner& last, int x, int y, const char* xKey,
                const char* yKey);

// --- Mode choice.
enum class ModemMode { kRtty, kBpsk63 };

// The mode the window starts in, from the "Mode" setting: only "RTTY" or nothing selects RTTY; any other
// text, "rtty" too, selects BPSK63.
ModemMode ModeFromSetting(const std::string& value);
// What a click on a mode button writes to "Mode".
const char* ModeSetting(ModemMode mode);
// Sends the mode's macro pair to the host, in order. REQUIRES: engine lock NOT held.
void SendModeMacros(HostLink& host, ModemMode mode);

// --- Texts. When `russian` is set (the contest's homeArea) a text is in Windows-1251 bytes, and the window
// code converts it from that code page to show it; otherwise it is in the ANSI code page.

// The values every information window title is made of, copied from the contest.
struct TitleValues {
  std::string startYear;
  int tourNumber = 1;  // currentTour + 1
  bool russian = false;
};
TitleValues TitleValuesOf(const Contest& contest);  // REQUIRES: engine lock held

std::string SetupTitle(const std::string& startYear, bool russian);
// Prefix window: when it opens, and when the host is tuned to one of the prefix bands.
std::string PrefixOpeningTitle(const TitleValues& v);
std::string PrefixBandTitle(const TitleValues& v, const std::string& band, std::size_t prefixCount);
// Previous-QSO window: when it opens, and with the callsign being typed.
std::string PrevQsoTitle(const TitleValues& v);
std::string PrevQsoCallTitle(const TitleValues& v, const std::string& call);

// The Setup window's controls that show Russian texts when homeArea is set (1251 bytes).
struct ControlText {
  int id;
  const char* text;
};
extern const ControlText kRussianSetupTexts[7];
// --- Pixels at the window's DPI.

// The windows' own pixel positions and sizes are those of a 96-DPI screen. A window at another DPI gets
// its dialog units and fonts from the system at that DPI, so these grow with them: scaled, rounded to the
// nearest pixel, and unchanged at 96.
inline constexpr int kBaseDpi = 96;
int ScaledToDpi(int pixels, int dpi);

struct PixelBox {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const PixelBox& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// Tour lamp 1 or 2, in client pixels: a circle of 20 x 20 at 96 DPI, right of its tour label.
PixelBox LampBox(int lamp, int dpi);

// The Russian label of the mode buttons is longer: its control moves to this client rectangle, 100 x 20
// pixels at (170, 8) at 96 DPI.
inline constexpr int kRussianModeLabelId = 1026;
PixelBox RussianModeLabelBox(int dpi);

// --- Refresh (on the refresh message, after the window code has opened the wanted information windows).

// What the window code does after a refresh, without the lock, to the windows that are open.
struct RefreshResult {
  bool russian = false;  // the titles below are 1251 bytes
  // Titles for the Previous-QSO window, to set in this order: the plain one, then the callsign one.
  std::vector<std::string> prevQsoTitles;
  // The band title for the Prefix window, when the host is tuned to a prefix band.
  std::optional<std::string> prefixTitle;
  // Invalidate control 1003 of each open information window without erasing: their content changed.
  bool repaintContent = false;
};

// Reads the callsign being typed and the frequency from the host; fills rows 0 to 2 of bandRows with the
// current tour's contacts with that callsign; sets enteredCall and currentBandSlot; sends "<SP1>" when the
// frequency moved by more than 300 Hz since this window last sent it; and sets refreshPending to 1 again.
// A callsign of one or two characters changes nothing but enteredCall. A frequency the host does not give
// detects no band and sends nothing. REQUIRES: engine lock NOT held.
RefreshResult RunRefresh(HostLink& host, std::mutex& engineLock, Contest& contest, SetupMemory& mine);

// --- Tour timer (every second).

struct LampPaint {
  int lamp;  // 1 or 2
  std::uint32_t colour;
};

// Sets currentTour from the UTC hour and returns the lamps to repaint, in order; each lamp changes colour
// once per window. Nothing wraps at midnight: before the start hour nothing happens.
// REQUIRES: engine lock NOT held.
std::vector<LampPaint> TickTourTimer(int utcHour, std::mutex& engineLock, Contest& contest,
                                     SetupMemory& mine);

}  // namespace zorvant

#endif  // ZORVANT_UI_SETUP_LOGIC_H_
