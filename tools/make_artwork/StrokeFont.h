// Block capitals drawn as strokes, for the words on the logos and the splash picture.
// Each glyph lies on a 4 x 6 grid; the text is scaled to a cap height in pixels.
#pragma once

#include "Canvas.h"

#include <string_view>

namespace artwork {

/// Width in pixels of text set with the given cap height (letters A-Z, digits 0-9, blank, "-").
double strokeTextWidth(std::string_view text, double capHeight);

/// Draws text with its top-left corner at (x, y); stroke width is capHeight / 6 * weight.
/// Characters the font lacks advance like a blank.
void drawStrokeText(Canvas& canvas, std::string_view text, double x, double y, double capHeight, double weight,
                    Rgb colour);

}  // namespace artwork
