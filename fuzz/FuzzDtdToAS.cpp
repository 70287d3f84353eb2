// Fuzz target of the schema road: the first byte picks the form (external subset, internal
// subset, both in turn, external subset after an internal one keeping its parameter entities),
// the rest is DTD bytes read into a schema model by the DTD parser component. External
// parameter entities are answered from a small fixed set, one of them referring to itself. The
// filled model is then checked by a collection, whose own walk must survive whatever was built.
#include "XmlDom.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

using namespace xmldom;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t options = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    TDomImplementation impl;
    impl.OnError = [](TObject*, TdomError*, bool& go) { go = true; }; // see every later event too
    impl.OnExternalParsedEntity = [](TObject*, const WideString&, const WideString&, const WideString& sysId,
                                     std::unique_ptr<TStream>& stream, TXmlParserAction& action) {
        if (sysId == u"a.ent") stream = std::make_unique<TStringStream>("<!ELEMENT a (b|c)*>");
        else if (sysId == u"self.ent") stream = std::make_unique<TStringStream>("%self;");
        else if (sysId == u"decl.ent") stream = std::make_unique<TStringStream>("<?xml encoding='UTF-8'?>%a;");
        else return;
        action = PARSER_STREAM;
    };
    TdomASModel* model = impl.createASModel();
    TDtdToASParser parser;
    parser.SetDOMImpl(&impl);
    try {
        switch (options & 3) {
        case 0: parser.stringToASModel(text, u"", u"ext.dtd", model, true); break;
        case 1: parser.parseStringInto(text, u"", u"doc.xml", model); break;
        case 2:
            parser.parseStringInto("<!ENTITY % a SYSTEM 'a.ent'><!ENTITY % self SYSTEM 'self.ent'>", u"", u"doc.xml",
                                   model);
            parser.stringToASModel(text, u"", u"ext.dtd", model, false);
            break;
        default: parser.parseStringInto(text, u"", u"doc.xml", model); parser.stringToASModel(text, u"", u"ext.dtd", model, false);
        }
    } catch (const std::exception&) {
    }
    try {
        TdomASModelCollection collection(&impl);
        collection.appendASModel(model);
        collection.validate();
        collection.clear();
    } catch (const std::exception&) {
    }
    impl.freeASModel(model);
    return 0;
}
