// Picture readers: how fast pictures that declare huge sizes are refused, and how fast run-length
// data decode into the bitmap (an A4 page at 300 dots per inch), with the peak memory it takes.
#include "Bitmap.h"
#include "Jpeg.h"
#include "Streams.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}

/// An RLE8 BMP of width x height with `data` after a two-entry colour table.
std::vector<uint8_t> Rle8(uint32_t width, uint32_t height, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> b(62 + data.size(), 0);
    std::copy(data.begin(), data.end(), b.begin() + 62);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 10, 62);
    Put32(b, 14, 40);
    Put32(b, 18, width);
    Put32(b, 22, height);
    Put16(b, 26, 1);
    Put16(b, 28, 8);
    Put32(b, 30, 1);
    Put32(b, 46, 2);
    b[58] = b[59] = b[60] = 255;  // entry 1 white
    Put32(b, 2, uint32_t(b.size()));
    return b;
}

/// A page of runs: each row alternates runs of 255 white and 100 black pixels.
std::vector<uint8_t> RlePage(uint32_t width, uint32_t height) {
    std::vector<uint8_t> data;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width;) {
            const uint32_t run = std::min<uint32_t>((x / 255) % 2 ? 100 : 255, width - x);
            data.push_back(uint8_t(run));
            data.push_back((x / 255) % 2 ? 0 : 1);
            x += run;
        }
        data.push_back(0);
        data.push_back(0);
    }
    data.push_back(0);
    data.push_back(1);
    return Rle8(width, height, data);
}

std::vector<uint8_t> ProgressiveJpeg(unsigned width, unsigned height) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = 16;
    info.image_height = 16;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(48, 200);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> bytes(out, out + size);
    jpeg_destroy_compress(&info);
    std::free(out);
    for (size_t i = 2; i + 9 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC2) {
            bytes[i + 5] = uint8_t(height >> 8);
            bytes[i + 6] = uint8_t(height);
            bytes[i + 7] = uint8_t(width >> 8);
            bytes[i + 8] = uint8_t(width);
            break;
        }
    return bytes;
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_RleBombRefused(benchmark::State& state) {
    const std::vector<uint8_t> bomb = Rle8(65535, 32767, {0, 1});
    for (auto _ : state) {
        TMemoryStream stream(bomb);
        TBitmap bmp;
        try {
            bmp.LoadFromStream(stream);
        } catch (const EInvalidGraphic&) {
        }
        benchmark::DoNotOptimize(bmp);
    }
    state.counters["peak_MB"] = double(PeakKilobytes()) / 1024;
}
BENCHMARK(BM_RleBombRefused);

void BM_ProgressiveJpegBombRefused(benchmark::State& state) {
    const std::vector<uint8_t> bomb = ProgressiveJpeg(unsigned(state.range(0)), unsigned(state.range(0)));
    for (auto _ : state) {
        TMemoryStream stream(bomb);
        TJPEGImage jpeg;
        try {
            jpeg.LoadFromStream(stream);
        } catch (const EInvalidGraphic&) {
        }
        benchmark::DoNotOptimize(jpeg);
    }
    state.counters["peak_MB"] = double(PeakKilobytes()) / 1024;
}
BENCHMARK(BM_ProgressiveJpegBombRefused)->Arg(16383)->Arg(20000);

void BM_RlePageDecode(benchmark::State& state) {
    const std::vector<uint8_t> page = RlePage(2480, 3508);
    for (auto _ : state) {
        TMemoryStream stream(page);
        TBitmap bmp;
        bmp.LoadFromStream(stream);
        benchmark::DoNotOptimize(bmp);
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(2480.0 * 3508 / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["peak_MB"] = double(PeakKilobytes()) / 1024;
}
BENCHMARK(BM_RlePageDecode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
