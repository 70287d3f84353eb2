// Fuzz target of the image decoders: the first byte picks the decoder, the next two the output
// size and the fourth its parameter (code size, sample size, pixel size); the rest is the packed
// data. Targa packets are also encoded and decoded back, which must give the pixels again.
#include "ImageDecoders.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const unsigned which = data[0] % 9;
    const size_t unpacked = size_t(data[1]) | size_t(data[2]) << 8;
    const unsigned param = data[3];
    const uint8_t* packed = data + 4;
    const size_t packedSize = size - 4;
    // Exactly the unpacked size, so the sanitizer sees any write past it.
    std::unique_ptr<uint8_t[]> out(new uint8_t[unpacked + 1]);
    std::unique_ptr<TDecoder> decoder;
    switch (which) {
        case 0: decoder = std::make_unique<TTIFFLZW>(); break;
        case 1: decoder = std::make_unique<TPackbitsRLE>(); break;
        case 2: decoder = std::make_unique<TPCXRLE>(); break;
        case 3: decoder = std::make_unique<TSGIRLE>(param & 1 ? 2 : 1); break;
        case 4: decoder = std::make_unique<TCUTRLE>(); break;
        case 5: decoder = std::make_unique<TRLADecoder>(); break;
        case 6: decoder = std::make_unique<TGIFLZW>(int(param % 14)); break;
        case 7: {
            static const int bits[] = {8, 15, 16, 24, 32, 0};
            const size_t used = DecodeTargaRLE(packed, packedSize, out.get(), unpacked, bits[param % 6]);
            if (used > packedSize) std::abort();
            return 0;
        }
        default: {
            const int p = int(param % 4) + 1;
            const size_t count = packedSize / size_t(p);
            std::vector<uint8_t> coded(TargaPackedBound(count, p));
            const size_t n = EncodeTargaRLE(packed, coded.data(), count, p);
            if (n > coded.size()) std::abort();
            std::vector<uint8_t> back(count * size_t(p));
            static const int bits[] = {8, 16, 24, 32};
            if (DecodeTargaRLE(coded.data(), n, back.data(), back.size(), bits[p - 1]) != n) std::abort();
            if (!back.empty() && std::memcmp(back.data(), packed, back.size()) != 0) std::abort();
            return 0;
        }
    }
    const uint8_t* source = packed;
    try {
        const size_t produced = decoder->Decode(source, out.get(), packedSize, unpacked);
        if (produced > unpacked || source < packed || source > packed + packedSize) std::abort();
    } catch (const std::exception&) {
    }
    return 0;
}
