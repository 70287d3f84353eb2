// Fuzz target of the XML byte sources: the first byte sets the buffer size, the rest is a
// document's bytes. The mark and declaration are read, then every character to the end, and the
// remaining text once more from the content start, each with its encoding's decoding. A second
// read takes plain runs between single characters and must see the same text and locator.
#include "XmlSources.h"
#include "XmlStreams.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

struct ReadResult {
    xmldom::WideString text;
    int32_t line = 0, column = 0, offset = 0;
    bool failed = false;
};

/// Every character (or, with runs, plain runs between them) to the end or the first fault.
ReadResult readAll(const std::string& bytes, int32_t bufferSize, const xmldom::TXmlRunStops* stops) {
    ReadResult r;
    xmldom::TStringStream stream(bytes);
    try {
        xmldom::TXmlInputSource source(&stream, bufferSize, 4, u"", u"fuzz.xml");
        int32_t c = 0;
        for (;;) {
            if (stops) source.readPlainRun(r.text, *stops);
            if (r.text.size() >= (1u << 20) || !source.getNextChar(c)) break;
            if (c > 0xFFFF) {
                r.text.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
                r.text.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
            } else {
                r.text.push_back(static_cast<char16_t>(c));
            }
        }
        r.line = source.getLocator()->getEndLine();
        r.column = source.getLocator()->getEndColumn();
        r.offset = source.getLocator()->getByteOffset();
    } catch (const std::exception&) {
        r.failed = true;
    }
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int32_t bufferSize = 1 + data[0] % 64 * 67;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    xmldom::TStringStream stream(bytes);
    try {
        xmldom::TXmlInputSource source(&stream, bufferSize, 4, u"", u"fuzz.xml");
        xmldom::WideString rest;
        source.getRemainingText(rest);
        int32_t c = 0;
        std::size_t n = 0;
        while (source.getNextChar(c) && ++n < (1u << 20)) {
        }
    } catch (const std::exception&) {
    }
    // Runs must change nothing but the number of calls.
    static constexpr xmldom::TXmlRunStops kStops("<&>");
    if (bytes.size() < (1u << 16)) {
        const ReadResult single = readAll(bytes, bufferSize, nullptr);
        const ReadResult runs = readAll(bytes, bufferSize, &kStops);
        if (single.failed != runs.failed || single.text != runs.text ||
            (!single.failed && (single.line != runs.line || single.column != runs.column ||
                                single.offset != runs.offset)))
            std::abort();
    }
    return 0;
}
