// Reading Tenhou logs out of the SQLite databases that log downloaders fill,
// one game a row with its XML compressed in a column.  The file is read
// strictly read-only, with SQLite's defences for a file from anyone, and its
// rows come one at a time in a fixed order; a downloader may go on writing
// the database meanwhile.  No SQLite type appears here: only the .cpp files
// include the library.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kiroku::cli {

// Whether a file starts with the 16 bytes "SQLite format 3\0".
inline constexpr std::size_t kSqliteHeaderSize = 16;
bool has_sqlite_header(std::string_view first_bytes) noexcept;

// The game type of a Tenhou log id, the TTTT of
// "YYYYMMDDHHgm-TTTT-LLLL-XXXXXXXX" in hex (the GO element's type); none for
// a text of any other shape.
std::optional<unsigned> log_id_game_type(std::string_view id) noexcept;

// Whether a log id names a three-player game by its type bits (0x10).
// False for an id of any other shape.
bool is_three_player_log_id(std::string_view id) noexcept;

// Why a row gives no log to convert.
enum class SkipReason : std::uint8_t {
  None,
  NotDownloaded,  // no log stored yet (NULL or empty, or is_processed 0)
  ErrorRow,       // the downloader marked the row as failed (was_error 1)
  ThreePlayer,    // marked by a column or by the id's type bits
  TooLarge,       // the stored log is longer than ArchiveOptions::max_log_bytes; count it as failed
};

// "not downloaded", "marked as an error by the downloader", "three-player
// game", "stored log larger than the size limit".
std::string_view skip_reason_text(SkipReason reason) noexcept;

// Where a known layout keeps its logs, found by table and column names.  The
// names are spelled as here (SQLite matches them whatever their case); an
// optional column the table lacks is empty.
struct ArchiveLayout {
  std::string_view table;                // "logs" or "records"
  std::string_view id_column;            // "log_id" or "id"; the table's primary key
  std::string_view log_column;           // "log_content", "log" or "content"
  std::string_view processed_column;     // "is_processed": 0 while not downloaded
  std::string_view error_column;         // "was_error": 1 for a failed download
  std::string_view three_player_column;  // "is_sanma" or "is_hirosima" (1), or "num_players" (3)

  bool operator==(const ArchiveLayout&) const = default;
};

struct ArchiveOptions {
  // How long a writer's lock is waited out before "database is locked".
  std::chrono::milliseconds busy_timeout{2000};
  // The longest stored (compressed) log taken; a longer one comes as
  // SkipReason::TooLarge without being loaded (a user's query may instead
  // end with SQLite's "string or blob too big").  SQLite's heap, for the
  // whole process, is capped at twice this plus 64 MiB for its cache.
  std::size_t max_log_bytes = std::size_t{64} << 20;
  // The known layouts are read in pages of at most this many rows, or of
  // about this many bytes, each page in a transaction of its own.
  std::size_t page_rows = 256;
  std::size_t page_bytes = std::size_t{16} << 20;
};

struct ArchiveRow {
  std::string id;   // the id column as text; raw bytes from the file (output_names.h checks them)
  std::string log;  // the stored bytes, compressed as found; empty when skipped
  SkipReason skip = SkipReason::None;
};

// One database being read, by one thread at a time.  Rows are owned
// strings, moved out of the page they came in, so a caller may keep them or
// hand them to other threads.
//
// Known layouts are read by keyset pages ("WHERE id > last ORDER BY id
// LIMIT n") in the order of their id, the primary key (byte order for text
// ids), rows without an id left out.  Each page is copied out in its own short read transaction,
// ended before the first of its rows is handed out, so a downloader can
// commit between pages, and rows it commits ahead of the reading are read.
// A user's query is one statement stepped a row at a time in the query's
// own order; its read transaction lasts until its last row, which keeps a
// writer of a database in rollback-journal mode waiting.
//
// Errors are one line for people, naming what is wrong:
// "open: No such file or directory", "not an SQLite database",
// "sqlite: database disk image is malformed (a damaged or truncated file)",
// "sqlite: database is locked (a writer held it for more than 2 s)",
// "database: no table named logs or records",
// "--sql: the query gives 3 columns; it must give two, the id then the log".
class ArchiveDatabase {
 public:
  // Opens `path` and recognises its layout.  The file is opened read-only
  // (mode=ro), and never written or created beside: a database in WAL mode
  // whose -wal file is absent, which no writer has open, is read as
  // immutable, since reading it otherwise would create its -wal and -shm.
  [[nodiscard]] static std::expected<ArchiveDatabase, std::string> open(const std::filesystem::path& path,
                                                                        const ArchiveOptions& options = {});

  // Opens `path` to run `query` (--sql) instead: one read-only SELECT
  // statement giving exactly two columns, the id and the log.  Every other
  // statement (a write, a PRAGMA, ATTACH, two statements) is refused.
  [[nodiscard]] static std::expected<ArchiveDatabase, std::string> open_query(const std::filesystem::path& path,
                                                                              std::string_view query,
                                                                              const ArchiveOptions& options = {});

  ArchiveDatabase(ArchiveDatabase&&) noexcept;
  ArchiveDatabase& operator=(ArchiveDatabase&&) noexcept;
  ~ArchiveDatabase();

  // The layout being read; none for a user's query.
  const std::optional<ArchiveLayout>& layout() const noexcept;

  // The rows the reading gives, skipped ones included, counted as they are
  // now (count(*) of the same selection), for a progress bar.  A writer may
  // add rows after.
  [[nodiscard]] std::expected<std::uint64_t, std::string> count_rows();

  // The next row, or none after the last.  After an error the reading
  // cannot go on.
  [[nodiscard]] std::expected<std::optional<ArchiveRow>, std::string> next_row();

 private:
  struct State;
  explicit ArchiveDatabase(std::unique_ptr<State> state) noexcept;
  std::unique_ptr<State> state_;
};

}  // namespace kiroku::cli
