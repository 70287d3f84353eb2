// Language code pages of the service data and UTF-8 to code-page conversion
// through the C library's iconv.
#include "CodePages.h"

#include <cerrno>
#include <cstdio>
#include <stdexcept>

namespace sampledb {
namespace {

struct LanguageCodePage {
    const char* lang;
    int codePage;
};

// The languages whose texts are not stored in 1252.
constexpr LanguageCodePage kCodePages[] = {
    {"BG", 1251}, {"CZ", 1250}, {"GK", 1253}, {"HR", 1250}, {"HV", 1250},
    {"PO", 1250}, {"RO", 1250}, {"SL", 1250}, {"UK", 1251},
};

constexpr int kDefaultCodePage = 1252;

// Describes the UTF-8 character at the start of `s` as U+XXXX (or its first byte).
std::string DescribeCharacter(std::string_view s) {
    if (s.empty()) return "end of text";
    auto b = static_cast<unsigned char>(s[0]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char buf[48];
    if (len == 0 || static_cast<size_t>(len) > s.size()) {
        std::snprintf(buf, sizeof buf, "byte 0x%02X", b);
        return buf;
    }
    unsigned cp = len == 1 ? b : b & (0x7F >> len);
    for (int i = 1; i < len; ++i) cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    std::snprintf(buf, sizeof buf, "U+%04X \"%.*s\"", cp, len, s.data());
    return buf;
}

}  // namespace

int CodePageOfLanguage(std::string_view langCode) {
    for (const auto& e : kCodePages)
        if (langCode == e.lang) return e.codePage;
    return kDefaultCodePage;
}

CodePageConverter::CodePageConverter(int codePage) : codePage_(codePage) {
    std::string name = "CP" + std::to_string(codePage);
    cd_ = iconv_open(name.c_str(), "UTF-8");
    if (cd_ == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("no converter from UTF-8 to code page " + std::to_string(codePage));
}

CodePageConverter::~CodePageConverter() { iconv_close(cd_); }

std::string CodePageConverter::Convert(std::string_view utf8) const {
    std::string out(utf8.size(), '\0');  // a code page never needs more bytes than UTF-8
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
        std::string_view rest(in, inLeft);
        if (errno == EILSEQ)
            throw std::runtime_error(DescribeCharacter(rest) + " has no place in code page " +
                                     std::to_string(codePage_));
        throw std::runtime_error("text is not valid UTF-8 at " + DescribeCharacter(rest));
    }
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace sampledb
