// Fuzz target of the XML byte sources: the first byte sets the buffer size, the rest is a
// document's bytes. The mark and declaration are read, then every character to the end, and the
// remaining text once more from the content start, each with its encoding's decoding.
#include "XmlSources.h"
#include "XmlStreams.h"

#include <cstdint>
#include <exception>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int32_t bufferSize = 1 + data[0] % 64 * 67;
    xmldom::TStringStream stream(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
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
    return 0;
}
