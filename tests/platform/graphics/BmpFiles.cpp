// Builders of small BMP files for the bitmap and picture tests.
#include "BmpFiles.h"

#include <fstream>

namespace {
void Put(std::vector<uint8_t>& v, uint32_t x, int n) {
    for (int i = 0; i < n; ++i) v.push_back(uint8_t(x >> (8 * i)));
}
}  // namespace

std::vector<uint8_t> MakeBmp(int width, int height, int bits, uint32_t compression,
                             const std::vector<uint32_t>& palette, const std::vector<uint8_t>& pixelData,
                             const std::vector<uint32_t>& masks, bool coreHeader) {
    std::vector<uint8_t> info;
    if (coreHeader) {
        Put(info, 12, 4); Put(info, uint32_t(width), 2); Put(info, uint32_t(height), 2); Put(info, 1, 2); Put(info, uint32_t(bits), 2);
        for (uint32_t c : palette) Put(info, c, 3);
    } else {
        Put(info, 40, 4); Put(info, uint32_t(width), 4); Put(info, uint32_t(height), 4); Put(info, 1, 2);
        Put(info, uint32_t(bits), 2); Put(info, compression, 4); Put(info, uint32_t(pixelData.size()), 4);
        Put(info, 2835, 4); Put(info, 2835, 4); Put(info, uint32_t(palette.size()), 4); Put(info, 0, 4);
        for (uint32_t m : masks) Put(info, m, 4);
        for (uint32_t c : palette) Put(info, c, 4);
    }
    std::vector<uint8_t> file = {'B', 'M'};
    Put(file, uint32_t(14 + info.size() + pixelData.size()), 4);
    Put(file, 0, 4);
    Put(file, uint32_t(14 + info.size()), 4);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), pixelData.begin(), pixelData.end());
    return file;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
