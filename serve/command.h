// `zorvant serve`: the sponsor's log robot as one process.
#ifndef ZORVANT_SERVE_COMMAND_H_
#define ZORVANT_SERVE_COMMAND_H_

#include <ostream>
#include <string>

namespace serve {

struct ServeOptions {
  std::string data;                // the folder of the database, made when missing
  std::string start;               // "YYYY-MM-DD HH:MM", required
  std::string deadline;            // the same, or "" for none
  std::string host = "127.0.0.1";  // where to listen; behind a web server, the loopback
  int port = 8080;                 // 0: any free port
  std::string key;                 // the sponsor's key; "" keeps the stored one (made on first start)
  int window = 3;
  std::string end;           // the contest period's end, "YYYY-MM-DD HH:MM", or "" for none
  bool miscopyBoth = false;  // a busted call or serial costs both sides
  bool help = false;
};

// Parses argv[first..argc). False with a one-line reason for anything it does not understand.
bool ParseServeOptions(int argc, char** argv, int first, ServeOptions* out, std::string* error);

// The HTTP library listens with a backlog of 5 connections: when many entrants send at once, the rest of
// their connections would be dropped by the kernel before the server takes them. listen() again on the
// same socket raises the backlog; the socket is the one listening on `port`.
void WidenBacklog(int port);

std::string ServeHelp();

// Runs until SIGINT or SIGTERM. Prints the address and the sponsor's key to `out` once it listens. Returns
// an exit code of cli/score.h's: 1 when the data folder or the address cannot be had.
int RunServe(const ServeOptions& options, std::ostream& out, std::ostream& err);

// The command line's entry: argv[1] is "serve".
int ServeMain(int argc, char** argv);

}  // namespace serve

#endif  // ZORVANT_SERVE_COMMAND_H_
