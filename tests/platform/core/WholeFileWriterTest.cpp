// The whole-file writer: a file has no name until it is whole, any name the file system allows
// writes, writers at once each claim a free name, and what stands at a fresh name or fails at the
// last steps (the folder's flush, the close) leaves nothing under the name. The system calls the
// faults need are stood in for below, for the calls this test program makes.
#include "Files.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool gNoUnnamedFiles = false;  ///< unnamed files refused, as by a file system without them
int gTagCalls = -1;            ///< >= 0: fresh names are ".~AAAAAA.part", ".~BBBBBB.part", ...
std::string gFailFlushOf;      ///< a flush of this folder fails
std::string gFailCloseIn;      ///< a close of a file in this folder fails

std::string FdTarget(int fd) {
    char path[4096];
    const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1);
    return n < 0 ? std::string() : std::string(path, std::size_t(n));
}

template <typename F>
F Real(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

int OpenWith(const char* real, const char* path, int flags, std::va_list args) {
    const mode_t mode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? mode_t(va_arg(args, int)) : 0;
    if (gNoUnnamedFiles && (flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return Real<int (*)(const char*, int, ...)>(real)(path, flags, mode);
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    std::va_list args;
    va_start(args, flags);
    const int fd = OpenWith("open", path, flags, args);
    va_end(args);
    return fd;
}

int open64(const char* path, int flags, ...) {
    std::va_list args;
    va_start(args, flags);
    const int fd = OpenWith("open64", path, flags, args);
    va_end(args);
    return fd;
}

ssize_t getrandom(void* buffer, size_t n, unsigned flags) {
    if (gTagCalls < 0) return Real<ssize_t (*)(void*, size_t, unsigned)>("getrandom")(buffer, n, flags);
    std::memset(buffer, gTagCalls++, n);
    return ssize_t(n);
}

int fsync(int fd) {
    if (!gFailFlushOf.empty() && FdTarget(fd) == gFailFlushOf) {
        errno = EIO;
        return -1;
    }
    return Real<int (*)(int)>("fsync")(fd);
}

int close(int fd) {
    const bool fail = !gFailCloseIn.empty() && FdTarget(fd).rfind(gFailCloseIn + "/", 0) == 0;
    const int rc = Real<int (*)(int)>("close")(fd);
    if (!fail) return rc;
    errno = EIO;
    return -1;
}

}  // extern "C"

namespace {

class WholeFileWriter : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("vetra-whole-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                  std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        gNoUnnamedFiles = false;
        gTagCalls = -1;
        gFailFlushOf.clear();
        gFailCloseIn.clear();
        fs::remove_all(folder);
    }

    /// A folder of its own for each case: every writer cleans a folder once per process.
    std::string Folder(const std::string& name) {
        fs::create_directories(folder / name);
        return (folder / name).string();
    }

    static std::set<std::string> Names(const std::string& in) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(in)) names.insert(entry.path().filename().string());
        return names;
    }

    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path folder;
};

TEST_F(WholeFileWriter, HasNoNameUntilWholeAndTakesAnyNameTheFileSystemAllows) {
    std::string bytes;
    for (int i = 0; bytes.size() < 200000; ++i) bytes += "line " + std::to_string(i) + "\n";
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed file" : "short fresh name");
        gNoUnnamedFiles = !unnamed;
        const std::string in = Folder(unnamed ? "unnamed" : "named");
        long nameMax = ::pathconf(in.c_str(), _PC_NAME_MAX);
        if (nameMax <= 0 || nameMax > 1000) nameMax = 255;
        const std::string longest = in + "/" + std::string(std::size_t(nameMax) - 4, 'n') + ".XML";
        for (const bool replace : {false, true}) {
            if (replace) std::ofstream(longest) << "the old file";
            TWholeFileWriter file(longest);
            ASSERT_TRUE(file.Open()) << std::strerror(file.Error());
            for (std::size_t at = 0; at < bytes.size(); at += 1000)
                ASSERT_TRUE(file.Write(bytes.data() + at, std::min<std::size_t>(1000, bytes.size() - at)));
            // While it is written, nothing of it has a name (but a fresh short one).
            const std::set<std::string> during = Names(in);
            std::size_t fresh = 0;
            for (const std::string& name : during) fresh += name.size() == 13 && name.rfind(".~", 0) == 0;
            EXPECT_EQ(fresh, unnamed ? 0u : 1u);
            EXPECT_EQ(during.size() - fresh, replace ? 1u : 0u);
            if (replace) {
                EXPECT_EQ(Read(longest), "the old file");
            }
            ASSERT_TRUE(file.Commit(true)) << std::strerror(file.Error());
            EXPECT_EQ(Names(in), std::set<std::string>{fs::path(longest).filename().string()});
            EXPECT_EQ(Read(longest), bytes);
        }
        // One byte more than the file system allows is refused at once, and leaves nothing.
        TWholeFileWriter tooLong(in + "/" + std::string(std::size_t(nameMax) + 1, 'n'));
        const bool opened = tooLong.Open();
        EXPECT_TRUE(opened || tooLong.Error() == ENAMETOOLONG);
        if (opened) {
            EXPECT_TRUE(tooLong.Write("x", 1));
        }
        EXPECT_FALSE(tooLong.Commit(false));
        EXPECT_EQ(tooLong.Error(), ENAMETOOLONG);
        EXPECT_EQ(Names(in).size(), 1u);
    }
}

TEST_F(WholeFileWriter, WritersAtOnceEachClaimAFreeName) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed file" : "short fresh name");
        gNoUnnamedFiles = !unnamed;
        const std::string in = Folder(unnamed ? "unnamed" : "named");
        std::ofstream(in + "/sheet.pdf") << "an earlier sheet";
        const auto name = [in](int n) { return in + "/sheet" + (n <= 1 ? std::string() : "-" + std::to_string(n)) + ".pdf"; };
        // Eight writers are made, written and then named all at once.
        int ready[2], go[2];
        ASSERT_EQ(::pipe(ready), 0);
        ASSERT_EQ(::pipe(go), 0);
        std::vector<pid_t> children;
        for (int i = 0; i < 8; ++i) {
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                ::close(go[1]);
                TWholeFileWriter file(name);
                const std::string text = "sheet of writer " + std::to_string(i);
                const bool written = file.Open() && file.Write(text.data(), text.size());
                char c = 'r';
                (void)!::write(ready[1], &c, 1);
                (void)!::read(go[0], &c, 1);
                ::_exit(written && file.Commit(true) ? 0 : 1);
            }
            children.push_back(pid);
        }
        for (std::size_t i = 0; i < children.size(); ++i) {
            char c;
            ASSERT_EQ(::read(ready[0], &c, 1), 1);
        }
        ::close(go[1]);
        for (const pid_t pid : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        ::close(ready[0]);
        ::close(ready[1]);
        ::close(go[0]);
        EXPECT_EQ(Read(name(1)), "an earlier sheet");
        std::set<std::string> texts;
        for (int n = 2; n <= 9; ++n) texts.insert(Read(name(n)));
        EXPECT_EQ(texts.size(), 8u);
        EXPECT_EQ(texts.count(""), 0u);
        EXPECT_EQ(Names(in).size(), 9u);
    }
}

TEST_F(WholeFileWriter, WhatStandsAtAFreshNameAndFailingLastStepsLeaveNothing) {
    gNoUnnamedFiles = true;
    gTagCalls = 0;
    const std::string in = Folder("planted");
    const std::string outside = (folder / "outside").string();
    std::ofstream(outside) << "not ours";
    // A link at the first fresh name, a folder at the second, a leftover of a writer that ended at
    // the third (removed before the writer looks for its name) and one whose writer still holds it
    // at the fourth.
    fs::create_symlink(outside, in + "/.~AAAAAA.part");
    fs::create_directory(in + "/.~BBBBBB.part");
    std::ofstream(in + "/.~CCCCCC.part") << "left by a killed writer";
    std::ofstream(in + "/.~DDDDDD.part") << "still being written";
    const int held = ::open((in + "/.~DDDDDD.part").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    {
        TWholeFileWriter file(in + "/sheet.XML");
        ASSERT_TRUE(file.Open()) << std::strerror(file.Error());
        ASSERT_TRUE(file.Write("whole", 5));
        EXPECT_EQ(Read(in + "/.~CCCCCC.part"), "");  // the writer's own, the leftover gone
        ASSERT_TRUE(file.Commit(false));
    }
    EXPECT_FALSE(fs::exists(in + "/.~CCCCCC.part"));
    ::close(held);
    EXPECT_EQ(Read(outside), "not ours");
    EXPECT_TRUE(fs::is_symlink(in + "/.~AAAAAA.part"));
    EXPECT_TRUE(fs::is_directory(in + "/.~BBBBBB.part"));
    EXPECT_EQ(Read(in + "/.~DDDDDD.part"), "still being written");
    EXPECT_EQ(Read(in + "/sheet.XML"), "whole");

    // The folder's flush or the file's close failing: false, the error, nothing new under the
    // name (after a failed flush a file it replaced is gone too: the name never holds a file
    // whose writing failed).
    for (const bool unnamed : {true, false}) {
        gNoUnnamedFiles = !unnamed;
        gTagCalls = -1;
        for (const bool flush : {true, false}) {
            SCOPED_TRACE(std::string(unnamed ? "unnamed file, " : "short fresh name, ") +
                         (flush ? "the folder's flush fails" : "the close fails"));
            const std::string at = Folder(std::string(unnamed ? "u" : "n") + (flush ? "flush" : "close"));
            for (const bool replace : {false, true}) {
                if (replace) std::ofstream(at + "/sheet.pdf") << "old";
                TWholeFileWriter file(at + "/sheet.pdf");
                ASSERT_TRUE(file.Open());
                ASSERT_TRUE(file.Write("new", 3));
                (flush ? gFailFlushOf : gFailCloseIn) = at;
                EXPECT_FALSE(file.Commit(true));
                gFailFlushOf.clear();
                gFailCloseIn.clear();
                EXPECT_EQ(file.Error(), EIO);
                // A close is checked before the file is named: the old file stays.
                if (replace && !flush) {
                    EXPECT_EQ(Names(at), std::set<std::string>{"sheet.pdf"});
                    EXPECT_EQ(Read(at + "/sheet.pdf"), "old");
                    fs::remove(at + "/sheet.pdf");
                }
                EXPECT_TRUE(fs::is_empty(at));
            }
        }
    }
}

}  // namespace
