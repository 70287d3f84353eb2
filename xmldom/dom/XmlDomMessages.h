// Fixed message texts raised by the object model beyond the DOM exception texts of
// XmlMessages.h: literal resolution and the owning named map.
#pragma once

namespace xmldom::msg {

inline constexpr char16_t kCannotResolveEntity[] = u"&%S; cannot be resolved.";
inline constexpr char16_t kMalformedLiteral[] = u"Malformed literal attribute value.";
inline constexpr char16_t kLiteralNotResolvable[] = u"Literal attribute value cannot be resolved.";
inline constexpr char16_t kEntityRefNotResolvable[] = u"Entity reference cannot be resolved.";
inline constexpr char16_t kItemNotFound[] = u"Item not found";

}  // namespace xmldom::msg
