// Dr. Halo pictures: run-length rows of 8-bit indices after a small header, with the palette
// read from the ".pal" file beside the picture (found whatever its letter case), else greys.
#include "ImageDecoders.h"
#include "ImageReaders.h"
#include "ReaderSupport.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

using namespace readers;

namespace {

/// The palette file beside `imageFile`: its name with the extension ".pal", in any letter case.
std::string FindPaletteFile(const std::string& imageFile) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path wanted = fs::path(imageFile).replace_extension(".pal");
    if (fs::is_regular_file(wanted, ec)) return wanted.string();
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        return s;
    };
    const std::string name = lower(wanted.filename().string());
    fs::path dir = wanted.parent_path();
    if (dir.empty()) dir = ".";
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (lower(it->path().filename().string()) == name && it->is_regular_file(ec)) return it->path().string();
    return {};
}

}  // namespace

std::vector<TRGBQuad> TCUTGraphic::ReadPalette(TStream& palette) {
    // Blocks of 512 bytes; 256 colours need at most four.
    std::vector<uint8_t> data(4 * 512, 0);
    const size_t size = ReadPlain(palette, data.data(), data.size());
    if (size < 14) return {};
    const size_t count = std::min<size_t>(size_t(Le16(data.data() + 12)) + 1, 256);
    std::vector<TRGBQuad> colours(count);
    size_t pos = 40;
    for (size_t i = 0; i < count; ++i) {
        if (pos % 512 > 506) pos = (pos / 512 + 1) * 512;
        if (pos + 6 > size) return {};  // damaged: the file ends inside its colours
        const uint8_t* c = data.data() + pos;
        colours[i] = TRGBQuad{c[4], c[2], c[0], 0};
        pos += 6;
    }
    return colours;
}

void TCUTGraphic::LoadFromFile(const std::string& fileName) {
    FPaletteFile = FindPaletteFile(fileName);
    TBitmap::LoadFromFile(fileName);
}

void TCUTGraphic::LoadFromStream(TStream& stream) {
    std::unique_ptr<TFileStream> palette;
    if (!FPaletteFile.empty()) {
        try {
            palette = std::make_unique<TFileStream>(FPaletteFile, fmOpenRead);
        } catch (const Exception&) {
            // An unreadable palette file is as none: greys.
        }
    }
    LoadWithPalette(stream, palette.get());
}

void TCUTGraphic::LoadWithPalette(TStream& stream, TStream* paletteStream) {
    uint8_t h[6];
    stream.ReadBuffer(h, sizeof h);
    const int width = Le16(h), height = Le16(h + 2);
    PrepareBitmap(*this, pf8bit, width, height);
    std::vector<TRGBQuad> palette;
    if (paletteStream) palette = ReadPalette(*paletteStream);
    SetPalette(palette.empty() ? GreyPalette() : std::move(palette));
    if (Empty()) return;

    std::vector<uint8_t> data(static_cast<size_t>(BytesLeft(stream)));
    stream.ReadBuffer(data.data(), int64_t(data.size()));
    const uint8_t* s = data.data();
    const uint8_t* end = data.data() + data.size();
    TCUTRLE decoder;
    for (int y = 0; y < height && s < end; ++y) {
        uint8_t* row = Row(*this, y);
        const uint8_t* line = s;
        const size_t produced = decoder.Decode(s, row, size_t(end - s), size_t(width));
        if (produced < size_t(width)) std::memset(row + produced, 0, size_t(width) - produced);
        // The next line starts after the byte count at the line's head, when that count fits;
        // else where the decoder stopped.
        if (end - line >= 2) {
            const size_t length = Le16(line);
            if (length > 0 && length <= size_t(end - line) - 2) s = line + 2 + length;
        }
    }
}

TGraphicClass CUTGraphicClass() { return GraphicClassOf<TCUTGraphic>("TCUTGraphic"); }
