// Throughput of the XML library's conversions against the C library's iconv on the same data,
// in one run: UTF-16 to UTF-8 and back over about 100 MB of mixed text (VETRA_XML_MB to change),
// and Windows-1252 each way. iconv keeps one descriptor per direction for all its runs. Prints the time of each and the
// ratio (iconv time / library time; above 1: faster). Fails when an output differs from iconv's.
#include <iconv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "XmlEncodings.h"
#include "XmlSources.h"

using namespace xmldom;

namespace {

std::size_t kTextBytes = 100u << 20; // UTF-16 size of the mixed text
bool gSame = true;                   // every output equal to iconv's

/// Words of several scripts, so the text mixes one-, two-, three- and four-byte UTF-8 forms.
WideString mixedText(std::size_t units) {
    const std::u16string words[] = {u"service ",
                                    u"checksheet ",
                                    u"Prüfung ",
                                    u"échéance ",
                                    u"\u0394\u03bf\u03ba\u03b9\u03bc\u03ae ",
                                    u"\u041f\u0440\u043e\u0432\u0435\u0440\u043a\u0430 ",
                                    u"\u70b9\u691c\u8868 ",
                                    u"\U0001F527 ",
                                    u"torque 12 Nm, ",
                                    u"line\n",
                                    u"<item id=\"7\">",
                                    u"</item>"};
    std::mt19937 random(42);
    WideString text;
    text.reserve(units + 16);
    while (text.size() < units)
        text += words[random() % std::size(words)];
    text.resize(units);
    if (text.back() >= 0xD800 && text.back() <= 0xDBFF) text.back() = u'.';
    return text;
}

/// Text that Windows-1252 holds entirely.
WideString latinText(std::size_t units) {
    const std::u16string words[] = {u"service ", u"Prüfung ", u"échéance ", u"Größe ",
                                    u"€ 12,50 ", u"naïve ",   u"line\n"};
    std::mt19937 random(7);
    WideString text;
    text.reserve(units + 16);
    while (text.size() < units)
        text += words[random() % std::size(words)];
    text.resize(units);
    return text;
}

double seconds(const std::function<void()>& f) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        f();
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

/// A conversion descriptor opened once and reused for every run, as iconv's documentation
/// recommends for repeated conversions; each run starts from the initial shift state.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            std::perror("iconv_open");
            std::exit(1);
        }
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    std::string convert(const void* data, std::size_t size, std::size_t outSize) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(outSize, '\0');
        char* in = const_cast<char*>(static_cast<const char*>(data));
        char* o = out.data();
        std::size_t inLeft = size, outLeft = outSize;
        if (iconv(cd_, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1)) {
            std::perror("iconv");
            std::exit(1);
        }
        out.resize(outSize - outLeft);
        return out;
    }

private:
    iconv_t cd_;
};

void report(const char* what, double megabytes, double library, double iconvTime, bool same) {
    std::printf("%-34s %8.1f MB  library %7.3f s (%7.0f MB/s)  iconv %7.3f s (%7.0f MB/s)  ratio %5.2f%s\n",
                what, megabytes, library, megabytes / library, iconvTime, megabytes / iconvTime,
                iconvTime / library, same ? "" : "  OUTPUTS DIFFER");
    gSame = gSame && same;
}

} // namespace

int main() {
    if (const char* env = std::getenv("VETRA_XML_MB")) kTextBytes = std::size_t(std::max(1, std::atoi(env))) << 20;
    const WideString text = mixedText(kTextBytes / 2);
    const double mb = static_cast<double>(kTextBytes) / (1 << 20);

    // UTF-16 to UTF-8.
    std::string ours, theirs;
    const double toLibrary = seconds([&] { ours = utf16ToUTF8(text); });
    Iconv toUtf8("UTF-8", "UTF-16LE");
    const double toIconv = seconds([&] { theirs = toUtf8.convert(text.data(), kTextBytes, kTextBytes * 2); });
    report("UTF-16 -> UTF-8", mb, toLibrary, toIconv, ours == theirs);

    // UTF-8 to UTF-16: the input source reading the whole text.
    const std::string utf8 = ours;
    WideString back;
    TStringStream stream(utf8);
    const double fromLibrary = seconds([&] {
        stream.Seek(0, soBeginning);
        TXmlInputSource source(&stream, 65536, 1, u"", u"");
        source.getRemainingText(back);
    });
    std::string iconvBack;
    Iconv fromUtf8("UTF-16LE", "UTF-8");
    const double fromIconv =
        seconds([&] { iconvBack = fromUtf8.convert(utf8.data(), utf8.size(), kTextBytes + 16); });
    report("UTF-8 -> UTF-16 (input source)", utf8.size() / double(1 << 20), fromLibrary, fromIconv,
           back.size() * 2 == iconvBack.size() &&
               std::memcmp(back.data(), iconvBack.data(), iconvBack.size()) == 0);

    // The parsers' path: one character at a time with line ends and the locator.
    std::size_t characters = 0;
    const double charLibrary = seconds([&] {
        stream.Seek(0, soBeginning);
        TXmlInputSource source(&stream, 65536, 1, u"", u"");
        int32_t c;
        characters = 0;
        while (source.getNextChar(c))
            ++characters;
    });
    std::printf("%-34s %8.1f MB  library %7.3f s (%7.0f MB/s)  ratio to iconv's bulk time %5.2f\n",
                "UTF-8 input source, getNextChar", utf8.size() / double(1 << 20), charLibrary,
                utf8.size() / double(1 << 20) / charLibrary, fromIconv / charLibrary);

    // Windows-1252 each way.
    const WideString latin = latinText(kTextBytes / 2);
    const TSingleByteEncoder encoder = encoderOf(encodingIndexOf("windows-1252"));
    const TSingleByteDecoder decoder = decoderOf(encodingIndexOf("windows-1252"));
    std::string single, singleIconv;
    const double encLibrary = seconds([&] { single = wideToSingleByte(latin, encoder); });
    Iconv toCp1252("CP1252", "UTF-16LE");
    const double encIconv =
        seconds([&] { singleIconv = toCp1252.convert(latin.data(), latin.size() * 2, latin.size()); });
    report("UTF-16 -> Windows-1252", latin.size() * 2 / double(1 << 20), encLibrary, encIconv,
           single == singleIconv);

    WideString wide;
    std::string wideIconv;
    const double decLibrary = seconds([&] { wide = singleByteToWide(single, decoder); });
    Iconv fromCp1252("UTF-16LE", "CP1252");
    const double decIconv =
        seconds([&] { wideIconv = fromCp1252.convert(single.data(), single.size(), single.size() * 2); });
    report("Windows-1252 -> UTF-16", single.size() / double(1 << 20), decLibrary, decIconv,
           wide.size() * 2 == wideIconv.size() &&
               std::memcmp(wide.data(), wideIconv.data(), wideIconv.size()) == 0);

    // The output source writing the text as UTF-8 and as Windows-1252.
    const double outUtf8 = seconds([&] {
        TStringStream sink;
        TXmlOutputSource out(&sink, 65536);
        out.writeText(text);
    });
    std::printf("%-34s %8.1f MB  library %7.3f s (%7.0f MB/s)\n", "output source, UTF-8", mb, outUtf8,
                mb / outUtf8);
    const double outLatin = seconds([&] {
        TStringStream sink;
        TXmlOutputSource out(&sink, 65536);
        out.setEncoding(encodingIndexOf("windows-1252"));
        out.writeTextWithReferences(latin);
    });
    std::printf("%-34s %8.1f MB  library %7.3f s (%7.0f MB/s)\n", "output source, Windows-1252", mb, outLatin,
                mb / outLatin);
    return gSame ? 0 : 1;
}
