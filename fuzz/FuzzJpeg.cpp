// Fuzz target of the JPEG pictures: the input is a JPEG file, loaded through TJPEGImage from a
// memory stream. Inputs whose frame header declares more than 4 megapixels are skipped: the
// reader's own pixel budget check is another change, and such frames only measure the time
// spent decoding garbage.
#include "Jpeg.h"
#include "Streams.h"

#include <cstdint>
#include <exception>
#include <vector>

namespace {

bool DeclaresHugeFrame(const std::uint8_t* d, std::size_t size) {
    for (std::size_t i = 0; i + 8 < size; ++i) {
        if (d[i] != 0xFF) continue;
        const uint8_t m = d[i + 1];
        if (m < 0xC0 || m > 0xCF || m == 0xC4 || m == 0xC8 || m == 0xCC) continue;
        const int64_t h = d[i + 5] << 8 | d[i + 6], w = d[i + 7] << 8 | d[i + 8];
        if (w * h > (int64_t(4) << 20)) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool budget = (SetPixelBudget(int64_t(16) << 20), true);
    (void)budget;
    if (DeclaresHugeFrame(data, size)) return 0;
    TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    TJPEGImage image;
    try {
        image.LoadFromStream(stream);
    } catch (const std::exception&) {
    }
    return 0;
}
