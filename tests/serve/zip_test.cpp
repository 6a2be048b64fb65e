// The sponsor's archive read back by programs of their own (Python's zipfile and unzip), past the plain
// format's bounds: more members than its 16-bit count holds, and sizes and offsets in the 64-bit fields.
#include "serve/zip.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/serve/robot_fixture.h"

namespace serve::testing {
namespace {

// Each member's name and size as Python's zipfile reads them, after it checked every member's CRC.
constexpr char kListing[] = R"(import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
bad = z.testzip()
if bad is not None:
    sys.exit('damaged: ' + bad)
with open(sys.argv[2], 'w') as out:
    for info in z.infolist():
        out.write('%s %d\n' % (info.filename, info.file_size))
)";

std::string Shell(const std::string& folder, const std::string& command) {
  const int rc = std::system(("cd " + folder + " && " + command + " > run.out 2>&1").c_str());
  std::ifstream in(folder + "/run.out");
  std::stringstream said;
  said << in.rdbuf();
  return rc == 0 ? "" : "`" + command + "` failed: " + said.str();
}

TEST(ZipTest, ArchivesPastThePlainFormatsBoundsReadBackWhole) {
  struct Case {
    const char* what;
    int members;
    std::uint64_t wide;  // where the 64-bit fields begin
  };
  const Case cases[] = {
      {"more members than 65 535", 66000, 0xffffffffu},
      // Large members and offsets stand in for gigabytes: the same fields, written from a lower bound.
      {"sizes and offsets in 64-bit fields", 40, 200},
  };
  for (const Case& c : cases) {
    const std::string folder = NewFolder();
    std::ofstream file(folder + "/logs.zip", std::ios::binary);
    ZipWriter zip(
        [&file](std::string_view bytes) { return static_cast<bool>(file.write(bytes.data(), bytes.size())); },
        c.wide);
    std::string expected;
    unsigned seed = 7;
    for (int i = 0; i < c.members; ++i) {
      std::string bytes = "QSO: " + std::to_string(i) + "\n";
      // Some compressible, some not (stored as they are), some empty.
      if (i % 3 == 1) bytes = std::string(static_cast<std::size_t>(i * 37 % 900), 'a' + i % 26);
      if (i % 3 == 2) {
        for (int k = 0; k < i * 11 % 700; ++k)
          bytes += static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
      }
      if (i % 10 == 9) bytes.clear();
      const std::string name = "logs/R" + std::to_string(i) + "A.log";
      ASSERT_TRUE(zip.Add(name, bytes)) << c.what;
      expected += name + " " + std::to_string(bytes.size()) + "\n";
    }
    ASSERT_TRUE(zip.Finish()) << c.what;
    file.close();
    { std::ofstream(folder + "/listing.py") << kListing; }
    EXPECT_EQ(Shell(folder, "python3 listing.py logs.zip listing.txt"), "") << c.what;
    std::ifstream listing(folder + "/listing.txt");
    std::stringstream listed;
    listed << listing.rdbuf();
    EXPECT_EQ(listed.str(), expected) << c.what;
    EXPECT_EQ(Shell(folder, "unzip -tqq logs.zip"), "") << c.what;
    std::filesystem::remove_all(folder);
  }
}

}  // namespace
}  // namespace serve::testing
