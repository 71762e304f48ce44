// Preloaded (LD_PRELOAD) into a child interpreter by the module's tests:
// close() of the file named by KIROKU_FAIL_CLOSE_OF closes it and then
// reports EIO, as a network file system does when it refuses data at close.
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int close(int fd) {
  bool fail = false;
  if (const char* target = std::getenv("KIROKU_FAIL_CLOSE_OF")) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[4096];
    const ssize_t size = readlink(link, path, sizeof path - 1);
    if (size > 0) {
      path[size] = '\0';
      fail = std::strcmp(path, target) == 0;
    }
  }
  const long result = syscall(SYS_close, fd);
  if (fail && result == 0) {
    errno = EIO;
    return -1;
  }
  return static_cast<int>(result);
}
