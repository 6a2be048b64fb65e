// The robot's HTTP server with a hold on each connection that the library leaves open: a request must come
// in whole by a deadline (its head soon, its body at a least rate), and one client address keeps a bounded
// number of connections, so that slow or idle clients hold a bounded part of the workers and the rest
// answer everyone else. Anything a request throws past the handlers closes its connection with a log line.
#ifndef ZORVANT_SERVE_CONNECTIONS_H_
#define ZORVANT_SERVE_CONNECTIONS_H_

#include <httplib.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace serve {

struct ConnectionLimits {
  int workers = 32;     // connections served at once; more wait in the queue
  int perAddress = 8;   // connections one client address holds at once (a web server in front is exempt)
  int graceMs = 10000;  // for a request's head, and the slack of its body's rate
  std::size_t leastBytesPerSecond = 8192;  // a request slower than this on average past the grace is cut
  int keepAliveMs = 2000;                  // for the next request on a connection
  int writeMs = 30000;                     // for a reader that takes nothing of the answer
  int requestsPerConnection = 100;
};

class RobotServer : public httplib::Server {
 public:
  explicit RobotServer(ConnectionLimits limits = {});

  // A peer's address as the bound counts it ("::ffff:1.2.3.4" is 1.2.3.4); "" when it has none.
  static std::string PeerAddress(int socket);

 private:
  bool process_and_close_socket(int sock) override;
  bool Serve(int sock);

  const ConnectionLimits limits_;
  std::mutex mutex_;
  std::map<std::string, int> open_;  // GUARDED_BY(mutex_), connections by address
};

}  // namespace serve

#endif  // ZORVANT_SERVE_CONNECTIONS_H_
