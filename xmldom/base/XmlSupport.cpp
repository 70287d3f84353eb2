// Support of the XML document library: the message formatter.
#include "XmlSupport.h"

namespace xmldom {

namespace {

struct Specifier {
    int width = -1;
    int precision = -1;
    char16_t conversion = 0;
};

// Reads "[width][.precision]conv" after a "%"; returns the length read, 0 when malformed.
size_t parseSpecifier(std::u16string_view p, size_t at, Specifier& field) {
    size_t i = at;
    auto readNumber = [&](int& into) {
        int n = -1;
        while (i < p.size() && p[i] >= u'0' && p[i] <= u'9' && n < 1000) {
            n = (n < 0 ? 0 : n * 10) + (p[i] - u'0');
            ++i;
        }
        into = n;
    };
    readNumber(field.width);
    if (i < p.size() && p[i] == u'.') {
        ++i;
        readNumber(field.precision);
        if (field.precision < 0) field.precision = 0;
    }
    if (i >= p.size()) return 0;
    field.conversion = p[i];
    return i + 1 - at;
}

WideString digitsOf(long long v, int base, bool upper) {
    unsigned long long u =
        v < 0 && base == 10 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    if (base == 16 && v < 0) u = static_cast<unsigned long long>(v) & 0xFFFFFFFFULL;
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    WideString out;
    do {
        out.insert(out.begin(), static_cast<char16_t>(digits[u % base]));
        u /= base;
    } while (u != 0);
    return out;
}

} // namespace

WideString Format(std::u16string_view pattern, std::initializer_list<TFormatArg> args) {
    WideString out;
    out.reserve(pattern.size() + 16);
    const TFormatArg* next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != u'%') {
            out += pattern[i];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        Specifier field;
        size_t len = parseSpecifier(pattern, i + 1, field);
        char16_t conv = field.conversion;
        bool numeric = conv == u'd' || conv == u'x' || conv == u'X';
        bool text = conv == u's' || conv == u'S';
        if (len == 0 || (!numeric && !text) || next == args.end() || next->isText() != text) {
            out += u'%';
            continue;
        }
        WideString piece;
        if (text) {
            piece = WideString(next->text());
            if (field.precision >= 0 && piece.size() > static_cast<size_t>(field.precision))
                piece.resize(field.precision);
        } else {
            long long v = next->number();
            bool negative = conv == u'd' && v < 0;
            piece = digitsOf(v, conv == u'd' ? 10 : 16, conv == u'X');
            if (field.precision > 0 && piece.size() < static_cast<size_t>(field.precision))
                piece.insert(0, field.precision - piece.size(), u'0');
            if (negative) piece.insert(piece.begin(), u'-');
        }
        if (field.width > 0 && piece.size() < static_cast<size_t>(field.width))
            piece.insert(0, field.width - piece.size(), u' ');
        out += piece;
        ++next;
        i += len;
    }
    return out;
}

} // namespace xmldom
