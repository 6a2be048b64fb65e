// The numbers of the settings file ("Start", the window corners, the check boxes) are plain decimal, read one
// way by the engine and the windows alike, whatever the Windows profile services would make of them.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "engine/contest.h"
#include "engine/file_text.h"
#include "tests/support/test_support.h"
#include "ui/setup_logic.h"

namespace zorvant {
namespace {

using testing::WriteFileBytes;

class SettingNumberTest : public testing::InTempDir {};

TEST_F(SettingNumberTest, TheWindowsReadALeadingDecimalInteger) {
  struct Case {
    const char* value;  // as it stands in the file
    int want;
  };
  const Case cases[] = {
      {"0x1", 0},  // the Prefix window stays closed
      {"0b1", 0},
      {"0o7", 0},
      {"12abc", 12},
      {"  7", 7},  // the file's blanks are trimmed as Windows trims them
      {"\"7\"", 7},
      {"-3", -3},
      {"+4", 4},
      {"- 5", 0},
      {"1.9", 1},
      {"abc", 0},
      {"", 0},
      {"4294967295", INT_MAX},  // the Windows services would wrap this to -1
      {"99999999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-99999999999", INT_MIN},
  };
  std::string ini = "[Settings]\r\n";
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    ini += "setup_view_pref" + std::to_string(i) + "=" + cases[i].value + "\r\n";
  }
  WriteFileBytes("Plugins/ZORVANT.ini", ini);
  SettingsStore settings(SystemPlatform(), kSettingsFile, kSettingsSection);
  const SettingsSnapshot saved = settings.Load();
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string key = "setup_view_pref" + std::to_string(i);
    EXPECT_EQ(SettingInt(saved, key.c_str()), cases[i].want) << cases[i].value;
  }
  EXPECT_EQ(SettingInt(saved, "dxcc_x"), 0) << "missing";
}

TEST(SettingNumber, ReadsTheFirst99CharactersAsTheSettingsBufferHoldsThem) {
  EXPECT_EQ(SettingNumber("\t 42 "), 42);
  EXPECT_EQ(SettingNumber(std::string(98, '0') + "12"), 1);
  EXPECT_EQ(SettingNumber(std::string(99, ' ') + "5"), 0);
}

}  // namespace
}  // namespace zorvant
