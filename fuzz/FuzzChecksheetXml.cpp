// Fuzz target of the checksheet XML document: the input is a run of zero-separated texts fed
// to the document operations as headings, operation attributes, statements and the locale, as
// service data and requests would give them. Whatever they hold, the written document must pass
// the writer's strict well-formedness checks; a failure aborts.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Exceptions.h"
#include "TolmLib.h"
#include "XMLGen.h"
#include "XmlDom.h"
#include "XmlParsers.h"

namespace {

struct Fields {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    bool more() const { return at < size; }
    std::string next() {
        std::string s;
        while (at < size && data[at] != 0) s += static_cast<char>(data[at++]);
        if (at < size) ++at;
        return s;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Fields in{data, size};
    Language = in.next().substr(0, 2);
    DocTypeId = in.next();
    try {
        CreateChecksheetDocument(in.next());
    } catch (const Exception&) {
        return 0; // a system identifier with both quotes is refused
    }
    for (int steps = 0; in.more() && steps < 200; ++steps) {
        const std::string op = in.next();
        const char kind = op.empty() ? 's' : op[0];
        switch (kind % 4) {
        case 0: AddSection(in.next()); break;
        case 1: {
            std::string level = in.next(), type = in.next(), parts = in.next(), id = in.next();
            AddOperation(level, type, parts, "", op.size() > 1 ? "Y" : "", id);
            break;
        }
        case 2: AddSubHeading(in.next()); break;
        case 3: AddStatement(op.size() > 1, op.size() > 2, in.next()); break;
        }
    }
    xmldom::TDomToXmlParser writer;
    writer.SetDOMImpl(XMLImpl);
    writer.SetStrictErrorChecking(true);
    xmldom::TStringStream out;
    if (!writer.writeToStream(XMLDoc, u"", &out)) std::abort();
    FreeChecksheetDocument();
    return 0;
}
