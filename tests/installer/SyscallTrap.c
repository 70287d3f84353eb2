/* Preloaded into Quillet by the process tests: a named system call on a named file ends the
 * program there (SIGKILL), fails or is held back, so that a test can stop a run at an exact
 * moment or let another program go first; and the order of the calls that put files on the disk
 * can be written down.
 *   TRAP_CALL    the calls to watch, separated by commas: rename (renameat2 too; its new name),
 *                link (linkat too; its new name), unlink (remove too), mkdir, open (its path; an
 *                unnamed file's, its folder), and by the file their descriptor is open on: pwrite,
 *                write, fsync (fdatasync too; a folder's flush names the folder), flock, close (an
 *                unnamed file is "<folder>/#<number> (deleted)")
 *   TRAP_FILE    the end of the file name to match, any letter case ("RELWORK.CDX")
 *   TRAP_NTH     the matching call to act on (from 1); 0 or unset: every matching call
 *   TRAP_ACTION  kill (default), fail, or hold: write one byte to descriptor W, wait until
 *                descriptor R gives a byte or its end, then make the call
 *   TRAP_ERRNO   the error of a failing call: EIO (default), ENOSPC, EROFS or a number
 *   TRAP_HOLD_FDS  "W,R" for hold
 *   TRAP_ARMED   when set, calls count only once the program called SyscallTrapArm() (the test
 *                merge library does, as it is called: the registration of the volume comes next)
 *   TRAP_LOG     a file to which each pwrite, write, fsync, rename, link, unlink, mkdir and sendto is
 *                appended as "call path" (the path a descriptor is open on; a datagram's socket)
 * A call acted on is told on standard error: "SyscallTrap: <action> <call> <path>". */
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
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/un.h>
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

static int g_armed = 0;

__attribute__((visibility("default"))) void SyscallTrapArm(void) { g_armed = 1; }

static ssize_t RealWrite(int fd, const void* data, size_t n) {
  ssize_t (*real)(int, const void*, size_t) = (ssize_t (*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
  return real(fd, data, n);
}

/* Appends "call path" to the file TRAP_LOG names. */
static void Log(const char* call, const char* path) {
  static int fd = -2;
  if (fd == -2) {
    const char* file = getenv("TRAP_LOG");
    int (*real)(const char*, int, ...) = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
    fd = file ? real(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
  }
  if (fd < 0 || !path) return;
  char line[4200];
  int n = snprintf(line, sizeof line, "%s %s\n", call, path);
  if (n > 0 && n < (int)sizeof line) RealWrite(fd, line, (size_t)n);
}

static int TrapErrno(void) {
  const char* e = getenv("TRAP_ERRNO");
  if (!e || strcmp(e, "EIO") == 0) return EIO;
  if (strcmp(e, "ENOSPC") == 0) return ENOSPC;
  if (strcmp(e, "EROFS") == 0) return EROFS;
  return atoi(e) > 0 ? atoi(e) : EIO;
}

static void Tell(const char* action, const char* call, const char* path) {
  char line[4200];
  int n = snprintf(line, sizeof line, "SyscallTrap: %s %s %s\n", action, call, path);
  if (n > 0 && n < (int)sizeof line) RealWrite(2, line, (size_t)n);
}

/* 1 when this call is to be trapped; then a kill does not return. */
static int Trapped(const char* call, const char* path) {
  static int seen = 0;
  if (!Matches(call, path)) return 0;
  if (getenv("TRAP_ARMED") && !g_armed) return 0;
  const char* nth = getenv("TRAP_NTH");
  int n = nth ? atoi(nth) : 0;
  if (++seen != n && n > 0) return 0;
  const char* action = getenv("TRAP_ACTION");
  if (!action || strcmp(action, "kill") == 0) raise(SIGKILL);
  if (strcmp(action, "hold") == 0) {
    int w = -1, r = -1;
    const char* fds = getenv("TRAP_HOLD_FDS");
    if (fds && sscanf(fds, "%d,%d", &w, &r) == 2) {
      char c = 'h';
      ssize_t (*rd)(int, void*, size_t) = (ssize_t (*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
      ssize_t (*wr)(int, const void*, size_t) = (ssize_t (*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
      wr(w, &c, 1);
      close(w);
      while (rd(r, &c, 1) < 0 && errno == EINTR) {
      }
      close(r);
    }
    return 0;  /* the call is made now */
  }
  Tell("failed", call, path);
  errno = TrapErrno();
  return 1;
}

__attribute__((visibility("default"))) int rename(const char* from, const char* to) {
  Log("rename", to);
  if (Trapped("rename", to)) return -1;
  int (*real)(const char*, const char*) = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
  return real(from, to);
}

__attribute__((visibility("default"))) int renameat2(int fromDir, const char* from, int toDir, const char* to,
                                                     unsigned flags) {
  Log("rename", to);
  if (Trapped("rename", to)) return -1;
  int (*real)(int, const char*, int, const char*, unsigned) =
      (int (*)(int, const char*, int, const char*, unsigned))dlsym(RTLD_NEXT, "renameat2");
  return real(fromDir, from, toDir, to, flags);
}

__attribute__((visibility("default"))) int unlink(const char* path) {
  Log("unlink", path);
  if (Trapped("unlink", path)) return -1;
  int (*real)(const char*) = (int (*)(const char*))dlsym(RTLD_NEXT, "unlink");
  return real(path);
}

/* remove() of the C library unlinks a file without going through unlink(). */
__attribute__((visibility("default"))) int remove(const char* path) {
  Log("unlink", path);
  if (Trapped("unlink", path)) return -1;
  int (*real)(const char*) = (int (*)(const char*))dlsym(RTLD_NEXT, "remove");
  return real(path);
}

__attribute__((visibility("default"))) int mkdir(const char* path, mode_t mode) {
  Log("mkdir", path);
  if (Trapped("mkdir", path)) return -1;
  int (*real)(const char*, mode_t) = (int (*)(const char*, mode_t))dlsym(RTLD_NEXT, "mkdir");
  return real(path, mode);
}

/* The call on a descriptor: written to the log (unless `logged` is 0), then trapped or not. */
static int FdCall(const char* call, int fd, int logged) {
  char link[64], path[4096];
  if (!getenv("TRAP_CALL") && !(logged && getenv("TRAP_LOG"))) return 0;
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = readlink(link, path, sizeof path - 1);
  if (n < 0) return 0;
  path[n] = 0;
  if (logged) Log(call, path);
  return getenv("TRAP_CALL") ? Trapped(call, path) : 0;
}

static int FdTrapped(const char* call, int fd) { return FdCall(call, fd, 0); }

static int OpenTrapped(const char* path, int flags, va_list args, int (*real)(const char*, int, ...)) {
  mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(args, int) : 0;
  if (Trapped("open", path)) return -1;
  return real(path, flags, mode);
}

__attribute__((visibility("default"))) int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  int rc = OpenTrapped(path, flags, args, (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open"));
  va_end(args);
  return rc;
}

__attribute__((visibility("default"))) int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  int rc = OpenTrapped(path, flags, args, (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open64"));
  va_end(args);
  return rc;
}

__attribute__((visibility("default"))) ssize_t write(int fd, const void* data, size_t n) {
  if (fd > 2 && FdCall("write", fd, 1)) return -1;
  ssize_t (*real)(int, const void*, size_t) = (ssize_t (*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
  return real(fd, data, n);
}

__attribute__((visibility("default"))) int fsync(int fd) {
  if (FdCall("fsync", fd, 1)) return -1;
  int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
  return real(fd);
}

__attribute__((visibility("default"))) int fdatasync(int fd) {
  if (FdCall("fsync", fd, 1)) return -1;
  int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
  return real(fd);
}

/* A failed close still releases the descriptor, as the system's does. */
__attribute__((visibility("default"))) int close(int fd) {
  int trapped = fd > 2 && FdTrapped("close", fd);
  int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "close");
  int result = real(fd);
  if (trapped) {
    errno = TrapErrno();
    return -1;
  }
  return result;
}

__attribute__((visibility("default"))) int flock(int fd, int op) {
  if (FdTrapped("flock", fd)) return -1;
  int (*real)(int, int) = (int (*)(int, int))dlsym(RTLD_NEXT, "flock");
  return real(fd, op);
}

__attribute__((visibility("default"))) ssize_t pwrite(int fd, const void* data, size_t n, off_t at) {
  if (FdCall("pwrite", fd, 1)) return -1;
  ssize_t (*real)(int, const void*, size_t, off_t) =
      (ssize_t (*)(int, const void*, size_t, off_t))dlsym(RTLD_NEXT, "pwrite");
  return real(fd, data, n, at);
}

__attribute__((visibility("default"))) ssize_t pwrite64(int fd, const void* data, size_t n, off_t at) {
  return pwrite(fd, data, n, at);
}

/* The datagram of the run's end, by the path of the socket it is sent to. */
__attribute__((visibility("default"))) ssize_t sendto(int fd, const void* data, size_t n, int flags,
                                                    __CONST_SOCKADDR_ARG to, socklen_t length) {
  const struct sockaddr* addr = to.__sockaddr__;
  if (addr && addr->sa_family == AF_UNIX) Log("sendto", ((const struct sockaddr_un*)addr)->sun_path);
  ssize_t (*real)(int, const void*, size_t, int, __CONST_SOCKADDR_ARG, socklen_t) =
      (ssize_t (*)(int, const void*, size_t, int, __CONST_SOCKADDR_ARG, socklen_t))dlsym(RTLD_NEXT, "sendto");
  return real(fd, data, n, flags, to, length);
}

/* link: a new name given to a file (linkat too; its new name). */
__attribute__((visibility("default"))) int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
  Log("link", to);
  if (Trapped("link", to)) return -1;
  int (*real)(int, const char*, int, const char*, int) =
      (int (*)(int, const char*, int, const char*, int))dlsym(RTLD_NEXT, "linkat");
  return real(fromDir, from, toDir, to, flags);
}

__attribute__((visibility("default"))) int link(const char* from, const char* to) {
  Log("link", to);
  if (Trapped("link", to)) return -1;
  int (*real)(const char*, const char*) = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "link");
  return real(from, to);
}
