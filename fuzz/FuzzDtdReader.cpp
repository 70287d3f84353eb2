// Fuzz target of the DTD reader: the first byte picks the road (external subset, internal subset
// with or without resolving, the internal subset of a whole document) and whether the error path
// lets the read go on; the rest is the DTD's bytes. Parameter entities the DTD declares are
// answered back to the reader as a schema builder would, external ones through the
// implementation. After every run the test handler must have left its subsets.
#include "XmlDom.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <string>

using namespace xmldom;

namespace {

/// Keeps the parameter entities a DTD declares and answers the reader's questions about them.
class Resolver : public TXmlStandardHandler {
public:
    bool processParameterEntityDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& name,
                                           const WideString& entityValue, const WideString& pubId,
                                           const WideString& sysId) override {
        entities.emplace(name, std::make_pair(entityValue, sysId));
        return TXmlStandardHandler::processParameterEntityDeclaration(Reader, Locator, name, entityValue, pubId,
                                                                      sysId);
    }
    bool resolveParameterEntity(const WideString& Name, WideString& Text, TXmlErrorType& Kind) override {
        auto it = entities.find(Name);
        if (it == entities.end()) {
            Text.clear();
            Kind = 27;
            return false;
        }
        if (!it->second.second.empty()) {
            Kind = XmlFetchExternalParsedEntity(impl, u"fuzz.dtd", u"", it->second.second, Text);
            return Kind == 0;
        }
        Text = it->second.first;
        Kind = 0;
        return true;
    }
    std::map<WideString, std::pair<WideString, WideString>> entities;
    TDomImplementation* impl = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t options = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    TDomImplementation impl;
    const bool goOn = options & 4;
    impl.OnError = [goOn](TObject*, TdomError*, bool& go) {
        if (goOn) go = true;
    };
    // External entities: a small module, or nothing for names that begin with "x".
    impl.OnExternalParsedEntity = [](TObject*, const WideString&, const WideString&, const WideString& sysId,
                                     std::unique_ptr<TStream>& stream, TXmlParserAction& action) {
        if (!sysId.empty() && sysId[0] == u'x') return;
        stream = std::make_unique<TStringStream>("<?xml encoding='UTF-8'?><!ELEMENT ext (#PCDATA)*> %ext;");
        action = PARSER_STREAM;
    };

    if ((options & 3) == 3) {
        TXmlToDomParser parser;
        parser.SetDOMImpl(&impl);
        TdomDocument* doc = nullptr;
        try {
            doc = parser.stringToDom("<!DOCTYPE a [" + text + "]><a/>");
        } catch (const std::exception&) {
            if (impl.getDocuments()->getLength() != 0) std::abort(); // a refused input left its document
        }
        if (doc) impl.freeDocument(doc);
        return 0;
    }

    TXmlStandardDtdReader reader;
    TXmlWFTestDTDHandler test;
    Resolver resolver;
    resolver.impl = &impl;
    reader.setDOMImpl(&impl);
    reader.setNextHandler(&test);
    test.setNextHandler(&resolver);
    // A smaller budget keeps every run short; the limits are what is tested, not their size.
    reader.setReplacementBudget(200'000);
    try {
        TStringStream stream(text);
        TXmlInputSource source(&stream, 4096, 1 + (options >> 4), u"", u"fuzz.dtd");
        if ((options & 3) == 0) {
            if (!source.hasDeclarationFault()) reader.parseExternalSubset(&source);
        } else {
            reader.parseInternalSubset(&source, (options & 3) == 2);
        }
    } catch (const std::exception&) {
    }
    if (test.getInExternalSubset() || test.getInInternalSubset() || test.getInAttListDeclaration()) std::abort();
    return 0;
}
