// Fuzz target of the reading road: the first byte picks the options (keep flags, the fragment
// form, prefix mappings, namespace tree), the rest is a document's bytes. Whole documents are
// read through the parser component and, when they read, written back and read again; the
// fragment form reads into an element. Nothing may stay registered after a refused input.
#include "XmlDom.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

using namespace xmldom;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t options = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    TDomImplementation impl;
    TXmlToDomParser parser;
    parser.SetDOMImpl(&impl);
    parser.SetKeepCDATASections(options & 1);
    parser.SetKeepComments(options & 2);
    parser.SetKeepEntityRefs(options & 4);
    parser.getDocReader()->setPrefixMapping(options & 16);
    parser.getDocBuilder()->setBuildNamespaceTree((options & 48) == 48);
    if (options & 8) {
        TdomDocument* host = nullptr;
        try {
            host = parser.stringToDom("<host/>");
            parser.parseStringInto(text, u"", u"", host->getDocumentElement());
        } catch (const std::exception&) {
        }
        if (host) impl.freeDocument(host);
        return 0;
    }
    TdomDocument* doc = nullptr;
    try {
        doc = parser.stringToDom(text);
    } catch (const std::exception&) {
        if (impl.getDocuments()->getLength() != 0) std::abort(); // a refused input left its document
        return 0;
    }
    try {
        TDomToXmlParser writer;
        writer.SetDOMImpl(&impl);
        std::string out;
        writer.writeToString(doc, u"UTF-8", out);
        TdomDocument* again = parser.stringToDom(out);
        impl.freeDocument(again);
    } catch (const std::exception&) {
    }
    impl.freeDocument(doc);
    return 0;
}
