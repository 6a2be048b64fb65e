// A log robot on a loopback port inside the test process, over a database in a folder of its own, with a
// clock the test sets.
#ifndef ZORVANT_TESTS_SERVE_ROBOT_FIXTURE_H_
#define ZORVANT_TESTS_SERVE_ROBOT_FIXTURE_H_

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "serve/command.h"
#include "serve/connections.h"
#include "serve/robot.h"
#include "serve/store.h"
#include "tests/serve/entrant.h"

extern char** environ;

namespace serve::testing {

inline std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(ZORVANT_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The bundled log under another station's call.
inline std::string SampleOf(const std::string& call) {
  std::string log = ReadSource("data/sample-contest.adi");
  const std::string from = "<STATION_CALLSIGN:6>UA3XYZ",
                    to = "<STATION_CALLSIGN:" + std::to_string(call.size()) + ">" + call;
  for (std::size_t at = log.find(from); at != std::string::npos; at = log.find(from, at + to.size())) {
    log.replace(at, from.size(), to);
  }
  return log;
}

inline std::string NewFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zorvant-serve-XXXXXX").string();
  if (!mkdtemp(&pattern[0])) throw std::runtime_error("no temporary folder");
  return pattern;
}

// 2026-03-14 14:00 UTC, the bundled log's start.
constexpr std::int64_t kContestStart = 1773496800;

// `zorvant serve` on a free port, with `more` on its command line, its first line read for the port.
class ServerProcess {
 public:
  explicit ServerProcess(const std::string& folder, const std::vector<std::string>& more = {}) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> args = {ZORVANT_COMMAND,    "serve",    "--data",      folder,  "--start",
                                     "2026-03-14 14:00", "--listen", "127.0.0.1:0", "--key", kKey};
    args.insert(args.end(), more.begin(), more.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, ZORVANT_COMMAND, &actions, nullptr, argv.data(), environ) != 0) {
      throw std::runtime_error("zorvant cannot be started");
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);  // the server's later lines go nowhere; it ignores the broken pipe
    const std::size_t colon = line.rfind(':');
    port = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
  }
  ~ServerProcess() { Kill(); }

  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

  static constexpr const char* kKey = "a-key-for-the-test-server";
  int port = 0;

 private:
  pid_t pid_ = 0;
};

class RobotTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(); }
  void TearDown() override {
    Stop();
    std::filesystem::remove_all(folder_);
  }

  // The server afresh with these settings, over the same database.
  void Start(std::int64_t deadline = -1, std::size_t maxLogBytes = 1u << 20) {
    if (folder_.empty()) folder_ = NewFolder();
    std::filesystem::create_directories(folder_ + "/scratch");
    store = std::make_unique<Store>(folder_ + "/zorvant.db");
    RobotSettings settings;
    settings.start = {2026, 3, 14, 14, 0, 0};
    settings.startText = "2026-03-14 14:00";
    settings.deadline = deadline;
    settings.deadlineText = deadline >= 0 ? Robot::TimeText(deadline).substr(0, 16) : "";
    settings.maxLogBytes = maxLogBytes;
    settings.scratch = folder_ + "/scratch";
    settings.sponsorKey = kKey;
    settings.threads = 2;
    settings.now = [this] { return clock.load(); };
    if (tune) tune(settings);
    robot = std::make_unique<Robot>(*store, settings);
    server = std::make_unique<RobotServer>(limits);
    robot->Mount(*server);
    port = server->bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    WidenBacklog(port);  // as zorvant serve does
    listener = std::thread([this] { server->listen_after_bind(); });
    // A stop before the server runs would be lost, and the listener never end.
    while (!server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  void Stop() {
    if (!server) return;
    server->stop();
    listener.join();
    server.reset();
    robot.reset();
    store.reset();
  }

  Browser NewBrowser() { return Browser("127.0.0.1", port); }
  std::string DatabasePath() const { return folder_ + "/zorvant.db"; }
  std::string ScratchPath() const { return folder_ + "/scratch"; }

  // A browser that has entered the sponsor's pages.
  Browser Sponsor() {
    Browser sponsor = NewBrowser();
    sponsor.Get("/sponsor");
    EXPECT_EQ(sponsor.Post("/sponsor/login", {{"key", kKey}}).status, 303);
    return sponsor;
  }

  static constexpr const char* kKey = "the-sponsors-own-key";
  // Changes the settings of the next Start.
  std::function<void(RobotSettings&)> tune;
  ConnectionLimits limits;
  std::atomic<std::int64_t> clock{kContestStart + 6 * 3600};
  std::unique_ptr<Store> store;
  std::unique_ptr<Robot> robot;
  std::unique_ptr<httplib::Server> server;
  std::thread listener;
  int port = 0;

 private:
  std::string folder_;
};

}  // namespace serve::testing

#endif  // ZORVANT_TESTS_SERVE_ROBOT_FIXTURE_H_
