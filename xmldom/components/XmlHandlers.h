// The handler chain of the XML library: the 29 events that readers hand to handlers, the
// handler base classes (forwarding, content-only, DTD-only), the reader base class that owns the
// error path, and the DTD well-formedness test handler.
#pragma once

#include <functional>
#include <tuple>

#include "XmlComponents.h"
#include "XmlErrors.h"
#include "XmlStrings.h"
#include "XmlSupport.h"

namespace xmldom {

class TDomImplementation;
class TXmlCustomReader;
class TXmlStandardHandler;

// Event types: (sender, reader, locator, arguments). String arguments are the handler's own
// copies; changing them does not change what the chain forwards.
using TXmlProcessorEvent1 = std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator)>;
using TXmlProcessorEvent2 =
    std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator, WideString& data)>;
using TXmlProcessorEvent3 = std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator,
                                               WideString& targ, WideString& data)>;
using TXmlProcessorEvent4 =
    std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator, WideString& tagName)>;
using TXmlProcessorEvent5 = std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator,
                                               WideString& tagName, TdomNameValueList*& attributes)>;
using TXmlProcessorEvent6 = std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator,
                                               WideString& name, WideString& pubId, WideString& sysId,
                                               WideString& data)>;
using TXmlProcessorEvent7 = std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator,
                                               WideString& prefix, WideString& uri)>;
using TXmlProcessorEvent9 = std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator,
                                               WideString& name, WideString& attType, WideString& bracket,
                                               WideString& defaultDecl, WideString& attValue)>;
using TXmlProcessorEvent10 = std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator,
                                                WideString& version, WideString& encDl, TdomStandalone& sdDl)>;
using TXmlProcessorEvent11 = std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator,
                                                WideString& name, WideString& data)>;
using TXmlProcessorEvent12 = std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator,
                                                WideString& name, WideString& entityValue, WideString& pubId,
                                                WideString& sysId, WideString& notaName)>;
using TXmlProcessorEvent13 = std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator,
                                                WideString& name, WideString& pubId, WideString& sysId)>;
using TXmlProcessorEvent14 = std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator,
                                                WideString& name, WideString& entityValue, WideString& pubId,
                                                WideString& sysId)>;
using TXmlProcessorEvent15 = std::function<void(TObject* Sender, TXmlCustomReader* Reader, TdomLocator* Locator,
                                                WideString& pubId, WideString& version, WideString& encDl)>;

#define XML_UNPAREN(...) __VA_ARGS__

// The event set, one line per event: X(name, event type, parameters after (reader, locator),
// argument names). Content events first, DTD events second, each group in name order; the
// process operations and the On... events are declared from these lists.
#define XML_CONTENT_EVENTS(X)                                                                        \
    X(CDATA, TXmlProcessorEvent2, (, const WideString& data), (, data))                              \
    X(Comment, TXmlProcessorEvent2, (, const WideString& data), (, data))                            \
    X(Doctype, TXmlProcessorEvent6,                                                                  \
      (, const WideString& name, const WideString& pubId, const WideString& sysId, const WideString& data), \
      (, name, pubId, sysId, data))                                                                  \
    X(EndDocument, TXmlProcessorEvent1, (), ())                                                      \
    X(EndDocumentFragment, TXmlProcessorEvent1, (), ())                                              \
    X(EndElement, TXmlProcessorEvent4, (, const WideString& tagName), (, tagName))                   \
    X(EndPrefixMapping, TXmlProcessorEvent2, (, const WideString& data), (, data))                   \
    X(EntityRef, TXmlProcessorEvent2, (, const WideString& data), (, data))                          \
    X(PCDATA, TXmlProcessorEvent2, (, const WideString& data), (, data))                             \
    X(ProcessingInstruction, TXmlProcessorEvent3, (, const WideString& targ, const WideString& data), \
      (, targ, data))                                                                                \
    X(SkippedEntity, TXmlProcessorEvent2, (, const WideString& data), (, data))                      \
    X(StartDocument, TXmlProcessorEvent10,                                                           \
      (, const WideString& version, const WideString& encDl, TdomStandalone sdDl), (, version, encDl, sdDl)) \
    X(StartDocumentFragment, TXmlProcessorEvent10,                                                   \
      (, const WideString& version, const WideString& encDl, TdomStandalone sdDl), (, version, encDl, sdDl)) \
    X(StartElement, TXmlProcessorEvent5, (, const WideString& tagName, TdomNameValueList* attributes), \
      (, tagName, attributes))                                                                       \
    X(StartPrefixMapping, TXmlProcessorEvent7, (, const WideString& prefix, const WideString& uri),  \
      (, prefix, uri))

#define XML_DTD_EVENTS(X)                                                                            \
    X(AttributeDefinition, TXmlProcessorEvent9,                                                      \
      (, const WideString& name, const WideString& attType, const WideString& bracket,               \
       const WideString& defaultDecl, const WideString& attValue),                                   \
      (, name, attType, bracket, defaultDecl, attValue))                                             \
    X(DtdComment, TXmlProcessorEvent2, (, const WideString& data), (, data))                         \
    X(DtdProcessingInstruction, TXmlProcessorEvent3, (, const WideString& targ, const WideString& data), \
      (, targ, data))                                                                                \
    X(ElementTypeDeclaration, TXmlProcessorEvent11, (, const WideString& name, const WideString& data), \
      (, name, data))                                                                                \
    X(EndAttListDeclaration, TXmlProcessorEvent1, (), ())                                            \
    X(EndExtDtd, TXmlProcessorEvent1, (), ())                                                        \
    X(EndIntDtd, TXmlProcessorEvent1, (), ())                                                        \
    X(EntityDeclaration, TXmlProcessorEvent12,                                                       \
      (, const WideString& name, const WideString& entityValue, const WideString& pubId,            \
       const WideString& sysId, const WideString& notaName),                                         \
      (, name, entityValue, pubId, sysId, notaName))                                                 \
    X(NotationDeclaration, TXmlProcessorEvent13,                                                     \
      (, const WideString& name, const WideString& pubId, const WideString& sysId), (, name, pubId, sysId)) \
    X(ParameterEntityDeclaration, TXmlProcessorEvent14,                                              \
      (, const WideString& name, const WideString& entityValue, const WideString& pubId,            \
       const WideString& sysId),                                                                     \
      (, name, entityValue, pubId, sysId))                                                           \
    X(ParameterEntityRef, TXmlProcessorEvent2, (, const WideString& data), (, data))                 \
    X(StartAttListDeclaration, TXmlProcessorEvent2, (, const WideString& data), (, data))            \
    X(StartExtDtd, TXmlProcessorEvent15,                                                             \
      (, const WideString& pubId, const WideString& version, const WideString& encDl),              \
      (, pubId, version, encDl))                                                                     \
    X(StartIntDtd, TXmlProcessorEvent1, (), ())

#define XML_ALL_EVENTS(X) XML_CONTENT_EVENTS(X) XML_DTD_EVENTS(X)

// Declaration helpers for the classes below and their descendants.
#define XML_DECLARE_EVENT_FIELD(Name, Type, Params, Args) Type On##Name;
#define XML_DECLARE_PROCESS_ABSTRACT(Name, Type, Params, Args) \
    virtual bool process##Name(TXmlCustomReader* Reader, TdomLocator* Locator XML_UNPAREN Params) = 0;
#define XML_DECLARE_PROCESS_OVERRIDE(Name, Type, Params, Args) \
    bool process##Name(TXmlCustomReader* Reader, TdomLocator* Locator XML_UNPAREN Params) override;

/// Base of every handler: the events, one abstract operation per event, the error path.
class TXmlCustomHandler : public TdomBaseComponent {
public:
    explicit TXmlCustomHandler(TdomBaseComponent* AOwner = nullptr) : TdomBaseComponent(AOwner) {}

    /// The chain's one error path: the reader's handleError when a reader is given; without a
    /// reader false for the fatal kinds 36 to 78, true for all others.
    virtual bool sendErrorNotification(TXmlCustomReader* Reader, TXmlErrorType Kind, TdomLocator* Locator,
                                       const WideString& Clue);

    XML_ALL_EVENTS(XML_DECLARE_PROCESS_ABSTRACT)

    /// Replacement text of a parameter entity for a DTD reader; ErrorKind 0 when found.
    virtual bool resolveParameterEntity(const WideString& Name, WideString& ReplacementText,
                                        TXmlErrorType& ErrorKind) = 0;
    /// The address of an external parameter entity, made absolute against the entity that
    /// declared it: the base of what its text declares. Empty for an internal or unknown one.
    virtual WideString getParameterEntityAddress(const WideString& Name);
    /// Returns the handler to its initial state and passes the call down the chain.
    virtual void reset() = 0;

    XML_ALL_EVENTS(XML_DECLARE_EVENT_FIELD)

protected:
    /// Fires an event, when assigned, on copies of the arguments.
    template <class Event, class... A>
    void fireEvent(const Event& E, TXmlCustomReader* Reader, TdomLocator* Locator, const A&... Args) {
        if (!E) return;
        std::tuple<A...> copies(Args...);
        std::apply([&](auto&... c) { E(this, Reader, Locator, c...); }, copies);
    }
};

/// A handler that fires its event and forwards every event to NextHandler; without a next
/// handler it answers true.
class TXmlStandardHandler : public TXmlCustomHandler {
public:
    explicit TXmlStandardHandler(TdomBaseComponent* AOwner = nullptr) : TXmlCustomHandler(AOwner) {}

    XML_ALL_EVENTS(XML_DECLARE_PROCESS_OVERRIDE)
    bool resolveParameterEntity(const WideString& Name, WideString& ReplacementText,
                                TXmlErrorType& ErrorKind) override;
    WideString getParameterEntityAddress(const WideString& Name) override;
    void reset() override;

    TXmlCustomHandler* getNextHandler() const { return FNextHandler; }
    /// Links the next handler; it is forgotten when it is freed.
    void setNextHandler(TXmlCustomHandler* Value);

protected:
    void Notification(TdomBaseComponent* AComponent, TOperation Operation) override;

    TXmlCustomHandler* FNextHandler = nullptr;
};

/// A handler for DTD events only: each content event raises EParserException "Parser error.".
class TXmlCustomDTDHandler : public TXmlStandardHandler {
public:
    explicit TXmlCustomDTDHandler(TdomBaseComponent* AOwner = nullptr) : TXmlStandardHandler(AOwner) {}
    XML_CONTENT_EVENTS(XML_DECLARE_PROCESS_OVERRIDE)
};

/// A handler for content events only: each DTD event raises EParserException "Parser error.".
class TXmlCustomContentHandler : public TXmlStandardHandler {
public:
    explicit TXmlCustomContentHandler(TdomBaseComponent* AOwner = nullptr) : TXmlStandardHandler(AOwner) {}
    XML_DTD_EVENTS(XML_DECLARE_PROCESS_OVERRIDE)
};

/// Base of the event sources. Owns the error path every handler of its chain reports through.
class TXmlCustomReader : public TdomBaseComponent {
public:
    explicit TXmlCustomReader(TdomBaseComponent* AOwner = nullptr) : TdomBaseComponent(AOwner) {}

    /// Makes an error record of the kind at the locator's place, fires OnError, asks the
    /// implementation (without one: true unless fatal), resets the chain on false.
    virtual bool handleError(TXmlErrorType Kind, TdomLocator* Locator, const WideString& Clue);

    TDomImplementation* getDOMImpl() const { return FDOMImpl; }
    void setDOMImpl(TDomImplementation* Value);
    TXmlStandardHandler* getNextHandler() const { return FNextHandler; }
    void setNextHandler(TXmlStandardHandler* Value);

    /// True when Text is the very string this reader is handing on with its current event and
    /// the reader found only XML characters in it as it read them: handlers may skip that check.
    bool isCheckedText(const WideString& Text) const { return &Text == FCheckedText; }

    /// (sender, error): told of every error before the implementation decides.
    std::function<void(TObject* Sender, TdomError* Error)> OnError;

protected:
    void Notification(TdomBaseComponent* AComponent, TOperation Operation) override;

    TDomImplementation* FDOMImpl = nullptr;
    TXmlStandardHandler* FNextHandler = nullptr;
    const WideString* FCheckedText = nullptr; ///< see isCheckedText; nil between events
};

/// Checks DTD events for well-formedness between a DTD reader and the next DTD handler.
class TXmlWFTestDTDHandler : public TXmlCustomDTDHandler {
public:
    explicit TXmlWFTestDTDHandler(TdomBaseComponent* AOwner = nullptr) : TXmlCustomDTDHandler(AOwner) {}

    XML_DTD_EVENTS(XML_DECLARE_PROCESS_OVERRIDE)
    void reset() override;

    bool getInExternalSubset() const { return FInExtSubset; }
    bool getInInternalSubset() const { return FInIntSubset; }
    bool getInAttListDeclaration() const { return FInAttList; }

private:
    /// Exactly one subset open, else EParserException "Internal Parser Exception".
    void requireSubset() const;
    /// Reports kind 66 when an attribute-list declaration is open; false stops the event.
    bool checkNotInAttList(TXmlCustomReader* Reader, TdomLocator* Locator, bool& ok);
    bool checkComment(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& data);
    bool checkPI(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& targ, const WideString& data);

    bool FInExtSubset = false;
    bool FInIntSubset = false;
    bool FInAttList = false;
};

/// Checks shared by the well-formedness test handlers (comments, processing instructions).
namespace wftest {
/// The clue for a bad comment ("--" or "-"), empty when the comment is well-formed.
WideString commentFault(std::u16string_view data);
/// True when every code point of the text is an XML character (pairs joined, lone surrogates
/// refused).
bool allXmlChars(std::u16string_view data);
/// Whether an attribute value in its literal form reads back as written between quotes: 0
/// when it does; else 41 (a character that is not XML, "<", or an "&" that no ";" closes) or
/// 47 (a reference whose body is neither a character reference nor a name), with the clue.
TXmlErrorType attributeValueFault(const WideString& value, WideString& clue);
} // namespace wftest

} // namespace xmldom
