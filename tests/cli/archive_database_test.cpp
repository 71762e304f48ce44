#include "cli/archive_database.h"

#include <gtest/gtest.h>
#include <stdlib.h>  // mkdtemp

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "cli/sqlite_handles.h"

namespace kiroku::cli {
namespace {
namespace fs = std::filesystem;

// A database the test writes through a connection of its own.
class Writer {
 public:
  explicit Writer(const fs::path& path) {
    sqlite3* raw = nullptr;
    sqlite3_open(path.c_str(), &raw);
    db_.reset(raw);
  }

  void exec(const std::string& sql) {
    EXPECT_EQ(sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sql << ": " << sqlite3_errmsg(db_.get());
  }

  // Runs `sql` with :id, :log (a blob, or NULL), :processed, :error and
  // :three bound where the statement names them.
  void insert(const std::string& sql, const std::string& id, const std::optional<std::string>& log, int processed = 1,
              int error = 0, int three = 0) {
    sqlite3_stmt* raw = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr), SQLITE_OK) << sqlite3_errmsg(db_.get());
    const SqliteStatement statement(raw);
    const auto index = [&](const char* name) { return sqlite3_bind_parameter_index(raw, name); };
    sqlite3_bind_text(raw, index(":id"), id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
    if (log) sqlite3_bind_blob(raw, index(":log"), log->data(), static_cast<int>(log->size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(raw, index(":processed"), processed);
    sqlite3_bind_int(raw, index(":error"), error);
    sqlite3_bind_int(raw, index(":three"), three);
    EXPECT_EQ(sqlite3_step(raw), SQLITE_DONE) << sqlite3_errmsg(db_.get());
  }

 private:
  SqliteDb db_;
};

class ArchiveDatabaseTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "archive_database_test.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
  }
  void TearDown() override { fs::remove_all(directory_); }

  fs::path path(const std::string& name) const { return directory_ / name; }

  fs::path directory_;
};
using archive_database_test = ArchiveDatabaseTest;  // the suite is named after the file

struct Row {
  std::string id;
  std::string log;
  SkipReason skip = SkipReason::None;
  bool operator==(const Row&) const = default;
};

using Rows = std::expected<std::vector<Row>, std::string>;

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.id << " " << skip_reason_text(row.skip) << " (" << row.log.size() << " bytes)";
}

void PrintTo(const Rows& rows, std::ostream* out) {
  if (!rows) {
    *out << "error: " << rows.error();
    return;
  }
  for (const Row& row : *rows) {
    PrintTo(row, out);
    *out << "; ";
  }
}

Rows failure(const std::string& message) { return std::unexpected(message); }

// Every row, or the first error.
Rows read_all(ArchiveDatabase& database) {
  std::vector<Row> rows;
  for (;;) {
    auto row = database.next_row();
    if (!row) return std::unexpected(row.error());
    if (!*row) return rows;
    rows.push_back({(*row)->id, (*row)->log, (*row)->skip});
  }
}

// Opens `path` and reads it whole; the open's or the reading's error.
Rows read_file(const fs::path& path, const ArchiveOptions& options = {}) {
  auto database = ArchiveDatabase::open(path, options);
  if (!database) return std::unexpected(database.error());
  return read_all(*database);
}

constexpr const char* kCurrentSchema =
    "CREATE TABLE logs(log_id text primary key, date text, is_tonpusen int, is_sanma int, is_processed int, "
    "was_error int, log_content text); CREATE TABLE last_downloads(name text, date int);";
constexpr const char* kCurrentInsert =
    "INSERT INTO logs VALUES(:id, '2023-06-01 00:00', 0, :three, :processed, :error, :log)";

std::string id_of(int serial, bool three_player_type = false) {
  return std::string(three_player_type ? "2023060100gm-00b9-0000-" : "2023060100gm-00a9-0000-") + "0000000" +
         std::to_string(serial);
}

// A log that is no text, as compressed ones are.
std::string log_of(int serial) { return std::string("\x1f\x8b\0\xff", 4) + std::to_string(serial); }

TEST_F(archive_database_test, every_layout_gives_its_rows_by_id_with_their_skip_reasons) {
  struct Case {
    const char* name;
    const char* schema;
    const char* insert;
    ArchiveLayout layout;
  };
  const Case cases[] = {
      {"current",
       kCurrentSchema,
       kCurrentInsert,
       {"logs", "log_id", "log_content", "is_processed", "was_error", "is_sanma"}},
      {"2020",
       "CREATE TABLE logs(log_id text primary key, is_tonpusen int, is_hirosima int, is_processed int, was_error int, "
       "log_content text, log_hash text)",
       "INSERT INTO logs VALUES(:id, 0, :three, :processed, :error, :log, 'hash')",
       {"logs", "log_id", "log_content", "is_processed", "was_error", "is_hirosima"}},
      {"typed",
       "CREATE TABLE logs (id TEXT PRIMARY KEY, date TEXT NOT NULL, num_players INTEGER NOT NULL CHECK(num_players IN "
       "(4, 3)), is_tonpu INTEGER NOT NULL CHECK(is_tonpu IN (0, 1)), is_processed INTEGER NOT NULL "
       "CHECK(is_processed IN (0, 1)), was_error INTEGER NOT NULL CHECK(was_error IN (0, 1)), log BLOB) WITHOUT "
       "ROWID; CREATE TABLE last_fetch_time(time REAL); CREATE TABLE file_index(file TEXT PRIMARY KEY, size INTEGER "
       "NOT NULL);",
       "INSERT INTO logs VALUES(:id, '2023-06-01T00:00', 4 - :three, 0, :processed, :error, :log)",
       {"logs", "id", "log", "is_processed", "was_error", "num_players"}},
      {"merged",
       "CREATE TABLE logs(log_id text primary key, year text, log_content text, log_hash text)",
       "INSERT INTO logs VALUES(:id, '2023', :log, 'hash')",
       {"logs", "log_id", "log_content", "", "", ""}},
      {"records",
       "CREATE TABLE records(id TEXT PRIMARY KEY, timestamp INTEGER, content BLOB NOT NULL); CREATE TABLE "
       "indexes(id, timestamp, numrecords);",
       "INSERT INTO records VALUES(:id, 0, coalesce(:log, ''))",
       {"records", "id", "content", "", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = path(std::string(c.name) + ".db");
    const bool has_state = !c.layout.processed_column.empty();
    {
      Writer writer(file);
      writer.exec(c.schema);
      // Out of order, so that the order read is the reading's own.
      writer.insert(c.insert, id_of(6), log_of(6));
      writer.insert(c.insert, id_of(1), log_of(1));
      writer.insert(c.insert, id_of(2), std::nullopt, has_state ? 0 : 1);
      writer.insert(c.insert, id_of(5, true), log_of(5));
      if (has_state) {
        writer.insert(c.insert, id_of(3), std::nullopt, 1, 1);
        writer.insert(c.insert, id_of(4), log_of(4), 1, 0, 1);
      }
    }
    std::vector<Row> expected = {{id_of(1), log_of(1)}, {id_of(2), "", SkipReason::NotDownloaded}};
    if (has_state) {
      expected.push_back({id_of(3), "", SkipReason::ErrorRow});
      expected.push_back({id_of(4), "", SkipReason::ThreePlayer});
    }
    expected.push_back({id_of(6), log_of(6)});
    expected.push_back({id_of(5, true), "", SkipReason::ThreePlayer});  // "00b9" sorts after "00a9"

    auto database = ArchiveDatabase::open(file, {.page_rows = 2});
    ASSERT_TRUE(database.has_value()) << database.error();
    EXPECT_EQ(database->layout(), c.layout);
    EXPECT_EQ(database->count_rows(), expected.size());
    EXPECT_EQ(read_all(*database), expected);
  }
}

TEST_F(archive_database_test, a_log_over_the_limit_is_not_loaded) {
  {
    Writer writer(path("a.db"));
    writer.exec(kCurrentSchema);
    writer.insert(kCurrentInsert, id_of(1), std::string(10, 'x'));
    writer.insert(kCurrentInsert, id_of(2), std::string(11, 'x'));
  }
  const std::vector<Row> expected = {{id_of(1), std::string(10, 'x')}, {id_of(2), "", SkipReason::TooLarge}};
  EXPECT_EQ(read_file(path("a.db"), {.max_log_bytes = 10}), expected);
}

// Keyset paging must bind the last id as the value it was: bound as text, a
// blob id (greater than every text) would start the same page again forever.
TEST_F(archive_database_test, ids_of_other_types_are_each_read_once) {
  {
    Writer writer(path("a.db"));
    writer.exec("CREATE TABLE records(id TEXT PRIMARY KEY, timestamp INTEGER, content BLOB NOT NULL)");
    writer.exec("INSERT INTO records VALUES(x'6869', 0, 'b'), ('zz', 0, 'a'), (7, 0, 'c')");
  }
  const std::vector<Row> expected = {{"7", "c"}, {"zz", "a"}, {"hi", "b"}};
  EXPECT_EQ(read_file(path("a.db"), {.page_rows = 1}), expected);
}

TEST_F(archive_database_test, files_that_are_no_readable_database_are_named_so) {
  Writer(path("other.db")).exec("CREATE TABLE other(a)");
  Writer(path("no_log.db")).exec("CREATE TABLE logs(log_id text primary key, date text)");
  Writer(path("no_key.db")).exec("CREATE TABLE logs(log_id text, log_content text)");
  {
    Writer writer(path("truncated.db"));
    writer.exec(kCurrentSchema);
    for (int i = 0; i < 50; ++i) writer.insert(kCurrentInsert, id_of(i), std::string(4000, 'x'));
  }
  fs::resize_file(path("truncated.db"), fs::file_size(path("truncated.db")) / 2);
  std::ofstream(path("text.db")) << "<mjloggm ver=\"2.3\">";
  std::ofstream(path("empty.db")).flush();
  std::ofstream(path("header.db")) << std::string("SQLite format 3\0abc", 19);
  fs::create_directory(path("directory.db"));

  const std::pair<const char*, const char*> cases[] = {
      {"missing.db", "open: No such file or directory"},
      {"directory.db", "open: Is a directory"},
      {"text.db", "not an SQLite database"},
      {"empty.db", "not an SQLite database (an empty file)"},
      {"header.db", "not an SQLite database (truncated: 19 bytes)"},
      {"truncated.db", "sqlite: database disk image is malformed (a damaged or truncated file)"},
      {"other.db", "database: no table named logs or records"},
      {"no_log.db", "database: table logs has no log column (log_content or log)"},
      {"no_key.db",
       "database: in table logs, log_id is not the primary key, which the reading needs to order the rows"},
  };
  for (const auto& [name, message] : cases) {
    EXPECT_EQ(read_file(path(name)), failure(message)) << name;
  }
}

TEST_F(archive_database_test, a_user_query_must_be_one_select_of_two_columns) {
  {
    Writer writer(path("a.db"));
    writer.exec(kCurrentSchema);
    writer.insert(kCurrentInsert, id_of(1), log_of(1));
    writer.insert(kCurrentInsert, id_of(2), log_of(2));
    writer.insert(kCurrentInsert, id_of(3, true), log_of(3));
  }
  const std::vector<Row> descending = {
      {id_of(3, true), "", SkipReason::ThreePlayer}, {id_of(2), log_of(2)}, {id_of(1), log_of(1)}};
  const std::string refused = "--sql: the query must be one read-only SELECT statement";
  const std::pair<const char*, Rows> cases[] = {
      // The count wraps the query: its ';' and a final comment must not break it.
      {"SELECT log_id, log_content FROM logs ORDER BY log_id DESC; -- newest first", descending},
      {"WITH t AS (SELECT log_id, log_content FROM logs) SELECT * FROM t ORDER BY 1 DESC -- newest first", descending},
      {"DELETE FROM logs", failure(refused)},
      {"PRAGMA table_info(logs)", failure(refused)},
      {"ATTACH 'other.db' AS other", failure(refused)},
      {"BEGIN", failure(refused)},
      {"EXPLAIN SELECT log_id, log_content FROM logs", failure(refused)},
      {"SELECT log_id, log_content, date FROM logs",
       failure("--sql: the query gives 3 columns; it must give two, the id then the log")},
      {"SELECT 'a', 'b'; DELETE FROM logs", failure("--sql: the query holds more than one statement")},
      {" -- nothing", failure("--sql: the query is empty")},
      {"SELECT a, b FROM nowhere\x1b", failure("--sql: unrecognized token: \"\\u{1b}\"")},
  };
  for (const auto& [query, expected] : cases) {
    SCOPED_TRACE(query);
    auto database = ArchiveDatabase::open_query(path("a.db"), query);
    if (!database) {
      EXPECT_EQ(failure(database.error()), expected);
      continue;
    }
    EXPECT_FALSE(database->layout().has_value());
    EXPECT_EQ(read_all(*database), expected);
    EXPECT_EQ(database->count_rows(), 3U);
  }
  EXPECT_FALSE(fs::exists(path("other.db")));
}

TEST_F(archive_database_test, a_writer_holding_the_database_is_waited_out_then_reported) {
  Writer writer(path("a.db"));
  writer.exec(kCurrentSchema);
  writer.exec("BEGIN EXCLUSIVE");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(read_file(path("a.db"), {.busy_timeout = std::chrono::milliseconds(100)}),
            failure("sqlite: database is locked (a writer held it for more than 100 ms)"));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  writer.exec("COMMIT");
  EXPECT_EQ(read_file(path("a.db")), std::vector<Row>{});
}

TEST_F(archive_database_test, a_writer_commits_between_pages) {
  Writer writer(path("a.db"));
  writer.exec(kCurrentSchema);
  for (int i = 1; i <= 4; ++i) writer.insert(kCurrentInsert, id_of(i), log_of(i));
  auto database = ArchiveDatabase::open(path("a.db"), {.page_rows = 2});
  ASSERT_TRUE(database.has_value()) << database.error();
  ASSERT_TRUE(database->next_row().has_value());
  // No busy timeout on the writer: its commit must find no reader's lock.
  writer.insert(kCurrentInsert, id_of(5), log_of(5));
  writer.exec("DELETE FROM logs WHERE log_id = '" + id_of(4) + "'");
  const std::vector<Row> rest = {{id_of(2), log_of(2)}, {id_of(3), log_of(3)}, {id_of(5), log_of(5)}};
  EXPECT_EQ(read_all(*database), rest);
}

TEST_F(archive_database_test, a_database_in_wal_mode_is_read_without_creating_files) {
  {
    Writer writer(path("a.db"));
    writer.exec("PRAGMA journal_mode = WAL");
    writer.exec(kCurrentSchema);
    writer.insert(kCurrentInsert, id_of(1), log_of(1));
  }  // the last connection removes the -wal file
  ASSERT_FALSE(fs::exists(path("a.db-wal")));
  EXPECT_EQ(read_file(path("a.db")), (std::vector<Row>{{id_of(1), log_of(1)}}));
  EXPECT_EQ(std::distance(fs::directory_iterator(directory_), fs::directory_iterator()), 1);

  // With a writer connected, its commits are in the -wal file and are read.
  Writer writer(path("a.db"));
  writer.exec("PRAGMA wal_autocheckpoint = 0");
  writer.insert(kCurrentInsert, id_of(2), log_of(2));
  ASSERT_TRUE(fs::exists(path("a.db-wal")));
  EXPECT_EQ(read_file(path("a.db")), (std::vector<Row>{{id_of(1), log_of(1)}, {id_of(2), log_of(2)}}));
}

TEST_F(archive_database_test, log_ids_tell_three_player_games_by_their_type_bits) {
  const std::pair<const char*, bool> cases[] = {
      {"2019010100gm-00b9-0000-0123abcd", true},
      {"2019010100gm-00B9-0000-0123abcd", true},
      {"2019010100gm-0011-12345-0123abcd", true},  // a five-digit lobby
      {"2019010100gm-00a9-0000-0123abcd", false},
      {"2019010100gm-00g9-0000-0123abcd", false},
      {"2019010100xx-00b9-0000-0123abcd", false},
      {"201901010Xgm-00b9-0000-0123abcd", false},
      {"", false},
  };
  for (const auto& [id, three_player] : cases) EXPECT_EQ(is_three_player_log_id(id), three_player) << id;
}

}  // namespace
}  // namespace kiroku::cli
