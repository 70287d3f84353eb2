// The unattended road through the real program: a request file of 1,000 requests over the sample
// database (requests per second, XML files written), and one request on the command line, start-up
// included. The program runs headless from a folder of its own, as a scheduler would run it.
// Usage: bench_requests [benchmark flags]
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Folder {
    Folder() {
        path = fs::temp_directory_path() / ("bench-requests-" + std::to_string(::getpid()));
        fs::remove_all(path);
        fs::create_directories(path / "out");
        fs::copy_file(fs::path(VETRA_BIN_DIR) / "vetrav3", path / "vetrav3");
        fs::copy_file(fs::path(VETRA_BIN_DIR) / "klv3data.sqlite", path / "klv3data.sqlite");
    }
    ~Folder() { fs::remove_all(path); }
    /// Runs the program with `arguments`; its exit code.
    int Run(const std::string& arguments) const {
        const std::string command = "cd '" + path.string() +
                                    "' && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen ./vetrav3 " +
                                    arguments + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    fs::path path;
};

/// 1,000 requests over every market, language, model range and kind of the sample data.
std::string ThousandRequests() {
    const char* pairs[] = {"GB,en", "IE,en", "DE,de", "AT,de", "PL,pl", "GR,el", "DE,en"};
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        const int range = 101 + i % 17;
        const int kinds = 1 + i % 15;
        text += std::string(pairs[i % 7]) + "," + std::to_string(range) + "," + std::to_string(i % 21) + "," +
                (kinds & 1 ? "Y" : "N") + "," + (kinds & 2 ? "Y" : "N") + "," + (kinds & 4 ? "Y" : "N") + "," +
                (kinds & 8 ? "Y" : "N") + "\n";
    }
    return text;
}

void BM_RequestFileOf1000(benchmark::State& state) {
    Folder folder;
    std::ofstream(folder.path / "out/batch.txt") << ThousandRequests();
    for (auto _ : state)
        if (folder.Run("X out/batch.txt") != 0) state.SkipWithError("the request file was not run cleanly");
    state.counters["requests/s"] = benchmark::Counter(1000.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RequestFileOf1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_SingleRequestWithStartUp(benchmark::State& state) {
    Folder folder;
    for (auto _ : state)
        if (folder.Run("X GB,en,107,4,Y,Y,Y,Y out/") != 0) state.SkipWithError("the request was not run cleanly");
}
BENCHMARK(BM_SingleRequestWithStartUp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
