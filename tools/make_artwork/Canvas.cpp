// Oversampled raster canvas of the artwork generator (see Canvas.h).
#include "Canvas.h"

#include <algorithm>
#include <cmath>

namespace artwork {

Canvas::Canvas(int width, int height, int oversample)
    : Width(width), Height(height), Scale(oversample), SampleWidth(width * oversample),
      SampleHeight(height * oversample),
      Samples(static_cast<std::size_t>(SampleWidth) * SampleHeight, Rgb{255, 255, 255}) {}

void Canvas::fill(Rgb colour) { std::fill(Samples.begin(), Samples.end(), colour); }

// Sets the samples of one sample row whose centres lie in [from, to).
void Canvas::span(int row, double from, double to, Rgb colour) {
    if (row < 0 || row >= SampleHeight) return;
    int first = static_cast<int>(std::ceil(from * Scale - 0.5));
    int last = static_cast<int>(std::ceil(to * Scale - 0.5));  // exclusive
    first = std::max(first, 0);
    last = std::min(last, SampleWidth);
    if (first >= last) return;
    Rgb* base = &Samples[static_cast<std::size_t>(row) * SampleWidth];
    std::fill(base + first, base + last, colour);
}

static double sampleCentre(int i, int scale) { return (i + 0.5) / scale; }

void Canvas::rect(double x0, double y0, double x1, double y1, Rgb colour) {
    for (int row = 0; row < SampleHeight; ++row) {
        double y = sampleCentre(row, Scale);
        if (y >= y0 && y < y1) span(row, x0, x1, colour);
    }
}

static std::uint8_t blend(std::uint8_t a, std::uint8_t b, double t) {
    return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
}

void Canvas::gradient(double x0, double y0, double x1, double y1, Rgb top, Rgb bottom) {
    for (int row = 0; row < SampleHeight; ++row) {
        double y = sampleCentre(row, Scale);
        if (y < y0 || y >= y1) continue;
        double t = (y - y0) / (y1 - y0);
        span(row, x0, x1, {blend(top.r, bottom.r, t), blend(top.g, bottom.g, t), blend(top.b, bottom.b, t)});
    }
}

void Canvas::polygon(const std::vector<Point>& points, Rgb colour) {
    if (points.size() < 3) return;
    std::vector<double> crossings;
    for (int row = 0; row < SampleHeight; ++row) {
        double y = sampleCentre(row, Scale);
        crossings.clear();
        for (std::size_t i = 0; i < points.size(); ++i) {
            const Point& a = points[i];
            const Point& b = points[(i + 1) % points.size()];
            // Half-open rule: an edge counts when y lies in [min y, max y).
            if ((a.y <= y && y < b.y) || (b.y <= y && y < a.y))
                crossings.push_back(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
        }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) span(row, crossings[i], crossings[i + 1], colour);
    }
}

void Canvas::disc(double cx, double cy, double radius, Rgb colour) {
    for (int row = 0; row < SampleHeight; ++row) {
        double dy = sampleCentre(row, Scale) - cy;
        if (std::abs(dy) >= radius) continue;
        double half = std::sqrt(radius * radius - dy * dy);
        span(row, cx - half, cx + half, colour);
    }
}

void Canvas::line(Point a, Point b, double width, Rgb colour) {
    double half = width / 2;
    double dx = b.x - a.x, dy = b.y - a.y;
    double length = std::hypot(dx, dy);
    if (length > 0) {
        double nx = -dy / length * half, ny = dx / length * half;
        polygon({{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}}, colour);
    }
    disc(a.x, a.y, half, colour);
    disc(b.x, b.y, half, colour);
}

void Canvas::polyline(const std::vector<Point>& points, double width, Rgb colour) {
    if (points.size() == 1) disc(points[0].x, points[0].y, width / 2, colour);
    for (std::size_t i = 0; i + 1 < points.size(); ++i) line(points[i], points[i + 1], width, colour);
}

Image Canvas::resolve() const {
    Image image{Width, Height, std::vector<Rgb>(static_cast<std::size_t>(Width) * Height)};
    const int count = Scale * Scale;
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            int r = 0, g = 0, b = 0;
            for (int sy = 0; sy < Scale; ++sy) {
                const Rgb* s = &Samples[static_cast<std::size_t>(y * Scale + sy) * SampleWidth + x * Scale];
                for (int sx = 0; sx < Scale; ++sx) {
                    r += s[sx].r;
                    g += s[sx].g;
                    b += s[sx].b;
                }
            }
            image.Pixels[static_cast<std::size_t>(y) * Width + x] = {
                static_cast<std::uint8_t>((r + count / 2) / count), static_cast<std::uint8_t>((g + count / 2) / count),
                static_cast<std::uint8_t>((b + count / 2) / count)};
        }
    }
    return image;
}

}  // namespace artwork
