// The stroke font of the artwork generator: one table of glyph outlines as polylines.
#include "StrokeFont.h"

#include <vector>

namespace artwork {
namespace {

using Stroke = std::vector<Point>;

struct Glyph {
    char Character;
    std::vector<Stroke> Strokes;  // grid units: x 0..4, y 0..6 downwards
};

// Glyph outlines, one row per character.
const std::vector<Glyph>& glyphs() {
    static const std::vector<Glyph> table = {
        {'A', {{{0, 6}, {2, 0}, {4, 6}}, {{0.67, 4}, {3.33, 4}}}},
        {'B', {{{0, 3}, {3, 3}, {4, 4}, {4, 5}, {3, 6}, {0, 6}, {0, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}}}},
        {'C', {{{4, 1}, {3, 0}, {1, 0}, {0, 1}, {0, 5}, {1, 6}, {3, 6}, {4, 5}}}},
        {'D', {{{0, 0}, {0, 6}, {2.5, 6}, {4, 4.5}, {4, 1.5}, {2.5, 0}, {0, 0}}}},
        {'E', {{{4, 0}, {0, 0}, {0, 6}, {4, 6}}, {{0, 3}, {3, 3}}}},
        {'F', {{{4, 0}, {0, 0}, {0, 6}}, {{0, 3}, {3, 3}}}},
        {'G', {{{4, 1}, {3, 0}, {1, 0}, {0, 1}, {0, 5}, {1, 6}, {3, 6}, {4, 5}, {4, 3.5}, {2.5, 3.5}}}},
        {'H', {{{0, 0}, {0, 6}}, {{4, 0}, {4, 6}}, {{0, 3}, {4, 3}}}},
        {'I', {{{2, 0}, {2, 6}}, {{1, 0}, {3, 0}}, {{1, 6}, {3, 6}}}},
        {'J', {{{4, 0}, {4, 5}, {3, 6}, {1, 6}, {0, 5}}}},
        {'K', {{{0, 0}, {0, 6}}, {{4, 0}, {0, 3.5}}, {{1.3, 2.7}, {4, 6}}}},
        {'L', {{{0, 0}, {0, 6}, {4, 6}}}},
        {'M', {{{0, 6}, {0, 0}, {2, 3}, {4, 0}, {4, 6}}}},
        {'N', {{{0, 6}, {0, 0}, {4, 6}, {4, 0}}}},
        {'O', {{{1, 0}, {3, 0}, {4, 1}, {4, 5}, {3, 6}, {1, 6}, {0, 5}, {0, 1}, {1, 0}}}},
        {'P', {{{0, 6}, {0, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {0, 3}}}},
        {'Q', {{{1, 0}, {3, 0}, {4, 1}, {4, 5}, {3, 6}, {1, 6}, {0, 5}, {0, 1}, {1, 0}}, {{2.5, 4.5}, {4, 6}}}},
        {'R', {{{0, 6}, {0, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {0, 3}}, {{2, 3}, {4, 6}}}},
        {'S', {{{4, 1}, {3, 0}, {1, 0}, {0, 1}, {0, 2}, {1, 3}, {3, 3}, {4, 4}, {4, 5}, {3, 6}, {1, 6}, {0, 5}}}},
        {'T', {{{0, 0}, {4, 0}}, {{2, 0}, {2, 6}}}},
        {'U', {{{0, 0}, {0, 5}, {1, 6}, {3, 6}, {4, 5}, {4, 0}}}},
        {'V', {{{0, 0}, {2, 6}, {4, 0}}}},
        {'W', {{{0, 0}, {1, 6}, {2, 3}, {3, 6}, {4, 0}}}},
        {'X', {{{0, 0}, {4, 6}}, {{4, 0}, {0, 6}}}},
        {'Y', {{{0, 0}, {2, 3}, {4, 0}}, {{2, 3}, {2, 6}}}},
        {'Z', {{{0, 0}, {4, 0}, {0, 6}, {4, 6}}}},
        {'0', {{{1, 0}, {3, 0}, {4, 1}, {4, 5}, {3, 6}, {1, 6}, {0, 5}, {0, 1}, {1, 0}}, {{0.5, 5.5}, {3.5, 0.5}}}},
        {'1', {{{1, 1}, {2, 0}, {2, 6}}, {{1, 6}, {3, 6}}}},
        {'2', {{{0, 1}, {1, 0}, {3, 0}, {4, 1}, {4, 2}, {0, 6}, {4, 6}}}},
        {'3', {{{0, 0}, {4, 0}, {2, 2.5}, {3, 2.5}, {4, 3.5}, {4, 5}, {3, 6}, {1, 6}, {0, 5}}}},
        {'4', {{{3, 6}, {3, 0}, {0, 4}, {4, 4}}}},
        {'5', {{{4, 0}, {0, 0}, {0, 2.5}, {3, 2.5}, {4, 3.5}, {4, 5}, {3, 6}, {0, 6}}}},
        {'6', {{{3.5, 0}, {1, 0}, {0, 1}, {0, 5}, {1, 6}, {3, 6}, {4, 5}, {4, 4}, {3, 3}, {0, 3}}}},
        {'7', {{{0, 0}, {4, 0}, {1.5, 6}}}},
        {'8', {{{1, 3}, {0, 2}, {0, 1}, {1, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {1, 3}, {0, 4}, {0, 5}, {1, 6},
                {3, 6}, {4, 5}, {4, 4}, {3, 3}}}},
        {'9', {{{0.5, 6}, {3, 6}, {4, 5}, {4, 1}, {3, 0}, {1, 0}, {0, 1}, {0, 2}, {1, 3}, {4, 3}}}},
        {'-', {{{1, 3}, {3, 3}}}},
    };
    return table;
}

const Glyph* findGlyph(char c) {
    for (const Glyph& g : glyphs())
        if (g.Character == c) return &g;
    return nullptr;
}

constexpr double GridWidth = 4, GridHeight = 6, GapUnits = 1.6;  // letter gap in grid units

}  // namespace

double strokeTextWidth(std::string_view text, double capHeight) {
    if (text.empty()) return 0;
    double unit = capHeight / GridHeight;
    return (text.size() * (GridWidth + GapUnits) - GapUnits) * unit;
}

void drawStrokeText(Canvas& canvas, std::string_view text, double x, double y, double capHeight, double weight,
                    Rgb colour) {
    double unit = capHeight / GridHeight;
    double stroke = unit * weight;
    // The strokes are centred on the grid lines: shrink the grid so the ink stays within the cap height.
    double inner = (capHeight - stroke) / GridHeight;
    for (char c : text) {
        if (const Glyph* g = findGlyph(c)) {
            for (const Stroke& s : g->Strokes) {
                std::vector<Point> points;
                for (const Point& p : s)
                    points.push_back({x + stroke / 2 + p.x * (GridWidth * unit - stroke) / GridWidth,
                                      y + stroke / 2 + p.y * inner});
                canvas.polyline(points, stroke, colour);
            }
        }
        x += (GridWidth + GapUnits) * unit;
    }
}

}  // namespace artwork
