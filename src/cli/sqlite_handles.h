// Owners of SQLite's connection, statement and value handles.  Only the
// files that read databases include this header, and with it sqlite3.h.
#pragma once

#include <sqlite3.h>

#include <memory>

namespace kiroku::cli {

struct SqliteCloser {
  // The _v2 form, so that a statement still alive by mistake leaves a
  // zombie connection rather than a leaked one.
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct SqliteFinalizer {
  void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
struct SqliteValueFreer {
  void operator()(sqlite3_value* value) const noexcept { sqlite3_value_free(value); }
};

using SqliteDb = std::unique_ptr<sqlite3, SqliteCloser>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;
// A protected copy made by sqlite3_value_dup.
using SqliteValue = std::unique_ptr<sqlite3_value, SqliteValueFreer>;

// Resets a statement when the scope ends, which ends the read transaction
// an autocommit statement holds while it steps.
class StatementReset {
 public:
  explicit StatementReset(sqlite3_stmt* statement) noexcept : statement_(statement) {}
  StatementReset(const StatementReset&) = delete;
  StatementReset& operator=(const StatementReset&) = delete;
  ~StatementReset() { sqlite3_reset(statement_); }

 private:
  sqlite3_stmt* statement_;
};

}  // namespace kiroku::cli
