// The glyphs of the main menu's speed buttons: a checksheet, a printer, a book, a gear and a
// door. Each is drawn on white, the colour of its bottom-left pixel, which the button shows
// transparent; whatever should stay light inside a glyph is drawn in an off-white.
#pragma once

#include "Canvas.h"

namespace artwork {

constexpr int GlyphSize = 32;

Image paintChecksheetGlyph(int width, int height);
Image paintPrinterGlyph(int width, int height);
Image paintTrainingGlyph(int width, int height);
Image paintSettingsGlyph(int width, int height);
Image paintExitGlyph(int width, int height);

}  // namespace artwork
