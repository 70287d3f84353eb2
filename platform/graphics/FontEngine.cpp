// Font engine: font-name resolution, byte-to-character mapping and cached unhinted advances.
#include "internal/FontEngine.h"

#include "Canvas.h"
#include "CodePages.h"
#include "internal/GuiPlatform.h"

#include <QFont>
#include <QGuiApplication>
#include <QRawFont>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <strings.h>
#include <tuple>

namespace {

// Canvas text is in the process's ANSI code page, as the service data stores it.
char16_t AnsiChar(unsigned char c) {
    const char byte = char(c);
    char16_t wide = 0xFFFD;
    MultiByteToWideChar(CP_ACP, 0, &byte, 1, &wide, 1);
    return wide;
}

TTextDecoder gDecoder = &AnsiChar;

bool IsSymbolFont(const std::string& name) { return ::strcasecmp(name.c_str(), "Wingdings") == 0; }

// A face caches the characters of bytes, so its key holds the ANSI code page they were read in.
using FaceKey = std::tuple<std::string, int, unsigned, unsigned>;
std::map<FaceKey, std::unique_ptr<TFontFace>>& Faces() {
    static std::map<FaceKey, std::unique_ptr<TFontFace>> faces;
    return faces;
}

}  // namespace

QString AnsiText(const std::string& text) {
    const std::u16string wide = MultiByteToWideChar(CP_ACP, text);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

void SetCanvasTextDecoder(TTextDecoder decoder) {
    gDecoder = decoder ? decoder : &AnsiChar;
    ClearFontCache();
}

void EnsureGuiApplication() {
    if (QCoreApplication::instance()) return;
    // Painting needs no window: a display that is missing or does not answer means offscreen.
    if (!OpenDisplayFault().empty()) SelectOffscreenPlatform();
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && std::strcmp(platform, "offscreen") == 0) SilenceToolkitMessages();
    static int argc = 1;
    static char name[] = "vetra";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

std::string FamilyFor(const std::string& name) {
    if (::strcasecmp(name.c_str(), "Arial") == 0) return "Liberation Sans";
    if (IsSymbolFont(name)) return "DejaVu Sans";
    return name;
}

char16_t CharacterFor(const std::string& name, unsigned char c) {
    if (IsSymbolFont(name)) {
        if (c == 'n') return 0x25A0;
        if (c == 'p') return 0x25FB;
    }
    return gDecoder(c);
}

// The face of the previous request: the report measures many strings in one font in a row.
static struct LastFace {
    std::string Name;
    int PixelSize = 0;
    unsigned Style = 0;
    unsigned CodePage = 0;
    TFontFace* Face = nullptr;
} gLast;

void ClearFontCache() {
    gLast = LastFace{};
    Faces().clear();
}

TFontFace& FontFace(const std::string& name, int pixelSize, TFontStyles style) {
    if (pixelSize < 1) pixelSize = 1;
    const unsigned styleBits = style & (fsBold | fsItalic);
    const unsigned codePage = GetACP();
    if (gLast.Face && gLast.PixelSize == pixelSize && gLast.Style == styleBits && gLast.CodePage == codePage &&
        gLast.Name == name)
        return *gLast.Face;
    FaceKey key{name, pixelSize, styleBits, codePage};
    auto& faces = Faces();
    auto it = faces.find(key);
    if (it != faces.end()) {
        gLast = LastFace{name, pixelSize, styleBits, codePage, it->second.get()};
        return *it->second;
    }
    EnsureGuiApplication();
    QFont font(QString::fromStdString(FamilyFor(name)));
    font.setPixelSize(pixelSize);
    font.setBold(HasStyle(style, fsBold));
    font.setItalic(HasStyle(style, fsItalic));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::ForceOutline | QFont::NoSubpixelAntialias));
    auto face = std::make_unique<TFontFace>();
    face->Raw = QRawFont::fromFont(font);
    face->Raw.setPixelSize(pixelSize);
    face->Ascent = face->Raw.ascent();
    face->Descent = face->Raw.descent();
    face->UnderlinePosition = face->Raw.underlinePosition();
    face->LineThickness = std::max(1.0, face->Raw.lineThickness());
    face->Symbol = IsSymbolFont(name);
    TFontFace& ref = *face;
    faces.emplace(std::move(key), std::move(face));
    gLast = LastFace{name, pixelSize, styleBits, codePage, &ref};
    return ref;
}

quint32 TFontFace::GlyphOf(unsigned char c) {
    if (Known[c]) return Glyph[c];
    const char16_t ch = Symbol ? CharacterFor("Wingdings", c) : CharacterFor(std::string(), c);
    QChar qc(ch);
    int count = 1;
    quint32 glyph = 0;
    if (!Raw.glyphIndexesForChars(&qc, 1, &glyph, &count) || count < 1) glyph = 0;
    QPointF advance;
    if (!Raw.advancesForGlyphIndexes(&glyph, &advance, 1, QRawFont::UseDesignMetrics)) advance = QPointF();
    Glyph[c] = glyph;
    Advance[c] = float(advance.x());
    Known[c] = true;
    return glyph;
}

double TFontFace::Width(const std::string& bytes) {
    double w = 0;
    for (unsigned char c : bytes) w += AdvanceOf(c);
    return w;
}

quint32 TFontFace::GlyphOfChar(char16_t c) const {
    const QChar qc(c);
    int count = 1;
    quint32 glyph = 0;
    if (!Raw.glyphIndexesForChars(&qc, 1, &glyph, &count) || count < 1) glyph = 0;
    return glyph;
}

float TFontFace::AdvanceOfChar(char16_t c) const {
    quint32 glyph = GlyphOfChar(c);
    QPointF advance;
    if (!Raw.advancesForGlyphIndexes(&glyph, &advance, 1, QRawFont::UseDesignMetrics)) return 0;
    return float(advance.x());
}

double TFontFace::WidthOfChars(std::u16string_view text) const {
    double w = 0;
    for (char16_t c : text) w += AdvanceOfChar(c);
    return w;
}

double CellRatio(const std::string& name, TFontStyles style) {
    TFontFace& f = FontFace(name, 1000, style);
    return (f.Ascent + f.Descent) / 1000.0;
}
