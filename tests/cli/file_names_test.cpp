// Folders and logs named in Cyrillic, for zorvant score and check. Natively the names are the bytes Linux
// keeps; against zorvant.exe (ZORVANT_EXE) each case runs under Wine in the Russian and the Western ANSI code
// page, which Wine takes from LC_ALL, and must leave the same bytes as the native command.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/cli/zorvant_exe.h"
#include "tests/support/test_support.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using zorvant::testing::ExeRun;
using zorvant::testing::ReadFileBytes;
using zorvant::testing::WriteFileBytes;

const std::string kData = std::string(ZORVANT_SOURCE_DIR) + "/data/";
const std::string kStart = "2026-03-14 14:00";

// The locale whose ANSI code page Wine gives the program it runs. Wine also reads the command line in that
// locale's character set, so the locale must be there: the tests make their own with localedef.
struct CodePage {
  const char* name;
  const char* locale;
  const char* source;  // localedef's input
};
const CodePage kCodePages[] = {{"1251", "ru_RU.UTF-8", "ru_RU"}, {"1252", "en_US.UTF-8", "en_US"}};

// The folder of the locales made for the build under test, made once; "" when one could not be made.
const std::string& Locales() {
  static const std::string folder = [] {
    const std::string path = (fs::temp_directory_path() / "zorvant-test-locales").string();
    for (const CodePage& page : kCodePages) {
      if (fs::exists(path + "/" + page.locale)) continue;
      fs::create_directories(path);
      const std::string command = std::string("localedef -i ") + page.source + " -f UTF-8 '" + path + "/" +
                                  page.locale + "' >/dev/null 2>&1";
      if (std::system(command.c_str()) != 0 && !fs::exists(path + "/" + page.locale)) return std::string();
    }
    return path;
  }();
  return folder;
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

// The build under test when there is one, under the code page's locale; the code in-process otherwise.
ExeRun RunUnder(const std::vector<std::string>& args, const CodePage& page) {
  if (!zorvant::testing::ZorvantExe()) return zorvant::testing::RunHere(args);
  EXPECT_NE(Locales(), "") << "localedef could not make the locales " << page.locale;
  ScopedEnv locales("LOCPATH", Locales()), locale("LC_ALL", page.locale);
  return zorvant::testing::RunZorvantExe(args);
}

// What a folder holds, by name: a file's bytes, or that it is a folder.
std::vector<std::pair<std::string, std::string>> Files(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& e : fs::directory_iterator(folder)) {
    files.emplace_back(e.path().filename().string(),
                       e.is_directory() ? "(a folder)" : ReadFileBytes(e.path().string()));
  }
  std::sort(files.begin(), files.end());
  return files;
}

class FileNamesTest : public zorvant::testing::InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    fs::create_directories("Журналы UA3XYZ/логи");
    fs::copy_file(kData + "sample-contest.adi", "Журналы UA3XYZ/пробный журнал.adi");
    WriteFileBytes("Журналы UA3XYZ/логи/UA3AA.log",
                   "START-OF-LOG: 3.0\r\nCALLSIGN: UA3AA\r\n"
                   "QSO: 3585 RY 2026-03-14 1400 UA3AA 599 001 DL1BB 599 001\r\nEND-OF-LOG:\r\n");
    WriteFileBytes("Журналы UA3XYZ/логи/DL1BB.log",
                   "START-OF-LOG: 3.0\r\nCALLSIGN: DL1BB\r\n"
                   "QSO: 3585 RY 2026-03-14 1401 DL1BB 599 001 UA3AA 599 001\r\nEND-OF-LOG:\r\n");
  }
};

TEST_F(FileNamesTest, ScoresALogInACyrillicFolder) {
  const std::vector<std::string> args = zorvant::testing::GoldenArgs("Журналы UA3XYZ/пробный журнал.adi");
  const ExeRun expected = zorvant::testing::RunHere(args);
  ASSERT_EQ(expected.out, ReadFileBytes(kData + "sample-contest.report.txt") + "File produced: UA3XYZ.cbr\n")
      << expected.err;
  const std::string cabrillo = ReadFileBytes("UA3XYZ.cbr");
  for (const CodePage& page : kCodePages) {
    fs::remove("UA3XYZ.cbr");
    const ExeRun run = RunUnder(args, page);
    EXPECT_EQ(run.code, 0) << page.name << ": " << run.err;
    EXPECT_EQ(run.out, expected.out) << page.name;
    EXPECT_EQ(ReadFileBytes("UA3XYZ.cbr"), cabrillo) << page.name;
  }
}

TEST_F(FileNamesTest, ChecksACyrillicFolderIntoACyrillicFolder) {
  const std::vector<std::string> args = {"check", "Журналы UA3XYZ/логи", "--start", kStart, "--out", "итоги"};
  const ExeRun expected = zorvant::testing::RunHere(args);
  ASSERT_EQ(expected.code, 0) << expected.err;
  fs::rename("итоги", "ожидаемые");
  for (const CodePage& page : kCodePages) {
    const ExeRun run = RunUnder(args, page);
    EXPECT_EQ(run.code, 0) << page.name << ": " << run.err;
    EXPECT_EQ(run.out, expected.out) << page.name;
    ASSERT_TRUE(fs::is_directory("итоги")) << page.name;
    EXPECT_EQ(Files("итоги"), Files("ожидаемые")) << page.name;
    fs::remove_all("итоги");
  }
}

TEST_F(FileNamesTest, AFolderThatIsNotThereIsNamedAndNothingIsLeft) {
  const auto before = Files(".");
  for (const CodePage& page : kCodePages) {
    const ExeRun run = RunUnder({"check", "отчёты", "--start", kStart, "--out", "итоги"}, page);
    EXPECT_EQ(run.code, 1) << page.name;
    EXPECT_NE(run.err.find("отчёты: cannot be read"), std::string::npos) << page.name << ": " << run.err;
    EXPECT_EQ(Files("."), before) << page.name;
  }
}

}  // namespace
}  // namespace cli
