// The fixed message texts of the XML document library's exceptions, in one table. Patterns
// with %d, %S or %4.4X are filled by Format (XmlSupport.h). Error-record texts (TdomError)
// live in the generated XmlErrorTexts.inc instead.
#pragma once

namespace xmldom::msg {

// Character references and code points.
inline constexpr char16_t kInvalidCharRef[] = u"%S is not a valid XmlCharRef value.";
inline constexpr char16_t kStartsWithLowSurrogate[] =
    u"WideString must not start with a UTF-16 low surrogate.";
inline constexpr char16_t kEndsWithHighSurrogate[] = u"WideString must not end with a UTF-16 high surrogate.";
inline constexpr char16_t kHighSurrogateWithoutLow[] =
    u"WideString contains an UTF-16 high surrogate without its corresponding low surrogate.";
inline constexpr char16_t kInvalidCharacter[] = u"WideString contains an invalid character.";
inline constexpr char16_t kAmpersandWithoutSemicolon[] = u"WideString contains an '&' without a ';'.";
inline constexpr char16_t kInvalidReference[] = u"WideString contains an invalid reference %S.";
inline constexpr char16_t kInvalidUcs4CodePoint[] = u"%d is not a valid ISO-10646-UCS4 code point.";

// String lists.
inline constexpr char16_t kDuplicateString[] = u"String list does not allow duplicates";
inline constexpr char16_t kSortedListError[] = u"Operation not allowed on sorted string list";
inline constexpr char16_t kListIndexError[] = u"List index out of bounds (%d)";

// Streams.
inline constexpr char16_t kOddWideStringSize[] = u"Odd size not valid for WideString";
inline constexpr char16_t kNegativeStreamSize[] = u"Negative stream size invalid";
inline constexpr char16_t kCapacityBelowSize[] = u"Capacity cannot be less than size";

// DOM exceptions (one fixed English text each, raised alone).
inline constexpr char16_t kIndexSizeErr[] = u"Index size error.";
inline constexpr char16_t kHierarchyRequestErr[] = u"Hierarchy request error.";
inline constexpr char16_t kWrongDocumentErr[] = u"Wrong document error.";
inline constexpr char16_t kInvalidCharacterErr[] = u"Invalid character error.";
inline constexpr char16_t kNoModificationAllowedErr[] = u"No modification allowed error.";
inline constexpr char16_t kNodeNotFoundErr[] = u"Node not found error.";
inline constexpr char16_t kNotFoundErr[] = u"Not found error.";
inline constexpr char16_t kDocumentNotFoundErr[] = u"Document not found error.";
inline constexpr char16_t kDocumentTypeNotFoundErr[] = u"DocumentType not found error.";
inline constexpr char16_t kASModelNotFoundErr[] = u"ASModel not found error.";
inline constexpr char16_t kContentModelNotFoundErr[] = u"Content model not found error.";
inline constexpr char16_t kEntityDeclNotFoundErr[] = u"Entity declaration not found.";
inline constexpr char16_t kNotSupportedErr[] = u"Not supported error.";
inline constexpr char16_t kEncodingNotSupportedErr[] = u"Encoding not supported error.";
inline constexpr char16_t kInuseNodeErr[] = u"Inuse node error.";
inline constexpr char16_t kInuseAttributeErr[] = u"Inuse attribute error.";
inline constexpr char16_t kInuseDocumentTypeErr[] = u"Inuse DocumentType error.";
inline constexpr char16_t kInuseASModelErr[] = u"Inuse ASModel error.";
inline constexpr char16_t kContentModelInUseErr[] = u"Content model in use error.";
inline constexpr char16_t kInvalidStateErr[] = u"Invalid state error.";
inline constexpr char16_t kSyntaxErr[] = u"Syntax error.";
inline constexpr char16_t kNamespaceErr[] = u"Namespace error.";
inline constexpr char16_t kWrongDOMImplementationErr[] = u"Wrong DOM implementation error.";
inline constexpr char16_t kWrongElementDeclErr[] = u"Wrong element declaration error.";

} // namespace xmldom::msg

namespace xmldom::msg {

// Handler chain, DOM reader and writer.
inline constexpr char16_t kParserError[] = u"Parser error.";
inline constexpr char16_t kInternalParserException[] = u"Internal Parser Exception";
inline constexpr char16_t kInternalParserErrorDot[] = u"Internal Parser error.";
inline constexpr char16_t kDomImplNotSpecified[] = u"DOMImplementation not specified.";
inline constexpr char16_t kDestinationNotSpecified[] = u"Destination stream not specified.";
inline constexpr char16_t kSourceNodeNotSpecified[] = u"Source node not specified.";
inline constexpr char16_t kBufferSizeTooSmall[] = u"BufferSize must not be less than 1024.";

} // namespace xmldom::msg
