// Opening a log database the way a file from anyone must be opened: read
// only, creating nothing beside it, with SQLite's defences on; and SQLite's
// errors as one-line messages.  For the archive_*.cpp files only.
#pragma once

#include <cstddef>
#include <expected>
#include <filesystem>
#include <string>

#include "cli/archive_database.h"
#include "cli/sqlite_handles.h"

namespace kiroku::cli {

// The longest statement taken: a user's query is a line or a few, and this
// keeps a pasted file out.
inline constexpr std::size_t kMaxQueryBytes = std::size_t{1} << 20;

// A connection to `path`, checked first to be a regular file with SQLite's
// header.  Caps SQLite's heap for the whole process (see ArchiveOptions).
[[nodiscard]] std::expected<SqliteDb, std::string> open_connection(const std::filesystem::path& path,
                                                                   const ArchiveOptions& options);

// SQLite's message for the last failed call on `db`, which may quote the
// file's schema or a query, with control characters escaped.
std::string sqlite_text(sqlite3* db);

// What went wrong, for the result code `rc` of a call on `db` (which may be
// null): SQLite's message with what it means here, "sqlite: database is
// locked (a writer held it for more than 2 s)".
std::string sqlite_message(sqlite3* db, int rc, const ArchiveOptions& options);

// `sql` prepared to be stepped many times.
[[nodiscard]] std::expected<SqliteStatement, std::string> prepare_statement(sqlite3* db, const std::string& sql,
                                                                            const ArchiveOptions& options);

}  // namespace kiroku::cli
