// Program folder and case-insensitive path look-up over the standard filesystem library, and
// files written whole (temporary name, rename when complete). Errors of the file system
// (unreadable folders, broken links) make a look-up fail, never throw.
#include "Files.h"

#include "SysUtils.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
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

// --- files written whole ----------------------------------------------------------------------

namespace {

/// Bytes gathered before they are written: the writers hand them over in small pieces.
constexpr std::size_t kGatherBytes = 64 * 1024;

/// Six letters or digits, different from call to call and process to process.
std::string RandomPart() {
    static std::mt19937_64 generator(std::random_device{}() ^ (std::uint64_t(::getpid()) << 32) ^
                                     std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string part(6, '0');
    for (char& c : part) c = kLetters[generator() % (sizeof kLetters - 1)];
    return part;
}

}  // namespace

TWholeFileWriter::TWholeFileWriter(std::string path) : FPath(std::move(path)) {}

TWholeFileWriter::~TWholeFileWriter() { Discard(); }

void TWholeFileWriter::Fail(int error) {
    if (!FError) FError = error ? error : EIO;
}

bool TWholeFileWriter::Open() {
    if (FFd >= 0) return true;
    const std::size_t slash = FPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : FPath.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? FPath : FPath.substr(slash + 1);
    // The temporary name ends with the file's own name (cut at the front to fit a name's limit).
    if (name.size() > 240) name.erase(0, name.size() - 240);
    for (int attempt = 0; attempt < 100; ++attempt) {
        FTemp = folder + ".~" + RandomPart() + "-" + name;
        FFd = ::open(FTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (FFd >= 0) return true;
        if (errno != EEXIST) break;
    }
    Fail(errno);
    FTemp.clear();
    return false;
}

bool TWholeFileWriter::WriteGathered() {
    std::size_t done = 0;
    while (done < FGathered.size()) {
        const ssize_t n = ::write(FFd, FGathered.data() + done, FGathered.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Fail(n < 0 ? errno : ENOSPC);
            FGathered.clear();
            return false;
        }
        done += std::size_t(n);
    }
    FGathered.clear();
    return true;
}

bool TWholeFileWriter::Write(const void* data, std::size_t size) {
    if (FFd < 0) Fail(EBADF);
    if (FError) return false;
    FGathered.append(static_cast<const char*>(data), size);
    return FGathered.size() < kGatherBytes || WriteGathered();
}

bool TWholeFileWriter::Commit(bool durable) {
    if (FFd < 0) Fail(EBADF);
    if (!FError && WriteGathered() && durable && ::fsync(FFd) != 0) Fail(errno);
    const int fd = FFd;
    FFd = -1;
    if (fd >= 0 && ::close(fd) != 0) Fail(errno);
    if (!FError && ::rename(FTemp.c_str(), FPath.c_str()) != 0) Fail(errno);
    if (FError) {
        Discard();
        return false;
    }
    FTemp.clear();
    return true;
}

void TWholeFileWriter::Discard() {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
    if (!FTemp.empty()) ::unlink(FTemp.c_str());
    FTemp.clear();
    FGathered.clear();
}
