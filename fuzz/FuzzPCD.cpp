// Fuzz target of the Photo-CD picture reader. Real files are large and mostly fixed, so the
// input gives the resolution option, the attribute byte and the bytes placed at the chosen
// resolution's image data; the file ends where that data ends.
#include "FuzzPicture.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    FuzzBudget();
    static const size_t offsets[4] = {8192, 47104, 196608, 8192};
    const uint8_t resolution = data[0] & 3;
    const size_t at = offsets[resolution];
    std::vector<uint8_t> file(std::max<size_t>(194636, at + size - 2), 0);
    std::memcpy(file.data() + 2048, "PCD_IPI", 7);
    file[194635] = data[1];
    std::memcpy(file.data() + at, data + 2, size - 2);
    TMemoryStream stream(std::move(file));
    TPCDGraphic picture;
    picture.Resolution = resolution;
    try {
        picture.LoadFromStream(stream);
    } catch (const std::exception&) {
    }
    return 0;
}
