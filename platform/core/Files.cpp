// Program folder and case-insensitive path look-up over the standard filesystem library, and the
// safe replacement of a file. Errors of the file system (unreadable folders, broken links) make a
// look-up fail, never throw.
#include "Files.h"

#include "SysUtils.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
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

}  // namespace

TWholeFileWriter::TWholeFileWriter(std::string path) : FPath(std::move(path)) {}

TWholeFileWriter::~TWholeFileWriter() = default;

void TWholeFileWriter::Fail(int error) {
    if (!FError) FError = error ? error : EIO;
}

bool TWholeFileWriter::Open() {
    if (FFile) return FFile->ok();
    FFile = std::make_unique<ReplacementFile>(FPath, 0666);
    if (!FFile->ok()) Fail(FFile->error());
    return FFile->ok();
}

bool TWholeFileWriter::WriteGathered() {
    const bool written = FFile->Write(FGathered.data(), FGathered.size());
    FGathered.clear();
    if (!written) Fail(FFile->error());
    return written;
}

bool TWholeFileWriter::Write(const void* data, std::size_t size) {
    if (!FFile || !FFile->ok()) Fail(EBADF);
    if (FError) return false;
    FGathered.append(static_cast<const char*>(data), size);
    return FGathered.size() < kGatherBytes || WriteGathered();
}

bool TWholeFileWriter::Commit(bool durable) {
    if (!FFile || !FFile->ok()) Fail(EBADF);
    if (!FError && WriteGathered()) {
        const int rc = FFile->Finish(durable);
        if (rc != 0) Fail(rc);
    }
    if (FError) {
        Discard();
        return false;
    }
    return true;
}

void TWholeFileWriter::Discard() {
    FFile.reset();
    FGathered.clear();
}
