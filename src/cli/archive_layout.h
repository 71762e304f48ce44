// Which known layout a log database has, told by its table and column
// names, and the statements that read it in pages.  For the archive_*.cpp
// files only.
#pragma once

#include <expected>
#include <string>

#include "cli/archive_database.h"
#include "cli/sqlite_handles.h"

namespace kiroku::cli {

// What each page statement gives, in this order.  The marks are 1 when the
// row has them, otherwise 0 or NULL (NULL too when the layout has no such
// column).
enum LayoutColumn : int {
  kIdColumn,
  kStoredLengthColumn,  // length(log): NULL for a NULL log
  kLogColumn,           // NULL too when longer than ?2
  kNotProcessedColumn,
  kErrorColumn,
  kThreePlayerColumn,
};

struct LayoutSql {
  std::string first_page;  // ?2: the longest log read, ?3: the rows in a page
  std::string next_page;   // the same, for the ids after ?1
  std::string count;       // the rows both give
};

// The first known table the database has, with its columns.  An error when
// it has none, or when the table lacks a column needed or its id is not its
// primary key (which orders the rows, and keeps paging from skipping one).
[[nodiscard]] std::expected<ArchiveLayout, std::string> recognise_layout(sqlite3* db, const ArchiveOptions& options);

LayoutSql layout_sql(const ArchiveLayout& layout);

}  // namespace kiroku::cli
