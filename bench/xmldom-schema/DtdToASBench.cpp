// Reads an external DTD of many declarations (default 100,000 element declarations, each with an
// attribute list and an entity; VETRA_DTD_DECLS to change) from memory into a schema model with
// the DTD parser component, and the same bytes into libxml2's DTD tables (xmlIOParseDTD). A
// quarter-size run beside the full one shows whether the time grows linearly. A second shape puts
// a parameter-entity reference into every attribute list. libxml2's time grows quadratically with
// these DTDs (about 6 minutes at 100,000), so it runs beside ours at up to a fifth of the size.

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "XmlDom.h"

using namespace xmldom;
using Clock = std::chrono::steady_clock;

namespace {

std::string makeDtd(int declarations, bool references) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!ENTITY % kinds \"(x|y|z)\">\n";
    const std::string kind = references ? " kind %kinds; \"x\"" : " kind (x|y|z) \"x\"";
    for (int i = 0; i < declarations; ++i) {
        const std::string n = std::to_string(i);
        s += "<!ELEMENT e" + n + " (a" + n + ", (b|c)*, d?)>\n";
        s += "<!ATTLIST e" + n + " id ID #REQUIRED" + kind + " note CDATA #IMPLIED>\n";
        s += "<!ENTITY n" + n + " \"value &#233; " + n + "\">\n";
    }
    return s;
}

double ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

double runOurs(const std::string& dtd, int& elements) {
    TDomImplementation impl;
    TDtdToASParser parser;
    parser.SetDOMImpl(&impl);
    TdomASModel* model = impl.createASModel();
    auto t0 = Clock::now();
    parser.stringToASModel(dtd, u"", u"bench.dtd", model, true);
    auto t1 = Clock::now();
    elements = model->getElementDecls().getLength();
    impl.freeASModel(model);
    return ms(t0, t1);
}

double runLibxml2(const std::string& dtd, int& elements) {
    auto t0 = Clock::now();
    xmlParserInputBufferPtr input =
        xmlParserInputBufferCreateMem(dtd.data(), static_cast<int>(dtd.size()), XML_CHAR_ENCODING_NONE);
    xmlDtdPtr parsed = xmlIOParseDTD(nullptr, input, XML_CHAR_ENCODING_NONE);
    auto t1 = Clock::now();
    elements = 0;
    if (parsed)
        for (xmlNodePtr n = parsed->children; n; n = n->next) elements += n->type == XML_ELEMENT_DECL;
    xmlFreeDtd(parsed);
    return ms(t0, t1);
}

void report(int declarations, bool references, bool withPeer) {
    const std::string dtd = makeDtd(declarations, references);
    int oursElements = 0, theirElements = 0;
    const double ours = runOurs(dtd, oursElements);
    if (!withPeer) {
        std::printf("%s %7d declarations each (%.1f MB): ours %8.1f ms (%d elements)\n",
                    references ? "with %refs;" : "plain      ", declarations,
                    static_cast<double>(dtd.size()) / (1024.0 * 1024.0), ours, oursElements);
        return;
    }
    const double theirs = runLibxml2(dtd, theirElements);
    std::printf("%s %7d declarations each (%.1f MB): ours %8.1f ms (%d elements)  libxml2 %8.1f ms (%d elements)  "
                "ours/libxml2 %.2fx\n",
                references ? "with %refs;" : "plain      ", declarations, static_cast<double>(dtd.size()) / (1024.0 * 1024.0), ours, oursElements, theirs,
                theirElements, ours / theirs);
}

} // namespace

int main() {
    const char* env = std::getenv("VETRA_DTD_DECLS");
    const int declarations = env ? std::atoi(env) : 100'000;
    report(declarations / 20, false, true);
    report(declarations / 5, false, true);
    report(declarations / 4, false, false);
    report(declarations, false, false);
    report(declarations / 5, true, true);
    report(declarations / 4, true, false);
    report(declarations, true, false);
    return 0;
}
