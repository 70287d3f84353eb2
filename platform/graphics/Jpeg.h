// JPEG pictures, decoded with libjpeg into a bitmap (24 bits, or 8-bit grey with a grey palette).
// Decoder errors raise EJPEG "JPEG error #<code>".
#pragma once

#include "Bitmap.h"
#include "Picture.h"

class EJPEG : public EInvalidGraphic { using EInvalidGraphic::EInvalidGraphic; };

class TJPEGImage : public TGraphic {
public:
    int Width() const override { return FBitmap.Width(); }
    int Height() const override { return FBitmap.Height(); }
    bool Empty() const override { return FBitmap.Empty(); }
    /// Decodes the rest of the stream; the picture is unchanged when decoding fails.
    void LoadFromStream(TStream& stream) override;
    /// Writing JPEG is not offered: raises EJPEG "JPEG pictures cannot be saved".
    void SaveToStream(TStream& stream) override;
    void Draw(TCanvas& canvas, const TRect& rect) const override;
    const TBitmap& Bitmap() const { return FBitmap; }
    bool Grayscale() const { return FBitmap.PixelFormat() == pf8bit; }

private:
    TBitmap FBitmap;
};

TGraphicClass JPEGImageClass();
