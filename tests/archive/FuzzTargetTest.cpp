// The archive fuzz target as CI runs it: an input whose records all name one member that expands
// a thousandfold writes only what its size-bounded sink takes, and the target's scratch folder is
// gone when it ends.
#include "ArchiveWriter.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>

using namespace archive_test;

namespace {

/// Bytes this process and its waited-for children have handed to write() so far.
long long BytesWritten() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "wchar:") return value;
    return -1;
}

}  // namespace

TEST(FuzzArchiveTarget, AliasedMembersWriteIntoABoundedSinkAndTheScratchFolderGoes) {
    ScratchDir dir;
    // 64 records, all naming one coded member of 16 MB of one byte (a few KB stored): 1 GB of
    // output if every extraction ran to its end.
    const std::string member = CodeMember(std::string(16 << 20, 'A'));
    std::vector<Entry> entries;
    for (int i = 0; i < 64; ++i) entries.push_back({"M" + std::to_string(100 + i) + ".DAT", i ? "" : member});
    std::string archive = BuildArchive(entries);
    for (std::size_t i = 0; i < entries.size(); ++i)
        for (int b = 0; b < 7; ++b) {
            const std::size_t value = b < 4 ? RecordAt(entries.size()) : member.size();
            archive[RecordAt(i) + 8 + b] = char(value >> (8 * (b < 4 ? b : b - 4)) & 0xFF);
        }
    WriteFile(dir / "aliased.pod", archive);
    std::filesystem::create_directories(dir / "tmp");

    const long long before = BytesWritten();
    ASSERT_GE(before, 0);
    const std::string command = "TMPDIR='" + (dir / "tmp").string() + "' '" + FUZZ_DIR + "fuzz_archive' '" +
                                (dir / "aliased.pod").string() + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const long long written = BytesWritten() - before;
    EXPECT_LT(written, 128ll << 20);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
}
