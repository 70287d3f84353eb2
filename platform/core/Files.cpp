// Program folder and case-insensitive path look-up over the standard filesystem library, and the
// safe replacement of a file. Errors of the file system (unreadable folders, broken links) make a
// look-up fail, never throw.
#include "Files.h"

#include "SysUtils.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

std::string ProgramFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return "./";
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::string FindFileNoCase(const std::string& path) {
    if (path.empty()) return "";
    std::error_code ec;
    if (fs::exists(path, ec)) return path;
    fs::path p(path);
    fs::path found = p.is_absolute() ? fs::path("/") : fs::path();
    for (const fs::path& part : p.relative_path()) {
        const std::string name = part.string();
        if (name.empty() || name == "." || name == "..") {
            found /= part;
            continue;
        }
        fs::path exact = found / part;
        if (fs::exists(exact, ec)) {
            found = exact;
            continue;
        }
        fs::path folder = found.empty() ? fs::path(".") : found;
        fs::path match;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            if (SameText(it->path().filename().string(), name)) {
                match = it->path().filename();
                break;
            }
        if (match.empty()) return "";
        found /= match;
    }
    std::string result = found.string();
    if (!path.empty() && path.back() == '/' && (result.empty() || result.back() != '/')) result += '/';
    return result;
}

bool FileExistsNoCase(const std::string& path) {
    std::string found = FindFileNoCase(path);
    std::error_code ec;
    return !found.empty() && fs::is_regular_file(found, ec);
}

// ---- Replacing a file ----

namespace {

/// Six letters or digits, different on every call (the system's random bytes, else the clock).
std::string FreshTag() {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6];
  if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != ssize_t(sizeof bytes)) {
    static unsigned long long counter = 0;
    unsigned long long v = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                           (uint64_t(::getpid()) << 32) ^ (++counter * 0x9E3779B97F4A7C15ull);
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(v);
      v = v >> 8 | v << 56;
    }
  }
  std::string tag;
  for (unsigned char b : bytes) tag += kChars[b % (sizeof kChars - 1)];
  return tag;
}

/// The folder of a path ("." for a bare name).
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

ReplacementFile::ReplacementFile(const std::string& target, unsigned mode) : target_(target) {
  const size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) {
    error_ = EINVAL;
    return;
  }
  // A name already taken (a leftover of any kind, a link included) is passed over for another.
  for (int attempt = 0; attempt < 100; ++attempt) {
    path_ = folder + ".~" + FreshTag() + "." + name;
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode & 07777);
    if (fd_ >= 0) return;
    if (errno != EEXIST) break;
  }
  error_ = errno ? errno : EEXIST;
  path_.clear();
}

ReplacementFile::~ReplacementFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!renamed_ && !path_.empty()) ::unlink(path_.c_str());
}

bool ReplacementFile::Write(const void* data, size_t n) {
  if (fd_ < 0 || error_ != 0) return false;
  const auto* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t r = ::pwrite(fd_, p, n, off_t(end_));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      error_ = r < 0 ? errno : EIO;
      return false;
    }
    p += r;
    n -= size_t(r);
    end_ += r;
  }
  return true;
}

int ReplacementFile::Commit(bool replace) { return Place(replace, true, false); }

int ReplacementFile::Finish(bool durable) { return Place(true, durable, true); }

int ReplacementFile::Place(bool replace, bool durable, bool close) {
  if (fd_ < 0 || renamed_) return error_ ? error_ : EBADF;
  if (error_ != 0) return error_;
  auto failed = [&](int e) { return error_ = e ? e : EIO; };
  if (durable && ::fsync(fd_) != 0) return failed(errno);
  if (close) {
    // A failed close still frees the descriptor; what it reports may be a write that never landed.
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return failed(errno);
  }
  if (replace) {
    if (std::rename(path_.c_str(), target_.c_str()) != 0) return failed(errno);
  } else if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) != 0) {
    // A file system without that rename: a second link, which no existing name can take either.
    if (errno != EINVAL && errno != ENOSYS) return failed(errno);
    if (::link(path_.c_str(), target_.c_str()) != 0) return failed(errno);
    ::unlink(path_.c_str());
  }
  renamed_ = true;
  if (!durable) return 0;
  // The rename itself reaches the disk with the folder.
  int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return failed(errno);
  const int rc = ::fsync(dir) == 0 ? 0 : errno;
  ::close(dir);
  // A file system that cannot flush folders (EINVAL) keeps its renames by its own rules.
  if (rc != 0 && rc != EINVAL) return failed(rc);
  return 0;
}

int ReplacementFile::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void RemoveUnfinishedReplacements(const std::string& target) {
  const size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : FolderOf(target);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) return;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    // ".~" + six letters or digits + "." + the target's name
    if (entry.size() != name.size() + 9 || entry.compare(0, 2, ".~") != 0 || entry[8] != '.' ||
        entry.compare(9, std::string::npos, name) != 0)
      continue;
    bool tagged = true;
    for (size_t i = 2; i < 8; ++i) tagged = tagged && std::isalnum(static_cast<unsigned char>(entry[i]));
    struct stat st{};
    if (tagged && ::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(it->path().c_str());
  }
}

int ReplaceFileWith(const std::string& target, std::string_view data, unsigned mode) {
  ReplacementFile file(target, mode);
  if (!file.ok()) return file.error();
  if (!file.Write(data.data(), data.size())) return file.error();
  return file.Commit();
}

// ---- Files written whole for others to read ----

namespace {

/// Bytes gathered before they are written: the writers hand them over in small pieces.
constexpr std::size_t kGatherBytes = 64 * 1024;

/// How many names a file that takes a free name tries before it gives up.
constexpr int kMaxFreeNames = 10000;

/// The end of a short fresh name (".~" + six letters or digits + ".part").
constexpr char kPartEnd[] = ".part";

bool IsPartName(const char* entry) {
  if (std::strlen(entry) != 8 + sizeof kPartEnd - 1 || entry[0] != '.' || entry[1] != '~' ||
      std::strcmp(entry + 8, kPartEnd) != 0)
    return false;
  for (int i = 2; i < 8; ++i)
    if (!std::isalnum(static_cast<unsigned char>(entry[i]))) return false;
  return true;
}

/// An unnamed file is given its name through its descriptor's entry in /proc.
bool ProcLinks() {
  static const bool ok = ::access("/proc/self/fd", X_OK) == 0;
  return ok;
}

std::string FdPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

/// Removes, once per folder and process, the short fresh names that writers left when they ended
/// before naming their file (a program killed). Each writer holds a lock on its file until the
/// file has its own name: a file whose lock can be taken has no writer any more.
void RemoveAbandonedParts(const std::string& folder) {
  static std::mutex guard;
  static std::set<std::string> cleaned;
  {
    std::lock_guard<std::mutex> lock(guard);
    if (!cleaned.insert(folder).second) return;
  }
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const std::string front = folder + "/";
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsPartName(entry->d_name)) continue;
    const std::string path = front + entry->d_name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat opened{}, named{};
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
      ::unlink(path.c_str());
    ::close(fd);
  }
  ::closedir(dir);
}

}  // namespace

TWholeFileWriter::TWholeFileWriter(std::string path) : FPath(std::move(path)) {}

TWholeFileWriter::TWholeFileWriter(std::function<std::string(int)> name) : FFreeName(std::move(name)) {}

TWholeFileWriter::~TWholeFileWriter() { Drop(); }

void TWholeFileWriter::Fail(int error) {
    if (!FError) FError = error ? error : EIO;
}

bool TWholeFileWriter::Open() {
    if (FFd >= 0) return true;
    if (FError) return false;
    if (FFreeName) FPath = FFreeName(1);
    const std::size_t slash = FPath.find_last_of('/');
    if (FPath.empty() || (slash != std::string::npos && slash + 1 == FPath.size())) {
        Fail(EINVAL);
        return false;
    }
    const std::string folder = FolderOf(FPath);
    RemoveAbandonedParts(folder);
    if (ProcLinks()) {
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX);
            FFd = fd;
            return true;
        }
        // A file system (or a system) without unnamed files: a short fresh name instead.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOSYS) {
            Fail(errno);
            return false;
        }
    }
    const std::string front = (slash == std::string::npos ? std::string() : FPath.substr(0, slash + 1)) + ".~";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = front + FreshTag() + kPartEnd;
        const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;  // a leftover of any kind, a link included: another name
            Fail(errno);
            return false;
        }
        // Locked until it has its own name; a clean-up that came between the two took it away.
        ::flock(fd, LOCK_EX);
        struct stat opened{}, named{};
        if (::fstat(fd, &opened) == 0 && ::lstat(temp.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino) {
            FFd = fd;
            FTempPath = temp;
            return true;
        }
        ::close(fd);
    }
    Fail(EEXIST);
    return false;
}

bool TWholeFileWriter::WriteGathered() {
    const char* p = FGathered.data();
    std::size_t n = FGathered.size();
    while (n > 0 && !FError) {
        const ssize_t r = ::pwrite(FFd, p, n, off_t(FEnd));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            Fail(r < 0 ? errno : EIO);
            break;
        }
        p += r;
        n -= std::size_t(r);
        FEnd += r;
    }
    FGathered.clear();
    return !FError;
}

bool TWholeFileWriter::Write(const void* data, std::size_t size) {
    if (FFd < 0) Fail(EBADF);
    if (FError) return false;
    FGathered.append(static_cast<const char*>(data), size);
    return FGathered.size() < kGatherBytes || WriteGathered();
}

int TWholeFileWriter::LinkAs(const std::string& name) {
    if (FTempPath.empty())
        return ::linkat(AT_FDCWD, FdPath(FFd).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, FTempPath.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) != 0) {
        // A file system without that rename: a second link, which no existing name can take either.
        if (errno != EINVAL && errno != ENOSYS) return errno;
        if (::link(FTempPath.c_str(), name.c_str()) != 0) return errno;
        ::unlink(FTempPath.c_str());
    }
    FTempPath.clear();
    return 0;
}

int TWholeFileWriter::Name(bool durable) {
    if (durable && ::fsync(FFd) != 0) return errno;
    // A close reports writes that never reached the file (network file systems do so): a second
    // descriptor is closed first, while the file is still unnamed.
    const int probe = ::fcntl(FFd, F_DUPFD_CLOEXEC, 0);
    if (probe < 0) return errno;
    if (::close(probe) != 0) return errno ? errno : EIO;
    struct stat mine{};
    if (::fstat(FFd, &mine) != 0) return errno;

    int rc = 0;
    if (FFreeName) {
        for (int n = 1; n <= kMaxFreeNames; ++n) {
            const std::string name = n == 1 ? FPath : FFreeName(n);
            rc = LinkAs(name);
            if (rc == 0) FPath = name;
            if (rc != EEXIST) break;
        }
    } else if (!FTempPath.empty()) {
        rc = std::rename(FTempPath.c_str(), FPath.c_str()) == 0 ? 0 : errno;
        if (rc == 0) FTempPath.clear();
    } else if ((rc = LinkAs(FPath)) == EEXIST) {
        // The old file is replaced in one rename, from a short fresh name the file has only for
        // that moment (it is locked meanwhile, so a clean-up can tell when its writer has ended).
        const std::size_t slash = FPath.find_last_of('/');
        const std::string front = (slash == std::string::npos ? std::string() : FPath.substr(0, slash + 1)) + ".~";
        for (int attempt = 0; attempt < 100 && rc == EEXIST; ++attempt) {
            const std::string temp = front + FreshTag() + kPartEnd;
            rc = LinkAs(temp);
            if (rc == 0 && std::rename(temp.c_str(), FPath.c_str()) != 0) {
                rc = errno;
                ::unlink(temp.c_str());
            }
        }
    }
    if (rc != 0) return rc;

    // From here a failure takes the name away again: the name holds the whole file or nothing.
    auto unname = [&](int error) {
        struct stat named{};
        if (::lstat(FPath.c_str(), &named) == 0 && named.st_dev == mine.st_dev && named.st_ino == mine.st_ino)
            ::unlink(FPath.c_str());
        return error ? error : EIO;
    };
    if (durable) {
        // The new name reaches the disk with the folder.
        const int dir = ::open(FolderOf(FPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0) return unname(errno);
        const int flushed = ::fsync(dir) == 0 ? 0 : errno;
        ::close(dir);
        // A file system that cannot flush folders (EINVAL) keeps its names by its own rules.
        if (flushed != 0 && flushed != EINVAL) return unname(flushed);
    }
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0) return unname(errno);
    return 0;
}

bool TWholeFileWriter::Commit(bool durable) {
    if (FFd < 0) Fail(EBADF);
    if (!FError && WriteGathered()) {
        const int rc = Name(durable);
        if (rc != 0) Fail(rc);
    }
    if (FError) {
        Drop();
        return false;
    }
    return true;
}

void TWholeFileWriter::Drop() {
    if (!FTempPath.empty()) {
        ::unlink(FTempPath.c_str());
        FTempPath.clear();
    }
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
    FGathered.clear();
}

void TWholeFileWriter::Discard() { Drop(); }
