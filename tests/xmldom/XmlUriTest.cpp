// Tests of the URI reference recognisers, the analyser's split and recomposition, and the
// resolution of relative references (the RFC 2396 examples and climbing above the root).
#include "XmlUri.h"

#include <gtest/gtest.h>

using namespace xmldom;

TEST(XmlUriRecognisers, HostNames) {
    EXPECT_TRUE(IsUriHostName(u"www.example.com"));
    EXPECT_TRUE(IsUriHostName(u"www.example.com."));
    EXPECT_FALSE(IsUriHostName(u"www.example.com.."));
    EXPECT_FALSE(IsUriHostName(u"www..com"));
    EXPECT_FALSE(IsUriHostName(u"a-.com"));
    EXPECT_FALSE(IsUriHostName(u"example.9com"));
    EXPECT_TRUE(IsUriHostName(u"9a.com"));
    EXPECT_FALSE(IsUriHostName(u""));
    EXPECT_FALSE(IsUriHostName(u"."));
    EXPECT_TRUE(IsUriTopLabel(u"a"));
    EXPECT_FALSE(IsUriTopLabel(u"1"));
    EXPECT_TRUE(IsUriDomainLabel(u"1"));
    EXPECT_TRUE(IsUriDomainLabel(u"a-b"));
    EXPECT_FALSE(IsUriDomainLabel(u"-a"));
}

TEST(XmlUriRecognisers, IPv4AddressesAndPorts) {
    EXPECT_TRUE(IsUriIPv4Address(u"1.2.3.4"));
    EXPECT_TRUE(IsUriIPv4Address(u"999.0000.3.12345"));
    EXPECT_FALSE(IsUriIPv4Address(u"1.2.3"));
    EXPECT_FALSE(IsUriIPv4Address(u"1.2.3.4.5"));
    EXPECT_FALSE(IsUriIPv4Address(u".1.2.3"));
    EXPECT_FALSE(IsUriIPv4Address(u"1.2.3.4."));
    EXPECT_FALSE(IsUriIPv4Address(u"1..3.4"));
    EXPECT_TRUE(IsUriPort(u""));
    EXPECT_FALSE(IsUriPort(u"8a"));
    EXPECT_TRUE(IsUriHostPort(u"host:8080"));
    EXPECT_TRUE(IsUriHostPort(u"1.2.3.4:"));
    EXPECT_FALSE(IsUriHostPort(u"host:8:9"));
}

TEST(XmlUriRecognisers, AuthorityServerAndRegName) {
    EXPECT_TRUE(IsUriServer(u""));
    EXPECT_FALSE(IsUriRegName(u""));
    EXPECT_TRUE(IsUriAuthority(u""));
    EXPECT_TRUE(IsUriServer(u"user:pw@host:1"));
    EXPECT_FALSE(IsUriServer(u"us er@host"));
    EXPECT_TRUE(IsUriAuthority(u"reg$name"));
    EXPECT_TRUE(IsUriUserInfo(u""));
}

TEST(XmlUriRecognisers, PathsEscapesAndNonAscii) {
    EXPECT_TRUE(IsUriPath(u""));
    EXPECT_TRUE(IsUriAbsPath(u"/a/b;p/c%20d"));
    EXPECT_FALSE(IsUriPathSegments(u"a%2"));
    EXPECT_FALSE(IsUriPathSegments(u"a%"));
    EXPECT_FALSE(IsUriPathSegments(u"a%zz"));
    EXPECT_FALSE(IsUriPathSegments(u"a b"));
    EXPECT_FALSE(IsUriPathSegments(u"\x00E9"));
    EXPECT_TRUE(IsUriPathSegments(u"%C3%A9"));
    EXPECT_TRUE(IsUriOpaquePart(u"a/b?c"));
    EXPECT_FALSE(IsUriOpaquePart(u"/a"));
    EXPECT_FALSE(IsUriOpaquePart(u""));
    EXPECT_TRUE(IsUriQuery(u""));
    EXPECT_TRUE(IsUriFragment(u"a/b?c"));
    EXPECT_FALSE(IsUriFragment(u"a#b"));
    EXPECT_FALSE(IsUriUrics(u""));
    EXPECT_TRUE(IsUriScheme(u"svn+ssh"));
    EXPECT_FALSE(IsUriScheme(u"1http"));
    EXPECT_FALSE(IsUriScheme(u""));
}

TEST(XmlUriRecognisers, ByteFamilyAndAbsoluteUris) {
    EXPECT_TRUE(IsUriHostName(std::string_view("a.b.")));
    EXPECT_FALSE(IsUriPathSegments(std::string_view("\xC3\xA9")));
    EXPECT_TRUE(IsUriAbsoluteURI("http://www.example.com/a/b?q=1"));
    EXPECT_TRUE(IsUriAbsoluteURI("file:///tmp/x.xml"));
    EXPECT_TRUE(IsUriAbsoluteURI("urn:isbn:0451450523"));
    EXPECT_TRUE(IsUriAbsoluteURI("http://host"));
    EXPECT_FALSE(IsUriAbsoluteURI("no-colon"));
    EXPECT_FALSE(IsUriAbsoluteURI("1http://x/"));
    EXPECT_FALSE(IsUriAbsoluteURI("http://bad host/"));
    EXPECT_FALSE(IsUriAbsoluteURI("http:"));
    EXPECT_FALSE(IsUriAbsoluteURI(":x"));
}

TEST(XmlUriAnalyzer, SplitAndRecompose) {
    TUriWideStrAnalyzer a;
    EXPECT_TRUE(a.setUriReference(u"http://a/b/c/d;p?q#f"));
    EXPECT_EQ(a.getScheme(), u"http");
    EXPECT_EQ(a.getAuthority(), u"a");
    EXPECT_EQ(a.getPath(), u"/b/c/d;p");
    EXPECT_EQ(a.getQuery(), u"q");
    EXPECT_EQ(a.getFragment(), u"f");
    EXPECT_EQ(a.getUriReference(), u"http://a/b/c/d;p?q#f");

    EXPECT_TRUE(a.setUriReference(u"../x/y.xml?#"));
    EXPECT_FALSE(a.hasScheme());
    EXPECT_FALSE(a.hasAuthority());
    EXPECT_TRUE(a.hasQuery());
    EXPECT_TRUE(a.hasFragment());
    EXPECT_EQ(a.getUriReference(), u"../x/y.xml?#");

    EXPECT_TRUE(a.setUriReference(u"//host"));
    EXPECT_TRUE(a.hasAuthority());
    EXPECT_EQ(a.getPath(), u"");
    EXPECT_EQ(a.getUriReference(), u"//host");
}

TEST(XmlUriAnalyzer, AFailedPartClearsEverything) {
    TUriWideStrAnalyzer a;
    EXPECT_FALSE(a.setUriReference(u"1x://host/p?q#f"));
    EXPECT_FALSE(a.hasScheme());
    EXPECT_FALSE(a.hasAuthority());
    EXPECT_FALSE(a.hasQuery());
    EXPECT_EQ(a.getUriReference(), u"");
    EXPECT_FALSE(a.setUriReference(u"http://host/a b"));
    EXPECT_EQ(a.getUriReference(), u"");
    EXPECT_FALSE(a.setScheme(u"9", true));
    EXPECT_FALSE(a.hasScheme());
    EXPECT_TRUE(a.setScheme(u"9", false)); // an absent part is not tested
    EXPECT_FALSE(a.hasScheme());
}

namespace {

std::u16string resolve(const std::u16string& reference) {
    WideString result = u"unchanged";
    if (!ResolveRelativeUri(u"http://a/b/c/d;p?q", reference, result)) return u"(fails:" + result + u")";
    return result;
}

} // namespace

// The examples of RFC 2396 appendix C.
TEST(XmlUriResolution, NormalExamples) {
    EXPECT_EQ(resolve(u"g:h"), u"g:h");
    EXPECT_EQ(resolve(u"g"), u"http://a/b/c/g");
    EXPECT_EQ(resolve(u"./g"), u"http://a/b/c/g");
    EXPECT_EQ(resolve(u"g/"), u"http://a/b/c/g/");
    EXPECT_EQ(resolve(u"/g"), u"http://a/g");
    EXPECT_EQ(resolve(u"//g"), u"http://g");
    EXPECT_EQ(resolve(u"?y"), u"http://a/b/c/?y");
    EXPECT_EQ(resolve(u"g?y"), u"http://a/b/c/g?y");
    EXPECT_EQ(resolve(u"#s"), u"http://a/b/c/d;p?q#s");
    EXPECT_EQ(resolve(u"g#s"), u"http://a/b/c/g#s");
    EXPECT_EQ(resolve(u"g?y#s"), u"http://a/b/c/g?y#s");
    EXPECT_EQ(resolve(u";x"), u"http://a/b/c/;x");
    EXPECT_EQ(resolve(u"g;x"), u"http://a/b/c/g;x");
    EXPECT_EQ(resolve(u"g;x?y#s"), u"http://a/b/c/g;x?y#s");
    EXPECT_EQ(resolve(u"."), u"http://a/b/c/");
    EXPECT_EQ(resolve(u"./"), u"http://a/b/c/");
    EXPECT_EQ(resolve(u".."), u"http://a/b/");
    EXPECT_EQ(resolve(u"../"), u"http://a/b/");
    EXPECT_EQ(resolve(u"../g"), u"http://a/b/g");
    EXPECT_EQ(resolve(u"../.."), u"http://a/");
    EXPECT_EQ(resolve(u"../../"), u"http://a/");
    EXPECT_EQ(resolve(u"../../g"), u"http://a/g");
    EXPECT_EQ(resolve(u""), u"http://a/b/c/d;p?q");
}

TEST(XmlUriResolution, AbnormalExamples) {
    EXPECT_EQ(resolve(u"../../../g"), u"(fails:)");
    EXPECT_EQ(resolve(u"../../../../g"), u"(fails:)");
    EXPECT_EQ(resolve(u"/./g"), u"http://a/./g");
    EXPECT_EQ(resolve(u"g."), u"http://a/b/c/g.");
    EXPECT_EQ(resolve(u"..g"), u"http://a/b/c/..g");
    EXPECT_EQ(resolve(u"./../g"), u"http://a/b/g");
    EXPECT_EQ(resolve(u"./g/."), u"http://a/b/c/g/");
    EXPECT_EQ(resolve(u"g/./h"), u"http://a/b/c/g/h");
    EXPECT_EQ(resolve(u"g/../h"), u"http://a/b/c/h");
    EXPECT_EQ(resolve(u"http:g"), u"http:g");
}

TEST(XmlUriResolution, DirectoryCasesAndFailures) {
    WideString result;
    EXPECT_TRUE(ResolveRelativeUri(u"http://x/a/b/c", u"g", result));
    EXPECT_EQ(result, u"http://x/a/b/g");
    EXPECT_TRUE(ResolveRelativeUri(u"http://x/a/b/c", u"..", result));
    EXPECT_EQ(result, u"http://x/a/");
    EXPECT_FALSE(ResolveRelativeUri(u"http://x/a/b/c", u"../../../g", result));
    EXPECT_EQ(result, u"");
    EXPECT_TRUE(ResolveRelativeUri(u"http://x/a?q#old", u"#new", result));
    EXPECT_EQ(result, u"http://x/a?q#new");
    EXPECT_FALSE(ResolveRelativeUri(u"a/b", u"c", result)); // no scheme on either side
    EXPECT_FALSE(ResolveRelativeUri(u"http://x/a b", u"c", result));
    EXPECT_FALSE(ResolveRelativeUri(u"http://x/", u"c d", result));
    EXPECT_TRUE(ResolveRelativeUri(u"file:///data/doc.xml", u"dtd/check.dtd", result));
    EXPECT_EQ(result, u"file:///data/dtd/check.dtd");
}

// An entity's address against the entity that names it: a file path (what a document read
// from a file is located by) serves as a base as well as a URI does.
TEST(XmlUriResolution, EntityAddresses) {
    EXPECT_EQ(XmlEntityAddress(u"file:///data/doc.xml", u"dtd/r.dtd"), u"file:///data/dtd/r.dtd");
    EXPECT_EQ(XmlEntityAddress(u"/data/doc.xml", u"dtd/r.dtd"), u"/data/dtd/r.dtd");
    EXPECT_EQ(XmlEntityAddress(u"data/doc.xml", u"r.dtd"), u"data/r.dtd");
    EXPECT_EQ(XmlEntityAddress(u"/data/doc.xml", u"/etc/r.dtd"), u"/etc/r.dtd");
    EXPECT_EQ(XmlEntityAddress(u"/data/doc.xml", u"http://x/r.dtd"), u"http://x/r.dtd");
    EXPECT_EQ(XmlEntityAddress(u"doc.xml", u"r.dtd"), u"r.dtd");
    EXPECT_EQ(XmlEntityAddress(u"", u"r.dtd"), u"r.dtd");
}
