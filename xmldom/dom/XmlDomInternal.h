// Private helpers of the object-model sources: the raise shorthands with the fixed messages,
// the reserved namespace names and the qualified-name rules shared by the factories.
// Not installed for users of the library.
#pragma once

#include "DomExceptions.h"
#include "XmlDomNodes.h"
#include "XmlMessages.h"
#include "XmlChars.h"

namespace xmldom::detail {

inline constexpr char16_t kXmlNamespace[] = u"http://www.w3.org/XML/1998/namespace";
inline constexpr char16_t kXmlnsNamespace[] = u"http://www.w3.org/2000/xmlns/";

[[noreturn]] void raiseHierarchy();
[[noreturn]] void raiseWrongDocument();
[[noreturn]] void raiseInvalidCharacter();
[[noreturn]] void raiseNoModification();
[[noreturn]] void raiseNodeNotFound();
[[noreturn]] void raiseNotSupported();
[[noreturn]] void raiseNamespace();
[[noreturn]] void raiseInuseNode();
[[noreturn]] void raiseInuseAttribute();
[[noreturn]] void raiseInvalidState();

/// Splits a qualified name; not splittable: ENamespace_Err when it is still a Name, else
/// EInvalid_Character_Err.
void splitQualifiedName(const WideString& qualifiedName, WideString& prefix, WideString& localName);
/// The namespace rules of elements: a prefix needs a namespace URI, "xml" needs the XML one.
void checkElementNamespace(const WideString& namespaceURI, const WideString& prefix);
/// The rules of attributes: those of elements plus "xmlns" (as prefix or whole name) needs the
/// xmlns namespace name.
void checkAttributeNamespace(const WideString& namespaceURI, const WideString& prefix,
                             const WideString& qualifiedName);

/// Frees a node that belongs to no list any more, by the way it was made.
void destroyNode(TdomNode* node);

/// Grows a vector geometrically ahead of one push_back, so the push itself cannot fail.
template <class V>
void makeRoomForOne(V& v) {
    if (v.size() == v.capacity()) v.reserve(v.empty() ? 8 : v.capacity() * 2);
}

bool equalsIgnoreAsciiCase(const WideString& a, const char16_t* b);

/// Whether XML makes a reference to an undeclared entity a fatal error in the document: it is
/// declared standalone, or every declaration it can have is in its internal subset (no
/// external subset, no parameter-entity reference).
bool undeclaredEntityIsFatal(TdomDocument* document);

}  // namespace xmldom::detail
