// Tests of the DTD reader: the events it cuts from external and internal subsets (with their
// error kinds and spans), parameter entities in both tokenizers, conditional sections, every
// attribute type and default, external entities fetched through the implementation, the
// well-formedness check of a document's internal subset, and hostile DTDs (recursion, bombs,
// deep nesting, truncation).

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DomExceptions.h"
#include "XmlDom.h"
#include "XmlSources.h"

using namespace xmldom;

namespace {

std::string utf8(const WideString& s) { return ToUtf8(s); }

WideString wide(const std::string& s) {
    WideString out;
    for (unsigned char c : s) out += static_cast<char16_t>(c);
    return out;
}

struct Reported {
    int kind;
    std::string clue;
    int startLine, startColumn, endLine, endColumn;
};

/// The end of a chain: writes every DTD event as a line and answers parameter-entity questions
/// from a table (or, for names in the external table, through the implementation).
class LogHandler : public TXmlStandardHandler {
public:
    bool resolveParameterEntity(const WideString& Name, WideString& Text, TXmlErrorType& Kind) override {
        ++questions;
        auto it = entities.find(utf8(Name));
        if (it != entities.end()) {
            Text = wide(it->second);
            Kind = 0;
            return true;
        }
        auto ext = external.find(utf8(Name));
        if (ext != external.end() && impl) {
            Kind = XmlFetchExternalParsedEntity(impl, u"base.dtd", u"", wide(ext->second), Text);
            return true; // the error path decides
        }
        Text.clear();
        Kind = 27;
        return false;
    }

    std::map<std::string, std::string> entities;
    std::map<std::string, std::string> external; ///< name to system identifier
    TDomImplementation* impl = nullptr;
    int questions = 0;
};

/// Reader → (optional DTD test handler) → log.
class DtdRig {
public:
    explicit DtdRig(bool WithTest = true) {
        impl.OnError = [this](TObject*, TdomError* e, bool& go) {
            const TdomLocator& l = e->getLocation();
            errors.push_back({e->getKind(), utf8(e->getClue()), l.getStartLine(), l.getStartColumn(),
                              l.getEndLine(), l.getEndColumn()});
            if (goOn) go = true;
        };
        reader.setDOMImpl(&impl);
        if (WithTest) {
            reader.setNextHandler(&test);
            test.setNextHandler(&log);
        } else {
            reader.setNextHandler(&log);
        }
        log.impl = &impl;
        auto span = [this](TdomLocator* l) {
            return spans ? " @" + std::to_string(l->getStartLine()) + ":" + std::to_string(l->getStartColumn()) +
                               "-" + std::to_string(l->getEndLine()) + ":" + std::to_string(l->getEndColumn())
                         : std::string();
        };
        log.OnStartExtDtd = [=, this](TObject*, TXmlCustomReader*, TdomLocator*, WideString& p, WideString& v,
                                      WideString& e) { add("startext " + utf8(p) + "|" + utf8(v) + "|" + utf8(e)); };
        log.OnEndExtDtd = [=, this](TObject*, TXmlCustomReader*, TdomLocator*) { add("endext"); };
        log.OnStartIntDtd = [=, this](TObject*, TXmlCustomReader*, TdomLocator*) { add("startint"); };
        log.OnEndIntDtd = [=, this](TObject*, TXmlCustomReader*, TdomLocator*) { add("endint"); };
        log.OnDtdComment = [=, this](TObject*, TXmlCustomReader*, TdomLocator* l, WideString& d) {
            add("comment " + utf8(d) + span(l));
        };
        log.OnDtdProcessingInstruction = [=, this](TObject*, TXmlCustomReader*, TdomLocator* l, WideString& t,
                                                   WideString& d) { add("pi " + utf8(t) + "|" + utf8(d) + span(l)); };
        log.OnElementTypeDeclaration = [=, this](TObject*, TXmlCustomReader*, TdomLocator* l, WideString& n,
                                                 WideString& d) { add("element " + utf8(n) + "|" + utf8(d) + span(l)); };
        log.OnEntityDeclaration = [=, this](TObject*, TXmlCustomReader*, TdomLocator* l, WideString& n,
                                            WideString& v, WideString& p, WideString& s, WideString& no) {
            add("entity " + utf8(n) + "|" + utf8(v) + "|" + utf8(p) + "|" + utf8(s) + "|" + utf8(no) + span(l));
        };
        log.OnParameterEntityDeclaration = [=, this](TObject*, TXmlCustomReader*, TdomLocator* l, WideString& n,
                                                     WideString& v, WideString& p, WideString& s) {
            add("pentity " + utf8(n) + "|" + utf8(v) + "|" + utf8(p) + "|" + utf8(s) + span(l));
        };
        log.OnNotationDeclaration = [=, this](TObject*, TXmlCustomReader*, TdomLocator* l, WideString& n,
                                              WideString& p, WideString& s) {
            add("notation " + utf8(n) + "|" + utf8(p) + "|" + utf8(s) + span(l));
        };
        log.OnParameterEntityRef = [=, this](TObject*, TXmlCustomReader*, TdomLocator* l, WideString& d) {
            add("peref " + utf8(d) + span(l));
        };
        log.OnStartAttListDeclaration = [=, this](TObject*, TXmlCustomReader*, TdomLocator* l, WideString& d) {
            add("attlist " + utf8(d) + span(l));
        };
        log.OnAttributeDefinition = [=, this](TObject*, TXmlCustomReader*, TdomLocator*, WideString& n,
                                              WideString& t, WideString& b, WideString& d, WideString& v) {
            add("att " + utf8(n) + "|" + utf8(t) + "|" + utf8(b) + "|" + utf8(d) + "|" + utf8(v));
        };
        log.OnEndAttListDeclaration = [=, this](TObject*, TXmlCustomReader*, TdomLocator*) { add("endattlist"); };
    }

    bool external(const std::string& bytes) {
        clear();
        TStringStream stream(bytes);
        TXmlInputSource source(&stream, 4096, 1, u"", u"test.dtd");
        // As a parser component does: a faulty text declaration is refused before the read.
        if (source.hasDeclarationFault()) {
            errors.push_back({51, "", 0, 0, 0, 0});
            return false;
        }
        return reader.parseExternalSubset(&source);
    }

    bool internal(const std::string& bytes, bool resolve) {
        clear();
        TStringStream stream(bytes);
        TXmlInputSource source(&stream, 4096, 1, u"", u"");
        return reader.parseInternalSubset(&source, resolve);
    }

    /// The events between the start and end events.
    std::vector<std::string> body() const {
        std::vector<std::string> b;
        for (const auto& e : events)
            if (e.rfind("startext", 0) != 0 && e != "startint" && e != "endext" && e != "endint") b.push_back(e);
        return b;
    }

    std::vector<int> kinds() const {
        std::vector<int> k;
        for (const auto& e : errors) k.push_back(e.kind);
        return k;
    }

    void clear() {
        events.clear();
        errors.clear();
    }
    void add(std::string s) { events.push_back(std::move(s)); }

    TDomImplementation impl;
    TXmlStandardDtdReader reader;
    TXmlWFTestDTDHandler test;
    LogHandler log;
    std::vector<std::string> events;
    std::vector<Reported> errors;
    bool goOn = false;
    bool spans = false;
};

using Lines = std::vector<std::string>;
using Kinds = std::vector<int>;

} // namespace

// ------------------------------------------------------------------ tokens and events

TEST(DtdReader, ExternalSubsetEventsInOrder) {
    DtdRig r;
    EXPECT_TRUE(r.external("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<!-- c --><?tgt some data?>\n"
                           "<!ELEMENT a (b, c*)>\n"
                           "<!ENTITY e \"v\">\n"
                           "<!NOTATION n SYSTEM \"n.exe\">\n"
                           "<!ATTLIST a x CDATA #IMPLIED>\n"));
    EXPECT_EQ(r.events, (Lines{"startext |1.0|UTF-8", "comment  c ", "pi tgt|some data", "element a|(b, c*)",
                               "entity e|v|||", "notation n||n.exe", "attlist a", "att x|CDATA||#IMPLIED|",
                               "endattlist", "endext"}));
    EXPECT_TRUE(r.errors.empty());
}

TEST(DtdReader, EachEventSpansItsToken) {
    DtdRig r;
    r.spans = true;
    EXPECT_TRUE(r.internal("<!-- one -->\n  <!ELEMENT a\n   EMPTY>\t<?p d?>", false));
    EXPECT_EQ(r.body(), (Lines{"comment  one  @1:1-1:12", "element a|EMPTY @2:3-3:9", "pi p|d @3:11-3:17"}));
}

TEST(DtdReader, CommentAndProcessingInstructionOpenersNeverCloseThemselves) {
    // "<?>" and "<!-->" / "<!--->" stay open: the rest is an unfinished construct.
    for (const char* text : {"<?>", "<!-->", "<!--->"}) {
        DtdRig r;
        EXPECT_FALSE(r.internal(text, false)) << text;
        EXPECT_EQ(r.kinds(), (Kinds{72})) << text;
        EXPECT_EQ(r.errors[0].clue, text);
    }
    DtdRig r;
    EXPECT_TRUE(r.internal("<!---->", false));
    EXPECT_EQ(r.body(), (Lines{"comment "}));
    EXPECT_FALSE(r.internal("<?>?>", false)); // a processing instruction without a target
    EXPECT_EQ(r.kinds(), (Kinds{48}));
}

TEST(DtdReader, TextBetweenDeclarationsIsKind43WithItsPlace) {
    DtdRig r;
    EXPECT_FALSE(r.internal("<!ELEMENT a ANY>\n  x<!ELEMENT b ANY>", false));
    ASSERT_EQ(r.kinds(), (Kinds{43}));
    EXPECT_EQ(r.errors[0].clue, "x");
    EXPECT_EQ(r.errors[0].startLine, 2);
    EXPECT_EQ(r.errors[0].startColumn, 3);
    EXPECT_EQ(r.body(), (Lines{"element a|ANY"}));
}

TEST(DtdReader, MisspeltKeywordSwallowsTheRestAndIsReportedOnceAtTheEnd) {
    DtdRig r;
    r.goOn = true;
    EXPECT_TRUE(r.internal("<!ELEMENT a ANY>\n<!ELEMNT b ANY>\n<!ELEMENT c ANY>\n", false));
    EXPECT_EQ(r.kinds(), (Kinds{72}));
    EXPECT_EQ(r.errors[0].clue, "<!ELEMNT b ANY>\n<!ELEMENT c ANY>\n");
    EXPECT_EQ(r.body(), (Lines{"element a|ANY"}));
}

TEST(DtdReader, IllegalCharacterIsKind43AtItsPlace) {
    DtdRig r;
    EXPECT_FALSE(r.internal("<!ELEMENT a ANY>\n<!-- \x01 -->", false));
    ASSERT_FALSE(r.errors.empty());
    EXPECT_EQ(r.errors[0].kind, 43);
    EXPECT_EQ(r.errors[0].startLine, 2);
    EXPECT_EQ(r.errors[0].startColumn, 6);
}

TEST(DtdReader, InvalidBytesAreKind43) {
    DtdRig r;
    EXPECT_FALSE(r.external("<!ELEMENT a ANY>\n<!-- \xC3\x28 -->"));
    EXPECT_EQ(r.kinds(), (Kinds{43}));
}

TEST(DtdReader, SendOperationsAnswerTrueWithoutNextHandler) {
    TXmlStandardDtdReader reader;
    TStringStream stream("<!ELEMENT a ANY><!-- x --><!ATTLIST a b CDATA #IMPLIED>");
    TXmlInputSource source(&stream, 4096, 1, u"", u"");
    EXPECT_TRUE(reader.parseInternalSubset(&source, false));
}

// ------------------------------------------------------------------ the declaration splits

TEST(DtdReader, EntitySplit) {
    DtdRig r;
    EXPECT_TRUE(r.internal("<!ENTITY g 'a\"b'>"
                           "<!ENTITY % p \"x\">"
                           "<!ENTITY s SYSTEM \"s.xml\">"
                           "<!ENTITY u PUBLIC \"-//P//EN\" 'u.bin' NDATA gif>"
                           "<!ENTITY\t%\tq\nSYSTEM 'q.ent'>"
                           "<!ENTITY e ''>",
                           false));
    EXPECT_EQ(r.body(), (Lines{"entity g|a\"b|||", "pentity p|x||", "entity s|||s.xml|",
                               "entity u||-//P//EN|u.bin|gif", "pentity q|||q.ent", "entity e||||"}));
}

TEST(DtdReader, EntitySplitFaultsAreKind70) {
    for (const char* text : {"<!ENTITY a 'v' NDATA n>",       // literal and notation
                             "<!ENTITY % p SYSTEM 'x' NDATA n>", // parameter entity with a notation
                             "<!ENTITY a>",                   // too short
                             "<!ENTITY %p 'value'>",          // "%" not followed by white space
                             "<!ENTITY name SYSTEM>",         // identifier without literal
                             "<!ENTITY name PUBLIC 'p'>",     // public without system literal
                             "<!ENTITY name other 'x'>",      // neither literal nor identifier
                             "<!ENTITYname 'value'>"}) {      // no white space after the keyword
        DtdRig r;
        EXPECT_FALSE(r.internal(text, false)) << text;
        EXPECT_EQ(r.kinds(), (Kinds{70})) << text;
        EXPECT_TRUE(r.body().empty()) << text;
    }
}

TEST(DtdReader, ElementSplitAndContentDeclarations) {
    DtdRig r;
    EXPECT_TRUE(r.internal("<!ELEMENT a EMPTY><!ELEMENT b ANY><!ELEMENT c (#PCDATA)><!ELEMENT d (#PCDATA)*>"
                           "<!ELEMENT e ( #PCDATA | a | b )*><!ELEMENT f ((a|b)+, c?, (d, e)*)>"
                           "<!ELEMENT g (a)>",
                           false));
    EXPECT_EQ(r.body(), (Lines{"element a|EMPTY", "element b|ANY", "element c|(#PCDATA)", "element d|(#PCDATA)*",
                               "element e|( #PCDATA | a | b )*", "element f|((a|b)+, c?, (d, e)*)",
                               "element g|(a)"}));
}

TEST(DtdReader, ElementSplitFaultsAreKind69) {
    for (const char* text : {"<!ELEMENT ab>",                       // fewer than 16 characters
                             "<!ELEMENT a (b,c|d)>",                // mixed connectors
                             "<!ELEMENT a (#PCDATA|b)>",            // mixed content without "*"
                             "<!ELEMENT a ()>", "<!ELEMENT a (b)) >", "<!ELEMENT a (b c)>",
                             "<!ELEMENT a EMPTY ANY>", "<!ELEMENT a (b,#PCDATA)>", "<!ELEMENTa (b)>",
                             "<!ELEMENT a %pe;>"}) {
        DtdRig r;
        r.internal(text, false);
        ASSERT_FALSE(r.errors.empty()) << text;
        EXPECT_EQ(r.errors[0].kind, 69) << text;
    }
    DtdRig r;
    EXPECT_FALSE(r.internal("<!ELEMENT a (b)", false));
    EXPECT_EQ(r.kinds(), (Kinds{72}));
}

TEST(DtdReader, EveryAttributeTypeAndDefault) {
    DtdRig r;
    EXPECT_TRUE(r.internal("<!ATTLIST el\n"
                           "  c CDATA #REQUIRED\n  i ID #IMPLIED\n  r IDREF #IMPLIED rs IDREFS #IMPLIED\n"
                           "  e ENTITY #IMPLIED es ENTITIES #IMPLIED\n  t NMTOKEN 'x' ts NMTOKENS \"x y\"\n"
                           "  n NOTATION (gif | png) #REQUIRED\n  en (one|two| three ) 'one'\n"
                           "  f CDATA #FIXED 'a>b'\n  q CDATA \"it's\">",
                           false));
    EXPECT_EQ(r.body(), (Lines{"attlist el", "att c|CDATA||#REQUIRED|", "att i|ID||#IMPLIED|",
                               "att r|IDREF||#IMPLIED|", "att rs|IDREFS||#IMPLIED|", "att e|ENTITY||#IMPLIED|",
                               "att es|ENTITIES||#IMPLIED|", "att t|NMTOKEN|||x", "att ts|NMTOKENS|||x y",
                               "att n|NOTATION|(gif | png)|#REQUIRED|", "att en||(one|two| three )||one",
                               "att f|CDATA||#FIXED|a>b", "att q|CDATA|||it's", "endattlist"}));
    EXPECT_TRUE(r.errors.empty());
    EXPECT_TRUE(r.internal("<!ATTLIST e>", false));
    EXPECT_EQ(r.body(), (Lines{"attlist e", "endattlist"}));
}

TEST(DtdReader, AttributeListMisfitsAreKind66WithTheWholeDeclaration) {
    for (const char* text : {"<!ATTLIST a b>", "<!ATTLIST a b CDATA>", "<!ATTLIST a b CDATA 'x>'",
                             "<!ATTLIST a b NOTATION #IMPLIED>", "<!ATTLIST a b (x|y)#IMPLIED>",
                             "<!ATTLIST a b CDATA #FIXED>", "<!ATTLIST a b STRING #IMPLIED>",
                             "<!ATTLIST a b CDATA #DEFAULT>", "<!ATTLIST a b (x||y) #IMPLIED>",
                             "<!ATTLIST a b CDATA 'x'c CDATA #IMPLIED>", "<!ATTLISTa>"}) {
        DtdRig r;
        r.goOn = true;
        r.internal(text, false);
        ASSERT_FALSE(r.errors.empty()) << text;
        if (std::string(text).back() != '>') {
            EXPECT_EQ(r.kinds(), (Kinds{72})) << text;
            continue;
        }
        EXPECT_EQ(r.errors[0].kind, 66) << text;
        EXPECT_EQ(r.errors[0].clue, text);
        // The declaration is closed when the error path lets the read go on: no second 66.
        EXPECT_EQ(r.errors.size(), 1u) << text;
    }
}

TEST(DtdReader, NotationSplit) {
    DtdRig r;
    EXPECT_TRUE(r.internal("<!NOTATION a SYSTEM 'a.exe'><!NOTATION b PUBLIC \"-//B//EN\">"
                           "<!NOTATION c PUBLIC '-//C//EN' \"c.exe\">",
                           false));
    EXPECT_EQ(r.body(), (Lines{"notation a||a.exe", "notation b|-//B//EN|", "notation c|-//C//EN|c.exe"}));
    for (const char* text : {"<!NOTATION a SYSTEM>", "<!NOTATION a OTHER 'x.exe'>", "<!NOTATION a SYSTEM 'x' 'y'>",
                             "<!NOTATIONa SYSTEM 'x.exe'>"}) {
        DtdRig f;
        f.internal(text, false);
        EXPECT_EQ(f.kinds(), (Kinds{71})) << text;
    }
}

TEST(DtdReader, HandlerFalseAnswerStopsTheTokenizer) {
    DtdRig r;
    r.log.OnParameterEntityDeclaration = nullptr;
    // The test handler reports kind 70 for a bad name; the fatal answer stops the run.
    EXPECT_FALSE(r.internal("<!ENTITY % 1x 'v'><!ELEMENT a ANY>", false));
    EXPECT_EQ(r.kinds(), (Kinds{70}));
    EXPECT_TRUE(r.body().empty());
    // The chain was reset: the next run starts cleanly.
    EXPECT_TRUE(r.internal("<!ELEMENT a ANY>", false));
}

TEST(DtdReader, ErrorKindsWithTheirSpans) {
    auto first = [](DtdRig& r) {
        if (r.errors.empty()) return std::string("none");
        const Reported& e = r.errors[0];
        return std::to_string(e.kind) + "@" + std::to_string(e.startLine) + ":" + std::to_string(e.startColumn) +
               "-" + std::to_string(e.endLine) + ":" + std::to_string(e.endColumn);
    };
    struct Case {
        const char* text;
        bool external;
        const char* expected;
    } cases[] = {
        {"\n  <!ELEMENT ab>", false, "69@2:3-2:15"},
        {"\n  <!ENTITY a 'v' NDATA n>", false, "70@2:3-2:25"},
        {"\n  <!ATTLIST a b>", false, "66@2:3-2:16"},
        {"\n  <!NOTATION a SYSTEM>", false, "71@2:3-2:22"},
        {"\n  <!BOGUS x>\n", false, "72@2:3-3:0"},
        {"\n  <![MAYBE[<!ELEMENT a ANY>]]>", true, "67@2:3-2:11"}, // up to the keyword's "["
        {"\n  %a;", true, "62@1:1-1:3"}, // inside the replacement text of a
        {"\n  %b;", true, "27@2:3-2:5"}, // the resolver's kind
        {"\n  <!-- x -- y -->", false, "45@2:3-2:17"},
        {"\n  <?xml-x?><?XmL d?>", false, "48@2:12-2:20"},
        {"\n  <!ELEMENT a ANY> ]", false, "43@2:20-2:20"},
    };
    for (const Case& c : cases) {
        DtdRig r;
        r.log.entities["a"] = "%a;";
        if (c.external) r.external(c.text);
        else r.internal(c.text, false);
        EXPECT_EQ(first(r), c.expected) << c.text;
    }
}

// ------------------------------------------------------------------ parameter entities

TEST(DtdReader, InternalSubsetWithoutResolvePassesReferencesOn) {
    DtdRig r;
    r.spans = true;
    r.log.entities["p"] = "<!ELEMENT x ANY>";
    EXPECT_TRUE(r.internal("<!ELEMENT a ANY>\n %p;", false));
    EXPECT_EQ(r.body(), (Lines{"element a|ANY @1:1-1:16", "peref p @2:2-2:4"}));
    EXPECT_EQ(r.log.questions, 0);
}

TEST(DtdReader, InternalSubsetWithResolveParsesTheReplacementInPlace) {
    DtdRig r;
    r.log.entities["p"] = "<!ELEMENT x ANY> %q; <!-- &#65; -->";
    r.log.entities["q"] = "<!ELEMENT y EMPTY>";
    EXPECT_TRUE(r.internal("<!ELEMENT a ANY>%p;<!ELEMENT b ANY>", true));
    EXPECT_EQ(r.body(), (Lines{"element a|ANY", "element x|ANY", "element y|EMPTY", "comment  A ", "element b|ANY"}));
    // The internal tokenizer leaves references inside declarations alone.
    EXPECT_FALSE(r.internal("<!ATTLIST a %p;>", true));
}

TEST(DtdReader, UnknownParameterEntityReportsTheResolversKind) {
    DtdRig r;
    EXPECT_FALSE(r.external("<!ELEMENT a ANY>\n%nope;<!ELEMENT b ANY>"));
    ASSERT_EQ(r.kinds(), (Kinds{27}));
    EXPECT_EQ(r.errors[0].clue, "%nope;");
    EXPECT_EQ(r.errors[0].startLine, 2);
    EXPECT_EQ(r.errors[0].startColumn, 1);
    EXPECT_EQ(r.errors[0].endColumn, 6);
    EXPECT_EQ(r.body(), (Lines{"element a|ANY"}));
    // Without a resolver in the chain the kind is 33.
    TXmlStandardDtdReader alone;
    TDomImplementation impl;
    std::vector<int> kinds;
    impl.OnError = [&](TObject*, TdomError* e, bool&) { kinds.push_back(e->getKind()); };
    alone.setDOMImpl(&impl);
    TStringStream stream("%p;");
    TXmlInputSource source(&stream, 4096, 1, u"", u"");
    EXPECT_TRUE(alone.parseExternalSubset(&source)); // kind 33 is no fatal error
    EXPECT_EQ(kinds, (Kinds{33}));
}

TEST(DtdReader, ParameterEntitiesInsideExternalDeclarations) {
    DtdRig r;
    r.log.entities["coreattrs"] = "id ID #IMPLIED class CDATA #IMPLIED";
    r.log.entities["attrs"] = "%coreattrs; lang NMTOKEN #IMPLIED";
    r.log.entities["inline"] = "#PCDATA | b | i";
    r.log.entities["name"] = "\"quoted>\"";
    EXPECT_TRUE(r.external("<!ATTLIST p %attrs; title CDATA %name;>\n"
                           "<!ELEMENT p (%inline;)*>\n"
                           "<!ENTITY % local \"%inline;\">\n" // the value takes the text in
                           "<!ENTITY %     x 'y'>"));
    EXPECT_EQ(r.body(), (Lines{"attlist p", "att id|ID||#IMPLIED|", "att class|CDATA||#IMPLIED|",
                               "att lang|NMTOKEN||#IMPLIED|", "att title|CDATA|||quoted>", "endattlist",
                               "element p|( #PCDATA | b | i )*", "pentity local|#PCDATA | b | i||", "pentity x|y||"}));
    EXPECT_TRUE(r.errors.empty());
}

TEST(DtdReader, ParameterEntitiesInEntityValues) {
    // Outside the internal subset a reference in an entity value is replaced by its text, where
    // quotes are data (given as references the value's own replacement turns into quotes).
    DtdRig r;
    r.log.entities["v"] = "say \"hi\" %w;";
    r.log.entities["w"] = "there";
    EXPECT_TRUE(r.external("<!ENTITY e '%v; at 100%'><!ENTITY % p \"[%w;]\"><!ENTITY s SYSTEM 'a%v;'>"));
    EXPECT_EQ(r.body(), (Lines{"entity e|say &#34;hi&#34; there at 100%|||", "pentity p|[there]||",
                               "entity s|||a%v;|"}));
    EXPECT_TRUE(r.errors.empty());
    // The internal subset allows none.
    EXPECT_FALSE(r.internal("<!ENTITY e '%v; at 100%'>", true));
    EXPECT_EQ(r.kinds(), (Kinds{70}));
    EXPECT_EQ(r.errors[0].clue, "%v;");
}

TEST(DtdReader, DeclarationEndingInsideAParameterEntity) {
    DtdRig r;
    r.log.entities["e"] = "EMPTY>";
    r.log.entities["open"] = "<!ELEMENT b";
    EXPECT_TRUE(r.external("<!ELEMENT a %e;<!ATTLIST a x CDATA 'y'>"));
    EXPECT_EQ(r.body(), (Lines{"element a|EMPTY", "attlist a", "att x|CDATA|||y", "endattlist"}));
    EXPECT_TRUE(r.errors.empty());
    // A reference between declarations must hold whole declarations.
    EXPECT_FALSE(r.external("%open; EMPTY>"));
    EXPECT_EQ(r.kinds(), (Kinds{72}));
}

TEST(DtdReader, ReadAndIncludeParameterEntityOperations) {
    DtdRig r;
    r.log.entities["p"] = "text";
    TStringStream stream("p; rest");
    TXmlInputSource source(&stream, 4096, 1, u"", u"");
    WideString text;
    EXPECT_TRUE(r.reader.readParameterEntity(&source, text));
    EXPECT_EQ(utf8(text), "text");
    EXPECT_TRUE(r.reader.readParameterEntity(&source, text));
    EXPECT_EQ(utf8(text), "% "); // a character that cannot start a name
    TStringStream again("p;");
    TXmlInputSource source2(&again, 4096, 1, u"", u"");
    EXPECT_TRUE(r.reader.includeParameterEntity(&source2, text));
    EXPECT_EQ(utf8(text), " text ");
}

TEST(DtdReader, ReplacementTextDeclarations) {
    DtdRig r;
    r.goOn = true;
    r.log.entities["good"] = "<?xml encoding=\"UTF-16\"?><!ELEMENT g ANY>";
    r.log.entities["bad"] = "<?xml nonsense?><!ELEMENT b ANY>";
    r.log.entities["foreign"] = "<?xml encoding=\"UTF-8\"?><!ELEMENT f ANY>";
    r.log.entities["unknown"] = "<?xml encoding=\"x-unknown\"?><!ELEMENT f ANY>";
    EXPECT_TRUE(r.external("%good;%bad;%foreign;%unknown;"));
    EXPECT_EQ(r.body(), (Lines{"element g|ANY"}));
    EXPECT_EQ(r.kinds(), (Kinds{51, 51, 78}));
    r.log.entities["wide"] = "<?xml encoding=\"ISO-10646-UCS-2\"?><!ELEMENT w ANY>";
    EXPECT_TRUE(r.external("%wide;"));
    EXPECT_EQ(r.body(), (Lines{"element w|ANY"}));
}

TEST(DtdReader, SelfReferenceIsKind62DirectlyAndThroughOthers) {
    {
        DtdRig r;
        r.log.entities["a"] = "<!ELEMENT x ANY> %a;";
        EXPECT_FALSE(r.external("%a;"));
        EXPECT_EQ(r.kinds(), (Kinds{62}));
        EXPECT_EQ(r.errors[0].clue, "%a;");
        EXPECT_EQ(r.body(), (Lines{"element x|ANY"}));
    }
    {
        DtdRig r;
        r.log.entities["a"] = "%b;";
        r.log.entities["b"] = "%c;";
        r.log.entities["c"] = "%a;";
        EXPECT_FALSE(r.external("%a;"));
        EXPECT_EQ(r.kinds(), (Kinds{62}));
    }
    {
        // Inside a declaration as well.
        DtdRig r;
        r.log.entities["m"] = "(a, %n;)";
        r.log.entities["n"] = "%m;";
        EXPECT_FALSE(r.external("<!ELEMENT e %m;>"));
        EXPECT_EQ(r.kinds().front(), 62);
    }
    {
        // The same entity twice side by side is no recursion.
        DtdRig r;
        r.log.entities["a"] = "<!-- a -->";
        r.log.entities["two"] = "%a;%a;";
        EXPECT_TRUE(r.external("%two;"));
        EXPECT_EQ(r.body(), (Lines{"comment  a ", "comment  a "}));
    }
}

TEST(DtdReader, ParameterEntityBombEndsWithKind33) {
    // Ten levels of ten references: 10^10 comments if it were expanded.
    DtdRig r(false);
    r.goOn = true; // even an error path that says go on cannot let it run
    r.log.entities["l0"] = "<!-- laugh laugh laugh laugh laugh laugh laugh laugh laugh laugh -->";
    for (int i = 1; i <= 10; ++i) {
        std::string v;
        for (int k = 0; k < 10; ++k) v += "%l" + std::to_string(i - 1) + ";";
        r.log.entities["l" + std::to_string(i)] = v;
    }
    int comments = 0;
    r.log.OnDtdComment = [&](TObject*, TXmlCustomReader*, TdomLocator*, WideString&) { ++comments; };
    EXPECT_FALSE(r.external("%l10;"));
    EXPECT_EQ(r.kinds(), (Kinds{33}));
    EXPECT_LE(r.reader.getReplacementCharacters(), kDtdReplacementBudget + 100);
    EXPECT_LT(comments, 200000);
    // Inside a declaration the same: the text of one attribute list cannot grow without bound.
    r.log.entities["a0"] = "x CDATA #IMPLIED";
    for (int i = 1; i <= 10; ++i) {
        std::string v;
        for (int k = 0; k < 10; ++k) v += "%a" + std::to_string(i - 1) + "; ";
        r.log.entities["a" + std::to_string(i)] = v;
    }
    EXPECT_FALSE(r.external("<!ATTLIST e %a10;>"));
    EXPECT_EQ(r.kinds().front(), 33);
}

TEST(DtdReader, DeepEntityNestingEndsWithKind33) {
    DtdRig r;
    r.goOn = true;
    for (int i = 0; i < 1000; ++i) r.log.entities["e" + std::to_string(i)] = "%e" + std::to_string(i + 1) + ";";
    EXPECT_FALSE(r.external("%e0;"));
    EXPECT_EQ(r.kinds(), (Kinds{33}));
    EXPECT_EQ(r.test.getInExternalSubset(), false); // the chain was reset
}

TEST(DtdReader, ExternalParameterEntityFetchedThroughTheImplementation) {
    DtdRig r;
    r.goOn = true;
    std::vector<std::string> asked;
    r.impl.OnExternalParsedEntity = [&](TObject*, const WideString& parent, const WideString&, const WideString& sys,
                                        std::unique_ptr<TStream>& stream, TXmlParserAction& action) {
        asked.push_back(utf8(parent) + ">" + utf8(sys));
        if (sys == u"mod.ent") {
            stream = std::make_unique<TStringStream>("<?xml version='1.0' encoding='UTF-8'?><!ELEMENT m ANY>");
        } else if (sys == u"bad.ent") {
            stream = std::make_unique<TStringStream>("<?xml version='1.0' standalone='yes'?><!ELEMENT b ANY>");
        } else if (sys == u"latin.ent") {
            stream = std::make_unique<TStringStream>("\xEF\xBB\xBF<?xml encoding='ISO-8859-1'?><!ELEMENT l ANY>");
        } else if (sys == u"missing.ent") {
            return;
        }
        action = PARSER_STREAM;
    };
    r.log.external = {{"mod", "mod.ent"}, {"bad", "bad.ent"}, {"latin", "latin.ent"}, {"missing", "missing.ent"}};
    EXPECT_TRUE(r.external("%mod;%bad;%latin;%missing;"));
    EXPECT_EQ(r.body(), (Lines{"element m|ANY"}));
    EXPECT_EQ(r.kinds(), (Kinds{51, 78, 33}));
    EXPECT_EQ(asked, (std::vector<std::string>{"base.dtd>mod.ent", "base.dtd>bad.ent", "base.dtd>latin.ent",
                                               "base.dtd>missing.ent"}));
    // Without a handler nothing is opened: the entity is unresolvable.
    WideString text;
    EXPECT_EQ(XmlFetchExternalParsedEntity(nullptr, u"", u"", u"/etc/passwd", text), 33);
    EXPECT_TRUE(text.empty());
}

// ------------------------------------------------------------------ conditional sections

TEST(DtdReader, ConditionalSections) {
    DtdRig r;
    r.log.entities["draft"] = " INCLUDE ";
    r.log.entities["final"] = "IGNORE";
    EXPECT_TRUE(r.external("<![INCLUDE[<!ELEMENT a ANY><![ INCLUDE [ <!ELEMENT b ANY> ]]>]]>\n"
                           // An ignored section holds no comment: its "]]>" ends after "<!--".
                           "<![IGNORE[<!ELEMENT c ANY><![INCLUDE[<!ELEMENT d ANY>]]><!-- ]]>\n"
                           "<![%draft;[<!ELEMENT e ANY>]]><![%final;[<!ELEMENT f ANY>]]>\n"
                           "<![INCLUDE[<!-- ]]> --><!ELEMENT g ANY>]]><![INCLUDE[]]>"));
    EXPECT_EQ(r.body(), (Lines{"element a|ANY", "element b|ANY", "element e|ANY", "comment  ]]> ", "element g|ANY"}));
    EXPECT_TRUE(r.errors.empty());
}

TEST(DtdReader, ConditionalSectionFaultsAreKind67) {
    for (const char* text : {"<![MAYBE[<!ELEMENT a ANY>]]>", "<![INCLUDE <!ELEMENT a ANY>]]>",
                             "<![INCLUDE[<!ELEMENT a ANY>", "<![INCLUDE[<![IGNORE[ ]]>", "<![INCLUDE"}) {
        DtdRig r;
        EXPECT_FALSE(r.external(text)) << text;
        EXPECT_EQ(r.kinds(), (Kinds{67})) << text;
    }
    {
        // A declaration inside a section is a processing instruction of the reserved target.
        DtdRig r;
        EXPECT_FALSE(r.external("<![INCLUDE[<?xml version='1.0'?><!ELEMENT a ANY>]]>"));
        EXPECT_EQ(r.kinds(), (Kinds{48}));
    }
    // Only the external tokenizer knows them.
    DtdRig r;
    EXPECT_FALSE(r.internal("<![INCLUDE[<!ELEMENT a ANY>]]>", false));
    EXPECT_EQ(r.kinds(), (Kinds{72}));
}

TEST(DtdReader, ErrorsInsideSectionsReportPlacesOfTheSubset) {
    DtdRig r;
    r.spans = true;
    EXPECT_FALSE(r.external("<!ELEMENT a ANY>\n<![INCLUDE[\n  <!ELEMENT b ANY>\n  <![INCLUDE[ <!ELEMENT c ANY> x ]]>]]>"));
    EXPECT_EQ(r.body(), (Lines{"element a|ANY @1:1-1:16", "element b|ANY @3:3-3:18", "element c|ANY @4:15-4:30"}));
    ASSERT_EQ(r.kinds(), (Kinds{43}));
    EXPECT_EQ(r.errors[0].startLine, 4);
    EXPECT_EQ(r.errors[0].startColumn, 32);
}

TEST(DtdReader, DeeplyNestedSectionsAreReadInPlace) {
    // Each character is read once whatever the depth: 30,000 levels, included and ignored.
    for (const char* keyword : {"INCLUDE", "IGNORE"}) {
        std::string text;
        for (int i = 0; i < 30000; ++i) text += std::string("<![") + keyword + "[";
        text += "<!ELEMENT a ANY>";
        for (int i = 0; i < 30000; ++i) text += "]]>";
        text += "<!ELEMENT b ANY>";
        DtdRig r;
        EXPECT_TRUE(r.external(text)) << keyword;
        EXPECT_TRUE(r.errors.empty()) << keyword;
        EXPECT_EQ(r.body(), std::string(keyword) == "INCLUDE" ? (Lines{"element a|ANY", "element b|ANY"})
                                                               : (Lines{"element b|ANY"}));
    }
    // One "]]>" too many is a stray character.
    DtdRig r;
    EXPECT_FALSE(r.external("<![INCLUDE[<!ELEMENT a ANY>]]>]]>"));
    EXPECT_EQ(r.kinds(), (Kinds{43}));
}

TEST(DtdReader, DeepContentParticlesAreKind69) {
    std::string deep = "<!ELEMENT a ";
    for (int i = 0; i < 100000; ++i) deep += "(";
    deep += "b";
    for (int i = 0; i < 100000; ++i) deep += ")";
    deep += ">";
    DtdRig r;
    EXPECT_FALSE(r.internal(deep, false));
    EXPECT_EQ(r.kinds(), (Kinds{69}));
    bool tooDeep = false;
    EXPECT_FALSE(XmlCheckContentSpec(u"((((b))))", 3, tooDeep));
    EXPECT_TRUE(tooDeep);
    EXPECT_TRUE(XmlCheckContentSpec(u"((((b))))", 10, tooDeep));
}

// ------------------------------------------------------------------ hostile input

TEST(DtdReader, TruncationAfterEveryByte) {
    const std::string sample =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!ENTITY % common \"id ID #IMPLIED\">\n"
        "<!-- a comment -->\n<?pi data?>\n"
        "<!ELEMENT doc (head, body*)>\n"
        "<!ATTLIST doc %common; kind (a|b) 'a' note CDATA #FIXED \"x>y\">\n"
        "<!ENTITY ent \"caf\xC3\xA9\">\n"
        "<!NOTATION gif PUBLIC '-//G//EN' 'gif.exe'>\n"
        "<![INCLUDE[<!ELEMENT head EMPTY>]]>\n"
        "<![IGNORE[<!ELEMENT gone ANY>]]>\n"
        "%common2;\n";
    DtdRig r;
    r.log.entities["common"] = "id ID #IMPLIED";
    r.log.entities["common2"] = "<!ELEMENT body ANY>";
    ASSERT_TRUE(r.external(sample));
    for (size_t cut = 0; cut < sample.size(); ++cut) {
        const std::string part = sample.substr(0, cut);
        const bool ok = r.external(part);
        size_t last = part.find_last_not_of(" \n");
        const bool complete = last == std::string::npos || part[last] == '>' || part[last] == ';';
        if (!complete) {
            EXPECT_FALSE(ok && r.errors.empty()) << "cut at " << cut;
        }
        EXPECT_FALSE(r.test.getInExternalSubset()) << "cut at " << cut;
    }
}

TEST(DtdReader, HundredThousandDeclarations) {
    std::string text;
    for (int i = 0; i < 100000; ++i) {
        const std::string n = "e" + std::to_string(i);
        text += "<!ELEMENT " + n + " (a|b)*>\n<!ATTLIST " + n + " x CDATA #IMPLIED>\n<!ENTITY " + n + " 'v'>\n";
    }
    DtdRig r(true);
    int count = 0;
    r.log.OnElementTypeDeclaration = [&](TObject*, TXmlCustomReader*, TdomLocator*, WideString&, WideString&) {
        ++count;
    };
    r.log.OnAttributeDefinition = nullptr;
    r.log.OnStartAttListDeclaration = nullptr;
    r.log.OnEndAttListDeclaration = nullptr;
    r.log.OnEntityDeclaration = nullptr;
    EXPECT_TRUE(r.external(text));
    EXPECT_EQ(count, 100000);
}

TEST(DtdReader, HugeLiteralIsRead) {
    std::string value(5'000'000, 'v');
    DtdRig r;
    size_t got = 0;
    r.log.OnEntityDeclaration = [&](TObject*, TXmlCustomReader*, TdomLocator*, WideString&, WideString& v,
                                    WideString&, WideString&, WideString&) { got = v.size(); };
    EXPECT_TRUE(r.internal("<!ENTITY e '" + value + "'>", false));
    EXPECT_EQ(got, value.size());
}

// ------------------------------------------------------------------ the document's internal subset

namespace {

class SubsetReading : public ::testing::Test {
protected:
    void SetUp() override {
        parser.SetDOMImpl(&impl);
        impl.OnError = [this](TObject*, TdomError* e, bool&) {
            kinds.push_back(e->getKind());
            clues.push_back(utf8(e->getClue()));
        };
    }
    TDomImplementation impl;
    TXmlToDomParser parser;
    std::vector<int> kinds;
    std::vector<std::string> clues;
};

} // namespace

TEST_F(SubsetReading, WellFormedSubsetReads) {
    TdomDocument* doc = parser.stringToDom("<!DOCTYPE a [\n <!ENTITY % p 'x'>\n %p;\n <!ELEMENT a (#PCDATA)>\n"
                                           " <!ATTLIST a b CDATA #IMPLIED>\n <!-- ] > -->\n]>\n<a/>");
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(kinds.empty());
    impl.freeDocument(doc);
}

TEST_F(SubsetReading, MalformedSubsetIsNoWellFormedDocument) {
    for (const char* text : {"<!DOCTYPE a [<!ELEMENT a>]><a/>", "<!DOCTYPE a [<!ENTITY e 'v' NDATA n>]><a/>",
                             "<!DOCTYPE a [<!-- a -- b -->]><a/>", "<!DOCTYPE a [junk]><a/>",
                             "<!DOCTYPE a [<!ATTLIST a b CDATA>]><a/>", "<!DOCTYPE a [<?xml version='1.0'?>]><a/>",
                             "<!DOCTYPE a [<!ELEMENT a ANY><!BOGUS>]><a/>"}) {
        kinds.clear();
        EXPECT_THROW(parser.stringToDom(text), EParserException) << text;
        EXPECT_FALSE(kinds.empty()) << text;
        EXPECT_EQ(impl.getDocuments()->getLength(), 0) << text;
    }
}

TEST_F(SubsetReading, FileToDomChecksTheSubset) {
    const std::string path = ::testing::TempDir() + "dtd_subset_test.xml";
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("<!DOCTYPE a [<!ELEMENT a (b,c|d)>]><a/>", f);
        std::fclose(f);
    }
    EXPECT_THROW(parser.fileToDom(wide(path)), EParserException);
    EXPECT_EQ(kinds, (Kinds{69}));
    EXPECT_EQ(clues, (std::vector<std::string>{"(b,c|d)"}));
    EXPECT_EQ(impl.getDocuments()->getLength(), 0);
    std::remove(path.c_str());
}
