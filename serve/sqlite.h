// A thin hold on SQLite: connections that close themselves, statements bound and stepped by position, and
// transactions that roll back unless committed. Errors are thrown as StoreError with SQLite's own words.
#ifndef ZORVANT_SERVE_SQLITE_H_
#define ZORVANT_SERVE_SQLITE_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace serve {

class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Connection {
 public:
  // Opens (creating) the database file, with the settings every connection of the server shares: the
  // write-ahead log, a full sync at each commit, foreign keys enforced, and waits for a busy writer.
  explicit Connection(const std::string& path);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void Exec(const char* sql);
  sqlite3* handle() { return db_; }
  std::int64_t LastInsertId();

 private:
  sqlite3* db_ = nullptr;
};

class Statement {
 public:
  Statement(Connection& connection, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Parameters from 1, as SQLite counts them; each returns *this to chain.
  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, std::string_view text);
  Statement& BindBlob(int index, std::string_view bytes);
  // True while a row is there to read; false once done.
  bool Step();
  // Steps a statement that returns no row.
  void Run();
  // Back to the start with the same bindings cleared, for the next row of a batch.
  void Reset();

  // Columns from 0.
  std::int64_t Int(int column);
  std::string Text(int column);
  bool IsNull(int column);

 private:
  Connection& connection_;
  sqlite3_stmt* stmt_ = nullptr;
};

// BEGIN IMMEDIATE at once (the write lock is taken now, not at the first write, so two writers never
// deadlock); ROLLBACK when left without Commit, as when an exception passes.
class WriteTransaction {
 public:
  explicit WriteTransaction(Connection& connection);
  ~WriteTransaction();
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  void Commit();

 private:
  Connection& connection_;
  bool done_ = false;
};

// A read of one consistent state of the database, however the writers go on meanwhile.
class ReadTransaction {
 public:
  explicit ReadTransaction(Connection& connection);
  ~ReadTransaction();
  ReadTransaction(const ReadTransaction&) = delete;
  ReadTransaction& operator=(const ReadTransaction&) = delete;

 private:
  Connection& connection_;
};

}  // namespace serve

#endif  // ZORVANT_SERVE_SQLITE_H_
