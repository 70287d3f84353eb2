// Old style Autodesk animator pictures: a small header, a palette of 6-bit components and the
// 8-bit pixels row after row from the top.
#include "ImageReaders.h"
#include "ReaderSupport.h"

using namespace readers;

void TAutodeskGraphic::LoadFromStream(TStream& stream) {
    uint8_t h[32] = {};
    ReadPlain(stream, h, 2);
    if (Le16(h) != 0x9119) throw Exception("Cannot load image. Only old style Autodesk images are supported.");
    ReadPlain(stream, h + 2, 30);
    uint8_t map[768] = {};
    ReadPlain(stream, map, sizeof map);
    std::vector<TRGBQuad> palette(256);
    for (size_t i = 0; i < 256; ++i)
        palette[i] = TRGBQuad{uint8_t(map[3 * i + 2] * 4), uint8_t(map[3 * i + 1] * 4), uint8_t(map[3 * i] * 4), 0};
    const int width = Le16(h + 2), height = Le16(h + 4);
    PrepareBitmap(*this, pf8bit, width, height);
    SetPalette(std::move(palette));
    if (Empty()) return;
    for (int y = 0; y < height; ++y)
        if (ReadPlain(stream, Row(*this, y), size_t(width)) < size_t(width)) break;  // the rest stays zero
}

TGraphicClass AutodeskGraphicClass() { return GraphicClassOf<TAutodeskGraphic>("TAutodeskGraphic"); }
