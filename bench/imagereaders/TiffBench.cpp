// Decoding speed of the TIFF reader: an A4 page at 300 dots per inch (2480 x 3508) of text-like
// content, 1-bit and 8-bit, LZW and PackBits, from memory into the bitmap; beside it in the same
// run libtiff decoding the same files into a buffer; a file of many strips sharing one packed
// block. Then each decoder alone, in MB/s of output.
#include "ImageDecoders.h"
#include "ImageReaders.h"
#include "Streams.h"
#include "TiffWriter.h"

#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <cstring>
#include <map>
#include <random>

namespace {

constexpr uint32_t kWidth = 2480, kHeight = 3508;

/// A page of text lines: glyph-sized strokes on white, with grey edges in the 8-bit form.
std::vector<uint8_t> Page8() {
    std::vector<uint8_t> page(size_t(kWidth) * kHeight, 255);
    std::mt19937 rng(42);
    for (uint32_t top = 200; top + 40 < kHeight - 200; top += 50) {
        uint32_t x = 200;
        while (x < kWidth - 250) {
            const uint32_t word = 3 + rng() % 9;
            for (uint32_t c = 0; c < word; ++c, x += 22) {
                const uint32_t strokes = 1 + rng() % 3;
                for (uint32_t s = 0; s < strokes; ++s) {
                    const uint32_t sx = x + rng() % 16, sy = top + rng() % 10, w = 3 + rng() % 4, h = 12 + rng() % 18;
                    for (uint32_t y = sy; y < sy + h; ++y)
                        for (uint32_t xx = sx; xx < sx + w; ++xx)
                            page[size_t(y) * kWidth + xx] = (xx == sx || xx == sx + w - 1) ? 128 : 0;
                }
            }
            x += 25;
        }
    }
    return page;
}

std::vector<uint8_t> Page1(const std::vector<uint8_t>& grey) {
    const size_t line = (kWidth + 7) / 8;
    std::vector<uint8_t> bits(line * kHeight, 0);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            if (grey[size_t(y) * kWidth + x] < 160) bits[y * line + x / 8] |= uint8_t(0x80 >> (x & 7));
    return bits;
}

/// The four files, made once: key (bits, compression).
const std::vector<uint8_t>& File(int bits, uint16_t compression) {
    static std::map<std::pair<int, uint16_t>, std::vector<uint8_t>> files;
    auto& f = files[{bits, compression}];
    if (f.empty()) {
        static const std::vector<uint8_t> grey = Page8();
        tiffwriter::Image im;
        im.Width = kWidth;
        im.Height = kHeight;
        im.Bits = {uint16_t(bits)};
        im.Photometric = bits == 1 ? 0 : 1;
        im.Compression = compression;
        im.Pixels = bits == 1 ? Page1(grey) : grey;
        if (bits == 1) for (uint8_t& b : im.Pixels) b = uint8_t(~b);  // white is zero
        im.RowsPerStrip = 8192 / tiffwriter::LineBytes(im);          // strips of about 8 KB
        f = tiffwriter::Write(im);
    }
    return f;
}

void Ours(benchmark::State& state, int bits, uint16_t compression) {
    const std::vector<uint8_t>& file = File(bits, compression);
    TMemoryStream stream(file);
    for (auto _ : state) {
        stream.SetPosition(0);
        TTIFFGraphic g;
        g.LoadFromStream(stream);
        benchmark::DoNotOptimize(g.ScanLine(kHeight - 1));
    }
    state.counters["file_KB"] = double(file.size()) / 1024;
}

/// Strips that share their bytes: one-row PackBits strips of 8 pixels that all point at one packed
/// block of 1 MB. Each strip reads only what its row can use, so the work grows with the strips.
void SharedStrips(benchmark::State& state) {
    tiffwriter::Image im;
    im.Width = 8;
    im.Height = uint32_t(state.range(0));
    im.RowsPerStrip = 1;
    im.Compression = tiffwriter::kPackBits;
    std::vector<uint8_t> plain(size_t(1) << 20);
    std::mt19937 rng(7);
    for (uint8_t& b : plain) b = uint8_t(rng());
    im.SharedStrip = tiffwriter::EncodePackBits(plain);
    const std::vector<uint8_t> file = tiffwriter::Write(im);
    TMemoryStream stream(file);
    for (auto _ : state) {
        stream.SetPosition(0);
        TTIFFGraphic g;
        g.LoadFromStream(stream);
        benchmark::DoNotOptimize(g.ScanLine(int(im.Height) - 1));
    }
    state.counters["file_KB"] = double(file.size()) / 1024;
}

struct MemoryFile {
    const std::vector<uint8_t>* Data;
    toff_t Pos = 0;
};

tsize_t MemRead(thandle_t h, tdata_t buf, tsize_t n) {
    auto* m = static_cast<MemoryFile*>(h);
    const toff_t avail = m->Pos < m->Data->size() ? m->Data->size() - m->Pos : 0;
    const tsize_t k = tsize_t(std::min<toff_t>(toff_t(n), avail));
    std::memcpy(buf, m->Data->data() + m->Pos, size_t(k));
    m->Pos += toff_t(k);
    return k;
}
tsize_t MemWrite(thandle_t, tdata_t, tsize_t) { return 0; }
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<MemoryFile*>(h);
    if (whence == SEEK_SET) m->Pos = off;
    else if (whence == SEEK_CUR) m->Pos += off;
    else m->Pos = m->Data->size() + off;
    return m->Pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemoryFile*>(h)->Data->size(); }
int MemMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void MemUnmap(thandle_t, tdata_t, toff_t) {}

void Libtiff(benchmark::State& state, int bits, uint16_t compression) {
    const std::vector<uint8_t>& file = File(bits, compression);
    TIFFSetWarningHandler(nullptr);
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        MemoryFile m{&file};
        TIFF* tif = TIFFClientOpen("page", "rm", &m, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
        const tmsize_t stripSize = TIFFStripSize(tif);
        const uint32_t strips = TIFFNumberOfStrips(tif);
        buffer.resize(size_t(stripSize) * strips);
        for (uint32_t s = 0; s < strips; ++s) TIFFReadEncodedStrip(tif, s, buffer.data() + size_t(s) * stripSize, -1);
        TIFFClose(tif);
        benchmark::DoNotOptimize(buffer.data());
    }
}

// ---- Decoders alone ----

/// Text-like bytes: the 8-bit page's rows.
const std::vector<uint8_t>& Plain() {
    static const std::vector<uint8_t> page = Page8();
    return page;
}

template <class Encode>
void Decoder(benchmark::State& state, TDecoder& decoder, Encode encode) {
    const std::vector<uint8_t>& plain = Plain();
    const std::vector<uint8_t> packed = encode(plain);
    std::vector<uint8_t> out(plain.size());
    for (auto _ : state) {
        const uint8_t* p = packed.data();
        benchmark::DoNotOptimize(decoder.Decode(p, out.data(), packed.size(), out.size()));
    }
    if (out != plain) state.SkipWithError("decoded bytes differ");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(plain.size()));
}

std::vector<uint8_t> RunsOf(const std::vector<uint8_t>& plain, size_t maxRun, const std::function<void(std::vector<uint8_t>&, uint8_t, size_t)>& run,
                            const std::function<void(std::vector<uint8_t>&, const uint8_t*, size_t)>& literal, size_t maxLiteral) {
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < plain.size()) {
        size_t r = 1;
        while (i + r < plain.size() && r < maxRun && plain[i + r] == plain[i]) ++r;
        if (r >= 3) { run(out, plain[i], r); i += r; continue; }
        size_t l = 0;
        while (i + l < plain.size() && l < maxLiteral && !(i + l + 2 < plain.size() && plain[i + l] == plain[i + l + 1] && plain[i + l] == plain[i + l + 2])) ++l;
        literal(out, plain.data() + i, l);
        i += l;
    }
    return out;
}

void BM_LZW(benchmark::State& s) { TTIFFLZW d; Decoder(s, d, tiffwriter::EncodeTIFFLZW); }
void BM_PackBits(benchmark::State& s) { TPackbitsRLE d; Decoder(s, d, tiffwriter::EncodePackBits); }
void BM_GIFLZW(benchmark::State& s) { TGIFLZW d(8); Decoder(s, d, [](const std::vector<uint8_t>& p) { return tiffwriter::EncodeGIFLZW(p, 8); }); }
void BM_PCX(benchmark::State& s) {
    TPCXRLE d;
    Decoder(s, d, [](const std::vector<uint8_t>& p) {
        return RunsOf(p, 63, [](auto& o, uint8_t v, size_t n) { o.push_back(uint8_t(0xC0 | n)); o.push_back(v); },
                      [](auto& o, const uint8_t* b, size_t n) { for (size_t i = 0; i < n; ++i) { if (b[i] >= 192) o.push_back(0xC1); o.push_back(b[i]); } }, 1 << 30);
    });
}
void BM_SGI(benchmark::State& s) {
    TSGIRLE d(1);
    Decoder(s, d, [](const std::vector<uint8_t>& p) {
        return RunsOf(p, 127, [](auto& o, uint8_t v, size_t n) { o.push_back(uint8_t(n)); o.push_back(v); },
                      [](auto& o, const uint8_t* b, size_t n) { o.push_back(uint8_t(0x80 | n)); o.insert(o.end(), b, b + n); }, 127);
    });
}
void BM_RLA(benchmark::State& s) {
    TRLADecoder d;
    Decoder(s, d, [](const std::vector<uint8_t>& p) {
        return RunsOf(p, 128, [](auto& o, uint8_t v, size_t n) { o.push_back(uint8_t(n - 1)); o.push_back(v); },
                      [](auto& o, const uint8_t* b, size_t n) { o.push_back(uint8_t(-int(n))); o.insert(o.end(), b, b + n); }, 128);
    });
}
void BM_CUT(benchmark::State& s) {
    TCUTRLE d;
    Decoder(s, d, [](const std::vector<uint8_t>& p) {
        auto body = RunsOf(p, 127, [](auto& o, uint8_t v, size_t n) { o.push_back(uint8_t(0x80 | n)); o.push_back(v); },
                           [](auto& o, const uint8_t* b, size_t n) { o.push_back(uint8_t(n)); o.insert(o.end(), b, b + n); }, 127);
        body.insert(body.begin(), {0, 0});
        return body;
    });
}
void BM_Targa(benchmark::State& state) {
    const std::vector<uint8_t>& plain = Plain();
    std::vector<uint8_t> packed(plain.size() + plain.size() / 128 + 16);
    packed.resize(EncodeTargaRLE(plain.data(), packed.data(), plain.size(), 1));
    std::vector<uint8_t> out(plain.size());
    for (auto _ : state) benchmark::DoNotOptimize(DecodeTargaRLE(packed.data(), packed.size(), out.data(), out.size(), 8));
    if (out != plain) state.SkipWithError("decoded bytes differ");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(plain.size()));
}

}  // namespace

BENCHMARK_CAPTURE(Ours, A4_1bit_LZW, 1, tiffwriter::kLZW)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Libtiff, A4_1bit_LZW, 1, tiffwriter::kLZW)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, A4_1bit_PackBits, 1, tiffwriter::kPackBits)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Libtiff, A4_1bit_PackBits, 1, tiffwriter::kPackBits)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, A4_8bit_LZW, 8, tiffwriter::kLZW)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Libtiff, A4_8bit_LZW, 8, tiffwriter::kLZW)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, A4_8bit_PackBits, 8, tiffwriter::kPackBits)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Libtiff, A4_8bit_PackBits, 8, tiffwriter::kPackBits)->Unit(benchmark::kMillisecond);
BENCHMARK(SharedStrips)->Arg(120000)->Arg(240000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LZW)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackBits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GIFLZW)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PCX)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SGI)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RLA)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CUT)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Targa)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
