// The DTD reader's tokenizer (one state per kind of construct), parameter-entity resolution with
// its recursion, depth and size limits, conditional sections, the declaration splits, the
// content-declaration check, and the helpers for external entities and internal subsets.

#include "XmlDtdReader.h"

#include <memory>

#include "XmlChars.h"
#include "XmlEncodings.h"
#include "XmlDomImpl.h"
#include "XmlSources.h"
#include "XmlStreams.h"

namespace xmldom {

namespace {

bool isWs(char16_t c) { return c == 0x20 || c == 0x9 || c == 0xA || c == 0xD; }


bool endsWith(const WideString& S, std::u16string_view Tail) {
    return S.size() >= Tail.size() && std::u16string_view(S).substr(S.size() - Tail.size()) == Tail;
}

bool startsWith(std::u16string_view S, std::u16string_view Head) {
    return S.size() >= Head.size() && S.substr(0, Head.size()) == Head;
}

std::u16string_view trim(std::u16string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && isWs(s[b])) ++b;
    while (e > b && isWs(s[e - 1])) --e;
    return s.substr(b, e - b);
}

size_t skipWs(std::u16string_view S, size_t Pos) {
    while (Pos < S.size() && isWs(S[Pos])) ++Pos;
    return Pos;
}

WideString reference(const WideString& Name) {
    WideString r;
    r.reserve(Name.size() + 2);
    r += u'%';
    r += Name;
    r += u';';
    return r;
}

/// Toggles the quote flags as the markup of a declaration does: one kind of quote is literal
/// inside the other.
void toggleQuotes(int32_t C, bool& InSingle, bool& InDouble) {
    if (C == u'\'' && !InDouble) InSingle = !InSingle;
    else if (C == u'"' && !InSingle) InDouble = !InDouble;
}

/// Removes an entry from a list when the scope ends, also through an exception.
struct TPopGuard {
    std::vector<WideString>& List;
    ~TPopGuard() { List.pop_back(); }
};

struct TCountGuard {
    int& Count;
    explicit TCountGuard(int& C) : Count(C) { ++Count; }
    ~TCountGuard() { --Count; }
};

enum class TState : uint8_t {
    Between,
    Markup,
    PI,
    Comment,
    Entity,
    Notation,
    Element,
    AttList,
    Section,    ///< the keyword of a conditional section
    Ignore,     ///< inside an ignored section
    SectionEnd, ///< "]" or "]]" of an included section's end
};

bool isTypeKeyword(std::u16string_view K) {
    return K == u"CDATA" || K == u"ID" || K == u"IDREF" || K == u"IDREFS" || K == u"ENTITY" || K == u"ENTITIES" ||
           K == u"NMTOKEN" || K == u"NMTOKENS";
}

/// The position of the ";" of a complete parameter-entity reference "%" name ";" at Text[At],
/// npos when none begins there.
size_t referenceEnd(const WideString& Text, size_t At) {
    size_t j = At + 1;
    while (j < Text.size() &&
           (j == At + 1 ? (IsXmlLetter(Text[j]) || Text[j] == u'_' || Text[j] == u':') : IsXmlNameChar(Text[j])))
        ++j;
    return j > At + 1 && j < Text.size() && Text[j] == u';' ? j : WideString::npos;
}

/// Whether the quote that ends an entity declaration's text so far opens its entity value:
/// only the name (after "%" for a parameter entity) stands between the keyword and the quote.
bool opensEntityValue(std::u16string_view Decl) {
    std::u16string_view s = Decl.substr(8, Decl.size() - 9);
    int tokens = 0;
    bool parameter = false;
    for (size_t i = skipWs(s, 0); i < s.size(); i = skipWs(s, i)) {
        const size_t start = i;
        while (i < s.size() && !isWs(s[i])) ++i;
        if (tokens == 0 && s.substr(start, i - start) == u"%") parameter = true;
        ++tokens;
    }
    return tokens == (parameter ? 2 : 1);
}

/// "(" token ("|" token)* ")" with optional white space around the tokens; names for a
/// notation list, name tokens for an enumeration.
bool isEnumeration(std::u16string_view Bracket, bool Names) {
    if (Bracket.size() < 2 || Bracket.front() != u'(' || Bracket.back() != u')') return false;
    std::u16string_view inner = Bracket.substr(1, Bracket.size() - 2);
    size_t start = 0;
    for (;;) {
        size_t bar = inner.find(u'|', start);
        std::u16string_view token = trim(inner.substr(start, bar == inner.npos ? inner.npos : bar - start));
        if (!(Names ? IsXmlName(token) : IsXmlNmtoken(token))) return false;
        if (bar == inner.npos) return true;
        start = bar + 1;
    }
}

} // namespace

// ------------------------------------------------------------------ the character feed

/// The input source with room for one character given back (the one that ended a reference
/// name is read again by the tokenizer).
struct TXmlStandardDtdReader::TCharFeed {
    explicit TCharFeed(TXmlInputSource* S) : Source(S) {}

    TXmlInputSource* Source;
    int32_t Pending = -1;
    WideString PendingText; ///< replacement text read on after a declaration ended inside it
    size_t PendingAt = 0;
    bool Again = false; ///< the last character came back from Pending or PendingText

    bool next(int32_t& C) {
        Again = Pending >= 0;
        if (Again) {
            C = Pending;
            Pending = -1;
            return true;
        }
        if (PendingAt < PendingText.size()) {
            Again = true;
            C = PendingText[PendingAt++];
            return true;
        }
        return Source->getNextChar(C);
    }
    void giveBack(int32_t C) { Pending = C; }
    /// Text to be read before the rest of the input.
    void giveBack(WideString Text) {
        if (PendingAt < PendingText.size()) Text.append(PendingText, PendingAt);
        PendingText = std::move(Text);
        PendingAt = 0;
    }
};

// ------------------------------------------------------------------ parse operations

bool TXmlStandardDtdReader::parseExternalSubset(TXmlInputSource* InputSource) {
    TdomLocator* locator = InputSource->getLocator();
    bool result;
    try {
        result = sendStartExtDtd(locator, InputSource->getPublicId(), InputSource->getDeclaredVersion(),
                                 InputSource->getDeclaredEncoding()) &&
                 parseExternalDeclarations(InputSource) && sendEndExtDtd(locator);
    } catch (...) {
        reset();
        throw;
    }
    // A run that stopped leaves the handlers as they were at the start.
    if (!result) reset();
    return result;
}

bool TXmlStandardDtdReader::parseInternalSubset(TXmlInputSource* InputSource, bool Resolve) {
    TdomLocator* locator = InputSource->getLocator();
    bool result;
    try {
        result = sendStartIntDtd(locator) && parseInternalDeclarations(InputSource, Resolve) &&
                 sendEndIntDtd(locator);
    } catch (...) {
        reset();
        throw;
    }
    if (!result) reset();
    return result;
}

bool TXmlStandardDtdReader::parseExternalDeclarations(TXmlInputSource* InputSource) {
    return tokenize(InputSource, true, true);
}

bool TXmlStandardDtdReader::parseInternalDeclarations(TXmlInputSource* InputSource, bool Resolve) {
    return tokenize(InputSource, false, Resolve);
}

void TXmlStandardDtdReader::reset() {
    if (FNextHandler) FNextHandler->reset();
}

bool TXmlStandardDtdReader::stopWith(TXmlErrorType Kind, TdomLocator* Locator, const WideString& Clue) {
    if (handleError(Kind, Locator, Clue)) reset();
    return false;
}

// ------------------------------------------------------------------ the tokenizer

bool TXmlStandardDtdReader::tokenize(TXmlInputSource* InputSource, bool External, bool Resolve) {
    if (FNesting == 0) {
        // The limits hold for one DTD: the outermost tokenizer starts them afresh.
        FActive.clear();
        FReplacementChars = 0;
    }
    TCountGuard nesting(FNesting);
    TdomInputSourceLocator* loc = InputSource->getLocator();
    TCharFeed feed{InputSource};
    WideString buf;
    WideString name;
    TState state = TState::Between;
    bool inSingle = false, inDouble = false;
    bool inEntityValue = false; ///< the open quote is that of an entity value
    // Conditional sections are read in place, so each character is read once however deep they
    // nest: an included section's content is tokenized as declarations, with the count of open
    // included sections; an ignored one is skipped, counting its nested "<![" and "]]>".
    int includeDepth = 0;
    int ignoreNest = 0;
    char16_t ignorePrev[2] = {0, 0}; ///< the two characters before, inside an ignored section
    bool go = true;

    auto finish = [&](bool Answer) {
        go = Answer;
        buf.clear();
        state = TState::Between;
    };

    try {
        int32_t c;
        while (go && feed.next(c)) {
            if (!feed.Again && !IsXmlChar(static_cast<UCS4Char>(c))) {
                loc->markStart();
                if (!(go = handleError(ET_INVALID_CHARACTER, loc, {}))) break;
            }
            switch (state) {
            case TState::Between:
                if (c == u'<') {
                    loc->markStart();
                    buf.assign(1, u'<');
                    state = TState::Markup;
                } else if (c == u'%') {
                    loc->markStart();
                    int32_t stop = -1;
                    switch (readReferenceName(feed, name, stop, go)) {
                    case TRefEnd::Complete:
                        if (go) go = referenceBetweenDeclarations(loc, name, External, Resolve);
                        break;
                    case TRefEnd::Broken:
                        feed.giveBack(stop);
                        if (go) go = handleError(ET_INVALID_CHARACTER, loc, u"%" + name);
                        break;
                    case TRefEnd::EndOfInput:
                        buf = u"%" + name; // reported below as unfinished
                        break;
                    }
                } else if (c == u']' && includeDepth > 0) {
                    loc->markStart();
                    buf.assign(1, u']');
                    state = TState::SectionEnd;
                } else if (!isWs(static_cast<char16_t>(c))) {
                    loc->markStart();
                    WideString clue;
                    AppendCodePoint(clue, c);
                    go = handleError(ET_INVALID_CHARACTER, loc, clue);
                }
                break;
            case TState::Markup: {
                AppendCodePoint(buf, c);
                const size_t n = buf.size();
                inSingle = inDouble = false;
                if (n == 2 && buf == u"<?") {
                    state = TState::PI;
                } else if (n == 3 && External && buf == u"<![") {
                    state = TState::Section;
                } else if (n == 4 && buf == u"<!--") {
                    state = TState::Comment;
                } else if (n == 8 && buf == u"<!ENTITY") {
                    state = TState::Entity;
                } else if (n == 9 && buf == u"<!ELEMENT") {
                    state = TState::Element;
                } else if (n == 9 && buf == u"<!ATTLIST") {
                    state = TState::AttList;
                } else if (n == 10 && buf == u"<!NOTATION") {
                    state = TState::Notation;
                }
                // Anything else keeps collecting: an unknown declaration is reported at the end.
                break;
            }
            case TState::PI:
                AppendCodePoint(buf, c);
                // The "?" of the opener never closes it: "<?>" stays open.
                if (c == u'>' && buf.size() >= 4 && buf[buf.size() - 2] == u'?')
                    finish(sendDtdProcessingInstruction(loc, buf.substr(2, buf.size() - 4)));
                break;
            case TState::Comment:
                AppendCodePoint(buf, c);
                // The hyphens of the opener never close it: "<!-->" and "<!--->" stay open.
                if (c == u'>' && buf.size() > 6 && endsWith(buf, u"-->"))
                    finish(sendDtdComment(loc, buf.substr(4, buf.size() - 7)));
                break;
            case TState::Entity:
            case TState::Notation:
            case TState::AttList:
            case TState::Element: {
                const bool quoted = state != TState::Element && (inSingle || inDouble);
                // Toggles the quote flags at buf[k]; a quote that opens notes whether it
                // opens the entity value.
                auto trackQuote = [&](size_t k) {
                    if (state == TState::Element) return;
                    const bool wasQuoted = inSingle || inDouble;
                    toggleQuotes(buf[k], inSingle, inDouble);
                    if (!wasQuoted && (inSingle || inDouble))
                        inEntityValue =
                            state == TState::Entity && opensEntityValue(std::u16string_view(buf).substr(0, k + 1));
                };
                auto sendDeclaration = [&] {
                    switch (state) {
                    case TState::Entity: finish(sendEntityDeclaration(loc, buf)); break;
                    case TState::Notation: finish(sendNotationDeclaration(loc, buf)); break;
                    case TState::AttList: finish(sendAttListDeclaration(loc, buf)); break;
                    default: finish(sendElementDeclaration(loc, buf)); break;
                    }
                };
                if (c == u'%' && quoted && inEntityValue) {
                    // A reference in an entity value: its text becomes part of the value in
                    // external declarations; the internal subset allows none.
                    int32_t stop = -1;
                    const TRefEnd end = readReferenceName(feed, name, stop, go);
                    if (end == TRefEnd::Complete && go && External) {
                        includeInLiteral(loc, name, buf, go);
                        break;
                    }
                    buf += u'%';
                    buf += name;
                    if (end == TRefEnd::Complete) {
                        buf += u';';
                        if (go) go = handleError(ET_INVALID_ENTITY_DECLARATION, loc, reference(name));
                    } else if (end == TRefEnd::Broken) {
                        feed.giveBack(stop);
                    }
                    break;
                }
                if (c == u'%' && External && !quoted) {
                    int32_t stop = -1;
                    switch (readReferenceName(feed, name, stop, go)) {
                    case TRefEnd::Complete:
                        if (go) {
                            // Quotes in the included text count as the declaration's own, and
                            // the declaration may end inside it: the text after its ">" is read
                            // on as input.
                            const size_t before = buf.size();
                            includeReference(loc, name, buf, go);
                            for (size_t k = before; k < buf.size(); ++k) {
                                trackQuote(k);
                                if (buf[k] == u'>' && !inSingle && !inDouble) {
                                    feed.giveBack(buf.substr(k + 1));
                                    buf.resize(k + 1);
                                    if (go) sendDeclaration();
                                    break;
                                }
                            }
                        }
                        break;
                    case TRefEnd::Broken:
                        // Not a reference (the "%" of a parameter-entity declaration).
                        buf += u'%';
                        buf += name;
                        feed.giveBack(stop);
                        break;
                    case TRefEnd::EndOfInput:
                        buf += u'%';
                        buf += name;
                        break;
                    }
                    break;
                }
                AppendCodePoint(buf, c);
                trackQuote(buf.size() - 1);
                if (c != u'>' || (state != TState::Element && (inSingle || inDouble))) break;
                sendDeclaration();
                break;
            }
            case TState::Section:
                // The keyword, up to the "[" that opens the content.
                if (c == u'[' || c == u'<' || c == u'>') {
                    bool include = false;
                    if (c == u'[') include = openSection(loc, std::u16string_view(buf).substr(3), go);
                    else go = handleError(ET_INVALID_CONDITIONAL_SECTION, loc, buf);
                    buf.clear();
                    if (include) {
                        ++includeDepth;
                        state = TState::Between;
                    } else {
                        // Ignored, or refused and passed over as if ignored.
                        ignoreNest = 1;
                        ignorePrev[0] = ignorePrev[1] = 0;
                        state = TState::Ignore;
                    }
                } else {
                    AppendCodePoint(buf, c);
                }
                break;
            case TState::Ignore:
                // Nothing is markup here, comments neither; each delimiter lies wholly after
                // the one before it.
                if (c == u'[' && ignorePrev[0] == u'<' && ignorePrev[1] == u'!') {
                    ++ignoreNest;
                    ignorePrev[0] = ignorePrev[1] = 0;
                } else if (c == u'>' && ignorePrev[0] == u']' && ignorePrev[1] == u']') {
                    ignorePrev[0] = ignorePrev[1] = 0;
                    if (--ignoreNest == 0) state = TState::Between;
                } else {
                    ignorePrev[0] = ignorePrev[1];
                    ignorePrev[1] = c <= 0xFFFF ? static_cast<char16_t>(c) : 0;
                }
                break;
            case TState::SectionEnd:
                // "]]>" closes the included section opened last.
                if ((c == u']' && buf.size() == 1) || (c == u'>' && buf.size() == 2)) {
                    buf.push_back(static_cast<char16_t>(c));
                    if (buf.size() == 3) {
                        --includeDepth;
                        finish(true);
                    }
                } else {
                    go = handleError(ET_INVALID_CHARACTER, loc, buf);
                    buf.clear();
                    state = TState::Between;
                    feed.giveBack(c);
                }
                break;
            }
        }
        if (go && (state == TState::Section || state == TState::Ignore || includeDepth > 0)) {
            // A section left open at the end of its entity.
            go = handleError(ET_INVALID_CONDITIONAL_SECTION, loc, buf);
            buf.clear();
        }
        if (go && !trim(buf).empty()) {
            // The locator still spans the unfinished construct from its first character.
            go = handleError(ET_UNKNOWN_DECLARATION_TYPE, loc, buf);
        }
    } catch (const Exception&) {
        // Undecodable bytes and handler faults end the read as an invalid character.
        loc->markStart();
        go = handleError(ET_INVALID_CHARACTER, loc, buf);
    }
    return go;
}

TXmlStandardDtdReader::TRefEnd TXmlStandardDtdReader::readReferenceName(TCharFeed& Feed, WideString& Name,
                                                                       int32_t& Stop, bool& Go) {
    Name.clear();
    int32_t c;
    while (Feed.next(c)) {
        if (!Feed.Again && !IsXmlChar(static_cast<UCS4Char>(c))) {
            Feed.Source->getLocator()->markStart();
            Go = handleError(ET_INVALID_CHARACTER, Feed.Source->getLocator(), u"%" + Name) && Go;
        }
        if (c == u';' && !Name.empty()) return TRefEnd::Complete;
        const auto u = static_cast<UCS4Char>(c);
        const bool fits = c <= 0xFFFF && (Name.empty() ? (IsXmlLetter(u) || c == u'_' || c == u':') : IsXmlNameChar(u));
        if (!fits) {
            Stop = c;
            return TRefEnd::Broken;
        }
        Name.push_back(static_cast<char16_t>(c));
    }
    return TRefEnd::EndOfInput;
}

// ------------------------------------------------------------------ parameter entities

bool TXmlStandardDtdReader::resolveReference(TdomLocator* Locator, const WideString& Name, WideString& Text,
                                             bool& Go) {
    Text.clear();
    const WideString ref = reference(Name);
    for (const WideString& active : FActive) {
        if (active == Name) {
            // The entity refers to itself, directly or through others.
            Go = handleError(ET_RECURSIVE_REFERENCE, Locator, ref);
            return false;
        }
    }
    if (static_cast<int>(FActive.size()) >= kDtdMaxEntityDepth) {
        Go = stopWith(ET_UNRESOLVABLE_PARAMETER_ENTITY_REFERENCE, Locator, ref);
        return false;
    }
    TXmlErrorType kind = 0;
    bool answer = true;
    if (FNextHandler) {
        answer = FNextHandler->resolveParameterEntity(Name, Text, kind);
    } else {
        kind = ET_UNRESOLVABLE_PARAMETER_ENTITY_REFERENCE;
    }
    if (kind != 0) {
        const bool errorAnswer = handleError(kind, Locator, ref);
        Go = answer && errorAnswer;
        Text.clear();
        return false;
    }
    if (!answer) {
        Go = false;
        return false;
    }
    FReplacementChars += Text.size();
    if (FReplacementChars > FReplacementBudget) {
        Text.clear();
        Go = stopWith(ET_UNRESOLVABLE_PARAMETER_ENTITY_REFERENCE, Locator, ref);
        return false;
    }
    return true;
}

bool TXmlStandardDtdReader::replaceCharRefsOfInternal(TdomLocator* Locator, const WideString& Name,
                                                      WideString& Text, bool& Go) {
    // An external entity's text is read as it was fetched; only the value of an internal one is
    // a literal, whose character references give its replacement text.
    if (FNextHandler && !FNextHandler->getParameterEntityAddress(Name).empty()) return true;
    try {
        Text = ResolveCharRefs(Text);
    } catch (const Exception&) {
        Go = handleError(ET_INVALID_CHARACTER, Locator, reference(Name));
        return false;
    }
    return true;
}

bool TXmlStandardDtdReader::referenceBetweenDeclarations(TdomLocator* Locator, const WideString& Name,
                                                         bool External, bool Resolve) {
    if (!External && !Resolve) return sendParameterEntityRef(Locator, reference(Name));
    WideString text;
    bool go = true;
    if (!resolveReference(Locator, Name, text, go)) return go;
    // An external entity's text is read as the declarations of an external entity (conditional
    // sections, references inside declarations), based at its own address; only the value of an
    // internal one is a literal, whose character references are replaced.
    const WideString address = FNextHandler ? FNextHandler->getParameterEntityAddress(Name) : WideString();
    if (!replaceCharRefsOfInternal(Locator, Name, text, go)) return go;
    if (text.empty()) return true;
    auto* outer = static_cast<TdomInputSourceLocator*>(Locator);
    const auto* source = static_cast<const TXmlInputSource*>(outer->getInputSource());
    FActive.push_back(Name);
    TPopGuard pop{FActive};
    return parseNested(text, source, 0, 0, External || !address.empty(), Resolve, ET_INVALID_TEXT_DECLARATION,
                       Locator, address);
}

bool TXmlStandardDtdReader::includeReference(TdomLocator* Locator, const WideString& Name, WideString& Text,
                                             bool& Go) {
    WideString replacement;
    if (!resolveReference(Locator, Name, replacement, Go)) return false;
    if (!replaceCharRefsOfInternal(Locator, Name, replacement, Go)) return false;
    FActive.push_back(Name);
    TPopGuard pop{FActive};
    // The text goes into the declaration padded with a space on each side; a reference inside
    // it (outside quotes) is replaced in turn.
    Text += u' ';
    bool inSingle = false, inDouble = false;
    const size_t n = replacement.size();
    size_t i = 0;
    while (i < n) {
        const char16_t c = replacement[i];
        if (c == u'%' && !inSingle && !inDouble) {
            const size_t j = referenceEnd(replacement, i);
            if (j != WideString::npos) {
                const WideString inner = replacement.substr(i + 1, j - i - 1);
                if (!includeReference(Locator, inner, Text, Go) && !Go) return false;
                i = j + 1;
                continue;
            }
        }
        toggleQuotes(c, inSingle, inDouble);
        Text += c;
        ++i;
    }
    Text += u' ';
    return true;
}

bool TXmlStandardDtdReader::includeInLiteral(TdomLocator* Locator, const WideString& Name, WideString& Text,
                                             bool& Go) {
    WideString replacement;
    if (!resolveReference(Locator, Name, replacement, Go)) return false;
    FActive.push_back(Name);
    TPopGuard pop{FActive};
    // The text is data of the literal: its quotes never end it (they go in as character
    // references, which the value's own replacement turns back into quotes), and a reference
    // inside it is replaced in turn.
    const size_t n = replacement.size();
    size_t i = 0;
    while (i < n) {
        const char16_t c = replacement[i];
        if (c == u'%') {
            const size_t j = referenceEnd(replacement, i);
            if (j != WideString::npos) {
                if (!includeInLiteral(Locator, replacement.substr(i + 1, j - i - 1), Text, Go) && !Go) return false;
                i = j + 1;
                continue;
            }
        }
        if (c == u'\'') Text += u"&#39;";
        else if (c == u'"') Text += u"&#34;";
        else Text += c;
        ++i;
    }
    return true;
}

bool TXmlStandardDtdReader::readOneReference(TXmlInputSource* InputSource, WideString& Text, bool Include) {
    TCharFeed feed{InputSource};
    WideString name;
    int32_t stop = -1;
    bool go = true;
    Text.clear();
    switch (readReferenceName(feed, name, stop, go)) {
    case TRefEnd::Complete:
        if (Include) {
            if (go) includeReference(InputSource->getLocator(), name, Text, go);
        } else {
            WideString replacement;
            if (resolveReference(InputSource->getLocator(), name, replacement, go)) Text = std::move(replacement);
        }
        break;
    case TRefEnd::Broken:
        Text = u"%" + name;
        AppendCodePoint(Text, stop);
        break;
    case TRefEnd::EndOfInput:
        Text = u"%" + name;
        break;
    }
    return go;
}

bool TXmlStandardDtdReader::readParameterEntity(TXmlInputSource* InputSource, WideString& Text) {
    return readOneReference(InputSource, Text, false);
}

bool TXmlStandardDtdReader::includeParameterEntity(TXmlInputSource* InputSource, WideString& Text) {
    return readOneReference(InputSource, Text, true);
}

bool TXmlStandardDtdReader::parseNested(const WideString& Text, const TXmlInputSource* Outer, int32_t Line,
                                        int32_t Column, bool External, bool Resolve,
                                        TXmlErrorType DeclarationKind, TdomLocator* Locator,
                                        const WideString& SystemId) {
    WideString marked;
    marked.reserve(Text.size() + 1);
    if (Text.empty() || Text[0] != 0xFEFF) marked += u'\uFEFF';
    marked += Text;
    TdomWideStringStream stream(marked);
    std::unique_ptr<TXmlInputSource> source;
    try {
        source = std::make_unique<TXmlInputSource>(&stream, 4096, Outer ? Outer->getLocator()->getTabWidth() : 1,
                                                   Outer ? Outer->getPublicId() : WideString(),
                                                   !SystemId.empty() ? SystemId
                                                   : Outer           ? Outer->getSystemId()
                                                                     : WideString());
    } catch (const Exception&) {
        return handleError(ET_INVALID_CHARACTER, Locator, {});
    }
    const uint8_t kind = source->getDeclarationKind();
    const uint8_t encoding = source->getEncoding();
    const bool sixteenBit = encoding >= kEncodingUTF16BE && encoding <= kEncodingUCS2;
    // A conditional section holds no declaration at all; replacement text may begin with a
    // text declaration.
    const bool foreign = DeclarationKind == ET_INVALID_CONDITIONAL_SECTION ? kind != kDeclNone : kind == kDeclXml;
    if (source->hasDeclarationFault() || foreign || !sixteenBit) return handleError(DeclarationKind, Locator, {});
    if (source->hasEncodingMismatch()) return handleError(ET_ENCODING_NOT_SUPPORTED, Locator, {});
    if (Line > 0) source->getLocator()->moveTo(Line, Column);
    return External ? parseExternalDeclarations(source.get()) : parseInternalDeclarations(source.get(), Resolve);
}

// ------------------------------------------------------------------ conditional sections

bool TXmlStandardDtdReader::openSection(TdomLocator* Locator, std::u16string_view Keyword, bool& Go) {
    WideString keyword(trim(Keyword));
    if (keyword.size() > 2 && keyword.front() == u'%' && keyword.back() == u';') {
        WideString replacement;
        if (!resolveReference(Locator, keyword.substr(1, keyword.size() - 2), replacement, Go)) return false;
        keyword = WideString(trim(replacement));
    }
    if (keyword == u"INCLUDE") return true;
    if (keyword != u"IGNORE") Go = handleError(ET_INVALID_CONDITIONAL_SECTION, Locator, keyword) && Go;
    return false;
}

bool TXmlStandardDtdReader::sendConditionalSection(TXmlInputSource* InputSource, TdomLocator* Locator,
                                                   const WideString& Text) {
    const std::u16string_view s(Text);
    const size_t bracket = s.size() > 3 ? s.find(u'[', 3) : s.npos;
    if (!startsWith(s, u"<![") || s.size() < 6 || !endsWith(Text, u"]]>") || bracket == s.npos ||
        bracket > s.size() - 3)
        return handleError(ET_INVALID_CONDITIONAL_SECTION, Locator, Text);
    bool go = true;
    if (!openSection(Locator, s.substr(3, bracket - 3), go)) return go;
    const WideString inner(trim(s.substr(bracket + 1, s.size() - 3 - (bracket + 1))));
    if (inner.empty()) return true;
    // Sections nested in it are read in place by the tokenizer: the content is read once.
    return parseNested(inner, InputSource, 0, 0, true, true, ET_INVALID_CONDITIONAL_SECTION, Locator);
}

// ------------------------------------------------------------------ send operations

bool TXmlStandardDtdReader::sendDtdProcessingInstruction(TdomLocator* Locator, const WideString& Text) {
    if (!FNextHandler) return true;
    size_t ws = 0;
    while (ws < Text.size() && !isWs(Text[ws])) ++ws;
    const size_t data = skipWs(Text, ws);
    return FNextHandler->processDtdProcessingInstruction(this, Locator, Text.substr(0, ws), Text.substr(data));
}

bool TXmlStandardDtdReader::sendDtdComment(TdomLocator* Locator, const WideString& Text) {
    return FNextHandler ? FNextHandler->processDtdComment(this, Locator, Text) : true;
}

bool TXmlStandardDtdReader::sendParameterEntityRef(TdomLocator* Locator, const WideString& Text) {
    if (!FNextHandler) return true;
    std::u16string_view s(Text);
    if (!s.empty() && s.front() == u'%') s.remove_prefix(1);
    if (!s.empty() && s.back() == u';') s.remove_suffix(1);
    return FNextHandler->processParameterEntityRef(this, Locator, WideString(s));
}

bool TXmlStandardDtdReader::sendEndExtDtd(TdomLocator* Locator) {
    return FNextHandler ? FNextHandler->processEndExtDtd(this, Locator) : true;
}

bool TXmlStandardDtdReader::sendEndIntDtd(TdomLocator* Locator) {
    return FNextHandler ? FNextHandler->processEndIntDtd(this, Locator) : true;
}

bool TXmlStandardDtdReader::sendStartExtDtd(TdomLocator* Locator, const WideString& PublicId,
                                            const WideString& Version, const WideString& Encoding) {
    return FNextHandler ? FNextHandler->processStartExtDtd(this, Locator, PublicId, Version, Encoding) : true;
}

bool TXmlStandardDtdReader::sendStartIntDtd(TdomLocator* Locator) {
    return FNextHandler ? FNextHandler->processStartIntDtd(this, Locator) : true;
}

bool TXmlStandardDtdReader::sendEntityDeclaration(TdomLocator* Locator, const WideString& Text) {
    if (!FNextHandler) return true;
    const std::u16string_view s(Text);
    if (s.size() < 14 || !startsWith(s, u"<!ENTITY") || s.back() != u'>' || !isWs(s[8]))
        return handleError(ET_INVALID_ENTITY_DECLARATION, Locator, Text);
    std::u16string_view inner = trim(s.substr(9, s.size() - 10));
    bool parameter = false;
    if (!inner.empty() && inner.front() == u'%') {
        if (inner.size() < 2 || !isWs(inner[1])) return handleError(ET_INVALID_ENTITY_DECLARATION, Locator, Text);
        parameter = true;
        inner = trim(inner.substr(1));
    }
    WideString name, definition, value, systemId, notation, publicId;
    XmlSplitFirstToken(inner, name, definition);
    bool error = definition.empty();
    if (!error) XmlParseEntityDef(definition, value, systemId, error, notation, publicId);
    if (error || (parameter && !notation.empty())) return handleError(ET_INVALID_ENTITY_DECLARATION, Locator, Text);
    if (parameter) return FNextHandler->processParameterEntityDeclaration(this, Locator, name, value, publicId, systemId);
    return FNextHandler->processEntityDeclaration(this, Locator, name, value, publicId, systemId, notation);
}

bool TXmlStandardDtdReader::sendElementDeclaration(TdomLocator* Locator, const WideString& Text) {
    if (!FNextHandler) return true;
    const std::u16string_view s(Text);
    if (s.size() < 16 || !startsWith(s, u"<!ELEMENT") || s.back() != u'>' || !isWs(s[9]))
        return handleError(ET_INVALID_ELEMENT_DECLARATION, Locator, Text);
    WideString name, spec;
    XmlSplitFirstToken(trim(s.substr(10, s.size() - 11)), name, spec);
    bool tooDeep = false;
    if (!XmlCheckContentSpec(spec, kDtdMaxParticleDepth, tooDeep))
        return handleError(ET_INVALID_ELEMENT_DECLARATION, Locator, spec);
    return FNextHandler->processElementTypeDeclaration(this, Locator, name, spec);
}

bool TXmlStandardDtdReader::sendAttListDeclaration(TdomLocator* Locator, const WideString& Text) {
    if (!FNextHandler) return true;
    const std::u16string_view s(Text);
    if (s.size() < 12 || !startsWith(s, u"<!ATTLIST") || s.back() != u'>' || !isWs(s[9]))
        return handleError(ET_INVALID_ATTLIST_DECLARATION, Locator, Text);
    WideString element, definitions;
    XmlSplitFirstToken(trim(s.substr(10, s.size() - 11)), element, definitions);
    if (!FNextHandler->processStartAttListDeclaration(this, Locator, element)) return false;

    const std::u16string_view d(definitions);
    const size_t n = d.size();
    size_t i = skipWs(d, 0);
    // Cuts a token up to white space or the end.
    auto token = [&](size_t& p) {
        const size_t b = p;
        while (p < n && !isWs(d[p])) ++p;
        return d.substr(b, p - b);
    };
    // Requires white space at p and skips it.
    auto space = [&](size_t& p) {
        if (p >= n || !isWs(d[p])) return false;
        p = skipWs(d, p);
        return p < n;
    };
    // A bracket from "(" to the first ")".
    auto bracket = [&](size_t& p, std::u16string_view& out) {
        if (p >= n || d[p] != u'(') return false;
        const size_t close = d.find(u')', p);
        if (close == d.npos) return false;
        out = d.substr(p, close - p + 1);
        p = close + 1;
        return true;
    };
    auto literal = [&](size_t& p, std::u16string_view& out) {
        if (p >= n || (d[p] != u'"' && d[p] != u'\'')) return false;
        const size_t close = d.find(d[p], p + 1);
        if (close == d.npos) return false;
        out = d.substr(p + 1, close - p - 1);
        p = close + 1;
        return true;
    };
    while (i < n) {
        std::u16string_view attName, type, brack, deflt, value;
        bool fits = true;
        attName = token(i);
        fits = space(i);
        if (fits && d[i] == u'(') {
            fits = bracket(i, brack) && isEnumeration(brack, false);
        } else if (fits) {
            type = token(i);
            if (type == u"NOTATION") fits = space(i) && bracket(i, brack) && isEnumeration(brack, true);
            else fits = isTypeKeyword(type);
        }
        fits = fits && space(i);
        if (fits && d[i] == u'#') {
            deflt = token(i);
            if (deflt == u"#FIXED") fits = space(i) && literal(i, value);
            else fits = deflt == u"#REQUIRED" || deflt == u"#IMPLIED";
        } else if (fits) {
            fits = literal(i, value);
        }
        // The next definition is set off by white space.
        if (fits && i < n && !isWs(d[i])) fits = false;
        if (!fits) {
            // A misfit ends the declaration; when the error path lets the read go on, the
            // attribute list is closed so that the handlers leave it.
            if (!handleError(ET_INVALID_ATTLIST_DECLARATION, Locator, Text)) return false;
            return FNextHandler->processEndAttListDeclaration(this, Locator);
        }
        if (!FNextHandler->processAttributeDefinition(this, Locator, WideString(attName), WideString(type),
                                                      WideString(brack), WideString(deflt), WideString(value)))
            return false;
        i = skipWs(d, i);
    }
    return FNextHandler->processEndAttListDeclaration(this, Locator);
}

bool TXmlStandardDtdReader::sendNotationDeclaration(TdomLocator* Locator, const WideString& Text) {
    if (!FNextHandler) return true;
    const std::u16string_view s(Text);
    if (s.size() < 22 || !startsWith(s, u"<!NOTATION") || s.back() != u'>' || !isWs(s[10]))
        return handleError(ET_INVALID_NOTATION_DECLARATION, Locator, Text);
    WideString name, definition, systemId, publicId;
    XmlSplitFirstToken(trim(s.substr(11, s.size() - 12)), name, definition);
    bool error = definition.empty();
    if (!error) XmlParseNotationDef(definition, systemId, publicId, error);
    if (error) return handleError(ET_INVALID_NOTATION_DECLARATION, Locator, Text);
    return FNextHandler->processNotationDeclaration(this, Locator, name, publicId, systemId);
}

// ------------------------------------------------------------------ content declarations

bool XmlCheckContentSpec(std::u16string_view Spec, int MaxDepth, bool& TooDeep) {
    TooDeep = false;
    Spec = trim(Spec);
    if (Spec == u"EMPTY" || Spec == u"ANY") return true;
    const size_t n = Spec.size();
    if (n < 3 || Spec[0] != u'(') return false;
    size_t p = skipWs(Spec, 1);
    auto isDelimiter = [](char16_t c) {
        return isWs(c) || c == u'(' || c == u')' || c == u'|' || c == u',' || c == u'?' || c == u'*' || c == u'+';
    };
    auto readName = [&](size_t& q) {
        const size_t b = q;
        while (q < n && !isDelimiter(Spec[q])) ++q;
        return IsXmlName(Spec.substr(b, q - b));
    };
    auto suffix = [&](size_t& q) {
        if (q < n && (Spec[q] == u'?' || Spec[q] == u'*' || Spec[q] == u'+')) ++q;
    };

    // Mixed content: "(" "#PCDATA" ("|" Name)* ")*", or "(#PCDATA)".
    if (Spec.substr(p, 7) == u"#PCDATA") {
        p = skipWs(Spec, p + 7);
        bool names = false;
        while (p < n && Spec[p] == u'|') {
            p = skipWs(Spec, p + 1);
            if (!readName(p)) return false;
            p = skipWs(Spec, p);
            names = true;
        }
        if (p >= n || Spec[p] != u')') return false;
        ++p;
        if (p < n && Spec[p] == u'*') ++p;
        else if (names) return false;
        return p == n;
    }

    // Element content, on an explicit stack of open groups: each remembers its connector.
    std::vector<char16_t> groups(1, 0);
    bool expectParticle = true;
    for (;;) {
        p = skipWs(Spec, p);
        if (p >= n) return false;
        if (expectParticle) {
            if (Spec[p] == u'(') {
                if (static_cast<int>(groups.size()) >= MaxDepth) {
                    TooDeep = true;
                    return false;
                }
                groups.push_back(0);
                ++p;
                continue;
            }
            if (!readName(p)) return false;
            suffix(p);
            expectParticle = false;
            continue;
        }
        const char16_t c = Spec[p];
        if (c == u')') {
            groups.pop_back();
            ++p;
            suffix(p);
            if (groups.empty()) return p == n;
            continue;
        }
        if (c != u',' && c != u'|') return false;
        if (groups.back() == 0) groups.back() = c;
        else if (groups.back() != c) return false;
        ++p;
        expectParticle = true;
    }
}

// ------------------------------------------------------------------ helpers of the parsers

TXmlErrorType XmlFetchExternalParsedEntity(TDomImplementation* Impl, const WideString& ParentSystemId,
                                           const WideString& PublicId, const WideString& SystemId,
                                           WideString& Text) {
    Text.clear();
    std::unique_ptr<TStream> stream;
    TXmlParserAction action = PARSER_NONE;
    if (Impl) Impl->doExternalParsedEntity(ParentSystemId, PublicId, SystemId, stream, action);
    if (action == PARSER_NONE) return ET_UNRESOLVABLE_PARAMETER_ENTITY_REFERENCE;
    if (!stream) return 0;
    try {
        TXmlInputSource source(stream.get(), 4096, 1, PublicId, SystemId);
        const uint8_t kind = source.getDeclarationKind();
        if (source.hasDeclarationFault() || kind == kDeclXml) return ET_INVALID_TEXT_DECLARATION;
        if (source.hasEncodingMismatch()) return ET_ENCODING_NOT_SUPPORTED;
        source.getRemainingText(Text);
        XmlNormalizeLineEnds(Text);
    } catch (const EConvertError&) {
        Text.clear();
        return ET_INVALID_CHARACTER;
    }
    return 0;
}

bool XmlTestInternalSubset(TDomImplementation* Impl, const WideString& Subset, const WideString& SystemId,
                           int32_t TabWidth, int* Faults) {
    TXmlStandardDtdReader reader;
    TXmlWFTestDTDHandler test;
    reader.setDOMImpl(Impl);
    if (Faults) {
        *Faults = 0;
        reader.OnError = [Faults](TObject*, TdomError* Error) {
            if (Error->getSeverity() != DOM_SEVERITY_WARNING) ++*Faults;
        };
    }
    reader.setNextHandler(&test);
    WideString marked;
    marked.reserve(Subset.size() + 1);
    marked += u'\uFEFF';
    marked += Subset;
    TdomWideStringStream stream(marked);
    std::unique_ptr<TXmlInputSource> source;
    try {
        source = std::make_unique<TXmlInputSource>(&stream, 4096, TabWidth, WideString(), SystemId);
    } catch (const Exception&) {
        return reader.handleError(ET_INVALID_CHARACTER, nullptr, {});
    }
    // "<?xml" at the start is a processing instruction with the reserved target here.
    if (source->getDeclarationKind() != kDeclNone)
        return reader.handleError(ET_INVALID_PROCESSING_INSTRUCTION, source->getLocator(), u"xml");
    return reader.parseInternalSubset(source.get(), false);
}

} // namespace xmldom
