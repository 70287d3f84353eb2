// The declaration store at DTD scale: declaring 100,000 entities (plain values and values
// with markup, which take the silent test parse), looking 100,000 declarations up, checking a
// model of 10,000 element types with five attributes each, and expanding nested entities.
// Declaring and looking up entities is compared with libxml2's entity table in the same run.
#include <benchmark/benchmark.h>
#include <libxml/entities.h>
#include <libxml/tree.h>

#include <string>

#include "XmlASModel.h"
#include "XmlDomImpl.h"

using namespace xmldom;

namespace {

WideString num(int i) {
    std::string s = std::to_string(i);
    return WideString(s.begin(), s.end());
}

void declareEntities(benchmark::State& state, const WideString& value) {
    const int count = static_cast<int>(state.range(0));
    std::vector<WideString> names;
    for (int i = 0; i < count; ++i) names.push_back(u"e" + num(i));
    TDomImplementation impl;
    for (auto _ : state) {
        TdomASModel* model = impl.createASModel();
        for (const WideString& n : names) {
            TdomASEntityDecl* d = nullptr;
            model->addEntityDecl(n, value, d);
        }
        impl.freeASModel(model);
        benchmark::DoNotOptimize(model);
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_DeclarePlainEntities(benchmark::State& state) { declareEntities(state, u"Service interval, 12 months"); }
BENCHMARK(BM_DeclarePlainEntities)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_DeclareMarkupEntities(benchmark::State& state) {
    declareEntities(state, u"<b>Torque</b> &amp; check &#169; <i>12 Nm</i>");
}
BENCHMARK(BM_DeclareMarkupEntities)->Arg(100000)->Unit(benchmark::kMillisecond);

// libxml2 keeps an entity's value without parsing it; compare with the plain values above.
void BM_Libxml2DeclareEntities(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back("e" + std::to_string(i));
    for (auto _ : state) {
        xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
        xmlCreateIntSubset(doc, BAD_CAST "doc", nullptr, nullptr);
        for (const std::string& n : names)
            xmlAddDocEntity(doc, BAD_CAST n.c_str(), XML_INTERNAL_GENERAL_ENTITY, nullptr, nullptr,
                            BAD_CAST "Service interval, 12 months");
        xmlFreeDoc(doc);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_Libxml2DeclareEntities)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_EntityLookUp(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    TDomImplementation impl;
    TdomASModel* model = impl.createASModel();
    TdomASModelCollection col(&impl);
    col.appendASModel(model);
    std::vector<WideString> names;
    for (int i = 0; i < count; ++i) {
        names.push_back(u"entity" + num(i));
        TdomASEntityDecl* d = nullptr;
        model->addEntityDecl(names.back(), u"v", d);
    }
    for (auto _ : state)
        for (const WideString& n : names) benchmark::DoNotOptimize(col.findEntityDecl(n));
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_EntityLookUp)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_Libxml2EntityLookUp(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    xmlCreateIntSubset(doc, BAD_CAST "doc", nullptr, nullptr);
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back("entity" + std::to_string(i));
        xmlAddDocEntity(doc, BAD_CAST names.back().c_str(), XML_INTERNAL_GENERAL_ENTITY, nullptr, nullptr,
                        BAD_CAST "v");
    }
    for (auto _ : state)
        for (const std::string& n : names) benchmark::DoNotOptimize(xmlGetDocEntity(doc, BAD_CAST n.c_str()));
    state.SetItemsProcessed(state.iterations() * count);
    xmlFreeDoc(doc);
}
BENCHMARK(BM_Libxml2EntityLookUp)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_LookUp(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    TDomImplementation impl;
    TdomASModel* model = impl.createASModel();
    TdomASModelCollection col(&impl);
    col.appendASModel(model);
    std::vector<WideString> names;
    for (int i = 0; i < count; ++i) {
        names.push_back(u"element" + num(i));
        TdomASElementDecl* e = nullptr;
        model->addElementDecl(names.back(), AS_CONTENT_EMPTY, e);
    }
    for (auto _ : state)
        for (const WideString& n : names) benchmark::DoNotOptimize(col.findElementDecl(n));
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_LookUp)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ValidateModels(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    TDomImplementation impl;
    TdomASModel* model = impl.createASModel();
    TdomASModelCollection col(&impl);
    col.appendASModel(model);
    TdomASEntityDecl* ent = nullptr;
    model->addEntityDecl(u"sep", u" - ", ent);
    for (int i = 0; i < count; ++i) {
        TdomASElementDecl* e = nullptr;
        model->addElementDecl(u"el" + num(i), AS_CONTENT_ELEMENT, e);
        TdomASAttributeDecl* a = nullptr;
        e->addAttributeDecl(u"id", a);
        a->setAttrType(AS_ID_DATATYPE);
        e->addAttributeDecl(u"ref", a);
        a->setAttrType(AS_IDREFS_DATATYPE);
        a->setDefaultDecl(AS_DEFAULT);
        a->setDefaultValue(u"  a  b\tc ");
        e->addAttributeDecl(u"kind", a);
        a->setAttrType(AS_NMTOKEN_DATATYPE);
        a->setDefaultDecl(AS_DEFAULT);
        a->setDefaultValue(u"one");
        for (const char16_t* t : {u"one", u"two", u"three"}) a->getEnumeration().Add(t);
        e->addAttributeDecl(u"title", a);
        a->setDefaultDecl(AS_DEFAULT);
        a->setDefaultValue(u"x&sep;y");
        e->addAttributeDecl(u"size", a);
        a->setAttrType(AS_NMTOKENS_DATATYPE);
    }
    for (auto _ : state) benchmark::DoNotOptimize(col.validate());
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ValidateModels)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ResolveNested(benchmark::State& state) {
    TDomImplementation impl;
    TdomASModel* model = impl.createASModel();
    TdomASModelCollection col(&impl);
    col.appendASModel(model);
    TdomASEntityDecl* d = nullptr;
    model->addEntityDecl(u"l0", u"<p>text</p>", d);
    for (int i = 1; i <= 5; ++i) {
        WideString v;
        for (int k = 0; k < 10; ++k) v += u"&l" + num(i - 1) + u";";
        model->addEntityDecl(u"l" + num(i), v, d);
    }
    WideString text;
    for (auto _ : state) {
        col.resolveEntity(u"l5", text);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size() * 2));
}
BENCHMARK(BM_ResolveNested)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
