// Fuzz target of the XML writer: the input is a small program that builds a tree (elements,
// attributes, text, comments, CDATA, processing instructions, entity references) through the
// document's factories; the tree is then written with and without strict checking in the
// encoding the input picks, to a byte string and to a wide string. A document written without
// complaint must read back as the tree that was written, node by node (what XML's own rules
// change set aside: line ends in comments, CDATA sections, processing instructions and the
// document type, white space before PI data, text and sections split or joined).
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "XmlDom.h"
#include "XmlChars.h"
#include "XmlParsers.h"

using namespace xmldom;

namespace {

struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    bool more() const { return at < size; }
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    /// A text of up to 15 units: mostly ASCII, now and then any 16-bit unit.
    WideString text() {
        const int n = byte() & 15;
        WideString s;
        for (int i = 0; i < n && more(); ++i) {
            const std::uint8_t b = byte();
            if (b == 0xFF) s += static_cast<char16_t>(byte() << 8 | byte());
            else s += static_cast<char16_t>(b);
        }
        return s;
    }
};

// ---------------------------------------------------------------- the tree read back

/// Line ends as a reader gives them: CR LF and a lone CR become LF.
WideString lineEnds(const WideString& s) {
    WideString out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != u'\r') out += s[i];
        else if (i + 1 >= s.size() || s[i + 1] != u'\n') out += u'\n';
    }
    return out;
}

/// An attribute's value text as the characters it stands for: character references and the
/// quote references replaced, other entity references left as they are.
WideString valueOf(const WideString& s) {
    WideString out;
    for (size_t i = 0; i < s.size(); ++i) {
        const size_t semi = s[i] == u'&' ? s.find(u';', i) : WideString::npos;
        if (semi != WideString::npos) {
            const std::u16string_view ref(s.data() + i, semi - i + 1);
            if (ref == u"&quot;" || ref == u"&apos;") {
                out += ref[1] == u'q' ? u'"' : u'\'';
                i = semi;
                continue;
            }
            if (ref.size() > 3 && ref[1] == u'#') {
                try {
                    out += XmlCharRefToStr(ref);
                    i = semi;
                    continue;
                } catch (const Exception&) {
                }
            }
        }
        out += s[i];
    }
    return out;
}

/// One child as compared: its kind, name and data; runs of text and of CDATA sections joined.
struct Item {
    TdomNodeType type;
    WideString name, data;
    TdomNode* node;
};

std::vector<Item> itemsOf(TdomNode* parent, bool written) {
    std::vector<Item> items;
    const bool atTop = parent->getNodeType() == ntDocument_Node;
    for (TdomNode* n = parent->getFirstChild(); n; n = n->getNextSibling()) {
        TdomNodeType type = n->getNodeType();
        WideString data = n->getNodeValue();
        // The reader keeps "&amp;" and its kin in text as references to the predefined
        // entities: on both sides such a reference is the character it stands for.
        if (type == ntEntity_Reference_Node) {
            static const std::pair<const char16_t*, char16_t> kPredefined[] = {
                {u"lt", u'<'}, {u"gt", u'>'}, {u"amp", u'&'}, {u"apos", u'\''}, {u"quot", u'"'}};
            for (const auto& [name, c] : kPredefined)
                if (n->getNodeName() == name) {
                    type = ntText_Node;
                    data = WideString(1, c);
                }
        }
        switch (type) {
        case ntText_Node:
            if (atTop || data.empty()) continue;
            break;
        case ntCDATA_Section_Node:
        case ntComment_Node: data = lineEnds(data); break;
        case ntProcessing_Instruction_Node: {
            data = lineEnds(data);
            // A reader takes the white space after the target as the separator.
            size_t start = 0;
            while (written && start < data.size() && IsXmlWhiteSpace(data[start])) ++start;
            data.erase(0, start);
            break;
        }
        default: break;
        }
        if (!items.empty() && items.back().type == type && (type == ntText_Node || type == ntCDATA_Section_Node)) {
            items.back().data += data;
            continue;
        }
        items.push_back({type, type == ntText_Node ? WideString(u"#text") : n->getNodeName(), data, n});
    }
    return items;
}

bool sameAttributes(TdomElement* a, TdomElement* b) {
    if (a->getAttributeCount() != b->getAttributeCount()) return false;
    for (int i = 0; i < a->getAttributeCount(); ++i) {
        TdomAttr* x = a->getAttributeAt(i);
        TdomAttr* y = b->getAttributeAt(i);
        if (x->getNodeName() != y->getNodeName() || valueOf(x->getValue()) != valueOf(y->getValue())) return false;
    }
    return true;
}

bool sameTree(TdomNode* written, TdomNode* read) {
    const std::vector<Item> a = itemsOf(written, true), b = itemsOf(read, false);
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const Item &x = a[i], &y = b[i];
        if (x.type != y.type || x.name != y.name) return false;
        switch (x.type) {
        case ntElement_Node:
            if (!sameAttributes(static_cast<TdomElement*>(x.node), static_cast<TdomElement*>(y.node)) ||
                !sameTree(x.node, y.node))
                return false;
            break;
        case ntDocument_Type_Decl_Node: {
            auto* d = static_cast<TdomDocumentTypeDecl*>(x.node);
            auto* e = static_cast<TdomDocumentTypeDecl*>(y.node);
            if (lineEnds(d->getPublicId()) != e->getPublicId() || lineEnds(d->getSystemId()) != e->getSystemId() ||
                lineEnds(d->getInternalSubset()) != e->getInternalSubset())
                return false;
            break;
        }
        case ntEntity_Reference_Node: break; // the name is the node; what it expands to is the reader's
        default:
            if (x.data != y.data) return false;
        }
    }
    return true;
}

const char16_t* const kEncodings[] = {u"", u"UTF-8", u"UTF-16LE", u"ISO-8859-1", u"windows-1251", u"US-ASCII"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in{data, size};
    TDomImplementation impl;
    TdomDocument doc(&impl);
    std::vector<TdomNode*> open{&doc};
    for (int steps = 0; in.more() && steps < 400; ++steps) {
        const std::uint8_t op = in.byte() % 9;
        TdomNode* parent = open.back();
        try {
            switch (op) {
            case 0: {
                TdomElement* e = doc.createElement(in.text());
                parent->appendChild(e);
                open.push_back(e);
                break;
            }
            case 1:
                if (open.size() > 1) open.pop_back();
                break;
            case 2: parent->appendChild(doc.createTextNode(in.text())); break;
            case 3: parent->appendChild(doc.createComment(in.text())); break;
            case 4: parent->appendChild(doc.createCDATASection(in.text())); break;
            case 5: {
                WideString target = in.text();
                parent->appendChild(doc.createProcessingInstruction(target, in.text()));
                break;
            }
            case 6:
                if (parent != &doc) {
                    WideString name = in.text();
                    static_cast<TdomElement*>(parent)->setAttribute(name, in.text());
                }
                break;
            case 7: parent->appendChild(doc.createEntityReference(in.text())); break;
            case 8: {
                // Read one after the other: the order of a call's arguments is the compiler's.
                WideString name = in.text(), pub = in.text(), sys = in.text(), subset = in.text();
                doc.appendChild(doc.createDocumentTypeDecl(name, pub, sys, subset));
                break;
            }
            }
        } catch (const Exception&) {
            // The factories refuse bad names and places; the tree stays as it was.
        }
    }
    TDomToXmlParser writer;
    writer.SetDOMImpl(&impl);
    const std::uint8_t mode = in.byte();
    writer.SetStrictErrorChecking(mode & 1);
    writer.SetUseByteOrderMark(mode & 2);
    writer.SetNewLine(static_cast<TdomNewLineType>((mode >> 2) % 3));
    const char16_t* encoding = kEncodings[(mode >> 4) % (sizeof kEncodings / sizeof *kEncodings)];
    TdomNode* source = open.size() > 1 && (mode & 0x80) ? open.back() : static_cast<TdomNode*>(&doc);
    try {
        TStringStream out;
        const bool written = writer.writeToStream(source, encoding, &out);
        // A document with its element that was written in UTF-8 without complaint reads back.
        if (written && source == &doc && doc.getDocumentElement() && !*encoding) {
            TXmlToDomParser reader;
            reader.SetDOMImpl(&impl);
            TdomDocument* again = nullptr;
            try {
                again = reader.stringToDom(out.DataString());
            } catch (const EParserException&) {
                std::abort();
            }
            if (!sameTree(&doc, again)) std::abort();
            impl.freeDocument(again);
        }
    } catch (const Exception&) {
    }
    try {
        WideString wide;
        writer.writeToWideString(source, wide);
    } catch (const Exception&) {
    }
    return 0;
}
