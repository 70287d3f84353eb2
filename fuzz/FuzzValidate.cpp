// Fuzz target of validation against a document's own declarations: the first byte picks the
// modes, the rest is a document with a document-type declaration. The document is read, its
// schema models built from the declaration (the external subset and external entities
// answered from a small fixed set, one of them referring to itself, one with CR LF line ends),
// then validated, each of the first references of the document element expanded and cloned on
// its own, its references resolved in both modes, its defaults refreshed, its text normalized
// and its attribute literals read. Every operation must refuse or answer, never crash or hang.
#include "XmlDom.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

using namespace xmldom;

namespace {

void serve(TDomImplementation& impl) {
    impl.OnExternalParsedEntity = [](TObject*, const WideString&, const WideString&, const WideString& sysId,
                                     std::unique_ptr<TStream>& stream, TXmlParserAction& action) {
        if (sysId == u"a.dtd")
            stream = std::make_unique<TStringStream>(
                "<!ELEMENT a (b|c)*><!ELEMENT b (#PCDATA|a)*><!ELEMENT c EMPTY>"
                "<!ATTLIST c id ID #IMPLIED to IDREFS #IMPLIED k NMTOKEN 'x' f CDATA #FIXED 'y'>");
        else if (sysId == u"a.ent") stream = std::make_unique<TStringStream>("<b>text &amp; <c/></b>");
        else if (sysId == u"self.ent") stream = std::make_unique<TStringStream>("&self;");
        else if (sysId == u"crlf.ent") stream = std::make_unique<TStringStream>("x\r\ny\rz<c k='p\r\nq\r'/>&#13;\r");
        else return;
        action = PARSER_STREAM;
    };
}

template <class F> void quietly(F&& f) {
    try {
        f();
    } catch (const std::exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t options = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    TDomImplementation impl;
    impl.OnError = [](TObject*, TdomError*, bool& go) { go = true; };  // see every later check too
    serve(impl);
    TXmlToDomParser parser;
    parser.SetDOMImpl(&impl);
    TdomDocument* doc = nullptr;
    try {
        doc = parser.stringToDom(text);
    } catch (const std::exception&) {
        return 0;
    }
    quietly([&] { doc->buildASModel(); });
    const uint8_t first = options & 1, second = (options >> 1) & 1;
    quietly([&] { doc->validateDocument(first); });
    if (TdomElement* root = doc->getDocumentElement()) {
        std::vector<TdomNode*> references;
        for (TdomNode* n = root->getFirstChild(); n; n = n->getNextSibling())
            if (n->getNodeType() == ntEntity_Reference_Node) references.push_back(n);
        // Each call is bounded alone and what it made is the caller's to keep: the first few
        // references only, each copy freed, as an application bounds its own memory.
        if (references.size() > 8) references.resize(8);
        for (TdomNode* n : references) {
            quietly([&] { static_cast<TdomEntityReference*>(n)->expand(); });
            quietly([&] {
                TdomNode* copy = n->cloneNode(true);
                doc->freeTreeNode(copy);
            });
        }
    }
    quietly([&] { doc->resolveEntityReferences(second); });
    quietly([&] { doc->validateDocument(second); });
    if (TdomElement* root = doc->getDocumentElement()) {
        quietly([&] { root->refreshDefaultAttributes(options & 4, true); });
        quietly([&] { root->normalize(); });
        quietly([&] { doc->validateAttributeValues(); });
        for (int i = 0; i < root->getAttributeCount(); ++i) {
            TdomAttr* attr = root->getAttributeAt(i);
            quietly([&] { attr->getLiteralValue(); });
            quietly([&] { attr->refersToExternalEntity(); });
            quietly([&] { attr->refersToEntityWithLessThan(); });
        }
    }
    impl.freeDocument(doc);
    return 0;
}
