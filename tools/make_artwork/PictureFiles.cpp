// BMP and JPEG writers of the artwork generator (see PictureFiles.h).
#include "PictureFiles.h"

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

namespace artwork {
namespace {

void put16(std::vector<unsigned char>& out, unsigned v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}

void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void replace(const std::string& temporary, const std::string& path) {
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        throw std::runtime_error("cannot write " + path);
    }
}

struct JpegErrorExit {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
};

void onJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrorExit*>(info->err)->Jump, 1); }

constexpr std::uint32_t PixelsPerMetre = 3780;  // 96 dots per inch

}  // namespace

void writeBmp(const Image& image, const std::string& path) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(image.Width) * 3 + 3) & ~3u;
    const std::uint32_t dataSize = stride * image.Height;
    std::vector<unsigned char> out;
    out.reserve(54 + dataSize);
    out.push_back('B');
    out.push_back('M');
    put32(out, 54 + dataSize);  // file size
    put32(out, 0);              // reserved
    put32(out, 54);             // offset of the pixels
    put32(out, 40);             // info header size
    put32(out, image.Width);
    put32(out, image.Height);   // positive: rows bottom to top
    put16(out, 1);              // planes
    put16(out, 24);             // bits per pixel
    put32(out, 0);              // no compression
    put32(out, dataSize);
    put32(out, PixelsPerMetre);
    put32(out, PixelsPerMetre);
    put32(out, 0);              // colours used
    put32(out, 0);              // important colours
    for (int y = image.Height - 1; y >= 0; --y) {
        for (int x = 0; x < image.Width; ++x) {
            const Rgb& p = image.at(x, y);
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
        }
        for (std::uint32_t pad = image.Width * 3; pad < stride; ++pad) out.push_back(0);
    }
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
        if (!file.flush()) {
            std::error_code ec;
            std::filesystem::remove(temporary, ec);
            throw std::runtime_error("cannot write " + path);
        }
    }
    replace(temporary, path);
}

// Compresses image into file; false when the library reports a fault.
static bool compressJpeg(const Image& image, std::FILE* file, int quality) {
    jpeg_compress_struct info{};
    JpegErrorExit error{};
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = onJpegError;
    std::vector<JSAMPLE> row(static_cast<std::size_t>(image.Width) * 3);
    if (setjmp(error.Jump) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = image.Width;
    info.image_height = image.Height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < image.Width; ++x) {
            const Rgb& p = image.at(x, y);
            row[x * 3] = p.r;
            row[x * 3 + 1] = p.g;
            row[x * 3 + 2] = p.b;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

void writeJpeg(const Image& image, const std::string& path, int quality) {
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot write " + path);
    const bool written = compressJpeg(image, file, quality);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::error_code ec;
        std::filesystem::remove(temporary, ec);
        throw std::runtime_error("cannot write " + path);
    }
    replace(temporary, path);
}

}  // namespace artwork
