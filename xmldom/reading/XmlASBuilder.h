// The schema builder: TXmlASBuilder sits at the end of a DTD reading chain, turns the DTD events
// into the declarations of a schema model (elements with their content models and attribute
// lists, entities, notations) and answers the DTD reader's questions about parameter entities.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "XmlHandlers.h"

namespace xmldom {

class TdomASContentModel;
class TdomASElementDecl;
class TdomASModel;

/// A parameter entity the builder knows: internal (its value) or external (its identifiers; the
/// text is fetched once, when it is first asked for, and kept).
class TdomParameterEntityInfoObject : public TObject {
public:
    /// An internal entity with its value.
    TdomParameterEntityInfoObject(const WideString& Name, const WideString& Value);
    /// An external entity with its identifiers, declared in the entity at BaseUri.
    TdomParameterEntityInfoObject(const WideString& Name, const WideString& PublicId, const WideString& SystemId,
                                  const WideString& BaseUri = WideString());

    const WideString& getName() const { return FName; }
    const WideString& getPublicId() const { return FPublicId; }
    const WideString& getSystemId() const { return FSystemId; }
    bool isExternal() const { return FExternal; }
    /// The address of the entity that holds the declaration.
    const WideString& getBaseUri() const { return FBaseUri; }
    /// An external entity's system identifier made absolute against the base; empty for an
    /// internal one.
    WideString getAddress() const;
    /// True when the replacement text is known (always for an internal entity).
    bool isResolved() const { return FResolved; }

    /// The replacement text. An external entity's text is asked of the implementation's
    /// OnExternalParsedEntity (with the base, or ParentSystemId without one) the first time
    /// and read through an input
    /// source after its text declaration. Raises EParserException "Unresolveable parameter
    /// entity." when nothing is delivered, "Invalid text declaration." for a declaration that is
    /// not a well-formed text declaration, "Encoding not supported." when the bytes do not fit
    /// the declared encoding; EConvertError for bytes that do not decode.
    const WideString& getValue(TDomImplementation* Impl, const WideString& ParentSystemId);

private:
    WideString FName;
    WideString FValue;
    WideString FPublicId;
    WideString FSystemId;
    WideString FBaseUri;
    bool FExternal;
    bool FResolved;
};

class TXmlASBuilder : public TXmlCustomContentHandler {
public:
    /// The deepest nesting of groups in one content declaration (deeper: kind 69).
    static constexpr int kMaxParticleDepth = 256;

    explicit TXmlASBuilder(TdomBaseComponent* AOwner = nullptr);
    ~TXmlASBuilder() override;

    // The DTD events (all but processParameterEntityRef, which stays refused: the builder wants
    // references resolved by the reader).
    bool processAttributeDefinition(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& name,
                                    const WideString& attType, const WideString& bracket,
                                    const WideString& defaultDecl, const WideString& attValue) override;
    bool processDtdComment(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& data) override;
    bool processDtdProcessingInstruction(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& targ,
                                         const WideString& data) override;
    bool processElementTypeDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& name,
                                       const WideString& data) override;
    bool processEndAttListDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator) override;
    bool processEndExtDtd(TXmlCustomReader* Reader, TdomLocator* Locator) override;
    bool processEndIntDtd(TXmlCustomReader* Reader, TdomLocator* Locator) override;
    bool processEntityDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& name,
                                  const WideString& entityValue, const WideString& pubId, const WideString& sysId,
                                  const WideString& notaName) override;
    bool processNotationDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& name,
                                    const WideString& pubId, const WideString& sysId) override;
    bool processParameterEntityDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& name,
                                           const WideString& entityValue, const WideString& pubId,
                                           const WideString& sysId) override;
    bool processStartAttListDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator,
                                        const WideString& data) override;
    bool processStartExtDtd(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& pubId,
                            const WideString& version, const WideString& encDl) override;
    bool processStartIntDtd(TXmlCustomReader* Reader, TdomLocator* Locator) override;

    /// The replacement text of a parameter entity of the map: kind 0 and true when found and
    /// delivered; 27 when not declared; 33 when an external one cannot be fetched; 51 or 78 for an external text with a bad text declaration or encoding.
    bool resolveParameterEntity(const WideString& Name, WideString& ReplacementText,
                                TXmlErrorType& ErrorKind) override;
    WideString getParameterEntityAddress(const WideString& Name) override;
    /// Ends a run (active and attribute-list flags cleared) and passes the call on. The
    /// parameter entities stay.
    void reset() override;

    /// The model the declarations go into (not owned); nil: events are checked and forwarded
    /// only.
    virtual TdomASModel* getASModel() const { return FASModel; }
    void setASModel(TdomASModel* Value) { FASModel = Value; }

    /// Mixed content "(#PCDATA)", "(#PCDATA)*" or "(#PCDATA|a|b)*": a choice of the names,
    /// which becomes the declaration's content model and is returned. A malformed text raises
    /// EParserException "Parser error." before anything is made.
    virtual TdomASContentModel* parseMixedContent(TdomASElementDecl* Decl, const WideString& Text);
    /// Element content "(a,(b|c)*,d?)+": the tree of content models of the declaration, whose
    /// root is returned (not made current). A malformed text, or groups nested deeper than
    /// kMaxParticleDepth, raise EParserException "Parser error." before anything is made.
    virtual TdomASContentModel* parseContentParticle(TdomASElementDecl* Decl, const WideString& Text);
    /// The tokens of an enumeration "(a|b)" (the brackets included or not): names for a
    /// notation type, name tokens otherwise. An empty or invalid token raises EParserException
    /// "Parser error.".
    virtual std::vector<WideString> parseEnumeration(const WideString& Text, bool Notation);
    /// EParserException "TXmlASBuilder -- Content Model is active." while a DTD is being read.
    virtual void checkNoContentModelActive() const;

    /// Attribute defaults may refer only to general entities declared before them (kind 66
    /// otherwise), while no parameter-entity reference was met in the run: what XML wants of a
    /// document whose declarations are all its own. Off after construction.
    void setEntitiesDeclaredBeforeDefaults(bool Value) { FEntitiesBeforeDefaults = Value; }
    bool getEntitiesDeclaredBeforeDefaults() const { return FEntitiesBeforeDefaults; }

    bool isActive() const { return FActive; }
    bool getInAttList() const { return FInAttList; }
    const WideString& getAttListElementName() const { return FAttListElementName; }

    /// The parameter entities, filed by name.
    TdomParameterEntityInfoObject* findParameterEntity(const WideString& Name) const;
    int getParameterEntityCount() const { return static_cast<int>(FParameterEntities.size()); }
    void clearParameterEntities() { FParameterEntities.clear(); }

    /// A parsed content declaration, before it becomes content models.
    struct TParticle {
        WideString Name;        ///< element name of a leaf
        uint8_t ListOperator;   ///< 0 choice, 1 element name, 2 sequence
        uint8_t Frequency = 0;  ///< 0 once, 1 "?", 2 "+", 3 "*"
        std::vector<TParticle> Children;
    };

protected:
    void Notification(TdomBaseComponent* AComponent, TOperation Operation) override;

private:
    /// "Internal Parser Exception" unless a run is active.
    void requireActive() const;
    bool startDtd(TXmlCustomReader* Reader, TdomLocator* Locator);
    bool endDtd(TXmlCustomReader* Reader, TdomLocator* Locator);
    /// The element's declaration, made with the content type still open when it is missing
    /// (an attribute list may come before the element's declaration).
    TdomASElementDecl* elementDeclFor(const WideString& Name);
    TdomASContentModel* buildModel(TdomASElementDecl* Decl, const TParticle& Particle);
    /// The first general entity a default refers to that is not declared yet, when defaults
    /// may refer only to entities declared before them; empty otherwise.
    WideString entityDeclaredLater(const WideString& Default) const;
    /// The address of the entity a declaration is read from (the run's base without one).
    WideString declaringAddress(TdomLocator* Locator) const;

    TdomASModel* FASModel = nullptr;
    bool FInAttList = false;
    WideString FAttListElementName;
    bool FActive = false;
    bool FEntitiesBeforeDefaults = false;
    bool FParameterEntityUsed = false; ///< a parameter-entity reference was resolved in the run
    std::unordered_map<WideString, std::unique_ptr<TdomParameterEntityInfoObject>> FParameterEntities;
    /// The sending reader's implementation and base location while a run is active; external
    /// parameter entities are fetched through it.
    TDomImplementation* FDOMImpl = nullptr;
    WideString FBaseSystemId;
};

/// The grammar of content declarations, shared by the builder and its callers. Each raises
/// EParserException "Parser error." for a malformed text.
namespace contentspec {
TXmlASBuilder::TParticle parseElementContent(std::u16string_view Text, int MaxDepth);
TXmlASBuilder::TParticle parseMixedContent(std::u16string_view Text);
} // namespace contentspec

} // namespace xmldom
