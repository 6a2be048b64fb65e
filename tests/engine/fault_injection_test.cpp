// Every file the plug-in rewrites, under every fault the platform can throw at it: a write that fails
// part-way, a file that cannot be opened, a swap that is refused, and a Plugins folder that is not there. A
// write that fails leaves the earlier file whole, and the operator hears of it where anything is reported at
// all: in the "Output" box of the export, the report's "Claimed" included. The bad-QSO file fails quietly. A
// refused swap is no failure where the file can be rewritten in place instead.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cabrillo/writer.h"
#include "engine/contest.h"
#include "report/report.h"
#include "tests/support/test_support.h"

namespace zorvant {
namespace {

using testing::Contact;
using testing::FaultyPlatform;
using testing::FileExistsAt;
using testing::ReadFileBytes;
using testing::RecordingShell;

namespace fs = std::filesystem;

enum class File { kBadQso, kCabrillo, kSettings };
enum class Fault { kWriteFailsHalfWay, kCannotOpen, kSwapRefused };

std::ostream& operator<<(std::ostream& out, File f) {
  const char* const names[] = {"BadQso", "Cabrillo", "Settings"};
  return out << names[static_cast<int>(f)];
}

std::ostream& operator<<(std::ostream& out, Fault f) {
  const char* const names[] = {"WriteFailsHalfWay", "CannotOpen", "SwapRefused"};
  return out << names[static_cast<int>(f)];
}

const char kCabrilloName[] = "UA3XYZ.cbr";
const char kCabrilloDone[] = "File produced: UA3XYZ.cbr";
const char kCabrilloFailed[] = "Could not write file: UA3XYZ.cbr";

Contact On80m(const char* call, const char* prefix, int minute) {
  Contact c;
  c.ownCall = "UA3XYZ";
  c.call = call;
  c.prefix = prefix;
  c.time = OleDate::FromParts(2017, 3, 5, 14, minute);
  return c;
}

// A contest on an export pass with all three files written once: a stored contact, its dupe and a contact on
// a band outside the contest.
class ContestFiles : public testing::InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    platform_.SetUtcHour(14);
    shell_.windowOpen = true;
    ResetArgs r;
    r.ownCall = "UA3XYZ";
    r.start = &start_;
    r.exportFlag = 1;
    ASSERT_EQ(contest_.Reset(r, shell_), 1);
    wrongBand_.band = "30m";
    for (const Contact* c : {&stored_, &stored_, &wrongBand_}) contest_.AddData(c->Args());
    ASSERT_EQ(MakeReport(contest_).exportMessage, kCabrilloDone);
    for (const File f : {File::kBadQso, File::kCabrillo, File::kSettings}) {
      earlier_.push_back(ReadFileBytes(Path(f)));
      ASSERT_FALSE(earlier_.back().empty());
    }
  }

  std::string Path(File f) {
    switch (f) {
      case File::kBadQso: return contest_.badQsoFileName;
      case File::kCabrillo: return kCabrilloName;
      case File::kSettings: return platform_.FullPath(kSettingsFile);
    }
    return "";
  }
  const std::string& Earlier(File f) const { return earlier_[static_cast<std::size_t>(f)]; }

  // What the host does next: deletes the contact and its dupe, logs two new contacts and asks for the report,
  // so that every file is rewritten with new content.
  ReportOutcome Continue() {
    for (int twice = 0; twice < 2; ++twice) contest_.RemoveData(stored_.Args(), shell_);
    for (const Contact& c : {On80m("AA2", "P2", 40), On80m("AA3", "P3", 41)}) contest_.AddData(c.Args());
    return MakeReport(contest_);
  }

  std::vector<std::string> LeftoverTemporaries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(".")) {
      if (e.path().extension() == ".tmp") names.push_back(e.path().string());
    }
    return names;
  }

  OleDate start_ = OleDate::FromParts(2017, 3, 5, 14, 0);
  FaultyPlatform platform_;
  RecordingShell shell_;
  Contest contest_{platform_};
  Contact stored_ = On80m("AA1", "P1", 30);
  Contact wrongBand_ = On80m("BB1", "B1", 31);
  std::vector<std::string> earlier_;
};

class FaultInjectionTest : public ContestFiles,
                           public ::testing::WithParamInterface<std::tuple<File, Fault>> {};

TEST_P(FaultInjectionTest, TheEarlierFileStaysWhole) {
  const auto [file, fault] = GetParam();
  const std::string path = Path(file);
  switch (fault) {
    case Fault::kWriteFailsHalfWay: platform_.FailWritesAfter(Earlier(file).size() / 2, path); break;
    case Fault::kCannotOpen:
      platform_.FailOpen(path, FaultyPlatform::kWrite);
      platform_.FailTemporariesOf(path);
      break;
    case Fault::kSwapRefused: platform_.FailReplace(path); break;
  }

  const ReportOutcome outcome = Continue();

  // The engine carried on: the AA1 records are gone from the log, the new contacts are in, the score is
  // reported.
  ASSERT_EQ(contest_.qsoLog.size(), 2u);
  EXPECT_EQ(contest_.claimedScore, 2 * 2 * 2);
  EXPECT_NE(contest_.reportText.find("Score = 4 * 2  = 8"), std::string::npos) << contest_.reportText;
  EXPECT_EQ(LeftoverTemporaries(), std::vector<std::string>{});

  // A refused swap is no failure: the file is rewritten in place instead.
  const bool written = fault == Fault::kSwapRefused;
  const std::string now = ReadFileBytes(path);
  if (written) {
    EXPECT_NE(now, Earlier(file));
  } else {
    EXPECT_EQ(now, Earlier(file));
  }
  std::string message = file == File::kCabrillo && !written ? kCabrilloFailed : kCabrilloDone;
  if (file == File::kSettings && !written) message += "\nCould not write file: Plugins\\ZORVANT.ini";
  EXPECT_EQ(outcome.exportMessage, message);

  // Every file the fault spared, or that was rewritten in place, holds its new content.
  const std::string badQso = ReadFileBytes(Path(File::kBadQso));
  if (file != File::kBadQso || written) {
    EXPECT_EQ(badQso,
              std::string(kBadQsoHeader) + "\r\n" + BadQsoLine(wrongBand_.Args(), kWrongBand) + "\r\n");
  }
  if (file != File::kCabrillo || written) {
    EXPECT_EQ(ReadFileBytes(kCabrilloName), CabrilloFileText(contest_.cabrillo, 8, contest_.hostId));
  }
  if (file != File::kSettings || written) {
    EXPECT_NE(ReadFileBytes(Path(File::kSettings)).find("Claimed=8\r\n"), std::string::npos);
  }
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<File, Fault>>& info) {
  std::ostringstream name;
  name << std::get<0>(info.param) << "_" << std::get<1>(info.param);
  return name.str();
}

INSTANTIATE_TEST_SUITE_P(
    EveryFileEveryFault, FaultInjectionTest,
    ::testing::Combine(::testing::Values(File::kBadQso, File::kCabrillo, File::kSettings),
                       ::testing::Values(Fault::kWriteFailsHalfWay, Fault::kCannotOpen, Fault::kSwapRefused)),
    CaseName);

class MissingPluginsFolderTest : public testing::InTempDir {};

TEST_F(MissingPluginsFolderTest, SettingsAreLostQuietlyAndTheLogsAreWritten) {
  fs::remove("Plugins");
  FaultyPlatform platform;
  platform.SetUtcHour(14);
  Contest contest(platform);
  RecordingShell shell;
  const OleDate start = OleDate::FromParts(2017, 3, 5, 14, 0);
  ResetArgs r;
  r.ownCall = "UA3XYZ";
  r.start = &start;
  r.exportFlag = 1;
  for (int reset = 0; reset < 2; ++reset) {
    shell.windowOpen = false;
    ASSERT_EQ(contest.Reset(r, shell), 1);
  }
  // The start toggle cannot be kept, so it reads 0 every time: each reset opens the Setup window.
  EXPECT_EQ(shell.setupStarts, 2);
  EXPECT_EQ(shell.headerDialogs.size(), 2u);
  Contact a = On80m("AA1", "P1", 30);
  Contact wrongBand = On80m("BB1", "B1", 31);
  wrongBand.band = "30m";
  for (const Contact* c : {&a, &a, &wrongBand}) contest.AddData(c->Args());
  for (int twice = 0; twice < 2; ++twice) contest.RemoveData(a.Args(), shell);  // the contact and its dupe

  const ReportOutcome outcome = MakeReport(contest);
  EXPECT_EQ(outcome.exportMessage, kCabrilloDone);
  EXPECT_EQ(ReadFileBytes(kCabrilloName), CabrilloFileText(contest.cabrillo, 0, contest.hostId));
  EXPECT_EQ(ReadFileBytes(contest.badQsoFileName),
            std::string(kBadQsoHeader) + "\r\n" + BadQsoLine(wrongBand.Args(), kWrongBand) + "\r\n");
  EXPECT_FALSE(FileExistsAt("Plugins"));
}

}  // namespace
}  // namespace zorvant
