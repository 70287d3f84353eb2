// Writes a checksheet-shaped document of about 50 MB (VETRA_XML_MB to change; sections, operations with attributes,
// statements whose text needs escaping) with the writer component in UTF-8, into memory and
// into a file; libxml2 serialises the same tree, built in libxml2, in the same run. A second,
// markup-heavy document of the same size (a parts list: small elements, most of them empty,
// with four to six short attributes each and little text) is written into memory by both, where
// names and tags rather than text make the cost. Before the timings the outputs are compared
// byte for byte (libxml2's final line feed dropped; it writes empty elements as start and end
// tags, as ours does). Into memory, each side's timing ends with the document in a std::string.

#include <benchmark/benchmark.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "XmlDom.h"
#include "XmlParsers.h"
#include "XmlStreams.h"

using namespace xmldom;

namespace {

/// About 26 sections make a megabyte.
int sections() {
    static const int count = [] {
        const char* env = std::getenv("VETRA_XML_MB");
        return 26 * (env ? std::max(1, std::atoi(env)) : 50);
    }();
    return count;
}
constexpr int kOperations = 40;  // per section
constexpr int kStatements = 6;   // per operation

std::u16string wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

std::string statementText(int i) {
    return "Check level of fluid & top up <max " + std::to_string(i % 97) +
           "> with approved grade; inspect hoses, clamps & seals for leaks";
}

/// The same tree in both models. Attribute values of the object model hold the literal form
/// (references written as such), which is what the writer sends out unchanged.
struct Trees {
    TDomImplementation impl;
    std::unique_ptr<TdomDocument> ours;
    xmlDocPtr theirs = nullptr;

    Trees() {
        ours = std::make_unique<TdomDocument>();
        theirs = xmlNewDoc(BAD_CAST "1.0");
        TdomElement* root = ours->createElement(u"checksheet");
        ours->appendChild(root);
        root->setAttribute(u"locale", u"en_GB");
        xmlNodePtr xroot = xmlNewDocNode(theirs, nullptr, BAD_CAST "checksheet", nullptr);
        xmlDocSetRootElement(theirs, xroot);
        xmlSetProp(xroot, BAD_CAST "locale", BAD_CAST "en_GB");
        TdomElement* body = ours->createElement(u"main-body");
        root->appendChild(body);
        xmlNodePtr xbody = xmlNewChild(xroot, nullptr, BAD_CAST "main-body", nullptr);
        int id = 0;
        for (int s = 0; s < sections(); ++s) {
            TdomElement* section = ours->createElement(u"section");
            body->appendChild(section);
            xmlNodePtr xsection = xmlNewChild(xbody, nullptr, BAD_CAST "section", nullptr);
            const std::string heading = "Engine & gearbox " + std::to_string(s);
            addText(section, xsection, "main-heading", heading);
            for (int o = 0; o < kOperations; ++o, ++id) {
                TdomElement* op = ours->createElement(u"operation");
                section->appendChild(op);
                xmlNodePtr xop = xmlNewChild(xsection, nullptr, BAD_CAST "operation", nullptr);
                setAttr(op, xop, "type", "service", "service");
                setAttr(op, xop, "level", "1", "1");
                setAttr(op, xop, "parts", "true", "true");
                setAttr(op, xop, "note", "a&amp;b&lt;c", "a&b<c");
                setAttr(op, xop, "id", std::to_string(id), std::to_string(id));
                addText(op, xop, "sub-heading", "Oil & filter <" + std::to_string(o) + ">");
                for (int k = 0; k < kStatements; ++k) addText(op, xop, "statement", statementText(id + k));
            }
        }
    }
    ~Trees() { xmlFreeDoc(theirs); }

    void addText(TdomElement* parent, xmlNodePtr xparent, const char* name, const std::string& text) {
        TdomElement* e = ours->createElement(wide(name));
        parent->appendChild(e);
        e->appendChild(ours->createTextNode(wide(text)));
        xmlNodePtr x = xmlNewChild(xparent, nullptr, BAD_CAST name, nullptr);
        xmlAddChild(x, xmlNewText(BAD_CAST text.c_str()));
    }
    void setAttr(TdomElement* e, xmlNodePtr x, const char* name, const std::string& literal, const std::string& raw) {
        e->setAttribute(wide(name), wide(literal));
        xmlSetProp(x, BAD_CAST name, BAD_CAST raw.c_str());
    }
};

Trees& trees() {
    static Trees t;
    return t;
}

/// About 5,300 parts make a megabyte.
int parts() {
    static const int count = [] {
        const char* env = std::getenv("VETRA_XML_MB");
        return 5300 * (env ? std::max(1, std::atoi(env)) : 50);
    }();
    return count;
}

/// The markup-heavy tree in both models: a parts list of groups, each part with its fixings.
struct MarkupTrees {
    std::unique_ptr<TdomDocument> ours;
    xmlDocPtr theirs = nullptr;

    MarkupTrees() {
        ours = std::make_unique<TdomDocument>();
        theirs = xmlNewDoc(BAD_CAST "1.0");
        TdomElement* root = ours->createElement(u"parts-list");
        ours->appendChild(root);
        xmlNodePtr xroot = xmlNewDocNode(theirs, nullptr, BAD_CAST "parts-list", nullptr);
        xmlDocSetRootElement(theirs, xroot);
        attr(root, xroot, "model", "107");
        attr(root, xroot, "market", "GB");
        TdomElement* group = nullptr;
        xmlNodePtr xgroup = nullptr;
        for (int p = 0; p < parts(); ++p) {
            if (p % 50 == 0) {
                group = child(root, xroot, xgroup, "group");
                attr(group, xgroup, "code", "G" + std::to_string(p / 50));
            }
            xmlNodePtr xpart;
            TdomElement* part = child(group, xgroup, xpart, "part");
            attr(part, xpart, "id", "P" + std::to_string(p));
            attr(part, xpart, "kind", p % 3 ? "bolt" : "clip");
            attr(part, xpart, "size", "M" + std::to_string(6 + p % 5 * 2));
            attr(part, xpart, "grade", "8.8");
            xmlNodePtr x;
            TdomElement* e = child(part, xpart, x, "torque");
            attr(e, x, "value", std::to_string(10 + p % 40));
            attr(e, x, "unit", "Nm");
            e = child(part, xpart, x, "fit");
            attr(e, x, "axle", p % 2 ? "front" : "rear");
            attr(e, x, "side", p % 4 < 2 ? "left" : "right");
            attr(e, x, "qty", std::to_string(1 + p % 8));
            e = child(part, xpart, x, "name");
            e->appendChild(ours->createTextNode(p % 3 ? u"Bolt" : u"Clip"));
            xmlAddChild(x, xmlNewText(BAD_CAST(p % 3 ? "Bolt" : "Clip")));
            e = child(part, xpart, x, "ref");
            attr(e, x, "sheet", std::to_string(p % 97));
            attr(e, x, "line", std::to_string(p % 13));
        }
    }
    ~MarkupTrees() { xmlFreeDoc(theirs); }

    TdomElement* child(TdomElement* parent, xmlNodePtr xparent, xmlNodePtr& x, const char* name) {
        TdomElement* e = ours->createElement(wide(name));
        parent->appendChild(e);
        x = xmlNewChild(xparent, nullptr, BAD_CAST name, nullptr);
        return e;
    }
    static void attr(TdomElement* e, xmlNodePtr x, const char* name, const std::string& value) {
        e->setAttribute(wide(name), wide(value));
        xmlSetProp(x, BAD_CAST name, BAD_CAST value.c_str());
    }
};

MarkupTrees& markupTrees() {
    static MarkupTrees t;
    return t;
}

std::string oursToMemory() {
    TDomToXmlParser writer;
    writer.SetDOMImpl(&trees().impl);
    TStringStream stream;
    writer.writeToStream(trees().ours.get(), u"", &stream);
    return stream.ReleaseDataString();
}

std::string markupOursToMemory() {
    TDomToXmlParser writer;
    writer.SetDOMImpl(&trees().impl);
    TStringStream stream;
    writer.writeToStream(markupTrees().ours.get(), u"", &stream);
    return stream.ReleaseDataString();
}

std::string theirsToMemory(xmlDocPtr doc = trees().theirs) {
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlSaveCtxtPtr ctxt = xmlSaveToBuffer(buffer, nullptr, XML_SAVE_NO_EMPTY);
    xmlSaveDoc(ctxt, doc);
    xmlSaveClose(ctxt);
    std::string out(reinterpret_cast<const char*>(xmlBufferContent(buffer)), xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    return out;
}

const std::string& tempFile() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("bench_xml_writer_" + std::to_string(::getpid()) + ".xml")).string();
    return path;
}

/// User and system CPU time and minor page faults per iteration, beside the benchmark's own
/// figures: where the time of a run goes (the encoding, the system's writing, fresh pages).
class Usage {
public:
    explicit Usage(benchmark::State& state) : state_(state) { getrusage(RUSAGE_SELF, &start_); }
    ~Usage() {
        rusage end{};
        getrusage(RUSAGE_SELF, &end);
        const auto ms = [](const timeval& a, const timeval& b) {
            return (static_cast<double>(b.tv_sec - a.tv_sec) * 1e6 + static_cast<double>(b.tv_usec - a.tv_usec)) / 1e3;
        };
        const double n = static_cast<double>(std::max<benchmark::IterationCount>(state_.iterations(), 1));
        state_.counters["user_ms"] = ms(start_.ru_utime, end.ru_utime) / n;
        state_.counters["sys_ms"] = ms(start_.ru_stime, end.ru_stime) / n;
        state_.counters["faults"] = static_cast<double>(end.ru_minflt - start_.ru_minflt) / n;
    }
    Usage(const Usage&) = delete;
    Usage& operator=(const Usage&) = delete;

private:
    benchmark::State& state_;
    rusage start_{};
};

void BM_WriterToMemory(benchmark::State& state) {
    Usage usage(state);
    size_t bytes = 0;
    for (auto _ : state) {
        std::string out = oursToMemory();
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

void BM_Libxml2ToMemory(benchmark::State& state) {
    Usage usage(state);
    size_t bytes = 0;
    for (auto _ : state) {
        std::string out = theirsToMemory();
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

void BM_WriterMarkupToMemory(benchmark::State& state) {
    Usage usage(state);
    size_t bytes = 0;
    for (auto _ : state) {
        std::string out = markupOursToMemory();
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

void BM_Libxml2MarkupToMemory(benchmark::State& state) {
    Usage usage(state);
    size_t bytes = 0;
    for (auto _ : state) {
        std::string out = theirsToMemory(markupTrees().theirs);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

void BM_WriterToFile(benchmark::State& state) {
    Usage usage(state);
    TDomToXmlParser writer;
    writer.SetDOMImpl(&trees().impl);
    for (auto _ : state) {
        TFileStream file(tempFile(), fmCreate);
        writer.writeToStream(trees().ours.get(), u"", &file);
    }
    state.SetBytesProcessed(static_cast<int64_t>(std::filesystem::file_size(tempFile())) * state.iterations());
}

void BM_Libxml2ToFile(benchmark::State& state) {
    Usage usage(state);
    for (auto _ : state) {
        xmlSaveCtxtPtr ctxt = xmlSaveToFilename(tempFile().c_str(), nullptr, 0);
        xmlSaveDoc(ctxt, trees().theirs);
        xmlSaveClose(ctxt);
    }
    state.SetBytesProcessed(static_cast<int64_t>(std::filesystem::file_size(tempFile())) * state.iterations());
}

} // namespace

BENCHMARK(BM_WriterToMemory)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Libxml2ToMemory)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WriterMarkupToMemory)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Libxml2MarkupToMemory)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WriterToFile)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Libxml2ToFile)->Unit(benchmark::kMillisecond)->Iterations(5);

/// Prints whether the two outputs are the same bytes (libxml2's final line feed dropped).
static bool compareOutputs(const char* what, const std::string& ours, std::string theirs) {
    if (!theirs.empty() && theirs.back() == '\n') theirs.pop_back();
    std::printf("%s: %zu bytes; outputs %s\n", what, ours.size(), ours == theirs ? "identical" : "DIFFER");
    if (ours == theirs) return true;
    size_t i = 0;
    while (i < ours.size() && i < theirs.size() && ours[i] == theirs[i]) ++i;
    std::printf("first difference at byte %zu:\n ours:   %.80s\n theirs: %.80s\n", i, ours.c_str() + i,
                theirs.c_str() + std::min(i, theirs.size()));
    return false;
}

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!compareOutputs("document", oursToMemory(), theirsToMemory())) return 1;
    if (!compareOutputs("markup-heavy document", markupOursToMemory(), theirsToMemory(markupTrees().theirs)))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    std::remove(tempFile().c_str());
    benchmark::Shutdown();
    return 0;
}
