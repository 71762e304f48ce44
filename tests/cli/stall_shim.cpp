// Preloaded (LD_PRELOAD) into the tool by the tests of signals and failed
// writes, to hold it at the moment they need:
// - KIROKU_STALL_WRITES_UNDER=DIR: a write to a file below DIR (an unnamed
//   one too) first creates KIROKU_STALL_READY, then waits until
//   KIROKU_STALL_RELEASE exists, or for ever when that is unset.
// - KIROKU_NO_TMPFILE: openat() with O_TMPFILE (the only way the tool opens
//   files) fails with EOPNOTSUPP, as on a file system without unnamed files.
// - KIROKU_STDERR_WRITTEN=PATH: created after every fwrite to stderr, whether
//   or not the write succeeded.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

template <class Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

using OpenFunction = int (*)(const char*, int, ...);
using OpenAtFunction = int (*)(int, const char*, int, ...);
using WriteFunction = ssize_t (*)(int, const void*, size_t);
using FwriteFunction = size_t (*)(const void*, size_t, size_t, FILE*);

void touch(const char* path) {
  static const OpenFunction real_open = next<OpenFunction>("open");
  const int fd = real_open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) close(fd);
}

bool writes_below(int fd, const char* directory) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char path[4096];
  const ssize_t size = readlink(link, path, sizeof path - 1);
  if (size <= 0) return false;
  path[size] = '\0';
  const std::size_t length = std::strlen(directory);
  return std::strncmp(path, directory, length) == 0 && path[length] == '/';
}

void stall() {
  if (const char* ready = std::getenv("KIROKU_STALL_READY")) touch(ready);
  const char* release = std::getenv("KIROKU_STALL_RELEASE");
  const timespec pause{0, 10 * 1000 * 1000};
  while (release == nullptr || access(release, F_OK) != 0) nanosleep(&pause, nullptr);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int openat(int directory, const char* path, int flags, ...) {
  static const OpenAtFunction real = next<OpenAtFunction>("openat");
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(arguments, mode_t) : 0;
  va_end(arguments);
  if ((flags & O_TMPFILE) == O_TMPFILE && std::getenv("KIROKU_NO_TMPFILE") != nullptr) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return real(directory, path, flags, mode);
}

extern "C" __attribute__((visibility("default"))) ssize_t write(int fd, const void* data, size_t size) {
  static const WriteFunction real = next<WriteFunction>("write");
  if (const char* directory = std::getenv("KIROKU_STALL_WRITES_UNDER")) {
    if (writes_below(fd, directory)) stall();
  }
  return real(fd, data, size);
}

extern "C" __attribute__((visibility("default"))) size_t fwrite(const void* data, size_t size, size_t count,
                                                                FILE* stream) {
  static const FwriteFunction real = next<FwriteFunction>("fwrite");
  const size_t written = real(data, size, count, stream);
  if (stream == stderr) {
    if (const char* marker = std::getenv("KIROKU_STDERR_WRITTEN")) {
      const int error = errno;
      touch(marker);
      errno = error;
    }
  }
  return written;
}
