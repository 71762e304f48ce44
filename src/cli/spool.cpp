#include "cli/spool.h"

#include <fcntl.h>
#include <unistd.h>  // pread

#include <algorithm>
#include <cerrno>
#include <cstdlib>  // getenv
#include <memory>

#include "cli/temporary_files.h"
#include "kiroku/io/descriptors.h"

namespace kiroku::cli {
namespace {

// The piece of the spool file copied out at a time.
constexpr std::size_t kCopyPiece = std::size_t{1} << 20;

}  // namespace

std::string Spool::directory() {
  const char* directory = std::getenv("TMPDIR");
  return directory != nullptr && *directory != '\0' ? directory : "/tmp";
}

int Spool::write(std::string_view bytes) {
  if (!file_ && memory_.size() + bytes.size() <= memory_bytes_) {
    memory_.append(bytes);
    return 0;
  }
  if (!file_) {
    auto opened = open_file(directory(), O_PATH | O_DIRECTORY);
    if (!opened) return opened.error();
    auto file = open_anonymous(opened->get());
    if (!file) return file.error();
    file_ = std::move(*file);
    if (const int error = write_all(file_.get(), memory_); error != 0) return error;
    file_size_ = memory_.size();
    std::string().swap(memory_);  // gives the memory back
  }
  if (const int error = write_all(file_.get(), bytes); error != 0) return error;
  file_size_ += bytes.size();
  return 0;
}

int Spool::copy_to(int fd, int cancel_fd) const {
  if (!file_) return write_all(fd, memory_, cancel_fd);
  const auto piece = std::make_unique_for_overwrite<char[]>(kCopyPiece);
  for (std::size_t offset = 0; offset < file_size_;) {
    const ssize_t count =
        ::pread(file_.get(), piece.get(), std::min(kCopyPiece, file_size_ - offset), static_cast<off_t>(offset));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return count < 0 ? errno : EIO;
    const std::size_t taken = static_cast<std::size_t>(count);
    if (const int error = write_all(fd, std::string_view(piece.get(), taken), cancel_fd); error != 0) return error;
    offset += taken;
  }
  return 0;
}

}  // namespace kiroku::cli
