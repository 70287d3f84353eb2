// The sample page images of the program folder: scanned-looking blank forms (pre-printed forms,
// paint-protection and training pages) painted as grey pages and written as TIFF files, bilevel
// or 8-bit grey, LZW or PackBits coded. Tests and benchmarks write their own pages with it too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace artwork {

enum class TiffCoding { LZW, PackBits };

/// A grey page, rows top to bottom, 0 black and 255 white.
struct GreyPage {
    int Width = 0, Height = 0;
    std::vector<std::uint8_t> Pixels;
};

/// Paints a blank form: a frame, the title and the page line in block capitals, and ruled
/// rows with tick boxes. Titles use the letters, digits, blanks and "-" of the stroke font.
GreyPage paintFormPage(const std::string& title, const std::string& subtitle, int width, int height);

/// The bytes of a little-endian TIFF of the page: `bits` 1 (white is zero, a pixel is black when
/// darker than middle grey) or 8 (black is zero); strips of about 8 KB of samples; the
/// resolution tags give `dpi`. Throws std::invalid_argument for another bit depth or an empty page.
std::vector<std::uint8_t> encodeTiff(const GreyPage& page, int bits, TiffCoding coding, int dpi);

/// Writes encodeTiff's bytes to path (through a temporary name). Throws std::runtime_error.
void writeTiff(const GreyPage& page, int bits, TiffCoding coding, int dpi, const std::string& path);

/// One sample page file: its name as it is written on disk, its words, depth and coding.
struct PageFile {
    std::string File;
    std::string Title, Subtitle;
    int Bits = 1;
    TiffCoding Coding = TiffCoding::LZW;
};

/// The page files of the sample data (A4 at 150 dpi).
const std::vector<PageFile>& samplePageFiles();
constexpr int SamplePageDpi = 150;
/// A4 in pixels at a resolution.
int a4Width(int dpi);
int a4Height(int dpi);

/// Paints and writes every sample page into folder (created when missing).
void writeSamplePages(const std::string& folder);

}  // namespace artwork
