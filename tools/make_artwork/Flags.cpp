// The flag table and the painter that draws its entries. Complex national emblems are
// reduced to simple shapes in their main colours.
#include "Flags.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace artwork {
namespace {

constexpr Rgb White{255, 255, 255};

FlagSpec bands(std::string component, bool vertical, std::vector<Band> stripes) {
    FlagSpec f;
    f.Component = std::move(component);
    f.Layout = FlagLayout::Bands;
    f.Vertical = vertical;
    f.Stripes = std::move(stripes);
    return f;
}

FlagSpec nordic(std::string component, std::vector<Band> colours, double unitsWide, double unitsHigh, double crossX,
                double crossY, double crossWidth, double innerWidth = 0) {
    FlagSpec f;
    f.Component = std::move(component);
    f.Layout = FlagLayout::NordicCross;
    f.Stripes = std::move(colours);
    f.UnitsWide = unitsWide;
    f.UnitsHigh = unitsHigh;
    f.CrossX = crossX;
    f.CrossY = crossY;
    f.CrossWidth = crossWidth;
    f.InnerWidth = innerWidth;
    return f;
}

FlagSpec shaped(std::string component, FlagLayout layout, std::vector<Band> colours) {
    FlagSpec f;
    f.Component = std::move(component);
    f.Layout = layout;
    f.Stripes = std::move(colours);
    return f;
}

FlagSpec withBadge(FlagSpec f, Emblem badge, double x, double y, double size, std::vector<Rgb> colours) {
    f.Badge = badge;
    f.BadgeX = x;
    f.BadgeY = y;
    f.BadgeSize = size;
    f.BadgeColours = std::move(colours);
    return f;
}

FlagSpec asJpeg(FlagSpec f) {
    f.Jpeg = true;
    return f;
}

FlagSpec hoistTriangle(std::string component, std::vector<Band> colours, double depth) {
    FlagSpec f = shaped(std::move(component), FlagLayout::HoistTriangle, std::move(colours));
    f.TriangleDepth = depth;
    return f;
}

// --- painters -------------------------------------------------------------------------

void paintBands(Canvas& c, const std::vector<Band>& stripes, bool vertical) {
    double total = 0;
    for (const Band& b : stripes) total += b.Weight;
    double extent = vertical ? c.width() : c.height();
    double at = 0;
    for (const Band& b : stripes) {
        double next = at + b.Weight / total * extent;
        if (vertical)
            c.rect(at, 0, next, c.height(), b.Colour);
        else
            c.rect(0, at, c.width(), next, b.Colour);
        at = next;
    }
}

void paintNordic(Canvas& c, const FlagSpec& f) {
    double sx = c.width() / f.UnitsWide, sy = c.height() / f.UnitsHigh;
    auto cross = [&](double width, Rgb colour) {
        c.rect((f.CrossX - width / 2) * sx, 0, (f.CrossX + width / 2) * sx, c.height(), colour);
        c.rect(0, (f.CrossY - width / 2) * sy, c.width(), (f.CrossY + width / 2) * sy, colour);
    };
    c.fill(f.Stripes.at(0).Colour);
    cross(f.CrossWidth, f.Stripes.at(1).Colour);
    if (f.InnerWidth > 0) cross(f.InnerWidth, f.Stripes.at(2).Colour);
}

// Drawn on a 60 x 30 grid. Each arm of the red saltire lies on the clockwise side of the
// white one's centre line, so the broad white is uppermost next to the hoist.
void paintUnion(Canvas& c, const FlagSpec& f) {
    const Rgb blue = f.Stripes.at(0).Colour, white = f.Stripes.at(1).Colour, red = f.Stripes.at(2).Colour;
    double sx = c.width() / 60.0, sy = c.height() / 30.0;
    auto at = [&](double x, double y) { return Point{x * sx, y * sy}; };
    const double slant = std::sqrt(1.25);  // vertical extent of one unit of width across a diagonal
    const double whiteHalf = 3 * slant, redWidth = 2 * slant;
    c.fill(blue);
    // Diagonal bands: y = 0.5x (falling) and y = 30 - 0.5x (rising), between offsets a and b.
    auto falling = [&](double x0, double x1, double a, double b) {
        c.polygon({at(x0, 0.5 * x0 + a), at(x1, 0.5 * x1 + a), at(x1, 0.5 * x1 + b), at(x0, 0.5 * x0 + b)}, red);
    };
    auto rising = [&](double x0, double x1, double a, double b) {
        c.polygon({at(x0, 30 - 0.5 * x0 + a), at(x1, 30 - 0.5 * x1 + a), at(x1, 30 - 0.5 * x1 + b),
                   at(x0, 30 - 0.5 * x0 + b)},
                  red);
    };
    c.polygon({at(-10, -5 - whiteHalf), at(70, 35 - whiteHalf), at(70, 35 + whiteHalf), at(-10, -5 + whiteHalf)}, white);
    c.polygon({at(-10, 35 - whiteHalf), at(70, -5 - whiteHalf), at(70, -5 + whiteHalf), at(-10, 35 + whiteHalf)}, white);
    falling(-10, 30, 0, redWidth);   // upper hoist: below the centre line
    falling(30, 70, -redWidth, 0);   // lower fly: above it
    rising(30, 70, -redWidth, 0);    // upper fly: above it
    rising(-10, 30, 0, redWidth);    // lower hoist: below it
    c.rect(0, 10 * sy, c.width(), 20 * sy, white);
    c.rect(25 * sx, 0, 35 * sx, c.height(), white);
    c.rect(0, 12 * sy, c.width(), 18 * sy, red);
    c.rect(27 * sx, 0, 33 * sx, c.height(), red);
}

// Drawn on a 27 x 18 grid: nine stripes of 2, a 10 x 10 canton with a cross of width 2.
void paintGreek(Canvas& c, const FlagSpec& f) {
    const Rgb blue = f.Stripes.at(0).Colour, white = f.Stripes.at(1).Colour;
    double sx = c.width() / 27.0, sy = c.height() / 18.0;
    for (int i = 0; i < 9; ++i) c.rect(0, 2 * i * sy, c.width(), 2 * (i + 1) * sy, i % 2 == 0 ? blue : white);
    c.rect(0, 0, 10 * sx, 10 * sy, blue);
    c.rect(0, 4 * sy, 10 * sx, 6 * sy, white);
    c.rect(4 * sx, 0, 6 * sx, 10 * sy, white);
}

void paintHoistTriangle(Canvas& c, const FlagSpec& f) {
    std::vector<Band> stripes(f.Stripes.begin(), f.Stripes.end() - 1);
    paintBands(c, stripes, false);
    c.polygon({{0, 0}, {f.TriangleDepth * c.width(), c.height() / 2.0}, {0, static_cast<double>(c.height())}},
              f.Stripes.back().Colour);
}

// A cross of arms 6 wide and 20 long on a 32-unit square in the middle of the picture.
void paintCentreCross(Canvas& c, const FlagSpec& f) {
    c.fill(f.Stripes.at(0).Colour);
    double side = std::min(c.width(), c.height());
    double u = side / 32, x0 = (c.width() - side) / 2, y0 = (c.height() - side) / 2;
    c.rect(x0 + 6 * u, y0 + 13 * u, x0 + 26 * u, y0 + 19 * u, f.Stripes.at(1).Colour);
    c.rect(x0 + 13 * u, y0 + 6 * u, x0 + 19 * u, y0 + 26 * u, f.Stripes.at(1).Colour);
}

std::vector<Point> star(double cx, double cy, double radius, double firstAngle) {
    std::vector<Point> points;
    for (int i = 0; i < 10; ++i) {
        double r = i % 2 == 0 ? radius : radius * 0.382;
        double a = firstAngle + i * std::numbers::pi / 5;
        points.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return points;
}

// Proportions in units of the flag's height G: crescent circles of diameter G/2 and 0.4 G,
// centres G/2 and G/2 + G/16 from the hoist; a star of diameter G/4, one point towards the hoist.
void paintCrescentStar(Canvas& c, const FlagSpec& f) {
    const Rgb field = f.Stripes.at(0).Colour, mark = f.Stripes.at(1).Colour;
    double g = c.height(), cy = g / 2;
    c.fill(field);
    c.disc(0.5 * g, cy, 0.25 * g, mark);
    c.disc(0.5625 * g, cy, 0.2 * g, field);
    c.polygon(star(0.5625 * g + g / 3, cy, 0.125 * g, std::numbers::pi), mark);
}

void paintBadge(Canvas& c, const FlagSpec& f) {
    double cx = f.BadgeX * c.width(), cy = f.BadgeY * c.height(), s = f.BadgeSize * c.height();
    const std::vector<Rgb>& k = f.BadgeColours;
    switch (f.Badge) {
    case Emblem::None:
        return;
    case Emblem::Sphere: {
        double r = s / 2;
        c.disc(cx, cy, r, k.at(0));
        auto shield = [&](double half, double top, Rgb colour) {
            c.rect(cx - half, cy - top, cx + half, cy + 0.2 * r, colour);
            c.disc(cx, cy + 0.2 * r, half, colour);
        };
        shield(0.42 * r, 0.5 * r, k.at(1));
        shield(0.28 * r, 0.36 * r, k.at(2));
        return;
    }
    case Emblem::Chequy: {
        double cell = s / 5, x0 = cx - s / 2, y0 = cy - s / 2;
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 5; ++col)
                c.rect(x0 + col * cell, y0 + row * cell, x0 + (col + 1) * cell, y0 + (row + 1) * cell,
                       k.at((row + col) % 2));
        return;
    }
    case Emblem::MountainShield: {
        double half = 0.4 * s, x0 = cx - half, x1 = cx + half, y0 = cy - s / 2, y1 = cy + s / 2, edge = 0.07 * s;
        c.rect(x0, y0, x1, y1, k.at(2));
        c.rect(x0 + edge, y0 + edge, x1 - edge, y1 - edge, k.at(0));
        c.polygon({{x0 + edge, y1 - 0.3 * s}, {cx, y0 + 0.3 * s}, {x1 - edge, y1 - 0.3 * s}}, k.at(1));
        return;
    }
    }
}

}  // namespace

const std::vector<FlagSpec>& flagTable() {
    static const std::vector<FlagSpec> table = {
        shaped("imBritain", FlagLayout::UnionFlag, {{{1, 33, 105}}, {White}, {{200, 16, 46}}}),
        bands("imBelgium", true, {{{0, 0, 0}}, {{253, 218, 37}}, {{239, 51, 64}}}),
        bands("imGermany", false, {{{0, 0, 0}}, {{221, 0, 0}}, {{255, 206, 0}}}),
        bands("imAustria", false, {{{200, 16, 46}}, {White}, {{200, 16, 46}}}),
        bands("imFrance", true, {{{0, 35, 149}}, {White}, {{237, 41, 57}}}),
        bands("imSpain", false, {{{170, 21, 27}, 1}, {{241, 191, 0}, 2}, {{170, 21, 27}, 1}}),
        withBadge(bands("imPortugal", true, {{{0, 102, 0}, 2}, {{255, 0, 0}, 3}}), Emblem::Sphere, 0.4, 0.5, 0.5,
                  {{255, 255, 0}, {255, 0, 0}, White}),
        bands("imItaly", true, {{{0, 146, 70}}, {White}, {{206, 43, 55}}}),
        bands("imHolland", false, {{{174, 28, 40}}, {White}, {{33, 70, 139}}}),
        shaped("imSwitz", FlagLayout::CentreCross, {{{218, 41, 28}}, {White}}),
        asJpeg(nordic("imNorway", {{{186, 12, 47}}, {White}, {{0, 32, 91}}}, 22, 16, 8, 8, 4, 2)),
        nordic("imDenmark", {{{200, 16, 46}}, {White}}, 37, 28, 14, 14, 4),
        nordic("imFinland", {{White}, {{0, 47, 108}}}, 18, 11, 6.5, 5.5, 3),
        nordic("imSweden", {{{0, 106, 167}}, {{254, 204, 0}}}, 16, 10, 6, 5, 2),
        withBadge(bands("imCroatia", false, {{{255, 0, 0}}, {White}, {{23, 23, 150}}}), Emblem::Chequy, 0.5, 0.5,
                  0.45, {{255, 0, 0}, White}),
        bands("imBulgaria", false, {{White}, {{0, 150, 110}}, {{214, 38, 18}}}),
        bands("imRomania", true, {{{0, 43, 127}}, {{252, 209, 22}}, {{206, 17, 38}}}),
        withBadge(bands("imSlovenia", false, {{White}, {{0, 93, 164}}, {{237, 28, 36}}}), Emblem::MountainShield,
                  0.25, 0.36, 0.36, {{0, 93, 164}, White, {237, 28, 36}}),
        bands("imUkraine", false, {{{0, 87, 183}}, {{255, 215, 0}}}),
        hoistTriangle("imCzech", {{White}, {{215, 20, 26}}, {{17, 69, 126}}}, 0.5),
        shaped("imGreece", FlagLayout::GreekStripes, {{{13, 94, 175}}, {White}}),
        bands("imPoland", false, {{White}, {{220, 20, 60}}}),
        bands("imHungary", false, {{{205, 42, 62}}, {White}, {{67, 111, 77}}}),
        shaped("imTurkey", FlagLayout::CrescentStar, {{{227, 10, 23}}, {White}}),
        bands("imRussia", false, {{White}, {{0, 57, 166}}, {{213, 43, 30}}}),
    };
    return table;
}

Image paintFlag(const FlagSpec& flag, int width, int height) {
    Canvas c(width, height);
    switch (flag.Layout) {
    case FlagLayout::Bands: paintBands(c, flag.Stripes, flag.Vertical); break;
    case FlagLayout::NordicCross: paintNordic(c, flag); break;
    case FlagLayout::UnionFlag: paintUnion(c, flag); break;
    case FlagLayout::GreekStripes: paintGreek(c, flag); break;
    case FlagLayout::HoistTriangle: paintHoistTriangle(c, flag); break;
    case FlagLayout::CentreCross: paintCentreCross(c, flag); break;
    case FlagLayout::CrescentStar: paintCrescentStar(c, flag); break;
    }
    paintBadge(c, flag);
    return c.resolve();
}

}  // namespace artwork
