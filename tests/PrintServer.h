// A private CUPS print server for tests: its own folder, configuration and socket, and one queue
// whose back end keeps every job in a folder, so a test can print through the real queue and read
// the job back. The server ends with the test process.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace printserver {

namespace fs = std::filesystem;

constexpr const char* kQueue = "vetra-capture";

/// Runs a command; returns its standard output and standard error, and its exit code.
inline int Command(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 4096> buffer{};
    std::string text;
    while (std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) text.append(buffer.data(), n);
    const int status = pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline void WriteText(const fs::path& file, const std::string& text, fs::perms perms) {
    std::ofstream(file) << text;
    fs::permissions(file, perms);
}

/// A private print server for this test process; it ends with the process.
class PrintServer {
public:
    /// Empty when the server is running; otherwise why it is not.
    std::string Start() {
        if (access("/usr/sbin/cupsd", X_OK) != 0 || access("/usr/sbin/lpadmin", X_OK) != 0)
            return "the print server (cupsd, lpadmin) is not installed";
        char pattern[] = "/tmp/vetra-cups-XXXXXX";
        if (!mkdtemp(pattern)) return "no temporary folder";
        FRoot = pattern;
        fs::permissions(FRoot, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
        for (const char* sub : {"state", "cache", "spool", "tmp", "log", "bin/backend", "bin/daemon", "bin/filter"})
            fs::create_directories(FRoot / sub);
        // The back end runs as the server's unprivileged user: the job folder is open to it.
        fs::create_directories(Jobs());
        fs::permissions(Jobs(), fs::perms::all);
        const std::string root = FRoot.string();
        const fs::perms rx = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec;
        const fs::perms r = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::others_read;
        WriteText(FRoot / "cupsd.conf",
                  "Listen " + root + "/cups.sock\nLogLevel warn\nBrowsing No\nWebInterface No\n"
                  "DefaultAuthType None\n<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                  "<Policy default>\n  JobPrivateAccess all\n  JobPrivateValues none\n"
                  "  SubscriptionPrivateAccess all\n  SubscriptionPrivateValues none\n"
                  "  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n",
                  r);
        WriteText(FRoot / "cups-files.conf",
                  "ServerRoot " + root + "\nStateDir " + root + "/state\nCacheDir " + root + "/cache\nRequestRoot " +
                      root + "/spool\nTempDir " + root + "/tmp\nAccessLog " + root + "/log/access_log\nErrorLog " +
                      root + "/log/error_log\nPageLog " + root + "/log/page_log\nServerBin " + root +
                      "/bin\nDataDir /usr/share/cups\nSandboxing Relaxed\n",
                  r);
        // The back end: "capture:<folder>" keeps each job's data as job-<id>.prn in the folder.
        WriteText(FRoot / "bin/backend/capture",
                  "#!/bin/sh\n"
                  "[ $# -eq 0 ] && { echo 'direct capture \"Unknown\" \"Job capture\"'; exit 0; }\n"
                  "out=\"${DEVICE_URI#capture:}\"\n"
                  "if [ -n \"$6\" ]; then cat \"$6\"; else cat; fi > \"$out/job-$1.tmp\" && "
                  "mv \"$out/job-$1.tmp\" \"$out/job-$1.prn\"\n",
                  rx);
        std::error_code ec;
        fs::create_symlink("/usr/lib/cups/daemon/cups-exec", FRoot / "bin/daemon/cups-exec", ec);

        FPid = fork();
        if (FPid < 0) return "cannot start the print server";
        if (FPid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            const std::string conf = root + "/cupsd.conf", files = root + "/cups-files.conf";
            execl("/usr/sbin/cupsd", "cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        setenv("CUPS_SERVER", (root + "/cups.sock").c_str(), 1);
        unsetenv("PRINTER");
        unsetenv("LPDEST");
        // The server answers once its socket exists and accepts a request.
        std::string output;
        for (int tries = 0; tries < 100; ++tries) {
            if (fs::exists(FRoot / "cups.sock") && Command("lpstat -r", &output) == 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (Command(std::string("lpadmin -p ") + kQueue + " -E -v capture:" + Jobs().string() + " -m raw", &output) != 0)
            return "lpadmin: " + output + Log();
        if (Command(std::string("lpadmin -d ") + kQueue, &output) != 0) return "lpadmin -d: " + output;
        return "";
    }

    void Stop() {
        if (FPid > 0) {
            kill(FPid, SIGTERM);
            waitpid(FPid, nullptr, 0);
            FPid = -1;
        }
        std::error_code ec;
        if (!FRoot.empty()) fs::remove_all(FRoot, ec);
    }

    fs::path Jobs() const { return FRoot / "jobs"; }
    std::string Log() const {
        std::ifstream in(FRoot / "log/error_log");
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    fs::path FRoot;
    pid_t FPid = -1;
};

/// Waits for the next job file the queue's back end writes into `jobs`; empty after `limit`.
inline fs::path WaitForJob(const fs::path& jobs, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(jobs, ec))
            if (entry.path().extension() == ".prn") return entry.path();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
}

}  // namespace printserver
