// The parser components of the XML library: TXmlCustomParser holds the implementation a chain
// works for; TDomToXmlParser owns the writing chain (DOM reader, optional well-formedness test,
// stream builder) and writes a node as XML text into a stream, a byte string or a wide string;
// TXmlToDomParser owns the reading chain (document reader, well-formedness test, document
// builder) and reads XML text into a new document or into a node.
#pragma once

#include <string>

#include "XmlComponents.h"
#include "XmlSources.h"
#include "XmlStreams.h"

namespace xmldom {

class TDomImplementation;
class TdomDocument;
class TdomNode;
class TXmlDocBuilder;
class TXmlStandardDocReader;
class TXmlSourceCode;
class TXmlStandardDomReader;
class TXmlStreamBuilder;
class TXmlWFTestContentHandler;

/// Base of the parser components: the implementation the chain works for, the buffer size of
/// the sources they make, and the error path of their own refusals.
class TXmlCustomParser : public TdomBaseComponent {
public:
    explicit TXmlCustomParser(TdomBaseComponent* AOwner = nullptr) : TdomBaseComponent(AOwner) {}

    TDomImplementation* getDOMImpl() const { return FDOMImpl; }
    /// Links the implementation; DOMImpl becomes nil when that implementation is freed.
    virtual void SetDOMImpl(TDomImplementation* Value);
    int32_t getBufferSize() const { return FBufferSize; }
    /// Below 1024: ENot_Supported_Err "BufferSize must not be less than 1024.", nothing kept.
    virtual void SetBufferSize(int32_t Value);

protected:
    void Notification(TdomBaseComponent* AComponent, TOperation Operation) override;
    /// Reports a refusal of the parser itself (an input whose declaration or encoding it does
    /// not take) through the implementation; without one, true below fatal severity.
    bool reportError(TXmlErrorType Kind, TdomLocator* Locator);

    /// Refusals of the reading operations shared by the document and DTD parsers.
    static constexpr char16_t kStreamNotSpecified[] = u"Stream not specified.";
    static constexpr char16_t kEmptyString[] = u"Empty string.";
    /// Wide text as the readers take it: with a byte-order mark in front, added when missing.
    static WideString withMark(const WideString& Text) {
        if (!Text.empty() && Text[0] == 0xFEFF) return Text;
        return u"\uFEFF" + Text;
    }

    TDomImplementation* FDOMImpl = nullptr;
    int32_t FBufferSize = 4096;
};

/// Writes DOM nodes as XML text.
class TDomToXmlParser : public TXmlCustomParser {
public:
    /// BufferSize 4096, NewLine nltCRLF, no strict checking, no active code page, no
    /// byte-order mark.
    explicit TDomToXmlParser(TdomBaseComponent* AOwner = nullptr);

    TdomNewLineType getNewLine() const { return FNewLine; }
    virtual void SetNewLine(TdomNewLineType Value) { FNewLine = Value; }
    /// True exactly when the well-formedness test handler sits between reader and builder.
    virtual bool GetStrictErrorChecking() const;
    virtual void SetStrictErrorChecking(bool Value);
    bool getUseActiveCodePage() const { return FUseActiveCodePage; }
    virtual void SetUseActiveCodePage(bool Value) { FUseActiveCodePage = Value; }
    virtual bool GetUseByteOrderMark() const;
    virtual void SetUseByteOrderMark(bool Value);

    /// Writes the node from the destination's position. Checks, in order: DOMImpl, destination,
    /// source node (EAccessViolation). An unknown encoding name raises ENot_Supported_Err before
    /// anything is written. The output is flushed before the call returns, so a destination that
    /// refuses bytes raises EWriteError. True when no handler stopped the run.
    virtual bool writeToStream(TdomNode* SourceNode, const WideString& EncodingName, TStream* Destination);
    /// As writeToStream into a byte string; the 16-bit encodings are refused.
    virtual bool writeToString(TdomNode* SourceNode, const WideString& EncodingName, std::string& S);
    /// As writeToStream in UTF-16 (machine order, behind the mark U+FEFF) into a wide string.
    virtual bool writeToWideString(TdomNode* SourceNode, WideString& S);

    TXmlStandardDomReader* getDomReader() const { return FDomReader; }
    TXmlStreamBuilder* getStreamBuilder() const { return FStreamBuilder; }
    TXmlWFTestContentHandler* getTestHandler() const { return FTestHandler; }

private:
    TXmlStandardDomReader* FDomReader;  ///< owned through the component owner
    TdomNewLineType FNewLine = nltCRLF;
    TXmlStreamBuilder* FStreamBuilder;  ///< owned through the component owner
    bool FUseActiveCodePage = false;
    TXmlWFTestContentHandler* FTestHandler; ///< owned through the component owner
    /// writeToWideString in progress: the active code page does not replace its encoding.
    bool FWideOutput = false;
};

/// Reads XML text into DOM documents and nodes.
class TXmlToDomParser : public TXmlCustomParser {
public:
    /// Reader -> well-formedness test -> document builder; BufferSize 4096, TabWidth 1, every
    /// keep flag true.
    explicit TXmlToDomParser(TdomBaseComponent* AOwner = nullptr);
    /// Frees, through the implementation, a document a failed run left behind.
    ~TXmlToDomParser() override;

    void SetDOMImpl(TDomImplementation* Value) override;

    int32_t getTabWidth() const { return FTabWidth; }
    virtual void SetTabWidth(int32_t Value) { FTabWidth = Value; }
    bool getKeepCDATASections() const;
    void SetKeepCDATASections(bool Value);
    bool getKeepComments() const;
    void SetKeepComments(bool Value);
    bool getKeepEntityRefs() const;
    void SetKeepEntityRefs(bool Value);

    /// Whole documents: each returns a new document registered with the implementation (the
    /// caller frees it with freeDocument). A run a handler stopped raises EParserException
    /// "Parser error." after freeing its document.
    virtual TdomDocument* fileToDom(const WideString& FileName);
    /// The texts of the source code's pieces joined, then as wideStringToDom; nil raises
    /// EAccessViolation "TXmlSourceCode not specified.".
    virtual TdomDocument* sourceCodeToDom(TXmlSourceCode* SourceCode);
    virtual TdomDocument* streamToDom(TStream* Stream);
    virtual TdomDocument* stringToDom(const std::string& Text);
    virtual TdomDocument* wideStringToDom(const WideString& Text);

    /// Into a node: the parsed nodes become children of Node. True whenever it returns; a run
    /// a handler stopped raises EParserException "Parser error.".
    /// The texts of the pieces joined, narrowed to the system's code page, then as
    /// parseStringInto; nil raises EAccessViolation "Stream not specified.".
    virtual bool parseSourceCodeInto(TXmlSourceCode* SourceCode, const WideString& PublicId,
                                     const WideString& SystemId, TdomNode* Node);
    virtual bool parseStreamInto(TStream* Stream, const WideString& PublicId, const WideString& SystemId,
                                 TdomNode* Node);
    virtual bool parseStringInto(const std::string& Text, const WideString& PublicId, const WideString& SystemId,
                                 TdomNode* Node);
    virtual bool parseWideStringInto(const WideString& Text, const WideString& PublicId,
                                     const WideString& SystemId, TdomNode* Node);

    /// The texts parsed are replacement texts of entities: their carriage returns are
    /// characters (given by references in the declaration), not line ends to normalize.
    void setReadsReplacementText(bool Value) { FReplacementText = Value; }

    TXmlStandardDocReader* getDocReader() const { return FDocReader; }
    TXmlWFTestContentHandler* getTestHandler() const { return FTestHandler; }
    TXmlDocBuilder* getDocBuilder() const { return FDocBuilder; }

protected:
    /// The core of the whole-document family: input source, declaration checks, parseDocument.
    virtual bool streamToDomCore(TStream* Stream, const WideString& PublicId, const WideString& SystemId);
    /// The core of the into-node family: as above with parseFragment.
    virtual bool parseStreamIntoCore(TStream* Stream, const WideString& PublicId, const WideString& SystemId);
    /// The builder's start-document binding: makes the document being built.
    virtual void startDocument(TdomLocator* Locator);

private:
    /// Reads a whole document from Stream, whose characters take unitBytes each.
    TdomDocument* wholeDocument(TStream* Stream, const WideString& PublicId, const WideString& SystemId,
                                size_t unitBytes = 1);
    bool intoNode(TStream* Stream, const WideString& PublicId, const WideString& SystemId, TdomNode* Node);
    bool runCore(TStream* Stream, const WideString& PublicId, const WideString& SystemId, bool Fragment);
    /// The internal subset of the document just built passes the DTD test handler.
    bool internalSubsetWellFormed(const WideString& SystemId);
    void freeBuiltDocument();

    int32_t FTabWidth = 1;
    TXmlStandardDocReader* FDocReader;     ///< owned through the component owner
    TXmlWFTestContentHandler* FTestHandler; ///< owned through the component owner
    TXmlDocBuilder* FDocBuilder;           ///< owned through the component owner
    TdomDocument* FBuiltDocument = nullptr;
    bool FReplacementText = false;
};

} // namespace xmldom
