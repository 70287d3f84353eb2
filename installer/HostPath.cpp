// The drive map and the translation of Windows paths to host paths. The map is read once: the
// [Drives] section of quillet.ini in the program folder, replaced entirely by QUILLET_DRIVES
// ("C=/srv/c;E=/mnt/vol;E.label=DISK.01") when that is set.
#include "HostPath.h"

#include "Helpers.h"
#include "Files.h"
#include "SysUtils.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <unordered_set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace fs = std::filesystem;

namespace {

std::string_view Strip(std::string_view s) {
  constexpr std::string_view kBlanks = " \t\r\n\f\v";
  size_t a = s.find_first_not_of(kBlanks);
  if (a == std::string_view::npos) return {};
  return s.substr(a, s.find_last_not_of(kBlanks) - a + 1);
}

struct DriveMap {
  std::map<std::string, std::string> roots;   // "C", "\\SERVER\SHARE" -> host folder
  std::map<char, std::string> labels;
  char current = 'C';
  bool loaded = false;
  std::string problem;  ///< the ini file that is there and could not be read, and why

  // The first entry of a drive counts, as the first of an ini key does.
  void add(std::string_view key0, std::string_view value) {
    std::string key = UpperText((Strip(key0)));
    if (key.size() > 6 && key.compare(key.size() - 6, 6, ".LABEL") == 0) {
      if (key.size() == 7) labels.emplace(key[0], value);
      return;
    }
    if (key.size() == 2 && key[1] == ':') key.resize(1);
    for (char& c : key)
      if (c == '/') c = '\\';
    while (key.size() > 2 && key.back() == '\\') key.pop_back();
    if (!key.empty() && !value.empty()) roots.emplace(key, value);
  }

  void load() {
    if (loaded) return;
    loaded = true;
    if (const char* env = std::getenv("QUILLET_DRIVES")) {
      std::string s = env;
      size_t start = 0;
      while (start <= s.size()) {
        size_t end = s.find(';', start);
        if (end == std::string::npos) end = s.size();
        std::string item = s.substr(start, end - start);
        size_t eq = item.find('=');
        if (eq != std::string::npos) add(item.substr(0, eq), Strip(item.substr(eq + 1)));
        start = end + 1;
      }
      return;
    }
    std::string ini = FindFileNoCase(ProgramFolder() + "quillet.ini");
    if (ini.empty()) return;
    for (auto& [k, v] : ReadIniSection(ini, "Drives", &problem)) add(k, v);
  }
};

// The last ini file read, its text and when it was changed.
struct IniFileCache {
  std::string path, text;
  off_t size = -1;
  struct timespec mtime {};
};
// The cache and the drive map are made on first use and never destroyed: a program ended by
// exit() during a run still maps paths in its exit handler.
IniFileCache& IniCache() {
  static auto& cache = *new IniFileCache;
  return cache;
}

DriveMap& Map() {
  static auto& map = *new DriveMap;
  map.load();
  return map;
}

// Appends the components of `rest` ("\"-separated) to `root`, matching existing ones without
// regard to letter case; ".." never goes above `root`.
std::string Resolve(const std::string& root, const std::string& rest) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find('\\', start);
    if (end == std::string::npos) end = rest.size();
    std::string part = rest.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out = root;
  bool existing = true;
  std::error_code ec;
  for (const std::string& part : parts) {
    if (!out.empty() && out.back() != '/') out += '/';
    if (existing) {
      fs::path folder = out.empty() ? fs::path(".") : fs::path(out);
      if (fs::exists(folder / part, ec)) {
        out += part;
        continue;
      }
      std::string match;
      if (fs::is_directory(folder, ec))
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
          if (SameText(it->path().filename().string(), part)) {
            match = it->path().filename().string();
            break;
          }
      if (!match.empty()) {
        out += match;
        continue;
      }
      existing = false;
    }
    out += part;
  }
  if (!rest.empty() && rest.back() == '\\' && !out.empty() && out.back() != '/') out += '/';
  return out;
}

}  // namespace

std::string DriveRoot(const std::string& drive) {
  std::string key = UpperText(drive);
  if (key.size() == 2 && key[1] == ':') key.resize(1);
  auto& roots = Map().roots;
  auto it = roots.find(key);
  return it == roots.end() ? "" : it->second;
}

std::string DriveLabel(char drive) {
  auto& labels = Map().labels;
  auto it = labels.find(char(toupper(static_cast<unsigned char>(drive))));
  return it == labels.end() ? "" : it->second;
}

char CurrentDrive() { return Map().current; }
void SetCurrentDrive(char drive) { Map().current = char(toupper(static_cast<unsigned char>(drive))); }

std::string DriveMapProblem() { return Map().problem; }

void ReloadDriveMap() {
  IniCache() = IniFileCache();
  DriveMap& m = Map();
  char current = m.current;
  m = DriveMap();
  m.current = current;
  m.load();
}

std::string HostPath(const std::string& windowsPath) {
  std::string p = windowsPath;
  for (char& c : p)
    if (c == '/') c = '\\';
  if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
    // \\server\share\rest
    size_t server = p.find('\\', 2);
    if (server == std::string::npos) return "";
    size_t share = p.find('\\', server + 1);
    std::string key = p.substr(0, share);
    std::string root = DriveRoot(key);
    if (root.empty()) return "";
    return Resolve(root, share == std::string::npos ? "" : p.substr(share + 1));
  }
  if (p.size() >= 2 && p[1] == ':' && isalpha(static_cast<unsigned char>(p[0]))) {
    std::string root = DriveRoot(p.substr(0, 1));
    if (root.empty()) return "";
    return Resolve(root, p.substr(2));  // "C:x" is taken from the drive's root as well
  }
  if (!p.empty() && p[0] == '\\') {
    std::string root = DriveRoot(std::string(1, CurrentDrive()));
    if (root.empty()) return "";
    return Resolve(root, p.substr(1));
  }
  std::string rel = Resolve("", p);
  return rel;
}

std::vector<std::pair<std::string, std::string>> ParseIniSection(std::string_view text, std::string_view section) {
  std::vector<std::pair<std::string, std::string>> out;
  std::unordered_set<std::string> seen;  // keys already taken: the first of a repeated key counts
  const std::string wanted = UpperText((Strip(section)));
  bool inside = false;
  // Read as the project reads text files: a UTF-8 byte-order mark skipped, and CR LF, LF or a
  // lone CR ending a line.
  size_t start = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Strip(text.substr(start, end - start));
    start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      inside = close != std::string_view::npos && UpperText((Strip(line.substr(1, close - 1)))) == wanted;
      continue;
    }
    if (!inside) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string key = UpperText((Strip(line.substr(0, eq))));
    if (key.empty()) continue;
    std::string_view value = Strip(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    if (value.size() > 254) value = value.substr(0, 254);
    if (seen.insert(key).second) out.emplace_back(std::move(key), std::string(value));
  }
  return out;
}

namespace {

// Reads a whole regular file into `text`: "" on success, else why it could not be read.
std::string ReadWholeFile(const std::string& hostFile, std::string& text) {
  const int fd = ::open(hostFile.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::strerror(errno);
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a plain file";
  }
  text.clear();
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const std::string why = std::strerror(errno);
      ::close(fd);
      return why;
    }
    if (n == 0) break;
    text.append(buffer, size_t(n));
  }
  ::close(fd);
  return "";
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ReadIniSection(const std::string& hostFile, std::string_view section,
                                                                std::string* problem) {
  // The drive map and the message texts come from the same file: it is read once, and again only
  // when it has changed since.
  IniFileCache& cache = IniCache();
  struct stat st{};
  if (stat(hostFile.c_str(), &st) != 0) return {};
  if (cache.path != hostFile || cache.size != st.st_size || cache.mtime.tv_sec != st.st_mtim.tv_sec ||
      cache.mtime.tv_nsec != st.st_mtim.tv_nsec) {
    std::string text;
    if (std::string why = ReadWholeFile(hostFile, text); !why.empty()) {
      if (problem) *problem = hostFile + ": " + why;
      return {};
    }
    cache.text = std::move(text);
    cache.path = hostFile;
    cache.size = st.st_size;
    cache.mtime = st.st_mtim;
  }
  return ParseIniSection(cache.text, section);
}
