// Fuzz target of the Targa picture reader: the input is the file, read from a memory stream;
// what loads is written again and must read back to the same pixels.
#include "FuzzPicture.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzBudget();
    TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    TTargaGraphic picture;
    try {
        picture.LoadFromStream(stream);
    } catch (const std::exception&) {
        return 0;
    }
    if (picture.Empty()) return 0;
    TMemoryStream saved;
    picture.SaveToStream(saved);
    saved.SetPosition(0);
    TTargaGraphic again;
    again.LoadFromStream(saved);
    const size_t bytes = size_t(picture.Width()) * size_t(BitsPerPixel(picture.PixelFormat())) / 8;
    if (again.Width() != picture.Width() || again.Height() != picture.Height()) std::abort();
    for (int y = 0; y < picture.Height(); ++y)
        if (std::memcmp(static_cast<const TBitmap&>(picture).ScanLine(y), static_cast<const TBitmap&>(again).ScanLine(y), bytes) != 0)
            std::abort();
    return 0;
}
