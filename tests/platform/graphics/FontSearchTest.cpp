// The font search of unattended runs: faces taken from their files in the fonts folders, without
// the system's font configuration, measure exactly as the toolkit's own font matching finds them.
#include "Canvas.h"
#include "internal/FontEngine.h"

#include <fontconfig/fontconfig.h>

#include <QFont>
#include <QRawFont>
#include <gtest/gtest.h>

#include <vector>

namespace {

struct Metrics {
    double Ascent = 0, Descent = 0;
    std::vector<quint32> Glyphs;
    std::vector<float> Advances;
    friend bool operator==(const Metrics&, const Metrics&) = default;
};

/// The face as the toolkit's font matching gives it, through the system's font configuration.
Metrics Matched(int pixelSize, TFontStyles style) {
    QFont font(QString::fromStdString(FamilyFor("Arial")));
    font.setPixelSize(pixelSize);
    font.setBold(HasStyle(style, fsBold));
    font.setItalic(HasStyle(style, fsItalic));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::ForceOutline | QFont::NoSubpixelAntialias));
    QRawFont raw = QRawFont::fromFont(font);
    raw.setPixelSize(pixelSize);
    Metrics m{raw.ascent(), raw.descent(), {}, {}};
    for (int c = 32; c < 256; ++c) {
        const QChar qc(CharacterFor("Arial", static_cast<unsigned char>(c)));
        quint32 glyph = 0;
        int count = 1;
        raw.glyphIndexesForChars(&qc, 1, &glyph, &count);
        QPointF advance;
        raw.advancesForGlyphIndexes(&glyph, &advance, 1, QRawFont::UseDesignMetrics);
        m.Glyphs.push_back(glyph);
        m.Advances.push_back(float(advance.x()));
    }
    return m;
}

Metrics Measured(int pixelSize, TFontStyles style) {
    TFontFace& face = FontFace("Arial", pixelSize, style);
    Metrics m{face.Ascent, face.Descent, {}, {}};
    for (int c = 32; c < 256; ++c) {
        m.Glyphs.push_back(face.GlyphOf(static_cast<unsigned char>(c)));
        m.Advances.push_back(face.AdvanceOf(static_cast<unsigned char>(c)));
    }
    return m;
}

}  // namespace

TEST(FontSearch, FontsTheFoldersDoNotHoldLeaveTheSearchAsItIs) {
    EnsureGuiApplication();
    FcConfig* before = FcConfigGetCurrent();
    EXPECT_FALSE(LimitFontSearch({"Arial", "No Such Font Anywhere"}));
    EXPECT_EQ(FcConfigGetCurrent(), before);
}

TEST(FontSearch, LimitedSearchReadsNoConfigurationAndMeasuresAsTheToolkitMatches) {
    const TFontStyles styles[] = {fsNone, fsBold, fsItalic, TFontStyles(fsBold | fsItalic)};
    const int sizes[] = {29, 35, 42, 83, 134};
    EnsureGuiApplication();
    std::vector<Metrics> expected;
    for (TFontStyles style : styles)
        for (int size : sizes) expected.push_back(Matched(size, style));
    ASSERT_TRUE(LimitFontSearch({"Arial"}));
    ClearFontCache();
    std::size_t i = 0;
    for (TFontStyles style : styles)
        for (int size : sizes) EXPECT_TRUE(Measured(size, style) == expected[i++]) << size << " " << int(style);
    // Only the fonts folders were searched: no configuration file of the system is in use.
    FcStrList* files = FcConfigGetConfigFiles(FcConfigGetCurrent());
    EXPECT_EQ(FcStrListNext(files), nullptr);
    FcStrListDone(files);
}
