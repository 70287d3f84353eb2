// Fuzz target of the request parser: the input is one request line as it comes from the
// command line or a line of a request file; the first byte picks which.
#include "FormsScript.h"
#include "vetrav3.h"

#include <cstdint>
#include <exception>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const char mode = data[0] & 1 ? 'B' : 'C';
    RequestLine.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        ParseXMLRequest(mode);
    } catch (const std::exception&) {
    }
    // The headless message boxes keep every message shown; forget them between inputs.
    FormsScript::Reset();
    return 0;
}
