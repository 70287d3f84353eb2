// Program folder and case-insensitive path look-up over the standard filesystem library.
// Errors of the file system (unreadable folders, broken links) make a look-up fail, never throw.
#include "Files.h"

#include "SysUtils.h"

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
