/* Loaded into the saver's Wine process with LD_PRELOAD: every read of the
   file named by TARNLIGHT_STALL_FILE waits for good, as on a share that has
   stopped answering. The first such read creates TARNLIGHT_STALL_MARK, so
   that a test knows an open is under way. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

static int Stalled(int fd) {
  static int known = -1;
  static dev_t dev;
  static ino_t ino;
  struct stat st;
  if (known < 0) {
    const char *path = getenv("TARNLIGHT_STALL_FILE");
    known = path && stat(path, &st) == 0;
    if (known) {
      dev = st.st_dev;
      ino = st.st_ino;
    }
  }
  return known && fstat(fd, &st) == 0 && st.st_dev == dev && st.st_ino == ino;
}

static void Stall(void) {
  const char *mark = getenv("TARNLIGHT_STALL_MARK");
  if (mark) close(open(mark, O_CREAT | O_WRONLY, 0644));
  for (;;) pause();
}

#define NEXT(name)               \
  static __typeof__(name) *next; \
  if (!next) next = dlsym(RTLD_NEXT, #name)

ssize_t read(int fd, void *buf, size_t n) {
  NEXT(read);
  if (Stalled(fd)) Stall();
  return next(fd, buf, n);
}

ssize_t pread(int fd, void *buf, size_t n, off_t at) {
  NEXT(pread);
  if (Stalled(fd)) Stall();
  return next(fd, buf, n, at);
}

ssize_t pread64(int fd, void *buf, size_t n, off64_t at) {
  NEXT(pread64);
  if (Stalled(fd)) Stall();
  return next(fd, buf, n, at);
}

ssize_t readv(int fd, const struct iovec *v, int n) {
  NEXT(readv);
  if (Stalled(fd)) Stall();
  return next(fd, v, n);
}

ssize_t preadv(int fd, const struct iovec *v, int n, off_t at) {
  NEXT(preadv);
  if (Stalled(fd)) Stall();
  return next(fd, v, n, at);
}
