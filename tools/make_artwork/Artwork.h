// The list of every picture the program shows or prints: its component name (also its
// file name), format, size and painter. The generator writes them all into one folder.
#pragma once

#include "Canvas.h"

#include <functional>
#include <string>
#include <vector>

namespace artwork {

struct Picture {
    std::string Component;
    bool Jpeg = false;
    int Width = 0, Height = 0;
    std::function<Image(int, int)> Paint;

    std::string fileName() const { return Component + (Jpeg ? ".jpg" : ".bmp"); }
};

constexpr int FlagWidth = 120, FlagHeight = 80;  // every flag frame of the dialog is 3:2
constexpr int JpegQuality = 92;

const std::vector<Picture>& pictureList();

/// Paints every picture and writes it into folder (which is created when missing).
/// Throws std::runtime_error when a file cannot be written.
void writeAll(const std::string& folder);

}  // namespace artwork
