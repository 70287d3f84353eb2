// Decoding speed of the other picture readers: a 4000 x 3000 picture (24-bit where the format
// has it, else 8-bit), raw and compressed, read from memory into the bitmap; output MB/s.
// The picture mixes flat areas (runs) with shaded, slightly noisy ones, as photos and logos do.
#include "FormatWriters.h"
#include "ImageReaders.h"
#include "Streams.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

using namespace formatwriters;

constexpr int kW = 4000, kH = 3000;

/// Red, green, blue samples of pixel (x, y), top row first.
void Colour(int x, int y, uint32_t noise, uint8_t* rgb) {
    if (((x >> 6) + (y >> 6)) % 3 == 0) {
        rgb[0] = 200, rgb[1] = 30, rgb[2] = 40;
        return;
    }
    rgb[0] = uint8_t(x * 255 / kW + (noise & 3));
    rgb[1] = uint8_t(y * 255 / kH + (noise >> 2 & 3));
    rgb[2] = uint8_t((x + y) / 30);
}

/// The picture as interleaved R, G, B rows from the top.
const Bytes& Rgb() {
    static const Bytes pixels = [] {
        Bytes p(size_t(kW) * kH * 3);
        std::mt19937 rng(7);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) Colour(x, y, rng(), p.data() + (size_t(y) * kW + x) * 3);
        return p;
    }();
    return pixels;
}

/// An 8-bit form: indices of a 64-entry palette.
Bytes Indexed() {
    const Bytes& rgb = Rgb();
    Bytes p(size_t(kW) * kH);
    for (size_t i = 0; i < p.size(); ++i) p[i] = uint8_t((rgb[3 * i] >> 6) << 4 | (rgb[3 * i + 1] >> 6) << 2 | rgb[3 * i + 2] >> 6);
    return p;
}

/// Channel c of row y (top first).
Bytes Channel(int c, int y) {
    const Bytes& rgb = Rgb();
    Bytes row(kW);
    for (int x = 0; x < kW; ++x) row[size_t(x)] = rgb[(size_t(y) * kW + x) * 3 + size_t(c)];
    return row;
}

template <class T>
void Decode(benchmark::State& state, const Bytes& file, size_t outputBytes) {
    TMemoryStream stream(file);
    for (auto _ : state) {
        stream.SetPosition(0);
        T picture;
        picture.LoadFromStream(stream);
        benchmark::DoNotOptimize(picture.ScanLine(picture.Height() - 1));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(outputBytes));
    state.counters["file_MB"] = double(file.size()) / 1e6;
}

constexpr size_t k24 = size_t(kW) * kH * 3, k8 = size_t(kW) * kH;

void Targa24(benchmark::State& state, int type) {
    Targa t;
    t.Type = type;
    t.Width = kW;
    t.Height = kH;
    t.Descriptor = 0x20;
    t.Pixels = Rgb();
    for (size_t i = 0; i < t.Pixels.size(); i += 3) std::swap(t.Pixels[i], t.Pixels[i + 2]);
    Decode<TTargaGraphic>(state, Write(t), k24);
}

void Sgi24(benchmark::State& state, bool runLength) {
    Sgi s;
    s.Width = kW;
    s.Height = kH;
    s.Depth = 3;
    s.RunLength = runLength;
    for (int c = 0; c < 3; ++c)
        for (int y = 0; y < kH; ++y) s.Rows.push_back(Channel(c, kH - 1 - y));
    Decode<TSGIGraphic>(state, Write(s), k24);
}

void Pcx24(benchmark::State& state, bool runLength) {
    Pcx p;
    p.Encoding = runLength ? 1 : 0;
    p.Planes = 3;
    p.XMax = kW - 1;
    p.YMax = kH - 1;
    p.BytesPerLine = kW;
    for (int y = 0; y < kH; ++y)
        for (int c = 0; c < 3; ++c) {
            const Bytes row = Channel(c, y);
            p.Lines.insert(p.Lines.end(), row.begin(), row.end());
        }
    Decode<TPCXGraphic>(state, Write(p), k24);
}

void Psd24(benchmark::State& state, bool packBits) {
    Psd p;
    p.Width = kW;
    p.Height = kH;
    p.PackBits = packBits;
    for (int c = 0; c < 3; ++c) {
        Bytes plane;
        for (int y = 0; y < kH; ++y) {
            const Bytes row = Channel(c, y);
            plane.insert(plane.end(), row.begin(), row.end());
        }
        p.Planes.push_back(std::move(plane));
    }
    Decode<TPSDGraphic>(state, Write(p), k24);
}

void Rla24(benchmark::State& state) {
    Rla r;
    r.Right = kW - 1;
    r.Top = kH - 1;
    for (int y = 0; y < kH; ++y) {
        Bytes row;
        for (int c = 0; c < 3; ++c) {
            const Bytes ch = Channel(c, kH - 1 - y);
            row.insert(row.end(), ch.begin(), ch.end());
        }
        r.Rows.push_back(std::move(row));
    }
    Decode<TRLAGraphic>(state, Write(r), k24);
}

void Ppm24(benchmark::State& state) {
    const std::string header = "P6\n4000 3000\n255\n";
    Bytes file(header.begin(), header.end());
    file.insert(file.end(), Rgb().begin(), Rgb().end());
    Decode<TPPMGraphic>(state, file, k24);
}

void Autodesk8(benchmark::State& state) { Decode<TAutodeskGraphic>(state, Autodesk(kW, kH, Bytes(768, 20), Indexed()), k8); }

void Cut8(benchmark::State& state) {
    Cut c;
    c.Width = kW;
    c.Height = kH;
    c.Pixels = Indexed();
    Decode<TCUTGraphic>(state, Write(c), k8);
}

void Gif8(benchmark::State& state) {
    Gif g;
    g.ScreenWidth = g.Width = kW;
    g.ScreenHeight = g.Height = kH;
    g.Global.assign(768, 40);
    g.Pixels = Indexed();
    Decode<TGIFGraphic>(state, Write(g), k8);
}

void PhotoCD24(benchmark::State& state) {
    Decode<TPCDGraphic>(state, PhotoCD(0, [](int x, int y) { return uint8_t((x + y) / 5); }, 150, 140), size_t(768) * 512 * 3);
}

}  // namespace

BENCHMARK_CAPTURE(Targa24, raw, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Targa24, rle, 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Sgi24, plain, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Sgi24, rle, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pcx24, plain, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pcx24, rle, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Psd24, raw, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Psd24, packbits, true)->Unit(benchmark::kMillisecond);
BENCHMARK(Rla24)->Unit(benchmark::kMillisecond);
BENCHMARK(Ppm24)->Unit(benchmark::kMillisecond);
BENCHMARK(Autodesk8)->Unit(benchmark::kMillisecond);
BENCHMARK(Cut8)->Unit(benchmark::kMillisecond);
BENCHMARK(Gif8)->Unit(benchmark::kMillisecond);
BENCHMARK(PhotoCD24)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
