// The log robot under load: many entrants at once each send a real-sized log and confirm it, against a
// running `zorvant serve`; then the database is read to see that every receipt shown has its log.
//
// usage: zorvant_serve_load --port PORT --logs FOLDER --data DIR [--entrants N] [--host HOST]
// Prints one line: "serve ENTRANTS SECONDS UPLOAD_P50 UPLOAD_P95 UPLOAD_MAX CONFIRM_P50 CONFIRM_P95
// CONFIRM_MAX ANSWERED CONFIRMED LOST MEAN_BYTES" (times in seconds); exits 1 when an entrant got no answer
// or a confirmed log is missing.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "serve/store.h"
#include "tests/serve/entrant.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> args = {{"--host", "127.0.0.1"}, {"--entrants", "200"}};
  for (int i = 1; i + 1 < argc; i += 2) args[argv[i]] = argv[i + 1];
  if (!args.count("--port") || !args.count("--logs") || !args.count("--data")) {
    std::cerr
        << "usage: zorvant_serve_load --port PORT --logs FOLDER --data DIR [--entrants N] [--host HOST]\n";
    return 2;
  }
  const int port = std::stoi(args["--port"]);
  const std::size_t entrants = std::stoul(args["--entrants"]);

  std::vector<std::pair<std::string, std::string>> logs;  // file name, bytes
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(args["--logs"])) {
    if (entry.is_regular_file()) names.push_back(entry.path().string());
  }
  std::sort(names.begin(), names.end());
  for (std::size_t i = 0; i < names.size() && logs.size() < entrants; ++i) {
    std::ifstream in(names[i], std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    logs.emplace_back(std::filesystem::path(names[i]).filename().string(), bytes.str());
  }
  if (logs.size() < entrants) {
    std::cerr << "zorvant_serve_load: " << entrants << " entrants need as many logs; " << args["--logs"]
              << " has " << logs.size() << "\n";
    return 2;
  }

  struct Result {
    double upload = 0, confirm = 0;
    bool answered = false;
    std::string receipt;
  };
  std::vector<Result> results(entrants);
  std::mutex mutex;
  std::condition_variable go;
  bool started = false;
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < entrants; ++i) {
    threads.emplace_back([&, i] {
      serve::testing::Browser browser(args["--host"], port);
      browser.Get("/");  // the page first, as a person opens it, for the form's token
      {
        std::unique_lock<std::mutex> lock(mutex);
        go.wait(lock, [&] { return started; });
      }
      const auto sent = Clock::now();
      const serve::testing::Answer preview = browser.PostMultipart(
          "/upload", {{"log", logs[i].first, logs[i].second}, {"email", "", "load@example.org"}});
      const auto answered = Clock::now();
      Result& r = results[i];
      r.upload = Seconds(answered - sent);
      r.answered = preview.status == 200;
      if (!r.answered) {
        std::lock_guard<std::mutex> lock(mutex);
        std::cerr << "zorvant_serve_load: " << logs[i].first << ": answered " << preview.status << ": "
                  << serve::testing::ById(preview.body, "unfit") << "\n";
      }
      const std::string mark = "name=\"token\" value=\"";
      const std::size_t at = preview.body.find(mark);
      if (at == std::string::npos) return;
      const std::string token = preview.body.substr(at + mark.size(), 32);
      const serve::testing::Answer receipt = browser.Post("/confirm", {{"token", token}});
      r.confirm = Seconds(Clock::now() - answered);
      if (receipt.status == 200) r.receipt = serve::testing::ById(receipt.body, "receipt");
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // every entrant at the form
  const auto began = Clock::now();
  {
    std::lock_guard<std::mutex> lock(mutex);
    started = true;
  }
  go.notify_all();
  for (std::thread& t : threads) t.join();
  const double wall = Seconds(Clock::now() - began);

  std::vector<double> uploads, confirms;
  std::size_t answered = 0, confirmed = 0, bytes = 0;
  for (std::size_t i = 0; i < entrants; ++i) {
    uploads.push_back(results[i].upload);
    bytes += logs[i].second.size();
    if (results[i].answered) ++answered;
    if (!results[i].receipt.empty()) {
      ++confirmed;
      confirms.push_back(results[i].confirm);
    }
  }
  serve::Store store(args["--data"] + "/zorvant.db");
  std::map<std::string, bool> kept;
  for (const serve::Received& r : store.All()) kept[r.receipt] = true;
  std::size_t lost = 0;
  for (const Result& r : results) {
    if (!r.receipt.empty() && !kept.count(r.receipt)) ++lost;
  }
  std::printf("serve %zu %.3f %.3f %.3f %.3f %.3f %.3f %.3f %zu %zu %zu %zu\n", entrants, wall,
              Quantile(uploads, 0.5), Quantile(uploads, 0.95), Quantile(uploads, 1), Quantile(confirms, 0.5),
              Quantile(confirms, 0.95), Quantile(confirms, 1), answered, confirmed, lost, bytes / entrants);
  return answered == entrants && confirmed == entrants && lost == 0 ? 0 : 1;
}
