// XML character classes and name tests: stateless routines that decide whether a character or
// a string is what the XML 1.0 (Second Edition) grammar and the namespaces recommendation allow,
// plus the character-reference conversions and the splitters of markup declarations used by the
// readers, the factories and the writer. All strings are UTF-16; every test takes any text
// (unpaired surrogates included), returns a Boolean and never raises.
#pragma once

#include <string>
#include <string_view>

#include "XmlSupport.h"

namespace xmldom {

// ------------------------------------------------------------------ character classes
// Code-point forms take the whole code point (any 32-bit value; nothing above #xFFFF belongs
// to a class except Char); 16-bit forms take one UTF-16 code unit, zero-extended.

bool IsXmlChar(UCS4Char c);       ///< Char: #x9 #xA #xD [#x20-#xD7FF] [#xE000-#xFFFD] [#x10000-#x10FFFF]
bool IsXmlCharUnit(WideChar c);   ///< #x9 #xA #xD [#x20-#xFFFD]; surrogate units pass
bool IsXmlWhiteSpace(UCS4Char c); ///< S: #x20 #x9 #xD #xA
bool IsXmlWhiteSpace(WideChar c);
bool IsXmlWhiteSpaceOrNull(UCS4Char c); ///< S or #x0
bool IsXmlWhiteSpaceOrNull(WideChar c);
bool IsXmlBaseChar(UCS4Char c);
bool IsXmlBaseChar(WideChar c);
bool IsXmlIdeographic(UCS4Char c);
bool IsXmlIdeographic(WideChar c);
bool IsXmlLetter(UCS4Char c); ///< BaseChar or Ideographic
bool IsXmlLetter(WideChar c);
bool IsXmlCombiningChar(UCS4Char c);
bool IsXmlCombiningChar(WideChar c);
bool IsXmlDigit(UCS4Char c);
bool IsXmlDigit(WideChar c);
bool IsXmlExtender(UCS4Char c);
bool IsXmlExtender(WideChar c);
bool IsXmlNameChar(UCS4Char c); ///< Letter, Digit, CombiningChar, Extender, . - _ :
bool IsXmlNameChar(WideChar c);
bool IsXmlNCNameChar(WideChar c);     ///< NameChar without ":"
bool IsXmlPubidChar(WideChar c);      ///< #x20 #xD #xA [a-zA-Z0-9] -'()+,./:=?;!*#@$_%
bool IsXmlVersionNumChar(UCS4Char c); ///< [a-zA-Z0-9] _ . : -
bool IsXmlVersionNumChar(WideChar c);
bool IsXmlEncNameStartChar(UCS4Char c); ///< [A-Za-z]
bool IsXmlEncNameChar(UCS4Char c);      ///< [A-Za-z0-9] . _ -

// ------------------------------------------------------------------ name tests
// Surrogates, in every string test: a high surrogate followed at once by a low surrogate is
// one accepted character; any other surrogate unit makes the string invalid.

bool IsXmlName(std::u16string_view s);
bool IsXmlNames(std::u16string_view s); ///< Names joined by single #x20; empty is false
bool IsXmlNmtoken(std::u16string_view s);
bool IsXmlNmtokens(std::u16string_view s); ///< Nmtokens separated by runs of white space
bool IsXmlNCName(std::u16string_view s);
bool IsXmlPrefix(std::u16string_view s);
bool IsXmlLocalPart(std::u16string_view s);
bool IsXmlQName(std::u16string_view s);
bool IsXmlDefaultAttName(std::u16string_view s);  ///< "xmlns"
bool IsXmlPrefixedAttName(std::u16string_view s); ///< "xmlns:" NCName
bool IsXmlPITarget(std::u16string_view s);        ///< a Name other than "xml" in any case
bool IsXmlPredefinedEntityName(std::u16string_view s);
bool IsXmlStringType(std::u16string_view s);
bool IsXmlTokenizedType(std::u16string_view s);
bool IsXmlVersionNum(std::u16string_view s);
bool IsXmlEncName(std::u16string_view s);

// ------------------------------------------------------------------ content tests
// The empty string passes unless said otherwise.

bool IsXmlChars(std::u16string_view s);
bool IsXmlS(std::u16string_view s); ///< not empty, white space only
bool IsXmlCharData(std::u16string_view s);
bool IsXmlCData(std::u16string_view s);
bool IsXmlPubidChars(std::u16string_view s);
bool IsXmlSystemChars(std::u16string_view s);
bool IsXmlEntityValue(std::u16string_view s);   ///< internal entity value, without its quotes
bool IsXmlAttValue(std::u16string_view s);      ///< with its quotes
bool IsXmlSystemLiteral(std::u16string_view s); ///< with its quotes
bool IsXmlCharRef(std::u16string_view s);       ///< form only, the value is not tested
bool IsXmlEntityRef(std::u16string_view s);
bool IsXmlPEReference(std::u16string_view s);
bool IsXmlReference(std::u16string_view s); ///< EntityRef or CharRef

// ------------------------------------------------------------------ conversions
// These raise; nothing is returned when they do.

/// The code point of a character reference; EConvertError "%S is not a valid XmlCharRef
/// value." for a malformed reference, a value of #x110000 or more (however many digits), a
/// surrogate value or a value below #x10000 that is no Char unit.
UCS4Char XmlCharRefToInt(std::u16string_view ref);
/// The character of a reference: one unit, or a surrogate pair above #xFFFF. Raises as above.
WideString XmlCharRefToStr(std::u16string_view ref);
/// "&#x" + upper-case hexadecimal without leading zeros + ";", as bytes.
std::string XmlIntToCharRef(UCS4Char value);
/// s with every character reference replaced by its character and every entity reference
/// kept; EConvertError with the surrogate, invalid-character, "&"-without-";", invalid-reference
/// or character-reference message at the first fault.
WideString ResolveCharRefs(std::u16string_view s);
/// The local part of a qualified name; EInvalid_Character_Err "Invalid character error." when
/// the prefix or the local part is no NCName.
WideString XmlExtractLocalName(std::u16string_view qname);
/// Splits at the first ":"; false (prefix and localName cleared) when a part is no NCName.
bool XmlExtractPrefixAndLocalName(std::u16string_view qname, WideString& prefix, WideString& localName);

// ------------------------------------------------------------------ splitters
// On failure the error flag is set and the outputs are empty.

/// head: up to the first white space; rest: after the white-space run, right-trimmed.
void XmlSplitFirstToken(std::u16string_view s, WideString& head, WideString& rest);
/// A quoted literal after optional white space; quote receives the quote character (#0 on
/// failure); rest is what follows the white space after the closing quote.
void XmlParseQuotedLiteral(std::u16string_view s, WideString& literal, WideString& rest, bool& error,
                           WideChar& quote);
/// The text of an entity declaration after the name: an internal value, or SYSTEM / PUBLIC
/// identifiers with an optional NDATA notation name.
void XmlParseEntityDef(std::u16string_view s, WideString& value, WideString& systemId, bool& error,
                       WideString& notationName, WideString& publicId);
/// The text of a notation declaration after the name: SYSTEM literal, or PUBLIC literal with an
/// optional system literal.
void XmlParseNotationDef(std::u16string_view s, WideString& systemId, WideString& publicId, bool& error);
/// "[" inner "]" after trimming white space.
void XmlStripBrackets(std::u16string_view s, WideString& inner, bool& error);
/// "(" inner ")" after trimming white space; inner is trimmed too.
void XmlStripParentheses(std::u16string_view s, WideString& inner, bool& error);

// ------------------------------------------------------------------ string helpers

WideString TrimXmlWhiteSpace(std::u16string_view s);     ///< the four S characters, both ends
WideString TrimXmlWhiteSpaceLeft(std::u16string_view s); ///< the four S characters, left end
WideString TrimSpaces(std::u16string_view s);            ///< #x20 only, both ends
/// Difference of the first unequal code units, else length(a) - length(b).
int CompareWideStrOrdinal(std::u16string_view a, std::u16string_view b);
/// Each quotation mark becomes "&#34;", each apostrophe "&#39;".
WideString EscapeQuotesAsCharRefs(std::u16string_view s);

} // namespace xmldom
