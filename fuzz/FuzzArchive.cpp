// Fuzz target of the archive reader: the input is an archive file; its directory is walked,
// searched and every member extracted into a scratch folder. Members may share their bytes and
// expand a thousandfold, so extraction writes into a sink bounded in size: no file of the target
// grows past kSinkBytes (a longer write fails and ends the member). The folder goes at exit.
#include "ArcDump.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

/// What one extracted member may write.
constexpr rlim_t kSinkBytes = rlim_t(1) << 20;

/// The scratch folder under TMPDIR (else /tmp), removed with its contents when the process ends.
struct ScratchFolder {
    std::string Path;
    ScratchFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_archive.XXXXXX";
        if (::mkdtemp(pattern.data())) Path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!Path.empty()) std::filesystem::remove_all(Path, ec);
    }
};

/// No file may grow past `bytes`: a write beyond fails with EFBIG instead of raising SIGXFSZ.
void LimitFileSize(rlim_t bytes) {
    static const bool ignored = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    (void)ignored;
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return;
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? bytes : std::min(bytes, limit.rlim_max);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder scratch;
    if (scratch.Path.empty()) return 0;
    // The input itself must fit; every member's output is cut at the bound.
    LimitFileSize(std::max<rlim_t>(kSinkBytes, rlim_t(size)));
    std::string path = scratch.Path + "/in.pod";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    ArcDump arc(path.data());
    if (!arc.IsValid()) return 0;
    char name[13];
    std::string out = scratch.Path + "/member";
    unsigned long n = arc.NumberOfRecords();
    for (unsigned long i = 0; i < n && i < 64 && !arc.eof(); ++i, arc.Next()) {
        arc.FileName(name);
        arc.Offset();
        arc.Length();
        arc.ExtractFile(out.data());
        unlink(out.c_str());
    }
    char key[] = "readme.txt";
    arc.Seek(key);
    unlink(path.c_str());
    return 0;
}
