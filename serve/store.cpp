#include "serve/store.h"

#include <algorithm>

#include "serve/secrets.h"

namespace serve {

const std::vector<Migration>& SchemaMigrations() {
  static const std::vector<Migration> kMigrations = {
      {1, R"(
CREATE TABLE settings (name TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE logs (
  id INTEGER PRIMARY KEY,
  call TEXT NOT NULL,
  version INTEGER NOT NULL,
  receipt TEXT NOT NULL UNIQUE,
  received TEXT NOT NULL,
  email TEXT NOT NULL,
  remote TEXT NOT NULL,
  label TEXT NOT NULL,
  format TEXT NOT NULL,
  sha256 TEXT NOT NULL,
  size INTEGER NOT NULL,
  bytes BLOB NOT NULL,
  categories TEXT NOT NULL,
  contacts INTEGER NOT NULL,
  qsos INTEGER NOT NULL,
  points INTEGER NOT NULL,
  mults INTEGER NOT NULL,
  dupes INTEGER NOT NULL,
  score INTEGER NOT NULL,
  UNIQUE (call, version),
  CHECK (length(bytes) = size)
);
CREATE TABLE worked (
  log INTEGER NOT NULL REFERENCES logs (id),
  call TEXT NOT NULL,
  PRIMARY KEY (log, call)
) WITHOUT ROWID;
CREATE INDEX worked_by_call ON worked (call);
CREATE TABLE publications (
  id INTEGER PRIMARY KEY,
  published TEXT NOT NULL,
  window INTEGER NOT NULL,
  results_html TEXT NOT NULL,
  results_text TEXT NOT NULL,
  summary TEXT NOT NULL
);
CREATE TABLE results (
  publication INTEGER NOT NULL REFERENCES publications (id),
  call TEXT NOT NULL,
  log INTEGER NOT NULL REFERENCES logs (id),
  place INTEGER NOT NULL,
  claimed_qsos INTEGER NOT NULL, claimed_points INTEGER NOT NULL, claimed_mults INTEGER NOT NULL,
  claimed_score INTEGER NOT NULL,
  checked_qsos INTEGER NOT NULL, checked_points INTEGER NOT NULL, checked_mults INTEGER NOT NULL,
  checked_score INTEGER NOT NULL,
  removed INTEGER NOT NULL,
  ubn TEXT NOT NULL,
  PRIMARY KEY (publication, call)
) WITHOUT ROWID;
CREATE TABLE classes (
  publication INTEGER NOT NULL REFERENCES publications (id),
  log INTEGER NOT NULL REFERENCES logs (id),
  line INTEGER NOT NULL,
  worked TEXT NOT NULL,
  class TEXT NOT NULL
);
CREATE INDEX classes_by_log ON classes (publication, log);
)"},
      {2, R"(
CREATE TABLE refused_versions (
  call TEXT PRIMARY KEY,
  count INTEGER NOT NULL,
  last TEXT NOT NULL
) WITHOUT ROWID;
)"},
      {3, R"(
CREATE TABLE failed_logins (
  id INTEGER PRIMARY KEY,
  at TEXT NOT NULL,
  address TEXT NOT NULL,
  locked INTEGER NOT NULL
);
)"},
      // A log belongs to whoever sent it first. `counted` orders the versions as they became their call's
      // current one (the greatest is current), and is NULL for a version set aside; the versions stored
      // before were each current in turn, the latest last. `owners.since`: receipts of versions counted
      // from there on prove the call's owner; NULL for a call the sponsor released, whose next version is
      // taken as a first.
      {4, R"(
ALTER TABLE logs ADD COLUMN counted INTEGER;
UPDATE logs SET counted = id;
CREATE UNIQUE INDEX logs_by_counted ON logs (counted);
CREATE TABLE owners (
  call TEXT PRIMARY KEY,
  since INTEGER,
  released TEXT
) WITHOUT ROWID;
)"},
  };
  return kMigrations;
}

// A connection borrowed from the pool for one piece of work, given back when done.
class Store::Lease {
 public:
  explicit Lease(Store& store) : store_(store), connection_(store.Take()) {}
  ~Lease() { store_.Give(std::move(connection_)); }
  Connection& operator*() { return *connection_; }

 private:
  Store& store_;
  std::unique_ptr<Connection> connection_;
};

std::unique_ptr<Connection> Store::Take() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!idle_.empty()) {
      std::unique_ptr<Connection> connection = std::move(idle_.back());
      idle_.pop_back();
      return connection;
    }
  }
  return std::make_unique<Connection>(path_);
}

void Store::Give(std::unique_ptr<Connection> connection) {
  if (!connection) return;
  std::lock_guard<std::mutex> lock(mutex_);
  // As many stay open as ever were busy at once, up to a bound: the rest close.
  if (idle_.size() < 16) idle_.push_back(std::move(connection));
}

namespace {

int UserVersion(Connection& db) {
  Statement q(db, "PRAGMA user_version");
  return q.Step() ? static_cast<int>(q.Int(0)) : 0;
}

}  // namespace

Store::Store(const std::string& path, const std::vector<Migration>& migrations) : path_(path) {
  Lease lease(*this);
  Connection& db = *lease;
  const int known = migrations.empty() ? 0 : migrations.back().version;
  auto tooNew = [&](int version) {
    return StoreError(path + " has schema version " + std::to_string(version) +
                      ", newer than this zorvant's (" + std::to_string(known) +
                      "): run a newer zorvant on it");
  };
  for (const Migration& step : migrations) {
    WriteTransaction transaction(db);
    // Read inside the transaction: of two servers opening one database at once, one migrates.
    const int version = UserVersion(db);
    if (version > known) throw tooNew(version);
    if (version >= step.version) continue;
    db.Exec(step.sql);
    db.Exec(("PRAGMA user_version = " + std::to_string(step.version)).c_str());
    transaction.Commit();
  }
  if (UserVersion(db) > known) throw tooNew(UserVersion(db));
}

Store::~Store() = default;

int Store::SchemaVersion() {
  Lease lease(*this);
  return UserVersion(*lease);
}

std::string Store::Setting(const std::string& name) {
  Lease lease(*this);
  Statement q(*lease, "SELECT value FROM settings WHERE name = ?");
  q.Bind(1, name);
  return q.Step() ? q.Text(0) : "";
}

void Store::SetSetting(const std::string& name, const std::string& value) {
  Lease lease(*this);
  WriteTransaction transaction(*lease);
  Statement(*lease,
            "INSERT INTO settings (name, value) VALUES (?, ?) ON CONFLICT (name) DO UPDATE SET value = ?")
      .Bind(1, name)
      .Bind(2, value)
      .Bind(3, value)
      .Run();
  transaction.Commit();
}

namespace {

// Read from `logs AS l`.
constexpr char kLogColumns[] =
    "id, call, version, receipt, received, email, remote, label, format, sha256, size, categories, contacts, "
    "qsos, points, mults, dupes, score, counted IS NULL, "
    "counted IS (SELECT MAX(o.counted) FROM logs AS o WHERE o.call = l.call)";
constexpr int kLogColumnCount = 20;

Received ReadLog(Statement& q) {
  Received r;
  r.id = q.Int(0);
  r.call = q.Text(1);
  r.version = static_cast<int>(q.Int(2));
  r.receipt = q.Text(3);
  r.received = q.Text(4);
  r.email = q.Text(5);
  r.remote = q.Text(6);
  r.label = q.Text(7);
  r.format = q.Text(8);
  r.sha256 = q.Text(9);
  r.size = q.Int(10);
  r.categories = q.Text(11);
  r.contacts = static_cast<int>(q.Int(12));
  r.claimed.qsos = static_cast<int>(q.Int(13));
  r.claimed.points = static_cast<int>(q.Int(14));
  r.claimed.multiplier = static_cast<int>(q.Int(15));
  r.claimed.dupes = static_cast<int>(q.Int(16));
  r.claimed.score = static_cast<int>(q.Int(17));
  r.setAside = q.Int(18) != 0;
  r.current = q.Int(19) != 0;
  r.taken = r.setAside ? Taken::kSetAside : Taken::kFirst;
  return r;
}

bool OwnsIn(Connection& db, const std::string& call, const std::string& code) {
  if (code.empty()) return false;
  // No row in owners: every counted version proves; a released call (since NULL): none does.
  Statement q(db,
              "SELECT 1 FROM logs WHERE call = ? AND receipt = ? AND counted IS NOT NULL AND counted >= "
              "COALESCE((SELECT IFNULL(since, 9223372036854775807) FROM owners WHERE call = ?), 0)");
  q.Bind(1, call).Bind(2, code).Bind(3, call);
  return q.Step();
}

void NoteRefused(Connection& db, const std::string& call, const std::string& now) {
  Statement(db,
            "INSERT INTO refused_versions (call, count, last) VALUES (?, 1, ?) "
            "ON CONFLICT (call) DO UPDATE SET count = count + 1, last = excluded.last")
      .Bind(1, call)
      .Bind(2, now)
      .Run();
}

}  // namespace

void Store::NoteRefusedVersion(const std::string& call, const std::string& now) {
  Lease lease(*this);
  WriteTransaction transaction(*lease);
  NoteRefused(*lease, call, now);
  transaction.Commit();
}

void Store::NoteFailedLogin(const FailedLogin& failure) {
  Lease lease(*this);
  WriteTransaction transaction(*lease);
  Statement(*lease, "INSERT INTO failed_logins (at, address, locked) VALUES (?, ?, ?)")
      .Bind(1, failure.at)
      .Bind(2, failure.address)
      .Bind(3, failure.lockedSeconds)
      .Run();
  // Guessers from ever new addresses cannot grow the database without end.
  (*lease).Exec("DELETE FROM failed_logins WHERE id <= (SELECT MAX(id) FROM failed_logins) - 1000");
  transaction.Commit();
}

std::vector<FailedLogin> Store::FailedLogins(int limit) {
  Lease lease(*this);
  Statement q(*lease, "SELECT at, address, locked FROM failed_logins ORDER BY id DESC LIMIT ?");
  q.Bind(1, limit);
  std::vector<FailedLogin> all;
  while (q.Step()) all.push_back({q.Text(0), q.Text(1), static_cast<int>(q.Int(2))});
  return all;
}

Received Store::Receive(const Preview& log, const std::string& email, const std::string& remote,
                        const std::string& now, const std::string& code) {
  Lease lease(*this);
  Connection& db = *lease;
  for (int attempt = 0;; ++attempt) {
    Received r;
    r.call = log.call;
    r.receipt = RandomCode(12);
    r.received = now;
    r.email = email;
    r.remote = remote;
    r.label = log.label;
    r.format = log.format;
    r.sha256 = log.sha256;
    r.size = static_cast<std::int64_t>(log.bytes.size());
    r.categories = log.categories;
    r.contacts = static_cast<int>(log.contacts);
    r.claimed = log.totals;
    std::string failure;
    try {
      WriteTransaction transaction(db);
      {
        Statement next(db, "SELECT COALESCE(MAX(version), 0) + 1 FROM logs WHERE call = ?");
        next.Bind(1, r.call);
        next.Step();
        r.version = static_cast<int>(next.Int(0));
      }
      {
        Statement owned(db,
                        "SELECT EXISTS (SELECT 1 FROM logs WHERE call = ?1 AND counted IS NOT NULL), "
                        "EXISTS (SELECT 1 FROM owners WHERE call = ?1 AND since IS NULL), "
                        "(SELECT version FROM logs WHERE call = ?1 ORDER BY counted DESC LIMIT 1)");
        owned.Bind(1, r.call);
        owned.Step();
        const bool has = owned.Int(0) != 0, released = owned.Int(1) != 0;
        r.taken = !has || released           ? Taken::kFirst
                  : OwnsIn(db, r.call, code) ? Taken::kOwner
                                             : Taken::kSetAside;
        r.setAside = r.taken == Taken::kSetAside;
        r.current = !r.setAside;
        r.replaced = r.taken == Taken::kOwner ? static_cast<int>(owned.Int(2)) : 0;
      }
      {
        // Counted and set-aside versions are bounded apart: a stranger's cannot use up the owner's.
        Statement kept(db, "SELECT COUNT(*) FROM logs WHERE call = ? AND (counted IS NULL) = ?");
        kept.Bind(1, r.call).Bind(2, std::int64_t{r.setAside});
        kept.Step();
        if (kept.Int(0) >= kMaxVersions) {
          NoteRefused(db, r.call, now);
          transaction.Commit();
          throw VersionsFull("the log of " + r.call + " has " + std::to_string(kMaxVersions) + " versions");
        }
      }
      {
        Statement taken(db, "SELECT 1 FROM logs WHERE receipt = ?");
        taken.Bind(1, r.receipt);
        // Two equal codes of 60 random bits will not come up; should they, the next try draws another.
        if (taken.Step() && attempt < 3) continue;
      }
      Statement insert(
          db,
          "INSERT INTO logs (call, version, receipt, received, email, remote, label, format, sha256, "
          "size, bytes, categories, contacts, qsos, points, mults, dupes, score, counted) "
          "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
          "CASE WHEN ? THEN NULL ELSE (SELECT COALESCE(MAX(counted), 0) + 1 FROM logs) END)");
      insert.Bind(1, r.call).Bind(2, r.version).Bind(3, r.receipt).Bind(4, r.received).Bind(5, r.email);
      insert.Bind(6, r.remote).Bind(7, r.label).Bind(8, r.format).Bind(9, r.sha256).Bind(10, r.size);
      insert.BindBlob(11, log.bytes).Bind(12, r.categories).Bind(13, r.contacts);
      insert.Bind(14, r.claimed.qsos).Bind(15, r.claimed.points).Bind(16, r.claimed.multiplier);
      insert.Bind(17, r.claimed.dupes).Bind(18, r.claimed.score).Bind(19, std::int64_t{r.setAside});
      insert.Run();
      r.id = db.LastInsertId();
      // A released call's first version makes its sender the owner: only receipts from it on prove.
      Statement(db,
                "UPDATE owners SET since = (SELECT counted FROM logs WHERE id = ?), released = NULL "
                "WHERE call = ? AND since IS NULL")
          .Bind(1, r.id)
          .Bind(2, r.call)
          .Run();
      Statement worked(db, "INSERT INTO worked (log, call) VALUES (?, ?)");
      for (const std::string& call : log.worked) {
        worked.Bind(1, r.id).Bind(2, call).Run();
        worked.Reset();
      }
      transaction.Commit();
      return r;
    } catch (const VersionsFull&) {
      throw;
    } catch (const StoreError& e) {
      failure = e.what();
    }
    return Settle(r, failure);
  }
}

Received Store::Settle(const Received& r, const std::string& failure) {
  // A commit that failed may still be on the disk: its sync can fail after its pages were written, and the
  // database, opened again, finds them. Read back first; not found, a commit of our own over the same place
  // in the write-ahead log makes sure it never will be.
  try {
    Connection fresh(path_);
    {
      Statement q(fresh, "SELECT id, version, counted IS NULL FROM logs WHERE receipt = ?");
      q.Bind(1, r.receipt);
      if (q.Step()) {
        Received found = r;
        found.id = q.Int(0);
        found.version = static_cast<int>(q.Int(1));
        found.setAside = q.Int(2) != 0;
        found.current = !found.setAside;
        return found;
      }
    }
    WriteTransaction transaction(fresh);
    Statement(fresh,
              "INSERT INTO settings (name, value) VALUES ('last_failed_store', ?) "
              "ON CONFLICT (name) DO UPDATE SET value = excluded.value")
        .Bind(1, r.received + " " + r.call + " " + r.receipt + ": " + failure)
        .Run();
    transaction.Commit();
  } catch (const StoreError& e) {
    throw OutcomeUnknown(r.receipt, failure + "; and reading back: " + e.what());
  }
  throw StoreError(failure);
}

std::vector<Received> Store::Latest() {
  Lease lease(*this);
  Statement q(*lease,
              (std::string("SELECT ") + kLogColumns +
               ", (SELECT COUNT(*) FROM logs AS o WHERE o.call = l.call AND o.counted IS NOT NULL), "
               "(SELECT count FROM refused_versions AS f WHERE f.call = l.call), "
               "EXISTS (SELECT 1 FROM owners AS w WHERE w.call = l.call AND w.since IS NULL) FROM logs AS l "
               "WHERE counted = (SELECT MAX(counted) FROM logs AS o WHERE o.call = l.call) ORDER BY call")
                  .c_str());
  std::vector<Received> all;
  while (q.Step()) {
    all.push_back(ReadLog(q));
    all.back().versions = static_cast<int>(q.Int(kLogColumnCount));
    all.back().refused = static_cast<int>(q.Int(kLogColumnCount + 1));
    all.back().released = q.Int(kLogColumnCount + 2) != 0;
  }
  return all;
}

std::vector<Received> Store::SetAside() {
  Lease lease(*this);
  Statement q(
      *lease,
      (std::string("SELECT ") + kLogColumns + " FROM logs AS l WHERE counted IS NULL ORDER BY id").c_str());
  std::vector<Received> all;
  while (q.Step()) all.push_back(ReadLog(q));
  return all;
}

bool Store::Owns(const std::string& call, const std::string& code) {
  Lease lease(*this);
  return OwnsIn(*lease, call, code);
}

std::optional<Received> Store::Accept(std::int64_t id) {
  Lease lease(*this);
  Connection& db = *lease;
  WriteTransaction transaction(db);
  {
    Statement aside(db, "SELECT 1 FROM logs WHERE id = ? AND counted IS NULL");
    aside.Bind(1, id);
    if (!aside.Step()) return std::nullopt;
  }
  Statement(db, "UPDATE logs SET counted = (SELECT COALESCE(MAX(counted), 0) + 1 FROM logs) WHERE id = ?")
      .Bind(1, id)
      .Run();
  Statement(db,
            "INSERT INTO owners (call, since, released) SELECT call, counted, NULL FROM logs WHERE id = ? "
            "ON CONFLICT (call) DO UPDATE SET since = excluded.since, released = NULL")
      .Bind(1, id)
      .Run();
  Statement q(db, (std::string("SELECT ") + kLogColumns + " FROM logs AS l WHERE id = ?").c_str());
  q.Bind(1, id);
  q.Step();
  Received accepted = ReadLog(q);
  transaction.Commit();
  return accepted;
}

void Store::Release(const std::string& call, const std::string& now) {
  Lease lease(*this);
  WriteTransaction transaction(*lease);
  Statement(*lease,
            "INSERT INTO owners (call, since, released) VALUES (?, NULL, ?) "
            "ON CONFLICT (call) DO UPDATE SET since = NULL, released = excluded.released")
      .Bind(1, call)
      .Bind(2, now)
      .Run();
  transaction.Commit();
}

std::vector<Received> Store::All() {
  Lease lease(*this);
  Statement q(*lease,
              (std::string("SELECT ") + kLogColumns + " FROM logs AS l ORDER BY call, version").c_str());
  std::vector<Received> all;
  while (q.Step()) all.push_back(ReadLog(q));
  return all;
}

std::vector<Received> Store::Versions(const std::string& call) {
  Lease lease(*this);
  Statement q(
      *lease,
      (std::string("SELECT ") + kLogColumns + " FROM logs AS l WHERE call = ? ORDER BY version").c_str());
  q.Bind(1, call);
  std::vector<Received> all;
  while (q.Step()) all.push_back(ReadLog(q));
  const int counted =
      static_cast<int>(std::count_if(all.begin(), all.end(), [](const Received& r) { return !r.setAside; }));
  for (Received& r : all) r.versions = counted;
  return all;
}

std::optional<Received> Store::ByReceipt(const std::string& call, const std::string& receipt) {
  Lease lease(*this);
  Statement q(
      *lease,
      (std::string("SELECT ") + kLogColumns + " FROM logs AS l WHERE call = ? AND receipt = ?").c_str());
  q.Bind(1, call).Bind(2, receipt);
  if (!q.Step()) return std::nullopt;
  return ReadLog(q);
}

std::string Store::Bytes(std::int64_t id) {
  Lease lease(*this);
  Statement q(*lease, "SELECT bytes FROM logs WHERE id = ?");
  q.Bind(1, id);
  return q.Step() ? q.Text(0) : "";
}

std::vector<Missing> Store::MissingCalls(int atLeast, int limit) {
  Lease lease(*this);
  Statement q(*lease,
              "WITH latest AS (SELECT id FROM logs AS l "
              "                WHERE counted = (SELECT MAX(counted) FROM logs AS o WHERE o.call = l.call)) "
              "SELECT w.call, COUNT(*) AS n FROM worked AS w JOIN latest ON w.log = latest.id "
              "WHERE w.call NOT IN (SELECT call FROM logs) GROUP BY w.call HAVING n >= ? "
              "ORDER BY n DESC, w.call LIMIT ?");
  q.Bind(1, atLeast).Bind(2, limit);
  std::vector<Missing> all;
  while (q.Step()) all.push_back({q.Text(0), static_cast<int>(q.Int(1))});
  return all;
}

std::vector<Arrival> Store::Arrivals() {
  Lease lease(*this);
  // The counted versions by their index: `counted` sits past each log's bytes in its row, a public page
  // should not read through every log to find it.
  Statement q(*lease,
              "SELECT call, MIN(received) FROM logs "
              "WHERE id IN (SELECT id FROM logs WHERE counted IS NOT NULL) GROUP BY call ORDER BY call");
  std::vector<Arrival> all;
  while (q.Step()) all.push_back({q.Text(0), q.Text(1)});
  return all;
}

std::int64_t Store::Publish(const Publication& p) {
  Lease lease(*this);
  Connection& db = *lease;
  WriteTransaction transaction(db);
  Statement(db,
            "INSERT INTO publications (published, window, results_html, results_text, summary) "
            "VALUES (?, ?, ?, ?, ?)")
      .Bind(1, p.published)
      .Bind(2, p.window)
      .Bind(3, p.resultsHtml)
      .Bind(4, p.resultsText)
      .Bind(5, p.summary)
      .Run();
  const std::int64_t id = db.LastInsertId();
  Statement result(
      db,
      "INSERT INTO results (publication, call, log, place, claimed_qsos, claimed_points, "
      "claimed_mults, claimed_score, checked_qsos, checked_points, checked_mults, checked_score, "
      "removed, ubn) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  for (const PublishedLog& log : p.logs) {
    result.Bind(1, id).Bind(2, log.call).Bind(3, log.log).Bind(4, log.place);
    result.Bind(5, log.claimed.qsos).Bind(6, log.claimed.points).Bind(7, log.claimed.multiplier);
    result.Bind(8, log.claimed.score).Bind(9, log.checked.qsos).Bind(10, log.checked.points);
    result.Bind(11, log.checked.multiplier).Bind(12, log.checked.score).Bind(13, log.removed);
    result.Bind(14, log.ubn).Run();
    result.Reset();
  }
  // A publication's classes are a row a contact, about a million for a large contest, and its UBN reports a
  // page a log: kept for every publication they would grow the database by that much each time the sponsor
  // publishes, while only the last one's are ever read.
  Statement(db, "DELETE FROM classes WHERE publication <> ?").Bind(1, id).Run();
  Statement(db, "UPDATE results SET ubn = '' WHERE publication <> ? AND ubn <> ''").Bind(1, id).Run();
  Statement cls(db, "INSERT INTO classes (publication, log, line, worked, class) VALUES (?, ?, ?, ?, ?)");
  for (const Publication::Class& c : p.classes) {
    cls.Bind(1, id).Bind(2, c.log).Bind(3, c.line).Bind(4, c.worked).Bind(5, c.name).Run();
    cls.Reset();
  }
  transaction.Commit();
  return id;
}

std::optional<Publication> Store::LastPublication() {
  Lease lease(*this);
  Statement q(*lease,
              "SELECT id, published, window, results_html, results_text, summary FROM publications "
              "ORDER BY id DESC LIMIT 1");
  if (!q.Step()) return std::nullopt;
  Publication p;
  p.id = q.Int(0);
  p.published = q.Text(1);
  p.window = static_cast<int>(q.Int(2));
  p.resultsHtml = q.Text(3);
  p.resultsText = q.Text(4);
  p.summary = q.Text(5);
  return p;
}

namespace {

constexpr char kResultColumns[] =
    "SELECT r.call, r.log, r.place, r.claimed_qsos, r.claimed_points, r.claimed_mults, r.claimed_score, "
    "r.checked_qsos, r.checked_points, r.checked_mults, r.checked_score, r.removed, r.ubn, l.categories "
    "FROM results AS r JOIN logs AS l ON l.id = r.log "
    "WHERE r.publication = (SELECT MAX(id) FROM publications)";

PublishedLog ReadResult(Statement& q) {
  PublishedLog r;
  r.call = q.Text(0);
  r.log = q.Int(1);
  r.place = static_cast<int>(q.Int(2));
  r.claimed = {static_cast<int>(q.Int(3)), static_cast<int>(q.Int(4)), static_cast<int>(q.Int(5)), 0,
               static_cast<int>(q.Int(6))};
  r.checked = {static_cast<int>(q.Int(7)), static_cast<int>(q.Int(8)), static_cast<int>(q.Int(9)), 0,
               static_cast<int>(q.Int(10))};
  r.removed = static_cast<int>(q.Int(11));
  r.ubn = q.Text(12);
  r.categories = q.Text(13);
  return r;
}

}  // namespace

std::vector<PublishedLog> Store::PublishedLogs() {
  Lease lease(*this);
  Statement q(*lease, (std::string(kResultColumns) + " ORDER BY r.place = 0, r.place, r.call").c_str());
  std::vector<PublishedLog> all;
  while (q.Step()) all.push_back(ReadResult(q));
  return all;
}

std::optional<PublishedLog> Store::Published(const std::string& call) {
  Lease lease(*this);
  Statement q(*lease, (std::string(kResultColumns) + " AND r.call = ?").c_str());
  q.Bind(1, call);
  if (!q.Step()) return std::nullopt;
  return ReadResult(q);
}

}  // namespace serve
