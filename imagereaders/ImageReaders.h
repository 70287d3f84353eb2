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

/// One row of the registration table. A reader class not built yet has no class function; its
/// extensions are skipped until it exists.
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
/// it does not read, EReadError "Stream read error" for a header, directory or table cut short.
class TTIFFGraphic : public TBitmap {
public:
    TTIFFGraphic();
    void LoadFromStream(TStream& stream) override;
    /// TIFF is not written: does nothing.
    void SaveToStream(TStream& stream) override;
};

TGraphicClass TIFFGraphicClass();

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
