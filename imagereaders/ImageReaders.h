// The raster image readers: their registration with the picture holder's format list, the TIFF
// reader, and the line converters that turn file samples into bitmap pixels (B, G, R order).
// Every reader checks a file's declared size against the pixel budget before it allocates.
#pragma once

#include "Bitmap.h"
#include "Picture.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// One row of the registration table: the extension (without its dot), the description and the
/// reader class.
struct TReaderFormat {
    const char* Extension;
    const char* Description;
    TGraphicClass (*GraphicClass)();
};
/// The 28 extensions in the order they are registered.
const std::vector<TReaderFormat>& ImageReaderFormats();

/// Registers the readers' file extensions with TPicture. Counted: only the first call registers.
void RegisterImageReaders();
/// Undoes RegisterImageReaders when called as often as it; removes the reader classes.
void UnregisterImageReaders();

/// TIFF pictures: the first image of the file, read strip by strip into the bitmap.
/// Raises Exception "Invalid TIFF file." (header, zero size), "TIFF: Unknown compression scheme",
/// "TIF LZW: invalid opcode.", EInvalidGraphic "TIFF: unsupported image layout" for sample layouts
/// it does not read, EInvalidGraphic "Image size exceeds the pixel budget" for a picture, or a
/// compressed strip, larger than the pixel budget admits (a strip may take as many bytes as a
/// 32-bit bitmap of the budget's pixels), EReadError "Stream read error" for a header, directory
/// or table cut short.
class TTIFFGraphic : public TBitmap {
public:
    TTIFFGraphic();
    void LoadFromStream(TStream& stream) override;
    /// TIFF is not written: does nothing.
    void SaveToStream(TStream& stream) override;
};

TGraphicClass TIFFGraphicClass();

/// Truevision Targa: types 1-3 raw and 9-11 run-length, 8, 15/16, 24 and 32 bits per pixel.
/// Raises Exception "Targa: invalid image" for unknown pixel sizes and pixel data cut short.
/// Saving always writes run-length packets, rows from the top; 1- and 4-bit pictures are first
/// converted to 8 bits when the user agrees (AskGraphicQuestion), else nothing is written.
class TTargaGraphic : public TBitmap {
public:
    TTargaGraphic();
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    /// The identifier text stored after the header (read on loading, written on saving).
    const std::string& ImageIdentifier() const { return FIdentifier; }
    void SetImageIdentifier(std::string text) { FIdentifier = std::move(text); }

private:
    /// 1- and 4-bit pixels to 8 bits, keeping indices and palette.
    void ConvertTo8Bits();
    std::string FIdentifier;
};

/// SGI images: plain or run-length rows of 1- or 2-byte samples, bottom row first.
class TSGIGraphic : public TBitmap {
public:
    void LoadFromStream(TStream& stream) override;
};

/// Old style Autodesk animator pictures: 8 bits with a palette of 6-bit components.
class TAutodeskGraphic : public TBitmap {
public:
    void LoadFromStream(TStream& stream) override;
};

/// ZSoft PCX pictures and screen captures of the same layout: 1, 4, 8 and 24 bits.
class TPCXGraphic : public TBitmap {
public:
    void LoadFromStream(TStream& stream) override;
};

/// Photo-CD images at one of three resolutions, turned as the file's orientation says.
class TPCDGraphic : public TBitmap {
public:
    /// 0: 192 x 128, 1: 384 x 256, 2: 768 x 512 (the default); others are refused on loading.
    uint8_t Resolution = 2;
    void LoadFromStream(TStream& stream) override;
};

/// Portable bit, grey and pixel maps, text (P1-P3) and binary (P4-P6).
class TPPMGraphic : public TBitmap {
public:
    void LoadFromStream(TStream& stream) override;
};

/// Dr. Halo pictures: run-length rows of 8-bit indices; the palette comes from the ".pal" file
/// beside the picture (any letter case), or is 256 greys when that file is missing or damaged.
class TCUTGraphic : public TBitmap {
public:
    void LoadFromFile(const std::string& fileName) override;
    /// Loads with the palette file remembered by LoadFromFile (none for a plain stream).
    void LoadFromStream(TStream& stream) override;
    /// Loads the picture with its palette read from `palette` (null: greys).
    void LoadWithPalette(TStream& stream, TStream* palette);
    /// The colours of a palette file; empty when it is damaged.
    static std::vector<TRGBQuad> ReadPalette(TStream& palette);

private:
    std::string FPaletteFile;
};

/// GIF pictures: the first image, with its local colour table and interlace.
class TGIFGraphic : public TBitmap {
public:
    void LoadFromStream(TStream& stream) override;
};

/// Wavefront RLA pictures: run-length channel records, 24 or 32 bits.
class TRLAGraphic : public TBitmap {
public:
    void LoadFromStream(TStream& stream) override;
};

/// Photoshop files: the merged image of bitmap, grey, indexed, RGB, CMYK, duotone and Lab files,
/// raw or PackBits, 8 or 16 bits per sample.
class TPSDGraphic : public TBitmap {
public:
    void LoadFromStream(TStream& stream) override;
};

TGraphicClass TargaGraphicClass();
TGraphicClass SGIGraphicClass();
TGraphicClass AutodeskGraphicClass();
TGraphicClass PCXGraphicClass();
TGraphicClass PCDGraphicClass();
TGraphicClass PPMGraphicClass();
TGraphicClass CUTGraphicClass();
TGraphicClass GIFGraphicClass();
TGraphicClass RLAGraphicClass();
TGraphicClass PSDGraphicClass();

// ---- Line converters ----
// Interleaved converters read `width` pixels of `stride` samples each (stride >= the colour
// samples they use; further samples are skipped) and write one bitmap pixel per file pixel.
// 16-bit samples are in the file's byte order (`bigEndian`); their most significant byte is used.
// Bits per sample other than 8 and 16 write nothing.

/// One 16-bit sample per pixel to one byte.
void Convert16To8(const uint8_t* source, uint8_t* target, size_t width, size_t stride, bool bigEndian);
/// R, G, B to B, G, R.
void ConvertRGBToBGR(const uint8_t* source, uint8_t* target, size_t width, size_t stride, int bitsPerSample, bool bigEndian);
/// R, G, B, A to B, G, R, A.
void ConvertRGBAToBGRA(const uint8_t* source, uint8_t* target, size_t width, size_t stride, int bitsPerSample, bool bigEndian);
/// C, M, Y, K to B, G, R: red = 255 - (C - C*K/255 + K), clamped (multiply-divide rounded).
void ConvertCMYKToBGR(const uint8_t* source, uint8_t* target, size_t width, size_t stride, int bitsPerSample, bool bigEndian);
/// L (unsigned), a, b (signed) to B, G, R, in floating point.
void ConvertCIELabToBGR(const uint8_t* source, uint8_t* target, size_t width, size_t stride, int bitsPerSample, bool bigEndian);
/// Y, Cb, Cr (8 bits, no subsampling) to B, G, R.
void ConvertYCbCrToBGR(const uint8_t* source, uint8_t* target, size_t width, size_t stride);

// Planar converters: one pointer per channel plane, `width` samples in each; 16-bit samples are
// big-endian (the planar formats store them so).
void ConvertPlanarRGBToBGR(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* target, size_t width, int bitsPerSample);
void ConvertPlanarCMYKToBGR(const uint8_t* cyan, const uint8_t* magenta, const uint8_t* yellow, const uint8_t* black, uint8_t* target, size_t width, int bitsPerSample);
/// Bytes only: L unsigned, a and b signed.
void ConvertPlanarCIELabToBGR(const uint8_t* l, const uint8_t* a, const uint8_t* b, uint8_t* target, size_t width);
