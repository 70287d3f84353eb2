// Fuzz target of the declaration store and its collection. Each input line declares something:
//   E name value      internal entity (its value test-parsed)   X name system   external entity
//   U name notation   unparsed entity                            N name          notation
//   A elem attr T D value tok...   attribute (T type digit, D default digit)
//   C elem model      element with content type 2 and the model in a small grammar: letters
//                     name elements, ( ) a sequence, [ ] a choice, ? + * set frequencies
//   M elem model      the same with mixed content;  T a b c   child names matched by every model
// Then the collection resolves, normalizes, tests and validates everything.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "XmlASModel.h"
#include "XmlDomImpl.h"

using namespace xmldom;

namespace {

std::vector<WideString> split(const WideString& line) {
    std::vector<WideString> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == u' ') ++i;
        size_t j = i;
        while (j < line.size() && line[j] != u' ') ++j;
        if (j > i) out.push_back(line.substr(i, j - i));
        i = j;
    }
    return out;
}

// Builds a content model from the small grammar; malformed input simply stops early.
TdomASContentModel* buildModel(TdomASElementDecl* e, const WideString& text) {
    std::vector<TdomASContentModel*> stack;
    TdomASContentModel* root = e->createContentModel(u"", AS_CHOICE);
    stack.push_back(root);
    TdomASContentModel* last = root;
    for (char16_t c : text) {
        try {
            if (c == u'(' || c == u'[') {
                if (stack.size() > 600) break;
                TdomASContentModel* m = e->createContentModel(u"", c == u'(' ? AS_SEQUENCE : AS_CHOICE);
                stack.back()->appendSubModel(m);
                stack.push_back(m);
                last = m;
            } else if (c == u')' || c == u']') {
                if (stack.size() > 1) last = stack.back(), stack.pop_back();
            } else if (c == u'?' || c == u'+' || c == u'*') {
                last->setFrequency(c == u'?' ? AS_OPTIONAL : c == u'+' ? AS_ONE_OR_MORE : AS_ZERO_OR_MORE);
            } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
                last = stack.back()->appendSubModel(e->createContentModel(WideString(1, c), AS_ELEMENT_NAME));
            }
        } catch (const Exception&) {
        }
    }
    return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 20000) return 0;
    TDomImplementation impl;
    impl.OnError = [](TObject*, TdomError*, bool& go) { go = true; };
    TdomASModel* model = impl.createASModel();
    TdomASModelCollection col(&impl);
    col.appendASModel(model);
    std::vector<TdomASContentModel*> models;
    std::vector<WideString> childNames;
    size_t start = 0, lines = 0;
    for (size_t i = 0; i <= size && lines < 64; ++i) {
        if (i < size && data[i] != '\n') continue;
        WideString line;
        for (size_t k = start; k < i; ++k) line += static_cast<char16_t>(data[k]);
        start = i + 1;
        ++lines;
        std::vector<WideString> f = split(line);
        if (f.size() < 2) continue;
        const WideString arg = f.size() > 2 ? f[2] : WideString();
        try {
            TdomASEntityDecl* d = nullptr;
            TdomASNotationDecl* n = nullptr;
            TdomASElementDecl* e = nullptr;
            TdomASAttributeDecl* a = nullptr;
            switch (f[0][0]) {
                case u'E': {
                    size_t at = line.find(f[1]) + f[1].size() + 1;
                    model->addEntityDecl(f[1], at < line.size() ? line.substr(at) : WideString(), d);
                    break;
                }
                case u'X': model->addEntityDecl(f[1], u"", arg, u"", d); break;
                case u'U': model->addEntityDecl(f[1], u"", u"s", arg, d); break;
                case u'N': model->addNotationDecl(f[1], u"", arg, n); break;
                case u'A':
                    if (f.size() < 5) break;
                    model->addElementDecl(f[1], AS_CONTENT_UNDEFINED, e);
                    e->addAttributeDecl(arg, a);
                    a->setAttrType(static_cast<uint8_t>((f[3][0] - u'0') % 9));
                    a->setDefaultDecl(static_cast<uint8_t>((f[4][0] - u'0') % 4));
                    if (f.size() > 5) a->setDefaultValue(f[5]);
                    for (size_t t = 6; t < f.size(); ++t) a->getEnumeration().Add(f[t]);
                    break;
                case u'C':
                case u'M':
                    model->addElementDecl(f[1], AS_CONTENT_UNDEFINED, e);
                    if (e->getContentType() == AS_CONTENT_UNDEFINED)
                        e->setContentType(f[0][0] == u'C' ? AS_CONTENT_ELEMENT : AS_CONTENT_MIXED);
                    models.push_back(buildModel(e, arg));
                    if (!e->getContentModel()) e->setContentModel(models.back());
                    break;
                case u'T': childNames.assign(f.begin() + 1, f.end()); break;
                default: break;
            }
        } catch (const Exception&) {
        }
    }
    for (TdomASContentModel* m : models) {
        bool error = false;
        size_t index = 0;
        m->contentModelTestWithFrequency(childNames, index, error);
    }
    const TdomASNamedObjectMap& entities = model->getEntityDecls();
    for (int i = 0; i < entities.getLength(); ++i) {
        auto* d = static_cast<TdomASEntityDecl*>(entities.item(i));
        WideString text;
        try {
            col.resolveEntity(d->getName(), text);
        } catch (const Exception&) {
        }
        for (uint8_t kind = 0; kind < 5; ++kind) {
            try {
                col.refersToXyz(kind, d, (i & 1) != 0);
            } catch (const Exception&) {
            }
        }
    }
    col.validate();
    return 0;
}
