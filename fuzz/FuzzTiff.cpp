// Fuzz target of the TIFF reader: the input is a TIFF file, loaded from a memory stream into
// the bitmap. Pictures are held to 16 megapixels (64 MiB of 32-bit pixels) while fuzzing.
#include "ImageReaders.h"
#include "Streams.h"

#include <cstdint>
#include <exception>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool budget = (SetPixelBudget(int64_t(16) << 20), true);
    (void)budget;
    TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    TTIFFGraphic graphic;
    try {
        graphic.LoadFromStream(stream);
    } catch (const std::exception&) {
    }
    return 0;
}
