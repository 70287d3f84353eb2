// Font engine: font-name resolution, byte-to-character mapping and cached unhinted advances.
#include "internal/FontEngine.h"

#include "Canvas.h"
#include "CodePages.h"
#include "internal/GuiPlatform.h"

#include <fontconfig/fontconfig.h>

#include <QFile>
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

// Faces are read from their files (for measuring: a face made from bytes has no file name, so
// documents such as PDF files cannot embed it) only once the font search is limited.
bool gFacesFromFiles = false;

bool IsSymbolFont(const std::string& name) { return ::strcasecmp(name.c_str(), "Wingdings") == 0; }

// A face caches the characters of bytes, so its key holds the ANSI code page they were read in.
using FaceKey = std::tuple<std::string, int, unsigned, unsigned>;
// Kept until the process ends, never destroyed: faces made from font files hold the toolkit's
// font renderer, which is gone by the time static objects are destroyed.
std::map<FaceKey, std::unique_ptr<TFontFace>>& Faces() {
    static auto* faces = new std::map<FaceKey, std::unique_ptr<TFontFace>>;
    return *faces;
}

/// The file of a family in one style, or an empty path.
struct FontFile {
    std::string Path;
    QByteArray Data;  ///< the file's bytes, read once
    /// The face loaded once; every size is made from it without asking the font configuration
    /// again for each size.
    QRawFont Loaded;
};

/// Fontconfig limited to the fonts folders and their caches: finding the few faces the program
/// draws with needs neither the system's whole configuration nor a list of every installed font.
FcConfig* FontFolders() {
    static FcConfig* config = [] {
        FcConfig* c = FcConfigCreate();
        static const char xml[] =
            "<?xml version=\"1.0\"?><fontconfig>"
            "<dir>/usr/share/fonts</dir><dir>/usr/local/share/fonts</dir>"
            "<dir prefix=\"xdg\">fonts</dir><dir>~/.fonts</dir>"
            "<cachedir>/var/cache/fontconfig</cachedir><cachedir prefix=\"xdg\">fontconfig</cachedir>"
            "</fontconfig>";
        if (c && (!FcConfigParseAndLoadFromMemory(c, reinterpret_cast<const FcChar8*>(xml), FcFalse) ||
                  !FcConfigBuildFonts(c))) {
            FcConfigDestroy(c);
            c = nullptr;
        }
        return c;
    }();
    return config;
}

/// The face file of `family` exactly in the style asked for; none when the folders hold no such
/// face in one file of its own (the toolkit's matching, which can synthesise styles, then decides).
FontFile& FileOf(const std::string& family, bool bold, bool italic) {
    // Never destroyed, as the faces (see Faces).
    static auto& files = *new std::map<std::tuple<std::string, bool, bool>, FontFile>;
    const auto key = std::make_tuple(family, bold, italic);
    if (auto it = files.find(key); it != files.end()) return it->second;
    FontFile found;
    if (FcConfig* config = FontFolders()) {
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
            FcChar8* matchFamily = nullptr;
            FcChar8* file = nullptr;
            int weight = 0, slant = 0, index = 0;
            FcBool scalable = FcFalse;
            if (FcPatternGetString(match, FC_FAMILY, 0, &matchFamily) == FcResultMatch &&
                FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
                FcPatternGetInteger(match, FC_WEIGHT, 0, &weight) == FcResultMatch &&
                FcPatternGetInteger(match, FC_SLANT, 0, &slant) == FcResultMatch &&
                FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch &&
                FcPatternGetBool(match, FC_SCALABLE, 0, &scalable) == FcResultMatch && scalable && index == 0 &&
                ::strcasecmp(reinterpret_cast<const char*>(matchFamily), family.c_str()) == 0 &&
                (weight >= FC_WEIGHT_DEMIBOLD) == bold && (slant != FC_SLANT_ROMAN) == italic) {
                QFile f(QString::fromUtf8(reinterpret_cast<const char*>(file)));
                if (f.open(QIODevice::ReadOnly)) {
                    found.Path = reinterpret_cast<const char*>(file);
                    found.Data = f.readAll();
                }
            }
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    return files.emplace(key, std::move(found)).first->second;
}

}  // namespace

QString AnsiText(const std::string& text) {
    const std::u16string wide = MultiByteToWideChar(CP_ACP, text);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

bool LimitFontSearch(std::initializer_list<const char*> fonts) {
    if (!FontFolders()) return false;
    // Only when the folders hold every face of these fonts in a file of its own: otherwise the
    // toolkit's matching must see the whole configuration, or it could pick another family.
    for (const char* font : fonts)
        for (const bool bold : {false, true})
            for (const bool italic : {false, true})
                if (FileOf(FamilyFor(font), bold, italic).Data.isEmpty()) return false;
    FcConfigSetCurrent(FontFolders());
    gFacesFromFiles = true;
    return true;
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
    TToolkitRuntimeFolder runtime;
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
    auto face = std::make_unique<TFontFace>();
    const std::string family = FamilyFor(name);
    if (gFacesFromFiles) {
        FontFile& file = FileOf(family, HasStyle(style, fsBold), HasStyle(style, fsItalic));
        if (!file.Data.isEmpty() && !file.Loaded.isValid())
            file.Loaded.loadFromData(file.Data, pixelSize, QFont::PreferNoHinting);
        if (file.Loaded.isValid()) face->Raw = file.Loaded;
    }
    if (!face->Raw.isValid()) {
        QFont font(QString::fromStdString(family));
        font.setPixelSize(pixelSize);
        font.setBold(HasStyle(style, fsBold));
        font.setItalic(HasStyle(style, fsItalic));
        font.setHintingPreference(QFont::PreferNoHinting);
        font.setKerning(false);
        font.setStyleStrategy(QFont::StyleStrategy(QFont::ForceOutline | QFont::NoSubpixelAntialias));
        face->Raw = QRawFont::fromFont(font);
    }
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
