#include "cli/file_replacement.h"

#include <unistd.h>  // fchown

#include <cerrno>
#include <utility>

#include "kiroku/io/descriptors.h"

namespace kiroku::cli {
namespace {

// Gives the new file the mode of the one it replaces, and its owner and
// group where this process may.  0, or the errno value.
int keep_owner_and_mode(int fd, const struct stat& existing) noexcept {
  // The owner first: changing it clears set-user-ID and set-group-ID bits,
  // which the mode then restores.  Only the superuser gives a file away;
  // others may still keep its group, if it is one of theirs.
  if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
    [[maybe_unused]] const int group_kept = ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
  }
  return ::fchmod(fd, existing.st_mode & 07777) == 0 ? 0 : errno;
}

}  // namespace

std::expected<FileReplacement, int> FileReplacement::begin(PathPlace place) {
  FileReplacement replacement(std::move(place));
  const int directory = replacement.place_.directory.get();
  auto unnamed = open_unnamed(directory);
  if (unnamed) {
    replacement.unnamed_ = std::move(*unnamed);
    return replacement;
  }
  if (unnamed.error() != kUnsupported) return std::unexpected(unnamed.error());
  auto named = NamedTemporary::create(directory);
  if (!named) return std::unexpected(named.error());
  replacement.named_.emplace(std::move(*named));
  return replacement;
}

int FileReplacement::write(std::string_view bytes) { return write_all(fd(), bytes, -1); }

int FileReplacement::make_directories() {
  auto made = cli::make_directories(place_);
  if (!made) return made.error();
  own_directory_ = std::move(*made);
  return 0;
}

int FileReplacement::commit() {
  const int directory = own_directory_.get();
  const char* name = place_.name.c_str();
  if (place_.status) {
    if (const int error = keep_owner_and_mode(fd(), *place_.status); error != 0) return error;
  }
  if (named_) return named_->rename_to(directory, name);
  // The descriptor's close reports nothing here: the file systems that have
  // unnamed files report write errors at the write.
  if (!place_.status) {
    // Nothing to replace: the link itself puts the whole file in place.
    const int linked = link_unnamed(unnamed_.get(), directory, name);
    if (linked != EEXIST) return linked;  // EEXIST: made meanwhile, so replaced as below
  }
  auto hidden = NamedTemporary::link(unnamed_.get(), directory);
  if (!hidden) return hidden.error();
  return hidden->rename_to(directory, name);
}

}  // namespace kiroku::cli
