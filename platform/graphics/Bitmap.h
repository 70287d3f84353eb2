// The class library's bitmap: a device-independent pixel array of 1, 4, 8, 15, 16, 24 or 32 bits
// per pixel with a palette of up to 256 entries, addressed by scan line, and read from BMP files.
// The image readers decode into it; the canvas and the printer draw it.
#pragma once

#include "Graphics.h"

#include <memory>
#include <vector>

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

struct TRGBQuad {
    uint8_t rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
    friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};

/// Bits per pixel of a format (pfDevice is stored as 32 bits).
int BitsPerPixel(TPixelFormat format);

/// Bitmap. Copies share their pixels until one of them is written through ScanLine.
/// Scan lines are DWORD-aligned rows addressed top-down; 24-bit pixels are B,G,R; 32-bit B,G,R,x;
/// 16-bit 5-6-5 and 15-bit 5-5-5 little-endian words.
class TBitmap : public TGraphic {
public:
    TBitmap();
    int Width() const override;
    int Height() const override;
    bool Empty() const override { return Width() == 0 || Height() == 0; }
    /// Raises EInvalidGraphic "Invalid bitmap size" for negative sizes or more than 1 GiB of pixels.
    void SetSize(int width, int height);
    void SetWidth(int width) { SetSize(width, Height()); }
    void SetHeight(int height) { SetSize(Width(), height); }

    TPixelFormat PixelFormat() const;
    /// Changes the format, converting the present pixels (through the palette for indexed formats).
    void SetPixelFormat(TPixelFormat format);

    /// Row `row` (0 = top). Raises EInvalidGraphic "Scan line index out of range".
    void* ScanLine(int row);
    const void* ScanLine(int row) const;
    int BytesPerScanLine() const;

    /// Palette of an indexed format (2, 16 or 256 entries after SetPixelFormat); empty otherwise.
    const std::vector<TRGBQuad>& Palette() const;
    /// Replaces the palette (at most 256 entries; extra entries are dropped).
    void SetPalette(std::vector<TRGBQuad> entries);

    /// The pixel at (x, y) as a colour; clBlack outside the bitmap.
    TColor Pixel(int x, int y) const;

    void Assign(const TBitmap& source) { FData = source.FData; }
    /// Reads a BMP file at the stream's position. Raises EInvalidGraphic "Bitmap image is not
    /// valid" for a bad header and EReadError "Stream read error" for data cut short.
    void LoadFromStream(TStream& stream) override;
    /// Writes a BMP file.
    void SaveToStream(TStream& stream) override;
    void Draw(TCanvas& canvas, const TRect& rect) const override;

    /// Identity of the pixel block, for caches of converted images.
    const void* DataIdentity() const { return FData.get(); }

private:
    struct Data;
    void Detach();
    std::shared_ptr<Data> FData;
};

/// Size of the BITMAPINFOHEADER with its colour table, and of the pixel block, that GetDIB writes.
void GetDIBSizes(const TBitmap& bitmap, uint32_t& infoHeaderSize, uint32_t& imageSize);
/// Writes the bitmap as a device-independent bitmap (bottom-up rows) into the two blocks.
bool GetDIB(const TBitmap& bitmap, void* info, void* bits);
/// Reads a device-independent bitmap (header, colour table and bits) back into a bitmap;
/// false when the header is not one that GetDIB writes (sizes and formats checked).
bool BitmapFromDIB(const void* info, uint32_t infoSize, const void* bits, uint32_t bitsSize, TBitmap& out);
