// Extraction speed of libPAKRIN32.so: 100 MB of plain members and 100 MB of coded members, each
// beside a plain copy of the same bytes in the same run, and one 100 MB coded stream. A member's
// stored length is a 24-bit field, so 100 MB of members is seven members of 14.3 MB.
#include "ArcDump.h"
#include "ArchiveWriter.h"
#include "MemberCodec.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <vector>

using namespace archive_test;

namespace {

constexpr std::size_t kTotal = 100'000'000;
constexpr int kMembers = 7;
constexpr std::size_t kMemberSize = kTotal / kMembers;

struct Fixture {
    ScratchDir dir;
    std::filesystem::path plainArchive = dir / "plain.pak";
    std::filesystem::path codedArchive = dir / "coded.pak";
    // The members' bytes as files of their own, for the copies.
    std::vector<std::filesystem::path> plainBytes, textBytes;
    std::filesystem::path codedStream = dir / "stream.cod";
    std::filesystem::path out = dir / "out.bin";
    std::size_t codedSize = 0;

    Fixture() {
        std::vector<Entry> plain, coded;
        for (int i = 0; i < kMembers; ++i) {
            const std::string name = "MEMBER" + std::to_string(i) + ".BIN";
            std::string p = RandomBytes(kMemberSize, unsigned(i + 1));
            std::string t = TextBytes(kMemberSize, unsigned(i + 1));
            coded.push_back({name, CodeMember(t)});
            codedSize += coded.back().stored.size();
            plainBytes.push_back(dir / (name + ".plain"));
            textBytes.push_back(dir / (name + ".text"));
            WriteFile(plainBytes.back(), p);
            WriteFile(textBytes.back(), t);
            plain.push_back({name, std::move(p)});
        }
        WriteFile(plainArchive, BuildArchive(std::move(plain)));
        WriteFile(codedArchive, BuildArchive(std::move(coded)));
        WriteFile(codedStream, CodeMember(TextBytes(kTotal, 77)));
    }
};

Fixture& Files() {
    static Fixture fixture;
    return fixture;
}

void ExtractAll(const std::filesystem::path& archive, const std::filesystem::path& out) {
    std::string path = archive.string();
    std::string target = out.string();
    ArcDump arc(path.data());
    for (arc.Top(); !arc.eof(); arc.Next()) {
        ::unlink(target.c_str());
        if (arc.ExtractFile(target.data()) != 0) std::abort();
    }
}

// A plain copy of a file with the given piece size. Extraction and copies both write a fresh
// output file each time, so that neither waits on the truncation of the last one.
void Copy(const std::filesystem::path& from, const std::filesystem::path& to, std::size_t piece) {
    ::unlink(to.c_str());
    const int in = ::open(from.c_str(), O_RDONLY);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char> buffer(piece);
    for (ssize_t n; (n = ::read(in, buffer.data(), piece)) > 0;) {
        if (::write(out, buffer.data(), size_t(n)) != n) std::abort();
    }
    ::close(in);
    ::close(out);
}

// A plain copy of each file in turn to the same output, with the given piece size, as the
// extraction writes each member in turn to the same output.
void Copy(const std::vector<std::filesystem::path>& files, const std::filesystem::path& to, std::size_t piece) {
    for (const auto& from : files) Copy(from, to, piece);
}

void BM_PlainMembers(benchmark::State& state) {
    Fixture& f = Files();
    for (auto _ : state) ExtractAll(f.plainArchive, f.out);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kMemberSize * kMembers));
}

void BM_CopyOfPlainMembers(benchmark::State& state) {
    Fixture& f = Files();
    for (auto _ : state) Copy(f.plainBytes, f.out, std::size_t(state.range(0)));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kMemberSize * kMembers));
}

void BM_CodedMembers(benchmark::State& state) {
    Fixture& f = Files();
    for (auto _ : state) ExtractAll(f.codedArchive, f.out);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kMemberSize * kMembers));
    state.counters["coded_ratio"] = double(f.codedSize) / double(kMemberSize * kMembers);
}

void BM_CopyOfCodedMembers(benchmark::State& state) {
    Fixture& f = Files();
    for (auto _ : state) Copy(f.textBytes, f.out, std::size_t(state.range(0)));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kMemberSize * kMembers));
}

void BM_CodedStream(benchmark::State& state) {
    Fixture& f = Files();
    for (auto _ : state) {
        ::unlink(f.out.c_str());
        if (DecompressFile(f.codedStream.c_str(), f.out.c_str()) != 0) std::abort();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kTotal));
}

// The block decoder alone, in memory, over the coded blocks of 16 MB of text.
void BM_DecodeInMemory(benchmark::State& state) {
    const std::string text = TextBytes(16 << 20, 5);
    std::vector<std::vector<unsigned char>> blocks;
    std::vector<std::int32_t> hash(kHashSlots, -1);
    std::vector<unsigned char> coded(kBlockSize);
    for (std::size_t at = 0; at < text.size(); at += kBlockSize) {
        const int n = CompressBlock(reinterpret_cast<const unsigned char*>(text.data() + at), kBlockSize, coded.data(),
                                    hash.data());
        if (n <= 0) std::abort();
        blocks.emplace_back(coded.begin(), coded.begin() + n);
    }
    std::vector<unsigned char> out(kBlockSize);
    for (auto _ : state) {
        for (const auto& b : blocks) benchmark::DoNotOptimize(DecompressBlock(b.data(), int(b.size()), out.data()));
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}

}  // namespace

BENCHMARK(BM_DecodeInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainMembers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyOfPlainMembers)->Arg(4096)->Arg(1 << 17)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CodedMembers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyOfCodedMembers)->Arg(1 << 17)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CodedStream)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
