// Fuzz target of the CUT picture reader: the first byte k says that the last 8 × k bytes of the
// input are the palette file; the bytes between are the picture.
#include "FuzzPicture.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    FuzzBudget();
    const size_t paletteSize = std::min<size_t>(size_t(data[0]) * 8, size - 1);
    TMemoryStream image(std::vector<uint8_t>(data + 1, data + size - paletteSize));
    TMemoryStream palette(std::vector<uint8_t>(data + size - paletteSize, data + size));
    TCUTGraphic picture;
    try {
        picture.LoadWithPalette(image, paletteSize ? &palette : nullptr);
    } catch (const std::exception&) {
    }
    return 0;
}
