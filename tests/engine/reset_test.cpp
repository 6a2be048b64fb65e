#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/contest.h"
#include "tests/support/test_support.h"

namespace zorvant {
namespace {

using testing::Contact;
using testing::FaultyPlatform;
using testing::FileExistsAt;
using testing::ReadFileBytes;
using testing::RecordingShell;
using testing::WriteFileBytes;

using testing::kHeaderLine;

class ResetTest : public testing::InTempDir {
 protected:
  ResetTest() {
    args_.ownCall = "MYCALL";
    args_.start = &start_;
    args_.end = &end_;
  }

  int Reset() { return contest_.Reset(args_, shell_); }
  std::string Toggle() {
    return platform_.ProfileString(kSettingsFile, kSettingsSection, "Start", "(missing)");
  }

  OleDate start_ = OleDate::FromParts(2017, 3, 5, 14, 0);
  OleDate end_ = OleDate::FromParts(2017, 3, 6, 14, 0);
  ResetArgs args_;
  RecordingShell shell_;
  FaultyPlatform platform_;
  Contest contest_{platform_};
};

TEST_F(ResetTest, StartsTheContestAfresh) {
  contest_.startHour = 3;
  ASSERT_EQ(Reset(), 1);
  Contact c;
  ASSERT_EQ(contest_.AddData(c.Args()), 1);
  ASSERT_EQ(contest_.AddData(c.Args()), 1);
  c.band = "15M";
  ASSERT_EQ(contest_.AddData(c.Args()), 1);
  contest_.tourPrefixes[4] = {"HI1"};
  contest_.currentTour = 1;
  contest_.bandRows[1][2] = "HISCALL";

  args_.ownCall = "OWN2";
  args_.exportFlag = 0;
  ASSERT_EQ(Reset(), 1);

  EXPECT_EQ(contest_.startHour, 14);
  EXPECT_EQ(contest_.startYear, "2017");
  EXPECT_EQ(contest_.startDate, "05.03.2017");
  EXPECT_EQ(contest_.myCall, "OWN2");
  EXPECT_EQ(contest_.exportRun, 0);
  EXPECT_EQ(contest_.badQsoFileName, "BadQSO_StatsZORVANT_05_03_2017.txt");
  EXPECT_EQ(ReadFileBytes("BadQSO_StatsZORVANT_05_03_2017.txt"), kHeaderLine) << "the dupe line is gone";
  EXPECT_TRUE(contest_.qsoLog.empty());
  EXPECT_TRUE(contest_.bandsWorked.empty());
  const char* bands[] = {"160m", "80m", "40m", "20m", "15m", "10m"};
  for (std::size_t i = 0; i < contest_.bandRows.size(); ++i) {
    EXPECT_EQ(contest_.bandRows[i], (std::vector<std::string>{bands[i], "-", "-", "-", "-"}));
  }
  // Left for the report and the Setup window to change.
  EXPECT_EQ(contest_.tourPrefixes[4], std::vector<std::string>{"HI1"});
  EXPECT_EQ(contest_.currentTour, 1);

  // The index went with the records: the same contact is new again.
  c.band = "80m";
  ASSERT_EQ(contest_.AddData(c.Args()), 1);
  EXPECT_EQ(contest_.qsoLog[0].dupe, 0);
}

TEST_F(ResetTest, InvalidAndNullStarts) {
  struct Case {
    const char* what;
    OleDate start;
    bool nullPointer;
    const char* text;
  };
  const Case cases[] = {
      {"invalid", OleDate{42799.5, OleDate::kInvalid}, false, "Invalid DateTime"},
      {"out of range", OleDate{1e9, OleDate::kValid}, false, "Invalid DateTime"},
      {"null", OleDate::Null(), false, ""},
      {"null pointer", OleDate{}, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    start_ = c.start;
    args_.start = c.nullPointer ? nullptr : &start_;
    ASSERT_EQ(Reset(), 1);
    EXPECT_EQ(contest_.startHour, -1);
    EXPECT_EQ(contest_.startYear, c.text);
    EXPECT_EQ(contest_.startDate, c.text);
    const std::string name = std::string("BadQSO_StatsZORVANT_") + c.text + ".txt";
    EXPECT_EQ(contest_.badQsoFileName, name);
    EXPECT_EQ(ReadFileBytes(name), kHeaderLine);
    // With the start hour at -1 every hour from 1 on is the second tour.
    Contact late;
    late.time = OleDate::FromParts(2017, 3, 5, 1, 0);
    ASSERT_EQ(contest_.AddData(late.Args()), 1);
    EXPECT_EQ(contest_.qsoLog[0].tour, 1);
  }
}

TEST_F(ResetTest, UncreatableFileStillResets) {
  platform_.FailOpen("BadQSO_StatsZORVANT_05_03_2017.txt", FaultyPlatform::kWrite);
  contest_.myCall = "OLD";
  EXPECT_EQ(Reset(), 1);
  EXPECT_EQ(contest_.myCall, "MYCALL");
  EXPECT_FALSE(FileExistsAt("BadQSO_StatsZORVANT_05_03_2017.txt"));
}

TEST_F(ResetTest, HomeAreaIsAnExactPrefixAndNeverCleared) {
  struct Case {
    const char* prefix;
    int homeArea;
  };
  const Case cases[] = {{"DL", 0},   {nullptr, 0}, {"", 0},    {"ua9", 0}, {"UA9 ", 0},
                        {"UA90", 0}, {"U", 0},     {"UA9", 1}, {"DL", 1},  {nullptr, 1}};
  for (const Case& c : cases) {
    args_.ownCountryPrefix = c.prefix;
    Reset();
    EXPECT_EQ(contest_.homeArea, c.homeArea) << (c.prefix ? c.prefix : "(null)");
  }
  for (const char* prefix : {"UA", "UA2", "UA9", "CE9/KC4", "UR", "UN", "EU"}) {
    Contest fresh(platform_);
    args_.ownCountryPrefix = prefix;
    fresh.Reset(args_, shell_);
    EXPECT_EQ(fresh.homeArea, 1) << prefix;
  }
}

// The start toggle lives in the plug-in's settings file: these need the real ini reader and writer.
TEST_F(ResetTest, StartToggleOpensTheSetupWindowEverySecondReset) {
  Reset();  // toggle missing: reads as 0
  EXPECT_EQ(shell_.setupStarts, 1);
  EXPECT_EQ(Toggle(), "1");

  Reset();  // toggle 1, window open
  EXPECT_EQ(shell_.setupStarts, 1);
  EXPECT_EQ(Toggle(), "0");

  Reset();  // toggle 0 but the window is open: nothing changes
  EXPECT_EQ(shell_.setupStarts, 1);
  EXPECT_EQ(Toggle(), "0");

  shell_.windowOpen = false;
  Reset();
  EXPECT_EQ(shell_.setupStarts, 2);
  EXPECT_EQ(Toggle(), "1");

  shell_.windowOpen = false;
  Reset();  // toggle 1 wins even with no window open
  EXPECT_EQ(shell_.setupStarts, 2);
  EXPECT_EQ(Toggle(), "0");
  EXPECT_TRUE(shell_.headerDialogs.empty());
}

TEST_F(ResetTest, StartToggleReadsLikeAnInteger) {
  struct Case {
    const char* stored;
    int starts;
    const char* after;
  };
  const Case cases[] = {{"1", 0, "0"},  {"  7x", 0, "0"}, {"-1", 0, "0"}, {"0", 1, "1"},
                        {"x1", 1, "1"}, {"", 1, "1"},     {"+0", 1, "1"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(platform_.WriteProfileString(kSettingsFile, kSettingsSection, "Start", c.stored));
    shell_ = RecordingShell();
    Reset();
    EXPECT_EQ(shell_.setupStarts, c.starts) << '"' << c.stored << '"';
    EXPECT_EQ(Toggle(), c.after) << '"' << c.stored << '"';
  }
}

TEST_F(ResetTest, ExportPassEditsTheHeaderAndNeverOpensTheWindow) {
  for (const char* toggle : {"0", "1"}) {
    ASSERT_TRUE(platform_.WriteProfileString(kSettingsFile, kSettingsSection, "Start", toggle));
    shell_ = RecordingShell();
    shell_.editHeader = [](CabrilloFields& f) { f.callsign = "EDITED"; };
    args_.exportFlag = 7;
    Reset();
    ASSERT_EQ(shell_.headerDialogs.size(), 1u);
    EXPECT_EQ(shell_.headerDialogs[0].callsign, "MYCALL");
    EXPECT_EQ(contest_.cabrillo.callsign, "EDITED");
    EXPECT_EQ(contest_.cabrillo.fileBase, "MYCALL");
    EXPECT_EQ(shell_.setupStarts, 0);
    EXPECT_EQ(Toggle(), "0");
    EXPECT_EQ(contest_.exportRun, 7);
  }
}

TEST_F(ResetTest, UnwritableSettingsOpenTheWindowWheneverNoneIsOpen) {
  std::filesystem::remove("Plugins");
  for (int i = 0; i < 2; ++i) {
    shell_.windowOpen = false;
    Reset();
  }
  EXPECT_EQ(shell_.setupStarts, 2);
  args_.exportFlag = 1;
  shell_.windowOpen = false;
  Reset();
  EXPECT_EQ(shell_.setupStarts, 3);
}

TEST_F(ResetTest, HostIdComesFromTheCurrentFoldersHostIni) {
  std::filesystem::create_directory("hostdir");
  struct Case {
    const char* what;
    std::vector<std::string> folderFiles;  // in hostdir
    const char* currentIni;                // this folder's Tarq2.ini; null: none
    const char* hostId;                    // "(before)": left as it was
  };
  const Case cases[] = {
      {"found", {"Tarq2.ini"}, "[Main]\r\nName=x\r\nTarq=2.1.0 beta\r\nTarq=9\r\n", "2.1.0 beta"},
      {"first line with the key, wherever it stands", {"Tarq2.ini"}, "xxTarq=5\nTarq=6\n", "q=5"},
      {"last line without a line end", {"Tarq2.ini"}, "a=b\r\nTarq=7", "7"},
      {"name only contains the host ini's", {"OldTarq2.ini"}, "Tarq=8\r\n", "8"},
      {"no line with the key", {"Tarq2.ini"}, "[Main]\r\ntarq=1\r\n", "(before)"},
      {"host ini not in the current folder", {"Tarq2.ini"}, nullptr, "(before)"},
      {"other ini files only", {"other.ini", "Tarq2.txt"}, "Tarq=1\r\n", "Tarq"},
      {"name differs in case", {"tarq2.ini"}, "Tarq=1\r\n", "Tarq"},
      {"empty folder", {}, "Tarq=1\r\n", "Tarq"},
  };
  args_.iniFolder = "hostdir\\";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& e : std::filesystem::directory_iterator("hostdir")) std::filesystem::remove(e.path());
    // The folder's own host ini is never read: only the search finds it.
    for (const std::string& name : c.folderFiles)
      WriteFileBytes("hostdir/" + name, "Tarq=from the folder\r\n");
    std::filesystem::remove("Tarq2.ini");
    if (c.currentIni) WriteFileBytes("Tarq2.ini", c.currentIni);
    contest_.hostId = "(before)";
    Reset();
    EXPECT_EQ(contest_.hostId, c.hostId);
  }
}

TEST_F(ResetTest, HostIniSearchUsesTheArgumentAsAPrefix) {
  WriteFileBytes("Tarq2.ini", "Tarq=here\r\n");
  args_.iniFolder = nullptr;  // "*.ini" in the current folder
  Reset();
  EXPECT_EQ(contest_.hostId, "here");

  args_.iniFolder = "Tar";  // "Tar*.ini"
  contest_.hostId.clear();
  Reset();
  EXPECT_EQ(contest_.hostId, "here");

  args_.iniFolder = "Other";
  Reset();
  EXPECT_EQ(contest_.hostId, "Tarq");
}

}  // namespace
}  // namespace zorvant
