// The program started as a separate process with a display named that does not answer, and
// without any: requests run headless whatever the environment names, the menu says in one line
// that the display cannot be opened, and standard error carries only the program's messages.
#include <unistd.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <unistd.h>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int ExitCode = -1;
    std::string Out, Err;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// A display number no X server on this machine answers on.
std::string DeadDisplay() {
    for (int n = 99;; ++n) {
        struct stat st {};
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        if (stat(socket.c_str(), &st) != 0 && stat(lock.c_str(), &st) != 0) return ":" + std::to_string(n);
    }
}

class Unattended : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("vetra-unattended-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                  "-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "out");
        const fs::path bin = VETRA_BIN_DIR;
        fs::copy_file(bin / "vetrav3", folder / "vetrav3");
        fs::copy_file(bin / "klv3data.sqlite", folder / "klv3data.sqlite");
    }
    void TearDown() override { fs::remove_all(folder); }

    /// Runs the program with the environment given (on top of one without display settings,
    /// toolkit platform or runtime folder), keeping standard output and error apart.
    Outcome Run(const std::string& environment, const std::string& arguments) {
        const std::string command = "cd '" + folder.string() +
                                    "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR " +
                                    environment + " ./vetrav3 " + arguments + " 2>err.txt";
        Outcome outcome;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return outcome;
        std::array<char, 4096> buffer{};
        while (std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) outcome.Out.append(buffer.data(), n);
        const int status = pclose(pipe);
        outcome.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        outcome.Err = ReadFile(folder / "err.txt");
        return outcome;
    }

    fs::path folder;
};

}  // namespace

TEST_F(Unattended, RequestRunsHeadlessWhenTheNamedDisplayDoesNotAnswer) {
    const Outcome o = Run("DISPLAY=" + DeadDisplay(), "X GB,EN,101,0,Y,N,N,N out");
    EXPECT_EQ(o.ExitCode, 0) << o.Err;
    EXPECT_TRUE(fs::exists(folder / "out/GB_EN_101_0_Y_N_N_N.XML"));
    EXPECT_EQ(o.Err, "");
}

TEST_F(Unattended, FaultyRequestGetsItsOwnExitCodeWhateverTheDisplay) {
    const Outcome o = Run("DISPLAY=" + DeadDisplay(), "x GB,EN,123,21,Y,N,N,N out");
    EXPECT_EQ(o.ExitCode, 1);
    EXPECT_NE(o.Err.find("Interval number not in range 0-20 in Command Line parameter string"), std::string::npos)
        << o.Err;
    EXPECT_EQ(o.Err.find("qt."), std::string::npos) << o.Err;
}

TEST_F(Unattended, DeadWaylandDisplayAndRequestFileRunHeadless) {
    const Outcome o = Run("WAYLAND_DISPLAY=wayland-vetra-none XDG_RUNTIME_DIR=" + folder.string(), "X missing.txt");
    EXPECT_EQ(o.ExitCode, 2) << o.Err;
    EXPECT_NE(o.Err.find("XML Batch File missing.txt - not found"), std::string::npos) << o.Err;
}

TEST_F(Unattended, ToolkitPrintsNothingOfItsOwnWithoutADisplay) {
    const Outcome o = Run("", "X GB,EN,101,0,Y,N,N,N out");
    EXPECT_EQ(o.ExitCode, 0);
    EXPECT_TRUE(fs::exists(folder / "out/GB_EN_101_0_Y_N_N_N.XML"));
    EXPECT_EQ(o.Err, "");  // no word of the runtime folder or the platform
}

TEST_F(Unattended, MenuSaysInOneLineThatTheDisplayCannotBeOpened) {
    const std::string display = DeadDisplay();
    const Outcome o = Run("DISPLAY=" + display, "");
    EXPECT_EQ(o.ExitCode, 4);
    EXPECT_EQ(o.Err, "Cannot open display \"" + display + "\"\n");
    EXPECT_EQ(o.Out, "");
}

TEST_F(Unattended, ChecksheetFormModeNeedsTheNamedDisplayToo) {
    const Outcome o = Run("WAYLAND_DISPLAY=wayland-vetra-none XDG_RUNTIME_DIR=" + folder.string(), "X");
    EXPECT_EQ(o.ExitCode, 4);
    EXPECT_EQ(o.Err, "Cannot open display \"wayland-vetra-none\"\n");
}
