#include "tests/serve/entrant.h"

#include <httplib.h>

namespace serve::testing {
namespace {

Answer From(const httplib::Result& result) {
  Answer answer;
  if (!result) return answer;
  answer.status = result->status;
  answer.body = result->body;
  for (const auto& [name, value] : result->headers) answer.headers.emplace(name, value);
  return answer;
}

std::string HiddenValue(const std::string& page, const std::string& name) {
  const std::string mark = "name=\"" + name + "\" value=\"";
  const std::size_t at = page.find(mark);
  if (at == std::string::npos) return "";
  const std::size_t begin = at + mark.size();
  return Unescape(page.substr(begin, page.find('"', begin) - begin));
}

}  // namespace

Browser::Browser(std::string host, int port) : host_(std::move(host)), port_(port) {}

std::string Browser::CookieHeader() const {
  std::string header;
  for (const auto& [name, value] : cookies) header += (header.empty() ? "" : "; ") + name + "=" + value;
  return header;
}

void Browser::Remember(const Answer& answer) {
  auto range = answer.headers.equal_range("Set-Cookie");
  for (auto it = range.first; it != range.second; ++it) {
    const std::string& line = it->second;
    const std::size_t eq = line.find('='), end = line.find(';');
    const std::string name = line.substr(0, eq), value = line.substr(eq + 1, end - eq - 1);
    if (line.find("Max-Age=0") != std::string::npos) {
      cookies.erase(name);
    } else {
      cookies[name] = value;
    }
  }
}

Answer Browser::Get(const std::string& path) {
  httplib::Client client(host_, port_);
  client.set_read_timeout(120);
  httplib::Headers headers = {{"Cookie", CookieHeader()}};
  if (!acceptLanguage.empty()) headers.emplace("Accept-Language", acceptLanguage);
  if (!forwardedFor.empty()) headers.emplace("X-Forwarded-For", forwardedFor);
  Answer answer = From(client.Get(path.c_str(), headers));
  Remember(answer);
  return answer;
}

Answer Browser::Post(const std::string& path, std::vector<std::pair<std::string, std::string>> fields) {
  httplib::Client client(host_, port_);
  client.set_read_timeout(120);
  httplib::Params params;
  bool token = false;
  for (const auto& [name, value] : fields) {
    params.emplace(name, value);
    token = token || name == "csrf";
  }
  if (!token) params.emplace("csrf", cookies["zv_csrf"]);
  httplib::Headers headers = {{"Cookie", CookieHeader()}};
  if (!acceptLanguage.empty()) headers.emplace("Accept-Language", acceptLanguage);
  if (!forwardedFor.empty()) headers.emplace("X-Forwarded-For", forwardedFor);
  Answer answer = From(client.Post(path.c_str(), headers, params));
  Remember(answer);
  return answer;
}

Answer Browser::PostMultipart(const std::string& path, std::vector<Part> parts) {
  httplib::Client client(host_, port_);
  client.set_read_timeout(120);
  client.set_write_timeout(120);
  httplib::MultipartFormDataItems items;
  bool token = false;
  for (const Part& part : parts) {
    items.push_back(
        {part.name, part.content, part.fileName, part.fileName.empty() ? "" : "application/octet-stream"});
    token = token || part.name == "csrf";
  }
  if (!token) items.push_back({"csrf", cookies["zv_csrf"], "", ""});
  httplib::Headers headers = {{"Cookie", CookieHeader()}};
  if (!acceptLanguage.empty()) headers.emplace("Accept-Language", acceptLanguage);
  if (!forwardedFor.empty()) headers.emplace("X-Forwarded-For", forwardedFor);
  Answer answer = From(client.Post(path.c_str(), headers, items));
  Remember(answer);
  return answer;
}

std::string Unescape(const std::string& text) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  std::string out = text;
  for (const auto& [entity, plain] : kEntities) {
    for (std::size_t at = out.find(entity); at != std::string::npos; at = out.find(entity, at + 1)) {
      out.replace(at, std::string(entity).size(), plain);
    }
  }
  return out;
}

std::string ById(const std::string& page, const std::string& id) {
  const std::size_t at = page.find("id=\"" + id + "\"");
  if (at == std::string::npos) return "";
  const std::size_t open = page.find('>', at);
  const std::size_t tagStart = page.rfind('<', at);
  const std::string tag = page.substr(tagStart + 1, page.find_first_of(" >", tagStart) - tagStart - 1);
  // The element ends at its own closing tag; the elements these tests read hold none of their own kind.
  const std::size_t close = page.find("</" + tag + ">", open);
  std::string inner = page.substr(open + 1, close - open - 1), text;
  bool inTag = false;
  for (char c : inner) {
    if (c == '<') inTag = true;
    if (!inTag) text += c;
    if (c == '>') inTag = false;
  }
  return Unescape(text);
}

Visit SendLog(Browser& browser, const std::string& fileName, const std::string& log, const std::string& email,
              bool confirm, const std::string& code) {
  Visit visit;
  if (browser.Get("/").status != 200) return visit;
  std::vector<Browser::Part> parts = {{"log", fileName, log}, {"email", "", email}};
  if (!code.empty()) parts.push_back({"receipt", "", code});
  visit.preview = browser.PostMultipart("/upload", parts);
  visit.token = HiddenValue(visit.preview.body, "token");
  if (!confirm || visit.token.empty()) return visit;
  visit.receipt = browser.Post("/confirm", {{"token", visit.token}});
  visit.receiptCode = ById(visit.receipt.body, "receipt");
  return visit;
}

}  // namespace serve::testing
