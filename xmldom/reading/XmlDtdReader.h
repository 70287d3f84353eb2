// The DTD reader: TXmlStandardDtdReader cuts the text of an external or internal DTD subset into
// declarations, resolves parameter entities (between declarations, and inside declarations of
// the external subset), reads conditional sections, splits each declaration into the arguments
// of its DTD event and hands it on along the handler chain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "XmlHandlers.h"

namespace xmldom {

class TDomImplementation;
class TXmlInputSource;

/// Limits of one DTD read: replacement text taken in (all parameter entities together), and
/// nesting of parameter entities and content particles. Conditional sections are read in place
/// and may nest as deep as their text goes.
inline constexpr std::size_t kDtdReplacementBudget = 10'000'000;
inline constexpr int kDtdMaxEntityDepth = 256;
inline constexpr int kDtdMaxParticleDepth = 256;

/// Event source over the characters of a DTD subset. Shallow like the document reader: names,
/// literals and identifiers are checked by the handlers that follow it.
class TXmlStandardDtdReader : public TXmlCustomReader {
public:
    explicit TXmlStandardDtdReader(TdomBaseComponent* AOwner = nullptr) : TXmlCustomReader(AOwner) {}

    /// The tokenizer for external-subset text: conditional sections, and parameter-entity
    /// references both between and inside declarations.
    virtual bool parseExternalDeclarations(TXmlInputSource* InputSource);
    /// The tokenizer for internal-subset text. With Resolve a reference between declarations is
    /// replaced by its text, without it passed on as an event.
    virtual bool parseInternalDeclarations(TXmlInputSource* InputSource, bool Resolve);
    /// Reads the reference after a "%" and yields its replacement text with one space before
    /// and after; a reference inside it is replaced as well.
    virtual bool includeParameterEntity(TXmlInputSource* InputSource, WideString& Text);
    /// Reads the characters after a "%": at ";" the replacement text of the name; when a
    /// character cannot continue the name, "%" and the characters read (that one included).
    virtual bool readParameterEntity(TXmlInputSource* InputSource, WideString& Text);
    /// A whole conditional section "<![" keyword "[" ... "]]>": INCLUDE is parsed, IGNORE
    /// skipped; kind 67 otherwise. The tokenizer itself reads sections in place.
    virtual bool sendConditionalSection(TXmlInputSource* InputSource, TdomLocator* Locator, const WideString& Text);
    /// Splits target and data at the first white space.
    virtual bool sendDtdProcessingInstruction(TdomLocator* Locator, const WideString& Text);
    virtual bool sendDtdComment(TdomLocator* Locator, const WideString& Text);
    /// Text is "%" name ";".
    virtual bool sendParameterEntityRef(TdomLocator* Locator, const WideString& Text);
    virtual bool sendEndExtDtd(TdomLocator* Locator);
    virtual bool sendEndIntDtd(TdomLocator* Locator);
    /// "<!ENTITY" ... ">": general or parameter entity; kind 70.
    virtual bool sendEntityDeclaration(TdomLocator* Locator, const WideString& Text);
    /// "<!ELEMENT" ... ">": name and content declaration; kind 69.
    virtual bool sendElementDeclaration(TdomLocator* Locator, const WideString& Text);
    /// "<!ATTLIST" ... ">": start, one event per attribute definition, end; kind 66.
    virtual bool sendAttListDeclaration(TdomLocator* Locator, const WideString& Text);
    /// "<!NOTATION" ... ">": name and identifiers; kind 71.
    virtual bool sendNotationDeclaration(TdomLocator* Locator, const WideString& Text);
    virtual bool sendStartExtDtd(TdomLocator* Locator, const WideString& PublicId, const WideString& Version,
                                 const WideString& Encoding);
    virtual bool sendStartIntDtd(TdomLocator* Locator);
    /// reset of the next handler.
    virtual void reset();
    /// Start, declarations, end of an external subset. An exception resets the chain and passes on.
    virtual bool parseExternalSubset(TXmlInputSource* InputSource);
    /// Start, declarations, end of an internal subset. An exception resets the chain and passes on.
    virtual bool parseInternalSubset(TXmlInputSource* InputSource, bool Resolve);

    /// Replacement text taken in since the outermost parse began.
    std::size_t getReplacementCharacters() const { return FReplacementChars; }
    /// The replacement-text budget of one DTD (kDtdReplacementBudget after construction);
    /// past it kind 33 ends the read.
    std::size_t getReplacementBudget() const { return FReplacementBudget; }
    void setReplacementBudget(std::size_t Value) { FReplacementBudget = Value; }

private:
    enum class TRefEnd : uint8_t { Complete, Broken, EndOfInput };
    struct TCharFeed;

    bool tokenize(TXmlInputSource* InputSource, bool External, bool Resolve);
    /// Reads a name after "%" up to ";" (Complete), a character that cannot continue it
    /// (Broken, the character in Stop) or the end of the input.
    TRefEnd readReferenceName(TCharFeed& Feed, WideString& Name, int32_t& Stop, bool& Go);
    /// One reference after "%": its replacement text (Include: with the references inside it
    /// replaced too), or the characters read when the reference is broken.
    bool readOneReference(TXmlInputSource* InputSource, WideString& Text, bool Include);
    /// Asks the chain for a name's replacement text with the recursion, depth and budget
    /// checks. False: the text is not to be used (Go says whether the read goes on).
    bool resolveReference(TdomLocator* Locator, const WideString& Name, WideString& Text, bool& Go);
    /// A complete reference between declarations: resolved and parsed in place, or an event.
    bool referenceBetweenDeclarations(TdomLocator* Locator, const WideString& Name, bool External, bool Resolve);
    /// The keyword of a conditional section (INCLUDE, IGNORE, or a reference to either): true
    /// when its content is to be read; kind 67 for any other keyword (Go the error path's answer).
    bool openSection(TdomLocator* Locator, std::u16string_view Keyword, bool& Go);
    /// Appends the replacement text of Name to a declaration, references inside it replaced.
    bool includeReference(TdomLocator* Locator, const WideString& Name, WideString& Text, bool& Go);
    /// The character references of an internal parameter entity's text replaced (its
    /// replacement text); false, with Go the error path's answer, when one is malformed.
    bool replaceCharRefsOfInternal(TdomLocator* Locator, const WideString& Name, WideString& Text, bool& Go);
    /// Appends the replacement text of Name to an entity value: references inside it replaced,
    /// its quotes as character references.
    bool includeInLiteral(TdomLocator* Locator, const WideString& Name, WideString& Text, bool& Go);
    /// Parses text on a new 16-bit input source, whose system identifier is SystemId or, when
    /// empty, the outer one's; DeclarationKind is reported when the source read a faulty or
    /// foreign declaration.
    bool parseNested(const WideString& Text, const TXmlInputSource* Outer, int32_t Line, int32_t Column,
                     bool External, bool Resolve, TXmlErrorType DeclarationKind, TdomLocator* Locator,
                     const WideString& SystemId = WideString());
    /// Reports a kind that ends the read whatever the error path answers, and resets the chain.
    bool stopWith(TXmlErrorType Kind, TdomLocator* Locator, const WideString& Clue);

    std::vector<WideString> FActive; ///< parameter entities being replaced, outermost first
    std::size_t FReplacementChars = 0;
    std::size_t FReplacementBudget = kDtdReplacementBudget;
    int FNesting = 0; ///< tokenizers running; the limits are reset when the outermost starts
};

/// Checks a content declaration ("EMPTY", "ANY", mixed content or element content) without
/// recursion. False when malformed; TooDeep when groups nest deeper than MaxDepth.
bool XmlCheckContentSpec(std::u16string_view Spec, int MaxDepth, bool& TooDeep);

/// Reads an external parsed entity for a schema reader: its text is fetched through the
/// implementation's OnExternalParsedEntity (the library never opens what a document names),
/// then its text declaration is checked. Returns the error kind: 0 with the text after the
/// declaration (empty only when the handler gave no stream); 33 when nobody supplies it; 51 for
/// a faulty declaration or an XML declaration; 78 when the declared encoding does not fit.
TXmlErrorType XmlFetchExternalParsedEntity(TDomImplementation* Impl, const WideString& ParentSystemId,
                                           const WideString& PublicId, const WideString& SystemId,
                                           WideString& Text);

/// Checks the well-formedness of an internal subset: DTD reader and DTD test handler, parameter
/// entities left unresolved. Errors go to the implementation's error path; with Faults given,
/// it receives the number of errors and fatal errors reported, whatever the path answered.
bool XmlTestInternalSubset(TDomImplementation* Impl, const WideString& Subset, const WideString& SystemId,
                           int32_t TabWidth, int* Faults = nullptr);

} // namespace xmldom
