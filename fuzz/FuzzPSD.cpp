// Fuzz target of the PSD picture reader: the input is the file, read from a memory stream.
#include "FuzzPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzPicture<TPSDGraphic>(data, size);
    return 0;
}
