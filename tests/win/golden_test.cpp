// The bundled log scored through the real Stats.dll must give the same bytes as the native command-line
// tool: the golden report (text and HTML) and the golden Cabrillo file.
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "cli/run_options.h"
#include "gtest/gtest.h"
#include "host/plugin_loader.h"
#include "host/stand_in_replay.h"
#include "logs/log_reader.h"
#include "tests/win/child.h"

namespace {

std::string DataFolder() {
  const std::string dll = PluginPath();
  return dll.substr(0, dll.find_last_of("\\/") + 1) + "data\\";
}

// The options the golden files were made with, from the .args file beside the log.
cli::RunOptions GoldenOptions(bool html) {
  std::vector<std::string> args = {"zorvant_host", DataFolder() + "sample-contest.adi"};
  std::ifstream in(DataFolder() + "sample-contest.args");
  for (std::string line; std::getline(in, line);) args.push_back(line);
  if (html) args.push_back("--html");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  cli::RunOptions options;
  std::string error;
  EXPECT_TRUE(cli::ParseRunOptions(static_cast<int>(argv.size()), argv.data(), 1, true, &options, &error))
      << error;
  return options;
}

class GoldenThroughTheDll : public testing::TestWithParam<bool> {};

TEST_P(GoldenThroughTheDll, SameReportAndCabrilloFileAsNatively) {
  const bool html = GetParam();
  TempFolder folder;
  CreateDirectoryA("Plugins", nullptr);
  WriteFileBytes("Tarq2.ini", "[Program]\r\nTarq=stand-in 1.0\r\n");
  const cli::RunOptions options = GoldenOptions(html);
  const logs::LogReadResult log = logs::ReadLog(options.log);
  ASSERT_TRUE(log.opened) << options.log;
  logs::QsoTime start;
  std::string ownCall, error;
  ASSERT_TRUE(cli::ContestStart(options, log.contacts, &start, &error)) << error;
  ASSERT_TRUE(cli::OwnCall(options, log.contacts, &ownCall, &error)) << error;

  host::PluginLoader plugin;
  ASSERT_TRUE(plugin.Load(PluginPath())) << plugin.error();
  const host::ReplayOutcome outcome = host::Replay(plugin, options, log.contacts, start, ownCall, nullptr);
  plugin.Unload();

  EXPECT_TRUE(outcome.headerAnswered);
  EXPECT_EQ(outcome.report, ReadFileBytes(DataFolder() + (html ? "sample-contest.report.html"
                                                               : "sample-contest.report.txt")));
  EXPECT_EQ(outcome.exportMessage, "File produced: UA3XYZ.cbr");
  EXPECT_EQ(outcome.status, -1);
  EXPECT_EQ(ReadFileBytes("UA3XYZ.cbr"), ReadFileBytes(DataFolder() + "sample-contest.cbr"));
}

INSTANTIATE_TEST_SUITE_P(TextAndHtml, GoldenThroughTheDll, testing::Bool());

}  // namespace
