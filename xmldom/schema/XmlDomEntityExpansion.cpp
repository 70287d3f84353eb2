// Entity expansion against one budget per call, and the entity tests with memory of the
// entities already answered, so hostile declarations cost time linear in their size.
#include "XmlDomEntityExpansion.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <unordered_set>

#include "XmlChars.h"
#include "XmlErrorKinds.h"

namespace xmldom {

namespace {

bool predefinedText(const WideString& name, WideString& text) {
    if (name == u"lt") text = u"<";
    else if (name == u"gt") text = u">";
    else if (name == u"amp") text = u"&";
    else if (name == u"apos") text = u"'";
    else if (name == u"quot") text = u"\"";
    else return false;
    return true;
}

/// A character reference to the character (one unit or a surrogate pair) of a character part.
WideString characterReference(const WideString& character) {
    UCS4Char v = character[0];
    if (character.size() == 2) v = 0x10000 + ((v - 0xD800) << 10) + (character[1] - 0xDC00);
    const std::string reference = XmlIntToCharRef(v);
    return WideString(reference.begin(), reference.end());
}

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool isHex(char16_t c) { return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }

/// Where the markup at value[at] ("<") ends when it is a CDATA section, a comment or a
/// processing instruction: after its closing delimiter, or at the end of the value when it is not
/// closed; just after the "<" for any other markup.
size_t markupRegionEnd(std::u16string_view value, size_t at) {
    const std::u16string_view rest = value.substr(at);
    std::u16string_view close;
    size_t open = 0;
    if (rest.starts_with(u"<![CDATA[")) close = u"]]>", open = 9;
    else if (rest.starts_with(u"<!--")) close = u"-->", open = 4;
    else if (rest.starts_with(u"<?")) close = u"?>", open = 2;
    else return at + 1;
    const size_t end = rest.find(close, open);
    return end == std::u16string_view::npos ? value.size() : at + end + close.size();
}

}  // namespace

std::vector<TdomEntityPart> CutLiteralValue(std::u16string_view value) {
    std::vector<TdomEntityPart> parts;
    WideString text;
    auto flush = [&] {
        if (!text.empty()) parts.push_back({TdomEntityPart::Text, std::move(text)});
        text.clear();
    };
    size_t i = 0;
    while (i < value.size()) {
        if (value[i] == u'<') {
            // A CDATA section, comment or processing instruction holds no references: it is
            // text up to its end (or the end of the value).
            const size_t end = markupRegionEnd(value, i);
            text.append(value.substr(i, end - i));
            i = end;
            continue;
        }
        if (value[i] != u'&') {
            text += value[i++];
            continue;
        }
        size_t semi = value.find(u';', i + 1);
        if (semi == std::u16string_view::npos) {
            text += value[i++];
            continue;
        }
        std::u16string_view body = value.substr(i + 1, semi - i - 1);
        if (!body.empty() && body[0] == u'#') {
            bool hex = body.size() > 1 && body[1] == u'x';
            std::u16string_view digits = body.substr(hex ? 2 : 1);
            bool ok = !digits.empty();
            uint32_t v = 0;
            for (char16_t c : digits) {
                if (!(hex ? isHex(c) : isDigit(c))) {
                    ok = false;
                    break;
                }
                uint32_t d = isDigit(c) ? c - u'0' : (c | 0x20) - u'a' + 10;
                v = v * (hex ? 16 : 10) + d;
                if (v >= 0x110000) {
                    ok = false;
                    break;
                }
            }
            if (ok) {
                WideString ch;
                if (v >= 0x10000) {
                    ch += static_cast<char16_t>(0xD800 + ((v - 0x10000) >> 10));
                    ch += static_cast<char16_t>(0xDC00 + ((v - 0x10000) & 0x3FF));
                } else {
                    ch += static_cast<char16_t>(v);
                }
                flush();
                parts.push_back({TdomEntityPart::CharRef, std::move(ch)});
                i = semi + 1;
                continue;
            }
        } else if (IsXmlName(body)) {
            flush();
            parts.push_back({TdomEntityPart::EntityRef, WideString(body)});
            i = semi + 1;
            continue;
        }
        text += value[i++];
    }
    flush();
    return parts;
}

// ------------------------------------------------------------------ expander

TdomEntityExpander::TdomEntityExpander(TdomEntityLookup lookup, TdomExpansionLimits limits, bool allowExternal)
    : lookup_(std::move(lookup)), limits_(limits), allowExternal_(allowExternal), ownBudget_(limits.maxChars) {}

bool TdomEntityExpander::charge(size_t n) { return budget_->charge(n); }

TdomExpansionResult TdomEntityExpander::expandEntity(const WideString& name, WideString& text) {
    text.clear();
    if (predefinedText(name, text)) {
        // Also when declared: the declaration may only give the same character.
        if (keepPredefined_) text = u"&" + name + u";";
        return TdomExpansionResult::Ok;
    }
    TdomExpansionResult r = build(name, 0);
    if (r == TdomExpansionResult::Ok) text = done_[name].text;
    return r;
}

TdomExpansionResult TdomEntityExpander::appendEntity(const WideString& name, WideString& out) {
    WideString predefined;
    if (predefinedText(name, predefined)) {
        out += predefined;
        return TdomExpansionResult::Ok;
    }
    TdomExpansionResult r = build(name, 0);
    if (r != TdomExpansionResult::Ok) return r;
    const WideString& text = done_[name].text;
    if (!charge(text.size())) {
        failedName_ = name;
        return TdomExpansionResult::TooLarge;
    }
    out += text;
    return TdomExpansionResult::Ok;
}

TdomExpansionResult TdomEntityExpander::expandText(std::u16string_view literal, WideString& text) {
    text.clear();
    std::vector<TdomEntityPart> parts = CutLiteralValue(literal);
    int height = 0;
    return appendParts(parts, text, 0, height);
}

TdomExpansionResult TdomEntityExpander::appendParts(const std::vector<TdomEntityPart>& parts, WideString& out,
                                                    int depth, int& height) {
    for (const TdomEntityPart& part : parts) {
        if (part.kind == TdomEntityPart::CharRef && keepPredefined_) {
            // Text parsed as content: a character given by a reference in the replacement text
            // stays a reference, so that it is read as a character, never as markup.
            const WideString reference = characterReference(part.text);
            if (!charge(reference.size())) return TdomExpansionResult::TooLarge;
            out += reference;
            continue;
        }
        if (part.kind != TdomEntityPart::EntityRef) {
            if (!charge(part.text.size())) return TdomExpansionResult::TooLarge;
            out += part.text;
            continue;
        }
        WideString predefined;
        if (predefinedText(part.text, predefined)) {
            if (keepPredefined_) predefined = u"&" + part.text + u";";
            if (!charge(predefined.size())) return TdomExpansionResult::TooLarge;
            out += predefined;
            continue;
        }
        TdomExpansionResult r = build(part.text, depth + 1);
        if (r != TdomExpansionResult::Ok) return r;
        const Built& sub = done_[part.text];
        height = std::max(height, sub.height + 1);
        if (!charge(sub.text.size())) return TdomExpansionResult::TooLarge;
        out += sub.text;
    }
    return TdomExpansionResult::Ok;
}

TdomExpansionResult TdomEntityExpander::tooDeep(const WideString& name) {
    failedName_ = name;
    deepSeen_ = true;
    return TdomExpansionResult::TooLarge;
}

TdomExpansionResult TdomEntityExpander::build(const WideString& name, int depth) {
    // An entity built before answers as a fresh build would at this depth: its references
    // nest height entities below it, whatever the depth it was first met at. So a reference's
    // answer does not depend on what was expanded before it.
    if (auto it = done_.find(name); it != done_.end())
        return depth + it->second.height > limits_.maxDepth ? tooDeep(name) : TdomExpansionResult::Ok;
    failedName_ = name;
    if (budget_->spent()) return TdomExpansionResult::TooLarge;
    if (depth > limits_.maxDepth) return tooDeep(name);
    if (onPath_[name]) return TdomExpansionResult::Circular;
    // Once a chain went too deep, an entity nested too deeply for the depth left is refused
    // before it is walked, so the references to a long chain do not walk it again each.
    if (deepSeen_ && depth + shapes_.of(name, lookup_).height > limits_.maxDepth) return tooDeep(name);
    TdomEntityFacts facts;
    if (!lookup_(name, true, facts)) return TdomExpansionResult::Undeclared;
    if (facts.unparsed) return TdomExpansionResult::Unparsed;
    if (facts.external && !allowExternal_) return TdomExpansionResult::External;
    if (facts.state == 0) return TdomExpansionResult::Unresolvable;
    if (facts.state == 1 && !(forAttributes_ && facts.attributeUsable)) return TdomExpansionResult::Unusable;
    onPath_[name] = true;
    Built built;
    TdomExpansionResult r = appendParts(CutLiteralValue(facts.literalValue), built.text, depth, built.height);
    onPath_[name] = false;
    if (r != TdomExpansionResult::Ok) return r;
    done_.emplace(name, std::move(built));
    return TdomExpansionResult::Ok;
}

WideString ExpansionLimitClue(bool tooDeep, const WideString& entity) {
    WideString clue = u"past the expansion budget";
    if (tooDeep) {
        const std::string limit = std::to_string(TdomExpansionLimits{}.maxDepth);
        clue = u"entities nested deeper than " + WideString(limit.begin(), limit.end());
    }
    if (!entity.empty()) clue += u" at &" + entity + u";";
    return clue;
}

// ------------------------------------------------------------------ entity tests

TdomEntityTestResult TestEntityReferences(TdomEntityTestKind kind, const WideString& entity, bool ignoreUndeclared,
                                          const TdomEntityLookup& lookup, WideString* undeclaredName,
                                          std::unordered_map<WideString, TdomEntityTestResult>* known) {
    // Colours of the depth-first walk: on the path (grey) or answered without a hit (black).
    // With answers kept (known), the walk uses them and leaves its own: a hit or an undeclared
    // name holds for every entity on the path to it, and no hit for an entity whose part of the
    // walk met no entity on the path (for the circular test, every entity it finished).
    std::unordered_set<WideString> grey;
    std::unordered_set<WideString> black;
    struct Frame {
        WideString name;
        std::vector<WideString> refs;
        size_t next = 0;
        bool metPath = false;  ///< a reference back to the path was passed over below
    };
    std::vector<Frame> stack;
    auto answerPath = [&](TdomEntityTestResult result) {
        if (known)
            for (const Frame& f : stack) (*known)[f.name] = result;
        return result;
    };
    // Examines one entity: a hit of its own, or its references pushed for the walk.
    auto enter = [&](const WideString& name, TdomEntityTestResult& result) -> bool {
        TdomEntityFacts facts;
        bool resolve = kind == TdomEntityTestKind::Unresolvable || kind == TdomEntityTestKind::LessThan;
        if (!lookup(name, resolve, facts)) {
            if (IsXmlPredefinedEntityName(name) || ignoreUndeclared) {
                black.insert(name);
                return false;
            }
            if (undeclaredName) *undeclaredName = name;
            result = answerPath(TdomEntityTestResult::Undeclared);
            return true;
        }
        std::vector<TdomEntityPart> parts = CutLiteralValue(facts.literalValue);
        bool hit = false;
        switch (kind) {
            case TdomEntityTestKind::External: hit = facts.external; break;
            case TdomEntityTestKind::Unparsed: hit = facts.unparsed; break;
            case TdomEntityTestKind::Unresolvable: hit = facts.state != 2; break;
            case TdomEntityTestKind::LessThan:
                // The test of attribute values: an entity unfit only as content is no hit.
                hit = facts.state != 2 && !facts.attributeUsable;
                for (const auto& p : parts)
                    if (p.kind == TdomEntityPart::Text && p.text.find(u'<') != WideString::npos) hit = true;
                break;
            case TdomEntityTestKind::Circular: break;
        }
        if (hit) {
            if (known) (*known)[name] = TdomEntityTestResult::Hit;
            result = answerPath(TdomEntityTestResult::Hit);
            return true;
        }
        Frame f{name, {}, 0, false};
        for (auto& p : parts)
            if (p.kind == TdomEntityPart::EntityRef) f.refs.push_back(std::move(p.text));
        grey.insert(name);
        stack.push_back(std::move(f));
        return false;
    };
    TdomEntityTestResult result = TdomEntityTestResult::NoHit;
    if (enter(entity, result)) return result;
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next == f.refs.size()) {
            grey.erase(f.name);
            black.insert(f.name);
            if (known && (!f.metPath || kind == TdomEntityTestKind::Circular))
                (*known)[f.name] = TdomEntityTestResult::NoHit;
            const bool metPath = f.metPath;
            stack.pop_back();
            if (metPath && !stack.empty()) stack.back().metPath = true;
            continue;
        }
        WideString ref = f.refs[f.next++];
        if (black.count(ref)) continue;
        if (grey.count(ref)) {
            if (kind == TdomEntityTestKind::Circular) return answerPath(TdomEntityTestResult::Hit);
            f.metPath = true;
            continue;
        }
        if (known) {
            if (auto it = known->find(ref); it != known->end()) {
                if (it->second == TdomEntityTestResult::NoHit) continue;
                return answerPath(it->second);
            }
        }
        if (enter(ref, result)) return result;
    }
    return TdomEntityTestResult::NoHit;
}

TdomEntityTestResult TdomEntityTestMemo::test(TdomEntityTestKind kind, const WideString& entity, bool ignoreUndeclared,
                                               const TdomEntityLookup& lookup) {
    auto& answers = answers_[static_cast<size_t>(kind)][ignoreUndeclared ? 1 : 0];
    if (auto it = answers.find(entity); it != answers.end()) return it->second;
    const TdomEntityTestResult result = TestEntityReferences(kind, entity, ignoreUndeclared, lookup, nullptr, &answers);
    answers[entity] = result;
    return result;
}

namespace {

std::atomic<uint64_t> declarationsGeneration{0};

}  // namespace

uint64_t EntityDeclarationsGeneration() { return declarationsGeneration.load(std::memory_order_relaxed); }
void EntityDeclarationsChanged() { declarationsGeneration.fetch_add(1, std::memory_order_relaxed); }

TdomEntityShapes::Shape TdomEntityShapes::of(const WideString& name, const TdomEntityLookup& lookup) {
    if (auto it = known_.find(name); it != known_.end()) return it->second;
    constexpr size_t kMaxLength = SIZE_MAX / 4;
    struct Frame {
        WideString name;
        std::vector<WideString> refs;
        size_t next = 0;
        Shape shape;
    };
    std::unordered_set<WideString> grey;
    std::vector<Frame> stack;
    // Examines one entity: a leaf is known at once, any other goes on the stack.
    auto enter = [&](const WideString& n) {
        TdomEntityFacts facts;
        Shape leaf;
        if (!lookup(n, false, facts)) {
            WideString text;
            leaf.undeclared = !predefinedText(n, text);
            leaf.length = text.size();
            known_.emplace(n, leaf);
            return;
        }
        Frame f{n, {}, 0, {}};
        for (TdomEntityPart& p : CutLiteralValue(facts.literalValue)) {
            if (p.kind == TdomEntityPart::EntityRef) f.refs.push_back(std::move(p.text));
            else f.shape.length += p.text.size();
        }
        grey.insert(n);
        stack.push_back(std::move(f));
    };
    enter(name);
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next == f.refs.size()) {
            grey.erase(f.name);
            known_.emplace(f.name, f.shape);
            stack.pop_back();
            continue;
        }
        const WideString& ref = f.refs[f.next];
        if (grey.count(ref)) {
            f.shape.circular = true;
            ++f.next;
            continue;
        }
        auto it = known_.find(ref);
        if (it == known_.end()) {
            enter(ref);  // may move the frames: f is looked at again next time round
            continue;
        }
        const Shape& sub = it->second;
        f.shape.circular = f.shape.circular || sub.circular;
        f.shape.undeclared = f.shape.undeclared || sub.undeclared;
        f.shape.height = std::max(f.shape.height, sub.height + 1);
        f.shape.length = std::min(kMaxLength, f.shape.length + sub.length);
        ++f.next;
    }
    return known_.at(name);
}

namespace {

char16_t blankToSpace(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' ? u' ' : c; }

}  // namespace

TdomLiteralOutcome ExpandAttributeLiteral(std::u16string_view literal, TdomEntityExpander& expander, WideString& out) {
    TdomLiteralOutcome outcome;
    out.reserve(out.size() + literal.size());
    size_t i = 0;
    while (i < literal.size()) {
        const size_t amp = std::min(literal.find(u'&', i), literal.size());
        for (; i < amp; ++i) out.push_back(blankToSpace(literal[i]));
        if (amp == literal.size()) break;
        const size_t semi = literal.find(u';', amp + 1);
        if (semi == std::u16string_view::npos) {
            outcome.fault = TdomLiteralFault::Malformed;
            return outcome;
        }
        const std::u16string_view reference = literal.substr(amp, semi - amp + 1);
        if (reference.size() > 1 && reference[1] == u'#') {
            try {
                out += XmlCharRefToStr(reference);
            } catch (const EConvertError&) {
                outcome.fault = TdomLiteralFault::BadReference;
                outcome.reference = WideString(reference);
                return outcome;
            }
        } else {
            WideString name(reference.substr(1, reference.size() - 2));
            if (!IsXmlName(name)) {
                outcome.fault = TdomLiteralFault::BadReference;
                outcome.reference = std::move(name);
                return outcome;
            }
            const size_t from = out.size();
            TdomExpansionResult r = expander.appendEntity(name, out);
            if (r != TdomExpansionResult::Ok) {
                outcome.fault = TdomLiteralFault::Expansion;
                outcome.expansion = r;
                outcome.reference = std::move(name);
                return outcome;
            }
            for (size_t k = from; k < out.size(); ++k) out[k] = blankToSpace(out[k]);
        }
        i = semi + 1;
    }
    return outcome;
}

uint8_t NormalizeDeclaredValue(std::u16string_view value, const TdomEntityLookup& lookup, TdomExpansionBudget* budget,
                               WideString& out, WideString* failedReference) {
    // A usable entity whose value holds "<" is handed to the expansion as unusable and told
    // apart by the flag. External entities are refused whatever their state, so nothing is
    // fetched.
    bool lessThan = false;
    TdomEntityExpander expander(
        [&lookup, &lessThan](const WideString& name, bool, TdomEntityFacts& facts) {
            if (!lookup(name, false, facts)) return false;
            if (!facts.external && facts.state == 2 && facts.literalValue.find(u'<') != WideString::npos) {
                lessThan = true;
                facts.state = 1;
            }
            return true;
        },
        TdomExpansionLimits{}, false);
    expander.setForAttributeValues(true);
    expander.shareBudget(budget);
    out.clear();
    const TdomLiteralOutcome outcome = ExpandAttributeLiteral(value, expander, out);
    switch (outcome.fault) {
        case TdomLiteralFault::None: return ET_NONE;
        case TdomLiteralFault::Malformed:
        case TdomLiteralFault::BadReference: return ET_INVALID_ATTLIST_DECLARATION;
        case TdomLiteralFault::Expansion: break;
    }
    switch (outcome.expansion) {
        case TdomExpansionResult::Ok:
        case TdomExpansionResult::Undeclared: return ET_INVALID_ATTLIST_DECLARATION;
        case TdomExpansionResult::Unparsed:
        case TdomExpansionResult::External: return ET_ATTRIBUTE_REFERS_TO_EXTERNAL_ENTITY;
        case TdomExpansionResult::Unresolvable:
        case TdomExpansionResult::Unusable: return lessThan ? ET_LT_IN_REPLACEMENT_TEXT : ET_NO_PROPER_MARKUP_REFERENCED;
        case TdomExpansionResult::Circular: return ET_RECURSIVE_REFERENCE;
        case TdomExpansionResult::TooLarge:
            if (failedReference) *failedReference = outcome.reference;
            return ET_UNRESOLVABLE_ENTITY_REFERENCE;
    }
    return ET_INVALID_ATTLIST_DECLARATION;
}

WideString AttributeLiteralOf(std::u16string_view value) {
    WideString out;
    out.reserve(value.size());
    for (char16_t c : value) {
        switch (c) {
            case u'&': out += u"&amp;"; break;
            case u'<': out += u"&lt;"; break;
            case u'"': out += u"&quot;"; break;
            case u'\t': out += u"&#x9;"; break;
            case u'\n': out += u"&#xA;"; break;
            case u'\r': out += u"&#xD;"; break;
            default: out += c;
        }
    }
    return out;
}

WideString CollapseSpaces(std::u16string_view value) {
    WideString out;
    out.reserve(value.size());
    bool pending = false;
    for (char16_t c : value) {
        if (c == u' ') {
            pending = !out.empty();
            continue;
        }
        if (pending) out += u' ';
        pending = false;
        out += c;
    }
    return out;
}

}  // namespace xmldom
