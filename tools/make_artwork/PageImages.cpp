// Sample page images: painting of blank forms and the TIFF writer with its LZW and PackBits
// coders (see PageImages.h).
#include "PageImages.h"

#include "Canvas.h"
#include "StrokeFont.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace artwork {
namespace {

// ---- coders ----

/// Appends codes of a given width, most significant bit first.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : Out(out) {}
    void put(unsigned code, int width) {
        Buffer = (Buffer << width) | code;
        Count += width;
        while (Count >= 8) {
            Count -= 8;
            Out.push_back(std::uint8_t(Buffer >> Count));
        }
        Buffer &= (1u << Count) - 1;
    }
    void flush() {
        if (Count > 0) Out.push_back(std::uint8_t(Buffer << (8 - Count)));
        Buffer = 0;
        Count = 0;
    }

private:
    std::vector<std::uint8_t>& Out;
    std::uint32_t Buffer = 0;
    int Count = 0;
};

constexpr unsigned kClear = 256, kEndOfInfo = 257, kFirstCode = 258, kTableFull = 4094;

/// TIFF LZW: codes of 9 to 12 bits, widened one code early as readers expect, a clear code
/// whenever the table fills.
std::vector<std::uint8_t> encodeLZW(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> out;
    BitWriter bits(out);
    // child[code * 256 + byte]: the code of string `code` followed by `byte`, 0 when none.
    std::vector<std::uint16_t> child(4096 * 256, 0);
    std::vector<std::uint32_t> used;
    unsigned next = kFirstCode;
    int width = 9;
    const auto reset = [&] {
        for (std::uint32_t slot : used) child[slot] = 0;
        used.clear();
        next = kFirstCode;
        width = 9;
    };
    // Counts one more table entry, widening or clearing as the reader will.
    const auto grow = [&] {
        ++next;
        if (next == kTableFull) {
            bits.put(kClear, width);
            reset();
        } else if (next > (1u << width) - 1) {
            ++width;
        }
    };
    bits.put(kClear, width);
    if (size > 0) {
        unsigned current = data[0];
        for (std::size_t i = 1; i < size; ++i) {
            const std::uint32_t slot = current * 256 + data[i];
            if (child[slot] != 0) {
                current = child[slot];
                continue;
            }
            bits.put(current, width);
            child[slot] = std::uint16_t(next);
            used.push_back(slot);
            grow();
            current = data[i];
        }
        bits.put(current, width);
        grow();
    }
    bits.put(kEndOfInfo, width);
    bits.flush();
    return out;
}

/// PackBits, row by row: runs of three or more equal bytes repeated, the rest literal.
void encodePackBitsRow(const std::uint8_t* row, std::size_t size, std::vector<std::uint8_t>& out) {
    std::size_t i = 0;
    while (i < size) {
        std::size_t run = 1;
        while (i + run < size && run < 128 && row[i + run] == row[i]) ++run;
        if (run >= 3) {
            out.push_back(std::uint8_t(257 - run));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        // A literal stretch ends before the next run of three.
        std::size_t start = i, length = 0;
        while (i < size && length < 128) {
            if (i + 2 < size && row[i] == row[i + 1] && row[i] == row[i + 2]) break;
            ++i;
            ++length;
        }
        out.push_back(std::uint8_t(length - 1));
        out.insert(out.end(), row + start, row + start + length);
    }
}

// ---- file ----

void put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void set32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int b = 0; b < 4; ++b) out[at + b] = std::uint8_t(v >> (8 * b));
}

enum : unsigned { SHORT = 3, LONG = 4, RATIONAL = 5 };

/// The rows of the page in the file's sample layout.
std::vector<std::uint8_t> packRows(const GreyPage& page, int bits, std::size_t& rowBytes) {
    rowBytes = bits == 1 ? (std::size_t(page.Width) + 7) / 8 : std::size_t(page.Width);
    std::vector<std::uint8_t> rows(rowBytes * page.Height, 0);
    for (int y = 0; y < page.Height; ++y) {
        const std::uint8_t* src = &page.Pixels[std::size_t(y) * page.Width];
        std::uint8_t* dst = &rows[std::size_t(y) * rowBytes];
        if (bits == 8) {
            std::copy(src, src + page.Width, dst);
            continue;
        }
        for (int x = 0; x < page.Width; ++x)
            if (src[x] < 128) dst[x >> 3] |= std::uint8_t(0x80 >> (x & 7));  // white is zero
    }
    return rows;
}

}  // namespace

int a4Width(int dpi) { return int(210.0 / 25.4 * dpi + 0.5); }
int a4Height(int dpi) { return int(297.0 / 25.4 * dpi + 0.5); }

std::vector<std::uint8_t> encodeTiff(const GreyPage& page, int bits, TiffCoding coding, int dpi) {
    if (bits != 1 && bits != 8) throw std::invalid_argument("page images are 1 or 8 bits deep");
    if (page.Width <= 0 || page.Height <= 0 || page.Pixels.size() != std::size_t(page.Width) * page.Height)
        throw std::invalid_argument("empty page");
    std::size_t rowBytes = 0;
    const std::vector<std::uint8_t> rows = packRows(page, bits, rowBytes);
    const int rowsPerStrip = int(std::max<std::size_t>(1, 8192 / rowBytes));
    std::vector<std::vector<std::uint8_t>> strips;
    for (int y = 0; y < page.Height; y += rowsPerStrip) {
        const int count = std::min(rowsPerStrip, page.Height - y);
        const std::uint8_t* first = &rows[std::size_t(y) * rowBytes];
        if (coding == TiffCoding::LZW) {
            strips.push_back(encodeLZW(first, rowBytes * count));
        } else {
            std::vector<std::uint8_t> strip;
            for (int r = 0; r < count; ++r) encodePackBitsRow(first + r * rowBytes, rowBytes, strip);
            strips.push_back(std::move(strip));
        }
    }

    constexpr int kTags = 12;
    const std::uint32_t n = std::uint32_t(strips.size());
    const std::uint32_t ifd = 8, afterIfd = ifd + 2 + kTags * 12 + 4;
    const std::uint32_t offsetsAt = afterIfd, countsAt = offsetsAt + (n > 1 ? 4 * n : 0);
    const std::uint32_t resolutionAt = countsAt + (n > 1 ? 4 * n : 0);
    std::uint32_t dataAt = resolutionAt + 16;

    std::vector<std::uint8_t> out{'I', 'I', 42, 0};
    put32(out, ifd);
    put16(out, kTags);
    const auto tag = [&](unsigned number, unsigned type, std::uint32_t count, std::uint32_t value) {
        put16(out, number);
        put16(out, type);
        put32(out, count);
        if (type == SHORT && count == 1) {
            put16(out, value);
            put16(out, 0);
        } else {
            put32(out, value);
        }
    };
    tag(256, LONG, 1, std::uint32_t(page.Width));
    tag(257, LONG, 1, std::uint32_t(page.Height));
    tag(258, SHORT, 1, std::uint32_t(bits));
    tag(259, SHORT, 1, coding == TiffCoding::LZW ? 5 : 32773);
    tag(262, SHORT, 1, bits == 1 ? 0 : 1);
    const std::size_t offsetsValue = out.size() + 8;  // where a single strip's offset is written
    tag(273, LONG, n, n > 1 ? offsetsAt : 0);
    tag(277, SHORT, 1, 1);
    tag(278, LONG, 1, std::uint32_t(rowsPerStrip));
    tag(279, LONG, n, n > 1 ? countsAt : std::uint32_t(strips[0].size()));
    tag(282, RATIONAL, 1, resolutionAt);
    tag(283, RATIONAL, 1, resolutionAt + 8);
    tag(296, SHORT, 1, 2);  // inches
    put32(out, 0);          // no further directory
    if (n > 1) {
        std::uint32_t at = dataAt;
        for (const auto& s : strips) {
            put32(out, at);
            at += std::uint32_t(s.size());
        }
        for (const auto& s : strips) put32(out, std::uint32_t(s.size()));
    } else {
        set32(out, offsetsValue, dataAt);
    }
    for (int i = 0; i < 2; ++i) {
        put32(out, std::uint32_t(dpi));
        put32(out, 1);
    }
    for (const auto& s : strips) out.insert(out.end(), s.begin(), s.end());
    return out;
}

void writeTiff(const GreyPage& page, int bits, TiffCoding coding, int dpi, const std::string& path) {
    const std::vector<std::uint8_t> bytes = encodeTiff(page, bits, coding, dpi);
    const std::string temporary = path + ".part";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!file) throw std::runtime_error("cannot write " + path);
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        throw std::runtime_error("cannot write " + path);
    }
}

GreyPage paintFormPage(const std::string& title, const std::string& subtitle, int width, int height) {
    Canvas canvas(width, height, 1);
    const double u = width / 1240.0;  // one pixel of a page at 150 dpi
    const Rgb black{0, 0, 0}, grey{110, 110, 110}, light{200, 200, 200};
    const double left = 70 * u, right = width - 70 * u, top = 70 * u, bottom = height - 70 * u;
    const auto frame = [&](double x0, double y0, double x1, double y1, double w, Rgb c) {
        canvas.rect(x0, y0, x1, y0 + w, c);
        canvas.rect(x0, y1 - w, x1, y1, c);
        canvas.rect(x0, y0, x0 + w, y1, c);
        canvas.rect(x1 - w, y0, x1, y1, c);
    };
    frame(left, top, right, bottom, 5 * u, black);
    drawStrokeText(canvas, title, left + 40 * u, top + 40 * u, 48 * u, 1.0, black);
    drawStrokeText(canvas, subtitle, left + 40 * u, top + 120 * u, 24 * u, 1.0, grey);
    canvas.rect(left, top + 180 * u, right, top + 186 * u, black);
    int row = 0;
    for (double y = top + 230 * u; y + 60 * u < bottom - 60 * u; y += 62 * u, ++row) {
        // A printed line of text as a grey bar, a dotted answer line and a tick box.
        const double bar = (380 + (row * 137) % 420) * u;
        canvas.rect(left + 40 * u, y + 16 * u, left + 40 * u + bar, y + 32 * u, grey);
        for (double x = left + 60 * u + bar; x < right - 140 * u; x += 14 * u)
            canvas.rect(x, y + 40 * u, x + 6 * u, y + 43 * u, light);
        frame(right - 100 * u, y + 6 * u, right - 56 * u, y + 50 * u, 3 * u, black);
    }
    const Image image = canvas.resolve();
    GreyPage page{width, height, std::vector<std::uint8_t>(std::size_t(width) * height)};
    for (std::size_t i = 0; i < page.Pixels.size(); ++i) {
        const Rgb& p = image.Pixels[i];
        page.Pixels[i] = std::uint8_t((p.r * 77 + p.g * 150 + p.b * 29) >> 8);
    }
    return page;
}

const std::vector<PageFile>& samplePageFiles() {
    using enum TiffCoding;
    // Each series ends at its first missing page. German PDI page 2 is missing on purpose: the
    // English page stands in for it. German body-and-paint page 1 is missing: the English one
    // stands in and the series ends. Some names are in mixed case, as they ship.
    static const std::vector<PageFile> files = {
        {"ENPDI1.TIF", "PDI CHECKSHEET", "EN - PAGE 1", 1, LZW},
        {"ENPDI2.TIF", "PDI CHECKSHEET", "EN - PAGE 2", 1, PackBits},
        {"ENPDI3.TIF", "PDI CHECKSHEET", "EN - PAGE 3", 8, LZW},
        {"DEPDI1.TIF", "AUSLIEFERUNGSINSPEKTION", "DE - SEITE 1", 1, LZW},
        {"DEPDI3.TIF", "AUSLIEFERUNGSINSPEKTION", "DE - SEITE 3", 8, PackBits},
        {"BXPDI1.TIF", "AUSLIEFERUNGSINSPEKTION", "BX DE - SEITE 1", 1, PackBits},
        {"BXPDI2.TIF", "AUSLIEFERUNGSINSPEKTION", "BX DE - SEITE 2", 1, LZW},
        {"ENBP1.TIF", "PAINT AND BODY CHECK", "EN - PAGE 1", 8, LZW},
        {"enbp2.tif", "PAINT AND BODY CHECK", "EN - PAGE 2", 1, LZW},
        {"ENBCS1.TIF", "BUDGET CHECKSHEET", "EN - PAGE 1", 1, LZW},
        {"ENBCS2.TIF", "BUDGET CHECKSHEET", "EN - PAGE 2", 8, PackBits},
        {"DEBCS1.TIF", "PREISWERT-CHECKLISTE", "DE - SEITE 1", 1, PackBits},
        {"GBENMP1.TIF", "PELLOR PETROL", "GB EN - PAGE 1", 1, LZW},
        {"GBENMP2.TIF", "PELLOR PETROL", "GB EN - PAGE 2", 1, PackBits},
        {"GBENMD1.TIF", "PELLOR DIESEL", "GB EN - PAGE 1", 8, LZW},
        {"AnnProt.TIF", "ANNUAL PROTECTION CHECK", "DX - PAGE 1", 1, LZW},
        {"DXChkF1.TIF", "FRUEHJAHRSCHECK", "DX - SEITE 1", 1, LZW},
        {"DXChkF2.TIF", "FRUEHJAHRSCHECK", "DX - SEITE 2", 8, PackBits},
        {"DXChkU1.TIF", "URLAUBSCHECK", "DX - SEITE 1", 1, PackBits},
        {"DXChkW1.TIF", "WINTERCHECK", "DX - SEITE 1", 8, LZW},
        {"ENTRAIN1.TIF", "TRAINING SHEET", "EN - PAGE 1", 1, LZW},
        {"ENTRAIN2.TIF", "TRAINING SHEET", "EN - PAGE 2", 1, PackBits},
        {"ENTRAIN3.TIF", "TRAINING SHEET", "EN - PAGE 3", 8, LZW},
        {"DETRAIN1.TIF", "SCHULUNGSBLATT", "DE - SEITE 1", 1, LZW},
        {"DETRAIN2.TIF", "SCHULUNGSBLATT", "DE - SEITE 2", 8, PackBits},
    };
    return files;
}

void writeSamplePages(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) throw std::runtime_error("cannot create " + folder);
    const int w = a4Width(SamplePageDpi), h = a4Height(SamplePageDpi);
    for (const PageFile& f : samplePageFiles())
        writeTiff(paintFormPage(f.Title, f.Subtitle, w, h), f.Bits, f.Coding, SamplePageDpi, folder + "/" + f.File);
}

}  // namespace artwork
