// Fuzz target of entity expansion: each input line "name=value" declares a general entity
// (a leading "!" makes it unusable, "^" external, "@" unparsed); every entity is then expanded
// and put through every entity test, and the first line's value expanded as literal text.
#include <cstddef>
#include <cstdint>
#include <map>

#include "XmlDomEntityExpansion.h"

using namespace xmldom;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::map<WideString, TdomEntityFacts> table;
    WideString firstValue;
    size_t start = 0;
    for (size_t i = 0; i <= size && table.size() < 256; ++i) {
        if (i < size && data[i] != '\n') continue;
        WideString line;
        for (size_t k = start; k < i; ++k) line += static_cast<char16_t>(data[k]);
        start = i + 1;
        size_t eq = line.find(u'=');
        if (eq == WideString::npos) continue;
        TdomEntityFacts facts;
        WideString name = line.substr(0, eq);
        if (!name.empty() && name[0] == u'!') facts.state = 1, name.erase(0, 1);
        else if (!name.empty() && name[0] == u'^') facts.external = true, name.erase(0, 1);
        else if (!name.empty() && name[0] == u'@') facts.external = facts.unparsed = true, name.erase(0, 1);
        facts.literalValue = line.substr(eq + 1);
        if (table.empty()) firstValue = facts.literalValue;
        table.emplace(name, facts);
    }
    TdomEntityLookup lookup = [&](const WideString& name, bool, TdomEntityFacts& facts) {
        auto it = table.find(name);
        if (it == table.end()) return false;
        facts = it->second;
        return true;
    };
    TdomExpansionLimits limits;
    limits.maxChars = 100000;
    limits.maxDepth = 64;
    WideString text;
    for (const auto& [name, facts] : table) {
        TdomEntityExpander(lookup, limits).expandEntity(name, text);
        for (auto kind : {TdomEntityTestKind::Circular, TdomEntityTestKind::External, TdomEntityTestKind::LessThan,
                          TdomEntityTestKind::Unparsed, TdomEntityTestKind::Unresolvable})
            TestEntityReferences(kind, name, (size & 1) != 0, lookup);
    }
    TdomEntityExpander(lookup, limits).expandText(firstValue, text);
    CollapseSpaces(text);
    return 0;
}
