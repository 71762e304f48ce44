#include "cli/archive_connection.h"

#include <fcntl.h>     // open
#include <sys/stat.h>  // fstat
#include <unistd.h>    // read

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <string_view>
#include <system_error>

#include "cli/errno_text.h"
#include "kiroku/io/file_reader.h"
#include "kiroku/io/quoted_text.h"
#include "kiroku/io/unique_fd.h"

namespace kiroku::cli {
namespace fs = std::filesystem;
namespace {

// The database header that starts page 1; byte 19, the read version, is 2
// for a database in WAL mode.
constexpr std::size_t kHeaderSize = 100;
constexpr std::size_t kReadVersionOffset = 19;
constexpr unsigned char kWalReadVersion = 2;

// SQLite's heap beyond the values of one row: its page cache (2 MiB by
// default), the schema and the statements.
constexpr std::size_t kHeapBesideValues = std::size_t{64} << 20;

// Turned on or off on every connection, against a file made to attack its
// reader.
struct Setting {
  int option;
  int value;
};
constexpr std::array<Setting, 6> kSettings{{
    {SQLITE_DBCONFIG_DEFENSIVE, 1},              // no writable schema, no shadow-table writes
    {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},         // views may call only harmless functions
    {SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0},  // no code loaded from a path a query names
    {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},         // nothing runs behind a read
    {SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1},       // a writer's WAL is its own to fold into the file
    {SQLITE_DBCONFIG_DQS_DML, 0},                // a misspelt column in a query is an error, not a string
}};
// query_only: a second guard behind mode=ro.  cell_size_check: a crafted
// cell that overruns its page is an error before it is used.  mmap_size 0:
// a file truncated by someone else while mapped would end the process with
// SIGBUS instead of an error.
constexpr const char* kPragmas = "PRAGMA query_only = 1; PRAGMA cell_size_check = 1; PRAGMA mmap_size = 0;";

// The longest value SQLite makes: the longest log, but never so short that
// an id or a schema text could reach it.
constexpr std::size_t kMinValueLimit = std::size_t{1} << 20;

int clamped_int(std::size_t value) noexcept { return static_cast<int>(std::min<std::size_t>(value, INT_MAX)); }

std::size_t value_limit(const ArchiveOptions& options) noexcept {
  return std::min<std::size_t>(std::max(options.max_log_bytes, kMinValueLimit), INT_MAX);
}

// Room for a row's log twice over (the record and the value made of it).
std::size_t heap_limit(const ArchiveOptions& options) noexcept { return 2 * options.max_log_bytes + kHeapBesideValues; }

// "2 s", or "150 ms" when it is no whole number of seconds.
std::string duration_text(std::chrono::milliseconds duration) {
  const auto count = duration.count();
  return count % 1000 == 0 ? std::to_string(count / 1000) + " s" : std::to_string(count) + " ms";
}

// SQLite's text on one line: kiroku's escapes for control characters, its
// own double quotes ('near "x": syntax error') kept as they are.
std::string message_line(std::string_view text) {
  const std::string quoted = detail::quoted_with(text, [](std::string& out, std::string_view sequence, char32_t c) {
    if (c == U'"' || c == U'\\') {
      out += sequence;
      return;
    }
    const std::string one = quoted_text(sequence);
    out.append(one, 1, one.size() - 2);
  });
  return quoted.substr(1, quoted.size() - 2);
}

// Refuses what SQLite would open wrongly or slowly (a directory, a FIFO)
// and a file that is no database, with a message about the file; returns
// whether the database is in WAL mode.
std::expected<bool, std::string> check_file(const fs::path& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) return std::unexpected("open: " + errno_text(errno));
  struct stat info{};
  if (::fstat(fd.get(), &info) != 0) return std::unexpected("open: " + errno_text(errno));
  if (S_ISDIR(info.st_mode)) return std::unexpected("open: " + errno_text(EISDIR));
  if (!S_ISREG(info.st_mode)) return std::unexpected(std::string("open: not a regular file"));

  std::array<char, kHeaderSize> header{};
  std::size_t size = 0;
  while (size < header.size()) {
    const ssize_t got = ::read(fd.get(), header.data() + size, header.size() - size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::unexpected("read: " + errno_text(errno));
    if (got == 0) break;
    size += static_cast<std::size_t>(got);
  }
  const std::string_view bytes(header.data(), size);
  if (size == 0) return std::unexpected(std::string("not an SQLite database (an empty file)"));
  if (!has_sqlite_header(bytes)) return std::unexpected(std::string("not an SQLite database"));
  if (size < kHeaderSize) {
    return std::unexpected("not an SQLite database (truncated: " + std::to_string(size) + " bytes)");
  }
  return static_cast<unsigned char>(header[kReadVersionOffset]) == kWalReadVersion;
}

// "file:///a%20b.db?mode=ro": every byte outside the unreserved ones
// escaped, so that no '?' or '#' in the name reads as part of the URI.
std::string database_uri(const fs::path& absolute, bool immutable) {
  constexpr std::string_view kHexDigits = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char c : absolute.native()) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
        std::string_view("/-._~").find(c) != std::string_view::npos) {
      uri += c;
    } else {
      uri += '%';
      uri += kHexDigits[byte >> 4];
      uri += kHexDigits[byte & 0x0F];
    }
  }
  uri += immutable ? "?mode=ro&immutable=1" : "?mode=ro";
  return uri;
}

// Whether the database can be read without creating a file beside it:
// `immutable` when it is in WAL mode and no writer has its -wal file open.
// (A read-only connection to a WAL database otherwise creates the -wal and
// -shm files and leaves them behind.)  A writer that opens the database
// after this check writes to a -wal file an immutable reading never sees.
std::expected<bool, std::string> read_as_immutable(const fs::path& database, bool wal_mode) {
  if (!wal_mode) return false;
  std::error_code error;
  const bool has_wal = fs::exists(database.native() + "-wal", error);
  if (error) return std::unexpected("open: its -wal file: " + error.message());
  if (!has_wal) return true;
  const bool has_shm = fs::exists(database.native() + "-shm", error);
  if (error) return std::unexpected("open: its -shm file: " + error.message());
  if (!has_shm) {
    return std::unexpected(
        std::string("database: in WAL mode with a -wal file but no -shm file, which reading would create; "
                    "opening it once with its downloader or sqlite3 recovers it"));
  }
  return false;
}

std::expected<void, std::string> configure(sqlite3* db, const ArchiveOptions& options) {
  for (const Setting& setting : kSettings) {
    const int rc = sqlite3_db_config(db, setting.option, setting.value, static_cast<int*>(nullptr));
    if (rc != SQLITE_OK) return std::unexpected(sqlite_message(db, rc, options));
  }
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, clamped_int(value_limit(options)));
  sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, clamped_int(kMaxQueryBytes));
  sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
  sqlite3_limit(db, SQLITE_LIMIT_WORKER_THREADS, 0);
  sqlite3_busy_timeout(db, static_cast<int>(std::clamp<std::int64_t>(options.busy_timeout.count(), 0, INT_MAX)));
  const int rc = sqlite3_exec(db, kPragmas, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return std::unexpected(sqlite_message(db, rc, options));
  return {};
}

}  // namespace

std::string sqlite_text(sqlite3* db) { return message_line(sqlite3_errmsg(db)); }

std::string sqlite_message(sqlite3* db, int rc, const ArchiveOptions& options) {
  std::string message = "sqlite: " + (db != nullptr ? sqlite_text(db) : std::string(sqlite3_errstr(rc)));
  switch (rc) {
    case SQLITE_READONLY_ROLLBACK:
    case SQLITE_READONLY_RECOVERY:
      return message +
             " (a writer stopped midway; opening the database once with its downloader or sqlite3 "
             "recovers it)";
    default: break;
  }
  switch (rc & 0xFF) {
    case SQLITE_BUSY: return message + " (a writer held it for more than " + duration_text(options.busy_timeout) + ")";
    case SQLITE_CORRUPT: return message + " (a damaged or truncated file)";
    case SQLITE_NOTADB: return "not an SQLite database (" + message + ")";
    case SQLITE_NOMEM: return message + " (SQLite's memory is capped at " + size_text(heap_limit(options)) + ")";
    case SQLITE_TOOBIG: return message + " (longer than the size limit of " + size_text(value_limit(options)) + ")";
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
      if (db != nullptr && sqlite3_system_errno(db) != 0) return message + ": " + errno_text(sqlite3_system_errno(db));
      return message;
    default: return message;
  }
}

std::expected<SqliteStatement, std::string> prepare_statement(sqlite3* db, const std::string& sql,
                                                              const ArchiveOptions& options) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v3(db, sql.c_str(), clamped_int(sql.size()), SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
  SqliteStatement statement(raw);
  if (rc != SQLITE_OK) return std::unexpected(sqlite_message(db, rc, options));
  return statement;
}

std::expected<SqliteDb, std::string> open_connection(const fs::path& path, const ArchiveOptions& options) {
  const auto wal_mode = check_file(path);
  if (!wal_mode) return std::unexpected(wal_mode.error());
  // SQLite names the -wal file after the database's real path, links
  // resolved.
  std::error_code error;
  const fs::path real = fs::canonical(path, error);
  if (error) return std::unexpected("open: " + error.message());
  const auto immutable = read_as_immutable(real, *wal_mode);
  if (!immutable) return std::unexpected(immutable.error());

  sqlite3_hard_heap_limit64(static_cast<sqlite3_int64>(heap_limit(options)));
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(
      database_uri(real, *immutable).c_str(), &raw,
      SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_PRIVATECACHE | SQLITE_OPEN_EXRESCODE,
      nullptr);
  SqliteDb db(raw);  // given even when the open fails, and closed then
  if (rc != SQLITE_OK) return std::unexpected(sqlite_message(db.get(), rc, options));
  if (auto configured = configure(db.get(), options); !configured) return std::unexpected(configured.error());
  return db;
}

}  // namespace kiroku::cli
