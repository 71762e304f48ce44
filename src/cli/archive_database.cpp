#include "cli/archive_database.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "cli/archive_connection.h"
#include "cli/archive_layout.h"
#include "cli/archive_query.h"
#include "cli/sqlite_handles.h"

namespace kiroku::cli {
namespace {

constexpr std::string_view kSqliteHeader{"SQLite format 3\0", kSqliteHeaderSize};

// "YYYYMMDDHH" then "gm-", then the game type in four hex digits.
constexpr std::size_t kDateDigits = 10;
constexpr std::size_t kTypeOffset = 13;
constexpr std::size_t kTypeDigits = 4;
constexpr unsigned kThreePlayerBit = 0x10;

constexpr std::array<std::string_view, 5> kSkipTexts{
    "",
    "not downloaded",
    "marked as an error by the downloader",
    "three-player game",
    "stored log larger than the size limit",
};
static_assert(kSkipTexts.size() == static_cast<std::size_t>(SkipReason::TooLarge) + 1);

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// 0 to 15, or -1 for a character that is no hex digit.
int hex_value(char c) noexcept {
  if (is_digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// What a row says about its log, whatever gave it.
struct StoredLog {
  std::optional<std::int64_t> length;  // none for a NULL log
  bool not_processed = false;
  bool error = false;
  bool three_player = false;  // by a column
};

// A failed download is reported as such even when nothing was stored; a
// three-player game only once there is a log to pass over.
SkipReason skip_reason(const StoredLog& stored, std::string_view id, std::size_t max_log_bytes) {
  if (stored.error) return SkipReason::ErrorRow;
  if (stored.not_processed || !stored.length || *stored.length <= 0) return SkipReason::NotDownloaded;
  if (stored.three_player || is_three_player_log_id(id)) return SkipReason::ThreePlayer;
  if (static_cast<std::uint64_t>(*stored.length) > max_log_bytes) return SkipReason::TooLarge;
  return SkipReason::None;
}

// The bytes of the column whose _text or _blob pointer `data` is; SQLite
// wants the pointer asked for before the size.
std::string column_bytes(sqlite3_stmt* statement, int column, const void* data) {
  const int size = sqlite3_column_bytes(statement, column);
  if (data == nullptr || size <= 0) return {};
  return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

std::string column_id(sqlite3_stmt* statement) { return column_bytes(statement, 0, sqlite3_column_text(statement, 0)); }

std::string column_log(sqlite3_stmt* statement, int column) {
  return column_bytes(statement, column, sqlite3_column_blob(statement, column));
}

ArchiveRow layout_row(sqlite3_stmt* statement, std::size_t max_log_bytes) {
  StoredLog stored;
  if (sqlite3_column_type(statement, kStoredLengthColumn) != SQLITE_NULL) {
    stored.length = sqlite3_column_int64(statement, kStoredLengthColumn);
  }
  stored.not_processed = sqlite3_column_int(statement, kNotProcessedColumn) == 1;
  stored.error = sqlite3_column_int(statement, kErrorColumn) == 1;
  stored.three_player = sqlite3_column_int(statement, kThreePlayerColumn) == 1;
  ArchiveRow row;
  row.id = column_id(statement);
  row.skip = skip_reason(stored, row.id, max_log_bytes);
  if (row.skip == SkipReason::None) row.log = column_log(statement, kLogColumn);
  return row;
}

ArchiveRow query_row(sqlite3_stmt* statement, std::size_t max_log_bytes) {
  ArchiveRow row;
  row.id = column_id(statement);
  std::string log = column_log(statement, 1);
  StoredLog stored;
  if (sqlite3_column_type(statement, 1) != SQLITE_NULL) stored.length = static_cast<std::int64_t>(log.size());
  row.skip = skip_reason(stored, row.id, max_log_bytes);
  if (row.skip == SkipReason::None) row.log = std::move(log);
  return row;
}

}  // namespace

bool has_sqlite_header(std::string_view first_bytes) noexcept { return first_bytes.starts_with(kSqliteHeader); }

std::optional<unsigned> log_id_game_type(std::string_view id) noexcept {
  if (id.size() <= kTypeOffset + kTypeDigits || id.substr(kDateDigits, kTypeOffset - kDateDigits) != "gm-" ||
      id[kTypeOffset + kTypeDigits] != '-' || !std::ranges::all_of(id.substr(0, kDateDigits), is_digit)) {
    return std::nullopt;
  }
  unsigned type = 0;
  for (const char c : id.substr(kTypeOffset, kTypeDigits)) {
    const int digit = hex_value(c);
    if (digit < 0) return std::nullopt;
    type = type * 16 + static_cast<unsigned>(digit);
  }
  return type;
}

bool is_three_player_log_id(std::string_view id) noexcept {
  const std::optional<unsigned> type = log_id_game_type(id);
  return type && (*type & kThreePlayerBit) != 0;
}

std::string_view skip_reason_text(SkipReason reason) noexcept { return kSkipTexts[static_cast<std::size_t>(reason)]; }

struct ArchiveDatabase::State {
  ArchiveOptions options;
  SqliteDb db;  // first, so that the statements go before it
  std::optional<ArchiveLayout> layout;
  std::string count_sql;
  // A known layout: the page statements, the page being handed out, and
  // the id it ended at (a copy of the value itself, so that an id of any
  // type orders the next page).
  SqliteStatement first_page;
  SqliteStatement next_page;
  std::vector<ArchiveRow> page;
  std::size_t taken = 0;
  SqliteValue last_id;
  // A user's query.
  SqliteStatement query;
  bool finished = false;
  std::optional<std::string> failure;

  std::expected<void, std::string> read_page();
  std::expected<std::optional<ArchiveRow>, std::string> next_page_row();
  std::expected<std::optional<ArchiveRow>, std::string> next_query_row();
  std::string error(int rc) { return sqlite_message(db.get(), rc, options); }
};

// Copies the rows of one page out, in one read transaction that ends with
// the reset, before any of them is handed out.
std::expected<void, std::string> ArchiveDatabase::State::read_page() {
  page.clear();
  taken = 0;
  sqlite3_stmt* const statement = last_id ? next_page.get() : first_page.get();
  const StatementReset reset(statement);
  int rc = last_id ? sqlite3_bind_value(statement, 1, last_id.get()) : SQLITE_OK;
  if (rc == SQLITE_OK) rc = sqlite3_bind_int64(statement, 2, static_cast<sqlite3_int64>(options.max_log_bytes));
  if (rc == SQLITE_OK) rc = sqlite3_bind_int64(statement, 3, static_cast<sqlite3_int64>(options.page_rows));
  if (rc != SQLITE_OK) return std::unexpected(error(rc));
  std::size_t bytes = 0;
  while (page.size() < options.page_rows && (page.empty() || bytes < options.page_bytes)) {
    rc = sqlite3_step(statement);
    if (rc == SQLITE_DONE) {
      finished = true;
      break;
    }
    if (rc != SQLITE_ROW) return std::unexpected(error(rc));
    SqliteValue id(sqlite3_value_dup(sqlite3_column_value(statement, kIdColumn)));
    if (!id) return std::unexpected(error(SQLITE_NOMEM));
    page.push_back(layout_row(statement, options.max_log_bytes));
    bytes += page.back().id.size() + page.back().log.size();
    last_id = std::move(id);
  }
  return {};
}

std::expected<std::optional<ArchiveRow>, std::string> ArchiveDatabase::State::next_page_row() {
  if (taken == page.size()) {
    if (finished) return std::nullopt;
    if (auto read = read_page(); !read) return std::unexpected(read.error());
    if (page.empty()) return std::nullopt;
  }
  return std::move(page[taken++]);
}

std::expected<std::optional<ArchiveRow>, std::string> ArchiveDatabase::State::next_query_row() {
  if (finished) return std::nullopt;
  const int rc = sqlite3_step(query.get());
  if (rc == SQLITE_DONE) {
    finished = true;
    sqlite3_reset(query.get());  // ends the read transaction now, not at close
    return std::nullopt;
  }
  if (rc != SQLITE_ROW) return std::unexpected(error(rc));
  return query_row(query.get(), options.max_log_bytes);
}

ArchiveDatabase::ArchiveDatabase(std::unique_ptr<State> state) noexcept : state_(std::move(state)) {}
ArchiveDatabase::ArchiveDatabase(ArchiveDatabase&&) noexcept = default;
ArchiveDatabase& ArchiveDatabase::operator=(ArchiveDatabase&&) noexcept = default;
ArchiveDatabase::~ArchiveDatabase() = default;

std::expected<ArchiveDatabase, std::string> ArchiveDatabase::open(const std::filesystem::path& path,
                                                                  const ArchiveOptions& options) {
  auto db = open_connection(path, options);
  if (!db) return std::unexpected(db.error());
  auto state = std::make_unique<State>();
  state->options = options;
  if (state->options.page_rows == 0) state->options.page_rows = 1;
  state->db = std::move(*db);
  auto layout = recognise_layout(state->db.get(), options);
  if (!layout) return std::unexpected(layout.error());
  state->layout = *layout;
  LayoutSql sql = layout_sql(*layout);
  auto first_page = prepare_statement(state->db.get(), sql.first_page, options);
  if (!first_page) return std::unexpected(first_page.error());
  auto next_page = prepare_statement(state->db.get(), sql.next_page, options);
  if (!next_page) return std::unexpected(next_page.error());
  state->first_page = std::move(*first_page);
  state->next_page = std::move(*next_page);
  state->count_sql = std::move(sql.count);
  return ArchiveDatabase(std::move(state));
}

std::expected<ArchiveDatabase, std::string> ArchiveDatabase::open_query(const std::filesystem::path& path,
                                                                        std::string_view query,
                                                                        const ArchiveOptions& options) {
  auto db = open_connection(path, options);
  if (!db) return std::unexpected(db.error());
  auto state = std::make_unique<State>();
  state->options = options;
  state->db = std::move(*db);
  auto prepared = prepare_user_query(state->db.get(), query, options);
  if (!prepared) return std::unexpected(prepared.error());
  state->query = std::move(prepared->statement);
  state->count_sql = std::move(prepared->count);
  return ArchiveDatabase(std::move(state));
}

const std::optional<ArchiveLayout>& ArchiveDatabase::layout() const noexcept { return state_->layout; }

std::expected<std::uint64_t, std::string> ArchiveDatabase::count_rows() {
  auto statement = prepare_statement(state_->db.get(), state_->count_sql, state_->options);
  if (!statement) return std::unexpected(statement.error());
  const StatementReset reset(statement->get());
  const int rc = sqlite3_step(statement->get());
  if (rc != SQLITE_ROW) return std::unexpected(state_->error(rc));
  return static_cast<std::uint64_t>(sqlite3_column_int64(statement->get(), 0));
}

std::expected<std::optional<ArchiveRow>, std::string> ArchiveDatabase::next_row() {
  State& state = *state_;
  if (state.failure) return std::unexpected(*state.failure);
  auto row = state.query ? state.next_query_row() : state.next_page_row();
  if (!row) state.failure = row.error();
  return row;
}

}  // namespace kiroku::cli
