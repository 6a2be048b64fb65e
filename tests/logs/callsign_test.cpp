#include "logs/callsign.h"

#include <gtest/gtest.h>

namespace logs {
namespace {

struct Case {
  const char* call;
  const char* prefix;
  const char* country;
};

TEST(CallsignTest, PrefixAndCountry) {
  const Case kCases[] = {
      // The call area decides the Russian entity.
      {"UA9ABC", "UA9", "UA9"},
      {"RW3A", "RW3", "UA"},
      {"RV0XQ", "RV0", "UA9"},
      {"R8ABC", "R8", "UA9"},
      {"UA2FZ", "UA2", "UA2"},
      {"UF1ABC", "UF1", "UA"},
      // A digit before the letters is part of the prefix.
      {"2E0ABC", "2E0", "G"},
      {"4Z5AB", "4Z5", "4X"},
      {"7K1ABC", "7K1", "JA"},
      {"3Z0X", "3Z0", "SP"},
      // The longest matching table entry wins.
      {"N5KWN", "N5", "K"},
      {"KH6ABC", "KH6", "KH6"},
      {"AL7A", "AL7", "KL7"},
      {"AK1A", "AK1", "K"},
      {"GM4ABC", "GM4", "GM"},
      {"M0ABC", "M0", "G"},
      {"EO5XQA", "EO5", "UR"},
      {"UZ1A", "UZ1", "UR"},
      {"UQ1A", "UQ1", "UN"},
      {"EW1AB", "EW1", "EU"},
      {"OL5Y", "OL5", "OK"},
      {"LY1000", "LY1000", "LY"},
      // Without a digit the prefix gets a 0, but the country sees no call area.
      {"RAEM", "RA0", "UA"},
      // Portable designators.
      {"F/G4ABC/P", "F0", "F"},
      {"DL/UA9ABC", "DL0", "DL"},
      {"K1ABC/VE3", "VE3", "VE"},
      {"VP2E/K1AB", "VP2", ""},
      {"W8ABC/2", "W2", "K"},
      {"UA9ABC/3", "UA3", "UA"},
      {"UA3ABC/9", "UA9", "UA9"},
      {"G4ABC/P", "G4", "G"},
      {"SP9ABC/QRP", "SP9", "SP"},
      {"G4ABC/MM", "G4", ""},
      {"PA/DL1JBE", "PA0", "PA"},
      {"OH/UA9XX", "OH0", "OH"},
      {"DL1JBE/3", "DL3", "DL"},
      {"I2/K3LR", "I2", "I"},
      {"DL1ABC/P", "DL1", "DL"},
      // Special-event calls keep every digit of their number.
      {"LY1000IARU", "LY1000", "LY"},
      // Input is cleaned up; unknown entities and empty calls give "".
      {" ua3xyz ", "UA3", "UA"},
      {"XX1ABC", "XX1", ""},
      {"UJ8AB", "UJ8", ""},
      {"", "", ""},
      {"/", "", ""},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(CallPrefix(c.call), c.prefix) << c.call;
    EXPECT_EQ(CountryPrefix(c.call), c.country) << c.call;
  }
}

}  // namespace
}  // namespace logs
