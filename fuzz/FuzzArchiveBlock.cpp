// Fuzz target of the archive's block decoder: the input is one block's coded bytes. The output
// buffer is exactly one block long, so the sanitizer sees any write past it; a block that
// decodes must also survive a round trip through the encoder.
#include "MemberCodec.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > std::size_t(kBlockSize)) return 0;
    std::unique_ptr<unsigned char[]> coded(new unsigned char[size ? size : 1]);
    std::memcpy(coded.get(), data, size);
    std::unique_ptr<unsigned char[]> out(new unsigned char[kBlockSize]);
    const int n = DecompressBlock(coded.get(), int(size), out.get());
    if (n < -1 || n > kBlockSize) std::abort();
    if (n <= 0) return 0;
    std::vector<std::int32_t> hash(kHashSlots, 0);
    std::unique_ptr<unsigned char[]> again(new unsigned char[kBlockSize]);
    const int c = CompressBlock(out.get(), n, again.get(), hash.data());
    if (c > 0) {
        std::unique_ptr<unsigned char[]> back(new unsigned char[kBlockSize]);
        if (DecompressBlock(again.get(), c, back.get()) != n || std::memcmp(back.get(), out.get(), size_t(n)) != 0)
            std::abort();
    }
    return 0;
}
