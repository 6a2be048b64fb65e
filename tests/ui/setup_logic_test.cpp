// The Setup window's decisions against a fake host: what a refresh reads, fills, sends and asks the windows
// to show; the tour timer's lamps; the start mode; the window texts byte for byte.
#include "ui/setup_logic.h"

#include <gtest/gtest.h>

#include <future>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/contest.h"

namespace zorvant {
namespace {

using Row = std::vector<std::string>;

// Answers as configured and records what the plug-in sent. Each call also checks, from another thread, that
// the engine lock is free: the real host answers on its own thread, which may be waiting for that lock.
class FakeHost : public HostLink {
 public:
  explicit FakeHost(std::mutex& engineLock) : engineLock_(engineLock) {}

  bool isAttached = true;
  std::string call;                 // a rejected read also gives ""
  std::optional<double> frequency;  // empty: the host rejected the read
  std::vector<std::string> macros;
  int frequencyReads = 0;
  int callsUnderLock = 0;

  bool attached() const override { return isAttached; }
  void SendMacro(const std::string& text) override {
    CheckLockFree();
    macros.push_back(text);
  }
  std::string EnteredCall() override {
    CheckLockFree();
    return call;
  }
  std::optional<double> Frequency() override {
    CheckLockFree();
    ++frequencyReads;
    return frequency;
  }

 private:
  void CheckLockFree() {
    const bool free = std::async(std::launch::async, [this] {
                        if (!engineLock_.try_lock()) return false;
                        engineLock_.unlock();
                        return true;
                      }).get();
    if (!free) ++callsUnderLock;
  }

  std::mutex& engineLock_;
};

// The Windows-1251 bytes of a text written here in UTF-8 (ASCII and the Russian letters), so that expected
// Russian texts read as the letters they are rather than as copies of the constants under test.
std::string Cp1251(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    const unsigned code = (c & 0x1Fu) << 6 | (static_cast<unsigned char>(utf8[++i]) & 0x3Fu);
    if (code >= 0x410 && code <= 0x44F) {
      out += static_cast<char>(0xC0 + (code - 0x410));
    } else {
      ADD_FAILURE() << "no Windows-1251 byte for U+" << std::hex << code;
    }
  }
  return out;
}

class RefreshTest : public ::testing::Test {
 protected:
  RefreshTest() : contest(SystemPlatform()), host(engineLock) {
    contest.startYear = "2020";
    contest.startHour = 14;
    contest.currentTour = 1;
    contest.refreshPending = 0;
    // As the reset leaves them, but rows 3 to 5 marked to show the refresh never touches them.
    for (std::size_t i = 0; i < kBandCount; ++i) {
      const std::string mark = i < kPrefixBands ? "-" : "untouched";
      contest.bandRows[i] = {contest.bandTable[i], mark, mark, mark, mark};
    }
  }

  void TearDown() override {
    EXPECT_EQ(host.callsUnderLock, 0) << "host called with the engine lock held";
    ASSERT_TRUE(engineLock.try_lock()) << "the refresh left the engine lock held";
    engineLock.unlock();
  }

  void Log(const std::string& call, const std::string& band, const std::string& mode, int hour, int minute,
           const std::string& exchRcvd, int tour) {
    CInfo r;
    r.call = call;
    r.band = band;
    r.mode = mode;
    r.time = OleDate::FromParts(2020, 3, 7, hour, minute);
    r.exchRcvd = exchRcvd;
    r.tour = tour;
    contest.qsoLog.Append(r);
  }

  RefreshResult Refresh() { return RunRefresh(host, engineLock, contest, window); }

  std::mutex engineLock;
  Contest contest;
  FakeHost host;
  SetupMemory window;
};

const Row kEmpty160 = {"160m", "   -", "   -", "   -", "   -"};
const Row kEmpty80 = {"80m", "   -", "   -", "   -", "   -"};
const Row kEmpty40 = {"40m", "   -", "   -", "   -", "   -"};

TEST_F(RefreshTest, ShortCallsignChangesNothingButEnteredCall) {
  struct Case {
    std::string call;
    bool rebuilt;
    std::vector<std::string> prevQsoTitles;
  };
  const Case cases[] = {
      {"", true, {"ZORVANT-2020 Previous QSO tour 2"}},  // also what a rejected read gives
      {"U", false, {}},
      {"UA", false, {}},
      {"UA3", true, {"ZORVANT-2020 Previous QSO tour 2", "ZORVANT-2020 Previous QSO with UA3 tour 2 "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("callsign '" + c.call + "'");
    const Row sentinel = {"80m", "12:00", "13:00", "099", "x"};
    contest.bandRows[1] = sentinel;
    contest.currentBandSlot = -1;
    contest.refreshPending = 0;
    host.call = c.call;
    host.frequency = 3580000;
    host.macros.clear();
    host.frequencyReads = 0;
    window = SetupMemory();

    const RefreshResult result = Refresh();

    EXPECT_EQ(contest.enteredCall, c.call);
    EXPECT_EQ(contest.refreshPending, 1);
    EXPECT_EQ(result.prevQsoTitles, c.prevQsoTitles);
    EXPECT_EQ(contest.bandRows[1], c.rebuilt ? kEmpty80 : sentinel);
    // The frequency poll waits for the callsign too.
    EXPECT_EQ(host.frequencyReads, c.rebuilt ? 1 : 0);
    EXPECT_EQ(host.macros, c.rebuilt ? std::vector<std::string>{kMacroSpot} : std::vector<std::string>{});
    EXPECT_EQ(contest.currentBandSlot, c.rebuilt ? 1 : -1);
    EXPECT_EQ(result.prefixTitle.has_value(), c.rebuilt);
    EXPECT_EQ(result.repaintContent, c.rebuilt);
    EXPECT_EQ(contest.bandRows[3][1], "untouched");
  }
}

TEST_F(RefreshTest, TableShowsTheLastContactsOfTheCurrentTourOnly) {
  // The same two 80 m contacts in both log orders: the received number is that of the later one in the log,
  // not the later one in time.
  struct Case {
    bool bpskFirst;
    std::string exchRcvd;
  };
  for (const Case& c : {Case{true, "022"}, Case{false, "011"}}) {
    SCOPED_TRACE(c.bpskFirst ? "BPSK63 logged first" : "RTTY logged first");
    contest.qsoLog.Clear();
    Log("UA3ABC", "160m", "RTTY", 12, 1, "005", 0);  // earlier tour
    Log("ua3abc", "40m", "RTTY", 12, 2, "006", 1);   // callsigns compare case and all
    Log("UA3ABD", "40m", "RTTY", 12, 3, "007", 1);
    Log("UA3ABC", "80M", "RTTY", 12, 4, "008", 1);  // band texts too
    if (c.bpskFirst) Log("UA3ABC", "80m", "BPSK63", 12, 5, "011", 1);
    Log("UA3ABC", "80m", "RTTY", 12, 40, "022", 1);
    if (!c.bpskFirst) Log("UA3ABC", "80m", "BPSK63", 12, 5, "011", 1);
    Log("UA3ABC", "20m", "RTTY", 12, 50, "033", 1);  // not a band of the table
    host.call = "UA3ABC";

    Refresh();

    EXPECT_EQ(contest.bandRows[0], kEmpty160);
    EXPECT_EQ(contest.bandRows[1], (Row{"80m", "12:05", "12:40", c.exchRcvd, "   -"}));
    EXPECT_EQ(contest.bandRows[2], kEmpty40);
    EXPECT_EQ(contest.bandRows[3], (Row{"20m", "untouched", "untouched", "untouched", "untouched"}));
  }
}

TEST_F(RefreshTest, TableFollowsTheLogAfterAContactInTheMiddleGoes) {
  Log("UA3ABC", "80m", "RTTY", 12, 40, "022", 1);
  Log("UA3ABC", "160m", "BPSK63", 13, 0, "030", 1);
  Log("UA3ABC", "80m", "RTTY", 13, 10, "044", 1);
  contest.qsoLog.RemoveAt(1);
  host.call = "UA3ABC";

  Refresh();

  EXPECT_EQ(contest.bandRows[0], kEmpty160);
  EXPECT_EQ(contest.bandRows[1], (Row{"80m", "   -", "13:10", "044", "   -"}));
}

TEST_F(RefreshTest, FrequencyPicksTheBandAndSpotsMovesOfMoreThan300Hz) {
  contest.tourPrefixes[1 * kPrefixBands + 0] = std::vector<std::string>(3, "P");
  contest.tourPrefixes[1 * kPrefixBands + 1] = std::vector<std::string>(14, "P");
  contest.tourPrefixes[0 * kPrefixBands + 1] = std::vector<std::string>(9, "P");  // the other tour's
  struct Case {
    std::optional<double> hz;
    double lastSpot;
    bool spot;
    int slot;  // -1: no band detected
    std::string prefixTitle;
  };
  const Case cases[] = {
      {3580000, 0, true, 1, "ZORVANT-2020  prefix worked on 80m 14 tour 2"},
      {1840000, 0, true, 0, "ZORVANT-2020  prefix worked on 160m 3 tour 2"},
      {7040000, 0, true, 2, "ZORVANT-2020  prefix worked on 40m 0 tour 2"},
      {3580000, 3580300, false, 1, "ZORVANT-2020  prefix worked on 80m 14 tour 2"},  // exactly 300 Hz
      {3580000, 3580301, true, 1, "ZORVANT-2020  prefix worked on 80m 14 tour 2"},
      {14070000, 0, true, -1, ""},  // spotted all the same
      {14070000, 14070200, false, -1, ""},
      {std::nullopt, 0, false, -1, ""},  // rejected read
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hz ? std::to_string(*c.hz) + " Hz" : "rejected");
    host.call = "UA3ABC";
    host.frequency = c.hz;
    host.macros.clear();
    window.lastSpotFrequency = c.lastSpot;
    contest.currentBandSlot = -1;

    const RefreshResult result = Refresh();

    EXPECT_EQ(host.macros, c.spot ? std::vector<std::string>{kMacroSpot} : std::vector<std::string>{});
    EXPECT_EQ(window.lastSpotFrequency, c.spot ? *c.hz : c.lastSpot);
    EXPECT_EQ(contest.currentBandSlot, c.slot);
    EXPECT_EQ(result.prefixTitle.value_or(""), c.prefixTitle);
    EXPECT_EQ(result.repaintContent, c.slot >= 0);
    EXPECT_EQ(result.prevQsoTitles.size(), 2u) << "titles do not depend on the band";
    EXPECT_EQ(contest.refreshPending, 1);
  }
}

TEST_F(RefreshTest, WithoutTheHostOnlyTheNextRefreshIsAllowed) {
  host.isAttached = false;
  host.call = "UA3ABC";
  host.frequency = 3580000;
  contest.enteredCall = "OLD";
  Log("UA3ABC", "80m", "RTTY", 12, 40, "022", 1);

  const RefreshResult result = Refresh();

  EXPECT_EQ(contest.refreshPending, 1);
  EXPECT_EQ(contest.enteredCall, "OLD");
  EXPECT_EQ(contest.currentBandSlot, -1);
  EXPECT_EQ(contest.bandRows[1], (Row{"80m", "-", "-", "-", "-"}));
  EXPECT_EQ(host.frequencyReads, 0);
  EXPECT_TRUE(host.macros.empty());
  EXPECT_TRUE(result.prevQsoTitles.empty());
  EXPECT_FALSE(result.prefixTitle);
  EXPECT_FALSE(result.repaintContent);
}

TEST_F(RefreshTest, HomeAreaGetsTheRussianTitles) {
  contest.homeArea = 1;
  contest.tourPrefixes[1 * kPrefixBands + 1] = std::vector<std::string>(14, "P");
  host.call = "UA3ABC";
  host.frequency = 3580000;

  const RefreshResult result = Refresh();

  EXPECT_TRUE(result.russian);
  EXPECT_EQ(result.prevQsoTitles,
            (std::vector<std::string>{Cp1251("ZORVANT-2020 Предыдущие QSO тур 2"),
                                      Cp1251("ZORVANT-2020 Предыдущие QSO c UA3ABC тур 2")}));
  EXPECT_EQ(result.prefixTitle, Cp1251("ZORVANT-2020  отработанных префиксов 14 на 80m тур 2"));
}

TEST(WindowTextsTest, TitlesByteForByte) {
  const TitleValues en{"2020", 2, false};
  const TitleValues ru{"2020", 2, true};
  struct Case {
    std::string actual;
    std::string expected;
  };
  const Case cases[] = {
      {SetupTitle("2020", false), "Setup ZORVANT 2020"},
      {PrefixOpeningTitle(en), "ZORVANT-2020 Working prefix tour 2"},
      {PrefixBandTitle(en, "80m", 14), "ZORVANT-2020  prefix worked on 80m 14 tour 2"},
      {PrevQsoTitle(en), "ZORVANT-2020 Previous QSO tour 2"},
      {PrevQsoCallTitle(en, "UA3ABC"), "ZORVANT-2020 Previous QSO with UA3ABC tour 2 "},
      {SetupTitle("2020", true), Cp1251("Настройки ZORVANT 2020")},
      {PrefixOpeningTitle(ru), Cp1251("ZORVANT-2020 Отработанные префиксы тур 2")},
      {PrefixBandTitle(ru, "80m", 14), Cp1251("ZORVANT-2020  отработанных префиксов 14 на 80m тур 2")},
      {PrevQsoTitle(ru), Cp1251("ZORVANT-2020 Предыдущие QSO тур 2")},
      {PrevQsoCallTitle(ru, "UA3ABC"), Cp1251("ZORVANT-2020 Предыдущие QSO c UA3ABC тур 2")},  // Latin c
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(WindowTextsTest, RussianSetupControls) {
  const ControlText expected[] = {
      {1025, "Отображать"},
      {1026, "Выбор моды"},
      {1027, "Тур 1"},
      {1028, "Тур 2"},
      {1014, "Отработанные префиксы"},
      {1015, "Предыдущие QSO"},
      {1016, "Поверх окон"},
  };
  ASSERT_EQ(std::size(kRussianSetupTexts), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(kRussianSetupTexts[i].id, expected[i].id);
    EXPECT_EQ(kRussianSetupTexts[i].text, Cp1251(expected[i].text)) << expected[i].id;
  }
}

// A host link without the lock check, for the mode choice and for many refreshes in a row.
class QuietHost : public HostLink {
 public:
  std::string call;
  std::optional<double> frequency;
  std::vector<std::string> macros;
  bool attached() const override { return true; }
  void SendMacro(const std::string& text) override { macros.push_back(text); }
  std::string EnteredCall() override { return call; }
  std::optional<double> Frequency() override { return frequency; }
};

TEST(ModeChoiceTest, OnlyExactRttyOrNothingSelectsRtty) {
  struct Case {
    std::string setting;
    ModemMode mode;
  };
  const Case cases[] = {{"RTTY", ModemMode::kRtty},
                        {"", ModemMode::kRtty},
                        {"rtty", ModemMode::kBpsk63},
                        {"BPSK63", ModemMode::kBpsk63},
                        {"anything", ModemMode::kBpsk63}};
  for (const Case& c : cases) EXPECT_EQ(ModeFromSetting(c.setting), c.mode) << "'" << c.setting << "'";
}

TEST(ModeChoiceTest, EachModeSendsItsPairInOrderAndWritesItsName) {
  QuietHost host;
  SendModeMacros(host, ModemMode::kBpsk63);
  SendModeMacros(host, ModemMode::kRtty);
  EXPECT_EQ(host.macros,
            (std::vector<std::string>{"<MODE:BPSK31>", "<BAUDRATE:63>", "<MODE:RTTY>", "<BAUDRATE:45.45>"}));
  EXPECT_STREQ(ModeSetting(ModemMode::kBpsk63), "BPSK63");
  EXPECT_STREQ(ModeSetting(ModemMode::kRtty), "RTTY");
}

class TourTimerTest : public ::testing::Test {
 protected:
  TourTimerTest() : contest(SystemPlatform()) { contest.startHour = 15; }

  std::mutex engineLock;
  Contest contest;
};

// The lamp paints as "1 green, 2 red", so that a table reads like the window and a failure shows colours.
std::string Describe(const std::vector<LampPaint>& paints) {
  std::string out;
  for (const LampPaint& p : paints) {
    if (!out.empty()) out += ", ";
    out += std::to_string(p.lamp) + " ";
    out += p.colour == kLampGreen    ? "green"
           : p.colour == kLampRed    ? "red"
           : p.colour == kLampYellow ? "yellow"
                                     : "?";
  }
  return out;
}

TEST_F(TourTimerTest, OneWindowThroughTheContest) {
  struct Tick {
    int hour;
    int tour;  // currentTour afterwards
    std::string paints;
  };
  contest.currentTour = 1;  // before the start the timer leaves it alone
  const Tick ticks[] = {
      {14, 1, ""}, {15, 0, "1 green"},      {15, 0, ""}, {16, 0, ""}, {17, 1, "1 red, 2 green"},
      {19, 1, ""}, {20, 1, "1 red, 2 red"}, {21, 1, ""}, {16, 0, ""},  // a clock put back changes the tour
                                                                       // but no lamp again
  };
  SetupMemory window;
  for (const Tick& t : ticks) {
    SCOPED_TRACE("hour " + std::to_string(t.hour));
    EXPECT_EQ(Describe(TickTourTimer(t.hour, engineLock, contest, window)), t.paints);
    EXPECT_EQ(contest.currentTour, t.tour);
  }
}

TEST_F(TourTimerTest, NewWindowShowsTheCurrentLampsAtItsFirstTick) {
  // An earlier window already changed every lamp; a new one must not inherit that.
  SetupMemory old;
  for (int hour : {15, 17, 20}) TickTourTimer(hour, engineLock, contest, old);

  struct Case {
    int startHour;
    int hour;
    std::string paints;
  };
  const Case cases[] = {
      {15, 16, "1 green"},
      {15, 18, "1 red, 2 green"},
      {15, 23, "1 red, 2 green, 1 red, 2 red"},
      {22, 1, ""},  // past midnight nothing wraps: still before the start
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("start " + std::to_string(c.startHour) + ", hour " + std::to_string(c.hour));
    contest.startHour = static_cast<std::int16_t>(c.startHour);
    SetupMemory fresh;
    EXPECT_EQ(Describe(TickTourTimer(c.hour, engineLock, contest, fresh)), c.paints);
  }
}

// The host's thread logs and removes contacts, rebuilds the prefix lists and sets the tour while the Setup
// thread refreshes and ticks. Built with ZORVANT_TSAN this shows that every shared read and write is guarded.
TEST(SetupThreadsTest, RefreshAndTimerBesideTheHostThread) {
  std::mutex engineLock;
  Contest contest(SystemPlatform());
  contest.startHour = 14;
  for (std::size_t i = 0; i < kBandCount; ++i)
    contest.bandRows[i] = {contest.bandTable[i], "-", "-", "-", "-"};
  constexpr int kRounds = 2000;

  std::thread hostThread([&] {
    CInfo r;
    r.call = "UA3ABC";
    r.band = "80m";
    r.mode = "RTTY";
    r.time = OleDate::FromParts(2020, 3, 7, 15, 0);
    r.exchRcvd = "022";
    r.tour = 1;
    for (int i = 0; i < kRounds; ++i) {
      std::lock_guard<std::mutex> lock(engineLock);
      if (i % 3 == 2) {
        contest.qsoLog.RemoveAt(0);
      } else {
        contest.qsoLog.Append(r);
      }
      contest.tourPrefixes[1 * kPrefixBands + 1].assign(static_cast<std::size_t>(i % 20), "P");
      contest.currentTour = static_cast<std::int16_t>(i % 2);
    }
  });
  QuietHost host;
  host.call = "UA3ABC";
  host.frequency = 3580000;
  SetupMemory window;
  for (int i = 0; i < kRounds; ++i) {
    RunRefresh(host, engineLock, contest, window);
    TickTourTimer(14 + i % 6, engineLock, contest, window);
  }
  hostThread.join();

  contest.currentTour = 1;
  RunRefresh(host, engineLock, contest, window);
  EXPECT_EQ(contest.bandRows[1], (Row{"80m", "   -", "15:00", "022", "   -"}));
  EXPECT_EQ(contest.currentBandSlot, 1);
}

// --- Pixels at the window's DPI --------------------------------------------------------------------------

// A control of the Setup window's template, in dialog units, placed at a DPI as the system places it: MS
// Shell Dlg 8 has dialog base units of about 6 x 13 pixels at 96 DPI, growing with the DPI.
PixelBox Placed(int x, int y, int width, int height, int dpi) {
  const double cx = 6.0 * dpi / 96 / 4, cy = 13.0 * dpi / 96 / 8;
  return {static_cast<int>(x * cx), static_cast<int>(y * cy), static_cast<int>((x + width) * cx),
          static_cast<int>((y + height) * cy)};
}

bool Overlap(const PixelBox& a, const PixelBox& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Each lamp sits right of its tour label, on the label's row, clear of every other control and inside the
// window, at the DPIs a screen is set to; at 96 DPI exactly where it always was.
TEST(SetupLayout, TheLampsStayBesideTheirTourLabelsAtEveryDpi) {
  EXPECT_EQ(LampBox(1, 96), (PixelBox{188, 80, 208, 100}));
  EXPECT_EQ(LampBox(2, 96), (PixelBox{188, 105, 208, 125}));
  struct Control {
    const char* name;
    int x, y, width, height;
  };
  const Control controls[] = {
      {"View", 12, 4, 66, 12},           {"Prefix", 11, 18, 99, 12},         {"Previous QSO", 11, 35, 77, 12},
      {"Window on top", 11, 51, 69, 12}, {"Choice of mode", 107, 4, 56, 11}, {"BPSK63", 114, 14, 38, 14},
      {"RTTY", 114, 31, 38, 14},
  };
  const Control labels[2] = {{"Tour 1", 85, 51, 22, 10}, {"Tour 2", 85, 67, 22, 10}};
  for (const int dpi : {96, 120, 144, 192}) {
    const PixelBox client = Placed(0, 0, 164, 79, dpi);
    for (int lamp = 1; lamp <= 2; ++lamp) {
      SCOPED_TRACE(std::to_string(dpi) + " DPI, lamp " + std::to_string(lamp));
      const PixelBox box = LampBox(lamp, dpi);
      const Control& l = labels[lamp - 1];
      const PixelBox label = Placed(l.x, l.y, l.width, l.height, dpi);
      EXPECT_GE(box.left, label.right);
      const int middle = (box.top + box.bottom) / 2;
      EXPECT_TRUE(middle >= label.top && middle <= label.bottom) << middle;
      EXPECT_LE(box.right, client.right);
      EXPECT_LE(box.bottom, client.bottom);
      for (const Control& c : controls) {
        EXPECT_FALSE(Overlap(box, Placed(c.x, c.y, c.width, c.height, dpi))) << c.name;
      }
    }
  }
}

TEST(SetupLayout, PixelsScaleWithTheDpiToTheNearestPixel) {
  struct Case {
    int pixels, dpi, scaled;
  } cases[] = {{100, 96, 100}, {15, 120, 19}, {15, 144, 23}, {40, 144, 60}, {5, 192, 10}, {7, 0, 7}};
  for (const Case& c : cases) EXPECT_EQ(ScaledToDpi(c.pixels, c.dpi), c.scaled) << c.pixels << " " << c.dpi;
  EXPECT_EQ(RussianModeLabelBox(96), (PixelBox{170, 8, 270, 28}));
  EXPECT_EQ(RussianModeLabelBox(144), (PixelBox{255, 12, 405, 42}));
}

}  // namespace
}  // namespace zorvant
