// Thin RAII layer over SQLite: one connection, prepared statements and
// transactions. Errors are thrown as SqliteError.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace zcv::sim {

class SqliteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Statement;

class Database {
 public:
  // Opens the file, creating it with mode 0600 when missing, which only a
  // folder of the invoking user's that nobody else may write to allows;
  // ":memory:" gives a private database.
  explicit Database(const std::string& path);

  void Exec(const std::string& sql);
  Statement Prepare(const std::string& sql);
  std::int64_t Changes() const;
  sqlite3* handle() const { return db_.get(); }

 private:
  struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
  };
  std::unique_ptr<sqlite3, Closer> db_;
};

class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql);

  // Binders count from 1, as SQLite does; an empty optional binds NULL.
  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, const std::string& value);
  Statement& Bind(int index, const std::optional<std::string>& value);

  // True while a row is available.
  bool Step();
  // Runs a statement that returns no rows.
  void Run();

  std::int64_t Int(int column) const;
  std::string Text(int column) const;
  std::optional<std::string> OptText(int column) const;

 private:
  struct Finalizer {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
  };
  sqlite3* db_;
  std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
};

// BEGIN IMMEDIATE on construction; rolls back unless Commit() was called.
class Transaction {
 public:
  explicit Transaction(Database& db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();

 private:
  Database& db_;
  bool done_ = false;
};

}  // namespace zcv::sim
