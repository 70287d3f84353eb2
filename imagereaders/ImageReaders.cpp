// Registration of the raster image readers with the picture holder, and the line converters
// that the readers share (interleaved and planar samples to bitmap pixels).
#include "ImageReaders.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kTruevision = "Truevision images";
constexpr const char* kTIFF = "TIFF images";
constexpr const char* kSGI = "SGI true color images";
constexpr const char* kWavefront = "SGI Wavefront images";
constexpr const char* kPhotoshop = "Photoshop images";
constexpr const char* kAutodesk = "Autodesk images";
constexpr const char* kWindowsBitmap = "Windows bitmap";

const std::vector<TReaderFormat> kFormats = {
    {"win", kTruevision, TargaGraphicClass},
    {"vst", kTruevision, TargaGraphicClass},
    {"vda", kTruevision, TargaGraphicClass},
    {"tiff", kTIFF, TIFFGraphicClass},
    {"tif", kTIFF, TIFFGraphicClass},
    {"tga", kTruevision, TargaGraphicClass},
    {"sgi", kSGI, SGIGraphicClass},
    {"scr", "Word 5.x screen capture images", PCXGraphicClass},
    {"rpf", kWavefront, RLAGraphicClass},
    {"rle", kWindowsBitmap, BitmapClass},
    {"rla", kWavefront, RLAGraphicClass},
    {"rgba", kSGI, SGIGraphicClass},
    {"rgb", kSGI, SGIGraphicClass},
    {"psd", kPhotoshop, PSDGraphicClass},
    {"ppm", "Portable pixel map images", PPMGraphicClass},
    {"pgm", "Portable grayscale images", PPMGraphicClass},
    {"pbm", "Portable b&w images", PPMGraphicClass},
    {"pic", kAutodesk, AutodeskGraphicClass},
    {"pcx", "ZSoft PCX images", PCXGraphicClass},
    {"pdd", kPhotoshop, PSDGraphicClass},
    {"pcd", "Kodak Photo-CD images", PCDGraphicClass},
    {"pcc", "ZSoft PCC images", PCXGraphicClass},
    {"icb", kTruevision, TargaGraphicClass},
    {"gif", "CompuServe images", GIFGraphicClass},
    {"dib", kWindowsBitmap, BitmapClass},
    {"cut", "Dr. Halo images", CUTGraphicClass},
    {"cel", kAutodesk, AutodeskGraphicClass},
    {"bw", "SGI black/white images", SGIGraphicClass},
};

/// The reader classes in the order they are unregistered.
TGraphicClass (*const kReaderClasses[])() = {
    TargaGraphicClass, TIFFGraphicClass, SGIGraphicClass, PCXGraphicClass, AutodeskGraphicClass, PCDGraphicClass,
    PPMGraphicClass,   CUTGraphicClass,  GIFGraphicClass, RLAGraphicClass, PSDGraphicClass,
};

int registrations = 0;

}  // namespace

const std::vector<TReaderFormat>& ImageReaderFormats() { return kFormats; }

void RegisterImageReaders() {
    if (registrations++ > 0) return;
    for (const TReaderFormat& f : kFormats)
        TPicture::RegisterFileFormat(f.Extension, f.Description, f.GraphicClass());
}

void UnregisterImageReaders() {
    if (registrations == 0 || --registrations > 0) return;
    for (auto cls : kReaderClasses) TPicture::UnregisterGraphicClass(cls());
}

// ---- Line converters ------------------------------------------------------------------------

namespace {

inline uint8_t Clamp255(long v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }
inline uint8_t Clamp255(double v) {
    const long r = std::lround(v);
    return Clamp255(r);
}

/// The sample at index `i` of a pixel as a full-width value (8 or 16 bits).
inline unsigned Sample16(const uint8_t* p, bool bigEndian) {
    return bigEndian ? unsigned(p[0] << 8 | p[1]) : unsigned(p[1] << 8 | p[0]);
}

inline void PutCMYK(uint8_t* t, long c, long m, long y, long k, long full, int shift) {
    auto channel = [&](long v) {
        const long r = full - (v - (v * k + full / 2) / full + k);
        return uint8_t((r < 0 ? 0 : r > full ? full : r) >> shift);
    };
    t[0] = channel(y);
    t[1] = channel(m);
    t[2] = channel(c);
}

inline void PutLab(uint8_t* t, unsigned lByte, int aSigned, int bSigned) {
    const double l = lByte / 2.55;
    const double fy = (l + 16.0) / 116.0;
    double x, y, z;
    if (l > 7.9996) {
        const double fx = aSigned / 500.0 + fy, fz = fy - bSigned / 200.0;
        x = fx * fx * fx;
        y = fy * fy * fy;
        z = fz * fz * fz;
    } else {
        y = l / 903.3;
        x = aSigned / 3893.5 + y;
        z = y - bSigned / 1557.4;
    }
    t[2] = Clamp255((2.998 * x - 1.458 * y - 0.541 * z) * 255.0);
    t[1] = Clamp255((-0.952 * x + 1.893 * y + 0.059 * z) * 255.0);
    t[0] = Clamp255((0.099 * x - 0.198 * y + 1.099 * z) * 255.0);
}

}  // namespace

void Convert16To8(const uint8_t* source, uint8_t* target, size_t width, size_t stride, bool bigEndian) {
    const uint8_t* s = source + (bigEndian ? 0 : 1);
    const size_t step = 2 * stride;
    for (size_t x = 0; x < width; ++x, s += step) target[x] = *s;
}

void ConvertRGBToBGR(const uint8_t* source, uint8_t* target, size_t width, size_t stride, int bitsPerSample, bool bigEndian) {
    if (bitsPerSample == 8) {
        for (size_t x = 0; x < width; ++x, source += stride, target += 3) {
            target[0] = source[2];
            target[1] = source[1];
            target[2] = source[0];
        }
    } else if (bitsPerSample == 16) {
        const uint8_t* s = source + (bigEndian ? 0 : 1);
        for (size_t x = 0; x < width; ++x, s += 2 * stride, target += 3) {
            target[0] = s[4];
            target[1] = s[2];
            target[2] = s[0];
        }
    }
}

void ConvertRGBAToBGRA(const uint8_t* source, uint8_t* target, size_t width, size_t stride, int bitsPerSample, bool bigEndian) {
    if (bitsPerSample == 8) {
        for (size_t x = 0; x < width; ++x, source += stride, target += 4) {
            target[0] = source[2];
            target[1] = source[1];
            target[2] = source[0];
            target[3] = source[3];
        }
    } else if (bitsPerSample == 16) {
        const uint8_t* s = source + (bigEndian ? 0 : 1);
        for (size_t x = 0; x < width; ++x, s += 2 * stride, target += 4) {
            target[0] = s[4];
            target[1] = s[2];
            target[2] = s[0];
            target[3] = s[6];
        }
    }
}

void ConvertCMYKToBGR(const uint8_t* source, uint8_t* target, size_t width, size_t stride, int bitsPerSample, bool bigEndian) {
    if (bitsPerSample == 8) {
        for (size_t x = 0; x < width; ++x, source += stride, target += 3)
            PutCMYK(target, source[0], source[1], source[2], source[3], 255, 0);
    } else if (bitsPerSample == 16) {
        for (size_t x = 0; x < width; ++x, source += 2 * stride, target += 3)
            PutCMYK(target, Sample16(source, bigEndian), Sample16(source + 2, bigEndian), Sample16(source + 4, bigEndian),
                    Sample16(source + 6, bigEndian), 65535, 8);
    }
}

void ConvertCIELabToBGR(const uint8_t* source, uint8_t* target, size_t width, size_t stride, int bitsPerSample, bool bigEndian) {
    if (bitsPerSample == 8) {
        for (size_t x = 0; x < width; ++x, source += stride, target += 3)
            PutLab(target, source[0], int8_t(source[1]), int8_t(source[2]));
    } else if (bitsPerSample == 16) {
        const uint8_t* s = source + (bigEndian ? 0 : 1);
        for (size_t x = 0; x < width; ++x, s += 2 * stride, target += 3) PutLab(target, s[0], int8_t(s[2]), int8_t(s[4]));
    }
}

void ConvertYCbCrToBGR(const uint8_t* source, uint8_t* target, size_t width, size_t stride) {
    // Full-range coefficients in 16.16 fixed point.
    constexpr long kCrR = 91881, kCbG = 22554, kCrG = 46802, kCbB = 116130;
    for (size_t x = 0; x < width; ++x, source += stride, target += 3) {
        const long y = long(source[0]) << 16, cb = long(source[1]) - 128, cr = long(source[2]) - 128;
        target[2] = Clamp255((y + kCrR * cr + 32768) >> 16);
        target[1] = Clamp255((y - kCbG * cb - kCrG * cr + 32768) >> 16);
        target[0] = Clamp255((y + kCbB * cb + 32768) >> 16);
    }
}

void ConvertPlanarRGBToBGR(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* target, size_t width, int bitsPerSample) {
    if (bitsPerSample != 8 && bitsPerSample != 16) return;
    const size_t step = size_t(bitsPerSample / 8);
    for (size_t x = 0, i = 0; x < width; ++x, i += step, target += 3) {
        target[0] = blue[i];
        target[1] = green[i];
        target[2] = red[i];
    }
}

void ConvertPlanarCMYKToBGR(const uint8_t* cyan, const uint8_t* magenta, const uint8_t* yellow, const uint8_t* black, uint8_t* target, size_t width, int bitsPerSample) {
    if (bitsPerSample == 8) {
        for (size_t x = 0; x < width; ++x, target += 3) PutCMYK(target, cyan[x], magenta[x], yellow[x], black[x], 255, 0);
    } else if (bitsPerSample == 16) {
        for (size_t x = 0, i = 0; x < width; ++x, i += 2, target += 3)
            PutCMYK(target, Sample16(cyan + i, true), Sample16(magenta + i, true), Sample16(yellow + i, true),
                    Sample16(black + i, true), 65535, 8);
    }
}

void ConvertPlanarCIELabToBGR(const uint8_t* l, const uint8_t* a, const uint8_t* b, uint8_t* target, size_t width) {
    for (size_t x = 0; x < width; ++x, target += 3) PutLab(target, l[x], int8_t(a[x]), int8_t(b[x]));
}
