#include "cli/input_files.h"

#include <fcntl.h>     // open
#include <sys/stat.h>  // fstat

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <system_error>
#include <utility>

#include "cli/errno_text.h"
#include "kiroku/io/file_reader.h"
#include "kiroku/io/unique_fd.h"
#include "kiroku/io/utf8.h"

namespace kiroku::cli {
namespace fs = std::filesystem;
namespace {

bool is_log_name(const fs::path& name) {
  const std::string_view text = name.native();
  return text.ends_with(".json") || text.ends_with(".json.gz");
}

// Appends the logs below `directory`, found at `relative` below the argument.
void walk(const fs::path& directory, const fs::path& relative, std::vector<InputFile>& files,
          std::vector<Failure>& failures) {
  std::error_code error;
  fs::directory_iterator it(directory, error);
  if (error) {
    failures.push_back({directory.native(), "list: " + error.message()});
    return;
  }
  std::vector<fs::directory_entry> entries;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    entries.push_back(*it);
  }
  if (error) {
    failures.push_back({directory.native(), "list: " + error.message()});
    return;
  }
  std::ranges::sort(entries, {}, [](const fs::directory_entry& entry) -> const fs::path& { return entry.path(); });

  for (const fs::directory_entry& entry : entries) {
    const fs::path name = entry.path().filename();
    std::error_code status_error;
    const fs::file_status own = entry.symlink_status(status_error);
    if (status_error) {
      failures.push_back({entry.path().native(), "open: " + status_error.message()});
      continue;
    }
    if (fs::is_directory(own)) {
      walk(entry.path(), relative / name, files, failures);
    } else if (is_log_name(name)) {
      // A link to a directory named like a log is neither walked nor read.
      if (fs::is_symlink(own) && fs::is_directory(entry.status(status_error))) continue;
      files.push_back({entry.path(), relative / name});
    }
  }
}

}  // namespace

InputList collect_inputs(std::span<const std::string> arguments) {
  InputList list;
  for (const std::string& argument : arguments) {
    const fs::path path(argument);
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error) {
      list.failures.push_back({argument, "open: " + error.message()});
    } else if (fs::is_directory(status)) {
      walk(path, fs::path(), list.files, list.failures);
    } else {
      list.files.push_back({path, path.filename()});
    }
  }
  return list;
}

std::expected<PaddedText, std::string> read_log_file(const fs::path& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return std::unexpected("open: " + errno_text(errno));
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return std::unexpected("open: " + errno_text(errno));
  if (S_ISDIR(info.st_mode)) return std::unexpected("open: " + errno_text(EISDIR));

  auto text = read_log_text(fd.get(), kMaxLogBytes);
  if (text) return std::move(*text);
  const LogFileError& error = text.error();
  switch (error.kind) {
    case LogFileError::Kind::Read: return std::unexpected("read: " + errno_text(error.error_number));
    case LogFileError::Kind::TooLarge:
      return std::unexpected(std::string(error.compressed ? "gzip: content" : "read: log") + " larger than " +
                             size_text(kMaxLogBytes));
    case LogFileError::Kind::Gzip: return std::unexpected("gzip: " + error.detail);
    case LogFileError::Kind::InvalidUtf8: break;
  }
  return std::unexpected(std::string("read: stream did not contain valid UTF-8"));
}

}  // namespace kiroku::cli
