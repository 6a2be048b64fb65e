// A browser's part in talking to the log robot, for the tests and the load test: it keeps the cookies the
// server sets, sends each form with the token the pages carry, and reads back what the pages show.
#ifndef ZORVANT_TESTS_SERVE_ENTRANT_H_
#define ZORVANT_TESTS_SERVE_ENTRANT_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace serve::testing {

struct Answer {
  int status = 0;  // 0: no answer at all (the connection failed)
  std::string body;
  std::multimap<std::string, std::string> headers;
};

class Browser {
 public:
  Browser(std::string host, int port);

  Answer Get(const std::string& path);
  // A urlencoded form; the CSRF token is added unless the fields hold one.
  Answer Post(const std::string& path, std::vector<std::pair<std::string, std::string>> fields);
  // A multipart form: each item is name, file name ("" for a plain field), content.
  struct Part {
    std::string name, fileName, content;
  };
  Answer PostMultipart(const std::string& path, std::vector<Part> parts);

  std::map<std::string, std::string> cookies;
  std::string acceptLanguage;
  // Sent as X-Forwarded-For: the client a web server in front would name.
  std::string forwardedFor;

 private:
  void Remember(const Answer& answer);
  std::string CookieHeader() const;

  std::string host_;
  int port_;
};

// The text of the first element with id="ID", tags inside it dropped; "" when there is none.
std::string ById(const std::string& page, const std::string& id);

// An entrant's whole visit: the upload page, the log sent (with the receipt code of an earlier version, when
// one is given), and, when `confirm`, the confirmation.
struct Visit {
  Answer preview;  // the answer to the upload
  Answer receipt;  // the answer to the confirmation (status 0 when not confirmed)
  std::string token, receiptCode;
};
Visit SendLog(Browser& browser, const std::string& fileName, const std::string& log, const std::string& email,
              bool confirm, const std::string& code = "");

// `text` with the entities the pages write turned back into characters.
std::string Unescape(const std::string& text);

}  // namespace serve::testing

#endif  // ZORVANT_TESTS_SERVE_ENTRANT_H_
