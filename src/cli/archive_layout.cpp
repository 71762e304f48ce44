#include "cli/archive_layout.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>
#include <vector>

#include "cli/archive_connection.h"

namespace kiroku::cli {
namespace {

// The tables downloaders keep logs in, with the names their id and log
// columns go by, the more specific first.
struct KnownTable {
  std::string_view table;
  std::array<std::string_view, 2> id_columns;
  std::array<std::string_view, 2> log_columns;
};
constexpr std::array<KnownTable, 2> kKnownTables{{
    {"logs", {"log_id", "id"}, {"log_content", "log"}},
    {"records", {"id", ""}, {"content", ""}},
}};

// A column whose value marks a three-player game.
struct ThreePlayerMark {
  std::string_view column;
  std::string_view test;
};
constexpr std::array<ThreePlayerMark, 3> kThreePlayerMarks{{
    {"is_sanma", " = 1"},
    {"is_hirosima", " = 1"},  // Hiroshima rules are played by three
    {"num_players", " = 3"},
}};

struct TableColumns {
  std::vector<std::string> names;
  std::vector<std::string> primary_key;  // in key order
};

bool same_name(std::string_view a, std::string_view b) noexcept {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::ranges::equal(a, b, {}, lower, lower);
}

// The table's columns; none when there is no such table.
std::expected<TableColumns, std::string> table_columns(sqlite3* db, std::string_view table,
                                                       const ArchiveOptions& options) {
  auto statement = prepare_statement(db, "SELECT name, pk FROM pragma_table_info(?1) ORDER BY pk", options);
  if (!statement) return std::unexpected(statement.error());
  sqlite3_stmt* const s = statement->get();
  if (const int rc = sqlite3_bind_text(s, 1, table.data(), static_cast<int>(table.size()), SQLITE_STATIC);
      rc != SQLITE_OK) {
    return std::unexpected(sqlite_message(db, rc, options));
  }
  TableColumns columns;
  for (;;) {
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return columns;
    if (rc != SQLITE_ROW) return std::unexpected(sqlite_message(db, rc, options));
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    std::string text = name != nullptr ? name : "";
    if (sqlite3_column_int(s, 1) > 0) columns.primary_key.push_back(text);
    columns.names.push_back(std::move(text));
  }
}

// The first of `candidates` the table has; empty for none.
std::string_view first_present(const TableColumns& columns, std::span<const std::string_view> candidates) {
  for (const std::string_view candidate : candidates) {
    if (candidate.empty()) continue;
    const auto has = [&](const std::string& name) { return same_name(name, candidate); };
    if (std::ranges::any_of(columns.names, has)) return candidate;
  }
  return {};
}

// "log_id or id".
std::string alternatives(std::span<const std::string_view> candidates) {
  std::string text;
  for (const std::string_view candidate : candidates) {
    if (candidate.empty()) continue;
    if (!text.empty()) text += " or ";
    text += candidate;
  }
  return text;
}

std::string_view three_player_test(std::string_view column) {
  for (const ThreePlayerMark& mark : kThreePlayerMarks) {
    if (mark.column == column) return mark.test;
  }
  return {};
}

// "is_processed = 0", or NULL for a column the table lacks.
std::string mark_test(std::string_view column, std::string_view test) {
  return column.empty() ? std::string("NULL") : std::string(column).append(test);
}

std::expected<ArchiveLayout, std::string> layout_of(const KnownTable& known, const TableColumns& columns) {
  const std::string table(known.table);
  const std::string_view id = first_present(columns, known.id_columns);
  const std::string_view log = first_present(columns, known.log_columns);
  if (id.empty()) {
    return std::unexpected("database: table " + table + " has no id column (" + alternatives(known.id_columns) + ")");
  }
  if (log.empty()) {
    return std::unexpected("database: table " + table + " has no log column (" + alternatives(known.log_columns) + ")");
  }
  if (columns.primary_key.size() != 1 || !same_name(columns.primary_key.front(), id)) {
    return std::unexpected("database: in table " + table + ", " + std::string(id) +
                           " is not the primary key, which the reading needs to order the rows");
  }
  constexpr std::array<std::string_view, 1> kProcessed{"is_processed"};
  constexpr std::array<std::string_view, 1> kError{"was_error"};
  std::array<std::string_view, kThreePlayerMarks.size()> marks{};
  std::ranges::transform(kThreePlayerMarks, marks.begin(), &ThreePlayerMark::column);
  return ArchiveLayout{.table = known.table,
                       .id_column = id,
                       .log_column = log,
                       .processed_column = first_present(columns, kProcessed),
                       .error_column = first_present(columns, kError),
                       .three_player_column = first_present(columns, marks)};
}

}  // namespace

std::expected<ArchiveLayout, std::string> recognise_layout(sqlite3* db, const ArchiveOptions& options) {
  for (const KnownTable& known : kKnownTables) {
    const auto columns = table_columns(db, known.table, options);
    if (!columns) return std::unexpected(columns.error());
    if (!columns->names.empty()) return layout_of(known, *columns);
  }
  return std::unexpected(std::string("database: no table named logs or records"));
}

// The names spliced in are this file's own, never the database's.
LayoutSql layout_sql(const ArchiveLayout& layout) {
  const std::string id(layout.id_column);
  const std::string log(layout.log_column);
  const std::string from = " FROM " + std::string(layout.table) + " WHERE " + id;
  const std::string order = " ORDER BY " + id + " LIMIT ?3";
  // length() of a blob reads only the record's header, so a log too long
  // to take is never loaded.
  const std::string select = "SELECT " + id + ", length(" + log + "), CASE WHEN length(" + log + ") <= ?2 THEN " + log +
                             " END, " + mark_test(layout.processed_column, " = 0") + ", " +
                             mark_test(layout.error_column, " = 1") + ", " +
                             mark_test(layout.three_player_column, three_player_test(layout.three_player_column));
  // A NULL id, which only a rowid table allows in its key, has no place in
  // the order.
  return {.first_page = select + from + " IS NOT NULL" + order,
          .next_page = select + from + " > ?1" + order,
          .count = "SELECT count(*)" + from + " IS NOT NULL"};
}

}  // namespace kiroku::cli
