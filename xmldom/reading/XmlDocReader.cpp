// The document reader's tokenizer (one state per kind of token, the document type declaration
// scanned with its internal subset), the tag and doctype splits and the send operations.

#include "XmlDocReader.h"

#include <unordered_set>

#include "XmlChars.h"
#include "XmlErrorKinds.h"
#include "XmlSources.h"

namespace xmldom {

namespace {

bool isWs(char16_t c) { return c == 0x20 || c == 0x9 || c == 0xA || c == 0xD; }

bool endsWith(const WideString& S, std::u16string_view Tail) {
    return S.size() >= Tail.size() && std::u16string_view(S).substr(S.size() - Tail.size()) == Tail;
}

std::u16string_view trim(std::u16string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && isWs(s[b])) ++b;
    while (e > b && isWs(s[e - 1])) --e;
    return s.substr(b, e - b);
}

/// Value of the digits of a character reference; -1 when they do not form a number or the
/// number passes the highest code point (however many digits there are).
int32_t convertReference(const WideString& Digits, bool Hex) {
    if (Digits.empty()) return -1;
    int64_t v = 0;
    for (char16_t c : Digits) {
        int d;
        if (c >= u'0' && c <= u'9') d = c - u'0';
        else if (Hex && c >= u'a' && c <= u'f') d = c - u'a' + 10;
        else if (Hex && c >= u'A' && c <= u'F') d = c - u'A' + 10;
        else return -1;
        v = v * (Hex ? 16 : 10) + d;
        if (v > 0x10FFFF) return -1;
    }
    return static_cast<int32_t>(v);
}

enum class TState : uint8_t {
    BetweenTokens,
    Text,
    AfterAmpersand,
    EntityName,
    AfterAmpHash,
    DecimalRef,
    HexRef,
    Markup,
    PI,
    Comment,
    CDATA,
    Doctype
};

/// Reads a quoted literal at Pos (after skipping nothing); false when there is none.
bool readLiteral(std::u16string_view S, size_t& Pos, WideString& Value) {
    if (Pos >= S.size() || (S[Pos] != u'"' && S[Pos] != u'\'')) return false;
    char16_t q = S[Pos];
    size_t end = S.find(q, Pos + 1);
    if (end == std::u16string_view::npos) return false;
    Value.assign(S.substr(Pos + 1, end - Pos - 1));
    Pos = end + 1;
    return true;
}

size_t skipWs(std::u16string_view S, size_t Pos) {
    while (Pos < S.size() && isWs(S[Pos])) ++Pos;
    return Pos;
}

} // namespace

// ------------------------------------------------------------------ doctype split

bool XmlSplitDoctype(std::u16string_view Text, WideString& Name, WideString& PubId, WideString& SysId,
                     WideString& InternalSubset) {
    Name.clear();
    PubId.clear();
    SysId.clear();
    InternalSubset.clear();
    static constexpr std::u16string_view kOpen = u"<!DOCTYPE";
    if (Text.size() < 11 || Text.substr(0, 9) != kOpen || Text.back() != u'>' || !isWs(Text[9])) return false;
    std::u16string_view inner = trim(Text.substr(10, Text.size() - 11));
    // The name runs to white space or to the subset's "[".
    size_t pos = 0;
    while (pos < inner.size() && !isWs(inner[pos]) && inner[pos] != u'[') ++pos;
    Name.assign(inner.substr(0, pos));
    if (!IsXmlName(Name)) return false;
    // The external identifier: its literals are read whole, so a "[" or "]" inside them is theirs.
    pos = skipWs(inner, pos);
    std::u16string_view rest = inner.substr(pos);
    if (rest.substr(0, 6) == u"SYSTEM" || rest.substr(0, 6) == u"PUBLIC") {
        const bool isPublic = rest[0] == u'P';
        size_t at = skipWs(rest, 6);
        if (at == 6 || !readLiteral(rest, at, isPublic ? PubId : SysId)) return false;
        if (isPublic) {
            const size_t before = at;
            at = skipWs(rest, at);
            if (at == before || !readLiteral(rest, at, SysId)) return false;
        }
        pos += skipWs(rest, at);
    }
    // What is left is nothing, or the bracketed internal subset.
    std::u16string_view tail = inner.substr(pos);
    if (tail.empty()) return true;
    if (tail.size() < 2 || tail.front() != u'[' || tail.back() != u']') return false;
    InternalSubset.assign(tail.substr(1, tail.size() - 2));
    return true;
}

// ------------------------------------------------------------------ send operations

void TXmlStandardDocReader::clearPrefixMappings() { FPrefixMappings.clear(); }

bool TXmlStandardDocReader::sendProcessingInstruction(TdomLocator* Locator, const WideString& Text) {
    if (!FNextHandler) return true;
    size_t ws = 0;
    while (ws < Text.size() && !isWs(Text[ws])) ++ws;
    size_t data = ws;
    while (data < Text.size() && isWs(Text[data])) ++data;
    return FNextHandler->processProcessingInstruction(this, Locator, Text.substr(0, ws), Text.substr(data));
}

bool TXmlStandardDocReader::sendComment(TdomLocator* Locator, const WideString& Text) {
    return FNextHandler ? FNextHandler->processComment(this, Locator, Text) : true;
}

bool TXmlStandardDocReader::sendCDATA(TdomLocator* Locator, const WideString& Text) {
    return FNextHandler ? FNextHandler->processCDATA(this, Locator, Text) : true;
}

bool TXmlStandardDocReader::sendPCDATA(TdomLocator* Locator, const WideString& Text) {
    return FNextHandler ? FNextHandler->processPCDATA(this, Locator, Text) : true;
}

bool TXmlStandardDocReader::sendStartDocument(TdomLocator* Locator, const WideString& Version,
                                              const WideString& Encoding, TdomStandalone Standalone) {
    clearPrefixMappings();
    return FNextHandler ? FNextHandler->processStartDocument(this, Locator, Version, Encoding, Standalone) : true;
}

bool TXmlStandardDocReader::sendStartDocumentFragment(TdomLocator* Locator, const WideString& Version,
                                                      const WideString& Encoding, TdomStandalone Standalone) {
    clearPrefixMappings();
    return FNextHandler ? FNextHandler->processStartDocumentFragment(this, Locator, Version, Encoding, Standalone)
                        : true;
}

bool TXmlStandardDocReader::sendStartTag(TdomLocator* Locator, const WideString& Text) {
    return sendTag(Locator, Text, false);
}

bool TXmlStandardDocReader::sendTag(TdomLocator* Locator, const WideString& Text, bool Empty) {
    if (!FNextHandler) return true;
    if (FTagBusy) {
        // A tag sent from a handler of another: its own list and name.
        TdomNameValueList ownAttributes;
        WideString ownTagName;
        return sendSplitTag(Locator, Text, Empty, ownAttributes, ownTagName);
    }
    struct Release {
        bool& busy;
        ~Release() { busy = false; }
    } release{FTagBusy};
    FTagBusy = true;
    return sendSplitTag(Locator, Text, Empty, FTagAttributes, FTagName);
}

bool TXmlStandardDocReader::sendSplitTag(TdomLocator* Locator, const WideString& Text, bool Empty,
                                         TdomNameValueList& attributes, WideString& tagName) {
    // The list is refilled from its start: the pairs keep their storage from tag to tag.
    bool ok;
    if (FPrefixMapping || FSuppressXmlns) {
        if (FPrefixMapping) FPrefixMappings.emplace_back();
        ok = splitTagImpl(Locator, Text, &attributes, tagName, true, 0);
    } else {
        ok = splitTagImpl(Locator, Text, &attributes, tagName, false, 0);
    }
    if (!ok) return false;
    if (!FNextHandler->processStartElement(this, Locator, tagName, &attributes)) return false;
    return !Empty || sendEndTag(Locator, tagName);
}

bool TXmlStandardDocReader::splitTag(TdomLocator* Locator, const WideString& Text, TdomNameValueList* Attributes,
                                     WideString& TagName) {
    return splitTagImpl(Locator, Text, Attributes, TagName, false, Attributes->getCount());
}

bool TXmlStandardDocReader::splitTagNS(TdomLocator* Locator, const WideString& Text,
                                       TdomNameValueList* Attributes, WideString& TagName) {
    if (FPrefixMapping) FPrefixMappings.emplace_back();
    return splitTagImpl(Locator, Text, Attributes, TagName, true, Attributes->getCount());
}

bool TXmlStandardDocReader::splitTagImpl(TdomLocator* Locator, const WideString& Text,
                                         TdomNameValueList* Attributes, WideString& TagName,
                                         bool WithNamespaces, int From) {
    // The pairs written so far stay in the list whatever the way out.
    struct Fill {
        TdomNameValueList* list;
        int next;
        void add(std::u16string_view name, std::u16string_view value) {
            if (list->getSorted()) list->Add(WideString(name), WideString(value));
            else list->SetPair(next++, name, value);
        }
        ~Fill() {
            if (!list->getSorted()) list->Truncate(next);
        }
    } fill{Attributes, From};
    const std::u16string_view s(Text);
    const size_t n = s.size();
    size_t i = 0;
    while (i < n && !isWs(s[i])) ++i;
    TagName.assign(s.substr(0, i));
    i = skipWs(s, i);
    // Names seen so far: a linear look-up for short lists, hashed once they grow.
    std::unordered_set<std::u16string_view> seen;
    std::u16string_view few[16];
    size_t fewCount = 0;
    auto isDouble = [&](std::u16string_view name) {
        if (!seen.empty()) return !seen.insert(name).second;
        for (size_t f = 0; f < fewCount; ++f)
            if (few[f] == name) return true;
        if (fewCount < 16) {
            few[fewCount++] = name;
            return false;
        }
        seen.insert(few, few + fewCount);
        seen.insert(name);
        return false;
    };
    while (i < n) {
        size_t nameStart = i;
        while (i < n && !isWs(s[i]) && s[i] != u'=') ++i;
        std::u16string_view name = s.substr(nameStart, i - nameStart);
        i = skipWs(s, i);
        if (i >= n || s[i] != u'=') return handleError(ET_MISSING_EQUALITY_SIGN, Locator, {});
        i = skipWs(s, i + 1);
        if (i >= n || (s[i] != u'"' && s[i] != u'\'')) return handleError(ET_MISSING_QUOTATION_MARKS, Locator, {});
        size_t close = s.find(s[i], i + 1);
        if (close == std::u16string_view::npos) return handleError(ET_MISSING_QUOTATION_MARKS, Locator, {});
        std::u16string_view value = s.substr(i + 1, close - i - 1);
        if (isDouble(name)) return handleError(ET_DOUBLE_ATTRIBUTE_NAME, Locator, {});
        bool declaration = false;
        if (WithNamespaces) {
            WideString prefix;
            if (name == u"xmlns") {
                declaration = true;
            } else if (name.size() > 6 && name.substr(0, 6) == u"xmlns:") {
                declaration = true;
                prefix.assign(name.substr(6));
            }
            if (declaration && FPrefixMapping) {
                FPrefixMappings.back().push_back(prefix);
                if (!sendStartPrefixMapping(Locator, prefix, WideString(value))) return false;
            }
        }
        if (!declaration || !FSuppressXmlns) fill.add(name, value);
        i = close + 1;
        if (i < n && !isWs(s[i])) return handleError(ET_MISSING_WHITE_SPACE, Locator, {});
        i = skipWs(s, i);
    }
    return true;
}

bool TXmlStandardDocReader::sendStartPrefixMapping(TdomLocator* Locator, const WideString& Prefix,
                                                   const WideString& Uri) {
    return FNextHandler ? FNextHandler->processStartPrefixMapping(this, Locator, Prefix, Uri) : true;
}

bool TXmlStandardDocReader::sendEndDocument(TdomLocator* Locator) {
    return FNextHandler ? FNextHandler->processEndDocument(this, Locator) : true;
}

bool TXmlStandardDocReader::sendEndDocumentFragment(TdomLocator* Locator) {
    return FNextHandler ? FNextHandler->processEndDocumentFragment(this, Locator) : true;
}

bool TXmlStandardDocReader::sendEndTag(TdomLocator* Locator, const WideString& Name) {
    if (!FNextHandler) return true;
    if (!FNextHandler->processEndElement(this, Locator, Name)) return false;
    return sendEndPrefixMappings(Locator);
}

bool TXmlStandardDocReader::sendEndPrefixMappings(TdomLocator* Locator) {
    if (!FNextHandler) return true;
    if (!FPrefixMapping || FPrefixMappings.empty()) return true;
    std::vector<WideString> prefixes = std::move(FPrefixMappings.back());
    FPrefixMappings.pop_back();
    for (auto it = prefixes.rbegin(); it != prefixes.rend(); ++it)
        if (!FNextHandler->processEndPrefixMapping(this, Locator, *it)) return false;
    return true;
}

bool TXmlStandardDocReader::sendEmptyElementTag(TdomLocator* Locator, const WideString& Text) {
    return sendTag(Locator, Text, true);
}

bool TXmlStandardDocReader::sendEntityRef(TdomLocator* Locator, const WideString& Name) {
    return FNextHandler ? FNextHandler->processEntityRef(this, Locator, Name) : true;
}

bool TXmlStandardDocReader::sendDoctype(TdomLocator* Locator, const WideString& Text) {
    if (!FNextHandler) return true;
    WideString name, pubId, sysId, subset;
    if (!XmlSplitDoctype(Text, name, pubId, sysId, subset)) return handleError(ET_INVALID_DOCTYPE, Locator, {});
    return FNextHandler->processDoctype(this, Locator, name, pubId, sysId, subset);
}

void TXmlStandardDocReader::reset() {
    if (FNextHandler) FNextHandler->reset();
}

bool TXmlStandardDocReader::parseDocument(TXmlInputSource* InputSource) {
    TdomLocator* locator = InputSource->getLocator();
    try {
        return sendStartDocument(locator, InputSource->getDeclaredVersion(), InputSource->getDeclaredEncoding(),
                                 InputSource->getDeclaredStandalone()) &&
               parseContent(InputSource) && sendEndDocument(locator);
    } catch (...) {
        clearPrefixMappings();
        reset();
        throw;
    }
}

bool TXmlStandardDocReader::parseFragment(TXmlInputSource* InputSource) {
    TdomLocator* locator = InputSource->getLocator();
    try {
        return sendStartDocumentFragment(locator, InputSource->getDeclaredVersion(),
                                         InputSource->getDeclaredEncoding(), InputSource->getDeclaredStandalone()) &&
               parseContent(InputSource) && sendEndDocumentFragment(locator);
    } catch (...) {
        clearPrefixMappings();
        reset();
        throw;
    }
}

// ------------------------------------------------------------------ the tokenizer

bool TXmlStandardDocReader::parseContent(TXmlInputSource* InputSource) {
    TdomInputSourceLocator* loc = InputSource->getLocator();
    WideString buf;
    WideString token;  // the part of buf an event carries; its storage is reused
    WideString number;
    TState state = TState::BetweenTokens;
    bool inSingle = false, inDouble = false, inSubset = false;
    std::u16string_view awaited; // terminator awaited inside the internal subset
    size_t awaitedFrom = 0;      // the terminator must lie wholly after this buffer length
    int opener = 0;              // pending opener in the subset: 0 none, 1 "<", 2 "<!", 3 "<!-"
    bool go = true;
    // No character failed the check so far: every text handed on holds XML characters only.
    bool allChecked = true;
    // Text from here on in buf was written as it stands (not given by character references):
    // a "]]>" there is not character data.
    size_t literalFrom = 0;

    auto flushText = [&]() {
        struct Checked {
            const WideString*& text;
            ~Checked() { text = nullptr; }
        } checked{FCheckedText};
        if (allChecked) FCheckedText = &buf;
        bool r = sendPCDATA(loc, buf);
        buf.clear();
        literalFrom = 0;
        return r;
    };
    auto toggleQuotes = [&](int32_t c) {
        if (c == u'\'' && !inDouble) inSingle = !inSingle;
        else if (c == u'"' && !inSingle) inDouble = !inDouble;
    };

    // Characters that end a run of plain characters in each state (see readPlainRun).
    static constexpr TXmlRunStops kTextStops("<&>");
    static constexpr TXmlRunStops kCloseStops(">");
    static constexpr TXmlRunStops kTagStops(">'\"");

    try {
        int32_t c;
        while (go) {
            // Plain characters inside a token are taken in runs: the same characters, checks
            // and locator moves as one at a time, without a call per character.
            switch (state) {
            case TState::Text:
                InputSource->readPlainRun(buf, kTextStops);
                break;
            case TState::PI:
            case TState::Comment:
            case TState::CDATA:
                InputSource->readPlainRun(buf, kCloseStops);
                break;
            case TState::Markup:
                // After "<" and a character that is neither "!" nor "?" no opener can follow.
                if (buf.size() >= 2 && buf[1] != u'!') InputSource->readPlainRun(buf, kTagStops);
                break;
            default:
                break;
            }
            if (!InputSource->takePlainAscii(c) && !InputSource->getNextChar(c)) break;
            const bool plainAscii = c >= 0x20 && c < 0x80;
            if (!plainAscii && !IsXmlChar(static_cast<UCS4Char>(c))) {
                allChecked = false;
                loc->markStart();
                go = handleError(ET_INVALID_CHARACTER, loc, {});
            }
            switch (state) {
            case TState::BetweenTokens:
                loc->markStart();
                literalFrom = 0;
                if (c == u'<') {
                    buf.push_back(u'<');
                    state = TState::Markup;
                } else if (c == u'&') {
                    state = TState::AfterAmpersand;
                } else {
                    AppendCodePoint(buf, c);
                    state = TState::Text;
                }
                break;
            case TState::Text:
                if (c == u'&') {
                    state = TState::AfterAmpersand;
                } else if (c == u'<') {
                    if (!flushText()) go = false;
                    loc->markStart();
                    buf.push_back(u'<');
                    state = TState::Markup;
                } else {
                    if (c == u'>' && buf.size() >= literalFrom + 2 && buf[buf.size() - 1] == u']' &&
                        buf[buf.size() - 2] == u']') {
                        loc->markStart();
                        go = handleError(ET_INVALID_CHARACTER, loc, u"]]>");
                    }
                    AppendCodePoint(buf, c);
                }
                break;
            case TState::AfterAmpersand:
                if (c == u'#') {
                    state = TState::AfterAmpHash;
                } else {
                    if (!buf.empty() && !flushText()) go = false;
                    AppendCodePoint(buf, c);
                    loc->markStart();
                    state = TState::EntityName;
                }
                break;
            case TState::EntityName:
                if (c == u';') {
                    if (!sendEntityRef(loc, buf)) go = false;
                    buf.clear();
                    state = TState::BetweenTokens;
                } else {
                    AppendCodePoint(buf, c);
                }
                break;
            case TState::AfterAmpHash:
                if (c == u'x') {
                    state = TState::HexRef;
                } else if (c == u';') {
                    // A reference without digits.
                    go = handleError(ET_INVALID_CHARACTER_REFERENCE, loc, u"&#;");
                    state = TState::Text;
                } else {
                    AppendCodePoint(number, c);
                    state = TState::DecimalRef;
                }
                break;
            case TState::DecimalRef:
            case TState::HexRef:
                if (c == u';') {
                    bool hex = state == TState::HexRef;
                    int32_t v = convertReference(number, hex);
                    if (v >= 0 && IsXmlChar(static_cast<UCS4Char>(v))) {
                        AppendCodePoint(buf, v);
                    } else {
                        WideString clue = hex ? u"&#x" : u"&#";
                        clue += number;
                        clue += u';';
                        go = handleError(ET_INVALID_CHARACTER_REFERENCE, loc, clue);
                    }
                    number.clear();
                    literalFrom = buf.size();
                    state = TState::Text;
                } else {
                    AppendCodePoint(number, c);
                }
                break;
            case TState::Markup:
                AppendCodePoint(buf, c);
                if (buf.size() == 2 && buf == u"<?") {
                    state = TState::PI;
                } else if (buf.size() == 4 && buf == u"<!--") {
                    state = TState::Comment;
                } else if (buf.size() == 9 && buf == u"<![CDATA[") {
                    state = TState::CDATA;
                } else if (buf.size() == 9 && buf == u"<!DOCTYPE") {
                    state = TState::Doctype;
                    inSingle = inDouble = inSubset = false;
                    awaited = {};
                    opener = 0;
                } else if (c == u'\'' || c == u'"') {
                    toggleQuotes(c);
                } else if (c == u'>' && !inSingle && !inDouble) {
                    const size_t n = buf.size();
                    if (n >= 2 && buf[1] == u'/') {
                        size_t e = n - 1;
                        while (e > 2 && isWs(buf[e - 1])) --e;
                        go = sendEndTag(loc, token.assign(buf, 2, e - 2));
                    } else if (n >= 3 && buf[n - 2] == u'/') {
                        go = sendEmptyElementTag(loc, token.assign(buf, 1, n - 3));
                    } else {
                        go = sendStartTag(loc, token.assign(buf, 1, n - 2));
                    }
                    buf.clear();
                    state = TState::BetweenTokens;
                }
                break;
            case TState::PI:
                AppendCodePoint(buf, c);
                // The "?" of the opener never closes it: "<?>" stays open.
                if (c == u'>' && buf.size() >= 4 && buf[buf.size() - 2] == u'?') {
                    go = sendProcessingInstruction(loc, token.assign(buf, 2, buf.size() - 4));
                    buf.clear();
                    state = TState::BetweenTokens;
                }
                break;
            case TState::Comment:
                AppendCodePoint(buf, c);
                if (c == u'>' && buf.size() > 6 && endsWith(buf, u"-->")) {
                    go = sendComment(loc, token.assign(buf, 4, buf.size() - 7));
                    buf.clear();
                    state = TState::BetweenTokens;
                }
                break;
            case TState::CDATA:
                AppendCodePoint(buf, c);
                if (c == u'>' && buf.size() >= 12 && endsWith(buf, u"]]>")) {
                    go = sendCDATA(loc, token.assign(buf, 9, buf.size() - 12));
                    buf.clear();
                    state = TState::BetweenTokens;
                }
                break;
            case TState::Doctype:
                AppendCodePoint(buf, c);
                if (!awaited.empty()) {
                    if (buf.size() >= awaitedFrom + awaited.size() && endsWith(buf, awaited)) awaited = {};
                    break;
                }
                toggleQuotes(c);
                if (inSingle || inDouble) {
                    if (c != u'\'' && c != u'"') opener = 0;
                    break;
                }
                if (!inSubset) {
                    if (c == u'[') inSubset = true;
                    else if (c == u'>') {
                        go = sendDoctype(loc, buf);
                        buf.clear();
                        state = TState::BetweenTokens;
                    }
                    break;
                }
                if (c == u'<') {
                    opener = 1;
                } else if (c == u'!' && opener == 1) {
                    opener = 2;
                } else if (c == u'?' && opener == 1) {
                    opener = 0;
                    awaited = u"?>";
                    awaitedFrom = buf.size();
                } else if (c == u'-' && opener == 2) {
                    opener = 3;
                } else if (c == u'-' && opener == 3) {
                    opener = 0;
                    awaited = u"-->";
                    awaitedFrom = buf.size();
                } else {
                    opener = 0;
                    if (c == u']') inSubset = false;
                }
                break;
            }
        }
        if (go) {
            if (state == TState::Text) {
                if (!buf.empty()) go = flushText();
            } else if (state != TState::BetweenTokens) {
                WideString clue = buf;
                switch (state) {
                case TState::EntityName: clue.insert(0, u"&"); break;
                case TState::AfterAmpersand: clue += u"&"; break;
                case TState::AfterAmpHash: clue += u"&#"; break;
                case TState::DecimalRef: clue += u"&#" + number; break;
                case TState::HexRef: clue += u"&#x" + number; break;
                default: break;
                }
                go = handleError(ET_INVALID_CHARACTER, loc, clue);
            }
        }
    } catch (const Exception&) {
        // Undecodable bytes and handler faults end the read as an invalid character.
        loc->markStart();
        go = handleError(ET_INVALID_CHARACTER, loc, buf);
    }
    clearPrefixMappings();
    return go;
}

} // namespace xmldom
