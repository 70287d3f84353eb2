// Character data nodes: the data operations with their read-only and index checks, text
// splitting, the white-space-in-element-content test and processing instructions.

#include "XmlDomCharData.h"

#include "XmlDomDocument.h"
#include "XmlDomInternal.h"

namespace xmldom {

using namespace detail;

namespace {
[[noreturn]] void raiseIndexSize() { throw EIndex_Size_Err(msg::kIndexSizeErr); }
}  // namespace

void TdomCharacterData::setData(const WideString& data) {
    setNodeValue(data);
    doCharacterDataModified(this);
}

WideString TdomCharacterData::substringData(int offset, int count) const {
    int length = getLength();
    if (offset < 0 || offset > length || count < 0) raiseIndexSize();
    if (count > length - offset) count = length - offset;
    return nodeValue_.substr(static_cast<size_t>(offset), static_cast<size_t>(count));
}

void TdomCharacterData::appendData(const WideString& arg) {
    if (getIsReadonly()) raiseNoModification();
    nodeValue_ += arg; // in place: repeated appends stay linear
    doCharacterDataModified(this);
}

void TdomCharacterData::insertData(int offset, const WideString& arg) { replaceData(offset, 0, arg); }

void TdomCharacterData::deleteData(int offset, int count) { replaceData(offset, count, WideString()); }

void TdomCharacterData::replaceData(int offset, int count, const WideString& arg) {
    if (getIsReadonly()) raiseNoModification();
    int length = getLength();
    if (offset < 0 || offset > length || count < 0) raiseIndexSize();
    if (count > length - offset) count = length - offset;
    WideString data = nodeValue_.substr(0, static_cast<size_t>(offset));
    data += arg;
    data += nodeValue_.substr(static_cast<size_t>(offset + count));
    setData(data);
}

TdomText* TdomText::splitText(int offset) {
    if (getIsReadonly()) raiseNoModification();
    int length = getLength();
    if (offset < 0 || offset > length) raiseIndexSize();
    TdomText* tail = ownerDocument_->createTextNode(nodeValue_.substr(static_cast<size_t>(offset)));
    deleteData(offset, length - offset);
    if (TdomNode* parent = getParentNode()) {
        if (TdomNode* next = getNextSibling()) parent->insertBefore(tail, next);
        else parent->appendChild(tail);
    }
    return tail;
}

bool TdomText::isWhitespaceInElementContent() const {
    if (!nodeValue_.empty() && !IsXmlS(nodeValue_)) return false;
    const TdomNode* n = getParentNode();
    while (n && n->getNodeType() == ntEntity_Reference_Node) n = n->getParentNode();
    if (!n || n->getNodeType() != ntElement_Node || !ownerDocument_) return false;
    uint8_t contentType;
    return ownerDocument_->getSchemaQuery()->findElementContentType(n->getNodeName(), contentType) &&
           contentType == kContentTypeElement;
}

TdomProcessingInstruction::TdomProcessingInstruction(TdomDocument* ownerDocument, const WideString& target)
    : TdomNode(ownerDocument, ntProcessing_Instruction_Node, kNoChildTypes) {
    if (!IsXmlPITarget(target)) raiseInvalidCharacter();
    target_ = target;
}

void TdomProcessingInstruction::setData(const WideString& data) {
    setNodeValue(data);
    doCharacterDataModified(this);
}

}  // namespace xmldom
