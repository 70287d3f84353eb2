// Test writers of the picture formats the other image readers take (Targa, SGI, Autodesk, PCX,
// Photo-CD, portable maps, CUT, GIF, RLA, Photoshop). Shared by the tests, the benchmark and
// the making of fuzz seeds. Pixel data is given as the file stores it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace formatwriters {

using Bytes = std::vector<uint8_t>;

struct Targa {
    int Type = 2;              ///< 1-3 raw, 9-11 run-length
    int Bits = 24;             ///< bits per pixel field
    int Width = 0, Height = 0;
    uint8_t Descriptor = 0;    ///< 0x20: rows stored top first
    std::string Identifier;
    int MapType = 0;           ///< colour map type
    int MapEntryBits = 24;
    Bytes Map;                 ///< colour map entries as stored
    int MapLength = -1;        ///< colour map length field; -1: from Map
    Bytes Pixels;              ///< rows in stored order, pixel size bytes a pixel
    bool PacketsCrossRows = false;  ///< run-length packets run on over row ends
};
Bytes Write(const Targa& t);
/// Targa run-length packets for `count` pixels (runs of equal pixels, raw packets otherwise).
Bytes TargaPackets(const uint8_t* pixels, size_t count, size_t pixelSize);

struct Sgi {
    int Width = 0, Height = 0, Depth = 1;   ///< Depth: z size
    bool RunLength = false;
    int SampleSize = 1;
    /// Channel rows, index c × height + y (y = 0 the bottom row), Width samples of SampleSize
    /// bytes (big-endian) each.
    std::vector<Bytes> Rows;
    size_t Prefix = 0;                      ///< bytes before the header
};
Bytes Write(const Sgi& s);
/// SGI run-length packets of one row of 1- or 2-byte samples (a 0 count ends it).
Bytes SgiPackets(const Bytes& row, int sampleSize);

Bytes Autodesk(int width, int height, const Bytes& palette768, const Bytes& pixels);

struct Pcx {
    uint8_t Manufacturer = 10, Version = 5, Encoding = 1, BitsPerPixel = 8, Planes = 1;
    int XMin = 0, YMin = 0, XMax = 0, YMax = 0;
    int BytesPerLine = 0;
    int PaletteInfo = 1;
    Bytes HeaderPalette;      ///< 48 bytes (zero when empty)
    Bytes Lines;              ///< height × planes × bytes per line, plane after plane in each line
    bool TailPalette = false; ///< marker 12 and 768 bytes
    Bytes Tail;               ///< the 768 bytes
};
Bytes Write(const Pcx& p);
Bytes PcxPackets(const Bytes& data);

/// A Photo-CD file with every luma sample from `luma(x, y)` (stored coordinates) at every
/// resolution, and chroma c1, c2 everywhere.
Bytes PhotoCD(int orientation, uint8_t (*luma)(int x, int y), uint8_t c1, uint8_t c2);

struct Cut {
    int Width = 0, Height = 0;
    Bytes Pixels;  ///< Width × Height
};
Bytes Write(const Cut& c);
/// A palette file of the colours (red, green, blue triples).
Bytes CutPalette(const Bytes& rgb);

struct Gif {
    int ScreenWidth = 0, ScreenHeight = 0;
    int Width = 0, Height = 0;  ///< image descriptor's size
    Bytes Global;               ///< global colour table (r, g, b), 2^n entries
    Bytes Local;
    bool Interlaced = false;
    Bytes Extensions;           ///< bytes written before the image descriptor
    int CodeSize = 8;
    Bytes Pixels;               ///< in stored order
    size_t SubBlock = 255;
    bool Lowercase = false;     ///< "gif" signature
};
Bytes Write(const Gif& g);
/// A graphic control extension with the given delay.
Bytes GifGraphicControl(uint16_t delay);

struct Rla {
    int Left = 0, Right = 0, Bottom = 0, Top = 0;
    int Channels = 3, Matte = 0;
    std::vector<Bytes> Rows;  ///< per stored row, channel after channel, width bytes each
    bool RunLength = true;    ///< false: records of literal packets only
};
Bytes Write(const Rla& r);
Bytes RlaPackets(const uint8_t* data, size_t count);

struct Psd {
    int Mode = 3, Depth = 8, Channels = 3;
    uint32_t Width = 0, Height = 0;
    Bytes ModeData, Resources, Layers;
    bool PackBits = false;
    std::vector<Bytes> Planes;  ///< per channel, rows of the stored row size
};
Bytes Write(const Psd& p);

}  // namespace formatwriters
