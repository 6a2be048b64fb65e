#include "serve/command.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <malloc.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <thread>

#include "cli/check.h"
#include "cli/run_options.h"
#include "cli/score.h"
#include "serve/connections.h"
#include "serve/robot.h"
#include "serve/scratch.h"
#include "serve/secrets.h"
#include "serve/store.h"

namespace serve {
namespace {

namespace fs = std::filesystem;

// A UTC time "YYYY-MM-DD HH:MM" as seconds since 1970; false for anything else.
bool ParseUtc(const std::string& text, std::int64_t* seconds) {
  int y, mo, d, h, mi;
  char tail;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d%c", &y, &mo, &d, &h, &mi, &tail) != 5) return false;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  const std::time_t t = timegm(&tm);
  // timegm carries an impossible day or hour into the next; such a time is not the one meant.
  if (tm.tm_year != y - 1900 || tm.tm_mon != mo - 1 || tm.tm_mday != d || tm.tm_hour != h ||
      tm.tm_min != mi) {
    return false;
  }
  *seconds = static_cast<std::int64_t>(t);
  return true;
}

bool ParseListen(const std::string& text, std::string* host, int* port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  std::string h = text.substr(0, colon);
  if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  int p = -1;
  char tail;
  if (std::sscanf(text.c_str() + colon + 1, "%d%c", &p, &tail) != 1 || p < 0 || p > 65535) return false;
  *host = h.empty() ? "0.0.0.0" : h;
  *port = p;
  return true;
}

// Holds the data folder for this process alone: two servers on one database would each think its answers
// and sessions the only ones.
class FolderLock {
 public:
  explicit FolderLock(const std::string& path)
      : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {}
  ~FolderLock() {
    if (fd_ >= 0) close(fd_);
  }
  bool Taken() const { return fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) == 0; }

 private:
  int fd_;
};

}  // namespace

void WidenBacklog(int port) {
  for (int fd = 3; fd < 1024; ++fd) {
    int listening = 0;
    socklen_t size = sizeof listening;
    if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || !listening) continue;
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) continue;
    const int bound = address.ss_family == AF_INET6
                          ? ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port)
                          : ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    if (bound == port) listen(fd, SOMAXCONN);
  }
}

std::string ServeHelp() {
  return "usage: zorvant serve --data DIR --start \"YYYY-MM-DD HH:MM\" [--listen ADDR:PORT]\n"
         "                     [--deadline \"YYYY-MM-DD HH:MM\"] [--key KEY] [--window MINUTES]\n"
         "                     [--end \"YYYY-MM-DD HH:MM\"] [--miscopy own|both]\n"
         "\n"
         "The contest sponsor's log robot: a web page where entrants send their Cabrillo or ADIF logs, see "
         "at once\n"
         "what the plug-in scores them (the report of zorvant score), confirm, and get a receipt. The "
         "sponsor\n"
         "lists the logs, runs the cross-check of zorvant check on them and publishes the results. "
         "Everything is\n"
         "kept in DIR/zorvant.db (SQLite), made on first start.\n"
         "\n"
         "options:\n"
         "  --data DIR                     the folder of the database (made when missing)\n"
         "  --start \"YYYY-MM-DD HH:MM\"     contest start, UTC, as zorvant score and zorvant check take it\n"
         "  --listen ADDR:PORT             where to answer (default: 127.0.0.1:8080; port 0 takes a free "
         "one)\n"
         "  --deadline \"YYYY-MM-DD HH:MM\"  UTC; later uploads are refused\n"
         "  --key KEY                      the sponsor's key, 12 characters or more, kept for later starts\n"
         "                                 (default: the kept one, or a new one on first start)\n"
         "  --window MINUTES               the cross-check's window (default: 3)\n"
         "  --end, --miscopy               the cross-check's contest period and what a miscopy costs, as\n"
         "                                 zorvant check takes them\n"
         "\n"
         "It prints the address and the sponsor's key, and runs until interrupted (Ctrl-C, SIGTERM).\n"
         "exit status: 0 stopped, 1 the data folder or the address cannot be had, 2 bad command line.\n";
}

bool ParseServeOptions(int argc, char** argv, int first, ServeOptions* out, std::string* error) {
  for (int i = first; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* into) { return cli::OptionValue(argc, argv, &i, into, error); };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      out->help = true;
    } else if (arg == "--data") {
      if (!value(&out->data)) return false;
    } else if (arg == "--start") {
      if (!value(&out->start)) return false;
    } else if (arg == "--deadline") {
      if (!value(&out->deadline)) return false;
      std::int64_t ignored;
      if (!ParseUtc(out->deadline, &ignored)) {
        *error = "--deadline wants \"YYYY-MM-DD HH:MM\" (UTC), got \"" + out->deadline + "\"";
        return false;
      }
    } else if (arg == "--listen") {
      if (!value(&text)) return false;
      if (!ParseListen(text, &out->host, &out->port)) {
        *error = "--listen wants ADDR:PORT (127.0.0.1:8080, [::1]:8080, :8080), got \"" + text + "\"";
        return false;
      }
    } else if (arg == "--key") {
      if (!value(&out->key)) return false;
      bool plain = out->key.size() >= 12;
      for (unsigned char c : out->key) plain = plain && c > ' ' && c < 0x7f;
      if (!plain) {
        *error = "--key wants 12 or more printable characters, no blanks";
        return false;
      }
    } else if (arg == "--window") {
      if (!value(&text) || !cli::ParseWindow(text, &out->window, error)) return false;
    } else if (cli::ParseRulesOption(argc, argv, &i, &out->end, &out->miscopyBoth, error)) {
    } else if (!error->empty()) {
      return false;
    } else {
      *error = "unknown option " + arg;
      return false;
    }
  }
  if (out->help) return true;
  if (out->data.empty()) {
    *error = "--data DIR is needed: the folder the logs are kept in";
    return false;
  }
  if (out->start.empty()) {
    *error = "--start \"YYYY-MM-DD HH:MM\" is needed: every log is scored from the same start";
    return false;
  }
  return true;
}

int RunServe(const ServeOptions& options, std::ostream& out, std::ostream& err) {
  cli::RunOptions startOnly;
  startOnly.start = options.start;
  RobotSettings settings;
  std::string error;
  if (!cli::ContestStart(startOnly, cli::LogFacts{}, &settings.start, &error)) {
    err << "zorvant: " << error << '\n';
    return cli::kBadUsage;
  }
  settings.startText = cli::StartText(settings.start);
  if (!options.deadline.empty()) {
    ParseUtc(options.deadline, &settings.deadline);
    settings.deadlineText = options.deadline;
  }
  settings.window = options.window;
  settings.rules.miscopyBoth = options.miscopyBoth;
  if (!cli::PeriodRules(settings.start, options.end, &settings.rules, &settings.endText, &error)) {
    err << "zorvant: " << error << '\n';
    return cli::kBadUsage;
  }
  settings.threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  settings.readersAtOnce = std::max(2, settings.threads);
  settings.now = [] {
    return static_cast<std::int64_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
  };

  std::error_code ec;
  fs::create_directories(options.data, ec);
  if (ec || !fs::is_directory(options.data)) {
    err << "zorvant: " << options.data << ": cannot be made a folder" << (ec ? ": " + ec.message() : "")
        << '\n';
    return cli::kUnreadableLog;
  }
  FolderLock lock(options.data + "/serve.lock");
  if (!lock.Taken()) {
    err << "zorvant: " << options.data << " is in use by another zorvant serve\n";
    return cli::kUnreadableLog;
  }
  settings.scratch = options.data + "/scratch";
  fs::create_directories(settings.scratch, ec);
  ClearScratch(settings.scratch);

  std::unique_ptr<Store> store;
  try {
    store = std::make_unique<Store>(options.data + "/zorvant.db");
    settings.sponsorKey = options.key.empty() ? store->Setting("sponsor_key") : options.key;
    if (settings.sponsorKey.empty()) settings.sponsorKey = RandomCode(24);
    if (settings.sponsorKey != store->Setting("sponsor_key"))
      store->SetSetting("sponsor_key", settings.sponsorKey);
  } catch (const std::exception& e) {
    err << "zorvant: " << e.what() << '\n';
    return cli::kUnreadableLog;
  }

  // Each worker thread would get an allocator arena of its own, each keeping what a large log left freed:
  // two arenas hold the memory bound the robot's answers are counted against.
  mallopt(M_ARENA_MAX, 2);
  Robot robot(*store, settings);
  // Each connection holds a worker while it is open: requests held to deadlines and client addresses to a
  // few connections each keep slow or idle clients from holding them all.
  RobotServer server;
  robot.Mount(server);

  int port = options.port;
  if (port == 0) {
    port = server.bind_to_any_port(options.host);
  } else if (!server.bind_to_port(options.host, port)) {
    port = -1;
  }
  if (port < 0) {
    err << "zorvant: cannot listen on " << options.host << ":" << options.port << '\n';
    return cli::kUnreadableLog;
  }

  WidenBacklog(port);

  // Interrupts are taken by one thread of their own, which stops the server: every other thread, the
  // server's included, is started with them blocked.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  signal(SIGPIPE, SIG_IGN);
  std::thread waiter([&] {
    int got = 0;
    sigwait(&stops, &got);
    server.stop();
  });

  const std::string host =
      options.host.find(':') != std::string::npos ? "[" + options.host + "]" : options.host;
  out << "zorvant serve: listening on http://" << host << ":" << port << "/\n"
      << "zorvant serve: the sponsor's key: " << settings.sponsorKey << "\n"
      << "zorvant serve: logs kept in " << options.data << "/zorvant.db; contest start " << settings.startText
      << " UTC" << (settings.deadlineText.empty() ? "" : ", deadline " + settings.deadlineText + " UTC")
      << "\n"
      << std::flush;
  const bool listened = server.listen_after_bind();
  pthread_kill(waiter.native_handle(), SIGTERM);  // wakes the waiter if the server stopped by itself
  waiter.join();
  out << "zorvant serve: stopped\n" << std::flush;
  return listened ? cli::kScored : cli::kUnreadableLog;
}

int ServeMain(int argc, char** argv) {
  ServeOptions options;
  std::string error;
  if (!ParseServeOptions(argc, argv, 2, &options, &error)) {
    std::cerr << "zorvant: " << error << " (zorvant serve --help)\n";
    return cli::kBadUsage;
  }
  if (options.help) {
    std::cout << ServeHelp();
    return cli::kScored;
  }
  return RunServe(options, std::cout, std::cerr);
}

}  // namespace serve
