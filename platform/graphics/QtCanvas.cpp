// Qt painter back end: draws the canvas's device-pixel records with QPainter, text as glyph runs
// of the cached unhinted faces so that drawn text has exactly the measured widths.
#include "internal/QtCanvas.h"

#include "internal/FontEngine.h"
#include "Metafile.h"

#include <QGlyphRun>
#include <QPainter>
#include <cmath>
#include <vector>

namespace {

QColor ToQColor(TColor c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

QRect Normalised(const TRect& r) {
    return QRect(QPoint(std::min(r.Left, r.Right), std::min(r.Top, r.Bottom)),
                 QPoint(std::max(r.Left, r.Right) - 1, std::max(r.Top, r.Bottom) - 1));
}

class PainterBackend : public TCanvasBackend {
public:
    explicit PainterBackend(QPainter* painter) : FPainter(painter) {}

    void Play(const TCanvasRecord& r) override {
        switch (r.Kind) {
            case TRecordKind::Text: DrawText(r); break;
            case TRecordKind::Rectangle: DrawRectangle(r, true); break;
            case TRecordKind::FillRect: DrawRectangle(r, false); break;
            case TRecordKind::Line: DrawLine(r); break;
            case TRecordKind::Bitmap: DrawBitmap(r); break;
        }
    }

private:
    void DrawText(const TCanvasRecord& r) {
        if (r.WideText ? r.Glyphs.empty() : r.Text.empty()) return;
        TFontFace& face = FontFace(r.Font.Name, r.Font.PixelSize, r.Font.Style);
        const double baseline = r.Device.Top + face.Ascent;
        std::vector<quint32> glyphs;
        std::vector<QPointF> positions;
        glyphs.reserve(r.Text.size());
        positions.reserve(r.Text.size());
        // A record replayed at another scale gets a font rounded to whole pixels, which is wider
        // or narrower than the scaled text: the advances are stretched to the width the text had
        // when it was recorded, so it never runs over the lines and boxes drawn beside it.
        double natural = 0;
        if (r.WideText) {
            for (char16_t c : r.Glyphs) natural += face.AdvanceOfChar(c);
        } else {
            for (unsigned char c : r.Text) natural += face.AdvanceOf(c);
        }
        const int recorded = r.Device.Right - r.Device.Left;
        const double stretch = recorded > 0 && natural > 0 ? recorded / natural : 1.0;
        double x = r.Device.Left;
        if (r.WideText) {
            for (char16_t c : r.Glyphs) {
                glyphs.push_back(face.GlyphOfChar(c));
                positions.emplace_back(x, baseline);
                x += face.AdvanceOfChar(c) * stretch;
            }
        } else {
            for (unsigned char c : r.Text) {
                glyphs.push_back(face.GlyphOf(c));
                positions.emplace_back(x, baseline);
                x += face.AdvanceOf(c) * stretch;
            }
        }
        if (r.Opaque)
            FPainter->fillRect(QRectF(r.Device.Left, r.Device.Top, x - r.Device.Left, face.Ascent + face.Descent),
                               ToQColor(r.BrushColor));
        QGlyphRun run;
        run.setRawFont(face.Raw);
        run.setGlyphIndexes(QList<quint32>(glyphs.begin(), glyphs.end()));
        run.setPositions(QList<QPointF>(positions.begin(), positions.end()));
        FPainter->setPen(ToQColor(r.Font.Color));
        FPainter->drawGlyphRun(QPointF(0, 0), run);
        if (HasStyle(r.Font.Style, fsUnderline) || HasStyle(r.Font.Style, fsStrikeOut)) {
            const double y = HasStyle(r.Font.Style, fsUnderline) ? baseline + face.UnderlinePosition
                                                                  : baseline - face.Ascent / 3;
            FPainter->fillRect(QRectF(r.Device.Left, y, x - r.Device.Left, face.LineThickness), ToQColor(r.Font.Color));
        }
    }

    void DrawRectangle(const TCanvasRecord& r, bool outline) {
        const QRect rect = Normalised(r.Device);
        if (r.BrushSolid) FPainter->fillRect(rect.adjusted(0, 0, 1, 1), ToQColor(r.BrushColor));
        if (!outline || !r.PenVisible) return;
        QPen pen(ToQColor(r.PenColor));
        pen.setWidth(r.PenWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        FPainter->setPen(pen);
        FPainter->setBrush(Qt::NoBrush);
        const double inset = r.PenWidth / 2.0;
        FPainter->drawRect(QRectF(rect.left() + inset, rect.top() + inset, std::max(0.0, rect.width() - 2 * inset + 1),
                                  std::max(0.0, rect.height() - 2 * inset + 1)));
    }

    void DrawLine(const TCanvasRecord& r) {
        QPen pen(ToQColor(r.PenColor));
        pen.setWidth(r.PenWidth);
        pen.setCapStyle(Qt::FlatCap);
        FPainter->setPen(pen);
        FPainter->drawLine(QPointF(r.Device.Left + 0.5, r.Device.Top + 0.5), QPointF(r.Device.Right + 0.5, r.Device.Bottom + 0.5));
    }

    void DrawBitmap(const TCanvasRecord& r) {
        if (r.Picture.Empty()) return;
        QImage image = ToQImage(r.Picture);
        const QRect source = QRect(QPoint(r.Source.Left, r.Source.Top), QPoint(r.Source.Right - 1, r.Source.Bottom - 1))
                                 .intersected(image.rect());
        if (source.isEmpty()) return;
        image = image.copy(source);
        const bool mirrorX = r.Device.Right < r.Device.Left, mirrorY = r.Device.Bottom < r.Device.Top;
        if (mirrorX || mirrorY) image = image.mirrored(mirrorX, mirrorY);
        const QRect target = Normalised(r.Device);
        if (target.isEmpty()) return;
        FPainter->drawImage(target, image);
    }

    QPainter* FPainter;
};

}  // namespace

std::unique_ptr<TCanvasBackend> CreatePainterBackend(QPainter* painter) {
    EnsureGuiApplication();
    return std::make_unique<PainterBackend>(painter);
}

QImage ToQImage(const TBitmap& bitmap) {
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
    if (bitmap.PixelFormat() == pf32bit || bitmap.PixelFormat() == pfDevice) {
        for (int y = 0; y < bitmap.Height(); ++y) {
            const auto* src = static_cast<const uint8_t*>(bitmap.ScanLine(y));
            auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < bitmap.Width(); ++x) dst[x] = qRgb(src[4 * x + 2], src[4 * x + 1], src[4 * x]);
        }
        return image;
    }
    if (bitmap.PixelFormat() == pf24bit) {
        for (int y = 0; y < bitmap.Height(); ++y) {
            const auto* src = static_cast<const uint8_t*>(bitmap.ScanLine(y));
            auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < bitmap.Width(); ++x) dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        }
        return image;
    }
    for (int y = 0; y < bitmap.Height(); ++y) {
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x) {
            const TColor c = bitmap.Pixel(x, y);
            dst[x] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
        }
    }
    return image;
}

std::vector<unsigned char> TMetafile::Rasterise(int width, int height) const {
    EnsureGuiApplication();
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        // Lines, boxes and pictures without smoothing: their pixels then follow from the records
        // alone, not from the interpolation the processor's drawing routines choose. Text is
        // drawn as on every page, from the fonts' own coverage.
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        PainterBackend backend(&painter);
        TDeviceCaps caps;
        caps.PhysicalWidth = caps.HorzRes = image.width();
        caps.PhysicalHeight = caps.VertRes = image.height();
        TCanvas canvas(&backend, caps);
        Draw(canvas, TRect{0, 0, image.width(), image.height()});
    }
    // Painted as 32-bit pixels, the toolkit's own format; handed out as red, green and blue.
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::vector<unsigned char> pixels;
    pixels.reserve(std::size_t(rgb.width()) * std::size_t(rgb.height()) * 3);
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* row = rgb.constScanLine(y);
        pixels.insert(pixels.end(), row, row + std::size_t(rgb.width()) * 3);
    }
    return pixels;
}
