// The server's one database, DIR/zorvant.db: every version of every log received, with its receipt, the
// calls each log worked, and every publication of the cross-check with its results; the last publication
// also with each entrant's UBN report and every contact's class. Every change is one transaction; the schema
// carries its version and is brought up to date on opening. Safe to use from many threads at once.
#ifndef ZORVANT_SERVE_STORE_H_
#define ZORVANT_SERVE_STORE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "report/report.h"
#include "serve/preview.h"
#include "serve/sqlite.h"

namespace serve {

// One step of the schema: what it runs to bring the database from version - 1 to version.
struct Migration {
  int version;
  const char* sql;
};
const std::vector<Migration>& SchemaMigrations();

// A call keeps this many versions at most: one client sending again and again cannot grow the database and
// the sponsor's archive without end.
constexpr int kMaxVersions = 50;

// A new version past kMaxVersions, refused.
class VersionsFull : public StoreError {
 public:
  using StoreError::StoreError;
};

// A write that failed in a way that may still have left it on the disk, and whose outcome could not be
// found out (the disk refuses even the reading back): the log may or may not be stored under `receipt`.
class OutcomeUnknown : public StoreError {
 public:
  OutcomeUnknown(std::string code, const std::string& what) : StoreError(what), receipt(std::move(code)) {}
  const std::string receipt;
};

// How a version was taken, as Receive tells it.
enum class Taken {
  kFirst,     // the call had no log, or the sponsor had released it: the call's current log, and its owner's
  kOwner,     // with the receipt code of an earlier version of the owner's: the call's current log
  kSetAside,  // without that code, for a call that has a log: stored, never counted unless the sponsor
              // accepts
};

// A version of a log as it was received.
struct Received {
  std::int64_t id = 0;
  std::string call;
  int version = 0;   // 1 for the first log of the call, then 2, ... (versions set aside take numbers too)
  int versions = 0;  // how many of the call's count (filled where a list tells it)
  int refused = 0;   // versions refused past kMaxVersions (filled by Latest)
  bool setAside = false;  // waits for the sponsor: not counted
  bool current = false;   // the call's current version, the one listed, zipped and checked
  bool released = false;  // the sponsor released the call: its next version is taken as a first (Latest)
  Taken taken = Taken::kFirst;  // filled by Receive; read back, kSetAside or kFirst
  int replaced = 0;             // the version a kOwner one replaced (filled by Receive)
  std::string receipt;
  std::string received;  // "YYYY-MM-DD HH:MM:SS", UTC
  std::string email, remote, label, format, sha256, categories;
  std::int64_t size = 0;
  int contacts = 0;
  zorvant::ReportTotals claimed;
};

// A call that other logs hold but that sent none.
struct Missing {
  std::string call;
  int logs = 0;
};

// A call whose log was received, as the public list shows it.
struct Arrival {
  std::string call;
  std::string first;  // when its first counted version arrived, "YYYY-MM-DD HH:MM:SS", UTC
};

// A wrong sponsor's key, as the sponsor sees it.
struct FailedLogin {
  std::string at;         // "YYYY-MM-DD HH:MM:SS", UTC
  std::string address;    // the client's
  int lockedSeconds = 0;  // the lockout this one started; 0 for none
};

// What a publication holds for one log.
struct PublishedLog {
  std::string call;
  std::int64_t log = 0;  // the version checked
  int place = 0;         // 0 for a log that could not be checked
  zorvant::ReportTotals claimed, checked;
  int removed = 0;
  std::string ubn;
  std::string categories;  // of the version checked, as read back (not kept with the results)
};

struct Publication {
  std::int64_t id = 0;
  std::string published;  // "YYYY-MM-DD HH:MM:SS", UTC
  int window = 3;
  std::string resultsHtml, resultsText, summary;
  std::vector<PublishedLog> logs;  // by place
  // Each checked contact's class: the log (version) it is in, its line, the call it worked, the class.
  struct Class {
    std::int64_t log;
    int line;
    std::string worked, name;
  };
  std::vector<Class> classes;
};

class Store {
 public:
  // Opens DIR/zorvant.db, creating it, and runs the migrations it has not had, each in a transaction of
  // its own. Throws StoreError when it cannot be opened, or is of a newer schema than `migrations` know.
  explicit Store(const std::string& path, const std::vector<Migration>& migrations = SchemaMigrations());
  ~Store();

  int SchemaVersion();

  // A setting, or "" when it was never set.
  std::string Setting(const std::string& name);
  void SetSetting(const std::string& name, const std::string& value);

  // Stores the log as a new version of its call, with a new receipt code; returns it once committed. A log
  // belongs to whoever sent it first: a call that has one takes a new version as current only with `code`,
  // the receipt of one of its owner's versions (see Owns); without it the version is set aside. Throws
  // VersionsFull, having noted the refusal, when the call has kMaxVersions counted already (or, for one set
  // aside, kMaxVersions set aside: a stranger cannot use up the owner's). A failed write is read back before
  // anything is said: found, it is returned as stored; certainly not stored, StoreError; neither can be
  // told, OutcomeUnknown.
  Received Receive(const Preview& log, const std::string& email, const std::string& remote,
                   const std::string& now, const std::string& code = "");

  // Whether `code` proves its holder the owner of `call`: the receipt of a counted version of it received
  // since the sponsor last accepted a version of the call or released it. A released call has no owner.
  bool Owns(const std::string& call, const std::string& code);
  // The versions set aside and not accepted, the oldest first.
  std::vector<Received> SetAside();
  // Makes a version set aside its call's current one, and its sender the call's owner: earlier receipts of
  // the call no longer prove it. Returns it; nothing when there is no such version set aside.
  std::optional<Received> Accept(std::int64_t id);
  // Takes the next version of `call`, with a code or none, as a first one (its entrant lost every receipt).
  void Release(const std::string& call, const std::string& now);

  // Notes for the sponsor that a version of `call` was refused past kMaxVersions.
  void NoteRefusedVersion(const std::string& call, const std::string& now);

  // Records a wrong sponsor's key; the last 1 000 are kept.
  void NoteFailedLogin(const FailedLogin& failure);
  // The last `limit` wrong keys, the newest first.
  std::vector<FailedLogin> FailedLogins(int limit);

  // The current version of each call, by call, with the number of its versions that count.
  std::vector<Received> Latest();
  // Every version of every call, by call and version, those set aside too.
  std::vector<Received> All();
  // Every version of a call, the first first, those set aside too.
  std::vector<Received> Versions(const std::string& call);
  // The version a receipt was given for, when it is the call's (set aside or not).
  std::optional<Received> ByReceipt(const std::string& call, const std::string& receipt);
  // A version's bytes as sent.
  std::string Bytes(std::int64_t id);
  // The calls that have a counted log, by call, each with the time its first counted version arrived:
  // versions set aside and never accepted do not show.
  std::vector<Arrival> Arrivals();
  // Calls in at least `atLeast` of the current versions that sent no log, the most often worked first.
  std::vector<Missing> MissingCalls(int atLeast, int limit);

  // Stores a publication whole, and returns its id. It replaces the earlier publications' contacts' classes
  // and UBN reports, which nothing shows any more; their results stay.
  std::int64_t Publish(const Publication& publication);
  // The last publication, without its logs and classes.
  std::optional<Publication> LastPublication();
  // The last publication's logs, by place.
  std::vector<PublishedLog> PublishedLogs();
  // What the last publication holds for `call`.
  std::optional<PublishedLog> Published(const std::string& call);

 private:
  class Lease;
  Received Settle(const Received& r, const std::string& failure);
  std::unique_ptr<Connection> Take();
  void Give(std::unique_ptr<Connection> connection);

  const std::string path_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Connection>> idle_;  // GUARDED_BY(mutex_)
};

}  // namespace serve

#endif  // ZORVANT_SERVE_STORE_H_
