#include "serve/robot.h"

#include <httplib.h>
#include <malloc.h>

#include <cctype>
#include <chrono>
#include <ctime>
#include <iostream>

#include "check/entries.h"
#include "serve/categories.h"
#include "serve/secrets.h"
#include "serve/zip.h"

namespace serve {
namespace {

// An answer waits this long for its confirmation.
constexpr std::int64_t kAnswerSeconds = 3600;
// When the answers' memory is full, a client is asked to come back after this long.
constexpr int kBusySeconds = 60;
constexpr std::int64_t kSessionSeconds = 12 * 3600;
constexpr std::size_t kTokenLength = 32;  // about 158 bits
// Calls in this many logs are worth asking for theirs.
constexpr int kMissingAtLeast = 2;
// Wrong sponsor's keys from one address: a few typos cost nothing, then each waits twice as long as the one
// before, and the tenth locks the address out; an address forgets after an hour without a wrong key. A
// guesser gets about ten tries in a quarter of an hour instead of thousands a second.
constexpr int kFreeGuesses = 3, kLockoutAfter = 10;
constexpr std::int64_t kLockoutSeconds = 15 * 60, kGuessMemory = 3600;
constexpr std::size_t kGuessAddresses = 10000;  // addresses remembered at once

// The pages load nothing but their style sheet and post nowhere but here.
std::string ContentPolicy() {
  return "default-src 'none'; style-src 'self'; img-src 'self'; form-action 'self'; frame-ancestors 'none'; "
         "base-uri 'none'";
}

std::string Cookie(const httplib::Request& req, const std::string& name) {
  const std::string header = req.get_header_value("Cookie");
  std::size_t pos = 0;
  while (pos < header.size()) {
    std::size_t end = header.find(';', pos);
    if (end == std::string::npos) end = header.size();
    const std::string item = Trimmed(header.substr(pos, end - pos));
    pos = end + 1;
    if (item.size() > name.size() && item.compare(0, name.size(), name) == 0 && item[name.size()] == '=') {
      return item.substr(name.size() + 1);
    }
  }
  return "";
}

// A token of ours: anything else a browser sends in its place is ignored.
bool LooksLikeToken(const std::string& text) {
  if (text.size() != kTokenLength) return false;
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// A form's field, from a multipart body or a urlencoded one.
std::string Field(const httplib::Request& req, const std::string& name) {
  if (req.has_file(name)) return req.get_file_value(name).content;
  return req.get_param_value(name);
}

// A receipt code as typed: its letters and digits, in capitals (the codes have no others), bounded.
std::string ReceiptCode(const std::string& typed) {
  std::string code;
  for (char c : typed) {
    if (std::isalnum(static_cast<unsigned char>(c)) && code.size() < 40) {
      code += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  return code;
}

bool Https(const httplib::Request& req) { return req.get_header_value("X-Forwarded-Proto") == "https"; }

void SetCookie(const httplib::Request& req, httplib::Response& res, const std::string& name,
               const std::string& value, const char* sameSite, const std::string& extra = "") {
  res.set_header("Set-Cookie", name + "=" + value + "; Path=/; HttpOnly; SameSite=" + sameSite + extra +
                                   (Https(req) ? "; Secure" : ""));
}

bool PlausibleEmail(const std::string& email) {
  const std::size_t at = email.find('@');
  if (email.size() < 3 || email.size() > 254 || at == 0 || at == std::string::npos ||
      at + 1 == email.size() || email.find('@', at + 1) != std::string::npos) {
    return false;
  }
  for (unsigned char c : email) {
    if (c <= ' ' || c == 0x7f || c == '<' || c == '>' || c == '"' || c == '\'' || c == ',' || c == ';')
      return false;
  }
  return true;
}

std::string TooManyVersions(const PageContext& page, const std::string& call) {
  return MessagePage(page, Text(page.lang, "error.title"),
                     Say(page.lang, "error.toomany", {call, std::to_string(kMaxVersions)}));
}

// A content provider runs after the headers went out, where no handler catches: what it throws is logged
// and ends the answer (the connection closes, so the reader sees it cut short) rather than the process.
httplib::ContentProviderWithoutLength Guarded(const std::string& what,
                                              httplib::ContentProviderWithoutLength provider) {
  return [what, provider = std::move(provider)](std::size_t offset, httplib::DataSink& sink) {
    try {
      return provider(offset, sink);
    } catch (const std::exception& e) {
      std::cerr << "zorvant serve: " << what << ": " << e.what() << std::endl;
    } catch (...) {
      std::cerr << "zorvant serve: " << what << ": an unknown error" << std::endl;
    }
    return false;
  };
}

// The upload form's categories into `chosen`, each in the standard's spelling; the words of the error when
// one holds a value the form never offers.
std::string ChooseCategories(const httplib::Request& req, Lang lang, ChosenCategories& chosen) {
  for (const Category& category : Categories()) {
    std::string name = category.tag;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string value = Upper(Trimmed(Field(req, name)));
    if (value.empty()) continue;
    if (!KnownValue(category, value)) return Say(lang, "error.category", {category.tag, value.substr(0, 40)});
    chosen.emplace_back(category.tag, value);
  }
  return "";
}

std::string RemoteOf(const httplib::Request& req) {
  std::string remote = req.remote_addr;
  const std::string forwarded = req.get_header_value("X-Forwarded-For");
  if (!forwarded.empty()) remote += " (for " + forwarded.substr(0, 200) + ")";
  return remote;
}

}  // namespace

struct Robot::Guesses {
  int failures = 0;
  std::int64_t wait = 0;  // no key is taken before this
  std::int64_t last = 0;  // the last wrong one
};

std::string Robot::ClientAddress(const httplib::Request& req) {
  const std::string& peer = req.remote_addr;
  const std::string forwarded = req.get_header_value("X-Forwarded-For");
  if (forwarded.empty() || (peer != "127.0.0.1" && peer != "::1" && peer != "::ffff:127.0.0.1")) return peer;
  // The last address is the one the web server saw; any before it the client could have written itself.
  const std::size_t comma = forwarded.rfind(',');
  return Trimmed(comma == std::string::npos ? forwarded : forwarded.substr(comma + 1)).substr(0, 64);
}

struct Robot::Pending {
  std::shared_ptr<const Preview> preview;  // null once stored
  std::string email, remote, address;
  std::string code;  // the receipt code of an earlier version, as given with the log or on confirming
  std::int64_t created = 0;
  std::size_t bytes = 0;
  bool storing = false;
  std::optional<Received> receipt;
  std::string unsure;  // the receipt code of a store whose outcome could not be told
};

Robot::Robot(Store& store, RobotSettings settings) : store_(store), settings_(std::move(settings)) {}

Robot::~Robot() = default;

std::string Robot::TimeText(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

bool Robot::Closed(std::int64_t at) const { return settings_.deadline >= 0 && at >= settings_.deadline; }

ContestFacts Robot::Facts() const {
  ContestFacts facts;
  facts.start = settings_.startText;
  facts.end = settings_.endText;
  facts.deadline = settings_.deadlineText;
  facts.closed = Closed(settings_.now());
  facts.maxMegabytes = settings_.maxLogBytes >> 20;
  return facts;
}

Period Robot::ContestPeriod() const {
  Period period;
  period.start = check::SecondsOf(settings_.start);
  period.end = settings_.rules.end;
  return period;
}

PageContext Robot::Context(const httplib::Request& req, httplib::Response& res, const std::string& here) {
  PageContext page;
  page.here = here;
  const std::string asked = req.get_param_value("lang");
  const std::string kept = Cookie(req, "zv_lang");
  if (asked == "ru" || asked == "en") {
    page.lang = asked == "ru" ? Lang::kRussian : Lang::kEnglish;
    SetCookie(req, res, "zv_lang", asked, "Lax", "; Max-Age=31536000");
  } else if (kept == "ru" || kept == "en") {
    page.lang = kept == "ru" ? Lang::kRussian : Lang::kEnglish;
  } else {
    page.lang = FromAcceptLanguage(req.get_header_value("Accept-Language"));
  }
  page.csrf = Cookie(req, "zv_csrf");
  if (!LooksLikeToken(page.csrf)) {
    page.csrf = RandomCode(kTokenLength);
    SetCookie(req, res, "zv_csrf", page.csrf, "Lax");
  }
  return page;
}

bool Robot::FormTokenGood(const httplib::Request& req) {
  const std::string cookie = Cookie(req, "zv_csrf");
  return LooksLikeToken(cookie) && SameSecret(cookie, Field(req, "csrf"));
}

bool Robot::IsSponsor(const httplib::Request& req) {
  const std::string session = Cookie(req, "zv_sponsor");
  if (!LooksLikeToken(session)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = sessions_.find(session);
  return found != sessions_.end() && found->second > settings_.now();
}

void Robot::Send(httplib::Response& res, int status, const std::string& html) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(html, "text/html; charset=utf-8");
}

void Robot::Release(Pending& held) {
  if (!held.preview) return;
  held.preview.reset();
  pendingBytes_ -= held.bytes;
  const auto mine = heldBy_.find(held.address);
  if (mine != heldBy_.end() && (mine->second -= held.bytes) == 0) heldBy_.erase(mine);
}

void Robot::Expire() {
  const std::int64_t now = settings_.now();
  while (!pendingOrder_.empty()) {
    const auto it = pending_.find(pendingOrder_.front());
    if (it == pending_.end()) {
      pendingOrder_.pop_front();
      continue;
    }
    if (it->second->created + kAnswerSeconds >= now || it->second->storing) break;
    Release(*it->second);
    pending_.erase(it);
    pendingOrder_.pop_front();
  }
}

std::optional<std::string> Robot::Keep(std::shared_ptr<const Preview> preview, const std::string& email,
                                       const std::string& remote, const std::string& address,
                                       const std::string& code) {
  auto pending = std::make_unique<Pending>();
  pending->bytes =
      Footprint(*preview) + sizeof(Pending) + email.size() + remote.size() + address.size() + code.size();
  pending->preview = std::move(preview);
  pending->email = email;
  pending->code = code;
  pending->remote = remote;
  pending->address = address;
  pending->created = settings_.now();
  const std::size_t bytes = pending->bytes;
  const std::string token = RandomCode(kTokenLength);
  std::lock_guard<std::mutex> lock(mutex_);
  Expire();
  // An address over its share gives up its own oldest answers, never another's: a log sent again makes
  // the answer to the earlier one moot. One answer is always let in, however large.
  auto held = [&] {
    const auto mine = heldBy_.find(address);
    return mine == heldBy_.end() ? std::size_t{0} : mine->second;
  };
  for (auto it = pendingOrder_.begin();
       held() > 0 && held() + bytes > settings_.answerShare && it != pendingOrder_.end();) {
    const auto found = pending_.find(*it);
    if (found == pending_.end()) {
      it = pendingOrder_.erase(it);
    } else if (found->second->address == address && found->second->preview && !found->second->storing) {
      Release(*found->second);
      pending_.erase(found);
      it = pendingOrder_.erase(it);
    } else {
      ++it;
    }
  }
  if ((held() > 0 && held() + bytes > settings_.answerShare) ||
      pendingBytes_ + bytes > settings_.answerBytes) {
    return std::nullopt;
  }
  pendingBytes_ += bytes;
  heldBy_[address] += bytes;
  pending_.emplace(token, std::move(pending));
  pendingOrder_.push_back(token);
  return token;
}

void Robot::Upload(const httplib::Request& req, httplib::Response& res) {
  PageContext page = Context(req, res, "/");
  const Lang lang = page.lang;
  const ContestFacts facts = Facts();
  const std::string email = Trimmed(Field(req, "email"));
  const std::string pasted = Field(req, "text");
  // Every answer that turns the form away gives back what was typed into it; a form sent with a stale
  // token comes back with the page's own, so pasting the log again is never the price of an old page.
  UploadForm typed;
  typed.text = pasted;
  typed.email = email;
  typed.receipt = ReceiptCode(Field(req, "receipt"));
  const std::string badCategory = ChooseCategories(req, lang, typed.categories);
  if (!FormTokenGood(req))
    return Send(res, 403, UploadPage(page, facts, Say(lang, "error.csrfagain"), typed));
  if (facts.closed) return Send(res, 403, UploadPage(page, facts, "", email));

  const httplib::MultipartFormData file = req.get_file_value("log");
  const bool hasFile = !file.content.empty(), hasText = !Trimmed(pasted).empty();
  std::string message;
  if (hasFile && hasText) {
    message = Say(lang, "error.both");
  } else if (!hasFile && !hasText) {
    message = Say(lang, "error.nolog");
  } else if (!PlausibleEmail(email)) {
    message = Say(lang, "error.email");
  } else {
    message = badCategory;
  }
  if (!message.empty()) return Send(res, 400, UploadPage(page, facts, message, typed));
  if ((hasFile ? file.content : pasted).size() > settings_.maxLogBytes) {
    return Send(
        res, 413,
        UploadPage(page, facts, Say(lang, "error.toolarge", {std::to_string(facts.maxMegabytes)}), typed));
  }

  PreviewSettings how;
  how.start = settings_.start;
  how.startText = settings_.startText;
  how.period = ContestPeriod();
  how.scratch = settings_.scratch;
  how.chosen = typed.categories;
  // A full robot says so before the work of reading: the answer would hold at least the log's bytes.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Expire();
    if (pendingBytes_ + (hasFile ? file.content : pasted).size() > settings_.answerBytes) {
      res.set_header("Retry-After", std::to_string(kBusySeconds));
      return Send(res, 503, UploadPage(page, facts, Say(lang, "error.busy"), typed));
    }
  }
  // Reading is work for the processor: more at once than it has cores would only hold more memory.
  std::shared_ptr<Preview> preview;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    readerFree_.wait(lock, [&] { return reading_ < settings_.readersAtOnce; });
    ++reading_;
  }
  try {
    preview = std::make_shared<Preview>(
        ReadUpload(hasFile ? file.filename : "", hasFile ? file.content : pasted, how));
  } catch (...) {
    std::lock_guard<std::mutex> lock(mutex_);
    --reading_;
    readerFree_.notify_one();
    throw;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    --reading_;
    readerFree_.notify_one();
  }
  // Reading a large log leaves much freed memory behind, which the allocator would keep from the system.
  if (preview->bytes.size() > (1u << 20)) malloc_trim(0);
  const std::string code = ReceiptCode(Field(req, "receipt"));
  if (preview->unfit != Unfit::kNo) return Send(res, 422, UnfitPage(page, facts, *preview, typed));
  // Only the owner hears that the call has a log, or that it holds as many versions as are kept: anyone
  // else is answered alike whether it has or not, and the store sets the version aside if it has.
  const Claim claim = code.empty()                       ? Claim::kNoCode
                      : store_.Owns(preview->call, code) ? Claim::kOwner
                                                         : Claim::kNotTaken;
  if (claim == Claim::kOwner) {
    const std::vector<Received> versions = store_.Versions(preview->call);
    if (!versions.empty() && versions.front().versions >= kMaxVersions) {
      store_.NoteRefusedVersion(preview->call, TimeText(settings_.now()));
      return Send(res, 409, TooManyVersions(page, preview->call));
    }
  }
  const std::optional<std::string> token = Keep(preview, email, RemoteOf(req), ClientAddress(req), code);
  if (!token) {
    res.set_header("Retry-After", std::to_string(kBusySeconds));
    return Send(res, 503, UploadPage(page, facts, Say(lang, "error.busy"), typed));
  }
  Send(res, 200, PreviewPage(page, facts, *preview, *token, code, claim));
}

void Robot::Confirm(const httplib::Request& req, httplib::Response& res) {
  PageContext page = Context(req, res, "/");
  const Lang lang = page.lang;
  if (!FormTokenGood(req))
    return Send(res, 403, MessagePage(page, Text(lang, "error.title"), Say(lang, "error.csrf")));
  const std::string token = Field(req, "token");

  std::unique_lock<std::mutex> lock(mutex_);
  auto found = pending_.find(token);
  // A second press of the button, or the browser sending the form again, waits for the first and shows the
  // same receipt.
  while (found != pending_.end() && found->second->storing) {
    stored_.wait_for(lock, std::chrono::seconds(1));
    found = pending_.find(token);
  }
  if (found == pending_.end() || !LooksLikeToken(token)) {
    lock.unlock();
    return Send(res, 410, MessagePage(page, Text(lang, "error.title"), Say(lang, "error.expired")));
  }
  Pending& pending = *found->second;
  if (pending.receipt) {
    const Received receipt = *pending.receipt;
    const std::string code = pending.code;
    lock.unlock();
    return Send(res, 200, ReceiptPage(page, receipt, code));
  }
  // The log was sent when it was uploaded: an answer given before the deadline may be confirmed after it.
  if (Closed(pending.created)) {
    lock.unlock();
    return Send(res, 403, UploadPage(page, Facts(), "", ""));
  }
  pending.storing = true;
  // The confirm form carries the code too, for an entrant who gives it only there (or mends it).
  if (req.has_param("receipt") || req.has_file("receipt")) pending.code = ReceiptCode(Field(req, "receipt"));
  const std::shared_ptr<const Preview> preview = pending.preview;
  const std::string email = pending.email, remote = pending.remote, code = pending.code;
  std::string unsure = pending.unsure;
  lock.unlock();

  std::optional<Received> receipt;
  bool full = false;
  try {
    // An earlier press whose outcome could not be told may have stored the log after all.
    if (!unsure.empty()) receipt = store_.ByReceipt(preview->call, unsure);
    if (!receipt) receipt = store_.Receive(*preview, email, remote, TimeText(settings_.now()), code);
    unsure.clear();
  } catch (const VersionsFull&) {
    full = true;
  } catch (const OutcomeUnknown& e) {
    unsure = e.receipt;
    std::cerr << "zorvant serve: a log of " << preview->call << " may or may not be stored as " << e.receipt
              << ": " << e.what() << std::endl;
  } catch (const std::exception& e) {
    std::cerr << "zorvant serve: a log of " << preview->call << " could not be stored: " << e.what()
              << std::endl;
  }
  lock.lock();
  found = pending_.find(token);
  if (found != pending_.end()) {
    found->second->storing = false;
    found->second->unsure = unsure;
    if (receipt) {
      found->second->receipt = receipt;
      Release(*found->second);
    }
  }
  stored_.notify_all();
  lock.unlock();
  if (full) return Send(res, 409, TooManyVersions(page, preview->call));
  if (!receipt && !unsure.empty()) {
    return Send(
        res, 503,
        MessagePage(page, Text(lang, "error.title"), Say(lang, "error.unknown", {preview->call, unsure})));
  }
  if (!receipt)
    return Send(res, 503, MessagePage(page, Text(lang, "error.title"), Say(lang, "error.storefailed")));
  Send(res, 200, ReceiptPage(page, *receipt, code));
}

void Robot::Status(const httplib::Request& req, httplib::Response& res) {
  PageContext page = Context(req, res, "/status");
  const Lang lang = page.lang;
  if (!FormTokenGood(req))
    return Send(res, 403, MessagePage(page, Text(lang, "error.title"), Say(lang, "error.csrf")));
  const std::string call = Upper(Trimmed(Field(req, "call")));
  const std::string receipt = ReceiptCode(Field(req, "receipt"));
  const std::optional<Received> found =
      call.empty() || receipt.empty() ? std::nullopt : store_.ByReceipt(call, receipt);
  if (!found) return Send(res, 404, StatusForm(page, Say(lang, "status.notfound", {call}), call));
  Send(res, 200,
       StatusPage(page, Facts(), *found, store_.Versions(call), store_.Published(call),
                  ContactsOutside(found->label, store_.Bytes(found->id), ContestPeriod())));
}

void Robot::SponsorHome(const httplib::Request& req, httplib::Response& res, const std::string& message) {
  PageContext page = Context(req, res, "/sponsor");
  Send(res, 200,
       SponsorPage(page, message, store_.Latest(), store_.SetAside(),
                   store_.MissingCalls(kMissingAtLeast, 100), kMissingAtLeast, store_.LastPublication(),
                   store_.FailedLogins(20)));
}

void Robot::SponsorLogin(const httplib::Request& req, httplib::Response& res) {
  PageContext page = Context(req, res, "/sponsor");
  if (!FormTokenGood(req)) {
    return Send(res, 403, MessagePage(page, Text(page.lang, "error.title"), Say(page.lang, "error.csrf")));
  }
  const std::string address = ClientAddress(req);
  const std::int64_t now = settings_.now();
  std::int64_t wait = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = guesses_.find(address);
    if (it != guesses_.end()) wait = it->second.wait - now;
  }
  // While an address waits, what it sends is not even compared: the wait holds for the right key too.
  if (wait > 0) {
    res.set_header("Retry-After", std::to_string(wait));
    return Send(res, 429, serve::SponsorLogin(page, Say(page.lang, "sponsor.wait", {std::to_string(wait)})));
  }
  if (!SameSecret(Field(req, "key"), settings_.sponsorKey)) {
    FailedLogin failure{TimeText(now), address, 0};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (guesses_.size() >= kGuessAddresses) {
        for (auto it = guesses_.begin(); it != guesses_.end();)
          it = it->second.wait <= now && it->second.last + kGuessMemory < now ? guesses_.erase(it) : ++it;
      }
      // Still full of addresses that wait: the oldest entries give way, never the check.
      if (guesses_.size() >= kGuessAddresses) guesses_.erase(guesses_.begin());
      Guesses& g = guesses_[address];
      if (g.last + kGuessMemory < now) g = Guesses{};
      ++g.failures;
      g.last = now;
      if (g.failures >= kLockoutAfter) {
        failure.lockedSeconds = static_cast<int>(kLockoutSeconds);
        g.wait = now + kLockoutSeconds;
      } else if (g.failures > kFreeGuesses) {
        g.wait = now + (std::int64_t{1} << (g.failures - kFreeGuesses - 1));
      }
    }
    try {
      store_.NoteFailedLogin(failure);
    } catch (const std::exception& e) {
      std::cerr << "zorvant serve: a wrong sponsor's key from " << address
                << " was not recorded: " << e.what() << std::endl;
    }
    return Send(res, 403, serve::SponsorLogin(page, Say(page.lang, "sponsor.badkey")));
  }
  const std::string session = RandomCode(kTokenLength);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    guesses_.erase(address);
    for (auto it = sessions_.begin(); it != sessions_.end();)
      it = it->second <= now ? sessions_.erase(it) : ++it;
    sessions_[session] = now + kSessionSeconds;
  }
  SetCookie(req, res, "zv_sponsor", session, "Strict");
  res.status = 303;
  res.set_header("Location", "/sponsor");
}

void Robot::SponsorLogout(const httplib::Request& req, httplib::Response& res) {
  if (FormTokenGood(req)) {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.erase(Cookie(req, "zv_sponsor"));
  }
  SetCookie(req, res, "zv_sponsor", "", "Strict", "; Max-Age=0");
  res.status = 303;
  res.set_header("Location", "/");
}

void Robot::SponsorPublish(const httplib::Request& req, httplib::Response& res) {
  PageContext page = Context(req, res, "/sponsor");
  if (!FormTokenGood(req)) {
    return Send(res, 403, MessagePage(page, Text(page.lang, "error.title"), Say(page.lang, "error.csrf")));
  }
  if (!IsSponsor(req)) return Send(res, 403, serve::SponsorLogin(page, ""));
  {
    std::lock_guard<std::mutex> lock(publishing_);
    CheckSettings check;
    check.start = settings_.start;
    check.startText = settings_.startText;
    check.window = settings_.window;
    check.rules = settings_.rules;
    check.endText = settings_.endText;
    check.threads = settings_.threads;
    CheckAndPublish(store_, check, TimeText(settings_.now()));
  }
  SponsorHome(req, res, Say(page.lang, "sponsor.done"));
}

void Robot::SponsorAccept(const httplib::Request& req, httplib::Response& res) {
  PageContext page = Context(req, res, "/sponsor");
  if (!FormTokenGood(req)) {
    return Send(res, 403, MessagePage(page, Text(page.lang, "error.title"), Say(page.lang, "error.csrf")));
  }
  if (!IsSponsor(req)) return Send(res, 403, serve::SponsorLogin(page, ""));
  std::int64_t id = 0;
  const std::string field = Field(req, "log");
  if (!field.empty() && field.size() < 19 && field.find_first_not_of("0123456789") == std::string::npos) {
    id = std::stoll(field);
  }
  const std::optional<Received> accepted = id > 0 ? store_.Accept(id) : std::nullopt;
  if (!accepted) return SponsorHome(req, res, Say(page.lang, "sponsor.notsetaside"));
  SponsorHome(req, res,
              Say(page.lang, "sponsor.accepted", {std::to_string(accepted->version), accepted->call}));
}

void Robot::SponsorRelease(const httplib::Request& req, httplib::Response& res) {
  PageContext page = Context(req, res, "/sponsor");
  if (!FormTokenGood(req)) {
    return Send(res, 403, MessagePage(page, Text(page.lang, "error.title"), Say(page.lang, "error.csrf")));
  }
  if (!IsSponsor(req)) return Send(res, 403, serve::SponsorLogin(page, ""));
  const std::string call = Upper(Trimmed(Field(req, "call")));
  if (call.empty() || call.size() > 20) return SponsorHome(req, res, "");
  store_.Release(call, TimeText(settings_.now()));
  SponsorHome(req, res, Say(page.lang, "sponsor.releasedone", {call}));
}

void Robot::SponsorZip(const httplib::Request& req, httplib::Response& res) {
  if (!IsSponsor(req)) {
    PageContext page = Context(req, res, "/sponsor");
    return Send(res, 403, serve::SponsorLogin(page, ""));
  }
  res.set_header("Cache-Control", "no-store");
  res.set_header("Content-Disposition", "attachment; filename=\"zorvant-logs.zip\"");
  Store* store = &store_;
  res.set_chunked_content_provider(
      "application/zip", Guarded("GET /sponsor/logs.zip", [store](std::size_t, httplib::DataSink& sink) {
        // The top level is the current version of each log, named as `zorvant check` expects its folder;
        // every version received, those set aside too, with a list of them, goes under versions/.
        ZipWriter zip([&sink](std::string_view bytes) { return sink.write(bytes.data(), bytes.size()); });
        bool going = true;
        for (const Received& log : store->Latest()) {
          going = going && zip.Add(LogFileName(log.call, log.format), store->Bytes(log.id));
        }
        std::string list = "call,version,received,email,remote,file,format,sha256,size,state\r\n";
        for (const Received& log : store->All()) {
          const std::string name = LogFileName(log.call, log.format);
          const std::string versioned = name.substr(0, name.rfind('.')) + ".v" + std::to_string(log.version) +
                                        name.substr(name.rfind('.'));
          going = going && zip.Add("versions/" + versioned, store->Bytes(log.id));
          list += log.call + "," + std::to_string(log.version) + "," + log.received + "," +
                  CsvField(log.email) + "," + CsvField(log.remote) + "," + CsvField(log.label) + "," +
                  log.format + "," + log.sha256 + "," + std::to_string(log.size) + "," +
                  (log.setAside  ? "set aside"
                   : log.current ? "current"
                                 : "earlier") +
                  "\r\n";
        }
        going = going && zip.Add("versions/versions.csv", list) && zip.Finish();
        if (going) sink.done();
        return going;
      }));
}

void Robot::SponsorCsv(const httplib::Request& req, httplib::Response& res) {
  PageContext page = Context(req, res, "/sponsor");
  if (!IsSponsor(req)) return Send(res, 403, serve::SponsorLogin(page, ""));
  if (!store_.LastPublication()) return Send(res, 404, NoResultsPage(page));
  res.set_header("Cache-Control", "no-store");
  res.set_header("Content-Disposition", "attachment; filename=\"results.csv\"");
  res.set_content(ResultsCsv(store_.PublishedLogs()), "text/csv; charset=utf-8");
}

void Robot::Error(const httplib::Request& req, httplib::Response& res) {
  PageContext page = Context(req, res, "/");
  const Lang lang = page.lang;
  const int status = res.status;
  if (status == 413) {
    const std::string size = std::to_string(settings_.maxLogBytes >> 20);
    return Send(res, status, UploadPage(page, Facts(), Say(lang, "error.toolarge", {size}), ""));
  }
  const char* key = status == 404 ? "error.notfound" : status < 500 ? "error.bad" : "error.internal";
  Send(res, status, MessagePage(page, Text(lang, "error.title"), Say(lang, key)));
}

void Robot::Mount(httplib::Server& server) {
  using httplib::Request;
  using httplib::Response;
  // The form around the log is small: a body larger than the largest log allowed by some margin is refused
  // as it arrives, its bytes read and dropped rather than kept.
  server.set_payload_max_length(settings_.maxLogBytes + (256u << 10));
  server.set_pre_routing_handler([](const Request& req, Response& res) {
    // A body of unannounced length could not be refused before it is read whole.
    if (req.has_header("Transfer-Encoding") && req.method == "POST") {
      res.status = 411;
      res.set_content("A body of unannounced length is not taken here.\n", "text/plain; charset=utf-8");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server.set_post_routing_handler([](const Request&, Response& res) {
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("X-Frame-Options", "DENY");
    res.set_header("Referrer-Policy", "no-referrer");
    if (!res.has_header("Content-Security-Policy")) {
      res.set_header("Content-Security-Policy", ContentPolicy());
    }
  });
  server.set_error_handler(httplib::Server::HandlerWithResponse([this](const Request& req, Response& res) {
    // The pages that answer an error themselves keep their words.
    if (!res.body.empty() || res.status == 411) return httplib::Server::HandlerResponse::Unhandled;
    Error(req, res);
    return httplib::Server::HandlerResponse::Handled;
  }));
  server.set_exception_handler([this](const Request& req, Response& res, std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const std::exception& e) {
      std::cerr << "zorvant serve: " << req.method << " " << req.path << ": " << e.what() << std::endl;
    } catch (...) {
      std::cerr << "zorvant serve: " << req.method << " " << req.path << ": an unknown error" << std::endl;
    }
    res.status = 500;
    res.body.clear();
    Error(req, res);
  });

  server.Get("/", [this](const Request& req, Response& res) {
    PageContext page = Context(req, res, "/");
    Send(res, 200, UploadPage(page, Facts(), "", ""));
  });
  server.Post("/upload", [this](const Request& req, Response& res) { Upload(req, res); });
  server.Post("/confirm", [this](const Request& req, Response& res) { Confirm(req, res); });
  server.Get("/status", [this](const Request& req, Response& res) {
    PageContext page = Context(req, res, "/status");
    Send(res, 200, StatusForm(page, "", ""));
  });
  server.Post("/status", [this](const Request& req, Response& res) { Status(req, res); });
  server.Get("/results", [this](const Request& req, Response& res) {
    PageContext page = Context(req, res, "/results");
    const std::optional<Publication> last = store_.LastPublication();
    if (!last) return Send(res, 200, NoResultsPage(page));
    // The page as published is English; another language is made from the same publication.
    if (page.lang == Lang::kEnglish) return Send(res, 200, last->resultsHtml);
    Send(res, 200, ResultsPage(page, last->published, store_.PublishedLogs()));
  });
  server.Get("/received", [this](const Request& req, Response& res) {
    PageContext page = Context(req, res, "/received");
    Send(res, 200, ReceivedPage(page, store_.Arrivals()));
  });
  server.Get("/style.css", [](const Request&, Response& res) {
    res.set_header("Cache-Control", "max-age=3600");
    res.set_content(StyleSheet(), "text/css; charset=utf-8");
  });
  server.Get("/sponsor", [this](const Request& req, Response& res) {
    if (IsSponsor(req)) return SponsorHome(req, res, "");
    PageContext page = Context(req, res, "/sponsor");
    Send(res, 200, serve::SponsorLogin(page, ""));
  });
  server.Post("/sponsor/login", [this](const Request& req, Response& res) { SponsorLogin(req, res); });
  server.Post("/sponsor/logout", [this](const Request& req, Response& res) { SponsorLogout(req, res); });
  server.Post("/sponsor/publish", [this](const Request& req, Response& res) { SponsorPublish(req, res); });
  server.Post("/sponsor/accept", [this](const Request& req, Response& res) { SponsorAccept(req, res); });
  server.Post("/sponsor/release", [this](const Request& req, Response& res) { SponsorRelease(req, res); });
  server.Get("/sponsor/logs.zip", [this](const Request& req, Response& res) { SponsorZip(req, res); });
  server.Get("/sponsor/results.csv", [this](const Request& req, Response& res) { SponsorCsv(req, res); });
}

}  // namespace serve
