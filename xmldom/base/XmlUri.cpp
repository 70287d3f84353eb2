// URI references by RFC 2396: one template of recognisers instantiated for 16-bit and byte
// strings, the analyser's split and recomposition, and relative-reference resolution.
#include "XmlUri.h"

#include <algorithm>
#include <type_traits>
#include <vector>

namespace xmldom {

namespace {

template <class Ch> struct UriGrammar {
    using View = std::basic_string_view<Ch>;
    static constexpr size_t npos = View::npos;

    // Units are compared as unsigned values, so a byte or unit above 127 matches no class.
    static uint32_t u(Ch c) { return static_cast<std::make_unsigned_t<Ch>>(c); }
    static bool alpha(uint32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
    static bool digit(uint32_t c) { return c >= '0' && c <= '9'; }
    static bool alphaNum(uint32_t c) { return alpha(c) || digit(c); }
    static bool hex(uint32_t c) { return digit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
    static bool oneOf(uint32_t c, const char* set) {
        for (; *set; ++set)
            if (c == static_cast<unsigned char>(*set)) return true;
        return false;
    }
    static bool mark(uint32_t c) { return oneOf(c, "-_.!~*'()"); }
    static bool unreserved(uint32_t c) { return alphaNum(c) || mark(c); }
    static bool reserved(uint32_t c) { return oneOf(c, ";/?:@&=+$,"); }
    static bool uric(uint32_t c) { return reserved(c) || unreserved(c); }

    // Every unit is an escape ("%" and two hex digits) or passes ok.
    template <class Ok> static bool scan(View s, Ok ok) {
        for (size_t i = 0; i < s.size();) {
            if (u(s[i]) == '%') {
                if (i + 2 >= s.size() || !hex(u(s[i + 1])) || !hex(u(s[i + 2]))) return false;
                i += 3;
            } else {
                if (!ok(u(s[i]))) return false;
                ++i;
            }
        }
        return true;
    }

    static bool scheme(View s) {
        if (s.empty() || !alpha(u(s[0]))) return false;
        for (Ch c : s.substr(1))
            if (!alphaNum(u(c)) && !oneOf(u(c), "+-.")) return false;
        return true;
    }
    static bool regName(View s) {
        return !s.empty() && scan(s, [](uint32_t c) { return unreserved(c) || oneOf(c, "$,;:@&=+"); });
    }
    static bool userInfo(View s) {
        return scan(s, [](uint32_t c) { return unreserved(c) || oneOf(c, ";:&=+$,"); });
    }
    static bool port(View s) {
        for (Ch c : s)
            if (!digit(u(c))) return false;
        return true;
    }
    static bool domainLabel(View s) {
        if (s.empty() || !alphaNum(u(s.front())) || !alphaNum(u(s.back()))) return false;
        for (Ch c : s)
            if (!alphaNum(u(c)) && u(c) != '-') return false;
        return true;
    }
    static bool topLabel(View s) { return !s.empty() && alpha(u(s.front())) && domainLabel(s); }
    static bool hostName(View s) {
        if (!s.empty() && u(s.back()) == '.') s.remove_suffix(1); // one trailing "." allowed
        if (s.empty()) return false;
        for (size_t start = 0;;) {
            size_t dot = s.find(Ch('.'), start);
            if (dot == npos) return topLabel(s.substr(start));
            if (!domainLabel(s.substr(start, dot - start))) return false;
            start = dot + 1;
        }
    }
    static bool ipv4Address(View s) {
        int groups = 0;
        size_t start = 0;
        while (true) {
            size_t dot = s.find(Ch('.'), start);
            View group = s.substr(start, dot == npos ? npos : dot - start);
            if (group.empty() || !port(group)) return false;
            ++groups;
            if (dot == npos) break;
            start = dot + 1;
        }
        return groups == 4;
    }
    static bool host(View s) { return hostName(s) || ipv4Address(s); }
    static bool hostPort(View s) {
        size_t colon = s.find(Ch(':'));
        if (colon == npos) return host(s);
        return host(s.substr(0, colon)) && port(s.substr(colon + 1));
    }
    static bool server(View s) {
        if (s.empty()) return true;
        size_t at = s.find(Ch('@'));
        if (at == npos) return hostPort(s);
        return userInfo(s.substr(0, at)) && hostPort(s.substr(at + 1));
    }
    static bool authority(View s) { return server(s) || regName(s); }
    static bool pathSegments(View s) {
        return scan(s, [](uint32_t c) { return unreserved(c) || oneOf(c, ":@&=+$,;/"); });
    }
    static bool absPath(View s) { return !s.empty() && u(s[0]) == '/' && pathSegments(s.substr(1)); }
    static bool urics(View s) { return !s.empty() && scan(s, uric); }
    static bool query(View s) { return scan(s, uric); }
    static bool opaquePart(View s) { return !s.empty() && u(s[0]) != '/' && urics(s); }
    static bool path(View s) { return s.empty() || absPath(s) || opaquePart(s); }

    static bool netPath(View s) {
        if (s.size() < 2 || u(s[0]) != '/' || u(s[1]) != '/') return false;
        View rest = s.substr(2);
        size_t slash = rest.find(Ch('/'));
        if (slash == npos) return authority(rest);
        return authority(rest.substr(0, slash)) && absPath(rest.substr(slash));
    }
    static bool hierPart(View s) {
        size_t question = s.find(Ch('?'));
        View before = s.substr(0, question);
        if (!netPath(before) && !absPath(before)) return false;
        return question == npos || query(s.substr(question + 1));
    }
    static bool absoluteUri(View s) {
        size_t colon = s.find(Ch(':'));
        if (colon == npos || !scheme(s.substr(0, colon))) return false;
        View rest = s.substr(colon + 1);
        return hierPart(rest) || opaquePart(rest);
    }
};

using Wide = UriGrammar<char16_t>;
using Byte = UriGrammar<char>;

} // namespace

#define XMLDOM_URI_BOTH(Name, rule)                                                                          \
    bool Name(std::u16string_view s) {                                                                       \
        return Wide::rule(s);                                                                                \
    }                                                                                                        \
    bool Name(std::string_view s) {                                                                          \
        return Byte::rule(s);                                                                                \
    }
XMLDOM_URI_BOTH(IsUriScheme, scheme)
XMLDOM_URI_BOTH(IsUriAuthority, authority)
XMLDOM_URI_BOTH(IsUriRegName, regName)
XMLDOM_URI_BOTH(IsUriServer, server)
XMLDOM_URI_BOTH(IsUriUserInfo, userInfo)
XMLDOM_URI_BOTH(IsUriHostPort, hostPort)
XMLDOM_URI_BOTH(IsUriHost, host)
XMLDOM_URI_BOTH(IsUriHostName, hostName)
XMLDOM_URI_BOTH(IsUriDomainLabel, domainLabel)
XMLDOM_URI_BOTH(IsUriTopLabel, topLabel)
XMLDOM_URI_BOTH(IsUriIPv4Address, ipv4Address)
XMLDOM_URI_BOTH(IsUriPort, port)
XMLDOM_URI_BOTH(IsUriPath, path)
XMLDOM_URI_BOTH(IsUriAbsPath, absPath)
XMLDOM_URI_BOTH(IsUriPathSegments, pathSegments)
XMLDOM_URI_BOTH(IsUriOpaquePart, opaquePart)
XMLDOM_URI_BOTH(IsUriQuery, query)
XMLDOM_URI_BOTH(IsUriFragment, query)
XMLDOM_URI_BOTH(IsUriUrics, urics)
#undef XMLDOM_URI_BOTH

bool IsUriAbsoluteURI(std::string_view s) {
    return Byte::absoluteUri(s);
}

// ---------------------------------------------------------------- TUriWideStrAnalyzer

namespace {

bool storePart(bool ok, const WideString& value, bool present, WideString& part, bool& flag) {
    part = ok && present ? value : WideString();
    flag = ok && present;
    return ok;
}

} // namespace

WideString TUriWideStrAnalyzer::getUriReference() const {
    WideString out;
    if (hasScheme_) out += scheme_ + u":";
    if (hasAuthority_) out += u"//" + authority_;
    out += path_;
    if (hasQuery_) out += u"?" + query_;
    if (hasFragment_) out += u"#" + fragment_;
    return out;
}

bool TUriWideStrAnalyzer::setAuthority(const WideString& Value, bool Present) {
    return storePart(!Present || IsUriAuthority(Value), Value, Present, authority_, hasAuthority_);
}

bool TUriWideStrAnalyzer::setQuery(const WideString& Value, bool Present) {
    return storePart(!Present || IsUriQuery(Value), Value, Present, query_, hasQuery_);
}

bool TUriWideStrAnalyzer::setPath(const WideString& Value) {
    bool present = true;
    return storePart(IsUriPath(Value), Value, true, path_, present);
}

bool TUriWideStrAnalyzer::setFragment(const WideString& Value, bool Present) {
    return storePart(!Present || IsUriFragment(Value), Value, Present, fragment_, hasFragment_);
}

bool TUriWideStrAnalyzer::setScheme(const WideString& Value, bool Present) {
    return storePart(!Present || IsUriScheme(Value), Value, Present, scheme_, hasScheme_);
}

bool TUriWideStrAnalyzer::setUriReference(const WideString& Text) {
    std::u16string_view rest = Text;
    size_t colon = rest.find(u':');
    bool ok = setScheme(WideString(rest.substr(0, colon == rest.npos ? 0 : colon)), colon != rest.npos);
    if (colon != rest.npos) rest.remove_prefix(colon + 1);

    size_t hash = rest.find(u'#');
    ok = setFragment(hash == rest.npos ? WideString() : WideString(rest.substr(hash + 1)),
                     hash != rest.npos) &&
         ok;
    rest = rest.substr(0, hash);

    size_t question = rest.find(u'?');
    ok = setQuery(question == rest.npos ? WideString() : WideString(rest.substr(question + 1)),
                  question != rest.npos) &&
         ok;
    rest = rest.substr(0, question);

    bool hasAuthority = rest.size() >= 2 && rest[0] == u'/' && rest[1] == u'/';
    WideString authority;
    if (hasAuthority) {
        size_t slash = rest.find(u'/', 2);
        authority = WideString(rest.substr(2, slash == rest.npos ? rest.npos : slash - 2));
        rest = slash == rest.npos ? std::u16string_view{} : rest.substr(slash);
    }
    ok = setAuthority(authority, hasAuthority) && ok;
    ok = setPath(WideString(rest)) && ok;
    if (!ok) {
        setScheme(u"", false);
        setAuthority(u"", false);
        setPath(u"");
        setQuery(u"", false);
        setFragment(u"", false);
    }
    return ok;
}

// ---------------------------------------------------------------- ResolveRelativeUri

namespace {

// Steps 4.1 to 4.7: the merged, dot-free path; false when it climbs above the root.
bool mergePaths(const WideString& basePath, const WideString& refPath, WideString& merged) {
    size_t lastSlash = basePath.rfind(u'/');
    WideString joined = lastSlash == WideString::npos ? WideString() : basePath.substr(1, lastSlash);
    joined += refPath;

    std::vector<WideString> segments;
    for (size_t start = 0;;) {
        size_t slash = joined.find(u'/', start);
        segments.push_back(
            joined.substr(start, slash == WideString::npos ? WideString::npos : slash - start));
        if (slash == WideString::npos) break;
        start = slash + 1;
    }
    if (segments.back() == u"." || segments.back() == u"..") segments.emplace_back();
    std::erase(segments, u".");
    while (true) {
        auto up = std::find(segments.begin(), segments.end(), u"..");
        if (up == segments.end() || up == segments.begin()) break;
        segments.erase(up - 1, up + 1);
    }
    if (!segments.empty() && segments.front() == u"..") return false;

    WideString path(1, u'/');
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) path += u'/';
        path += segments[i];
    }
    merged = std::move(path);
    return true;
}

} // namespace

bool ResolveRelativeUri(const WideString& Base, const WideString& Reference, WideString& Result) {
    Result.clear();
    TUriWideStrAnalyzer a, b;
    if (!a.setUriReference(Base) || !b.setUriReference(Reference)) return false;
    if (!a.hasScheme() && !b.hasScheme()) return false;

    if (b.getPath().empty() && !b.hasScheme() && !b.hasAuthority() && !b.hasQuery()) {
        a.setFragment(b.getFragment(), b.hasFragment());
        Result = a.getUriReference();
        return true;
    }
    if (b.hasScheme()) {
        Result = Reference;
        return true;
    }
    b.setScheme(a.getScheme(), a.hasScheme());
    if (!b.hasAuthority()) {
        b.setAuthority(a.getAuthority(), a.hasAuthority());
        if (b.getPath().empty() || b.getPath()[0] != u'/') {
            WideString merged;
            if (!mergePaths(a.getPath(), b.getPath(), merged) || !b.setPath(merged)) return false;
        }
    }
    Result = b.getUriReference();
    return true;
}

WideString XmlEntityAddress(const WideString& Base, const WideString& SystemId) {
    WideString resolved;
    if (Base.empty() || SystemId.empty()) return SystemId;
    if (ResolveRelativeUri(Base, SystemId, resolved)) return resolved;
    // A plain file path as base: a relative path lies in the folder of the file naming it.
    TUriWideStrAnalyzer reference;
    if (SystemId[0] == u'/' || (reference.setUriReference(SystemId) && reference.hasScheme())) return SystemId;
    const size_t slash = Base.rfind(u'/');
    return slash == WideString::npos ? SystemId : Base.substr(0, slash + 1) + SystemId;
}

} // namespace xmldom
