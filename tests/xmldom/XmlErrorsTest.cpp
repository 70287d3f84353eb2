// Tests of the error records: severities by kind, message assembly in each language with and
// without positions, URI and clue, the language check, and the input-source locator.
#include "XmlErrors.h"

#include <gtest/gtest.h>

#include <set>

#include "DomExceptions.h"

using namespace xmldom;

namespace {

std::u16string messageOf(const TdomError& e) {
    WideString text;
    e.getMessage(text);
    return text;
}

TdomError at(TXmlErrorType kind, int startLine, int startColumn, int endLine, int endColumn,
             const WideString& uri = u"", const WideString& clue = u"") {
    return TdomError(kind, startLine, startColumn, endLine, endColumn, -1, uri, nullptr, nullptr, nullptr,
                     clue);
}

} // namespace

TEST(TdomError, SeverityByKind) {
    EXPECT_EQ(at(0, -1, -1, -1, -1).getSeverity(), DOM_SEVERITY_WARNING);
    EXPECT_EQ(at(4, -1, -1, -1, -1).getSeverity(), DOM_SEVERITY_WARNING);
    EXPECT_EQ(at(5, -1, -1, -1, -1).getSeverity(), DOM_SEVERITY_ERROR);
    EXPECT_EQ(at(35, -1, -1, -1, -1).getSeverity(), DOM_SEVERITY_ERROR);
    EXPECT_EQ(at(36, -1, -1, -1, -1).getSeverity(), DOM_SEVERITY_FATAL_ERROR);
    EXPECT_EQ(at(78, -1, -1, -1, -1).getSeverity(), DOM_SEVERITY_FATAL_ERROR);
    EXPECT_EQ(at(79, -1, -1, -1, -1).getSeverity(), DOM_SEVERITY_WARNING);
    EXPECT_EQ(at(255, -1, -1, -1, -1).getSeverity(), DOM_SEVERITY_WARNING);
}

TEST(TdomError, EnglishPositionForms) {
    EXPECT_EQ(messageOf(at(54, 3, 7, 3, 7, u"", u"x")),
              u"FATAL ERROR: in document  in line 3, position 7 -- Missing end-tag: x");
    EXPECT_EQ(messageOf(at(54, 3, 7, 3, 7)),
              u"FATAL ERROR: in document  in line 3, position 7 -- Missing end-tag.");
    EXPECT_EQ(messageOf(at(54, 3, 2, 3, 7)),
              u"FATAL ERROR: in document  in line 3, between position 2 and 7 -- Missing end-tag.");
    EXPECT_EQ(messageOf(at(11, 1, 4, 2, 9, u"file:///a.xml")),
              u"ERROR: in document file:///a.xml between line 1, position 4 and line 2, position 9 -- "
              u"Duplicate ID value.");
    // Without a position the space after the (empty) URI meets the separator's own space.
    EXPECT_EQ(messageOf(at(1, -1, -1, -1, -1, u"", u"id")),
              u"WARNING: in document   -- Double attribute defintion: id");
    EXPECT_EQ(messageOf(at(79, -1, -1, -1, -1)), u"WARNING: in document   -- Invalid source-code.");
    EXPECT_EQ(messageOf(at(0, -1, -1, -1, -1)), u"WARNING: in document   -- Invalid source-code.");
}

TEST(TdomError, OtherLanguages) {
    TdomError e = at(54, 3, 7, 3, 7, u"", u"x");
    e.setLanguage(iso639_de);
    EXPECT_EQ(messageOf(e),
              u"KRITISCHER FEHLER: im Dokument  in Zeile 3, Position 7 -- Fehlendes End-Tag: x");
    e.setLanguage(iso639_nl);
    EXPECT_EQ(messageOf(e), u"FATALE FOUT: in document  in regel 3, positie 7 -- Eind-tag ontbreekt: x");
    e.setLanguage(iso639_fr);
    EXPECT_EQ(messageOf(e),
              u"ERREUR FATALE: dans le document  \x00E0 la ligne 3, position 7 -- Tag de fin manquant: x");
    e.setLanguage(iso639_it);
    EXPECT_EQ(messageOf(e),
              u"ERRORE CRITICO: nel documento  nella linea 3, posizione 7 -- Tag finale mancante: x");
    e.setLanguage(iso639_pt);
    EXPECT_EQ(messageOf(e),
              u"ERRO FATAL: no documento  na linha 3, posi\x00E7\x00E3o 7 -- Marca de fim faltando: x");
    e.setLanguage(iso639_es);
    EXPECT_EQ(
        messageOf(e),
        u"ERROR FATAL: en el documento  en la linea 3, posici\x00F3n 7 -- Tag de inicio sin tag final: x");
    EXPECT_EQ(messageOf(at(43, 1, 1, 2, 2)),
              u"FATAL ERROR: in document  between line 1, position 1 and line 2, "
              u"position 2 -- Invalid character.");
    TdomError ranged = at(78, 5, 1, 5, 4);
    ranged.setLanguage(iso639_es);
    EXPECT_EQ(messageOf(ranged),
              u"ERROR FATAL: en el documento  en la linea 5, entre las posiciones 1 y 4 -- Tipo "
              u"de ENCODING no soportado.");
    TdomError warning = at(2, -1, -1, -1, -1);
    warning.setLanguage(iso639_de);
    EXPECT_EQ(messageOf(warning), u"WARNUNG: im Dokument   -- Doppelte Entit\x00E4tsdeklaration.");
}

// Every kind has its own text in every language, and no text is left empty.
TEST(TdomError, EveryKindHasATextInEveryLanguage) {
    for (TIso639Code language :
         {iso639_de, iso639_en, iso639_es, iso639_fr, iso639_it, iso639_nl, iso639_pt}) {
        std::set<std::u16string> texts;
        for (int kind = 0; kind <= 78; ++kind) {
            TdomError e = at(static_cast<TXmlErrorType>(kind), -1, -1, -1, -1);
            e.setLanguage(language);
            std::u16string m = messageOf(e);
            size_t dash = m.find(u" -- ");
            ASSERT_NE(dash, m.npos);
            ASSERT_GT(m.size(), dash + 5) << kind;
            texts.insert(m.substr(dash));
        }
        EXPECT_EQ(texts.size(), 79u) << int(language);
    }
}

TEST(TdomError, UnsupportedLanguageIsRefused) {
    TdomError e = at(54, -1, -1, -1, -1);
    try {
        e.setLanguage(25); // a valid code, but no builder for it
        ADD_FAILURE();
    } catch (const ENot_Supported_Err& x) {
        EXPECT_STREQ(x.what(), "Not supported error.");
    }
    EXPECT_THROW(e.setLanguage(200), ENot_Supported_Err);
    EXPECT_EQ(e.getLanguage(), iso639_en);
}

TEST(TdomError, CreateFromLocatorTakesASnapshot) {
    TObject cm;
    TdomLocator where(2, 3, 4, 5, 77, u"u.xml", nullptr, &cm, nullptr);
    TdomError e(40, &where, u"clue");
    EXPECT_EQ(e.getLocation().getStartLine(), 2);
    EXPECT_EQ(e.getLocation().getEndColumn(), 5);
    EXPECT_EQ(e.getLocation().getByteOffset(), 77);
    EXPECT_EQ(e.getLocation().getUri(), u"u.xml");
    EXPECT_EQ(e.getLocation().getRelatedCMObject(), &cm);
    EXPECT_NE(&e.getLocation(), &where);

    TdomError none(40, nullptr, u"");
    EXPECT_EQ(none.getLocation().getStartLine(), 0);
    EXPECT_EQ(none.getLocation().getEndLine(), 0);
    EXPECT_EQ(none.getLocation().getByteOffset(), -1);
    EXPECT_EQ(messageOf(none), u"FATAL ERROR: in document  in line 0, position 0 -- Invalid attribute name.");
}

namespace {

struct FakeSource : TdomLocatorSource {
    int32_t getLocatorByteOffset() const override { return 12; }
    WideString getLocatorSystemId() const override { return u"sys.dtd"; }
};

} // namespace

TEST(TdomInputSourceLocator, AdvanceAndMark) {
    TdomInputSourceLocator none(nullptr, 1, 1, 1, 1, 4);
    EXPECT_EQ(none.getByteOffset(), -1);
    EXPECT_EQ(none.getUri(), u"");
    none.advance(u'\t');
    EXPECT_EQ(none.getEndColumn(), 5);
    none.advance(u'\r');
    EXPECT_EQ(none.getEndColumn(), 6);
    none.advance(u'\n');
    EXPECT_EQ(none.getEndLine(), 2);
    EXPECT_EQ(none.getEndColumn(), 0);
    none.advance(0x10000);
    EXPECT_EQ(none.getEndColumn(), 1);
    EXPECT_EQ(none.getStartLine(), 1);
    none.markStart();
    EXPECT_EQ(none.getStartLine(), 2);
    EXPECT_EQ(none.getStartColumn(), 1);

    FakeSource source;
    TdomInputSourceLocator located(&source, 1, 1, 1, 1, 8);
    EXPECT_EQ(located.getByteOffset(), 12);
    EXPECT_EQ(located.getUri(), u"sys.dtd");
    TdomError e(43, &located, u"");
    EXPECT_EQ(e.getLocation().getUri(), u"sys.dtd");
}
