// Painters of the menu glyphs, on a 32-unit grid scaled to the picture's size.
#include "Glyphs.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace artwork {
namespace {

struct GlyphPalette {
    Rgb Clear{255, 255, 255};  // the transparent colour
    Rgb Paper{250, 250, 244};
    Rgb Ink{40, 44, 52};
    Rgb Line{120, 130, 145};
    Rgb Tick{30, 140, 60};
    Rgb Blue{20, 40, 90};
    Rgb Red{200, 30, 40};
    Rgb Steel{150, 158, 170};
    Rgb Wood{150, 95, 50};
    Rgb Dark{70, 45, 25};
};
const GlyphPalette Colours;

/// Scales the 32-unit design grid onto the picture.
struct Grid {
    double sx, sy;
    double x(double u) const { return u * sx; }
    double y(double u) const { return u * sy; }
    Point p(double ux, double uy) const { return {ux * sx, uy * sy}; }
    double w(double u) const { return u * std::min(sx, sy); }
};

Canvas start(int width, int height, Grid& g) {
    Canvas c(width, height);
    c.fill(Colours.Clear);
    g = {width / 32.0, height / 32.0};
    return c;
}

void outlinedRect(Canvas& c, const Grid& g, double x0, double y0, double x1, double y1, Rgb fill, Rgb edge) {
    c.rect(g.x(x0), g.y(y0), g.x(x1), g.y(y1), edge);
    c.rect(g.x(x0 + 1.2), g.y(y0 + 1.2), g.x(x1 - 1.2), g.y(y1 - 1.2), fill);
}

}  // namespace

Image paintChecksheetGlyph(int width, int height) {
    Grid g;
    Canvas c = start(width, height, g);
    outlinedRect(c, g, 6, 2, 26, 30, Colours.Paper, Colours.Ink);
    for (double y = 8; y <= 24; y += 4) {
        c.rect(g.x(9), g.y(y), g.x(12), g.y(y + 1.5), Colours.Line);
        c.rect(g.x(14), g.y(y), g.x(23), g.y(y + 1.5), Colours.Line);
    }
    c.polyline({g.p(8, 17), g.p(12, 22), g.p(22, 9)}, g.w(3), Colours.Tick);
    return c.resolve();
}

Image paintPrinterGlyph(int width, int height) {
    Grid g;
    Canvas c = start(width, height, g);
    outlinedRect(c, g, 9, 2, 23, 13, Colours.Paper, Colours.Ink);          // paper going in
    outlinedRect(c, g, 3, 11, 29, 24, Colours.Steel, Colours.Ink);          // body
    c.disc(g.x(25), g.y(15), g.w(1.3), Colours.Tick);                       // power light
    outlinedRect(c, g, 8, 20, 24, 30, Colours.Paper, Colours.Ink);          // printed sheet
    c.rect(g.x(11), g.y(24), g.x(21), g.y(25.2), Colours.Line);
    c.rect(g.x(11), g.y(27), g.x(18), g.y(28.2), Colours.Line);
    return c.resolve();
}

Image paintTrainingGlyph(int width, int height) {
    Grid g;
    Canvas c = start(width, height, g);
    // An open book: two pages leaning from the spine, with lines of text.
    c.polygon({g.p(2, 7), g.p(16, 10), g.p(16, 29), g.p(2, 26)}, Colours.Blue);
    c.polygon({g.p(30, 7), g.p(16, 10), g.p(16, 29), g.p(30, 26)}, Colours.Blue);
    c.polygon({g.p(3.5, 5), g.p(15.5, 8), g.p(15.5, 26.5), g.p(3.5, 23.5)}, Colours.Paper);
    c.polygon({g.p(28.5, 5), g.p(16.5, 8), g.p(16.5, 26.5), g.p(28.5, 23.5)}, Colours.Paper);
    for (double d = 0; d < 12; d += 3.5) {
        c.line(g.p(6, 10 + d), g.p(13.5, 11.8 + d), g.w(1.2), Colours.Line);
        c.line(g.p(26, 10 + d), g.p(18.5, 11.8 + d), g.w(1.2), Colours.Line);
    }
    c.line(g.p(16, 8), g.p(16, 27), g.w(1.4), Colours.Ink);
    return c.resolve();
}

Image paintSettingsGlyph(int width, int height) {
    Grid g;
    Canvas c = start(width, height, g);
    // A gear: ten teeth around a rim, a hole in the middle.
    const double cx = 16, cy = 16;
    std::vector<Point> outline;
    constexpr int teeth = 10;
    for (int i = 0; i < teeth * 4; ++i) {
        const double a = (i + 0.5) * std::numbers::pi * 2 / (teeth * 4);
        const double r = (i % 4 == 0 || i % 4 == 1) ? 14.5 : 11;
        outline.push_back(g.p(cx + r * std::cos(a), cy + r * std::sin(a)));
    }
    c.polygon(outline, Colours.Ink);
    c.disc(g.x(cx), g.y(cy), g.w(9.2), Colours.Steel);
    c.disc(g.x(cx), g.y(cy), g.w(4.2), Colours.Ink);
    c.disc(g.x(cx), g.y(cy), g.w(3), Colours.Paper);
    return c.resolve();
}

Image paintExitGlyph(int width, int height) {
    Grid g;
    Canvas c = start(width, height, g);
    outlinedRect(c, g, 4, 2, 20, 30, Colours.Dark, Colours.Ink);    // door frame
    c.polygon({g.p(5.5, 3.5), g.p(15, 6), g.p(15, 31), g.p(5.5, 28.5)}, Colours.Wood);  // door ajar
    c.disc(g.x(13), g.y(18), g.w(1.2), Colours.Paper);               // handle
    c.rect(g.x(18), g.y(14.5), g.x(26), g.y(17.5), Colours.Red);     // arrow out
    c.polygon({g.p(25, 10), g.p(31, 16), g.p(25, 22)}, Colours.Red);
    return c.resolve();
}

}  // namespace artwork
