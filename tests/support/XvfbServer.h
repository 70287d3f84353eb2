// An X server of a test process's own: Xvfb is started on a display number it picks itself
// (reported through a pipe, so test processes running side by side never race for one) and
// stopped at exit. Without Xvfb, or under the address sanitizer (the X keyboard library trips
// its strict string checks), widgets draw on Qt's offscreen platform instead; under CI a missing
// Xvfb ends the test program.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace testsupport {

class XvfbServer {
public:
    /// `screen` is Xvfb's screen geometry, width x height x depth.
    explicit XvfbServer(const char* screen = "1280x1024x24") {
#if defined(__SANITIZE_ADDRESS__)
        const bool sanitized = true;
#else
        const bool sanitized = false;
#endif
        int fds[2];
        if (!sanitized && access("/usr/bin/Xvfb", X_OK) == 0 && pipe(fds) == 0) {
            FPid = fork();
            if (FPid == 0) {
                // The server ends with this process and keeps its output to itself.
                prctl(PR_SET_PDEATHSIG, SIGTERM);
                const int null = open("/dev/null", O_WRONLY);
                dup2(null, 1);
                dup2(null, 2);
                close(fds[0]);
                const std::string fd = std::to_string(fds[1]);
                execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten",
                      "tcp", static_cast<char*>(nullptr));
                _exit(127);
            }
            close(fds[1]);
            std::string number;
            char c;
            while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
            close(fds[0]);
            if (FPid > 0 && !number.empty()) {
                setenv("DISPLAY", (":" + number).c_str(), 1);
                unsetenv("QT_QPA_PLATFORM");
                FReal = true;
                return;
            }
            Stop();
        }
        // A machine set up by the project's own script has Xvfb; under CI the windows must be real.
        if (!sanitized && std::getenv("CI")) {
            std::fprintf(stderr, "Xvfb could not be started (package xvfb); CI needs real windows\n");
            std::_Exit(1);
        }
        setenv("DISPLAY", ":offscreen", 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    ~XvfbServer() { Stop(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    /// True when a real X server draws (false: the offscreen platform).
    bool Real() const { return FReal; }

private:
    void Stop() {
        if (FPid > 0) {
            kill(FPid, SIGTERM);
            waitpid(FPid, nullptr, 0);
        }
        FPid = -1;
    }
    pid_t FPid = -1;
    bool FReal = false;
};

}  // namespace testsupport
