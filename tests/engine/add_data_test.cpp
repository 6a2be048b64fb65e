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
using testing::ReadFileBytes;

using testing::kFileName;
using testing::kHeaderLine;

class AddDataTest : public testing::InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    ResetArgs r;
    r.ownCall = "MYCALL";
    r.start = &start_;
    r.end = &start_;
    contest_.Reset(r, shell_);
    ASSERT_EQ(contest_.badQsoFileName, kFileName);
    ASSERT_EQ(ReadFileBytes(kFileName), kHeaderLine);
  }

  // The bad-QSO lines written since the reset.
  std::string Lines() const { return ReadFileBytes(kFileName).substr(sizeof kHeaderLine - 1); }

  OleDate start_ = OleDate::FromParts(2017, 3, 5, 14, 0);
  NoWindows shell_;
  FaultyPlatform platform_;
  Contest contest_{platform_};
};

struct Rejection {
  const char* what;
  Contact contact;
  const char* line;
  std::vector<std::string> bandsWorked;
};

Contact With(void (*change)(Contact&)) {
  Contact c;
  change(c);
  return c;
}

TEST_F(AddDataTest, RejectionsWriteTheirLineAndStoreNothing) {
  const Rejection cases[] = {
      {"band outside the table",
       With([](Contact& c) { c.band = "30m"; }),
       "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  HISCALL  599  017   WRONG BAND !!!\r\n",
       {}},
      {"mode outside the table",
       With([](Contact& c) {
         c.band = "40m";
         c.mode = "PSK31";
       }),
       "QSO:  3585  PSK31  2017-03-05 1432  MYCALL  599  001  HISCALL  599  017   WRONG MODE !!!\r\n",
       {"40m"}},
      {"no exchange sent",
       With([](Contact& c) { c.exchSent = ""; }),
       "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599    HISCALL  599  017   NO RX NUMBER !!!\r\n",
       {"80m"}},
      {"no exchange received",
       With([](Contact& c) {
         c.exchRcvd = "";
         c.freqHz = 7035999;
       }),
       "QSO:  7035  RTTY  2017-03-05 1432  MYCALL  599  001  HISCALL  599     NO RX NUMBER !!!\r\n",
       {"80m"}},
      {"empty band",
       With([](Contact& c) {
         c.band = "";
         c.exchSent = "";
         c.mode = "x";
       }),
       "QSO:  3585  x  2017-03-05 1432  MYCALL  599    HISCALL  599  017   WRONG BAND !!!\r\n",
       {}},
  };
  for (const Rejection& c : cases) {
    SCOPED_TRACE(c.what);
    contest_.Reset(ResetArgs{nullptr, 0, "MYCALL", &start_, &start_, nullptr}, shell_);
    EXPECT_EQ(contest_.AddData(c.contact.Args()), 0);
    EXPECT_EQ(Lines(), c.line);
    EXPECT_EQ(contest_.bandsWorked, c.bandsWorked);
    EXPECT_TRUE(contest_.qsoLog.empty());
  }
}

TEST_F(AddDataTest, NullArgumentsReadAsEmpty) {
  EXPECT_EQ(contest_.AddData(QsoArgs{}), 0);
  // Every field empty, the null date too: only the field gaps are left.
  EXPECT_EQ(Lines(), "QSO:  0" + std::string(16, ' ') + "   WRONG BAND !!!\r\n");

  QsoArgs q;
  q.band = "80m";
  q.mode = "RTTY";
  q.exchSent = "1";
  q.exchRcvd = "2";
  ASSERT_EQ(contest_.AddData(q), 1);
  ASSERT_EQ(contest_.AddData(q), 1);
  EXPECT_EQ(Lines(), "QSO:  0" + std::string(16, ' ') + "   WRONG BAND !!!\r\n" +
                         "QSO:  0  RTTY        1      2   DUPE !!!\r\n");
  const CInfo& r = contest_.qsoLog[0];
  EXPECT_EQ(r.call, "");
  EXPECT_EQ(r.prefix, "");
  EXPECT_EQ(r.time.status, OleDate::kNull);
  EXPECT_EQ(r.tour, 0);
}

TEST_F(AddDataTest, StoresAnAcceptedContactWithoutTouchingTheFile) {
  Contact c;
  c.freqHz = 3585999;  // kHz are truncated, not rounded
  ASSERT_EQ(contest_.AddData(c.Args()), 1);

  ASSERT_EQ(contest_.qsoLog.size(), 1u);
  const CInfo& r = contest_.qsoLog[0];
  EXPECT_EQ(r.call, "HISCALL");
  EXPECT_EQ(r.countryPrefix, "HI");
  EXPECT_EQ(r.hostText, "host text");
  EXPECT_EQ(r.band, "80m");
  EXPECT_EQ(r.mode, "RTTY");
  EXPECT_EQ(r.rstRcvd, "599");
  EXPECT_EQ(r.rstSent, "599");
  EXPECT_EQ(r.exchRcvd, "017");
  EXPECT_EQ(r.exchSent, "001");
  EXPECT_EQ(r.prefix, "HI1");
  EXPECT_EQ(r.spare, "");
  EXPECT_EQ(r.freqKHz, 3585u);
  EXPECT_EQ(r.tour, 0);
  EXPECT_EQ(r.excluded, 0);
  EXPECT_EQ(r.rejected, 0);
  EXPECT_EQ(r.dupe, 0);
  EXPECT_TRUE(SameTime(r.time, c.time));
  EXPECT_EQ(contest_.bandsWorked, std::vector<std::string>{"80m"});
  EXPECT_EQ(platform_.OpensOf(kFileName), 1) << "only the reset opened it";
  EXPECT_EQ(Lines(), "");
}

TEST_F(AddDataTest, DupesAreStoredFlaggedAndWrittenEachTime) {
  Contact first;
  Contact second = first;
  second.time =
      OleDate::FromParts(2017, 3, 5, 15, 59);  // same tour; time, frequency and numbers play no part
  second.freqHz = 3590999;
  second.exchRcvd = "099";
  Contact third = first;
  ASSERT_EQ(contest_.AddData(first.Args()), 1);
  ASSERT_EQ(contest_.AddData(second.Args()), 1);
  ASSERT_EQ(contest_.AddData(third.Args()), 1);

  ASSERT_EQ(contest_.qsoLog.size(), 3u);
  const int flags[][3] = {{0, 0, 0}, {1, 1, 0}, {1, 1, 0}};  // excluded, dupe, rejected
  for (std::size_t i = 0; i < 3; ++i) {
    const CInfo& r = contest_.qsoLog[i];
    EXPECT_EQ(r.excluded, flags[i][0]) << i;
    EXPECT_EQ(r.dupe, flags[i][1]) << i;
    EXPECT_EQ(r.rejected, flags[i][2]) << i;
  }
  EXPECT_EQ(Lines(),
            "QSO:  3590  RTTY  2017-03-05 1559  MYCALL  599  001  HISCALL  599  099   DUPE !!!\r\n"
            "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  HISCALL  599  017   DUPE !!!\r\n");
}

TEST_F(AddDataTest, DupeNeedsTheSameCallBandModeAndTourByteForByte) {
  Contact base;
  base.time = OleDate::FromParts(2017, 3, 5, 15, 0);
  ASSERT_EQ(contest_.AddData(base.Args()), 1);
  const Contact others[] = {
      With([](Contact& c) { c.time = OleDate::FromParts(2017, 3, 5, 16, 0); }),  // second tour
      With([](Contact& c) { c.band = "80M"; }),
      With([](Contact& c) { c.mode = "rtty"; }),
      With([](Contact& c) { c.call = "hiscall"; }),
      With([](Contact& c) { c.call = "HISCALL/P"; }),
      With([](Contact& c) { c.mode = "BPSK63"; }),
      With([](Contact& c) { c.band = "40m"; }),
  };
  for (const Contact& c : others) ASSERT_EQ(contest_.AddData(c.Args()), 1);
  for (const CInfo& r : contest_.qsoLog.records()) {
    EXPECT_EQ(r.dupe, 0) << r.call << " " << r.band << " " << r.mode << " tour " << r.tour;
    EXPECT_EQ(r.excluded, 0);
  }
  EXPECT_EQ(contest_.qsoLog[1].tour, 1);
  EXPECT_EQ(Lines(), "");
  // Both spellings of the band passed the table; the list keeps them apart, in order of first use.
  EXPECT_EQ(contest_.bandsWorked, (std::vector<std::string>{"80m", "80M", "40m"}));
}

TEST_F(AddDataTest, OpensTheFileOnlyForALine) {
  Contact c;
  ASSERT_EQ(contest_.AddData(c.Args()), 1);
  ASSERT_EQ(contest_.AddData(c.Args()), 1);
  Contact bad;
  bad.band = "30m";
  ASSERT_EQ(contest_.AddData(bad.Args()), 0);
  EXPECT_EQ(platform_.OpensOf(kFileName), 3);  // the reset, the dupe, the rejection
}

TEST_F(AddDataTest, UnopenableFileStillStores) {
  platform_.FailOpen(kFileName, FaultyPlatform::kWrite);
  Contact c;
  EXPECT_EQ(contest_.AddData(c.Args()), 1);
  EXPECT_EQ(contest_.AddData(c.Args()), 1);
  EXPECT_EQ(contest_.qsoLog.size(), 2u);
  EXPECT_EQ(contest_.qsoLog[1].dupe, 1);
  EXPECT_EQ(Lines(), "");
}

class AddDataBeforeResetTest : public testing::InTempDir {};

TEST_F(AddDataBeforeResetTest, WritesNothingAnywhere) {
  FaultyPlatform platform;
  Contest contest(platform);
  Contact c;
  Contact bad;
  bad.band = "30m";
  EXPECT_EQ(contest.AddData(c.Args()), 1);
  EXPECT_EQ(contest.AddData(c.Args()), 1);
  EXPECT_EQ(contest.AddData(bad.Args()), 0);
  EXPECT_EQ(contest.qsoLog.size(), 2u);
  EXPECT_EQ(contest.qsoLog[1].dupe, 1);
  EXPECT_TRUE(platform.opens().empty());
  std::vector<std::string> entries;
  for (const auto& e : std::filesystem::directory_iterator("."))
    entries.push_back(e.path().filename().string());
  EXPECT_EQ(entries, std::vector<std::string>{"Plugins"});
}

}  // namespace
}  // namespace zorvant
