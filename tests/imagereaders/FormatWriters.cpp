// Test writers of the other picture formats: headers, tables and packed data laid out as the
// readers expect them, with switches for the damaged and unusual variants the tests need.
#include "FormatWriters.h"

#include "TiffWriter.h"

#include <algorithm>
#include <cstring>

namespace formatwriters {

namespace {

void Le16(Bytes& out, unsigned v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Be16(Bytes& out, unsigned v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}
void Be32(Bytes& out, uint32_t v) {
    Be16(out, v >> 16);
    Be16(out, v & 0xFFFF);
}
void PutBe16(Bytes& out, size_t at, unsigned v) {
    out[at] = uint8_t(v >> 8);
    out[at + 1] = uint8_t(v);
}
void PutBe32(Bytes& out, size_t at, uint32_t v) {
    PutBe16(out, at, v >> 16);
    PutBe16(out, at + 2, v & 0xFFFF);
}
void Append(Bytes& out, const Bytes& data) { out.insert(out.end(), data.begin(), data.end()); }

}  // namespace

// ---- Targa ----

Bytes TargaPackets(const uint8_t* pixels, size_t count, size_t pixelSize) {
    Bytes out;
    auto same = [&](size_t a, size_t b) { return std::memcmp(pixels + a * pixelSize, pixels + b * pixelSize, pixelSize) == 0; };
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run)) ++run;
        if (run >= 2) {
            out.push_back(uint8_t(0x80 | (run - 1)));
            out.insert(out.end(), pixels + i * pixelSize, pixels + (i + 1) * pixelSize);
            i += run;
            continue;
        }
        size_t n = 1;
        while (i + n < count && n < 128 && !(i + n + 1 < count && same(i + n, i + n + 1))) ++n;
        out.push_back(uint8_t(n - 1));
        out.insert(out.end(), pixels + i * pixelSize, pixels + (i + n) * pixelSize);
        i += n;
    }
    return out;
}

Bytes Write(const Targa& t) {
    Bytes out;
    out.push_back(uint8_t(t.Identifier.size()));
    out.push_back(uint8_t(t.MapType));
    out.push_back(uint8_t(t.Type));
    Le16(out, 0);
    const size_t entrySize = t.MapEntryBits == 24 ? 3 : t.MapEntryBits == 32 ? 4 : 2;
    Le16(out, t.MapLength >= 0 ? unsigned(t.MapLength) : unsigned(t.Map.size() / entrySize));
    out.push_back(uint8_t(t.MapEntryBits));
    Le16(out, 0);
    Le16(out, 0);
    Le16(out, unsigned(t.Width));
    Le16(out, unsigned(t.Height));
    out.push_back(uint8_t(t.Bits));
    out.push_back(t.Descriptor);
    out.insert(out.end(), t.Identifier.begin(), t.Identifier.end());
    Append(out, t.Map);
    if (t.Type < 9) {
        Append(out, t.Pixels);
        return out;
    }
    const size_t pixelSize = t.Bits == 15 ? 2 : size_t(t.Bits) / 8;
    if (t.PacketsCrossRows) {
        Append(out, TargaPackets(t.Pixels.data(), t.Pixels.size() / pixelSize, pixelSize));
    } else {
        const size_t line = size_t(t.Width) * pixelSize;
        for (int y = 0; y < t.Height; ++y) Append(out, TargaPackets(t.Pixels.data() + size_t(y) * line, size_t(t.Width), pixelSize));
    }
    return out;
}

// ---- SGI ----

Bytes SgiPackets(const Bytes& row, int sampleSize) {
    Bytes out;
    const size_t count = row.size() / size_t(sampleSize);
    auto put = [&](unsigned v) {
        if (sampleSize == 2) out.push_back(0);
        out.push_back(uint8_t(v));
    };
    auto sample = [&](size_t i) { return row.data() + i * size_t(sampleSize); };
    auto same = [&](size_t a, size_t b) { return std::memcmp(sample(a), sample(b), size_t(sampleSize)) == 0; };
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 127 && same(i, i + run)) ++run;
        if (run >= 3) {
            put(unsigned(run));
            out.insert(out.end(), sample(i), sample(i) + sampleSize);
            i += run;
            continue;
        }
        size_t n = 1;
        while (i + n < count && n < 127 && !(i + n + 2 < count && same(i + n, i + n + 1) && same(i + n, i + n + 2))) ++n;
        put(0x80 | unsigned(n));
        out.insert(out.end(), sample(i), sample(i) + n * size_t(sampleSize));
        i += n;
    }
    put(0);
    return out;
}

Bytes Write(const Sgi& s) {
    Bytes out(s.Prefix, 0xEE);
    const size_t base = out.size();
    out.resize(base + 512, 0);
    PutBe16(out, base, 474);
    out[base + 2] = s.RunLength ? 1 : 0;
    out[base + 3] = uint8_t(s.SampleSize);
    PutBe16(out, base + 4, s.Depth > 1 ? 3 : 2);
    PutBe16(out, base + 6, unsigned(s.Width));
    PutBe16(out, base + 8, unsigned(s.Height));
    PutBe16(out, base + 10, unsigned(s.Depth));
    PutBe32(out, base + 16, s.SampleSize == 2 ? 65535 : 255);
    if (!s.RunLength) {
        for (const Bytes& row : s.Rows) Append(out, row);
        return out;
    }
    const size_t n = s.Rows.size();
    const size_t tables = out.size();
    out.resize(tables + 8 * n, 0);
    for (size_t i = 0; i < n; ++i) {
        const Bytes packed = SgiPackets(s.Rows[i], s.SampleSize);
        PutBe32(out, tables + 4 * i, uint32_t(out.size() - base));
        PutBe32(out, tables + 4 * (n + i), uint32_t(packed.size()));  // in bytes, as writers give it
        Append(out, packed);
    }
    return out;
}

// ---- Autodesk ----

Bytes Autodesk(int width, int height, const Bytes& palette768, const Bytes& pixels) {
    Bytes out;
    Le16(out, 0x9119);
    Le16(out, unsigned(width));
    Le16(out, unsigned(height));
    out.resize(32, 0);
    Append(out, palette768);
    out.resize(32 + 768, 0);
    Append(out, pixels);
    return out;
}

// ---- PCX ----

Bytes PcxPackets(const Bytes& data) {
    Bytes out;
    size_t i = 0;
    while (i < data.size()) {
        size_t run = 1;
        while (i + run < data.size() && run < 63 && data[i + run] == data[i]) ++run;
        if (run > 1 || data[i] >= 192) {
            out.push_back(uint8_t(192 | run));
            out.push_back(data[i]);
        } else {
            out.push_back(data[i]);
        }
        i += run;
    }
    return out;
}

Bytes Write(const Pcx& p) {
    Bytes out(128, 0);
    out[0] = p.Manufacturer;
    out[1] = p.Version;
    out[2] = p.Encoding;
    out[3] = p.BitsPerPixel;
    auto put16 = [&](size_t at, unsigned v) {
        out[at] = uint8_t(v);
        out[at + 1] = uint8_t(v >> 8);
    };
    put16(4, unsigned(p.XMin));
    put16(6, unsigned(p.YMin));
    put16(8, unsigned(p.XMax));
    put16(10, unsigned(p.YMax));
    std::copy_n(p.HeaderPalette.begin(), std::min<size_t>(48, p.HeaderPalette.size()), out.begin() + 16);
    out[65] = p.Planes;
    put16(66, unsigned(p.BytesPerLine));
    put16(68, unsigned(p.PaletteInfo));
    Append(out, p.Encoding == 1 ? PcxPackets(p.Lines) : p.Lines);
    if (p.TailPalette) {
        out.push_back(12);
        Bytes tail = p.Tail;
        tail.resize(768, 0);
        Append(out, tail);
    }
    return out;
}

// ---- Photo-CD ----

Bytes PhotoCD(int orientation, uint8_t (*luma)(int x, int y), uint8_t c1, uint8_t c2) {
    Bytes out(196608 + 3 * 768 * 256, 0);
    std::memcpy(out.data() + 2048, "PCD_IPI", 7);
    out[194635] = uint8_t(orientation);
    const struct {
        size_t Offset;
        int W, H;
    } levels[] = {{8192, 192, 128}, {47104, 384, 256}, {196608, 768, 512}};
    for (const auto& l : levels) {
        for (int g = 0; g < l.H / 2; ++g) {
            uint8_t* p = out.data() + l.Offset + size_t(g) * 3 * size_t(l.W);
            for (int x = 0; x < l.W; ++x) {
                p[x] = luma(x, 2 * g);
                p[l.W + x] = luma(x, 2 * g + 1);
            }
            std::memset(p + 2 * l.W, c1, size_t(l.W) / 2);
            std::memset(p + 2 * l.W + l.W / 2, c2, size_t(l.W) / 2);
        }
    }
    return out;
}

// ---- CUT ----

Bytes Write(const Cut& c) {
    Bytes out;
    Le16(out, unsigned(c.Width));
    Le16(out, unsigned(c.Height));
    Le16(out, 0);
    for (int y = 0; y < c.Height; ++y) {
        const uint8_t* row = c.Pixels.data() + size_t(y) * size_t(c.Width);
        Bytes line;
        size_t i = 0, w = size_t(c.Width);
        while (i < w) {
            size_t run = 1;
            while (i + run < w && run < 127 && row[i + run] == row[i]) ++run;
            if (run >= 3) {
                line.push_back(uint8_t(0x80 | run));
                line.push_back(row[i]);
                i += run;
            } else {
                size_t n = std::min<size_t>(run, 127);
                while (i + n < w && n < 127 && !(i + n + 2 < w && row[i + n] == row[i + n + 1] && row[i + n] == row[i + n + 2])) ++n;
                line.push_back(uint8_t(n));
                line.insert(line.end(), row + i, row + i + n);
                i += n;
            }
        }
        line.push_back(0);
        Le16(out, unsigned(line.size()));
        Append(out, line);
    }
    return out;
}

Bytes CutPalette(const Bytes& rgb) {
    const size_t count = rgb.size() / 3;
    Bytes out(512, 0);
    out[0] = 'A';
    out[1] = 'H';
    out[12] = uint8_t(count - 1);
    out[13] = uint8_t((count - 1) >> 8);
    size_t pos = 40;
    for (size_t i = 0; i < count; ++i) {
        if (pos % 512 > 506) pos = (pos / 512 + 1) * 512;
        if (out.size() < pos + 6) out.resize((pos / 512 + 1) * 512, 0);
        for (int k = 0; k < 3; ++k) {
            out[pos + 2 * size_t(k)] = rgb[3 * i + size_t(k)];
            out[pos + 2 * size_t(k) + 1] = 0;
        }
        pos += 6;
    }
    return out;
}

// ---- GIF ----

Bytes GifGraphicControl(uint16_t delay) {
    Bytes out = {'!', 0xF9, 4, 0};
    Le16(out, delay);
    out.push_back(0);
    out.push_back(0);
    return out;
}

Bytes Write(const Gif& g) {
    Bytes out = {uint8_t(g.Lowercase ? 'g' : 'G'), uint8_t(g.Lowercase ? 'i' : 'I'), uint8_t(g.Lowercase ? 'f' : 'F'), '8', '9', 'a'};
    auto tableBits = [](size_t bytes) {
        unsigned n = 0;
        while ((size_t(2) << n) * 3 < bytes) ++n;
        return n;
    };
    Le16(out, unsigned(g.ScreenWidth));
    Le16(out, unsigned(g.ScreenHeight));
    out.push_back(g.Global.empty() ? 0 : uint8_t(0x80 | tableBits(g.Global.size())));
    out.push_back(0);
    out.push_back(0);
    Append(out, g.Global);
    Append(out, g.Extensions);
    out.push_back(',');
    Le16(out, 0);
    Le16(out, 0);
    Le16(out, unsigned(g.Width));
    Le16(out, unsigned(g.Height));
    out.push_back(uint8_t((g.Local.empty() ? 0 : 0x80 | tableBits(g.Local.size())) | (g.Interlaced ? 0x40 : 0)));
    Append(out, g.Local);
    out.push_back(uint8_t(g.CodeSize));
    const Bytes packed = tiffwriter::EncodeGIFLZW(g.Pixels, g.CodeSize);
    for (size_t i = 0; i < packed.size(); i += g.SubBlock) {
        const size_t n = std::min(g.SubBlock, packed.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), packed.begin() + int64_t(i), packed.begin() + int64_t(i + n));
    }
    out.push_back(0);
    out.push_back(';');
    return out;
}

// ---- RLA ----

Bytes RlaPackets(const uint8_t* data, size_t count) {
    Bytes out;
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && data[i + run] == data[i]) ++run;
        if (run >= 2) {
            out.push_back(uint8_t(run - 1));
            out.push_back(data[i]);
            i += run;
            continue;
        }
        size_t n = 1;
        while (i + n < count && n < 128 && !(i + n + 1 < count && data[i + n] == data[i + n + 1])) ++n;
        out.push_back(uint8_t(-int(n)));
        out.insert(out.end(), data + i, data + i + n);
        i += n;
    }
    return out;
}

Bytes Write(const Rla& r) {
    Bytes out(740, 0);
    PutBe16(out, 8, unsigned(uint16_t(int16_t(r.Left))));
    PutBe16(out, 10, unsigned(uint16_t(int16_t(r.Right))));
    PutBe16(out, 12, unsigned(uint16_t(int16_t(r.Bottom))));
    PutBe16(out, 14, unsigned(uint16_t(int16_t(r.Top))));
    PutBe16(out, 20, unsigned(r.Channels));
    PutBe16(out, 22, unsigned(r.Matte));
    const size_t width = size_t(r.Right - r.Left + 1);
    const size_t channels = r.Matte ? 4 : 3;
    const size_t table = out.size();
    out.resize(table + 4 * r.Rows.size(), 0);
    for (size_t y = 0; y < r.Rows.size(); ++y) {
        PutBe32(out, table + 4 * y, uint32_t(out.size()));
        for (size_t c = 0; c < channels; ++c) {
            const uint8_t* data = r.Rows[y].data() + c * width;
            Bytes packed;
            if (r.RunLength) {
                packed = RlaPackets(data, width);
            } else {
                for (size_t i = 0; i < width; i += 128) {
                    const size_t n = std::min<size_t>(128, width - i);
                    packed.push_back(uint8_t(-int(n)));
                    packed.insert(packed.end(), data + i, data + i + n);
                }
            }
            Be16(out, unsigned(packed.size()));
            Append(out, packed);
        }
    }
    return out;
}

// ---- Photoshop ----

Bytes Write(const Psd& p) {
    Bytes out = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
    Be16(out, unsigned(p.Channels));
    Be32(out, p.Height);
    Be32(out, p.Width);
    Be16(out, unsigned(p.Depth));
    Be16(out, unsigned(p.Mode));
    for (const Bytes* section : {&p.ModeData, &p.Resources, &p.Layers}) {
        Be32(out, uint32_t(section->size()));
        Append(out, *section);
    }
    Be16(out, p.PackBits ? 1 : 0);
    if (!p.PackBits) {
        for (const Bytes& plane : p.Planes) Append(out, plane);
        return out;
    }
    const size_t rows = p.Height;
    std::vector<Bytes> packedRows;
    for (const Bytes& plane : p.Planes) {
        const size_t rowSize = rows ? plane.size() / rows : 0;
        for (size_t y = 0; y < rows; ++y)
            packedRows.push_back(tiffwriter::EncodePackBits(Bytes(plane.begin() + int64_t(y * rowSize), plane.begin() + int64_t((y + 1) * rowSize))));
    }
    for (const Bytes& row : packedRows) Be16(out, unsigned(row.size()));
    for (const Bytes& row : packedRows) Append(out, row);
    return out;
}

}  // namespace formatwriters
