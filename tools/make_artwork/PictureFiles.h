// Writers of the picture files: 24-bit uncompressed bitmaps and baseline JPEG.
// Each writes to a temporary name first and renames it, so a failed run leaves no damaged file.
#pragma once

#include "Canvas.h"

#include <string>

namespace artwork {

/// Writes a 24-bit bottom-up BMP (rows padded to 4 bytes). Throws std::runtime_error on failure.
void writeBmp(const Image& image, const std::string& path);

/// Writes a baseline JPEG of the given quality (1-100). Throws std::runtime_error on failure.
void writeJpeg(const Image& image, const std::string& path, int quality);

}  // namespace artwork
