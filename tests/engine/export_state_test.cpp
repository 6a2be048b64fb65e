#include "engine/export_state.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "cabrillo/writer.h"
#include "engine/contest.h"
#include "engine/settings_store.h"
#include "tests/support/test_support.h"

namespace zorvant {
namespace {

using testing::FaultyPlatform;
using testing::ReadFileBytes;
using testing::RecordingShell;
using testing::WriteFileBytes;

TEST(ReplaceAllTest, ReplacesLeftToRightWithoutRescanning) {
  struct Case {
    const char* text;
    const char* find;
    const char* replacement;
    const char* want;
  };
  const Case cases[] = {
      {"a<CR>b<CR>", "<CR>", "\r", "a\rb\r"},
      {"aa", "a", "aa", "aaaa"},  // the inserted text is not scanned
                                  // again
      {"<CR><LF>", "<LF>", "", "<CR>"},
      {"xyz", "<CR>", "\r", "xyz"},
      {"", "a", "b", ""},
      {"same", "same", "same", "same"},
      {"text", "", "x", "text"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceAll(c.text, c.find, c.replacement), c.want) << '"' << c.text << "\" " << c.find;
  }

  // A soapbox of 400 000 lines as a 1.6 MB settings value: one pass, where replacing in place took seconds.
  std::string saved;
  for (int i = 0; i < 400000; ++i) saved += "<CR>";
  const std::string lines = ReplaceAll(saved, "<CR>", "\r");
  EXPECT_EQ(lines, std::string(400000, '\r'));
  EXPECT_EQ(ReplaceAll(lines, "\r", "\r\nSOAPBOX: ").size(), 400000u * 11);
}

TEST(CabrilloFileBaseTest, FromTheHostsCallsign) {
  const std::pair<const char*, const char*> cases[] = {
      {"UA9ABC", "UA9ABC"},
      {"UA9ABC/P", "UA9ABC_P"},
      {"DL/UA9ABC/MM", "DL_UA9ABC_MM"},
      {"A\\B", "A_B"},
      {" \tN0CALL \r\n", "N0CALL"},
      {" / ", "_"},
      {"   ", "QLMB"},
      {"", "QLMB"},
      // Nothing Windows refuses in a name, and nothing that names a drive or a device.
      {"C:", "C_"},
      {"A<B>C\"D|E?F*G", "A_B_C_D_E_F_G"},
      {"UA3\tXYZ\x01", "UA3_XYZ_"},
      {"AUX", "AUX_"},
      {"nul", "nul_"},
      {"Com7", "Com7_"},
      {"LPT9", "LPT9_"},
      {"AUX.P", "AUX_.P"},  // a device name takes every extension
      {"CON .X", "CON_ .X"},
      {"COM10", "COM10"},
      {"CONSOLE", "CONSOLE"},
      {"AUXX", "AUXX"},
  };
  for (const auto& [call, base] : cases) EXPECT_EQ(CabrilloFileBase(call), base) << '"' << call << '"';
}

TEST(HeaderChoicesTest, DropDownsSelectTheFirstEntryThatBeginsWithTheText) {
  struct Case {
    std::string CabrilloFields::*field;
    const char* text;
    const char* shown;
  };
  const Case cases[] = {
      {&CabrilloFields::categoryOverlay, "tb", "TB-WIRES"},
      {&CabrilloFields::categoryOverlay, "ROOKIE", "ROOKIE"},
      {&CabrilloFields::categoryOverlay, "ROOKIES", "ROOKIES"},  // longer than every entry: kept as typed
      {&CabrilloFields::categoryOverlay, "", ""},
      {&CabrilloFields::categoryAssisted, "a", "ASSISTED"},
      {&CabrilloFields::categoryAssisted, "non", "NON-ASSISTED"},
      {&CabrilloFields::categoryOperator, "m", "MULTI-OP"},
      {&CabrilloFields::categoryPower, "Q", "QRP"},
      {&CabrilloFields::categoryTransmitter, "T", "TWO"},
      {&CabrilloFields::location, "n", "NE"},
      {&CabrilloFields::location, "-", "-/-"},
      {&CabrilloFields::location, "pe", "PEI"},
      {&CabrilloFields::location, "HI", "HI"},
      {&CabrilloFields::name, "dx", "dx"},  // a plain text box shows any text as it is
  };
  for (const Case& c : cases) {
    CabrilloFields f;
    f.*c.field = c.text;
    AsShownInDialog(f);
    EXPECT_EQ(f.*c.field, c.shown) << '"' << c.text << '"';
  }

  const std::vector<std::string>& locations = HeaderChoices(&CabrilloFields::location);
  ASSERT_EQ(locations.size(), 64u);
  EXPECT_EQ(locations[0], "DX");
  EXPECT_EQ(locations[2], "AL");
  EXPECT_EQ(locations[49], "WY");
  EXPECT_EQ(locations[50], "NB");
  EXPECT_EQ(locations[63], "PEI");
  EXPECT_EQ(HeaderChoices(&CabrilloFields::categoryPower), (std::vector<std::string>{"HIGH", "LOW", "QRP"}));
  EXPECT_TRUE(HeaderChoices(&CabrilloFields::soapbox).empty());
}

class EditCabrilloHeaderTest : public testing::InTempDir {
 protected:
  int Edit(const std::string& callsign = "UA9ABC/P") {
    return EditCabrilloHeader(settings_, out_, callsign, shell_);
  }
  std::string Saved(const char* key) {
    return platform_.ProfileString(kSettingsFile, kSettingsSection, key, "(missing)");
  }
  const CabrilloFields& Shown() { return shell_.headerDialogs.back(); }

  FaultyPlatform platform_;
  SettingsStore settings_{platform_, kSettingsFile, kSettingsSection};
  RecordingShell shell_;
  CabrilloExport out_;
};

TEST_F(EditCabrilloHeaderTest, FirstDialogShowsTheDefaults) {
  out_.qsoLines = {"QSO: old\r\n"};
  ASSERT_EQ(Edit(), 1);
  ASSERT_EQ(shell_.headerDialogs.size(), 1u);
  CabrilloFields want;
  want.callsign = want.operators = "UA9ABC/P";
  want.contest = "ZORVANT ";
  want.categoryOperator = "SINGLE-OP";
  want.categoryAssisted = "NON-ASSISTED";
  want.categoryBand = "ALL";
  want.categoryMode = "DIGI";
  want.categoryPower = "HIGH";
  want.categoryStation = "FIXED";
  want.categoryTransmitter = "ONE";
  want.location = "DX";
  const CabrilloFields& shown = Shown();
  std::string CabrilloFields::*const all[] = {&CabrilloFields::callsign,
                                              &CabrilloFields::name,
                                              &CabrilloFields::address,
                                              &CabrilloFields::claimed,
                                              &CabrilloFields::contest,
                                              &CabrilloFields::email,
                                              &CabrilloFields::club,
                                              &CabrilloFields::soapbox,
                                              &CabrilloFields::operators,
                                              &CabrilloFields::categoryOperator,
                                              &CabrilloFields::categoryAssisted,
                                              &CabrilloFields::categoryStation,
                                              &CabrilloFields::categoryBand,
                                              &CabrilloFields::categoryMode,
                                              &CabrilloFields::categoryPower,
                                              &CabrilloFields::categoryTransmitter,
                                              &CabrilloFields::addressCity,
                                              &CabrilloFields::addressState,
                                              &CabrilloFields::addressPostalCode,
                                              &CabrilloFields::addressCountry,
                                              &CabrilloFields::categoryOverlay,
                                              &CabrilloFields::location};
  for (std::size_t i = 0; i < std::size(all); ++i) EXPECT_EQ(shown.*all[i], want.*all[i]) << "field " << i;

  // Confirmed as shown: the personal keys are written in their order, in one write, the file base comes from
  // the host's callsign and the QSO lines of an earlier export are gone.
  EXPECT_EQ(
      ReadFileBytes("Plugins/ZORVANT.ini"),
      "[Settings]\r\nOperators=UA9ABC/P\r\nName=\r\nAddress=\r\nAddress-City=\r\nAddress-State=\r\n"
      "Address-PostalCode=\r\nAddress-Country=\r\nContest=ZORVANT \r\nEmail=\r\nClub=\r\nLocation=DX\r\n"
      "SoapBox=\r\n");
  EXPECT_EQ(Saved("Operators"), "UA9ABC/P");
  EXPECT_EQ(Saved("Contest"), "ZORVANT");  // values read back trimmed
  EXPECT_EQ(Saved("Location"), "DX");
  EXPECT_EQ(Saved("SoapBox"), "");
  EXPECT_EQ(out_.fileBase, "UA9ABC_P");
  EXPECT_TRUE(out_.qsoLines.empty());
}

TEST_F(EditCabrilloHeaderTest, TypedValuesAreSavedAndComeBackAtTheNextDialog) {
  WriteFileBytes("Plugins/ZORVANT.ini", "[Settings]\r\nClaimed=1234\r\nStart=0\r\n");
  shell_.editHeader = [](CabrilloFields& f) {
    f.callsign = "EDITED";
    f.claimed = "999999";
    f.name = "Ivan";
    f.address = "Lenina 1<CR><LF>Omsk";
    f.addressCity = "Omsk";
    f.operators = "UA9ABC UA9XYZ";
    f.email = "ua9abc@example.org";
    f.club = "Radio club";
    f.soapbox = "line one\r\nline two";
    f.categoryPower = "LOW";
    f.categoryOverlay = "TB";
    f.location = "NY";
  };
  ASSERT_EQ(Edit(), 1);

  EXPECT_EQ(Saved("SoapBox"), "line one<CR><LF>line two");
  EXPECT_EQ(Saved("Address"), "Lenina 1<CR><LF>Omsk");
  EXPECT_EQ(Saved("Location"), "NY");
  EXPECT_EQ(Saved("Claimed"), "1234");
  for (const char* key : {"Callsign", "Category-Power", "CategoryPower", "Category-Overlay"}) {
    EXPECT_EQ(Saved(key), "(missing)") << key;
  }
  // Ready for the file; what was typed as the claimed score is dropped.
  EXPECT_EQ(out_.soapbox, "line one\r\nSOAPBOX: line two");
  EXPECT_EQ(out_.address, "Lenina 1\r\nADDRESS: Omsk");
  EXPECT_EQ(out_.callsign, "EDITED");
  EXPECT_EQ(out_.claimed, "1234");
  EXPECT_EQ(out_.categoryPower, "LOW");
  EXPECT_EQ(out_.fileBase, "UA9ABC_P");

  shell_.editHeader = nullptr;
  ASSERT_EQ(Edit("UA9ABC"), 1);
  const CabrilloFields& again = Shown();
  EXPECT_EQ(again.callsign, "UA9ABC");
  EXPECT_EQ(again.name, "Ivan");
  EXPECT_EQ(again.address, "Lenina 1<CR><LF>Omsk");
  EXPECT_EQ(again.operators, "UA9ABC UA9XYZ");
  EXPECT_EQ(again.email, "ua9abc@example.org");
  EXPECT_EQ(again.soapbox, "line one\r\nline two");
  EXPECT_EQ(again.categoryPower, "HIGH");  // preset again at every dialog
  EXPECT_EQ(again.location, "DX");
  EXPECT_EQ(again.categoryOverlay, "TB");  // kept in memory, never saved
  EXPECT_EQ(out_.fileBase, "UA9ABC");
  EXPECT_EQ(Saved("SoapBox"), "line one<CR><LF>line two") << "saved again unchanged";
}

TEST_F(EditCabrilloHeaderTest, AddressLinesBreakAtEachCr) {
  const std::pair<const char*, const char*> cases[] = {
      {"Street 1<CR>Town", "Street 1\r\nADDRESS: Town"},
      {"a<CR><LF>b<CR>c", "a\r\nADDRESS: b\r\nADDRESS: c"},
      {"<LF>no break", "no break"},
  };
  for (const auto& [typed, fileForm] : cases) {
    shell_.editHeader = [typed = std::string(typed)](CabrilloFields& f) { f.address = typed; };
    ASSERT_EQ(Edit(), 1);
    EXPECT_EQ(Saved("Address"), typed);
    EXPECT_EQ(out_.address, fileForm);
  }
}

TEST_F(EditCabrilloHeaderTest, CancelSavesNothingAndLeavesTheLoadedFieldsReadyForTheFile) {
  const std::string ini =
      "[Settings]\r\nOperators=\r\nName=Ivan\r\nAddress=Lenina 1<CR>Omsk\r\n"
      "SoapBox=one<CR><LF>two<CR><LF>three\r\nLocation=NY\r\n";
  WriteFileBytes("Plugins/ZORVANT.ini", ini);
  out_.categoryOverlay = "ROOKIE";
  out_.categoryPower = "QRP";
  out_.qsoLines = {"QSO: kept\r\n"};
  shell_.confirmHeader = false;
  shell_.editHeader = [](CabrilloFields& f) {
    f.name = "typed";
    f.soapbox = "typed";
  };

  EXPECT_EQ(Edit(), 0);
  EXPECT_EQ(ReadFileBytes("Plugins/ZORVANT.ini"), ini);
  EXPECT_EQ(Shown().operators, "") << "a present but empty key is not replaced by the callsign";
  EXPECT_EQ(Shown().soapbox, "one\r\ntwo\r\nthree");
  EXPECT_EQ(out_.name, "Ivan");
  EXPECT_EQ(out_.operators, "");
  EXPECT_EQ(out_.soapbox, "one\r\nSOAPBOX: two\r\nSOAPBOX: three");
  EXPECT_EQ(out_.address, "Lenina 1\r\nADDRESS: Omsk");
  EXPECT_EQ(out_.categoryPower, "HIGH");
  EXPECT_EQ(out_.location, "DX");
  EXPECT_EQ(out_.categoryOverlay, "ROOKIE");
  EXPECT_EQ(out_.callsign, "UA9ABC/P");
  EXPECT_EQ(out_.fileBase, "UA9ABC_P");
  EXPECT_EQ(out_.qsoLines, std::vector<std::string>{"QSO: kept\r\n"});
}

TEST_F(EditCabrilloHeaderTest, LongValuesSurviveTheRoundTrip) {
  std::string soapbox, address;
  for (int i = 0; i < 40; ++i) soapbox += "remark number " + std::to_string(i) + "\r\n";
  soapbox += "last";
  for (int i = 0; i < 30; ++i) address += "part " + std::to_string(i) + "<CR>";
  shell_.editHeader = [&](CabrilloFields& f) {
    f.soapbox = soapbox;
    f.address = address;
  };
  ASSERT_EQ(Edit(), 1);
  shell_.editHeader = nullptr;
  ASSERT_EQ(Edit(), 1);
  ASSERT_EQ(Edit(), 1);
  EXPECT_EQ(Shown().soapbox, soapbox);
  EXPECT_EQ(Shown().address, address);
  EXPECT_EQ(out_.soapbox, ReplaceAll(soapbox, "\r\n", "\r\nSOAPBOX: "));
}

TEST_F(EditCabrilloHeaderTest, AHeaderThatCannotBeSavedIsReportedWithTheExport) {
  const std::string ini = "[Settings]\r\nName=Ivan\r\nStart=0\r\n";
  WriteFileBytes("Plugins/ZORVANT.ini", ini);
  // Neither swapped in nor written in place: another program holds the file and lets nobody write it.
  const std::string settings = platform_.FullPath(kSettingsFile);
  platform_.FailReplace(settings);
  platform_.FailOpen(settings, FaultyPlatform::kWrite);
  EXPECT_FALSE(platform_.WriteProfileString(kSettingsFile, kSettingsSection, "Name", "Petr"));
  shell_.editHeader = [](CabrilloFields& f) { f.name = "Petr"; };

  ASSERT_EQ(Edit(), 1);
  EXPECT_EQ(ReadFileBytes("Plugins/ZORVANT.ini"), ini);
  EXPECT_EQ(out_.name, "Petr") << "the export still has what was confirmed";
  EXPECT_EQ(WriteCabrilloFile(platform_, out_, 0, "x"),
            "File produced: UA9ABC_P.cbr\nCould not write file: Plugins\\ZORVANT.ini");

  // Once the file takes the header again, nothing more is said.
  FaultyPlatform healed;
  SettingsStore healedSettings(healed, kSettingsFile, kSettingsSection);
  ASSERT_EQ(EditCabrilloHeader(healedSettings, out_, "UA9ABC/P", shell_), 1);
  EXPECT_EQ(WriteCabrilloFile(healed, out_, 0, "x"), "File produced: UA9ABC_P.cbr");
  EXPECT_EQ(healed.ProfileString(kSettingsFile, kSettingsSection, "Name", ""), "Petr");
}

TEST_F(EditCabrilloHeaderTest, WithoutWindowsTheHeaderIsConfirmedAsShownWithTheCallersChanges) {
  WriteFileBytes("Plugins/ZORVANT.ini", "[Settings]\r\nName=Ivan\r\nSoapBox=a<CR><LF>b\r\n");
  out_.categoryOverlay = "tb";
  NoWindows noWindows([](CabrilloFields& f) {
    EXPECT_EQ(f.soapbox, "a\r\nb");
    f.categoryPower = "low";  // typed, not chosen: kept as it is
    f.club = "Club";
  });
  ASSERT_EQ(EditCabrilloHeader(settings_, out_, "N0CALL", noWindows), 1);
  EXPECT_EQ(out_.categoryOverlay, "TB-WIRES");
  EXPECT_EQ(out_.categoryPower, "low");
  EXPECT_EQ(out_.name, "Ivan");
  EXPECT_EQ(out_.soapbox, "a\r\nSOAPBOX: b");
  EXPECT_EQ(Saved("Club"), "Club");
  EXPECT_EQ(Saved("SoapBox"), "a<CR><LF>b");

  NoWindows plain;
  ASSERT_EQ(EditCabrilloHeader(settings_, out_, "N0CALL", plain), 1);
  EXPECT_EQ(out_.categoryPower, "HIGH");
}

}  // namespace
}  // namespace zorvant
