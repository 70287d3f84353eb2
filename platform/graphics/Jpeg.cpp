// JPEG decoding through libjpeg. libjpeg reports errors through a callback that must not
// return; it jumps back to the decoder, which then raises EJPEG with libjpeg's message code.
#include "Jpeg.h"

#include "Canvas.h"
#include "Streams.h"

#include <algorithm>
#include <csetjmp>
#include <limits>
#include <cstdio>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace {

struct ErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
    int Code = 0;
};

extern "C" void OnJpegError(j_common_ptr info) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    err->Code = err->Base.msg_code;
    std::longjmp(err->Jump, 1);
}

extern "C" void OnJpegMessage(j_common_ptr, int) {}

/// Result of Decode for a picture whose declared size exceeds the pixel budget.
constexpr int kOverBudget = -2;

/// Most memory the decoder may take for a picture within the pixel budget: the coefficients of a
/// progressive or multi-scan file (two bytes a sample, up to four full-size components) and its
/// tables and buffers.
long DecoderMemoryLimit() {
    const int64_t limit = PixelBudget() * 8 + (int64_t(16) << 20);
    return long(std::min<int64_t>(limit, std::numeric_limits<long>::max()));
}

/// Decodes `data` into `out`; returns 0, libjpeg's error code or kOverBudget. Kept free of C++
/// objects with destructors between setjmp and the decoder calls.
int Decode(const std::vector<uint8_t>& data, TBitmap& out) {
    jpeg_decompress_struct info;
    ErrorManager err;
    info.err = jpeg_std_error(&err.Base);
    err.Base.error_exit = OnJpegError;
    err.Base.emit_message = OnJpegMessage;
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = DecoderMemoryLimit();
    std::vector<uint8_t> row;
    if (setjmp(err.Jump)) {
        jpeg_destroy_decompress(&info);
        return err.Code ? err.Code : -1;
    }
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    // The declared size is judged before the decoder allocates its buffers.
    if (int64_t(info.image_width) * info.image_height > PixelBudget()) {
        jpeg_destroy_decompress(&info);
        return kOverBudget;
    }
    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    const int w = int(info.output_width), h = int(info.output_height), comps = info.output_components;
    out.SetPixelFormat(grey ? pf8bit : pf24bit);
    out.SetSize(w, h);
    row.resize(size_t(w) * comps);
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
        auto* dst = static_cast<uint8_t*>(out.ScanLine(y));
        for (int x = 0; x < w; ++x) {
            const uint8_t* s = row.data() + size_t(x) * comps;
            if (grey) {
                dst[x] = s[0];
            } else if (cmyk) {
                // Adobe files store inverted CMYK.
                const unsigned k = s[3];
                dst[3 * x + 0] = uint8_t(s[2] * k / 255);
                dst[3 * x + 1] = uint8_t(s[1] * k / 255);
                dst[3 * x + 2] = uint8_t(s[0] * k / 255);
            } else {
                dst[3 * x + 0] = s[2];
                dst[3 * x + 1] = s[1];
                dst[3 * x + 2] = s[0];
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return 0;
}

}  // namespace

TGraphicClass JPEGImageClass() { return GraphicClassOf<TJPEGImage>("TJPEGImage"); }

void TJPEGImage::LoadFromStream(TStream& stream) {
    const int64_t left = stream.Size() - stream.Position();
    std::vector<uint8_t> data(size_t(left > 0 ? left : 0));
    stream.ReadBuffer(data.data(), int64_t(data.size()));
    TBitmap decoded;
    const int code = Decode(data, decoded);
    if (code == kOverBudget) throw EInvalidGraphic("Image size exceeds the pixel budget");
    if (code != 0) throw EJPEG("JPEG error #" + std::to_string(code));
    FBitmap = decoded;
}

void TJPEGImage::SaveToStream(TStream&) { throw EJPEG("JPEG pictures cannot be saved"); }

void TJPEGImage::Draw(TCanvas& canvas, const TRect& rect) const { canvas.StretchDrawBitmap(rect, FBitmap); }
