// All state of one scored contest, and the operations the host drives through the exports. One object per
// contest: the plug-in owns the process-wide one, tests make their own.
//
// Thread safety: none inside. The plug-in layer holds its one engine lock around every call and every read of
// the fields below. Shell callbacks that wait (StartSetup, RunCabrilloDialog) may release that lock and
// take it again, so no operation here keeps a reference into the state across such a callback.
#ifndef ZORVANT_ENGINE_CONTEST_H_
#define ZORVANT_ENGINE_CONTEST_H_

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/contest_rules.h"
#include "engine/export_state.h"
#include "engine/ole_date.h"
#include "engine/qso.h"
#include "engine/qso_log.h"
#include "engine/settings_store.h"
#include "platform/platform.h"

namespace zorvant {

// The plug-in's own settings file, relative to the host's current folder, and its section.
extern const char kSettingsFile[];
extern const char kSettingsSection[];
extern const char kBadQsoHeader[];

// What AddData0 and RemoveData0 read of their 33 arguments. Any text may be null (read as empty).
struct QsoArgs {
  const char* ownCall = nullptr;        // 1
  const char* call = nullptr;           // 2
  const OleDate* time = nullptr;        // 3 (null: a null date)
  unsigned int freqHz = 0;              // 8
  const char* mode = nullptr;           // 9
  const char* rstSent = nullptr;        // 10
  const char* rstRcvd = nullptr;        // 11
  const char* exchSent = nullptr;       // 12
  const char* exchRcvd = nullptr;       // 13
  const char* prefix = nullptr;         // 22
  const char* countryPrefix = nullptr;  // 23
  const char* hostText = nullptr;       // 30
  const char* band = nullptr;           // 32
};

// What CheckCall0 reads of its 28 arguments.
struct CallCheckArgs {
  const char* call = nullptr;           // 1
  const char* mode = nullptr;           // 4
  const char* prefix = nullptr;         // 13
  const char* countryPrefix = nullptr;  // 14
  const char* band = nullptr;           // 25
  const char* band2 = nullptr;          // 26
};

// What ResetStats0 reads of its 23 arguments.
struct ResetArgs {
  const char* iniFolder = nullptr;         // 1: prefix of the host-ini search pattern
  int exportFlag = 0;                      // 2
  const char* ownCall = nullptr;           // 3
  const OleDate* start = nullptr;          // 4
  const OleDate* end = nullptr;            // 5
  const char* ownCountryPrefix = nullptr;  // 15
};

// The window side, as the engine sees it.
class Shell {
 public:
  virtual ~Shell() = default;
  virtual bool SetupWindowOpen() = 0;
  // Posts the refresh message to the Setup window when its window exists; never waits. False when nothing
  // was posted: no thread, or a thread whose window is not up yet.
  virtual bool PostRefresh() = 0;
  // Opens the Setup window on its own thread, closing an open one first. May wait.
  virtual void StartSetup() = 0;
  // Shows the Cabrillo header fields (the soapbox in dialog form) for the operator to confirm. On OK stores
  // the edited values back into `fields` and returns true. Returns when the operator closes it. May wait.
  virtual bool RunCabrilloDialog(CabrilloFields& fields) = 0;
};

// A shell with no windows: the command-line tool and engine tests. The header is confirmed as shown, after
// `editHeader` (if any) has changed the fields as an operator would type into the dialog.
class NoWindows : public Shell {
 public:
  NoWindows() = default;
  explicit NoWindows(std::function<void(CabrilloFields&)> editHeader) : editHeader_(std::move(editHeader)) {}

  bool SetupWindowOpen() override { return false; }
  bool PostRefresh() override { return false; }
  void StartSetup() override {}
  bool RunCabrilloDialog(CabrilloFields& fields) override {
    AsShownInDialog(fields);
    if (editHeader_) editHeader_(fields);
    return true;
  }

 private:
  std::function<void(CabrilloFields&)> editHeader_;
};

// The bad-QSO line of a contact, without its line end. `reason` is one of the texts below. A line break in
// a value becomes a blank, so every contact keeps to one line.
std::string BadQsoLine(const QsoArgs& q, const char* reason);
// The same line of a stored contact, from its record and the own callsign it came with: the line AddData
// wrote for it, byte for byte.
std::string BadQsoLine(const QsoView& r, std::string_view ownCall, const char* reason);
// Whether a line of the bad-QSO file is its header (trailing blanks aside, which an editor may have cut).
bool IsBadQsoHeader(const std::string& line);
// The lines of the bad-QSO file's text (see SplitLines), without the UTF-8 byte-order mark an editor such as
// Notepad puts before the first.
std::vector<std::string> BadQsoFileLines(const std::string& text);
extern const char kWrongBand[];
extern const char kWrongMode[];
extern const char kNoRxNumber[];
extern const char kDupe[];

class Contest {
 public:
  explicit Contest(Platform& platform);

  int AddData(const QsoArgs& q);                   // 1 stored (new or dupe), 0 rejected
  int RemoveData(const QsoArgs& q, Shell& shell);  // always 1
  int Reset(const ResetArgs& r, Shell& shell);     // always 1
  // 0 dupe, 1 ordinary, 2 new prefix, 4 not a contest QSO.
  int CheckCall(const CallCheckArgs& c, Shell& shell);

  // Tour of a time: 1 when its hour is at least two past the start hour, else 0. The date plays no part.
  int TourOf(const OleDate& t) const;

  Platform& platform() { return platform_; }

  // --- State, named as the rest of the program knows it.
  QsoLog qsoLog;
  const CContestRules modeTable;
  const CContestRules bandTable;
  std::vector<std::string> bandsWorked;  // distinct accepted band texts, byte-exact, in order of first use
  std::array<std::vector<std::string>, kBandCount> bandRows;
  std::array<std::vector<std::string>, 2 * kPrefixBands> tourPrefixes;  // [tour * 3 + band]
  std::int16_t startHour = 0;
  std::int16_t currentTour = 0;
  int homeArea = 0;
  int exportRun = 0;
  int htmlReport = 0;
  int refreshPending = 1;
  std::string myCall;
  std::string startYear;
  std::string startDate;
  std::string badQsoFileName;
  std::string hostId;
  // What the Setup window's refresh last read from the host; the content drawing shows them.
  std::string enteredCall;
  int currentBandSlot = -1;  // 0 160m, 1 80m, 2 40m, -1 none yet
  // The plug-in's settings as the host's thread reads and writes them. Each reset begins a new pass of it.
  SettingsStore settings;
  // The export state and what the last report left for it.
  CabrilloExport cabrillo;
  int claimedScore = 0;
  int badQsoCount = 0;
  std::string reportText;  // what GetResult0 returned last; valid until its next call

 private:
  void ReadHostId(const std::string& folderPrefix);
  void UpdateStartToggle(Shell& shell, bool exportPass);
  void CreateBadQsoFile();
  // Appends one line to the bad-QSO file, opening it on first use within a call.
  void AppendBadQso(std::FILE*& file, const QsoArgs& q, const char* reason);
  // The reason AddData rejects the contact for, or null when it stores it.
  const char* Rejection(const QsoArgs& q) const;
  // Takes one line equal to `line` (none when empty) out of the bad-QSO file.
  void RemoveBadQsoLine(const std::string& line);

  Platform& platform_;
};

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_CONTEST_H_
