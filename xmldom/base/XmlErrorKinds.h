// The error kinds of the XML document library, one name per kind. Kinds 36 to 78 are fatal,
// 5 to 35 errors, everything else warnings; the message of each kind is told by TdomError.
#pragma once

#include <cstdint>

namespace xmldom {

/// Error kinds are 0 to 78; 36-78 are fatal, 5-35 errors, everything else warnings.
using TXmlErrorType = uint8_t;

inline constexpr TXmlErrorType ET_NONE = 0;
inline constexpr TXmlErrorType ET_DOUBLE_ATTRIBUTE_DEFINITION = 1;
inline constexpr TXmlErrorType ET_DOUBLE_ENTITY_DECLARATION = 2;
inline constexpr TXmlErrorType ET_DOUBLE_PARAMETER_ENTITY_DECLARATION = 3;
inline constexpr TXmlErrorType ET_UNUSABLE_ENTITY_DECLARED = 4;
inline constexpr TXmlErrorType ET_ATTRIBUTE_TYPE_MISMATCH = 5;
inline constexpr TXmlErrorType ET_ATTRIBUTE_DEFINITION_NOT_FOUND = 6;
inline constexpr TXmlErrorType ET_ATTRIBUTE_VALUE_TYPE_MISMATCH = 7;
inline constexpr TXmlErrorType ET_DOUBLE_ELEMENT_TYPE_DECLARATION = 8;
inline constexpr TXmlErrorType ET_DUPLICATE_ENUMERATION_TOKEN = 9;
inline constexpr TXmlErrorType ET_DUPLICATE_ID_ATTRIBUTE = 10;
inline constexpr TXmlErrorType ET_DUPLICATE_ID_VALUE = 11;
inline constexpr TXmlErrorType ET_DUPLICATE_NAME_IN_MIXED_CONTENT = 12;
inline constexpr TXmlErrorType ET_DUPLICATE_NOTATION_DECLARATION = 13;
inline constexpr TXmlErrorType ET_DUPLICATE_NOTATION_ATTRIBUTE = 14;
inline constexpr TXmlErrorType ET_DUPLICATE_NOTATION_TOKEN = 15;
inline constexpr TXmlErrorType ET_DUPLICATE_TOKENS = 16;
inline constexpr TXmlErrorType ET_FIXED_ATTRIBUTE_MISMATCH = 17;
inline constexpr TXmlErrorType ET_ID_NEITHER_IMPLIED_NOR_REQUIRED = 18;
inline constexpr TXmlErrorType ET_EMPTY_ELEMENT_NOT_EMPTY = 19;
inline constexpr TXmlErrorType ET_ELEMENT_DECLARATION_NOT_FOUND = 20;
inline constexpr TXmlErrorType ET_ELEMENT_CONTENT_MISMATCH = 21;
inline constexpr TXmlErrorType ET_MIXED_CONTENT_MISMATCH = 22;
inline constexpr TXmlErrorType ET_ENTITY_DECLARATION_NOT_FOUND = 23;
inline constexpr TXmlErrorType ET_EXTERNAL_SUBSET_NOT_FOUND = 24;
inline constexpr TXmlErrorType ET_NONDETERMINISTIC_CONTENT_MODEL = 25;
inline constexpr TXmlErrorType ET_NOTATION_ON_EMPTY_ELEMENT = 26;
inline constexpr TXmlErrorType ET_PARAMETER_ENTITY_DECLARATION_NOT_FOUND = 27;
inline constexpr TXmlErrorType ET_REQUIRED_ATTRIBUTE_NOT_FOUND = 28;
inline constexpr TXmlErrorType ET_TARGET_ID_VALUE_NOT_FOUND = 29;
inline constexpr TXmlErrorType ET_TARGET_UNPARSED_ENTITY_NOT_FOUND = 30;
inline constexpr TXmlErrorType ET_UNDECLARED_NOTATION_NAME = 31;
inline constexpr TXmlErrorType ET_UNRESOLVABLE_ENTITY_REFERENCE = 32;
inline constexpr TXmlErrorType ET_UNRESOLVABLE_PARAMETER_ENTITY_REFERENCE = 33;
inline constexpr TXmlErrorType ET_WRONG_PREDEFINED_ENTITY_DECLARATION = 34;
inline constexpr TXmlErrorType ET_ROOT_ELEMENT_TYPE_MISMATCH = 35;
inline constexpr TXmlErrorType ET_ATTRIBUTE_REFERS_TO_EXTERNAL_ENTITY = 36;
inline constexpr TXmlErrorType ET_DOUBLE_ATTRIBUTE_NAME = 37;
inline constexpr TXmlErrorType ET_DOUBLE_EQUALITY_SIGN = 38;
inline constexpr TXmlErrorType ET_DOUBLE_ROOT_ELEMENT = 39;
inline constexpr TXmlErrorType ET_INVALID_ATTRIBUTE_NAME = 40;
inline constexpr TXmlErrorType ET_INVALID_ATTRIBUTE_VALUE = 41;
inline constexpr TXmlErrorType ET_INVALID_CDATA_SECTION = 42;
inline constexpr TXmlErrorType ET_INVALID_CHARACTER = 43;
inline constexpr TXmlErrorType ET_INVALID_CHARACTER_REFERENCE = 44;
inline constexpr TXmlErrorType ET_INVALID_COMMENT = 45;
inline constexpr TXmlErrorType ET_INVALID_ELEMENT_NAME = 46;
inline constexpr TXmlErrorType ET_INVALID_ENTITY_NAME = 47;
inline constexpr TXmlErrorType ET_INVALID_PROCESSING_INSTRUCTION = 48;
inline constexpr TXmlErrorType ET_INVALID_PUBID_LITERAL = 49;
inline constexpr TXmlErrorType ET_INVALID_SYSTEM_LITERAL = 50;
inline constexpr TXmlErrorType ET_INVALID_TEXT_DECLARATION = 51;
inline constexpr TXmlErrorType ET_INVALID_XML_DECLARATION = 52;
inline constexpr TXmlErrorType ET_LT_IN_REPLACEMENT_TEXT = 53;
inline constexpr TXmlErrorType ET_MISSING_END_TAG = 54;
inline constexpr TXmlErrorType ET_MISSING_EQUALITY_SIGN = 55;
inline constexpr TXmlErrorType ET_MISSING_QUOTATION_MARKS = 56;
inline constexpr TXmlErrorType ET_END_TAG_WITHOUT_START_TAG = 57;
inline constexpr TXmlErrorType ET_MISSING_WHITE_SPACE = 58;
inline constexpr TXmlErrorType ET_CHARACTERS_OUTSIDE_ROOT = 59;
inline constexpr TXmlErrorType ET_ROOT_NOT_FOUND = 60;
inline constexpr TXmlErrorType ET_NO_PROPER_MARKUP_REFERENCED = 61;
inline constexpr TXmlErrorType ET_RECURSIVE_REFERENCE = 62;
inline constexpr TXmlErrorType ET_UNPARSED_ENTITY_REFERENCED = 63;
inline constexpr TXmlErrorType ET_WRONG_ORDER = 64;
inline constexpr TXmlErrorType ET_DOUBLE_DOCTYPE = 65;
inline constexpr TXmlErrorType ET_INVALID_ATTLIST_DECLARATION = 66;
inline constexpr TXmlErrorType ET_INVALID_CONDITIONAL_SECTION = 67;
inline constexpr TXmlErrorType ET_INVALID_DOCTYPE = 68;
inline constexpr TXmlErrorType ET_INVALID_ELEMENT_DECLARATION = 69;
inline constexpr TXmlErrorType ET_INVALID_ENTITY_DECLARATION = 70;
inline constexpr TXmlErrorType ET_INVALID_NOTATION_DECLARATION = 71;
inline constexpr TXmlErrorType ET_UNKNOWN_DECLARATION_TYPE = 72;
inline constexpr TXmlErrorType ET_INVALID_NAMESPACE_URI = 73;
inline constexpr TXmlErrorType ET_INVALID_PREFIX = 74;
inline constexpr TXmlErrorType ET_INVALID_QUALIFIED_NAME = 75;
inline constexpr TXmlErrorType ET_NAMESPACE_URI_NOT_FOUND = 76;
inline constexpr TXmlErrorType ET_WRONG_PREFIX_MAPPING_NESTING = 77;
inline constexpr TXmlErrorType ET_ENCODING_NOT_SUPPORTED = 78;

/// The first and last fatal kinds.
inline constexpr TXmlErrorType ET_FIRST_FATAL = ET_ATTRIBUTE_REFERS_TO_EXTERNAL_ENTITY;
inline constexpr TXmlErrorType ET_LAST_FATAL = ET_ENCODING_NOT_SUPPORTED;

} // namespace xmldom
