// Fuzz target of the BMP reader: the input is a BMP file, loaded through TBitmap from a memory
// stream. Inputs declaring more than 16 megapixels are skipped: the reader's own pixel budget
// check is another change, and such pictures would only measure the allocator.
#include "Bitmap.h"
#include "Streams.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <vector>

namespace {

bool DeclaresHugePicture(const std::uint8_t* d, std::size_t size) {
    if (size < 26) return false;
    const uint32_t info = d[14] | d[15] << 8 | d[16] << 16 | uint32_t(d[17]) << 24;
    int64_t w, h;
    if (info == 12) {
        w = d[18] | d[19] << 8;
        h = d[20] | d[21] << 8;
    } else {
        w = int32_t(d[18] | d[19] << 8 | d[20] << 16 | uint32_t(d[21]) << 24);
        h = int32_t(d[22] | d[23] << 8 | d[24] << 16 | uint32_t(d[25]) << 24);
    }
    return std::llabs(w) * std::llabs(h) > (int64_t(16) << 20);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool budget = (SetPixelBudget(int64_t(16) << 20), true);
    (void)budget;
    if (DeclaresHugePicture(data, size)) return 0;
    TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    TBitmap bitmap;
    try {
        bitmap.LoadFromStream(stream);
    } catch (const std::exception&) {
    }
    return 0;
}
