#include "cli/archive_query.h"

#include "cli/archive_connection.h"
#include "kiroku/io/file_reader.h"

namespace kiroku::cli {
namespace {

constexpr std::string_view kNotOneSelect = "--sql: the query must be one read-only SELECT statement";

// Lets a statement read tables and call functions, nothing else: a write,
// a PRAGMA, an ATTACH or a transaction fails to prepare.
int only_reads(void* /*unused*/, int action, const char* /*unused*/, const char* /*unused*/, const char* /*unused*/,
               const char* /*unused*/) {
  switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE: return SQLITE_OK;
    default: return SQLITE_DENY;
  }
}

int size_int(std::string_view text) noexcept { return static_cast<int>(text.size()); }  // kMaxQueryBytes fits

// Whether `rest` holds only white space and comments.
bool holds_no_statement(sqlite3* db, std::string_view rest) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db, rest.data(), size_int(rest), &raw, nullptr);
  const SqliteStatement statement(raw);
  return rc == SQLITE_OK && !statement;
}

// The statement's text as a subquery: without its final ';'.  What follows
// it goes on a line of its own, after any "--" comment it ends with.
std::string_view without_semicolon(std::string_view text) {
  while (!text.empty() && std::string_view(" \t\n\r\f\v").find(text.back()) != std::string_view::npos) {
    text.remove_suffix(1);
  }
  if (text.ends_with(';')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::expected<UserQuery, std::string> prepare_user_query(sqlite3* db, std::string_view query,
                                                         const ArchiveOptions& options) {
  if (query.size() > kMaxQueryBytes) {
    return std::unexpected("--sql: the query is longer than " + size_text(kMaxQueryBytes));
  }
  // SQLite would end the text at a NUL and never see what follows.
  if (query.find('\0') != std::string_view::npos) return std::unexpected(std::string("--sql: the query holds a NUL"));

  sqlite3_set_authorizer(db, only_reads, nullptr);
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v3(db, query.data(), size_int(query), SQLITE_PREPARE_PERSISTENT, &raw, &tail);
  SqliteStatement statement(raw);
  if ((rc & 0xFF) == SQLITE_AUTH) return std::unexpected(std::string(kNotOneSelect));
  // A plain SQLITE_ERROR is the query's own: a syntax error, no such table.
  if ((rc & 0xFF) == SQLITE_ERROR) return std::unexpected("--sql: " + sqlite_text(db));
  if (rc != SQLITE_OK) return std::unexpected(sqlite_message(db, rc, options));
  if (!statement) return std::unexpected(std::string("--sql: the query is empty"));

  const auto first_size = static_cast<std::size_t>(tail - query.data());
  if (!holds_no_statement(db, query.substr(first_size))) {
    return std::unexpected(std::string("--sql: the query holds more than one statement"));
  }
  if (sqlite3_stmt_readonly(statement.get()) == 0 || sqlite3_stmt_isexplain(statement.get()) != 0) {
    return std::unexpected(std::string(kNotOneSelect));
  }
  if (const int columns = sqlite3_column_count(statement.get()); columns != 2) {
    return std::unexpected("--sql: the query gives " + std::to_string(columns) +
                           (columns == 1 ? " column" : " columns") + "; it must give two, the id then the log");
  }
  std::string count = "SELECT count(*) FROM (\n";
  count.append(without_semicolon(query.substr(0, first_size))).append("\n)");
  return UserQuery{std::move(statement), std::move(count)};
}

}  // namespace kiroku::cli
