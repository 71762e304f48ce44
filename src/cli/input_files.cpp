#include "cli/input_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <expected>
#include <string_view>
#include <system_error>
#include <utility>

#include "cli/archive_database.h"
#include "kiroku/io/descriptors.h"

namespace kiroku::cli {
namespace fs = std::filesystem;
namespace {

// What a file that is neither a directory nor a regular file is, for the
// note that passes it over.
std::string kind_of(fs::file_type type) {
  switch (type) {
    case fs::file_type::fifo: return "a FIFO";
    case fs::file_type::character: return "a character device";
    case fs::file_type::block: return "a block device";
    case fs::file_type::socket: return "a socket";
    default: return "not a regular file";
  }
}

// One name in a directory being walked, with its own type (a link is a link).
struct Entry {
  std::string name;
  fs::file_type type = fs::file_type::none;
  std::error_code error;  // of finding the type
};

// A directory's entries, sorted by name.
std::expected<std::vector<Entry>, std::error_code> list_directory(const std::string& directory) {
  std::error_code error;
  fs::directory_iterator it(directory, error);
  std::vector<Entry> entries;
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    Entry entry;
    entry.name = it->path().filename().native();
    entry.type = it->symlink_status(entry.error).type();  // as the listing says, mostly without a stat
    entries.push_back(std::move(entry));
  }
  if (error) return std::unexpected(error);
  std::ranges::sort(entries, {}, &Entry::name);
  return entries;
}

// `path` with `name` appended as its last component.
void append(std::string& path, const std::string& name) {
  if (!path.empty() && !path.ends_with('/')) path += '/';
  path += name;
}

// Appends the logs below the directory argument `root`, depth first in name
// order.  The memory it takes follows the tree's depth and breadth: the one
// path being walked, and the names each directory on it has left.
void walk(const std::string& root, InputList& list) {
  struct Level {
    std::vector<Entry> entries;
    std::size_t next = 0;
    std::size_t path_size = 0;      // of the directory's path
    std::size_t relative_size = 0;  // of its path below the argument
  };
  std::string path = root;
  std::string relative;
  std::vector<Level> levels;
  const auto enter = [&] {
    auto entries = list_directory(path);
    if (!entries) {
      list.failures.push_back({path, "list: " + entries.error().message()});
    } else {
      levels.push_back({std::move(*entries), 0, path.size(), relative.size()});
    }
  };
  enter();
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.next == level.entries.size()) {
      levels.pop_back();
      continue;
    }
    const Entry entry = std::move(level.entries[level.next++]);
    path.resize(level.path_size);
    relative.resize(level.relative_size);
    append(path, entry.name);
    append(relative, entry.name);
    if (entry.error) {
      list.failures.push_back({path, "open: " + entry.error.message()});
    } else if (entry.type == fs::file_type::directory) {
      enter();
    } else if (is_log_name(entry.name) || is_database_name(entry.name)) {
      // What a link leads to decides; a dangling link fails when it is opened.
      std::error_code error;
      const fs::file_status target =
          entry.type == fs::file_type::symlink ? fs::status(path, error) : fs::file_status(entry.type);
      if (error || fs::is_regular_file(target)) {
        if (is_database_name(entry.name)) {
          list.databases.push_back({path, false, true});
        } else {
          list.files.push_back({{path, false, true}, relative});
        }
      } else if (!fs::is_directory(target)) {  // a link to a directory named like a log is neither walked nor read
        list.passed_over.push_back({path, "note: skipped, " + kind_of(target.type())});
      }
    }
  }
}

}  // namespace

std::string source_name(const LogSource& source) { return source.standard_input ? "-" : source.path.native(); }

std::size_t log_extension_size(std::string_view name) {
  std::size_t compression = 0;
  for (const std::string_view extension : {".gz", ".bz2", ".lz4", ".zst", ".xz"}) {
    if (name.ends_with(extension)) compression = extension.size();
  }
  name.remove_suffix(compression);
  for (const std::string_view extension : {".json", ".mjlog", ".xml"}) {
    if (name.ends_with(extension)) return extension.size() + compression;
  }
  return 0;
}

bool is_log_name(std::string_view name) { return log_extension_size(name) != 0; }

bool is_database_file(const fs::path& path) {
  // Only a regular file is peeked at: even opening a FIFO lets its writer
  // start, and its first bytes belong to the log that follows.
  struct stat status{};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  auto opened = open_file(path.native(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  if (!opened || ::fstat(opened->get(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  std::array<char, kSqliteHeaderSize> header{};
  std::size_t filled = 0;
  while (filled < header.size()) {
    const ssize_t got = ::read(opened->get(), header.data() + filled, header.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    filled += static_cast<std::size_t>(got);
  }
  return has_sqlite_header(std::string_view(header.data(), header.size()));
}

bool is_database_name(std::string_view name) {
  return name.ends_with(".db") || name.ends_with(".sqlite") || name.ends_with(".sqlite3");
}

InputList collect_inputs(std::span<const std::string> arguments) {
  InputList list;
  for (const std::string& argument : arguments) {
    const fs::path path(argument);
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error) {
      list.failures.push_back({argument, "open: " + error.message()});
    } else if (fs::is_directory(status)) {
      walk(argument, list);
    } else if (fs::is_regular_file(status) && is_database_file(path)) {
      list.databases.push_back({path, false, false});
    } else {
      list.files.push_back({{path, false, false}, path.filename()});
    }
  }
  return list;
}

}  // namespace kiroku::cli
