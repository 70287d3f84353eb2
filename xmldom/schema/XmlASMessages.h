// Fixed message texts of the declaration store and its collection: entity resolution and the
// entity tests.
#pragma once

namespace xmldom::msg {

inline constexpr char16_t kCircularEntityRef[] = u"Circular or undefined entity reference found.";
inline constexpr char16_t kUnparsedEntity[] = u"Unparsed entity.";
inline constexpr char16_t kExternalEntity[] = u"External entity.";
inline constexpr char16_t kUnresolvableEntity[] = u"Unresolvable entity.";
inline constexpr char16_t kUnusableEntity[] = u"Unusable entity.";
inline constexpr char16_t kEntityRefCannotBeResolved[] = u"Entity reference cannot be resolved.";
inline constexpr char16_t kRefersToXyzSyntaxErr[] = u"Syntax error in TdomASModelCollection.refersToXyz";

}  // namespace xmldom::msg
