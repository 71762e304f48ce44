#include "cli/input_files.h"

#include <fcntl.h>     // open, fcntl
#include <sys/stat.h>  // fstat
#include <unistd.h>    // STDIN_FILENO

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <system_error>
#include <utility>

#include "cli/errno_text.h"
#include "kiroku/io/descriptors.h"
#include "kiroku/io/file_reader.h"
#include "kiroku/io/unique_fd.h"

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

// Appends the logs below `directory`, found at `relative` below the argument.
void walk(const fs::path& directory, const fs::path& relative, InputList& list) {
  std::error_code error;
  fs::directory_iterator it(directory, error);
  if (error) {
    list.failures.push_back({directory.native(), "list: " + error.message()});
    return;
  }
  std::vector<fs::directory_entry> entries;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    entries.push_back(*it);
  }
  if (error) {
    list.failures.push_back({directory.native(), "list: " + error.message()});
    return;
  }
  std::ranges::sort(entries, {}, [](const fs::directory_entry& entry) -> const fs::path& { return entry.path(); });

  for (const fs::directory_entry& entry : entries) {
    const fs::path name = entry.path().filename();
    std::error_code status_error;
    const fs::file_status own = entry.symlink_status(status_error);
    if (status_error) {
      list.failures.push_back({entry.path().native(), "open: " + status_error.message()});
      continue;
    }
    if (fs::is_directory(own)) {
      walk(entry.path(), relative / name, list);
      continue;
    }
    if (!is_log_name(name.native())) continue;
    // What a link leads to decides; a dangling link fails when it is opened.
    const fs::file_status target = fs::is_symlink(own) ? entry.status(status_error) : own;
    if (status_error || fs::is_regular_file(target)) {
      list.files.push_back({{entry.path(), false, true}, relative / name});
    } else if (!fs::is_directory(target)) {  // a link to a directory named like a log is neither walked nor read
      list.passed_over.push_back({entry.path().native(), "note: skipped, " + kind_of(target.type())});
    }
  }
}

std::string describe(const LogFileError& error, std::size_t max_bytes) {
  switch (error.kind) {
    case LogFileError::Kind::Read: return "read: " + errno_text(error.error_number);
    case LogFileError::Kind::TooLarge:
      return (error.codec ? std::string(codec_name(*error.codec)) + ": decompressed text" : std::string("read:")) +
             " larger than the size limit of " + size_text(max_bytes) + " (--max-size)";
    case LogFileError::Kind::Corrupt: return codec_name(*error.codec) + (": " + error.detail);
    case LogFileError::Kind::InvalidUtf8: return "read: stream did not contain valid UTF-8";
  }
  return "read: failed";
}

}  // namespace

std::string source_name(const LogSource& source) { return source.standard_input ? "-" : source.path.native(); }

std::size_t log_extension_size(std::string_view name) {
  const std::size_t gz = name.ends_with(".gz") ? 3 : 0;
  name.remove_suffix(gz);
  for (const std::string_view extension : {".json", ".mjlog", ".xml"}) {
    if (name.ends_with(extension)) return extension.size() + gz;
  }
  return 0;
}

bool is_log_name(std::string_view name) { return log_extension_size(name) != 0; }

InputList collect_inputs(std::span<const std::string> arguments) {
  InputList list;
  for (const std::string& argument : arguments) {
    const fs::path path(argument);
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error) {
      list.failures.push_back({argument, "open: " + error.message()});
    } else if (fs::is_directory(status)) {
      walk(path, fs::path(), list);
    } else {
      list.files.push_back({{path, false, false}, path.filename()});
    }
  }
  return list;
}

std::expected<PaddedText, std::string> read_log(const LogSource& source, std::size_t max_bytes, int cancel_fd) {
  UniqueFd owned;
  int fd = STDIN_FILENO;  // not ours to close, nor to change the flags of
  if (!source.standard_input) {
    // Never waiting in open: a FIFO without a writer must not stop the run
    // before its turn comes.
    auto opened = open_file(source.path.native(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (!opened) return std::unexpected("open: " + errno_text(opened.error()));
    owned = std::move(*opened);
    fd = owned.get();
    struct stat info{};
    if (::fstat(fd, &info) != 0) return std::unexpected("open: " + errno_text(errno));
    if (S_ISDIR(info.st_mode)) return std::unexpected("open: " + errno_text(EISDIR));
    if (!S_ISREG(info.st_mode)) {
      // Replaced since the directory was listed.
      if (source.found_in_directory) return std::unexpected(std::string("open: not a regular file"));
      // Waits are the reader's, watched with the cancel descriptor.
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return std::unexpected("open: " + errno_text(errno));
      }
    }
  }
  auto text = read_log_text(fd, max_bytes, cancel_fd);
  if (!text) return std::unexpected(describe(text.error(), max_bytes));
  return std::move(*text);
}

}  // namespace kiroku::cli
