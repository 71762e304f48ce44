// A user's own query over a log database (--sql), checked to be one
// read-only SELECT giving the id and the log.  For the archive_*.cpp files
// only.
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "cli/archive_database.h"
#include "cli/sqlite_handles.h"

namespace kiroku::cli {

struct UserQuery {
  SqliteStatement statement;  // gives the id, then the log
  std::string count;          // count(*) of its rows
};

// Prepares `query` on `db`, refusing anything but one SELECT statement of
// two columns.  Leaves an authorizer on `db` that lets later statements
// (and SQLite's own re-preparing of this one) only read.
[[nodiscard]] std::expected<UserQuery, std::string> prepare_user_query(sqlite3* db, std::string_view query,
                                                                       const ArchiveOptions& options);

}  // namespace kiroku::cli
