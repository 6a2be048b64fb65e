// The Windows platform by file names in any letters: UTF-8 names, as zorvant.exe passes them, reach the file
// system as the same letters whatever the ANSI code page; names in the ANSI code page, as the host hands
// them to the plug-in, still open what they name.
#include <windows.h>

#include <cstdio>
#include <string>

#include "gtest/gtest.h"
#include "platform/file_names.h"
#include "platform/platform.h"
#include "platform/whole_file.h"
#include "tests/win/child.h"

namespace {

bool ExistsW(const std::wstring& name) { return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(Win32FileNames, AFolderNamedInCyrillicIsWrittenListedAndReplacedByItsLetters) {
  TempFolder folder;
  zorvant::Platform& platform = zorvant::SystemPlatform();
  ASSERT_TRUE(CreateDirectoryW(L"Журналы UA3XYZ", nullptr));
  const std::string dir = u8"Журналы UA3XYZ";
  const std::string file = dir + "\\" + u8"итоги.txt";

  ASSERT_TRUE(zorvant::RewriteFile(platform, file, "first"));
  EXPECT_TRUE(ExistsW(L"Журналы UA3XYZ\\итоги.txt"));
  ASSERT_TRUE(zorvant::RewriteFile(platform, file, "second"));
  std::FILE* in = platform.OpenShared(file, "rb");
  ASSERT_NE(in, nullptr);
  char bytes[16] = {};
  EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, in), 6u);
  std::fclose(in);
  EXPECT_EQ(std::string(bytes), "second");

  EXPECT_EQ(platform.Inspect(file).kind, zorvant::FileKind::kRegular);
  EXPECT_EQ(platform.FindFirstMatch(dir + "\\*.txt", [](const std::string&) { return true; }), u8"итоги.txt");
  const std::string full = platform.FullPath(file);
  EXPECT_EQ(full.substr(full.size() - file.size()), file) << full;
  EXPECT_TRUE(platform.RemoveFile(file));
  EXPECT_FALSE(ExistsW(L"Журналы UA3XYZ\\итоги.txt"));
  RemoveDirectoryW(L"Журналы UA3XYZ");  // TempFolder clears by ANSI names, which cannot spell this one
}

TEST(Win32FileNames, TextThatIsNotUtf8IsReadInTheAnsiCodePage) {
  TempFolder folder;
  // "café" in code page 1252, "лог" in 1251: whichever the system has, its own bytes name its own letters.
  const std::string ansi = GetACP() == 1251 ? "\xEB\xEE\xE3.txt" : "caf\xE9.txt";
  wchar_t wide[32] = {};
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, 32);
  std::FILE* out = zorvant::SystemPlatform().OpenShared(ansi, "wb");
  ASSERT_NE(out, nullptr);
  std::fclose(out);
  EXPECT_TRUE(ExistsW(wide));
  EXPECT_EQ(zorvant::WideName(ansi), std::wstring(wide));
  EXPECT_EQ(zorvant::WideName(u8"лог"), L"лог");
}

}  // namespace
