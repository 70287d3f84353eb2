// Fuzz target of the SGI picture reader: the input is the file, read from a memory stream.
#include "FuzzPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzPicture<TSGIGraphic>(data, size);
    return 0;
}
