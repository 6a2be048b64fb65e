#include "serve/sqlite.h"

#include <sqlite3.h>

namespace serve {
namespace {

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
  throw StoreError(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

}  // namespace

Connection::Connection(const std::string& path) {
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw StoreError(path + ": cannot be opened: " + why);
  }
  sqlite3_busy_timeout(db_, 30000);
  sqlite3_extended_result_codes(db_, 1);
  // WAL: readers never wait for the writer, and a kill at any point leaves the last commit whole.
  // FULL: a commit is on the disk before the receipt is shown, whatever then happens to the machine.
  Exec("PRAGMA journal_mode = WAL");
  Exec("PRAGMA synchronous = FULL");
  Exec("PRAGMA foreign_keys = ON");
}

Connection::~Connection() { sqlite3_close(db_); }

void Connection::Exec(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string why = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    throw StoreError(why);
  }
}

std::int64_t Connection::LastInsertId() { return sqlite3_last_insert_rowid(db_); }

Statement::Statement(Connection& connection, const char* sql) : connection_(connection) {
  if (sqlite3_prepare_v2(connection.handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK) {
    Fail(connection.handle(), "a statement cannot be prepared");
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::Bind(int index, std::int64_t value) {
  if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) Fail(connection_.handle(), "bind");
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  if (sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8) !=
      SQLITE_OK) {
    Fail(connection_.handle(), "bind");
  }
  return *this;
}

Statement& Statement::BindBlob(int index, std::string_view bytes) {
  // An empty text still binds a blob, not a NULL.
  static const char kNothing = 0;
  if (sqlite3_bind_blob64(stmt_, index, bytes.empty() ? &kNothing : bytes.data(), bytes.size(),
                          SQLITE_TRANSIENT) != SQLITE_OK) {
    Fail(connection_.handle(), "bind");
  }
  return *this;
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail(connection_.handle(), "the database refused a step");
}

void Statement::Run() {
  while (Step()) {
  }
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::int64_t Statement::Int(int column) { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Text(int column) {
  const void* bytes = sqlite3_column_blob(stmt_, column);
  const int size = sqlite3_column_bytes(stmt_, column);
  return bytes ? std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size)) : std::string();
}

bool Statement::IsNull(int column) { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

WriteTransaction::WriteTransaction(Connection& connection) : connection_(connection) {
  connection_.Exec("BEGIN IMMEDIATE");
}

WriteTransaction::~WriteTransaction() {
  if (done_) return;
  try {
    connection_.Exec("ROLLBACK");
  } catch (const StoreError&) {
    // SQLite has rolled back by itself already after some failures; nothing is left to undo.
  }
}

void WriteTransaction::Commit() {
  connection_.Exec("COMMIT");
  done_ = true;
}

ReadTransaction::ReadTransaction(Connection& connection) : connection_(connection) {
  connection_.Exec("BEGIN");
}

ReadTransaction::~ReadTransaction() {
  try {
    connection_.Exec("COMMIT");
  } catch (const StoreError&) {
  }
}

}  // namespace serve
