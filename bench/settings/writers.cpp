// One of several plug-ins saving their settings at once in one station folder (bench/settings/load.sh): each
// round does to the settings file what an export pass does, with a header field of this writer's own typed
// anew. Prints one line: the rounds, those whose settings were not saved, the slowest save, and whether the
// file holds this writer's last saved value at the end (a value lost without a word is the worst outcome).
//
// usage: settings_writers STATION_FOLDER INDEX ROUNDS
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "engine/contest.h"
#include "engine/settings_store.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: settings_writers STATION_FOLDER INDEX ROUNDS\n");
    return 2;
  }
  std::filesystem::current_path(argv[1]);
  const int index = std::stoi(argv[2]);
  const int rounds = std::stoi(argv[3]);
  static const char* const kKeys[] = {"Name", "Address", "Address-City", "Email", "Club", "Operators"};
  const std::string key = kKeys[index % 6];
  zorvant::Platform& platform = zorvant::SystemPlatform();
  // All start together: a Wine process takes a second or more to start, longer than a round.
  while (!platform.FileExists("go")) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  zorvant::SettingsStore settings(platform, zorvant::kSettingsFile, zorvant::kSettingsSection);
  int notSaved = 0;
  double slowest = 0;
  std::string last;
  for (int round = 0; round < rounds; ++round) {
    settings.NewPass();
    settings.Load();
    const std::string value = "writer " + std::to_string(index) + " round " + std::to_string(round);
    bool saved = true;
    for (const auto& values : {std::vector<std::pair<std::string, std::string>>{{key, value}},
                               std::vector<std::pair<std::string, std::string>>{{"Start", "0"}},
                               std::vector<std::pair<std::string, std::string>>{
                                   {"Claimed", std::to_string(index * 1000 + round)}}}) {
      const auto start = std::chrono::steady_clock::now();
      const zorvant::SettingsError error = settings.Write(values);
      const double took =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      if (took > slowest) slowest = took;
      if (error != zorvant::SettingsError::kNone) {
        saved = false;
        for (const std::string& line : settings.problems()) std::fprintf(stderr, "writer %d: %s\n", index, line.c_str());
      } else if (values[0].first == key) {
        last = value;
      }
    }
    notSaved += !saved;
  }
  settings.NewPass();
  const bool kept = last.empty() || settings.Load().Get(key, "") == last;
  std::printf("writer %d: %d rounds, %d not saved, slowest save %.0f ms, last value %s\n", index, rounds, notSaved,
              slowest, kept ? "kept" : "LOST");
  return 0;
}
