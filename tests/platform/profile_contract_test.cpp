// The platform contract, run against whichever implementation this binary links: natively against
// platform/posix.cpp, under Wine against platform/win32.cpp (the real Windows API). The same golden bytes
// must come out of both, so an ini file written on one platform is byte-identical to, and reads the same as,
// one written on the other. Where the two disagree, the Windows behaviour is the one to match.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/settings_store.h"
#include "platform/ini_text.h"
#include "platform/platform.h"
#include "tests/platform/fresh_folder.h"

namespace zorvant {
namespace {

namespace fs = std::filesystem;

using testing::ReadBytes;
using testing::WriteBytes;

class PlatformContractTest : public testing::InFreshFolder {
 protected:
  // One key at a time through a settings store, as the Windows profile services take them.
  std::string ProfileString(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& def) {
    SettingsStore settings(platform_, file, section);
    return settings.Load().Get(key, def);
  }
  int ProfileInt(const std::string& file, const std::string& section, const std::string& key, int def) {
    SettingsStore settings(platform_, file, section);
    const std::optional<std::string> value = settings.Load().Get(key);
    return value ? ini::ProfileIntValue(*value, def) : def;
  }
  bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& value) {
    SettingsStore settings(platform_, file, section);
    return settings.Write({{key, value}}) == SettingsError::kNone;
  }

  Platform& platform_ = SystemPlatform();
};

const char kIni[] = "p.ini";

// ---------------------------------------------------------------------------------------------- reads

struct ReadCase {
  const char* section;
  const char* key;
  const char* def;
  const char* want;
};

TEST_F(PlatformContractTest, ProfileStringFollowsTheReadRules) {
  WriteBytes(kIni,
             "; settings\r\n"
             "  [ Settings ]  \r\n"
             "  Name  = \t value with blanks \t \r\n"
             "Quoted=\"  kept inside  \"\r\n"
             "Single='x'\r\n"
             "Mismatched=\"x'\r\n"
             "LoneQuote=\"\r\n"
             "Empty=\r\n"
             "NoEquals\r\n"
             "Dup=first\r\n"
             "dup=second\r\n"
             "\r\n"
             "[Other]\r\n"
             "Name=other\r\n"
             "[settings]\r\n"
             "Late=in the second Settings\r\n");
  const ReadCase cases[] = {
      {"Settings", "Name", "D", "value with blanks"},
      {"SETTINGS", "nAME", "D", "value with blanks"},
      {"Other", "Name", "D", "other"},
      {"Settings", "Quoted", "D", "  kept inside  "},
      {"Settings", "Single", "D", "x"},
      {"Settings", "Mismatched", "D", "\"x'"},
      {"Settings", "LoneQuote", "D", "\""},
      {"Settings", "Empty", "D", ""},
      {"Settings", "NoEquals", "D", "D"},
      {"Settings", "Dup", "D", "first"},
      {"Settings", "Late", "D", "D"},  // only the first [Settings] counts
      {"Settings", "Missing", "", ""},
      {"Settings", "Missing", "dflt  ", "dflt"},
      {"Settings", "Missing", "d\t ", "d\t"},  // only spaces come off the default
      {"Settings", "Missing", "'q'", "q"},     // and its quotes, as a value's
      {"Nowhere", "Name", "dflt", "dflt"},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(ProfileString(kIni, c.section, c.key, c.def), c.want)
        << "[" << c.section << "] " << c.key << " default \"" << c.def << "\"";
  }
  EXPECT_EQ(ProfileString("absent.ini", "Settings", "Name", "dflt "), "dflt");
}

TEST_F(PlatformContractTest, AnyLineEndWillDoAndTheLastNeedsNone) {
  WriteBytes(kIni, "[A]\nk=lf\n[B]\rk=cr\r[C]\r\nk=crlf\r\n[D]\nk=last");
  EXPECT_EQ(ProfileString(kIni, "A", "k", ""), "lf");
  EXPECT_EQ(ProfileString(kIni, "B", "k", ""), "cr");
  EXPECT_EQ(ProfileString(kIni, "C", "k", ""), "crlf");
  EXPECT_EQ(ProfileString(kIni, "D", "k", ""), "last");
}

struct IntCase {
  const char* value;  // "<missing>" for no key at all
  int want;
};

TEST_F(PlatformContractTest, ProfileIntReadsALeadingInteger) {
  const IntCase cases[] = {
      {"42", 42},
      {"12abc", 12},
      {"abc", 0},
      {"", 7},
      {"<missing>", 7},
      {"-5", -5},
      {"+3", 3},
      {"\" 12\"", 12},
      {"- 5", 0},
      {"1.5", 1},
      {"''", 7},
      // Windows reads the number as a C literal would say it (0x hex, 0o octal, 0b binary), in 32 bits.
      {"0x1f", 31},
      {"4294967295", -1},
  };
  std::string text = "[N]\r\n";
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    if (std::string(cases[i].value) != "<missing>")
      text += "k" + std::to_string(i) + "=" + cases[i].value + "\r\n";
  }
  WriteBytes(kIni, text);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(ProfileInt(kIni, "N", "k" + std::to_string(i), 7), cases[i].want) << cases[i].value;
  }
  EXPECT_EQ(ProfileInt("absent.ini", "N", "k0", 7), 7);
}

// ---------------------------------------------------------------------------------------------- writes

TEST_F(PlatformContractTest, WritesBuildTheFileFromNothing) {
  struct Step {
    const char* section;
    const char* key;
    const char* value;
    const char* bytes;  // the whole file afterwards
  };
  const Step steps[] = {
      {"Settings", "Mode", "RTTY", "[Settings]\r\nMode=RTTY\r\n"},
      {"Cabrillo", "CALL", "N0CALL", "[Settings]\r\nMode=RTTY\r\n[Cabrillo]\r\nCALL=N0CALL\r\n"},
      {"Settings", "setup_x", "10", "[Settings]\r\nMode=RTTY\r\nsetup_x=10\r\n[Cabrillo]\r\nCALL=N0CALL\r\n"},
      {"settings", "MODE", "BPSK63",
       "[Settings]\r\nMode=BPSK63\r\nsetup_x=10\r\n[Cabrillo]\r\nCALL=N0CALL\r\n"},
      {"Cabrillo", "SOAPBOX", "",
       "[Settings]\r\nMode=BPSK63\r\nsetup_x=10\r\n[Cabrillo]\r\nCALL=N0CALL\r\nSOAPBOX=\r\n"},
  };
  for (const Step& s : steps) {
    ASSERT_TRUE(WriteProfileString(kIni, s.section, s.key, s.value)) << s.key;
    EXPECT_EQ(ReadBytes(kIni), s.bytes) << "after writing " << s.key;
  }
  EXPECT_EQ(ProfileString(kIni, "Settings", "Mode", "?"), "BPSK63");
  EXPECT_EQ(ProfileInt(kIni, "Settings", "setup_x", 0), 10);
  EXPECT_EQ(ProfileString(kIni, "Cabrillo", "SOAPBOX", "?"), "");
}

struct EditCase {
  const char* name;
  const char* before;
  const char* section;
  const char* key;
  const char* value;
  const char* after;
};

TEST_F(PlatformContractTest, WritesEditAGivenFile) {
  const char kTidy[] = "top=1\r\n[A]\r\nx=1\r\nk=old\r\n[B]\r\nk=b\r\n";
  const EditCase cases[] = {
      {"replace keeps the other lines", kTidy, "a", "K", "new",
       "top=1\r\n[A]\r\nx=1\r\nk=new\r\n[B]\r\nk=b\r\n"},
      {"new key at the end of its section", kTidy, "A", "y", "2",
       "top=1\r\n[A]\r\nx=1\r\nk=old\r\ny=2\r\n[B]\r\nk=b\r\n"},
      {"new section at the end", kTidy, "C", "k", "v",
       "top=1\r\n[A]\r\nx=1\r\nk=old\r\n[B]\r\nk=b\r\n[C]\r\nk=v\r\n"},
      {"leading blanks of a value go", kTidy, "B", "k", " \t b2",
       "top=1\r\n[A]\r\nx=1\r\nk=old\r\n[B]\r\nk=b2\r\n"},
      {"the first duplicate takes the write", "[A]\r\nk=1\r\nk=2\r\n[a]\r\nk=3\r\n", "A", "k", "9",
       "[A]\r\nk=9\r\nk=2\r\n[a]\r\nk=3\r\n"},
      {"empty file", "", "A", "k", "v", "[A]\r\nk=v\r\n"},
      {"no final line end", "[A]\r\nk=1", "A", "j", "2", "[A]\r\nk=1\r\nj=2\r\n"},
      // A write that changes something writes the whole file out again, as Windows under Wine does: blank
      // lines go, names and values are trimmed, every line ends in CR LF; comments and lines without '='
      // stay, and a line without '=' that names the key becomes its line.
      {"an untidy file is rewritten tidy", "; note\n\n  [ A ]  \n x = 1 \n\nk\n[B]\nk=b", "A", "k", "v",
       "; note\r\n[A]\r\nx=1\r\nk=v\r\n[B]\r\nk=b\r\n"},
      {"a write that changes nothing leaves the bytes", "[A]\n  k = v \n\n", "A", "k", "v",
       "[A]\n  k = v \n\n"},
  };
  int n = 0;
  for (const EditCase& c : cases) {
    // A file of its own per case: Wine keeps a parsed ini until the file's time stamp changes, and two
    // rewrites within one tick of the file system clock would look like one.
    const std::string file = "edit" + std::to_string(n++) + ".ini";
    WriteBytes(file, c.before);
    ASSERT_TRUE(WriteProfileString(file, c.section, c.key, c.value)) << c.name;
    EXPECT_EQ(ReadBytes(file), c.after) << c.name;
  }
}

TEST_F(PlatformContractTest, LongValuesReadWhole) {
  // Around the sizes where a reader working through a buffer would have to read again.
  // From 32 767 characters on, the Windows services themselves would store question marks.
  for (const std::size_t length : {99, 100, 4095, 4096, 4097, 20000, 32766, 32767, 40000}) {
    std::string value;
    for (std::size_t i = 0; i < length; ++i) value += static_cast<char>('a' + i % 26);
    const std::string key = "k" + std::to_string(length);
    ASSERT_TRUE(WriteProfileString(kIni, "Long", key, value)) << length;
    EXPECT_EQ(ProfileString(kIni, "Long", key, "d"), value) << length;
    EXPECT_EQ(ProfileString(kIni, "Long", "missing", value), value) << "as a default, " << length;
  }
}

TEST_F(PlatformContractTest, ALineBreakInAValueStartsNoLineOfItsOwn) {
  ASSERT_TRUE(WriteProfileString(kIni, "Settings", "Operators", "UA3XYZ\r\nsetup_x=-32000"));
  ASSERT_TRUE(WriteProfileString(kIni, "Settings", "Name", "\n[Other]\rk=v\n"));
  EXPECT_EQ(ReadBytes(kIni), "[Settings]\r\nOperators=UA3XYZ  setup_x=-32000\r\nName=[Other] k=v \r\n");
  EXPECT_EQ(ProfileString(kIni, "Settings", "setup_x", "none"), "none");
  EXPECT_EQ(ProfileString(kIni, "Other", "k", "none"), "none");
  EXPECT_EQ(ProfileString(kIni, "Settings", "Operators", ""), "UA3XYZ  setup_x=-32000");

  // The names are the program's own: one with a line break in it is refused, and nothing is written.
  const std::string before = ReadBytes(kIni);
  EXPECT_FALSE(WriteProfileString(kIni, "Settings", "k\r\nsetup_y", "1"));
  EXPECT_FALSE(WriteProfileString(kIni, "Settings]\r\n[Other", "k", "1"));
  EXPECT_EQ(ReadBytes(kIni), before);
}

TEST_F(PlatformContractTest, WritersAtOnceKeepEachOthersKeys) {
  // Two exports in one station folder, or the Setup window saving its corner beside an export: each writes
  // keys of its own into the one file.
  constexpr int kWriters = 4, kKeys = 20;
  auto key = [](int writer, int k) { return "w" + std::to_string(writer) + "k" + std::to_string(k); };
  std::atomic<int> failed{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      for (int k = 0; k < kKeys; ++k) {
        if (!WriteProfileString(kIni, "Settings", key(w, k), "v" + key(w, k))) ++failed;
      }
    });
  }
  for (std::thread& t : writers) t.join();

  EXPECT_EQ(failed, 0);
  int lost = 0;
  for (int w = 0; w < kWriters; ++w) {
    for (int k = 0; k < kKeys; ++k) {
      lost += ProfileString(kIni, "Settings", key(w, k), "") != "v" + key(w, k);
    }
  }
  EXPECT_EQ(lost, 0);
  std::set<std::string> left;
  for (const auto& e : fs::directory_iterator(dir_)) left.insert(e.path().filename().string());
  std::set<std::string> expected = {kIni};
#ifdef _WIN32
  // The lock there is a byte of a lock file that stays: deleted, it would be left pending while a waiter
  // has it open, and nobody could take it.
  expected.insert(std::string(kIni) + ".lock");
#endif
  EXPECT_EQ(left, expected) << "no temporary left behind, nor a lock file where one is made anew each time";
}

#ifdef _WIN32
TEST_F(PlatformContractTest, WhatIsWrittenReadsTheSameThroughTheWindowsServices) {
  // Other programs read the settings through the Windows services.
  WriteBytes(kIni, "; kept\r\n[Settings]\r\nName=old\r\n");
  const std::pair<const char*, std::string> values[] = {
      {"Name", "Ivan"}, {"SoapBox", "one<CR><LF>two"},     {"Quoted", "\"  x  \""},
      {"Empty", ""},    {"Long", std::string(20000, 'a')},
  };
  for (const auto& [key, value] : values) {
    ASSERT_TRUE(WriteProfileString(kIni, "Settings", key, value));
  }
  const std::string path = platform_.FullPath(kIni);
  for (const auto& [key, value] : values) {
    std::vector<char> buf(value.size() + 16);
    const DWORD n = GetPrivateProfileStringA("Settings", key, "missing", buf.data(),
                                             static_cast<DWORD>(buf.size()), path.c_str());
    EXPECT_EQ(std::string(buf.data(), n), ProfileString(kIni, "Settings", key, "missing")) << key;
  }
}
#endif

TEST_F(PlatformContractTest, WriteIntoAMissingFolderFailsAndCreatesNothing) {
  EXPECT_FALSE(WriteProfileString("Missing\\ZORVANT.ini", "Settings", "Mode", "RTTY"));
  EXPECT_FALSE(fs::exists("Missing"));
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(PlatformContractTest, PluginsIniResolvesAgainstTheCurrentFolder) {
  fs::create_directory("Plugins");
  const std::string expected = (dir_ / "Plugins" / "ZORVANT.ini").string();
  EXPECT_EQ(platform_.FullPath("Plugins\\ZORVANT.ini"), expected);
  EXPECT_EQ(platform_.FullPath("Plugins/ZORVANT.ini"), expected);
  EXPECT_EQ(platform_.FullPath(expected), expected);

  ASSERT_TRUE(WriteProfileString("Plugins\\ZORVANT.ini", "Settings", "setup_x", "25"));
  EXPECT_EQ(ReadBytes((dir_ / "Plugins" / "ZORVANT.ini").string()), "[Settings]\r\nsetup_x=25\r\n");
  EXPECT_EQ(ProfileInt("Plugins\\ZORVANT.ini", "Settings", "setup_x", 0), 25);
}

// ---------------------------------------------------------------------------------------------- files

TEST_F(PlatformContractTest, SharedOpenReplaceAndRemove) {
  EXPECT_EQ(platform_.OpenShared("absent.txt", "rb"), nullptr);
  EXPECT_EQ(platform_.OpenShared("", "rb"), nullptr);

  // A reader gets in while the log is open for appending: the other process may look at the file meanwhile.
  std::FILE* log = platform_.OpenShared("log.txt", "ab");
  ASSERT_NE(log, nullptr);
  std::fputs("line\r\n", log);
  std::fflush(log);
  std::FILE* reader = platform_.OpenShared("log.txt", "rb");
  ASSERT_NE(reader, nullptr);
  char buf[16] = {};
  EXPECT_EQ(std::fread(buf, 1, sizeof buf, reader), 6u);
  std::fclose(reader);
  std::fclose(log);
  EXPECT_TRUE(platform_.FileExists("log.txt"));

  WriteBytes("new.tmp", "second");
  EXPECT_TRUE(platform_.ReplaceFile("new.tmp", "log.txt"));
  EXPECT_EQ(ReadBytes("log.txt"), "second");
  EXPECT_FALSE(platform_.FileExists("new.tmp"));
  WriteBytes("other.tmp", "third");
  EXPECT_TRUE(platform_.ReplaceFile("other.tmp", "fresh.txt"));  // nothing to replace is fine too
  EXPECT_EQ(ReadBytes("fresh.txt"), "third");
  EXPECT_FALSE(platform_.ReplaceFile("absent.tmp", "log.txt"));
  EXPECT_EQ(ReadBytes("log.txt"), "second");

  EXPECT_TRUE(platform_.RemoveFile("log.txt"));
  EXPECT_FALSE(platform_.FileExists("log.txt"));
  EXPECT_FALSE(platform_.RemoveFile("log.txt"));

  // "x" makes a file only where none is.
  std::FILE* made = platform_.OpenShared("made.tmp", "wbx");
  ASSERT_NE(made, nullptr);
  std::fputs("mine\r\n", made);
  std::fclose(made);
  EXPECT_EQ(platform_.OpenShared("made.tmp", "wbx"), nullptr);
  EXPECT_EQ(ReadBytes("made.tmp"), "mine\r\n");
}

TEST_F(PlatformContractTest, AFileOpenForReadingCanStillBeRemovedOrReplaced) {
  // What a rewrite does to a file another thread or program is reading: its swap removes the old file. The
  // reader keeps the bytes it opened.
  WriteBytes("old.txt", "old\r\n");
  std::FILE* reader = platform_.OpenShared("old.txt", "rb");
  ASSERT_NE(reader, nullptr);
  EXPECT_TRUE(platform_.RemoveFile("old.txt"));
  char buf[8] = {};
  EXPECT_EQ(std::fread(buf, 1, sizeof buf, reader), 5u);
  std::fclose(reader);
  EXPECT_FALSE(platform_.FileExists("old.txt"));
}

TEST_F(PlatformContractTest, FindFirstMatchVisitsTheMatchingNames) {
  fs::create_directory("sub");
  for (const char* name : {"a.ini", "b.ini", "c.txt"}) WriteBytes(std::string("sub/") + name, "x");
  struct FindCase {
    const char* pattern;
    std::set<std::string> matches;
  };
  const FindCase cases[] = {
      {"sub\\*.ini", {"a.ini", "b.ini"}},
      {"sub\\*", {"a.ini", "b.ini", "c.txt"}},
      {"sub\\*.dat", {}},
      {"nosuch\\*.ini", {}},
      // Names match without regard to case, as on Windows.
      {"sub\\B*.INI", {"b.ini"}},
  };
  for (const FindCase& c : cases) {
    std::set<std::string> seen;
    EXPECT_EQ(platform_.FindFirstMatch(c.pattern,
                                       [&](const std::string& name) {
                                         seen.insert(name);
                                         return false;
                                       }),
              "")
        << c.pattern;
    EXPECT_EQ(seen, c.matches) << c.pattern;
  }
  // Visiting stops at the accepted name, wherever the file system lists it.
  int visits = 0;
  EXPECT_EQ(platform_.FindFirstMatch("sub\\*.ini",
                                     [&](const std::string& name) {
                                       ++visits;
                                       return name == "b.ini";
                                     }),
            "b.ini");
  EXPECT_LE(visits, 2);
}

TEST_F(PlatformContractTest, UtcHourIsTheHourNow) {
  const auto hourNow = [] {
    const std::time_t now = std::time(nullptr);
    return std::gmtime(&now)->tm_hour;
  };
  const int before = hourNow();
  const int hour = platform_.UtcHour();
  const int after = hourNow();
  EXPECT_GE(hour, 0);
  EXPECT_LE(hour, 23);
  EXPECT_TRUE(hour == before || hour == after) << hour;
}

}  // namespace
}  // namespace zorvant
