// Font engine behind the canvas (Qt): resolves the program's font names to installed families,
// maps bytes to characters, and keeps unhinted glyph advances per font and character so that
// measuring text costs one table look-up per character. Used by the canvas and the Qt back end.
#pragma once

#include "Graphics.h"

#include <QRawFont>
#include <string>
#include <string_view>

/// Makes sure a Qt GUI application object exists (fonts and painting need one). Without a
/// display it selects Qt's offscreen platform.
void EnsureGuiApplication();

/// The character drawn for a byte of text in a font of that name.
char16_t CharacterFor(const std::string& name, unsigned char c);

/// One font at one pixel size, with its per-byte tables filled on demand.
struct TFontFace {
    QRawFont Raw;
    double Ascent = 0, Descent = 0;    ///< device pixels
    double UnderlinePosition = 0, LineThickness = 1;
    bool Symbol = false;               ///< bytes mapped as the symbol font's marks
    float Advance[256] = {};
    quint32 Glyph[256] = {};
    bool Known[256] = {};
    char16_t Char[256] = {};
    bool CharKnown[256] = {};

    /// Advance of one byte's character in device pixels (cached).
    float AdvanceOf(unsigned char c) {
        if (!Known[c]) GlyphOf(c);
        return Advance[c];
    }
    quint32 GlyphOf(unsigned char c);
    double Width(const std::string& bytes);
    /// The character drawn for a byte in this face (cached; the face's key holds the code page).
    char16_t CharOf(unsigned char c) {
        if (!CharKnown[c]) {
            Char[c] = CharacterFor(Symbol ? "Wingdings" : "", c);
            CharKnown[c] = true;
        }
        return Char[c];
    }
    /// Glyph and advance of a character given as such (not through the byte tables).
    quint32 GlyphOfChar(char16_t c) const;
    float AdvanceOfChar(char16_t c) const;
    double WidthOfChars(std::u16string_view text) const;
};

/// The face of `name` (as the program names it) at `pixelSize` device pixels of character height.
TFontFace& FontFace(const std::string& name, int pixelSize, TFontStyles style);
/// The family actually drawn for a font name.
std::string FamilyFor(const std::string& name);
/// Cell height (ascent + descent) per pixel of character height, for positive font heights.
double CellRatio(const std::string& name, TFontStyles style);
/// The system's 8-bit text, read in the process's ANSI code page, as Qt text (for document
/// titles and other texts handed to Qt directly).
QString AnsiText(const std::string& text);
/// Drops every cached face (after a change of the text decoder).
void ClearFontCache();
