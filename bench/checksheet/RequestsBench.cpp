// The unattended road through the real program, run as a dealer system runs it: from a copy of
// the program's own folder (the database, the artwork and the page images beside the program),
// headless, on request files of varied requests over every market, language, model range,
// interval and kind. Each run is one process; its CPU time, page faults and peak resident size
// come from the operating system's account of that process, beside the wall time.
//   BM_RequestFile/N        one process, a file of N requests (100, 1,000, 10,000: peak RSS flat)
//   BM_RequestFileSplit/P   10,000 requests split over P processes running at once
//   BM_SingleRequestWithStartUp   one request on the command line, start-up included
// Counters: requests per CPU-second and per wall second, page faults (minor + major) and peak
// RSS in KB of the (largest) process. The single request's instruction count is bench_figures'
// (callgrind).
// Usage: bench_requests [benchmark flags]
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

/// What the operating system counted for finished processes.
struct Usage {
    double CpuSeconds = 0;
    long Faults = 0;
    long PeakKb = 0;  ///< the largest process's peak resident size
    int Failures = 0;
};

/// A copy of the program folder as it is installed: everything beside the program except the
/// other programs built there.
struct Folder {
    Folder() {
        path = fs::temp_directory_path() / ("bench-requests-" + std::to_string(::getpid()));
        fs::remove_all(path);
        fs::create_directories(path / "out");
        const fs::path bin = VETRA_BIN_DIR;
        for (const fs::directory_entry& e : fs::directory_iterator(bin)) {
            const std::string name = e.path().filename().string();
            const bool program = e.is_regular_file() && ::access(e.path().c_str(), X_OK) == 0;
            if (program && name != "vetrav3") continue;
            fs::copy(e.path(), path / name, fs::copy_options::recursive);
        }
    }
    ~Folder() { fs::remove_all(path); }

    /// Starts the program in the folder with `arguments`, headless; its process id.
    pid_t Start(const std::vector<std::string>& arguments) const {
        const pid_t pid = ::fork();
        if (pid != 0) return pid;
        if (::chdir(path.c_str()) != 0) ::_exit(127);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<char*> argv{const_cast<char*>("./vetrav3")};
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv("./vetrav3", argv.data());
        ::_exit(127);
    }

    /// Waits for the processes and adds up what they used.
    static void Wait(const std::vector<pid_t>& pids, Usage& usage) {
        for (pid_t pid : pids) {
            int status = 0;
            rusage r{};
            if (::wait4(pid, &status, 0, &r) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
                ++usage.Failures;
            usage.CpuSeconds += double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
                                double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
            usage.Faults += r.ru_minflt + r.ru_majflt;
            usage.PeakKb = std::max(usage.PeakKb, long(r.ru_maxrss));
        }
    }

    fs::path path;
};

/// Request i of the varied set: 6 markets x 4 languages (every pairing), the 17 model ranges,
/// intervals 0 to 20 and the 15 combinations of kinds; no two requests alike (no file written
/// twice) up to 100,000 requests.
std::string Request(int i) {
    static const char* markets[] = {"GB", "IE", "DE", "AT", "PL", "GR"};
    static const char* languages[] = {"en", "de", "pl", "el"};
    const int pair = i % 24;
    const int range = 101 + (i / 24) % 17;
    const int interval = (i * 13 + i / 408) % 21;
    const int kinds = 1 + (i * 7 + i / 24) % 15;
    const auto flag = [kinds](int bit) { return (kinds & bit) ? ",Y" : ",N"; };
    return std::string(markets[pair % 6]) + "," + languages[pair / 6] + "," + std::to_string(range) + "," +
           std::to_string(interval) + flag(1) + flag(2) + flag(4) + flag(8);
}

/// Writes requests [from, to) as a request file named `name` in the folder's out/.
std::string WriteRequests(const Folder& folder, const std::string& name, int from, int to) {
    std::ofstream file(folder.path / "out" / name);
    for (int i = from; i < to; ++i) file << Request(i) << "\n";
    return "out/" + name;
}

void Report(benchmark::State& state, const Usage& usage, double wallSeconds, int requests) {
    if (usage.Failures) state.SkipWithError("a run did not end cleanly");
    const double runs = double(state.iterations());
    state.counters["requests/CPU-s"] = usage.CpuSeconds > 0 ? requests * runs / usage.CpuSeconds : 0;
    state.counters["requests/wall-s"] = wallSeconds > 0 ? requests * runs / wallSeconds : 0;
    state.counters["CPU-s/run"] = usage.CpuSeconds / runs;
    state.counters["faults/run"] = double(usage.Faults) / runs;
    state.counters["peak-RSS-KB"] = double(usage.PeakKb);
}

void BM_RequestFile(benchmark::State& state) {
    const int requests = int(state.range(0));
    Folder folder;
    const std::string file = WriteRequests(folder, "batch.txt", 0, requests);
    Usage usage;
    double wall = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Folder::Wait({folder.Start({"X", file})}, usage);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        wall += seconds;
    }
    Report(state, usage, wall, requests);
}
BENCHMARK(BM_RequestFile)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_RequestFileSplit(benchmark::State& state) {
    const int processes = int(state.range(0));
    constexpr int kRequests = 10000;
    Folder folder;
    // One file per process, each a contiguous share of the requests; the files written are
    // named after each request file and do not depend on one another.
    std::vector<std::string> files;
    for (int p = 0; p < processes; ++p)
        files.push_back(WriteRequests(folder, "part" + std::to_string(p) + ".txt", kRequests * p / processes,
                                      kRequests * (p + 1) / processes));
    Usage usage;
    double wall = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::vector<pid_t> pids;
        for (const std::string& file : files) pids.push_back(folder.Start({"X", file}));
        Folder::Wait(pids, usage);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        wall += seconds;
    }
    Report(state, usage, wall, kRequests);
}
BENCHMARK(BM_RequestFileSplit)->Arg(8)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

void BM_SingleRequestWithStartUp(benchmark::State& state) {
    Folder folder;
    Usage usage;
    double wall = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Folder::Wait({folder.Start({"X", "GB,en,107,4,Y,Y,Y,Y", "out/"})}, usage);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        wall += seconds;
    }
    Report(state, usage, wall, 1);
}
BENCHMARK(BM_SingleRequestWithStartUp)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
