// Painters of the logos, the tick and the splash picture; their colours are in one palette.
#include "Logos.h"

#include "StrokeFont.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace artwork {
namespace {

// Every colour of the logos and the splash picture.
struct Palette {
    Rgb White{255, 255, 255};
    Rgb MakerBlue{20, 40, 90};
    Rgb Accent{200, 30, 40};
    Rgb Ink{0, 0, 0};
    Rgb TickGreen{30, 140, 60};
    Rgb SkyTop{190, 215, 240};
    Rgb SkyBottom{245, 248, 252};
    Rgb Road{90, 95, 105};
    Rgb RoadMark{235, 235, 235};
    Rgb Tyre{35, 35, 40};
    Rgb Hub{200, 205, 210};
    Rgb Glass{170, 200, 225};
};
const Palette Colours;

constexpr const char* MakerWord = "CORVEN";
constexpr const char* ProgramWord = "VETRA";
constexpr const char* SplashLine = "SERVICE CHECKSHEETS";

struct LogoScheme {
    Rgb Ground, Badge, Mark, Accent, Word;
};

// Badge: a disc with an inner ring, an open C and an arrow in its mouth. Wordmark to its right,
// underlined in the accent colour. Laid out in a box of height h, 3h wide.
void drawMakerLogo(Canvas& c, double x, double y, double h, const LogoScheme& s) {
    double r = 0.45 * h, cx = x + 0.5 * h, cy = y + 0.5 * h;
    c.disc(cx, cy, r, s.Badge);
    c.disc(cx, cy, 0.9 * r, s.Mark);
    c.disc(cx, cy, 0.83 * r, s.Badge);
    std::vector<Point> arc;
    for (int deg = 45; deg <= 315; deg += 5) {
        double a = deg * std::numbers::pi / 180;
        arc.push_back({cx + 0.5 * r * std::cos(a), cy - 0.5 * r * std::sin(a)});
    }
    c.polyline(arc, 0.17 * r, s.Mark);
    c.polygon({{cx - 0.05 * r, cy - 0.2 * r}, {cx + 0.45 * r, cy}, {cx - 0.05 * r, cy + 0.2 * r}}, s.Accent);

    double cap = 0.34 * h, wx = x + 1.1 * h, wy = y + 0.5 * h - cap / 2 - 0.04 * h;
    drawStrokeText(c, MakerWord, wx, wy, cap, 1.3, s.Word);
    c.rect(wx, wy + cap + 0.08 * h, wx + strokeTextWidth(MakerWord, cap), wy + cap + 0.13 * h, s.Accent);
}

// Places a 3:1 logo box centred in the picture, as large as fits.
Image paintLogo(int width, int height, const LogoScheme& s) {
    Canvas c(width, height);
    c.fill(s.Ground);
    double h = std::min(height * 1.0, width / 3.0);
    drawMakerLogo(c, (width - 3 * h) / 2, (height - h) / 2, h, s);
    return c.resolve();
}

void drawTick(Canvas& c, double x, double y, double size, Rgb colour) {
    c.polyline({{x + 0.18 * size, y + 0.55 * size}, {x + 0.42 * size, y + 0.78 * size}, {x + 0.84 * size, y + 0.24 * size}},
               0.13 * size, colour);
}

void drawCar(Canvas& c, double x0, double ground, double length) {
    auto at = [&](double u, double v) { return Point{x0 + u * length, ground + v * length}; };
    c.polygon({at(0.0, -0.1), at(0.02, -0.22), at(0.22, -0.26), at(0.34, -0.4), at(0.66, -0.4), at(0.8, -0.26),
               at(0.98, -0.22), at(1.0, -0.1), at(0.98, -0.06), at(0.02, -0.06)},
              Colours.MakerBlue);
    c.polygon({at(0.37, -0.37), at(0.49, -0.37), at(0.49, -0.27), at(0.27, -0.27)}, Colours.Glass);
    c.polygon({at(0.52, -0.37), at(0.64, -0.37), at(0.75, -0.27), at(0.52, -0.27)}, Colours.Glass);
    c.rect(x0 + 0.02 * length, ground - 0.17 * length, x0 + length, ground - 0.155 * length, Colours.Accent);
    for (double u : {0.2, 0.8}) {
        Point w = at(u, -0.09);
        c.disc(w.x, w.y, 0.09 * length, Colours.Tyre);
        c.disc(w.x, w.y, 0.045 * length, Colours.Hub);
    }
}

}  // namespace

Image paintMakerLogo(int width, int height) {
    return paintLogo(width, height,
                     {Colours.White, Colours.MakerBlue, Colours.White, Colours.Accent, Colours.MakerBlue});
}

Image paintInverseLogo(int width, int height) {
    return paintLogo(width, height,
                     {Colours.MakerBlue, Colours.White, Colours.MakerBlue, Colours.Accent, Colours.White});
}

Image paintProgramLogo(int width, int height) {
    Canvas c(width, height);
    c.fill(Colours.White);
    double h = std::min(height * 1.0, width / 3.0), x = (width - 3 * h) / 2, y = (height - h) / 2;
    double box = 0.7 * h, bx = x + 0.1 * h, by = y + 0.15 * h, edge = 0.07 * h;
    c.rect(bx, by, bx + box, by + box, Colours.MakerBlue);
    c.rect(bx + edge, by + edge, bx + box - edge, by + box - edge, Colours.White);
    drawTick(c, bx, by - 0.05 * h, box * 1.05, Colours.TickGreen);
    double cap = 0.42 * h, left = x + 1.0 * h, room = 2 * h;  // the word is centred right of the box
    drawStrokeText(c, ProgramWord, left + (room - strokeTextWidth(ProgramWord, cap)) / 2, y + (h - cap) / 2, cap, 1.4,
                   Colours.MakerBlue);
    return c.resolve();
}

Image paintTick(int width, int height) {
    Canvas c(width, height);
    c.fill(Colours.White);
    double size = std::min(width, height);
    drawTick(c, (width - size) / 2, (height - size) / 2, size, Colours.Ink);
    return c.resolve();
}

Image paintSplash(int width, int height) {
    Canvas c(width, height);
    double w = width, h = height;
    c.gradient(0, 0, w, 0.72 * h, Colours.SkyTop, Colours.SkyBottom);
    c.rect(0, 0.72 * h, w, h, Colours.Road);
    for (double x = 0.02 * w; x < w; x += 0.12 * w) c.rect(x, 0.9 * h, x + 0.06 * w, 0.92 * h, Colours.RoadMark);
    drawCar(c, 0.25 * w, 0.84 * h, 0.5 * w);

    double cap = 0.14 * h;
    drawStrokeText(c, ProgramWord, (w - strokeTextWidth(ProgramWord, cap)) / 2, 0.08 * h, cap, 1.4, Colours.MakerBlue);
    double small = 0.045 * h;
    drawStrokeText(c, SplashLine, (w - strokeTextWidth(SplashLine, small)) / 2, 0.27 * h, small, 1.2, Colours.Accent);
    return c.resolve();
}

}  // namespace artwork
