// URI references by the generic syntax of RFC 2396: recognisers of its productions on 16-bit
// and on byte strings (one template behind both), the absolute-URI test used for document URIs,
// the analyser TUriWideStrAnalyzer that splits a reference into its five parts and puts it
// together again, and the resolution of a relative reference against a base.
// Only the ASCII characters the RFC names are accepted; anything else must arrive %-escaped.
#pragma once

#include <string>
#include <string_view>

#include "XmlSupport.h"

namespace xmldom {

// Each recogniser is true when the whole string matches the production; never raises.
// The 16-bit form looks at UTF-16 units, the byte form at bytes.
/// alpha *( alpha | digit | "+" | "-" | "." ); empty false
bool IsUriScheme(std::u16string_view s);
bool IsUriScheme(std::string_view s);
/// server | reg_name; empty true
bool IsUriAuthority(std::u16string_view s);
bool IsUriAuthority(std::string_view s);
/// 1*( unreserved | escaped | $ , ; : @ & = + )
bool IsUriRegName(std::u16string_view s);
bool IsUriRegName(std::string_view s);
/// [ [ userinfo "@" ] hostport ]; empty true
bool IsUriServer(std::u16string_view s);
bool IsUriServer(std::string_view s);
/// *( unreserved | escaped | ; : & = + $ , )
bool IsUriUserInfo(std::u16string_view s);
bool IsUriUserInfo(std::string_view s);
/// host [ ":" port ]
bool IsUriHostPort(std::u16string_view s);
bool IsUriHostPort(std::string_view s);
/// hostname | IPv4address
bool IsUriHost(std::u16string_view s);
bool IsUriHost(std::string_view s);
/// *( domainlabel "." ) toplabel [ "." ]
bool IsUriHostName(std::u16string_view s);
bool IsUriHostName(std::string_view s);
bool IsUriDomainLabel(std::u16string_view s);
bool IsUriDomainLabel(std::string_view s);
bool IsUriTopLabel(std::u16string_view s);
bool IsUriTopLabel(std::string_view s);
/// four non-empty digit groups, no range check
bool IsUriIPv4Address(std::u16string_view s);
bool IsUriIPv4Address(std::string_view s);
/// *digit
bool IsUriPort(std::u16string_view s);
bool IsUriPort(std::string_view s);
/// [ abs_path | opaque_part ]
bool IsUriPath(std::u16string_view s);
bool IsUriPath(std::string_view s);
/// "/" path_segments
bool IsUriAbsPath(std::u16string_view s);
bool IsUriAbsPath(std::string_view s);
bool IsUriPathSegments(std::u16string_view s);
bool IsUriPathSegments(std::string_view s);
/// uric_no_slash *uric
bool IsUriOpaquePart(std::u16string_view s);
bool IsUriOpaquePart(std::string_view s);
/// *uric
bool IsUriQuery(std::u16string_view s);
bool IsUriQuery(std::string_view s);
/// *uric
bool IsUriFragment(std::u16string_view s);
bool IsUriFragment(std::string_view s);
/// 1*uric
bool IsUriUrics(std::u16string_view s);
bool IsUriUrics(std::string_view s);

/// absoluteURI = scheme ":" ( hier_part | opaque_part ), on bytes (the document URI after
/// narrowing to US-ASCII).
bool IsUriAbsoluteURI(std::string_view s);

/// A URI reference as scheme, authority, path, query and fragment, each with a presence flag
/// (the path is always present). Every setter tests its part; a part that fails is cleared and
/// the setter returns false.
class TUriWideStrAnalyzer : public TObject {
public:
    TUriWideStrAnalyzer() { setUriReference(u""); }

    /// scheme ":" when present, "//" authority when present, path, "?" query, "#" fragment.
    virtual WideString getUriReference() const;
    virtual bool setAuthority(const WideString& Value, bool Present);
    virtual bool setQuery(const WideString& Value, bool Present);
    virtual bool setPath(const WideString& Value);
    virtual bool setFragment(const WideString& Value, bool Present);
    /// Splits Text at the first ":" (scheme), "#" (fragment), "?" (query) and a leading "//"
    /// (authority, up to the next "/"). True only when every part passes; else all are cleared.
    virtual bool setUriReference(const WideString& Text);
    virtual bool setScheme(const WideString& Value, bool Present);

    const WideString& getScheme() const { return scheme_; }
    bool hasScheme() const { return hasScheme_; }
    const WideString& getAuthority() const { return authority_; }
    bool hasAuthority() const { return hasAuthority_; }
    const WideString& getPath() const { return path_; }
    const WideString& getQuery() const { return query_; }
    bool hasQuery() const { return hasQuery_; }
    const WideString& getFragment() const { return fragment_; }
    bool hasFragment() const { return hasFragment_; }

private:
    WideString authority_, query_, fragment_, path_, scheme_;
    bool hasAuthority_ = false, hasQuery_ = false, hasFragment_ = false, hasScheme_ = false;
};

/// The absolute form of Reference against Base (RFC 2396 section 5.2). False, with Result
/// empty, when either does not parse, neither has a scheme, or the path climbs above the root.
bool ResolveRelativeUri(const WideString& Base, const WideString& Reference, WideString& Result);

/// The address of an entity named by SystemId in a resource at Base: SystemId made absolute
/// against a URI; against a plain file path, a relative path taken from that file's folder;
/// otherwise (no base) as written.
WideString XmlEntityAddress(const WideString& Base, const WideString& SystemId);

} // namespace xmldom
