// The log robot's web side: the routes of the entrants' and the sponsor's pages on an HTTP server, and what
// lives between requests (answers waiting for their confirmation, the sponsor's sessions).
#ifndef ZORVANT_SERVE_ROBOT_H_
#define ZORVANT_SERVE_ROBOT_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "serve/pages.h"
#include "serve/preview.h"
#include "serve/publish.h"
#include "serve/store.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace serve {

struct RobotSettings {
  logs::QsoTime start{};
  std::string startText;       // "YYYY-MM-DD HH:MM"
  std::int64_t deadline = -1;  // UTC seconds since 1970; -1 for none
  std::string deadlineText;    // "YYYY-MM-DD HH:MM"
  int window = 3;
  check::Rules rules;   // the cross-check's contest period and miscopy rule (its window is `window`)
  std::string endText;  // the period's end, "YYYY-MM-DD HH:MM", or ""
  int threads = 1;      // for the cross-check
  std::size_t maxLogBytes = 5u << 20;
  std::string scratch;  // a folder of the server's own for scoring
  std::string sponsorKey;
  // Memory for answers waiting for their confirmation, in all and for one client address (an address over
  // its share gives up its own oldest answers; a full robot answers "busy"), and how many logs are read at
  // once (each holds its body and its answer while it is read).
  std::size_t answerBytes = 256u << 20;
  std::size_t answerShare = 32u << 20;
  int readersAtOnce = 4;
  // The clock, UTC seconds since 1970: tests move it past the deadline.
  std::function<std::int64_t()> now;
};

class Robot {
 public:
  Robot(Store& store, RobotSettings settings);
  ~Robot();

  // Routes, limits and error pages on `server`.
  void Mount(httplib::Server& server);

  // "YYYY-MM-DD HH:MM:SS" of a time.
  static std::string TimeText(std::int64_t seconds);

  // The client's address: the peer's, or what a web server on this machine in front of the robot forwards.
  static std::string ClientAddress(const httplib::Request& req);

 private:
  struct Pending;
  struct Session;
  struct Guesses;

  PageContext Context(const httplib::Request& req, httplib::Response& res, const std::string& here);
  bool FormTokenGood(const httplib::Request& req);
  bool IsSponsor(const httplib::Request& req);
  bool Closed(std::int64_t at) const;
  ContestFacts Facts() const;
  Period ContestPeriod() const;  // as the check it publishes takes it
  void Send(httplib::Response& res, int status, const std::string& html);

  void Upload(const httplib::Request& req, httplib::Response& res);
  void Confirm(const httplib::Request& req, httplib::Response& res);
  void Status(const httplib::Request& req, httplib::Response& res);
  void SponsorHome(const httplib::Request& req, httplib::Response& res, const std::string& message);
  void SponsorLogin(const httplib::Request& req, httplib::Response& res);
  void SponsorLogout(const httplib::Request& req, httplib::Response& res);
  void SponsorPublish(const httplib::Request& req, httplib::Response& res);
  void SponsorAccept(const httplib::Request& req, httplib::Response& res);
  void SponsorRelease(const httplib::Request& req, httplib::Response& res);
  void SponsorZip(const httplib::Request& req, httplib::Response& res);
  void SponsorCsv(const httplib::Request& req, httplib::Response& res);
  void Error(const httplib::Request& req, httplib::Response& res);

  // Keeps an answer until it is confirmed or expires; returns its token, or nothing when the memory for
  // answers is full.
  std::optional<std::string> Keep(std::shared_ptr<const Preview> preview, const std::string& email,
                                  const std::string& remote, const std::string& address,
                                  const std::string& code);
  void Expire();                // REQUIRES: mutex_ held
  void Release(Pending& held);  // REQUIRES: mutex_ held; the answer's memory given back

  Store& store_;
  const RobotSettings settings_;

  std::mutex mutex_;
  std::condition_variable stored_;                           // a confirmation finished
  std::map<std::string, std::unique_ptr<Pending>> pending_;  // GUARDED_BY(mutex_), by token
  std::deque<std::string> pendingOrder_;                     // GUARDED_BY(mutex_), the oldest first
  std::size_t pendingBytes_ = 0;                             // GUARDED_BY(mutex_)
  std::map<std::string, std::size_t> heldBy_;                // GUARDED_BY(mutex_), bytes by address
  int reading_ = 0;                                          // GUARDED_BY(mutex_), logs being read
  std::condition_variable readerFree_;
  std::map<std::string, std::int64_t> sessions_;  // GUARDED_BY(mutex_), session -> expiry
  std::map<std::string, Guesses> guesses_;        // GUARDED_BY(mutex_), wrong keys by address
  std::mutex publishing_;                         // one check at a time
};

}  // namespace serve

#endif  // ZORVANT_SERVE_ROBOT_H_
