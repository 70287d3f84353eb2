/* Preloaded into Quillet by the process tests: a named system call on a named file ends the
 * program there (SIGKILL) or fails (EIO), so that a test can stop a run at an exact moment.
 *   TRAP_CALL    the calls to watch, separated by commas: rename (its new name is matched),
 *                unlink, open, pwrite, write, fsync, close (the file an fd names is matched)
 *   TRAP_FILE    the end of the file name to match, any letter case ("RELWORK.CDX")
 *   TRAP_NTH     the matching call to act on (from 1); 0 or unset: every matching call
 *   TRAP_ACTION  kill (default) or fail */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/types.h>
#include <unistd.h>

static int Matches(const char* call, const char* path) {
  const char* want = getenv("TRAP_CALL");
  const char* file = getenv("TRAP_FILE");
  if (!want || !file || !path) return 0;
  size_t c = strlen(call);
  const char* at = strstr(want, call);
  while (at && !((at == want || at[-1] == ',') && (at[c] == ',' || at[c] == 0))) at = strstr(at + 1, call);
  if (!at) return 0;
  size_t n = strlen(path), m = strlen(file);
  return n >= m && strcasecmp(path + n - m, file) == 0;
}

/* 1 when this call is to be trapped; then a kill does not return. */
static int Trapped(const char* call, const char* path) {
  static int seen = 0;
  if (!Matches(call, path)) return 0;
  const char* nth = getenv("TRAP_NTH");
  int n = nth ? atoi(nth) : 0;
  if (++seen != n && n > 0) return 0;
  const char* action = getenv("TRAP_ACTION");
  if (!action || strcmp(action, "kill") == 0) raise(SIGKILL);
  errno = EIO;
  return 1;
}

__attribute__((visibility("default"))) int rename(const char* from, const char* to) {
  if (Trapped("rename", to)) return -1;
  int (*real)(const char*, const char*) = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
  return real(from, to);
}

__attribute__((visibility("default"))) int unlink(const char* path) {
  if (Trapped("unlink", path)) return -1;
  int (*real)(const char*) = (int (*)(const char*))dlsym(RTLD_NEXT, "unlink");
  return real(path);
}

static int FdTrapped(const char* call, int fd) {
  char link[64], path[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = readlink(link, path, sizeof path - 1);
  if (n < 0) return 0;
  path[n] = 0;
  return Trapped(call, path);
}

static int OpenTrapped(const char* path) { return getenv("TRAP_CALL") && Trapped("open", path); }

__attribute__((visibility("default"))) int open(const char* path, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  mode_t mode = (flags & O_CREAT) ? (mode_t)va_arg(rest, int) : 0;
  va_end(rest);
  if (OpenTrapped(path)) return -1;
  int (*real)(const char*, int, ...) = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
  return real(path, flags, mode);
}

__attribute__((visibility("default"))) int open64(const char* path, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  mode_t mode = (flags & O_CREAT) ? (mode_t)va_arg(rest, int) : 0;
  va_end(rest);
  if (OpenTrapped(path)) return -1;
  int (*real)(const char*, int, ...) = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open64");
  return real(path, flags, mode);
}

__attribute__((visibility("default"))) ssize_t write(int fd, const void* data, size_t n) {
  if (getenv("TRAP_CALL") && FdTrapped("write", fd)) return -1;
  ssize_t (*real)(int, const void*, size_t) = (ssize_t (*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
  return real(fd, data, n);
}

__attribute__((visibility("default"))) int fsync(int fd) {
  if (getenv("TRAP_CALL") && FdTrapped("fsync", fd)) return -1;
  int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
  return real(fd);
}

/* A failed close still releases the descriptor, as the system's does. */
__attribute__((visibility("default"))) int close(int fd) {
  int trapped = getenv("TRAP_CALL") && FdTrapped("close", fd);
  int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "close");
  int result = real(fd);
  if (trapped) {
    errno = EIO;
    return -1;
  }
  return result;
}

__attribute__((visibility("default"))) ssize_t pwrite(int fd, const void* data, size_t n, off_t at) {
  if (getenv("TRAP_CALL") && FdTrapped("pwrite", fd)) return -1;
  ssize_t (*real)(int, const void*, size_t, off_t) =
      (ssize_t (*)(int, const void*, size_t, off_t))dlsym(RTLD_NEXT, "pwrite");
  return real(fd, data, n, at);
}

__attribute__((visibility("default"))) ssize_t pwrite64(int fd, const void* data, size_t n, off_t at) {
  return pwrite(fd, data, n, at);
}
