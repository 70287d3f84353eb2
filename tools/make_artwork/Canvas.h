// A small raster canvas for the artwork generator: fills rectangles, polygons, discs and
// thick lines on an oversampled grid and resolves it to an RGB picture with smooth edges.
// Coordinates are in output pixels, x to the right and y downwards.
#pragma once

#include <cstdint>
#include <vector>

namespace artwork {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Point {
    double x = 0, y = 0;
};

/// A finished picture: Width x Height pixels, rows top to bottom.
struct Image {
    int Width = 0;
    int Height = 0;
    std::vector<Rgb> Pixels;

    const Rgb& at(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
};

/// Paints on a grid Oversample times finer than the output in each direction; every
/// primitive sets the samples whose centres it covers, and resolve() averages them.
class Canvas {
public:
    Canvas(int width, int height, int oversample = 4);

    int width() const { return Width; }
    int height() const { return Height; }

    void fill(Rgb colour);
    /// Covers [x0, x1) x [y0, y1).
    void rect(double x0, double y0, double x1, double y1, Rgb colour);
    /// Vertical gradient over [x0, x1) x [y0, y1), from top colour to bottom colour.
    void gradient(double x0, double y0, double x1, double y1, Rgb top, Rgb bottom);
    /// Even-odd fill of a closed polygon (at least three points; fewer draw nothing).
    void polygon(const std::vector<Point>& points, Rgb colour);
    void disc(double cx, double cy, double radius, Rgb colour);
    /// A line of the given width with round ends, so joined segments meet smoothly.
    void line(Point a, Point b, double width, Rgb colour);
    void polyline(const std::vector<Point>& points, double width, Rgb colour);

    Image resolve() const;

private:
    int Width, Height, Scale;
    int SampleWidth, SampleHeight;  // Width * Scale, Height * Scale
    std::vector<Rgb> Samples;       // SampleWidth * SampleHeight, rows top to bottom

    void span(int row, double from, double to, Rgb colour);  // from/to in output pixels
};

}  // namespace artwork
