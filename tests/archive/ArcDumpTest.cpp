// ArcDump through libPAKRIN32.so: opening, walking and searching the directory, packed names,
// extraction of coded and plain members with every result code, and hostile archives.
#include "ArcDump.h"
#include "ArchiveWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <random>
#include <set>
#include <thread>

using namespace archive_test;

// Lets a test make the work buffers of an extraction unobtainable. Every other nothrow array
// allocation goes on as usual.
namespace {
bool gFailNothrowArrays = false;
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (gFailNothrowArrays) return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

// Writes bytes as an archive and opens it.
class ArcDumpTest : public testing::Test {
protected:
    std::unique_ptr<ArcDump> Open(const std::string& bytes) {
        WriteFile(dir / "test.pak", bytes);
        return OpenPath(dir / "test.pak");
    }
    static std::unique_ptr<ArcDump> OpenPath(const std::filesystem::path& path) {
        std::string text = path.string();
        return std::make_unique<ArcDump>(text.data());
    }
    static std::string Name(ArcDump& arc) {
        char buffer[13];
        return reinterpret_cast<char*>(arc.FileName(buffer));
    }
    int Extract(ArcDump& arc, const std::string& name) {
        std::string path = (dir / name).string();
        return arc.ExtractFile(path.data());
    }
    static unsigned short Seek(ArcDump& arc, std::string name) { return arc.Seek(name.data()); }

    ScratchDir dir;
};

std::vector<Entry> SampleEntries() {
    return {
        {"README.TXT", CodeMember(TextBytes(30000, 1))},
        {"SETUP.EXE", RandomBytes(5000, 2)},
        {"MAKEFILE", "all:\n\techo done\n"},
        {"ABCDEFGH.TXT", CodeMember(RepetitiveBytes(70000, 3))},
        {"DATA_01.DBF", CodeMember(std::string(100, 'd'))},
    };
}

}  // namespace

// --- Opening -------------------------------------------------------------------------------------

TEST_F(ArcDumpTest, EmptyArchiveOpensValidAtEof) {
    auto arc = Open(BuildArchive({}));
    EXPECT_EQ(arc->IsValid(), 1);
    EXPECT_EQ(arc->eof(), 1);
    EXPECT_EQ(arc->NumberOfRecords(), 0u);
    EXPECT_EQ(Seek(*arc, "README.TXT"), 0);
    EXPECT_EQ(Extract(*arc, "out"), -3);
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}

TEST_F(ArcDumpTest, MissingFileIsNotValid) {
    auto arc = OpenPath(dir / "missing.pak");
    EXPECT_EQ(arc->IsValid(), 0);
    EXPECT_EQ(arc->NumberOfRecords(), 0u);
    EXPECT_EQ(Seek(*arc, "A.B"), 0);
    EXPECT_EQ(Name(*arc), "");
    EXPECT_EQ(arc->Length(), 0u);
    ArcDump none(nullptr);
    EXPECT_EQ(none.IsValid(), 0);
}

TEST_F(ArcDumpTest, WrongMagicIsValidButEmpty) {
    std::string bytes = BuildArchive(SampleEntries());
    bytes[4] = 'b';
    auto arc = Open(bytes);
    EXPECT_EQ(arc->IsValid(), 1);
    EXPECT_EQ(arc->NumberOfRecords(), 0u);
    EXPECT_EQ(arc->eof(), 1);
    EXPECT_EQ(Seek(*arc, "README.TXT"), 0);
    // No current record: the members that need one do nothing harmful.
    EXPECT_EQ(arc->Top(), 1);
    EXPECT_EQ(arc->Next(), 1);
    EXPECT_EQ(arc->eof(), 1);
    EXPECT_EQ(Name(*arc), "");
    EXPECT_EQ(arc->Offset(), 0u);
    EXPECT_EQ(Extract(*arc, "out"), -3);
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    // Shorter than a header.
    auto tiny = Open("POD BA");
    EXPECT_EQ(tiny->IsValid(), 1);
    EXPECT_EQ(tiny->eof(), 1);
}

// --- Walking -------------------------------------------------------------------------------------

TEST_F(ArcDumpTest, WalksRecordsInKeyOrder) {
    auto arc = Open(BuildArchive(SampleEntries()));
    ASSERT_EQ(arc->NumberOfRecords(), 5u);
    std::vector<std::string> names;
    unsigned long expectOffset = RecordAt(5);
    for (arc->Top(); !arc->eof(); arc->Next()) {
        names.push_back(Name(*arc));
        EXPECT_EQ(arc->Offset(), expectOffset);
        expectOffset += arc->Length();
    }
    // Digits sort before letters, "_" after them; keys compare as packed bytes.
    EXPECT_EQ(names, (std::vector<std::string>{"ABCDEFGH.TXT", "DATA_01.DBF", "MAKEFILE.", "README.TXT", "SETUP.EXE"}));
    EXPECT_EQ(expectOffset, ReadFile(dir / "test.pak").size());
}

TEST_F(ArcDumpTest, NextAfterConstructionMakesRecordOneCurrent) {
    auto arc = Open(BuildArchive(SampleEntries()));
    EXPECT_EQ(Name(*arc), "ABCDEFGH.TXT");
    arc->Next();
    EXPECT_EQ(Name(*arc), "DATA_01.DBF");
    EXPECT_EQ(arc->eof(), 0);
}

TEST_F(ArcDumpTest, NextPastEndStaysAtEof) {
    auto arc = Open(BuildArchive({{"ONE.TXT", "1"}}));
    arc->Next();
    EXPECT_EQ(arc->eof(), 1);
    arc->Next();
    arc->Next();
    EXPECT_EQ(arc->eof(), 1);
    EXPECT_EQ(Extract(*arc, "out"), -3);
    arc->Top();
    EXPECT_EQ(Name(*arc), "ONE.TXT");
}

TEST_F(ArcDumpTest, CountBeyondFileIsCutToRecordsThatFit) {
    const std::string exact = BuildArchive({{"A.A", "x"}, {"B.B", "y"}});
    for (long long count : {3LL, 1000LL, 0xFFFFFFFFLL}) {
        const std::string bytes = BuildArchive({{"A.A", "x"}, {"B.B", "y"}}, count);
        auto arc = Open(bytes);
        EXPECT_EQ(arc->NumberOfRecords(), (bytes.size() - 13) / 15) << count;
        EXPECT_EQ(Seek(*arc, "ZZZZZZZZ.ZZZ"), 0);
        EXPECT_EQ(Seek(*arc, "A.A"), 1);
    }
}

// --- Names and search ----------------------------------------------------------------------------

TEST_F(ArcDumpTest, ReadmeKeyPacksAsFormatted) {
    const Key key = PackKey("README.TXT");
    // R E A D / M E: codes 28 15 11 14 / 23 15 0 0; TXT = (30 x 38 + 34) x 38 + 30 = 0xAE62.
    EXPECT_EQ(key, (Key{0x70, 0xF2, 0xCE, 0x5C, 0xF0, 0x00, 0xAE, 0x62}));
}

TEST_F(ArcDumpTest, SeekUpperCasesCallersTextAndFinds) {
    auto arc = Open(BuildArchive(SampleEntries()));
    char name[] = "readme.txt";
    EXPECT_EQ(arc->Seek(name), 1);
    EXPECT_STREQ(name, "README.TXT");
    EXPECT_EQ(Name(*arc), "README.TXT");
    std::string path = (dir / "readme").string();
    ASSERT_EQ(arc->ExtractFile(path.data()), 0);
    EXPECT_EQ(ReadFile(path), TextBytes(30000, 1));
}

TEST_F(ArcDumpTest, EightThreeNameFillsTwelveCharactersAndZero) {
    auto arc = Open(BuildArchive({{"ABCDEFGH.TXT", "x"}, {"Z9_Z9_Z9.___", "y"}}));
    char buffer[16];
    std::memset(buffer, 0x7F, sizeof buffer);
    EXPECT_EQ(arc->FileName(buffer), reinterpret_cast<unsigned char*>(buffer));
    EXPECT_STREQ(buffer, "ABCDEFGH.TXT");
    EXPECT_EQ(buffer[13], 0x7F);
    arc->Next();
    EXPECT_EQ(Name(*arc), "Z9_Z9_Z9.___");
}

TEST_F(ArcDumpTest, NameWithoutExtensionEndsInDot) {
    auto arc = Open(BuildArchive(SampleEntries()));
    EXPECT_EQ(Seek(*arc, "makefile"), 1);
    EXPECT_EQ(Name(*arc), "MAKEFILE.");
    EXPECT_EQ(Seek(*arc, "MAKEFILE."), 1);
}

TEST_F(ArcDumpTest, OnlyFirstTwelveAndEightCharactersCount) {
    auto arc = Open(BuildArchive({{"ABCDEFGH.T", "x"}, {"LONGFILE", "y"}}));
    EXPECT_EQ(Seek(*arc, "ABCDEFGHIJ.TXT"), 1);  // cut to "ABCDEFGHIJ.T"
    EXPECT_EQ(Name(*arc), "ABCDEFGH.T");
    EXPECT_EQ(Seek(*arc, "LONGFILENAME.TXT"), 1);  // no dot within twelve
    EXPECT_EQ(Name(*arc), "LONGFILE.");
}

TEST_F(ArcDumpTest, CodesOutsideTableUnpackAsNoCharacter) {
    std::string bytes = BuildArchive({{"ABCDEFGH.TXT", "x"}});
    // Base name code 4 ("D") becomes 63; the extension number becomes 0xFFFF (four base-38 digits).
    bytes[RecordAt(0) + 2] = char(bytes[RecordAt(0) + 2] | 0x3F);
    bytes[RecordAt(0) + 6] = char(0xFF);
    bytes[RecordAt(0) + 7] = char(0xFF);
    auto arc = Open(bytes);
    EXPECT_EQ(Name(*arc), "ABC.");
    // All codes 63.
    for (int i = 0; i < 6; ++i) bytes[RecordAt(0) + i] = char(0xFF);
    auto all = Open(bytes);
    EXPECT_EQ(Name(*all), ".");
}

TEST_F(ArcDumpTest, ShortExtensionsUnpack) {
    auto arc = Open(BuildArchive({{"X.A", "1"}, {"Y.AB", "2"}, {"Z.0_", "3"}}));
    EXPECT_EQ(Name(*arc), "X.A");
    arc->Next();
    EXPECT_EQ(Name(*arc), "Y.AB");
    arc->Next();
    EXPECT_EQ(Name(*arc), "Z.0_");
}

TEST_F(ArcDumpTest, SeekFindsEveryMemberOfLargeDirectory) {
    std::mt19937 random(11);
    const std::string chars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_";
    std::set<std::string> names;
    while (names.size() < 300) {
        std::string name;
        for (int i = int(random() % 8); i >= 0; --i) name += chars[random() % chars.size()];
        name += '.';
        for (int i = int(random() % 4); i > 0; --i) name += chars[random() % chars.size()];
        names.insert(name);
    }
    std::vector<Entry> entries;
    for (const std::string& n : names) entries.push_back({n, n});
    auto arc = Open(BuildArchive(entries));
    for (const std::string& n : names) {
        ASSERT_EQ(Seek(*arc, n), 1) << n;
        ASSERT_EQ(Name(*arc), n);
        ASSERT_EQ(arc->Length(), n.size());
    }
    EXPECT_EQ(Seek(*arc, "________.___"), 0);  // after every record
    EXPECT_EQ(arc->eof(), 0);                  // the last record probed is current
    EXPECT_EQ(Seek(*arc, "."), 0);             // before every record
    EXPECT_EQ(arc->eof(), 0);
    arc->Next();
    EXPECT_EQ(arc->eof(), 0);
}

// --- Extraction ----------------------------------------------------------------------------------

TEST_F(ArcDumpTest, ExtractsEveryMemberAndKeepsPosition) {
    const auto entries = SampleEntries();
    auto arc = Open(BuildArchive(entries));
    const std::map<std::string, std::string> expect = {{"README.TXT", TextBytes(30000, 1)},
                                                       {"SETUP.EXE", RandomBytes(5000, 2)},
                                                       {"MAKEFILE.", "all:\n\techo done\n"},
                                                       {"ABCDEFGH.TXT", RepetitiveBytes(70000, 3)},
                                                       {"DATA_01.DBF", std::string(100, 'd')}};
    int seen = 0;
    for (arc->Top(); !arc->eof(); arc->Next(), ++seen) {
        const std::string name = Name(*arc);
        ASSERT_EQ(Extract(*arc, "member" + std::to_string(seen)), 0) << name;
        EXPECT_EQ(ReadFile(dir / ("member" + std::to_string(seen))), expect.at(name));
        EXPECT_EQ(Name(*arc), name);  // still current after extraction
    }
    EXPECT_EQ(seen, 5);
}

TEST_F(ArcDumpTest, PlainMembersOfAwkwardSizes) {
    // 5,000 bytes go as 4,096 and 904; shorter than a signature is always plain, even when it
    // begins like one; empty is an empty file.
    const std::string sig8("\x01OruCOMP", 8);
    auto arc = Open(BuildArchive({{"P5000.BIN", RandomBytes(5000, 9)},
                                  {"SIG8.BIN", sig8},
                                  {"EMPTY.BIN", ""},
                                  {"P4096.BIN", RandomBytes(4096, 10)}}));
    EXPECT_EQ(Seek(*arc, "P5000.BIN"), 1);
    ASSERT_EQ(Extract(*arc, "p5000"), 0);
    EXPECT_EQ(ReadFile(dir / "p5000"), RandomBytes(5000, 9));
    EXPECT_EQ(Seek(*arc, "SIG8.BIN"), 1);
    ASSERT_EQ(Extract(*arc, "sig8"), 0);
    EXPECT_EQ(ReadFile(dir / "sig8"), sig8);
    EXPECT_EQ(Seek(*arc, "EMPTY.BIN"), 1);
    ASSERT_EQ(Extract(*arc, "empty"), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "empty"));
    EXPECT_EQ(ReadFile(dir / "empty"), "");
    EXPECT_EQ(Seek(*arc, "P4096.BIN"), 1);
    ASSERT_EQ(Extract(*arc, "p4096"), 0);
    EXPECT_EQ(ReadFile(dir / "p4096"), RandomBytes(4096, 10));
}

TEST_F(ArcDumpTest, SignatureAloneIsAnEmptyCodedMember) {
    const std::string sig("\x01OruCOMP\x01", 9);
    auto arc = Open(BuildArchive({{"SIG.BIN", sig}}));
    ASSERT_EQ(Extract(*arc, "out"), 0);
    EXPECT_EQ(ReadFile(dir / "out"), "");
}

TEST_F(ArcDumpTest, OutputThatCannotBeCreatedIsMinusTwo) {
    auto arc = Open(BuildArchive(SampleEntries()));
    EXPECT_EQ(Extract(*arc, "no/such/folder/out"), -2);  // coded
    EXPECT_EQ(Seek(*arc, "SETUP.EXE"), 1);
    EXPECT_EQ(Extract(*arc, "no/such/folder/out"), -2);  // plain
    EXPECT_EQ(arc->ExtractFile(nullptr), -2);
    arc->Next();
    EXPECT_EQ(arc->eof(), 1);
}

TEST_F(ArcDumpTest, MembersCutByEndOfArchiveAreMinusThreeKeepingOutput) {
    // Coded member cut inside its blocks.
    std::string coded = BuildArchive({{"CODED.BIN", CodeMember(RandomBytes(40000, 4))}});
    coded.resize(coded.size() - 20000);
    auto arc = Open(coded);
    EXPECT_EQ(Extract(*arc, "coded"), -3);
    EXPECT_EQ(ReadFile(dir / "coded"), RandomBytes(40000, 4).substr(0, 16384));
    arc->Next();
    EXPECT_EQ(arc->eof(), 1);
    // Plain member cut: what there is stays, but it is not reported as done.
    std::string plain = BuildArchive({{"PLAIN.BIN", RandomBytes(9000, 5)}});
    plain.resize(plain.size() - 1000);
    auto cut = Open(plain);
    EXPECT_EQ(Extract(*cut, "plain"), -3);
    EXPECT_EQ(ReadFile(dir / "plain"), RandomBytes(8000, 5));
}

TEST_F(ArcDumpTest, NoMemoryForBuffersIsMinusFourWithoutFile) {
    auto arc = Open(BuildArchive(SampleEntries()));
    gFailNothrowArrays = true;
    const int result = Extract(*arc, "out");
    gFailNothrowArrays = false;
    EXPECT_EQ(result, -4);
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    EXPECT_EQ(Extract(*arc, "out"), 0);
}

TEST_F(ArcDumpTest, SeparateObjectsExtractAtTheSameTime) {
    // The codec keeps no process-wide state, so two readers may decode at once.
    WriteFile(dir / "kit.pak", BuildArchive(SampleEntries()));
    auto work = [this](const std::string& prefix, int* failures) {
        for (int round = 0; round < 20; ++round) {
            auto arc = OpenPath(dir / "kit.pak");
            int i = 0;
            for (arc->Top(); !arc->eof(); arc->Next(), ++i) {
                const std::string out = prefix + std::to_string(i);
                if (Extract(*arc, out) != 0) ++*failures;
                if (Name(*arc) == "ABCDEFGH.TXT" && ReadFile(dir / out) != RepetitiveBytes(70000, 3)) ++*failures;
            }
        }
    };
    int failuresA = 0, failuresB = 0;
    std::thread a(work, "a", &failuresA);
    std::thread b(work, "b", &failuresB);
    a.join();
    b.join();
    EXPECT_EQ(failuresA + failuresB, 0);
}

// --- Hostile archives ----------------------------------------------------------------------------

namespace {

// Uses every member of an archive; results must stay among the documented ones.
void Exercise(ArcDump& arc, const std::filesystem::path& out) {
    std::string path = out.string();
    int steps = 0;
    for (arc.Top(); !arc.eof() && steps < 64; arc.Next(), ++steps) {
        char name[13];
        arc.FileName(name);
        ASSERT_LT(std::strlen(name), 13u);
        const int r = arc.ExtractFile(path.data());
        ASSERT_TRUE(r == 0 || r == -2 || r == -3 || r == -5) << r;
        std::string again = name;
        arc.Seek(again.data());
    }
}

}  // namespace

TEST_F(ArcDumpTest, TruncatedArchivesAtEveryLength) {
    const std::string whole = BuildArchive({{"A.TXT", CodeMember(TextBytes(3000, 6))},
                                            {"B.BIN", RandomBytes(300, 7)},
                                            {"C.TXT", CodeMember(std::string(5000, 'c'))}});
    for (std::size_t size = 0; size < whole.size(); size += size < 200 ? 1 : 37) {
        auto arc = Open(whole.substr(0, size));
        ASSERT_EQ(arc->IsValid(), 1);
        Exercise(*arc, dir / "out");
    }
}

TEST_F(ArcDumpTest, RandomlyDamagedArchivesNeverCrash) {
    const std::string whole = BuildArchive({{"A.TXT", CodeMember(TextBytes(20000, 6))},
                                            {"B.BIN", RandomBytes(300, 7)},
                                            {"C.TXT", CodeMember(RepetitiveBytes(30000, 8))}});
    std::mt19937 random(5);
    for (int round = 0; round < 400; ++round) {
        std::string bytes = whole;
        const int damage = int(random() % 8) + 1;
        for (int i = 0; i < damage; ++i) {
            // Aim at the header, the directory and the block headers as often as at the data.
            const std::size_t at = random() % 2 ? random() % 80 : random() % bytes.size();
            bytes[at] = char(random() & 0xFF);
        }
        auto arc = Open(bytes);
        Exercise(*arc, dir / "out");
    }
}

TEST_F(ArcDumpTest, RecordsPointingOutsideArchive) {
    std::string bytes = BuildArchive({{"A.TXT", CodeMember(TextBytes(2000, 1))}, {"B.TXT", "plain"}});
    for (int i = 0; i < 4; ++i) bytes[RecordAt(0) + 8 + i] = char(0xFF);  // offset 4 GiB - 1
    for (int i = 0; i < 3; ++i) bytes[RecordAt(1) + 12 + i] = char(0xFF);  // length 16 MiB - 1
    auto arc = Open(bytes);
    EXPECT_EQ(Extract(*arc, "a"), -3);
    arc->Next();
    EXPECT_EQ(Extract(*arc, "b"), -3);
    EXPECT_EQ(ReadFile(dir / "b"), "plain");
}
