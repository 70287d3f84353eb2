// Table-driven code page conversion. The tables are generated (CodePageTables.inc); the reverse
// direction searches the 256 entries, which is cheap for the short texts the system converts.
#include "CodePages.h"

#include <cstring>

namespace {

struct CodePageTable {
    unsigned CodePage;
    const char16_t* Units;
};

#include "CodePageTables.inc"

unsigned gAnsiCodePage = 1252;

const char16_t* TableOf(unsigned codePage) {
    if (codePage == CP_ACP) codePage = gAnsiCodePage;
    for (const CodePageTable& t : kCodePageTables)
        if (t.CodePage == codePage) return t.Units;
    return nullptr;
}

} // namespace

unsigned GetACP() {
    return gAnsiCodePage;
}

bool SetACP(unsigned codePage) {
    if (codePage == CP_ACP || !TableOf(codePage)) return false;
    gAnsiCodePage = codePage;
    return true;
}

bool IsValidCodePage(unsigned codePage) {
    return TableOf(codePage) != nullptr;
}

int MultiByteToWideChar(unsigned codePage, unsigned /*flags*/, const char* bytes, int count, char16_t* wide,
                        int wideCount) {
    const char16_t* table = TableOf(codePage);
    if (!table || !bytes || count < -1 || wideCount < 0 || (wideCount > 0 && !wide)) return 0;
    size_t n = count == -1 ? std::strlen(bytes) + 1 : size_t(count);
    if (wideCount == 0) return int(n);
    if (n > size_t(wideCount)) return 0;
    for (size_t i = 0; i < n; ++i)
        wide[i] = table[static_cast<unsigned char>(bytes[i])];
    return int(n);
}

std::u16string MultiByteToWideChar(unsigned codePage, std::string_view bytes) {
    const char16_t* table = TableOf(codePage);
    if (!table) return {};
    std::u16string out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        out[i] = table[static_cast<unsigned char>(bytes[i])];
    return out;
}

std::string WideCharToMultiByte(unsigned codePage, std::u16string_view wide, char defaultChar) {
    return WideCharToMultiByte(codePage, wide, defaultChar, nullptr);
}

std::string WideCharToMultiByte(unsigned codePage, std::u16string_view wide, char defaultChar, bool* usedDefaultChar) {
    if (usedDefaultChar) *usedDefaultChar = false;
    const char16_t* table = TableOf(codePage);
    if (!table) return {};
    std::string out;
    out.reserve(wide.size());
    for (char16_t unit : wide) {
        char byte = defaultChar;
        bool found = false;
        if (unit != 0xFFFD)
            for (int b = 0; b < 256; ++b)
                if (table[b] == unit) {
                    byte = char(b);
                    found = true;
                    break;
                }
        if (!found && usedDefaultChar) *usedDefaultChar = true;
        out += byte;
    }
    return out;
}

char16_t UpperCaseChar(char16_t c) {
    const auto pairedAt = [c](char16_t first, char16_t last, int lowerParity) {
        return c >= first && c <= last && (c & 1) == lowerParity;
    };
    if (c >= u'a' && c <= u'z') return char16_t(c - 0x20);
    if (c < 0xE0) return c;
    if (c <= 0xFE) return c == 0xF7 ? c : char16_t(c - 0x20);  // Latin-1, but the division sign
    if (c == 0xFF) return 0x178;
    if (c == 0x131) return u'I';                                // dotless i
    if (c == 0x17F) return u'S';                                // long s
    if (pairedAt(0x100, 0x137, 1) || pairedAt(0x139, 0x148, 0) || pairedAt(0x14A, 0x177, 1) ||
        pairedAt(0x179, 0x17E, 0))
        return char16_t(c - 1);                                 // Latin Extended-A pairs
    switch (c) {
        case 0x192: return 0x191;
        case 0x1A1: return 0x1A0;
        case 0x1B0: return 0x1AF;
        case 0x3AC: return 0x386;
        case 0x3C2: return 0x3A3;                               // final sigma
        case 0x3CC: return 0x38C;
        case 0x3CD: return 0x38E;
        case 0x3CE: return 0x38F;
        case 0x491: return 0x490;
        default: break;
    }
    if (c >= 0x3AD && c <= 0x3AF) return char16_t(c - 0x25);   // Greek with tonos
    if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3CB)) return char16_t(c - 0x20);
    if (c >= 0x430 && c <= 0x44F) return char16_t(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return char16_t(c - 0x50);
    return c;
}

std::string AnsiUpperCase(std::string_view text, unsigned codePage) {
    std::string out(text);
    const char16_t* table = TableOf(codePage);
    for (char& byte : out) {
        if (!table) {
            if (byte >= 'a' && byte <= 'z') byte = char(byte - 0x20);
            continue;
        }
        const char16_t upper = UpperCaseChar(table[static_cast<unsigned char>(byte)]);
        if (upper == table[static_cast<unsigned char>(byte)]) continue;
        for (int b = 0; b < 256; ++b)
            if (table[b] == upper) {
                byte = char(b);
                break;
            }
    }
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        uint8_t bytes[4];
        out.append(reinterpret_cast<const char*>(bytes), size_t(PutUtf8(c, bytes)));
    }
    return out;
}
