#include <gtest/gtest.h>

#include <algorithm>
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

using testing::kFileName;
using testing::kHeaderLine;

class RemoveDataTest : public testing::InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    ResetArgs r;
    r.ownCall = "MYCALL";
    r.start = &start_;
    r.end = &start_;
    contest_.Reset(r, shell_);
    ASSERT_EQ(contest_.badQsoFileName, kFileName);
    shell_ = RecordingShell();
  }

  int Add(const Contact& c) { return contest_.AddData(c.Args()); }
  int Remove(const Contact& c) { return contest_.RemoveData(c.Args(), shell_); }

  static Contact At(const char* call, int day, int hour, int minute) {
    Contact c;
    c.call = call;
    c.time = OleDate::FromParts(2017, 3, day, hour, minute);
    return c;
  }

  std::vector<std::string> DirectoryEntries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator("."))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  OleDate start_ = OleDate::FromParts(2017, 3, 5, 14, 0);
  RecordingShell shell_;
  FaultyPlatform platform_;
  Contest contest_{platform_};
};

TEST_F(RemoveDataTest, DropsOneLineOfTheRemovedContact) {
  Contact removed = At("HISCALL", 5, 14, 32);
  Contact longer = At("HISCALL/P", 5, 14, 32);
  Contact otherDay = At("HISCALL", 4, 14, 32);  // same tour: both of its contacts are dupes
  Contact ownCallField = At("OTHER", 5, 14, 32);
  ownCallField.ownCall = "HISCALL";
  for (Contact* c : {&removed, &longer, &otherDay, &ownCallField}) {
    ASSERT_EQ(Add(*c), 1);
    ASSERT_EQ(Add(*c), 1);  // at least one dupe line for each
  }
  ASSERT_EQ(Add(removed), 1);  // a second dupe line of the removed contact
  Contact wrongBand = removed;
  wrongBand.band = "30m";
  ASSERT_EQ(Add(wrongBand), 0);  // same call and minute, rejected: a contact of its own

  const std::string dupe =
      "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  HISCALL  599  017   DUPE !!!\r\n";
  const std::string others =
      "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  HISCALL/P  599  017   DUPE !!!\r\n"
      "QSO:  3585  RTTY  2017-03-04 1432  MYCALL  599  001  HISCALL  599  017   DUPE !!!\r\n"
      "QSO:  3585  RTTY  2017-03-04 1432  MYCALL  599  001  HISCALL  599  017   DUPE !!!\r\n"
      "QSO:  3585  RTTY  2017-03-05 1432  HISCALL  599  001  OTHER  599  017   DUPE !!!\r\n";
  const std::string wrongBandLine =
      "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  HISCALL  599  017   WRONG BAND !!!\r\n";
  ASSERT_EQ(ReadFileBytes(kFileName), kHeaderLine + dupe + others + dupe + wrongBandLine);

  EXPECT_EQ(Remove(removed), 1);

  // The first of the three stored HISCALL records goes: the contact stored first, which wrote no line. The
  // other two were dupes of it and keep theirs.
  EXPECT_EQ(ReadFileBytes(kFileName), kHeaderLine + dupe + others + dupe + wrongBandLine);
  ASSERT_EQ(contest_.qsoLog.size(), 8u);
  EXPECT_EQ(contest_.qsoLog[0].call, "HISCALL");
  EXPECT_EQ(contest_.qsoLog[0].dupe, 1);
  EXPECT_EQ(shell_.refreshes, 1);
  EXPECT_EQ(DirectoryEntries(), (std::vector<std::string>{kFileName, "Plugins"}));

  // The rejected contact takes its own line. Each removal of the contact again takes a dupe, and so one of
  // the two equal lines; the other stands for a contact that stays.
  Remove(wrongBand);
  EXPECT_EQ(ReadFileBytes(kFileName), kHeaderLine + dupe + others + dupe);
  Remove(removed);
  EXPECT_EQ(ReadFileBytes(kFileName), kHeaderLine + others + dupe);
  Remove(removed);
  EXPECT_EQ(ReadFileBytes(kFileName), kHeaderLine + others);
}

TEST_F(RemoveDataTest, OnlyAContactThatWroteALineTakesOne) {
  // DL1ABC twice in one minute with the same texts: the second is the dupe, and its line is the only one.
  const Contact twin = At("DL1ABC", 5, 14, 32);
  ASSERT_EQ(Add(twin), 1);
  ASSERT_EQ(Add(twin), 1);
  const std::string dupeLine =
      "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  DL1ABC  599  017   DUPE !!!\r\n";
  ASSERT_EQ(ReadFileBytes(kFileName), kHeaderLine + dupeLine);

  // Neither a contact never stored (another band, whose line would read the same) nor the stored first one
  // wrote a line: the dupe that stays keeps its own.
  Contact otherBand = twin;
  otherBand.band = "40m";
  Remove(otherBand);
  Remove(twin);
  ASSERT_EQ(contest_.qsoLog.size(), 1u);
  EXPECT_EQ(contest_.qsoLog[0].dupe, 1);
  EXPECT_EQ(ReadFileBytes(kFileName), kHeaderLine + dupeLine);
  Remove(twin);
  EXPECT_TRUE(contest_.qsoLog.empty());
  EXPECT_EQ(ReadFileBytes(kFileName), kHeaderLine);
}

TEST_F(RemoveDataTest, ADupeTakesTheLineItWasAddedWith) {
  // The host finds its contact by call, band, mode and time; what else it passes may be missing or edited.
  const Contact first = At("DL1ABC", 5, 14, 30);
  const Contact dupe = At("DL1ABC", 5, 14, 32);
  ASSERT_EQ(Add(first), 1);
  const struct {
    const char* what;
    void (*change)(Contact&);
  } removals[] = {
      {"no frequency, reports or numbers",
       [](Contact& c) {
         c.freqHz = 0;
         c.rstSent = c.rstRcvd = c.exchSent = c.exchRcvd = "";
       }},
      {"edited since",
       [](Contact& c) {
         c.ownCall = "MYCALL/P";
         c.freqHz = 3590000;
         c.rstSent = "579";
         c.exchRcvd = "018";
       }},
      {"no own callsign", [](Contact& c) { c.ownCall = ""; }},
  };
  for (const auto& r : removals) {
    ASSERT_EQ(Add(dupe), 1);
    Contact removal = dupe;
    r.change(removal);
    Remove(removal);
    EXPECT_EQ(contest_.qsoLog.size(), 1u) << r.what;
    EXPECT_EQ(ReadFileBytes(kFileName), kHeaderLine) << r.what;
  }
}

TEST_F(RemoveDataTest, LinesWithOddFieldsAreMatchedByFieldNotByText) {
  // Empty fields leave four blanks between their neighbours; a null date leaves an empty date field.
  Contact noReports = At("HISCALL", 5, 14, 32);
  noReports.rstSent = "";
  noReports.rstRcvd = "";
  noReports.exchRcvd = "";
  Contact nullDate = At("HISCALL", 5, 14, 32);
  QsoArgs nullDateArgs = nullDate.Args();
  nullDateArgs.time = nullptr;
  nullDateArgs.band = "30m";
  ASSERT_EQ(Add(noReports), 0);
  ASSERT_EQ(contest_.AddData(nullDateArgs), 0);
  const std::string nullDateLine =
      "QSO:  3585  RTTY    MYCALL  599  001  HISCALL  599  017   WRONG BAND !!!\r\n";
  ASSERT_EQ(ReadFileBytes(kFileName),
            kHeaderLine +
                std::string("QSO:  3585  RTTY  2017-03-05 1432  MYCALL    001  HISCALL       NO RX "
                            "NUMBER !!!\r\n") +
                nullDateLine);

  Remove(noReports);
  EXPECT_EQ(ReadFileBytes(kFileName), kHeaderLine + nullDateLine);
  ASSERT_EQ(contest_.RemoveData(nullDateArgs, shell_), 1);
  EXPECT_EQ(ReadFileBytes(kFileName), kHeaderLine);
}

TEST_F(RemoveDataTest, ValuesWithTrailingBlanksTakeTheirOwnLine) {
  // Split at blanks, such values shift the fields; rebuilt from the arguments, the line is found as written.
  Contact sent = At("AA1", 5, 14, 40);
  sent.exchSent = "001 ";
  Contact call = At("HISCALL ", 5, 14, 41);
  Contact mode = At("BB2", 5, 14, 42);
  mode.mode = "RTTY ";  // not a contest mode: rejected
  Contact kept = At("CC3", 5, 14, 43);
  kept.band = "30m";
  for (const Contact* c : {&sent, &call, &mode, &kept}) Add(*c);
  for (const Contact* c : {&sent, &call}) ASSERT_EQ(Add(*c), 1);  // dupes, each with its line
  const std::string keptLine =
      "QSO:  3585  RTTY  2017-03-05 1443  MYCALL  599  001  CC3  599  017   WRONG BAND !!!\r\n";

  // Each stored contact twice: the first removal takes the contact stored first, the second its dupe.
  for (const Contact* c : {&sent, &sent, &call, &call, &mode}) Remove(*c);
  EXPECT_EQ(ReadFileBytes(kFileName), kHeaderLine + keptLine);
}

TEST_F(RemoveDataTest, AFileWithoutItsHeaderKeepsItsFirstLine) {
  std::filesystem::remove(kFileName);  // deleted mid-contest: the next lines start a file without header
  Contact a = At("AA1", 5, 14, 40);
  Contact b = At("BB2", 5, 14, 41);
  a.band = b.band = "30m";
  ASSERT_EQ(Add(a), 0);
  ASSERT_EQ(Add(b), 0);
  const Contact unrelated = At("CC3", 5, 14, 42);
  ASSERT_EQ(Add(unrelated), 1);

  Remove(unrelated);
  EXPECT_EQ(ReadFileBytes(kFileName),
            std::string(kHeaderLine) +
                "QSO:  3585  RTTY  2017-03-05 1440  MYCALL  599  001  AA1  599  017   WRONG BAND !!!\r\n"
                "QSO:  3585  RTTY  2017-03-05 1441  MYCALL  599  001  BB2  599  017   WRONG BAND !!!\r\n");
}

TEST_F(RemoveDataTest, IndexStaysInStepWithTheLog) {
  const Contact a = At("HISCALL", 5, 14, 32);
  ASSERT_EQ(Add(a), 1);
  Remove(a);
  ASSERT_EQ(Add(a), 1);
  EXPECT_EQ(contest_.qsoLog[0].dupe, 0) << "a removed contact must not make a later one a dupe";

  const Contact second = At("HISCALL", 5, 14, 40);
  ASSERT_EQ(Add(second), 1);
  Remove(a);
  ASSERT_EQ(contest_.qsoLog.size(), 1u);
  EXPECT_TRUE(SameTime(contest_.qsoLog[0].time, second.time));
  EXPECT_EQ(contest_.qsoLog[0].dupe, 1) << "a stored record keeps its flags";
  ASSERT_EQ(Add(At("HISCALL", 5, 14, 50)), 1);
  EXPECT_EQ(contest_.qsoLog[1].dupe, 1) << "the remaining record still counts";
  EXPECT_EQ(ReadFileBytes(kFileName),
            std::string(kHeaderLine) +
                "QSO:  3585  RTTY  2017-03-05 1440  MYCALL  599  001  HISCALL  599  017   DUPE !!!\r\n"
                "QSO:  3585  RTTY  2017-03-05 1450  MYCALL  599  001  HISCALL  599  017   DUPE !!!\r\n");
}

TEST_F(RemoveDataTest, RemovesOnlyAnExactMatch) {
  Contact stored = At("HISCALL", 5, 14, 32);
  ASSERT_EQ(Add(stored), 1);
  Contact misses[] = {stored, stored, stored, stored, stored, stored};
  misses[0].call = "hiscall";
  misses[1].band = "80M";
  misses[2].mode = "rtty";
  misses[3].time = OleDate::FromParts(2017, 3, 5, 14, 33);
  misses[4].time = OleDate::Null();
  misses[5].time.status = OleDate::kInvalid;
  for (const Contact& c : misses) {
    EXPECT_EQ(Remove(c), 1);
    EXPECT_EQ(contest_.qsoLog.size(), 1u) << c.call << " " << c.band << " " << c.mode;
  }

  // Null times match each other; invalid ones match nothing, not even themselves.
  Contact nullTime = stored;
  nullTime.time = OleDate::Null();
  Contact invalidTime = stored;
  invalidTime.time.status = OleDate::kInvalid;
  ASSERT_EQ(Add(nullTime), 1);
  ASSERT_EQ(Add(invalidTime), 1);
  Remove(invalidTime);
  EXPECT_EQ(contest_.qsoLog.size(), 3u);
  QsoArgs nullPointer = nullTime.Args();
  nullPointer.time = nullptr;
  contest_.RemoveData(nullPointer, shell_);
  ASSERT_EQ(contest_.qsoLog.size(), 2u);
  EXPECT_EQ(contest_.qsoLog[1].time.status, OleDate::kInvalid);
  EXPECT_EQ(shell_.refreshes, 8);
}

TEST_F(RemoveDataTest, PrefixListsAreEmptiedOnlyWithTheLog) {
  const Contact a = At("ONE", 5, 14, 32);
  const Contact b = At("TWO", 5, 14, 33);
  ASSERT_EQ(Add(a), 1);
  ASSERT_EQ(Add(b), 1);
  for (std::size_t i = 0; i < contest_.tourPrefixes.size(); ++i)
    contest_.tourPrefixes[i] = {"P" + std::to_string(i)};

  Remove(a);
  for (const auto& list : contest_.tourPrefixes) EXPECT_EQ(list.size(), 1u);
  Remove(a);  // no longer there: the log keeps one record
  for (const auto& list : contest_.tourPrefixes) EXPECT_EQ(list.size(), 1u);
  Remove(b);
  for (const auto& list : contest_.tourPrefixes) EXPECT_TRUE(list.empty());
  EXPECT_EQ(shell_.refreshes, 3);
}

TEST_F(RemoveDataTest, UnreadableFileIsLeftAlone) {
  const Contact a = At("HISCALL", 5, 14, 32);
  ASSERT_EQ(Add(a), 1);
  ASSERT_EQ(Add(a), 1);
  const std::string before = ReadFileBytes(kFileName);
  platform_.FailOpen(kFileName, FaultyPlatform::kRead);

  EXPECT_EQ(Remove(a), 1);
  EXPECT_EQ(ReadFileBytes(kFileName), before);
  EXPECT_EQ(contest_.qsoLog.size(), 1u);
  EXPECT_EQ(shell_.refreshes, 1);
  EXPECT_EQ(DirectoryEntries(), (std::vector<std::string>{kFileName, "Plugins"}));
}

TEST_F(RemoveDataTest, MissingFileIsCreatedWithTheHeader) {
  const Contact a = At("HISCALL", 5, 14, 32);
  ASSERT_EQ(Add(a), 1);
  std::filesystem::remove(kFileName);
  EXPECT_EQ(Remove(a), 1);
  EXPECT_EQ(ReadFileBytes(kFileName), kHeaderLine);
  EXPECT_TRUE(contest_.qsoLog.empty());
}

TEST_F(RemoveDataTest, FailedRewriteKeepsTheOldFile) {
  const Contact a = At("HISCALL", 5, 14, 32);
  ASSERT_EQ(Add(At("HISCALL", 5, 14, 30)), 1);
  ASSERT_EQ(Add(a), 1);  // a dupe, whose line the removal takes
  const std::string before = ReadFileBytes(kFileName);
  platform_.BreakWrites();

  EXPECT_EQ(Remove(a), 1);
  EXPECT_EQ(ReadFileBytes(kFileName), before);
  EXPECT_EQ(DirectoryEntries(), (std::vector<std::string>{kFileName, "Plugins"})) << "no temporary left";
  EXPECT_EQ(contest_.qsoLog.size(), 1u);
}

TEST_F(RemoveDataTest, RefusedSwapFallsBackToRewritingInPlace) {
  const Contact a = At("HISCALL", 5, 14, 32);
  const Contact b = At("OTHER", 5, 14, 32);
  for (const Contact* c : {&a, &a, &b, &b}) ASSERT_EQ(Add(*c), 1);
  platform_.FailReplace();

  EXPECT_EQ(Remove(a), 1);  // the contact stored first, with no line
  EXPECT_EQ(Remove(a), 1);  // its dupe and the dupe's line
  EXPECT_EQ(ReadFileBytes(kFileName),
            std::string(kHeaderLine) +
                "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  OTHER  599  017   DUPE !!!\r\n");
  EXPECT_EQ(DirectoryEntries(), (std::vector<std::string>{kFileName, "Plugins"}));
}

TEST_F(RemoveDataTest, ForeignLinesAndLineEndsSurvive) {
  ASSERT_EQ(Add(At("HISCALL", 5, 14, 30)), 1);
  ASSERT_EQ(Add(At("HISCALL", 5, 14, 32)), 1);  // a dupe, whose line the removal takes
  // Lines the engine did not write, a LF-only line end and a last line without one are kept as lines.
  WriteFileBytes(kFileName,
                 std::string(kHeaderLine) +
                     "operator note\n"
                     "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  HISCALL  599  017   DUPE "
                     "!!!\r\n"
                     "\r\n"
                     "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  OTHER  599  017");
  Remove(At("HISCALL", 5, 14, 32));
  EXPECT_EQ(ReadFileBytes(kFileName),
            std::string(kHeaderLine) + "operator note\r\n\r\n" +
                "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  OTHER  599  017\r\n");
}

TEST_F(RemoveDataTest, AByteOrderMarkIsNoPartOfTheFirstLine) {
  // Notepad saves the file so, here also with its line ends cut to LF.
  const Contact first = At("DL1ABC", 5, 14, 30);
  const Contact dupe = At("DL1ABC", 5, 14, 32);
  ASSERT_EQ(Add(first), 1);
  const std::string bom = "\xEF\xBB\xBF";
  const std::string line =
      "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  DL1ABC  599  017   DUPE !!!\n";
  const std::string header = std::string(kBadQsoHeader) + "\n";
  for (const std::string& file : {bom + header + line, bom + line}) {
    ASSERT_EQ(Add(dupe), 1);
    WriteFileBytes(kFileName, file);
    Remove(dupe);
    EXPECT_EQ(ReadFileBytes(kFileName), kHeaderLine) << file;
  }
}

class RemoveDataBeforeResetTest : public testing::InTempDir {};

TEST_F(RemoveDataBeforeResetTest, TouchesNoFile) {
  FaultyPlatform platform;
  Contest contest(platform);
  RecordingShell shell;
  const Contact a;
  ASSERT_EQ(contest.AddData(a.Args()), 1);
  EXPECT_EQ(contest.RemoveData(a.Args(), shell), 1);
  EXPECT_TRUE(contest.qsoLog.empty());
  EXPECT_TRUE(platform.opens().empty());
  EXPECT_FALSE(FileExistsAt("BadQSO_StatsZORVANT_.txt"));
  EXPECT_EQ(shell.refreshes, 1);
}

}  // namespace
}  // namespace zorvant
