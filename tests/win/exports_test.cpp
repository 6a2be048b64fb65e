// The export table and the argument lists, exercised through function pointers typed as the host types them.
#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "tests/win/child.h"

namespace {

const char kBadQsoFile[] = "BadQSO_StatsZORVANT_05_03_2017.txt";
const char kHeader[] = "ZORVANT CONTEST UBN file UBN file \r\n";

class ExportsTest : public PluginFolderTest {
 protected:
  void SetUp() override {
    PluginFolderTest::SetUp();
    KeepSetupWindowShut();  // these tests do not need the Setup window
  }
};

TEST(ExportTable, EveryNameResolvesToTheFunctionOfItsPlainName) {
  HMODULE dll = LoadLibraryA(PluginPath().c_str());
  ASSERT_NE(dll, nullptr);
  for (const host::ExportName& e : host::kExportNames) {
    FARPROC byName = GetProcAddress(dll, e.name);
    EXPECT_NE(byName, nullptr) << e.name;
    EXPECT_EQ(byName, GetProcAddress(dll, e.plain)) << e.name;
  }
#ifdef _WIN64
  // A 32-bit host's decorated names mean nothing to a 64-bit one.
  EXPECT_EQ(GetProcAddress(dll, "?AddData0@@YAHPBD0PAVCOleDateTime@@111II000000000000000HHHNN00000@Z"), nullptr);
#endif
  FreeLibrary(dll);
}

TEST_F(ExportsTest, SmallExportsAnswerAsTheHostExpects) {
  EXPECT_EQ(plugin_.getNumberOfSets(), 1);
  EXPECT_STREQ(plugin_.getSetName(0), "ZORVANT (C)");
  EXPECT_STREQ(plugin_.getSetName(1), "");
  EXPECT_STREQ(plugin_.getSetName(-1), "");
  EXPECT_EQ(plugin_.getExchgCount(nullptr, "a", "b"), 1);
  EXPECT_EQ(plugin_.setVersion("2.0"), 0u);
  EXPECT_EQ(plugin_.setVersion(nullptr), 0u);
  int status = 0x5a5a;
  EXPECT_NE(plugin_.getResult(&status), nullptr);
  EXPECT_NE(plugin_.getResult(nullptr), nullptr);
}

TEST_F(ExportsTest, ExchangeValidation) {
  const struct {
    const char* exchange;
    int valid;
  } cases[] = {{"05", 1},    {"001", 1}, {"0599", 1}, {"9999", 1}, {"599", 0},   {"1", 0},
               {"12345", 0}, {"12a", 0}, {"", 0},     {" 12", 0},  {"1\xb2", 0}, {nullptr, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(plugin_.isValidExchg(c.exchange, "j", "j", "j", 1, 2, 3), c.valid)
        << (c.exchange ? c.exchange : "null");
  }
}

// Every argument the plug-in reads sits in its own slot of the host's list: a wrong size anywhere before
// the band (argument 32) would read junk there and reject the contact.
TEST_F(ExportsTest, AddAndRemoveWriteTheBadQsoFileByteForByte) {
  ASSERT_EQ(CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0)), 1);
  ASSERT_EQ(ReadFileBytes(kBadQsoFile), kHeader);

  Qso q;
  q.freqHz = 3585999;  // truncated to 3585 kHz
  EXPECT_EQ(CallAdd(plugin_, q), 1);
  EXPECT_EQ(CallAdd(plugin_, q), 1);  // dupe: stored, and a line written
  Qso wrongBand = q;
  wrongBand.band = "30m";
  EXPECT_EQ(CallAdd(plugin_, wrongBand), 0);
  Qso wrongMode = q;
  wrongMode.mode = "FT8";
  EXPECT_EQ(CallAdd(plugin_, wrongMode), 0);
  Qso noNumber = q;
  noNumber.exchRcvd = "";
  EXPECT_EQ(CallAdd(plugin_, noNumber), 0);
  Qso longer = q;  // another station whose callsign contains HISCALL, in the same minute
  longer.call = "HISCALLX";
  longer.mode = "PSK31";
  EXPECT_EQ(CallAdd(plugin_, longer), 0);

  const std::string dupe =
      "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  HISCALL  599  017   DUPE !!!\r\n";
  const std::string longerLine =
      "QSO:  3585  PSK31  2017-03-05 1432  MYCALL  599  001  HISCALLX  599  017   WRONG MODE !!!\r\n";
  const std::string all = ReadFileBytes(kBadQsoFile);
  EXPECT_EQ(all,
            std::string(kHeader) + dupe +
                "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  HISCALL  599  017   WRONG BAND !!!\r\n"
                "QSO:  3585  FT8  2017-03-05 1432  MYCALL  599  001  HISCALL  599  017   WRONG MODE !!!\r\n"
                "QSO:  3585  RTTY  2017-03-05 1432  MYCALL  599  001  HISCALL  599     NO RX NUMBER !!!\r\n" +
                longerLine);

  // Removing HISCALL at 14:32 takes the record stored first, which wrote no line: the dupe keeps its own.
  EXPECT_EQ(CallRemove(plugin_, q), 1);
  EXPECT_EQ(ReadFileBytes(kBadQsoFile), all);
  // The dupe is still there, so the same contact is a dupe again.
  EXPECT_EQ(CallAdd(plugin_, q), 1);
  EXPECT_EQ(ReadFileBytes(kBadQsoFile), all + dupe);
  // Removing it again takes the first dupe and one of the two equal lines. The rejected contacts of the same
  // call and minute are contacts of their own and keep their lines; the other station's goes with it.
  const std::string rest = all.substr(std::string(kHeader).size() + dupe.size());
  EXPECT_EQ(CallRemove(plugin_, q), 1);
  EXPECT_EQ(ReadFileBytes(kBadQsoFile), std::string(kHeader) + rest + dupe);
  EXPECT_EQ(CallRemove(plugin_, longer), 1);
  EXPECT_EQ(ReadFileBytes(kBadQsoFile),
            std::string(kHeader) + rest.substr(0, rest.size() - longerLine.size()) + dupe);
}

TEST_F(ExportsTest, CallCheckReadsItsArgumentsInPlace) {
  ASSERT_EQ(CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0)), 1);
  Qso q;
  ASSERT_EQ(CallAdd(plugin_, q), 1);
  EXPECT_EQ(CallCheck(plugin_, "HISCALL", "RTTY", "UA3", "UA", "80m", "80m"), 0);
  EXPECT_EQ(CallCheck(plugin_, "HISCALL", "BPSK63", "UA3", "UA", "80m", "80M"), 1);
  EXPECT_EQ(CallCheck(plugin_, "OTHER", "RTTY", "UA4", "UA", "80m", nullptr), 2);
  EXPECT_EQ(CallCheck(plugin_, "HISCALL", "RTTY", "UA3", "", "80m", "80m"), 1);
  EXPECT_EQ(CallCheck(plugin_, "HISCALL", "RTTY", "UA3", "UA", "80m", "40m"), 4);
  EXPECT_EQ(CallCheck(plugin_, "HISCALL", "RTTY", "UA3", "UA", "30m", "30m"), 4);
}

TEST_F(ExportsTest, NullPointersFromTheHostAreEmptyTextsAndNullDates) {
  const char* const n = nullptr;
  EXPECT_EQ(
      plugin_.resetStats(n, 0, n, nullptr, nullptr, n, n, n, n, n, n, n, n, n, n, 0, 0, 0, 0.0, 0.0, n, n, n),
      1);
  // A null start names the file from an empty date text.
  EXPECT_EQ(ReadFileBytes("BadQSO_StatsZORVANT_.txt"), kHeader);
  for (host::QsoFn fn : {plugin_.addData, plugin_.removeData}) {
    fn(n, n, nullptr, nullptr, nullptr, nullptr, 0, 0, n, n, n, n, n, n, n, n, n, n, n, n, n, n, n, 0, 0, 0,
       0.0, 0.0, n, n, n, n, n);
  }
  EXPECT_EQ(plugin_.checkCall(n, 0, 0, n, n, n, n, n, n, n, n, n, n, n, 0, 0, 0, 0.0, 0.0, n, n, n, n, n, n,
                              n, nullptr, nullptr),
            4);
  // The rejected contact's line was written with empty fields, then removed again as the same contact.
  EXPECT_EQ(ReadFileBytes("BadQSO_StatsZORVANT_.txt"), kHeader);
}

}  // namespace
