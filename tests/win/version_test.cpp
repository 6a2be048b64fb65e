// The version an operator reads in the plug-in's file properties is the one the build was made with
// (ZORVANT_EXPECTED_VERSION comes from the project's version in CMake). The release check copies this
// program beside the packaged Stats.dll and runs this test there, so it reads whichever DLL lies beside it.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/win/child.h"

namespace {

struct VersionInfo {
  std::vector<char> bytes;

  // A value of the first string table the resource lists, or "(missing)".
  std::string Text(const std::string& name) {
    struct Translation {
      WORD language, codePage;
    }* translation = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(bytes.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &size) ||
        size < sizeof *translation) {
      return "(missing)";
    }
    char path[64];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation->language,
                  translation->codePage, name.c_str());
    void* value = nullptr;
    if (!VerQueryValueA(bytes.data(), path, &value, &size) || !value) return "(missing)";
    // The length may or may not count the closing NUL.
    return std::string(static_cast<const char*>(value), size).c_str();
  }
};

TEST(VersionResource, CarriesTheProjectVersion) {
  unsigned major = 0, minor = 0, patch = 0;
  ASSERT_EQ(std::sscanf(ZORVANT_EXPECTED_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);
  const std::string dll = PluginPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(dll.c_str(), &ignored);
  ASSERT_GT(size, 0u) << dll << " has no version resource";
  VersionInfo info{std::vector<char>(size)};
  ASSERT_TRUE(GetFileVersionInfoA(dll.c_str(), 0, size, info.bytes.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  ASSERT_TRUE(VerQueryValueA(info.bytes.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
  ASSERT_GE(fixedSize, sizeof *fixed);
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(minor, major));
  EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, patch));
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  EXPECT_EQ(info.Text("FileVersion"), ZORVANT_EXPECTED_VERSION);
  EXPECT_EQ(info.Text("ProductVersion"), ZORVANT_EXPECTED_VERSION);
  EXPECT_EQ(info.Text("OriginalFilename"), "Stats.dll");
  for (const char* name : {"ProductName", "FileDescription", "LegalCopyright"}) {
    const std::string text = info.Text(name);
    EXPECT_TRUE(text != "(missing)" && !text.empty()) << name;
  }
}

}  // namespace
