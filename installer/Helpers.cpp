// The installer's helpers: path joining and splitting, folder creation through the drive map,
// trimming and number texts, file stamps and copies.
#include "Helpers.h"

#include "Files.h"
#include "HostPath.h"
#include "SysUtils.h"

#include "Dialogs.h"  // the forms layer's beep

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <new>
#include <set>
#include <vector>

namespace fs = std::filesystem;

std::string PathJoin(const std::optional<std::string>& folder, const std::string& name) {
  if (!folder) return name;
  std::string out = *folder;
  if (out.empty() || out.back() != '\\') out += '\\';
  return out + name;
}

std::string SourcePath(const std::optional<std::string>& drive, const std::string& directory,
                       const std::string& name) {
  if (!drive) return directory + name;
  std::string out = *drive;
  if (out.find(':') == std::string::npos) out += ':';
  return out + directory + name;
}

int CompareNoCase(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return x - y;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

std::optional<std::string> StrDup(const char* text) {
  if (!text) return std::nullopt;
  return std::string(text);
}

void SplitPath(const std::string& path, std::string* drive, std::string* folder, std::string* name,
               std::string* extension) {
  size_t at = 0;
  std::string d;
  if (path.size() >= 2 && path[1] == ':') {
    d = path.substr(0, 2);
    at = 2;
  }
  size_t lastSep = path.find_last_of('\\');
  std::string f;
  if (lastSep != std::string::npos && lastSep >= at) {
    f = path.substr(at, lastSep - at + 1);
    at = lastSep + 1;
  }
  if (!d.empty() && !f.empty() && f[0] != '\\') f = "\\" + f;
  std::string rest = path.substr(at);
  size_t dot = rest.find_last_of('.');
  if (drive) *drive = d;
  if (folder) *folder = f;
  if (name) *name = dot == std::string::npos ? rest : rest.substr(0, dot);
  if (extension) *extension = dot == std::string::npos ? "" : rest.substr(dot);
}

int MakeDirs(const std::string& path) {
  std::string p = path;
  size_t start;
  if (p.size() >= 3 && isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':' && p[2] == '\\') {
    start = 3;
  } else if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
    size_t server = p.find('\\', 2);
    size_t share = server == std::string::npos ? server : p.find('\\', server + 1);
    if (share == std::string::npos) return 0;
    start = share + 1;
  } else {
    return 0;
  }
  std::string parent = HostPath(p.substr(0, start));
  if (parent.empty()) return ENOENT;
  while (start < p.size()) {
    size_t end = p.find('\\', start);
    if (end == std::string::npos) end = p.size();
    if (end > start) {
      std::string host = HostPath(p.substr(0, end));
      struct stat st{};
      if (stat(host.c_str(), &st) != 0) {
        if (mkdir(host.c_str(), 0777) == 0)
          NoteFolderChanged(parent);
        else if (errno != EEXIST)
          return errno;
      } else if (!S_ISDIR(st.st_mode)) {
        return ENOTDIR;
      }
      parent = host;
    }
    start = end + 1;
  }
  return 0;
}

namespace {
// Made on first use and never destroyed, as every process-wide object of the installer.
std::set<std::string>& ChangedFolders() {
  static auto& folders = *new std::set<std::string>;
  return folders;
}
}  // namespace

void NoteFolderChanged(const std::string& hostFolder) {
  if (!hostFolder.empty()) ChangedFolders().insert(hostFolder);
}

int FlushChangedFolders() {
  auto& folders = ChangedFolders();
  while (!folders.empty()) {
    const std::string folder = *folders.begin();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A folder that is gone took the change with it.
    if (fd < 0 && errno != ENOENT) return errno;
    const int rc = fd < 0 || ::fsync(fd) == 0 ? 0 : errno;
    if (fd >= 0) ::close(fd);
    if (rc != 0 && rc != EINVAL) return rc;
    folders.erase(folders.begin());
  }
  return 0;
}

void TrimRight(std::string& text) {
  size_t end = text.find_last_not_of(' ');
  text.resize(end == std::string::npos ? 0 : end + 1);
}

std::string TrimRight(const char* buffer, size_t length) {
  std::string s(buffer, length);
  TrimRight(s);
  return s;
}

std::string CopyTrim(const std::string& text, size_t count) {
  std::string s = text.substr(0, count);
  TrimRight(s);
  return s;
}

std::string LtoaUpper(long value, int radix) {
  if (radix < 2 || radix > 36) return "";
  bool negative = value < 0 && radix == 10;
  unsigned long u = negative ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  if (value < 0 && radix != 10) u = static_cast<uint32_t>(value);  // as the 32-bit original shows it
  std::string out;
  do {
    int digit = int(u % unsigned(radix));
    out.insert(out.begin(), char(digit < 10 ? '0' + digit : 'A' + digit - 10));
    u /= unsigned(radix);
  } while (u != 0);
  return negative ? "-" + out : out;
}

char UpperByte(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

std::string UpperText(std::string_view text) { return UpperCase(text); }

bool FileExists(const std::string& hostPath) {
  struct stat st{};
  return !hostPath.empty() && ::stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int32_t ParseInBase(const std::string& text, int base) {
  std::string s = text;
  TrimRight(s);
  uint32_t v = 0;
  for (char c : s) {
    uint32_t digit;
    if (c >= 'a' && c <= 'z')
      digit = uint32_t(c - 'a' + 10);
    else if (c >= 'A' && c <= 'Z')
      digit = uint32_t(c - 'A' + 10);
    else
      digit = uint32_t(c - '0');
    v = v * uint32_t(base) + digit;
  }
  return static_cast<int32_t>(v);
}

std::string StampOf(int64_t unixTime) {
  std::time_t t = static_cast<std::time_t>(unixTime);
  std::tm tm{};
  localtime_r(&t, &tm);
  auto digit = [](int v) { return char(v < 10 ? '0' + v : 'A' + v - 10); };
  int year = tm.tm_year + 1900 - 1985;
  char y = year < 0 ? '0' : year < 36 ? digit(year) : char(std::min('[' + (year - 36), int('~')));
  std::string s;
  s += y;
  s += digit(tm.tm_mon);
  s += digit(tm.tm_mday);
  s += digit(tm.tm_hour);
  s += char('0' + tm.tm_min / 10);
  s += char('0' + tm.tm_min % 10);
  return s;
}

int FileStamp(const std::string& path, std::string& out) {
  struct stat st{};
  std::string host = HostPath(path);
  if (host.empty() || stat(host.c_str(), &st) != 0) return 1;
  out = StampOf(st.st_mtime);
  return 0;
}

int CopyFileInto(const std::string& fromHost, ReplacementFile& to) {
  if (!to.ok()) return to.error() ? to.error() : EIO;
  int in = ::open(fromHost.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  std::vector<char> buffer(65536);
  int rc = 0;
  for (;;) {
    ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) rc = errno;
    if (n <= 0) break;
    if (!to.Write(buffer.data(), size_t(n))) {
      rc = to.error();
      break;
    }
  }
  ::close(in);
  return rc;
}

int CopyFileEx(const std::string& from, const std::string& to, bool overwrite) {
  std::string src = HostPath(from), dst = HostPath(to);
  if (src.empty()) return ENOENT;
  if (dst.empty()) return ENOENT;
  if (overwrite) {
    // The copy is made whole under a fresh name and then takes the destination's place: nothing
    // already there (a link, a file of any kind) is written through.
    struct stat st{};
    if (::stat(src.c_str(), &st) != 0) return errno;
    ReplacementFile out(dst, st.st_mode & 0777);
    if (int rc = CopyFileInto(src, out); rc != 0) return rc;
    return out.Commit();
  }
  std::error_code ec;
  fs::copy_file(src, dst, fs::copy_options::none, ec);
  return ec ? (ec.value() ? ec.value() : EIO) : 0;
}

int CopyFileEx(const std::string& from, const std::string& to, bool overwrite, int* handle) {
  std::string src = HostPath(from), dst = HostPath(to);
  int in = src.empty() ? -1 : ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return -1;
  if (!overwrite && !dst.empty() && access(dst.c_str(), F_OK) == 0) {
    ::close(in);
    return -1004;
  }
  int out = dst.empty() ? -1 : ::open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) {
    ::close(in);
    return -1002;
  }
  if (handle) *handle = out;
  std::vector<char> buffer;
  for (size_t want = 65536; want >= 1024; want -= 1024) {
    try {
      buffer.resize(want);
      break;
    } catch (const std::bad_alloc&) {
    }
  }
  int rc = 0;
  if (buffer.empty()) {
    rc = -1003;
  } else {
    for (;;) {
      ssize_t n = ::read(in, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        rc = errno;
        break;
      }
      if (n == 0) break;
      ssize_t done = 0;
      while (done < n) {
        ssize_t w = ::write(out, buffer.data() + done, size_t(n - done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
          rc = w < 0 ? errno : EIO;
          break;
        }
        done += w;
      }
      if (rc) break;
    }
  }
  ::close(in);
  ::close(out);
  return rc;
}

void Beep() { MessageBeep(); }

std::string TimeText(int64_t unixTime) {
  std::time_t t = static_cast<std::time_t>(unixTime);
  std::tm tm{};
  localtime_r(&t, &tm);
  static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s %s %2d %02d:%02d:%02d %4d\n", days[tm.tm_wday % 7], months[tm.tm_mon % 12],
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
  return buf;
}

std::string TimeText() { return TimeText(int64_t(std::time(nullptr))); }
