// SQLite connection, statements and transactions for the simulator's state.
#include "zcvsim/sqlite_db.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zcv::sim {
namespace {

// Several simulator processes may share one file (the demo runs three).
constexpr int kBusyTimeoutMs = 5000;

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
  throw SqliteError(what + ": " + (db != nullptr ? sqlite3_errmsg(db) : "out of memory"));
}

std::string FolderOf(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The database holds the cards' TOTP secrets in clear. A new file is made
// readable by its owner alone (SQLite gives its -wal and -shm files the same
// mode), and only in a folder that the invoking user owns and nobody else
// may write to, so that no other user can have put a file or link there
// first, or swap one in later.
void CreatePrivately(const std::string& path) {
  struct stat existing;
  if (path.empty() || path == ":memory:" || ::lstat(path.c_str(), &existing) == 0) return;
  const std::string folder = FolderOf(path);
  struct stat status;
  if (::stat(folder.c_str(), &status) != 0 || status.st_uid != ::geteuid() ||
      (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    throw SqliteError("will not create " + path + ": its folder " + folder +
                      " must belong to you and be writable by nobody else");
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) throw SqliteError("cannot create " + path);
  ::close(fd);
}

}  // namespace

Database::Database(const std::string& path) {
  CreatePrivately(path);
  sqlite3* raw = nullptr;
  int rc =
      sqlite3_open_v2(path.c_str(), &raw,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  db_.reset(raw);
  if (rc != SQLITE_OK) Fail(raw, "cannot open " + path);
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  Exec("PRAGMA journal_mode=WAL");
  Exec("PRAGMA foreign_keys=ON");
}

void Database::Exec(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message != nullptr ? message : "unknown error";
    sqlite3_free(message);
    throw SqliteError(text + " in: " + sql);
  }
}

Statement Database::Prepare(const std::string& sql) { return Statement(db_.get(), sql); }

std::int64_t Database::Changes() const { return sqlite3_changes(db_.get()); }

Statement::Statement(sqlite3* db, const std::string& sql) : db_(db) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) Fail(db, sql);
  stmt_.reset(raw);
}

Statement& Statement::Bind(int index, std::int64_t value) {
  if (sqlite3_bind_int64(stmt_.get(), index, value) != SQLITE_OK) Fail(db_, "bind");
  return *this;
}

Statement& Statement::Bind(int index, const std::string& value) {
  if (sqlite3_bind_text(stmt_.get(), index, value.data(), static_cast<int>(value.size()),
                        SQLITE_TRANSIENT) != SQLITE_OK) {
    Fail(db_, "bind");
  }
  return *this;
}

Statement& Statement::Bind(int index, const std::optional<std::string>& value) {
  if (value) return Bind(index, *value);
  if (sqlite3_bind_null(stmt_.get(), index) != SQLITE_OK) Fail(db_, "bind");
  return *this;
}

bool Statement::Step() {
  int rc = sqlite3_step(stmt_.get());
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail(db_, "step");
}

void Statement::Run() {
  while (Step()) {
  }
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_.get(), column); }

std::string Statement::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(stmt_.get(), column);
  if (text == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), column)));
}

std::optional<std::string> Statement::OptText(int column) const {
  if (sqlite3_column_type(stmt_.get(), column) == SQLITE_NULL) return std::nullopt;
  return Text(column);
}

Transaction::Transaction(Database& db) : db_(db) { db_.Exec("BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
  if (done_) return;
  try {
    db_.Exec("ROLLBACK");
  } catch (const SqliteError&) {
    // The connection already rolled back on its own (for instance after a
    // busy timeout); nothing is left to undo.
  }
}

void Transaction::Commit() {
  db_.Exec("COMMIT");
  done_ = true;
}

}  // namespace zcv::sim
