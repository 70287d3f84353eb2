// Reads DTDs of 10,000, 100,000 and 300,000 declarations (element, attribute list with three
// definitions, general entity, and a parameter entity referred to inside declarations): our DTD
// reader with the DTD test handler on the external subset, libxml2 reading the same external
// subset, and expat reading the declarations as a document's internal subset. Prints the time
// per run and per declaration, and how the time grows with the size. VETRA_DTD_DECLS=n reads
// n, 10n and 30n declarations instead. Fails when our reader's count of definitions is wrong.

#include <expat.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <chrono>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "XmlDom.h"

using namespace xmldom;
using Clock = std::chrono::steady_clock;

namespace {

std::string makeDtd(int count) {
    std::string s = "<!ENTITY % common \"id ID #IMPLIED class CDATA #IMPLIED\">\n";
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        switch (i % 4) {
        case 0: s += "<!ELEMENT e" + n + " (head, (para | list)*, foot?)>\n"; break;
        case 1: s += "<!ATTLIST e" + n + " %common; kind (x|y|z) \"x\">\n"; break;
        case 2: s += "<!ENTITY n" + n + " \"value " + n + "\">\n"; break;
        default: s += "<!-- comment " + n + " -->\n"; break;
        }
    }
    return s;
}

double since(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

/// Ours: the text as an external subset through the reader and the DTD test handler; the
/// parameter entity is answered by a small resolver at the end of the chain.
class Resolver : public TXmlStandardHandler {
public:
    bool resolveParameterEntity(const WideString& Name, WideString& Text, TXmlErrorType& Kind) override {
        Kind = Name == u"common" ? 0 : 27;
        Text = Kind ? WideString() : WideString(u"id ID #IMPLIED class CDATA #IMPLIED");
        return Kind == 0;
    }
    bool processAttributeDefinition(TXmlCustomReader*, TdomLocator*, const WideString&, const WideString&,
                                    const WideString&, const WideString&, const WideString&) override {
        ++definitions;
        return true;
    }
    long definitions = 0;
};

double ours(const std::string& dtd, long& definitions) {
    TXmlStandardDtdReader reader;
    TXmlWFTestDTDHandler test;
    Resolver resolver;
    reader.setNextHandler(&test);
    test.setNextHandler(&resolver);
    const auto t = Clock::now();
    TStringStream stream(dtd);
    TXmlInputSource source(&stream, 4096, 1, u"", u"bench.dtd");
    const bool ok = reader.parseExternalSubset(&source);
    const double result = since(t);
    definitions = resolver.definitions;
    return ok ? result : -1;
}

double libxml2(const std::string& dtd) {
    const auto t = Clock::now();
    xmlParserInputBufferPtr buffer =
        xmlParserInputBufferCreateMem(dtd.data(), static_cast<int>(dtd.size()), XML_CHAR_ENCODING_UTF8);
    xmlDtdPtr parsed = xmlIOParseDTD(nullptr, buffer, XML_CHAR_ENCODING_UTF8);
    const double result = since(t);
    if (!parsed) return -1;
    xmlFreeDtd(parsed);
    return result;
}

struct ExpatRun {
    const std::string* dtd;
    long definitions = 0;
    bool ok = true;
};

double expat(const std::string& dtd) {
    // The document names its external subset; expat asks for it and reads it with a parser of
    // its own.
    const std::string doc = "<!DOCTYPE r SYSTEM \"bench.dtd\"><r/>";
    const auto t = Clock::now();
    XML_Parser p = XML_ParserCreate(nullptr);
    XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_ALWAYS);
    ExpatRun run{&dtd};
    XML_SetUserData(p, &run);
    XML_SetAttlistDeclHandler(p, [](void* u, const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*,
                                    int) { ++static_cast<ExpatRun*>(u)->definitions; });
    XML_SetExternalEntityRefHandler(p, [](XML_Parser parser, const XML_Char* context, const XML_Char*,
                                          const XML_Char*, const XML_Char*) -> int {
        auto* r = static_cast<ExpatRun*>(XML_GetUserData(parser));
        XML_Parser sub = XML_ExternalEntityParserCreate(parser, context, nullptr);
        const bool ok = XML_Parse(sub, r->dtd->data(), static_cast<int>(r->dtd->size()), 1) == XML_STATUS_OK;
        if (!ok) std::printf("  expat, external subset: %s\n", XML_ErrorString(XML_GetErrorCode(sub)));
        XML_ParserFree(sub);
        r->ok = r->ok && ok;
        return ok ? XML_STATUS_OK : XML_STATUS_ERROR;
    });
    const bool ok = XML_Parse(p, doc.data(), static_cast<int>(doc.size()), 1) == XML_STATUS_OK && run.ok;
    if (!ok) std::printf("  expat: %s\n", XML_ErrorString(XML_GetErrorCode(p)));
    XML_ParserFree(p);
    const double result = since(t);
    if (run.definitions == 0) return -1;
    return ok ? result : -1;
}

} // namespace

int main() {
    std::printf("%-12s %12s %12s %12s %14s %10s %10s\n", "declarations", "ours ms", "libxml2 ms", "expat ms",
                "ours us/decl", "ours/lx2", "ours/expat");
    double first = 0;
    int firstCount = 0;
    int unit = 10000;
    if (const char* env = std::getenv("VETRA_DTD_DECLS")) unit = std::max(4, std::atoi(env));
    bool counted = true;
    for (int count : {unit, 10 * unit, 30 * unit}) {
        const std::string dtd = makeDtd(count);
        long definitions = 0;
        // Best of three runs; a contender that refuses the DTD shows -1. A contender slower than
        // ten seconds runs once.
        double o = -1, l = -1, e = -1;
        auto best = [](double& kept, double now) {
            if (now >= 0 && (kept < 0 || now < kept)) kept = now;
        };
        for (int run = 0; run < 3; ++run) {
            best(o, ours(dtd, definitions));
            if (run == 0 || (l >= 0 && l < 10000)) best(l, libxml2(dtd));
            if (run == 0 || (e >= 0 && e < 10000)) best(e, expat(dtd));
        }
        auto ratio = [](double a, double b) { return a >= 0 && b > 0 ? a / b : -1.0; };
        std::printf("%-12d %12.1f %12.1f %12.1f %14.3f %10.2f %10.2f\n", count, o, l, e, 1000.0 * o / count,
                    ratio(o, l), ratio(o, e));
        if (!first) {
            first = o;
            firstCount = count;
        } else {
            std::printf("  growth of our time from %d: x%.1f for x%.0f declarations\n", firstCount, o / first,
                        static_cast<double>(count) / firstCount);
        }
        if (definitions != count / 4 * 3L) {
            std::printf("  FAILED: unexpected definition count %ld\n", definitions);
            counted = false;
        }
    }
    return counted ? 0 : 1;
}
