// Runs a shell command (the built program in a folder of its own) and gathers its exit code and
// output, for the tests that start the program as a separate process.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

struct Outcome {
    int ExitCode = -1;
    std::string Output;  // what the command wrote to the pipe (standard error too when redirected)
};

inline Outcome RunCommand(const std::string& command) {
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return outcome;
    std::array<char, 4096> buffer{};
    while (std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) outcome.Output.append(buffer.data(), n);
    const int status = pclose(pipe);
    outcome.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}
