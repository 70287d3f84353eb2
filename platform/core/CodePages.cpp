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
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}
