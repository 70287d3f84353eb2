// Character data nodes of the XML object model: text, CDATA sections, comments and
// processing instructions, with the W3C data operations and their index checks.
// Offsets and lengths count UTF-16 code units.
#pragma once

#include "XmlDomNodes.h"

namespace xmldom {

class TdomText;

/// Base of text, CDATA sections and comments: the data is the node value.
class TdomCharacterData : public TdomNode {
public:
    virtual WideString getData() const { return nodeValue_; }
    /// Read-only: ENo_Modification_Allowed_Err; else stores and notifies (character data modified).
    virtual void setData(const WideString& data);
    virtual int getLength() const { return static_cast<int>(nodeValue_.size()); }
    /// offset < 0 or > length, or count < 0: EIndex_Size_Err; count is cut at the end.
    virtual WideString substringData(int offset, int count) const;
    virtual void appendData(const WideString& arg);
    virtual void insertData(int offset, const WideString& arg);
    virtual void deleteData(int offset, int count);
    /// Read-only checked before the indices; one notification.
    virtual void replaceData(int offset, int count, const WideString& arg);

protected:
    TdomCharacterData(TdomDocument* ownerDocument, TdomNodeType nodeType)
        : TdomNode(ownerDocument, nodeType, kNoChildTypes) {}
};

class TdomText : public TdomCharacterData {
public:
    explicit TdomText(TdomDocument* ownerDocument) : TdomCharacterData(ownerDocument, ntText_Node) {}

    WideString getNodeName() const override { return u"#text"; }
    bool validate() override { return true; }
    /// True for white space inside an element declared with element content.
    virtual bool isWhitespaceInElementContent() const;
    /// Moves the data from offset on into a new text node placed after this one.
    virtual TdomText* splitText(int offset);

protected:
    TdomText(TdomDocument* ownerDocument, TdomNodeType nodeType) : TdomCharacterData(ownerDocument, nodeType) {}
};

class TdomComment : public TdomCharacterData {
public:
    explicit TdomComment(TdomDocument* ownerDocument) : TdomCharacterData(ownerDocument, ntComment_Node) {}
    WideString getNodeName() const override { return u"#comment"; }
    bool validate() override { return true; }
};

class TdomCDATASection : public TdomText {
public:
    explicit TdomCDATASection(TdomDocument* ownerDocument) : TdomText(ownerDocument, ntCDATA_Section_Node) {}
    WideString getNodeName() const override { return u"#cdata-section"; }
    bool validate() override { return true; }
};

class TdomProcessingInstruction : public TdomNode {
public:
    /// Target not a PITarget (a Name other than "xml" in any case): EInvalid_Character_Err.
    TdomProcessingInstruction(TdomDocument* ownerDocument, const WideString& target);

    WideString getNodeName() const override { return target_; }
    bool validate() override { return true; }
    virtual WideString getData() const { return nodeValue_; }
    virtual void setData(const WideString& data);
    WideString getTarget() const { return target_; }

private:
    WideString target_;
};

}  // namespace xmldom
