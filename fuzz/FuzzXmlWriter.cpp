// Fuzz target of the XML writer: the input is a small program that builds a tree (elements,
// attributes, text, comments, CDATA, processing instructions, entity references) through the
// document's factories; the tree is then written with and without strict checking in the
// encoding the input picks, to a byte string and to a wide string. A document written without
// complaint must read back.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "XmlDom.h"
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
                WideString name = in.text(), pub = in.text();
                doc.appendChild(doc.createDocumentTypeDecl(name, pub, in.text(), in.text()));
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
