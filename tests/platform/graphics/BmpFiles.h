// Builders of small BMP files for the bitmap and picture tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// A BMP file: 14-byte file header, 40-byte info header (or 12-byte core header), colour table,
/// then `bits` as given.
std::vector<uint8_t> MakeBmp(int width, int height, int bits, uint32_t compression,
                             const std::vector<uint32_t>& palette, const std::vector<uint8_t>& pixelData,
                             const std::vector<uint32_t>& masks = {}, bool coreHeader = false);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
