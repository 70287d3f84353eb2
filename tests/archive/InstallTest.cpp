// Installs the archive library with cmake --install into a scratch prefix, builds a client
// program against the installed header and library only, and runs it on an archive made here.
#include "ArchiveWriter.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>

using namespace archive_test;

namespace {

std::string Quote(const std::string& text) { return "'" + text + "'"; }

int RunCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Capture(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    std::array<char, 4096> buffer;
    for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) out.append(buffer.data(), n);
    ::pclose(pipe);
    return out;
}

}  // namespace

TEST(InstalledLibrary, ClientListsFindsAndExtracts) {
    ScratchDir dir;
    const auto prefix = dir / "prefix";
    ASSERT_EQ(RunCommand(Quote(ARC_CMAKE) + " --install " + Quote(ARC_BUILD_DIR) + " --component PAKRIN32 --prefix " +
                  Quote(prefix.string()) + " >/dev/null"),
              0);
    const auto include = prefix / "include";
    const auto lib = prefix / ARC_LIBDIR;
    ASSERT_TRUE(std::filesystem::exists(include / "ArcDump.h"));
    ASSERT_TRUE(std::filesystem::exists(lib / "libPAKRIN32.so"));

    const auto client = dir / "ArcClient";
    ASSERT_EQ(RunCommand(Quote(ARC_CXX) + " -std=c++20 " ARC_CLIENT_FLAGS " -I" + Quote(include.string()) + " " +
                  Quote(ARC_CLIENT_SOURCE) + " -o " + Quote(client.string()) + " -L" + Quote(lib.string()) +
                  " -lPAKRIN32 -Wl,-rpath," + Quote(lib.string())),
              0);

    const std::string text = TextBytes(50000, 21);
    const std::string plain = RandomBytes(5000, 22);
    WriteFile(dir / "kit.pak", BuildArchive({{"README.TXT", CodeMember(text)}, {"SETUP.EXE", plain}}));
    std::filesystem::create_directory(dir / "out");
    const std::string output = Capture(Quote(client.string()) + " " + Quote((dir / "kit.pak").string()) + " " +
                                       Quote((dir / "out").string()) + " readme.txt SETUP.EXE NOTHERE.DAT");
    const std::string readme = std::to_string(CodeMember(text).size());
    EXPECT_EQ(output, "2 records\n"
                      "README.TXT 43 " + readme + "\n"
                      "SETUP.EXE " + std::to_string(43 + CodeMember(text).size()) + " 5000\n"
                      "extract README.TXT 0\n"
                      "extract SETUP.EXE 0\n"
                      "missing NOTHERE.DAT\n");
    EXPECT_EQ(ReadFile(dir / "out/README.TXT"), text);
    EXPECT_EQ(ReadFile(dir / "out/SETUP.EXE"), plain);
}
