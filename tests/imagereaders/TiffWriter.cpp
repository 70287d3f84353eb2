// Test writer of TIFF files and packed streams; see TiffWriter.h.
#include "TiffWriter.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace tiffwriter {

namespace {

struct Out {
    bool Big;
    std::vector<uint8_t> Bytes;
    void U16(uint32_t v) { Put16(Bytes, uint16_t(v), Big); }
    void U32(uint32_t v) {
        if (Big) { U16(v >> 16); U16(v & 0xFFFF); }
        else { U16(v & 0xFFFF); U16(v >> 16); }
    }
    void Align() { if (Bytes.size() & 1) Bytes.push_back(0); }
};

size_t TypeSize(uint16_t type) {
    switch (type) {
        case 1: case 2: case 6: case 7: return 1;
        case 3: case 8: return 2;
        case 4: case 9: return 4;
        default: return 8;
    }
}

void PutValues(Out& out, const Tag& tag) {
    const size_t size = TypeSize(tag.Type);
    for (uint32_t v : tag.Values) {
        if (size == 1) out.Bytes.push_back(uint8_t(v));
        else if (size == 2) out.U16(v);
        else out.U32(v);
    }
}

/// Horizontal differencing of one row, the inverse of the reader's predictor.
void Difference(const Image& im, uint8_t* row) {
    const size_t stride = im.Samples;
    const size_t n = size_t(im.Width) * stride;
    if (im.Bits[0] == 8) {
        for (size_t i = n; i-- > stride;) row[i] = uint8_t(row[i] - row[i - stride]);
    } else if (im.Bits[0] == 16) {
        auto get = [&](size_t i) { const uint8_t* p = row + 2 * i; return im.BigEndian ? p[0] << 8 | p[1] : p[1] << 8 | p[0]; };
        for (size_t i = n; i-- > stride;) {
            const unsigned v = uint16_t(get(i) - get(i - stride));
            uint8_t* p = row + 2 * i;
            if (im.BigEndian) { p[0] = uint8_t(v >> 8); p[1] = uint8_t(v); }
            else { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
        }
    }
}

/// Writes the image's strips and directory into `out`; returns the directory's offset and leaves
/// the position of its next-directory field in `nextField`.
uint32_t WriteImage(Out& out, const Image& im, size_t& nextField) {
    const uint32_t line = LineBytes(im);
    const uint32_t rps = im.RowsPerStrip.value_or(im.Height);
    const uint32_t strips = rps && rps < im.Height ? (im.Height + rps - 1) / rps : 1;
    std::vector<uint32_t> offsets, counts;
    if (!im.SharedStrip.empty()) {
        out.Align();
        offsets.assign(strips, uint32_t(out.Bytes.size()));
        counts.assign(strips, uint32_t(im.SharedStrip.size()));
        out.Bytes.insert(out.Bytes.end(), im.SharedStrip.begin(), im.SharedStrip.end());
    }
    for (uint32_t s = 0; s < strips && im.SharedStrip.empty(); ++s) {
        const uint32_t first = s * rps, rows = std::min(rps, im.Height - first);
        std::vector<uint8_t> raw(im.Pixels.begin() + size_t(first) * line,
                                 im.Pixels.begin() + std::min(im.Pixels.size(), size_t(first + rows) * line));
        if (im.Predictor == 2)
            for (uint32_t r = 0; r * line < raw.size(); ++r) Difference(im, raw.data() + size_t(r) * line);
        if (im.Compression == kLZW) raw = EncodeTIFFLZW(raw);
        else if (im.Compression == kPackBits) raw = EncodePackBits(raw);
        out.Align();
        offsets.push_back(uint32_t(out.Bytes.size()));
        counts.push_back(uint32_t(raw.size()));
        out.Bytes.insert(out.Bytes.end(), raw.begin(), raw.end());
    }
    const uint16_t tableType = im.ShortStripTables ? 3 : 4;
    std::vector<Tag> tags = {
        {256, 4, {im.Width}},
        {257, 4, {im.Height}},
        {258, 3, std::vector<uint32_t>(im.Bits.begin(), im.Bits.end())},
        {262, 3, {im.Photometric}},
        {273, tableType, offsets},
        {277, 3, {im.Samples}},
        {279, tableType, counts},
    };
    if (!im.OmitCompression) tags.push_back({259, 3, {im.Compression}});
    if (im.RowsPerStrip && im.WriteRowsPerStrip) tags.push_back({278, 4, {*im.RowsPerStrip}});
    if (im.Predictor != 1) tags.push_back({317, 3, {im.Predictor}});
    if (!im.ColorMap.empty()) tags.push_back({320, 3, std::vector<uint32_t>(im.ColorMap.begin(), im.ColorMap.end())});
    if (!im.ExtraSamples.empty()) tags.push_back({338, 3, std::vector<uint32_t>(im.ExtraSamples.begin(), im.ExtraSamples.end())});
    for (const Tag& t : im.Extra) tags.push_back(t);
    std::stable_sort(tags.begin(), tags.end(), [](const Tag& a, const Tag& b) { return a.Number < b.Number; });
    // Values that do not fit in an entry go before the directory.
    std::vector<uint32_t> where(tags.size(), 0);
    for (size_t i = 0; i < tags.size(); ++i) {
        const size_t count = tags[i].Type == 5 ? tags[i].Values.size() / 2 : tags[i].Values.size();
        if (count * TypeSize(tags[i].Type) > 4) {
            out.Align();
            where[i] = uint32_t(out.Bytes.size());
            if (tags[i].Type == 5) for (uint32_t v : tags[i].Values) out.U32(v);
            else PutValues(out, tags[i]);
        }
    }
    out.Align();
    const uint32_t dir = uint32_t(out.Bytes.size());
    out.U16(uint32_t(tags.size()));
    for (size_t i = 0; i < tags.size(); ++i) {
        const Tag& t = tags[i];
        const size_t count = t.Type == 5 ? t.Values.size() / 2 : t.Values.size();
        out.U16(t.Number);
        out.U16(t.Type);
        out.U32(uint32_t(count));
        if (where[i] || t.Type == 5) {
            out.U32(where[i]);
        } else {
            const size_t before = out.Bytes.size();
            PutValues(out, t);
            while (out.Bytes.size() < before + 4) out.Bytes.push_back(0);
        }
    }
    nextField = out.Bytes.size();
    out.U32(0);
    return dir;
}

void Patch32(Out& out, size_t at, uint32_t v) {
    Out tmp{out.Big, {}};
    tmp.U32(v);
    std::memcpy(out.Bytes.data() + at, tmp.Bytes.data(), 4);
}

}  // namespace

void Put16(std::vector<uint8_t>& out, uint16_t value, bool bigEndian) {
    if (bigEndian) { out.push_back(uint8_t(value >> 8)); out.push_back(uint8_t(value)); }
    else { out.push_back(uint8_t(value)); out.push_back(uint8_t(value >> 8)); }
}

uint32_t LineBytes(const Image& im) { return uint32_t((uint64_t(im.Width) * im.Bits[0] * im.Samples + 7) / 8); }

std::vector<uint8_t> Write(const Image& image, const Image* second) {
    Out out{image.BigEndian, {}};
    out.Bytes = image.BigEndian ? std::vector<uint8_t>{'M', 'M'} : std::vector<uint8_t>{'I', 'I'};
    out.U16(42);
    out.U32(0);
    size_t next = 0;
    const uint32_t dir = WriteImage(out, image, next);
    Patch32(out, 4, dir);
    if (second) {
        size_t next2 = 0;
        const uint32_t dir2 = WriteImage(out, *second, next2);
        Patch32(out, next, dir2);
    }
    return out.Bytes;
}

// ---- Packed streams -------------------------------------------------------------------------

namespace {

/// Code dictionary of the LZW encoders: (prefix code, byte) to code.
struct Dictionary {
    std::vector<uint16_t> Codes = std::vector<uint16_t>(4096 * 256, 0);
    uint16_t Find(unsigned prefix, uint8_t b) const { return Codes[prefix * 256 + b]; }
    void Add(unsigned prefix, uint8_t b, unsigned code) { Codes[prefix * 256 + b] = uint16_t(code); }
    void Clear() { std::fill(Codes.begin(), Codes.end(), 0); }
};

}  // namespace

std::vector<uint8_t> EncodeTIFFLZW(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out;
    uint64_t acc = 0;
    int bits = 0, width = 9;
    auto emit = [&](unsigned code) {
        acc = (acc << width) | code;
        bits += width;
        while (bits >= 8) { out.push_back(uint8_t(acc >> (bits - 8))); bits -= 8; }
    };
    Dictionary dict;
    unsigned next = 258;
    emit(256);
    if (data.empty()) { emit(257); if (bits) out.push_back(uint8_t(acc << (8 - bits))); return out; }
    unsigned w = data[0];
    bool fresh = true;  // w is the first code after a clear
    for (size_t i = 1; i < data.size(); ++i) {
        const uint8_t c = data[i];
        if (const uint16_t code = dict.Find(w, c)) { w = code; continue; }
        emit(w);
        fresh = false;
        dict.Add(w, c, next++);
        if (next == (1u << width) && width < 12) ++width;
        if (next == 4094) {
            emit(256);
            width = 9;
            next = 258;
            dict.Clear();
            fresh = true;
        }
        w = c;
    }
    emit(w);
    // The reader adds an entry for this last code too (unless it follows a clear): its width may grow.
    if (!fresh && next == (1u << width) - 1 && width < 12) ++width;
    emit(257);
    if (bits) out.push_back(uint8_t(acc << (8 - bits)));
    return out;
}

std::vector<uint8_t> EncodePackBits(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < data.size()) {
        size_t run = 1;
        while (i + run < data.size() && run < 128 && data[i + run] == data[i]) ++run;
        if (run >= 2) {
            out.push_back(uint8_t(int8_t(1 - int(run))));
            out.push_back(data[i]);
            i += run;
            continue;
        }
        size_t lit = 1;
        while (i + lit < data.size() && lit < 128 && !(i + lit + 1 < data.size() && data[i + lit] == data[i + lit + 1])) ++lit;
        out.push_back(uint8_t(lit - 1));
        out.insert(out.end(), data.begin() + i, data.begin() + i + lit);
        i += lit;
    }
    return out;
}

std::vector<uint8_t> EncodeGIFLZW(const std::vector<uint8_t>& data, int codeSize, bool deferClear) {
    std::vector<uint8_t> out;
    uint64_t acc = 0;
    int bits = 0;
    const unsigned clear = 1u << codeSize, end = clear + 1;
    int width = codeSize + 1;
    unsigned next = clear + 2;
    auto emit = [&](unsigned code) {
        acc |= uint64_t(code) << bits;
        bits += width;
        while (bits >= 8) { out.push_back(uint8_t(acc)); acc >>= 8; bits -= 8; }
    };
    Dictionary dict;
    emit(clear);
    if (!data.empty()) {
        unsigned w = data[0];
        for (size_t i = 1; i < data.size(); ++i) {
            const uint8_t c = data[i];
            if (const uint16_t code = dict.Find(w, c); code && next <= 4096) { w = code; continue; }
            emit(w);
            if (next > (1u << width) - 1 && width < 12) ++width;
            if (next < 4096) {
                dict.Add(w, c, next++);
            } else if (!deferClear) {
                emit(clear);
                width = codeSize + 1;
                next = clear + 2;
                dict.Clear();
            }
            w = c;
        }
        emit(w);
        if (next > (1u << width) - 1 && width < 12) ++width;
    }
    emit(end);
    if (bits) out.push_back(uint8_t(acc));
    return out;
}

}  // namespace tiffwriter
