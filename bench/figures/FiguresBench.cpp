// The instruction counts the README gives, counted by callgrind (valgrind) on this build: the
// stable figure on a shared machine, where times are not.
//   single request: `vetrav3 X GB,en,107,4,Y,Y,Y,Y out/` run headless from a copy of the program
//     folder, start-up included, and its shares, each the inclusive count of one step (the steps
//     do not overlap): the dynamic loader's start (loading and relocating the shared libraries),
//     the check of the service data at start, the request's preparation, the report's
//     preparation, the pages laid out with the XML file written, the objects of the run freed,
//     and the rest (steps of less than 2 M each); across the steps, the opening of the service
//     tables (TDataSet::Open, inclusive).
//   XML reading: bench_xmldom_reader reading its document with ours, then with libxml2, each
//     counted inside its contender only (the document's making is left out); the ratio.
//   XML reading with the DTD and validating: the same with bench_xmldom_validate.
//   XML writing: bench_xmldom_writer writing its tree into a file five times, ours and libxml2's;
//     and its markup-heavy tree (small elements, short attributes) into memory five times.
// The XML documents are VETRA_XML_MB megabytes (default 10). Prints one line per figure;
// ends with 1 (and "FAILED") when a run fails or valgrind is missing.
// Usage: bench_figures [any benchmark flags, ignored]
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

/// Runs a shell command; its exit status (-1 when it did not end normally).
int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// Quotes a text for the shell.
std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

/// A scratch folder removed again at the end.
struct Scratch {
    Scratch() {
        path = fs::temp_directory_path() / ("bench-figures-" + std::to_string(::getpid()));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Scratch() { fs::remove_all(path); }
    fs::path path;
};

/// What callgrind counted: the total, and the inclusive counts of the functions asked for.
struct Counted {
    bool Ok = false;
    long long Total = 0;
    std::map<std::string, long long> Inclusive;
};

long long Number(const std::string& text) {
    long long value = 0;
    for (char c : text)
        if (c >= '0' && c <= '9') value = value * 10 + (c - '0');
        else if (c != ',') break;
    return value;
}

/// Runs `command` (in `folder`, with `environment` before it) under callgrind. `toggle`: count
/// only inside the functions it names (callgrind's --toggle-collect pattern).
Counted Callgrind(const fs::path& folder, const std::string& environment, const std::string& command,
                  const std::string& toggle, const std::vector<std::string>& functions) {
    Counted counted;
    const fs::path out = folder / "callgrind.out";
    fs::remove(out);
    std::string run = "cd " + Quote(folder.string()) + " && env -u DISPLAY -u WAYLAND_DISPLAY " + environment +
                      " valgrind --tool=callgrind --callgrind-out-file=" + Quote(out.string());
    if (!toggle.empty()) run += " " + Quote("--toggle-collect=" + toggle);
    run += " " + command + " >/dev/null 2>&1";
    if (Shell(run) != 0 || !fs::exists(out)) return counted;
    std::ifstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("summary:", 0) == 0 || line.rfind("totals:", 0) == 0) counted.Total = Number(line.substr(line.find(':') + 2));
    if (!functions.empty()) {
        const fs::path annotated = folder / "annotated.txt";
        Shell("callgrind_annotate --inclusive=yes " + Quote(out.string()) + " > " + Quote(annotated.string()) + " 2>/dev/null");
        std::ifstream lines(annotated);
        for (std::string line; std::getline(lines, line);)
            for (const std::string& f : functions) {
                // "22,668,711 (40.41%)  /path/DataSet.cpp:TDataSet::Open() [/path/vetrav3]"
                const std::size_t at = line.find(":" + f);
                if (at == std::string::npos || counted.Inclusive.count(f)) continue;
                const char next = at + 1 + f.size() < line.size() ? line[at + 1 + f.size()] : ' ';
                // A name ends at its arguments, its ABI tag or the blank before the object's name.
                if (next == ' ' || next == '(' || next == '[') counted.Inclusive[f] = Number(line.substr(line.find_first_not_of(' ')));
            }
    }
    counted.Ok = counted.Total > 0;
    return counted;
}

double Millions(long long n) { return double(n) / 1e6; }

/// A copy of the program folder as it is installed: everything beside the program except the
/// other programs built there.
void CopyProgramFolder(const fs::path& to) {
    const fs::path bin = VETRA_BIN_DIR;
    for (const fs::directory_entry& e : fs::directory_iterator(bin)) {
        const std::string name = e.path().filename().string();
        const bool program = e.is_regular_file() && ::access(e.path().c_str(), X_OK) == 0;
        if (program && name != "vetrav3") continue;
        fs::copy(e.path(), to / name, fs::copy_options::recursive);
    }
    fs::create_directories(to / "out");
}

}  // namespace

int main() {
    if (Shell("valgrind --version >/dev/null 2>&1") != 0) {
        std::printf("FAILED: valgrind is not installed\n");
        return 1;
    }
    const char* mb = std::getenv("VETRA_XML_MB");
    const std::string xmlMb = mb && *mb ? mb : "10";
    Scratch scratch;
    bool failed = false;

    CopyProgramFolder(scratch.path);
    // The steps of the run, each the inclusive count of the function named, none inside another.
    const std::pair<const char*, const char*> steps[] = {
        {"_dl_start", "loading the shared libraries"},
        {"ServiceDataFault", "checking the service data"},
        {"TfrmChecksheet::PrepareRequest", "preparing the request"},
        {"TfrmPrintPreview::TfrmPrintPreview", "preparing the report"},
        {"TForm::ShowModal()", "laying out the pages and writing the XML file"},
        {"FreeRunObjects()", "freeing the run"},
    };
    std::vector<std::string> functions{"TDataSet::Open()"};
    for (const auto& step : steps) functions.push_back(step.first);
    const Counted request = Callgrind(scratch.path, "", "./vetrav3 X GB,en,107,4,Y,Y,Y,Y out/", "", functions);
    if (!request.Ok || !fs::exists(scratch.path / "out/GB_en_107_4_Y_Y_Y_Y.XML")) {
        std::printf("FAILED: the single request did not run under callgrind\n");
        failed = true;
    } else {
        auto count = [&](const char* function) {
            return request.Inclusive.count(function) ? request.Inclusive.at(function) : 0LL;
        };
        std::string shares;
        long long rest = request.Total;
        for (const auto& step : steps) {
            char part[160];
            std::snprintf(part, sizeof part, "%s %.1f M, ", step.second, Millions(count(step.first)));
            shares += part;
            rest -= count(step.first);
        }
        std::printf("single request with start-up: %.1f M instructions (%sthe rest %.1f M; opening the service tables, "
                    "within these steps, %.1f M)\n",
                    Millions(request.Total), shares.c_str(), Millions(rest), Millions(count("TDataSet::Open()")));
    }

    // Each contender counted inside its own function only: what makes the document is left out.
    struct Contenders {
        const char* Title;
        const char* Bench;
        const char* Arguments[2];  // ours, libxml2
        const char* Environment[2];
        const char* Function[2];
    };
    const Contenders comparisons[] = {
        {"XML reading into a tree", "bench_xmldom_reader", {"", ""}, {"VETRA_XML_ONLY=ours", "VETRA_XML_ONLY=libxml2"},
         {"*runOurs(*", "*runLibxml2(*"}},
        {"XML reading with the DTD and validating", "bench_xmldom_validate", {"", ""},
         {"VETRA_XML_ONLY=ours", "VETRA_XML_ONLY=libxml2"}, {"*runOurs(*", "*runLibxml2(*"}},
        {"XML writing into a file, 5 times", "bench_xmldom_writer",
         {"--benchmark_filter=BM_WriterToFile", "--benchmark_filter=BM_Libxml2ToFile"}, {"", ""},
         {"*BM_WriterToFile(*", "*BM_Libxml2ToFile(*"}},
        {"XML writing a markup-heavy document into memory, 5 times", "bench_xmldom_writer",
         {"--benchmark_filter=BM_WriterMarkupToMemory", "--benchmark_filter=BM_Libxml2MarkupToMemory"}, {"", ""},
         {"*BM_WriterMarkupToMemory(*", "*BM_Libxml2MarkupToMemory(*"}},
    };
    for (const Contenders& pair : comparisons) {
        const std::string bench = std::string(VETRA_BENCH_DIR) + pair.Bench;
        long long counts[2] = {0, 0};
        for (int i = 0; i < 2; ++i) {
            const Counted c = Callgrind(scratch.path, "VETRA_XML_MB=" + xmlMb + " " + pair.Environment[i],
                                        Quote(bench) + " " + pair.Arguments[i], pair.Function[i], {});
            if (c.Ok) counts[i] = c.Total;
        }
        if (!counts[0] || !counts[1]) {
            std::printf("FAILED: %s did not run under callgrind\n", pair.Bench);
            failed = true;
            continue;
        }
        std::printf("%s (%s MB, %s): ours %.1f M, libxml2 %.1f M instructions, ours/libxml2 %.2fx\n", pair.Title,
                    xmlMb.c_str(), pair.Bench, Millions(counts[0]), Millions(counts[1]), double(counts[0]) / double(counts[1]));
    }
    return failed ? 1 : 0;
}
