// Streams: raising reads at the end of data, seeking, files found whatever their letter case.
#include "Streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

TEST(Streams, ReadBufferRaisesWhenDataRunsOut) {
    TMemoryStream m(std::vector<uint8_t>{1, 2, 3});
    uint8_t buf[4] = {};
    m.ReadBuffer(buf, 2);
    EXPECT_EQ(buf[1], 2);
    try {
        m.ReadBuffer(buf, 2);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message, "Stream read error");
    }
    EXPECT_EQ(m.Seek(-10, soCurrent), 0);
    EXPECT_EQ(m.Seek(0, soEnd), 3);
    EXPECT_EQ(m.Read(buf, 4), 0);
    EXPECT_THROW(m.ReadBuffer(buf, -1), EReadError);
}

TEST(Streams, FilesOpenWhateverTheirLetterCase) {
    const auto dir = std::filesystem::temp_directory_path() / ("streams-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        TFileStream out((dir / "ENPDI1.TIF").string(), fmCreate);
        out.WriteBuffer("abc", 3);
    }
    TFileStream in((dir / "enpdi1.tif").string(), fmOpenRead);
    EXPECT_EQ(in.Size(), 3);
    // A seek before the start stops at 0, as in memory; one past the end is the file's to allow.
    EXPECT_EQ(in.Seek(2, soBeginning), 2);
    EXPECT_EQ(in.Seek(-10, soCurrent), 0);
    EXPECT_EQ(in.Seek(-1, soEnd), 2);
    try {
        TFileStream missing((dir / "none.tif").string(), fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message.rfind("Cannot open file \"" + (dir / "none.tif").string() + "\"", 0), 0u);
    }
    EXPECT_THROW(TFileStream((dir / "no/such/folder").string(), fmCreate), EFCreateError);
    std::filesystem::remove_all(dir);
}

}  // namespace
