// The canvas: every mapping mode's conversions, text measurement, the records handed to back
// ends, metafile replay, and painting through Qt with text and pictures upright in y-up modes.
#include "Canvas.h"
#include "CodePages.h"
#include "Metafile.h"
#include "internal/QtCanvas.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

namespace {

TDeviceCaps Caps600() {
    TDeviceCaps caps;
    caps.LogPixelsX = caps.LogPixelsY = 600;
    caps.PhysicalWidth = caps.HorzRes = 4961;
    caps.PhysicalHeight = caps.VertRes = 7016;
    return caps;
}

/// A metafile canvas of a 600 dpi device.
struct Recorded {
    TMetafile Page;
    TDeviceCaps Caps = Caps600();
    TMetafileCanvas Canvas{Page, &Caps};
};

TPoint ToDevice(TCanvas& c, int x, int y) {
    TPoint p{x, y};
    c.LPtoDP(&p, 1);
    return p;
}

TEST(Mapping, FixedModesConvertByTheDeviceResolutionWithYUp) {
    struct Mode { int mode; int units; };
    for (Mode m : {Mode{MM_LOMETRIC, 254}, Mode{MM_HIMETRIC, 2540}, Mode{MM_LOENGLISH, 100},
                   Mode{MM_HIENGLISH, 1000}, Mode{MM_TWIPS, 1440}}) {
        Recorded r;
        r.Canvas.SetMapMode(m.mode);
        EXPECT_EQ(ToDevice(r.Canvas, m.units, -m.units), (TPoint{600, 600})) << m.mode;
        EXPECT_EQ(ToDevice(r.Canvas, 2 * m.units, 3 * m.units), (TPoint{1200, -1800})) << m.mode;
        TPoint back{600, 1200};
        r.Canvas.DPtoLP(&back, 1);
        EXPECT_EQ(back, (TPoint{m.units, -2 * m.units})) << m.mode;
    }
}

TEST(Mapping, TextModeIsTheIdentityAndOriginsShift) {
    Recorded r;
    EXPECT_EQ(r.Canvas.SetMapMode(MM_LOMETRIC), MM_TEXT);
    EXPECT_EQ(r.Canvas.SetMapMode(MM_TEXT), MM_LOMETRIC);
    EXPECT_EQ(ToDevice(r.Canvas, 123, -45), (TPoint{123, -45}));
    SetViewportOrgEx(r.Canvas.Handle(), -100, -50, nullptr);
    SetWindowOrgEx(r.Canvas.Handle(), 10, 20, nullptr);
    EXPECT_EQ(ToDevice(r.Canvas, 10, 20), (TPoint{-100, -50}));
    TPoint p{0, 0};
    DPtoLP(r.Canvas.Handle(), &p, 1);
    EXPECT_EQ(p, (TPoint{110, 70}));
}

TEST(Mapping, AnisotropicTakesExtentsWhichFixedModesIgnore) {
    Recorded r;
    r.Canvas.SetMapMode(MM_LOMETRIC);
    EXPECT_FALSE(SetWindowExtEx(r.Canvas.Handle(), 10, 10, nullptr));
    EXPECT_EQ(r.Canvas.WindowExt(), (TSize{254, 254}));
    // Switching to anisotropic keeps the present extents.
    r.Canvas.SetMapMode(MM_ANISOTROPIC);
    EXPECT_EQ(ToDevice(r.Canvas, 254, -254), (TPoint{600, 600}));
    TSize old;
    EXPECT_TRUE(SetWindowExtEx(r.Canvas.Handle(), 2100, -2970, &old));
    EXPECT_EQ(old, (TSize{254, 254}));
    EXPECT_TRUE(SetViewportExtEx(r.Canvas.Handle(), 4961, 7016, nullptr));
    EXPECT_EQ(ToDevice(r.Canvas, 2100, -2970), (TPoint{4961, 7016}));
    EXPECT_EQ(ToDevice(r.Canvas, 1050, -1485), (TPoint{2481, 3508}));
    EXPECT_FALSE(SetViewportExtEx(r.Canvas.Handle(), 0, 5, nullptr));
}

TEST(Mapping, DeviceCapsComeFromTheDevice) {
    Recorded r;
    EXPECT_EQ(GetDeviceCaps(r.Canvas.Handle(), LOGPIXELSX), 600);
    EXPECT_EQ(GetDeviceCaps(r.Canvas.Handle(), PHYSICALHEIGHT), 7016);
    EXPECT_EQ(GetDeviceCaps(r.Canvas.Handle(), HORZSIZE), 210);
    EXPECT_EQ(GetDeviceCaps(r.Canvas.Handle(), 9999), 0);
}

TEST(Text, WidthsAreUnhintedSumsAtTheDeviceResolution) {
    Recorded r;
    r.Canvas.SetMapMode(MM_LOMETRIC);
    r.Canvas.Font.Name = "Arial";
    r.Canvas.Font.Height = -35;
    const int one = r.Canvas.TextWidth("M");
    EXPECT_GT(one, 20);
    EXPECT_NEAR(r.Canvas.TextWidth("MMMMMMMMMM"), 10 * one, 5);
    EXPECT_EQ(r.Canvas.TextWidth(""), 0);
    EXPECT_GT(r.Canvas.TextHeight("M"), 35);  // cell height exceeds the character height
    EXPECT_LT(r.Canvas.TextHeight("M"), 45);
    r.Canvas.Font.Style = fsBold;
    EXPECT_GT(r.Canvas.TextWidth("Service checksheet"), 0);
    // The same physical size measures the same in another mode.
    Recorded t;
    t.Canvas.Font.Name = "Arial";
    t.Canvas.Font.Height = -83;  // 35 tenths of a millimetre at 600 dpi
    r.Canvas.Font.Style = fsNone;
    EXPECT_NEAR(r.Canvas.TextWidth("Oil filter") * 600 / 254.0, t.Canvas.TextWidth("Oil filter"), 3);
}

TEST(Text, PositiveHeightsSelectTheCellHeight) {
    Recorded r;
    r.Canvas.Font.Name = "Arial";
    r.Canvas.Font.Height = -100;
    const int character = r.Canvas.FontPixelSize();
    r.Canvas.Font.Height = 100;
    EXPECT_LT(r.Canvas.FontPixelSize(), character);
    EXPECT_NEAR(r.Canvas.TextHeight("x"), 100, 2);
    r.Canvas.Font.PixelsPerInch = 600;
    r.Canvas.Font.SetSize(9);
    EXPECT_EQ(r.Canvas.Font.Height, -75);
    EXPECT_EQ(r.Canvas.Font.Size(), 9);
}

TEST(Text, RecordsCarryPositionFontAndBackground) {
    Recorded r;
    r.Canvas.SetMapMode(MM_LOMETRIC);
    r.Canvas.Font.Name = "Arial";
    r.Canvas.Font.Height = -35;
    r.Canvas.TextOut(254, -508, "Brakes");
    const int width = r.Canvas.TextWidth("Brakes");
    r.Canvas.Brush.Style = bsClear;
    r.Canvas.TextOut(0, 0, "x");
    SetBkMode(r.Canvas.Handle(), OPAQUE);
    TextOut(r.Canvas.Handle(), 0, 0, "y", 1);
    r.Canvas.Font.Name = "Wingdings";
    r.Canvas.TextOut(0, 0, "np");
    const auto& rec = r.Page.Records();
    ASSERT_EQ(rec.size(), 4u);
    EXPECT_EQ(rec[0].Device.Left, 600);
    EXPECT_EQ(rec[0].Device.Top, 1200);
    EXPECT_GT(rec[0].Device.Bottom, rec[0].Device.Top);  // text extends down the page
    EXPECT_EQ(rec[0].Logical.Right - rec[0].Logical.Left, width);
    EXPECT_TRUE(rec[0].Opaque);
    EXPECT_EQ(rec[0].Font.Family, "Liberation Sans");
    EXPECT_FALSE(rec[1].Opaque);
    EXPECT_TRUE(rec[2].Opaque);  // through the device context: its own background mode
    EXPECT_EQ(rec[3].Font.Family, "DejaVu Sans");
    EXPECT_EQ(rec[3].Glyphs, std::u16string(u"\u25A0\u25FB"));
}

TEST(Text, BytesAreDecodedByTheCodePage) {
    Recorded r;
    r.Canvas.Font.Name = "Arial";
    r.Canvas.TextOut(0, 0, "\x80\xBA\xB9");
    EXPECT_EQ(r.Page.Records()[0].Glyphs, std::u16string(u"\u20AC\u00BA\u00B9"));
    SetCanvasTextDecoder([](unsigned char c) -> char16_t { return c == 0xC1 ? u'\u0391' : char16_t(c); });
    r.Canvas.TextOut(0, 0, "\xC1");
    SetCanvasTextDecoder(nullptr);
    EXPECT_EQ(r.Page.Records()[1].Glyphs, std::u16string(u"\u0391"));
}

TEST(Text, WideTextKeepsItsCharactersInEveryCodePage) {
    Recorded r;
    r.Canvas.SetMapMode(MM_LOMETRIC);
    r.Canvas.Font.Name = "Arial";
    r.Canvas.Font.Height = -40;
    // In the ANSI code page 1252 the wide text measures as its bytes do.
    EXPECT_EQ(r.Canvas.TextWidthW(u"60\u00BAC m\u00AF\u00B9"), r.Canvas.TextWidth("60\xBA" "C m\xAF\xB9"));
    ASSERT_TRUE(SetACP(1250));
    SetCanvasTextDecoder(nullptr);
    r.Canvas.TextOutW(10, -10, u"60\u00BAC");
    r.Canvas.TextOut(10, -10, "60\xBA" "C");
    SetACP(1252);
    SetCanvasTextDecoder(nullptr);
    const auto& rec = r.Page.Records();
    ASSERT_EQ(rec.size(), 2u);
    EXPECT_TRUE(rec[0].WideText);
    EXPECT_EQ(rec[0].Glyphs, std::u16string(u"60\u00BAC"));
    EXPECT_EQ(rec[0].Text, "60?C");  // its ANSI form: 1250 has no such character
    EXPECT_FALSE(rec[1].WideText);
    EXPECT_EQ(rec[1].Glyphs, std::u16string(u"60\u015FC"));  // the same byte is another letter there
    EXPECT_EQ(rec[0].Logical.Left, 10);
    EXPECT_GT(rec[0].Logical.Right, 10);
}

TEST(Shapes, PenWidthsAreLogicalAndLinesFollowThePen) {
    Recorded r;
    r.Canvas.SetMapMode(MM_LOMETRIC);
    r.Canvas.Pen.Width = 5;
    r.Canvas.MoveTo(0, 0);
    r.Canvas.LineTo(254, -254);
    r.Canvas.Pen.Width = 0;
    r.Canvas.Rectangle(0, 0, 127, -127);
    r.Canvas.Brush.Style = bsClear;
    r.Canvas.FillRect(TRect{0, 0, 10, 10});  // a clear brush fills nothing
    const auto& rec = r.Page.Records();
    ASSERT_EQ(rec.size(), 2u);
    EXPECT_EQ(rec[0].Kind, TRecordKind::Line);
    EXPECT_EQ(rec[0].PenWidth, 12);
    EXPECT_EQ(rec[0].Device, (TRect{0, 0, 600, 600}));
    EXPECT_EQ(r.Canvas.PenPos(), (TPoint{254, -254}));
    EXPECT_EQ(rec[1].PenWidth, 1);
    EXPECT_EQ(rec[1].Device, (TRect{0, 0, 300, 300}));
}

TEST(Metafiles, ReplayScalesIntoTheTargetRectangle) {
    Recorded r;
    r.Page.SetWidth(4961);
    r.Page.SetHeight(7016);
    r.Canvas.Font.Name = "Arial";
    r.Canvas.Font.Height = -80;
    r.Canvas.TextOut(1000, 2000, "Tyres");
    r.Canvas.Rectangle(0, 0, 4961, 7016);
    TMetafile screen;
    screen.SetWidth(500);
    screen.SetHeight(700);
    TMetafileCanvas target(screen);
    target.StretchDraw(TRect{10, 20, 10 + 496, 20 + 702}, r.Page);
    const auto& rec = screen.Records();
    ASSERT_EQ(rec.size(), 2u);
    EXPECT_EQ(rec[0].Text, "Tyres");
    EXPECT_EQ(rec[0].Device.Left, 110);
    EXPECT_EQ(rec[0].Device.Top, 220);
    EXPECT_EQ(rec[0].Font.PixelSize, 8);
    EXPECT_EQ(rec[1].Device, (TRect{10, 20, 506, 722}));
    EXPECT_EQ(r.Page.TextDump(), "Tyres\n");
}

/// Paints records onto a white image through the Qt back end.
QImage Paint(const std::function<void(TCanvas&)>& draw, int w = 600, int h = 600) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    auto backend = CreatePainterBackend(&painter);
    TDeviceCaps caps;
    caps.LogPixelsX = caps.LogPixelsY = 254;  // one pixel per tenth of a millimetre
    caps.PhysicalWidth = caps.HorzRes = w;
    caps.PhysicalHeight = caps.VertRes = h;
    TCanvas canvas(backend.get(), caps);
    draw(canvas);
    painter.end();
    return image;
}

int InkRows(const QImage& img, int x0, int x1, int y0, int y1) {
    int ink = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) ink += qGray(img.pixel(x, y)) < 128;
    return ink;
}

TEST(QtPainting, TextIsUprightInYUpModes) {
    const QImage img = Paint([](TCanvas& c) {
        c.SetMapMode(MM_LOMETRIC);
        c.Font.Name = "Arial";
        c.Font.Height = -200;
        c.Brush.Style = bsClear;
        c.TextOut(100, -100, "T");
    });
    // The bar of an upright T lies at the top of its glyph.
    int first = -1, last = -1;
    for (int y = 0; y < img.height(); ++y)
        if (InkRows(img, 0, img.width(), y, y + 1)) {
            if (first < 0) first = y;
            last = y;
        }
    ASSERT_GT(last - first, 100);
    const int band = (last - first) / 6;
    const int top = InkRows(img, 0, 600, first, first + band), bottom = InkRows(img, 0, 600, last - band, last);
    EXPECT_GT(top, 3 * bottom);
    EXPECT_GT(bottom, 0);
    EXPECT_GT(first, 100);  // below the text's top, inside its cell
    EXPECT_LT(last, 100 + 230);
    EXPECT_EQ(InkRows(img, 0, 600, 0, 100), 0);
}

TEST(QtPainting, WideTextIsDrawnAsItsCharacters) {
    const auto ink = [](bool wide) {
        const QImage img = Paint([wide](TCanvas& c) {
            c.SetMapMode(MM_LOMETRIC);
            c.Font.Name = "Arial";
            c.Font.Height = -200;
            c.Brush.Style = bsClear;
            if (wide) c.TextOutW(100, -100, u"\u00B9");
            else c.TextOut(100, -100, "\xB9");
        });
        return InkRows(img, 0, img.width(), 0, img.height());
    };
    EXPECT_GT(ink(true), 0);
    EXPECT_EQ(ink(true), ink(false));  // 1252: the same character either way
}

TEST(QtPainting, RectanglesAndPicturesLandWhereTheyWereAsked) {
    TBitmap bmp;
    bmp.SetPixelFormat(pf24bit);
    bmp.SetSize(2, 2);
    static_cast<uint8_t*>(bmp.ScanLine(0))[2] = 255;  // top-left red, the rest black
    const QImage img = Paint([&](TCanvas& c) {
        c.SetMapMode(MM_LOMETRIC);
        c.Brush.Color = clGray;
        c.Pen.Width = 0;
        c.Rectangle(50, -50, 150, -100);
        c.StretchDraw(TRect{300, -300, 400, -400}, bmp);
    });
    EXPECT_EQ(QColor(img.pixel(100, 75)), QColor(128, 128, 128));
    EXPECT_EQ(QColor(img.pixel(200, 75)), QColor(Qt::white));
    EXPECT_EQ(QColor(img.pixel(310, 310)), QColor(Qt::red));    // upright: red at top-left
    EXPECT_EQ(QColor(img.pixel(390, 390)), QColor(Qt::black));
}

}  // namespace

TEST(QtPainting, ReplayedTextKeepsItsRecordedWidth) {
    // At a small scale the font is rounded to whole pixels; the text must still end where the
    // scaled recording says, not run over what was drawn after it.
    Recorded r;
    r.Page.SetWidth(4961);
    r.Page.SetHeight(7016);
    r.Canvas.Font.Name = "Arial";
    r.Canvas.Font.Height = -58;  // 7 points at 600 dpi: 7.6 pixels at the scale below
    const std::string text = "Check airbag and seat belt tensioner warning lamp goes out after the engine starts";
    r.Canvas.Brush.Style = bsClear;
    r.Canvas.TextOut(100, 100, text);
    const double scale = 0.13;
    const int recordedRight = int(std::lround(100 * scale + r.Canvas.TextWidth(text) * scale));
    const QImage img = Paint([&](TCanvas& c) {
        c.StretchDraw(TRect{0, 0, int(4961 * scale), int(7016 * scale)}, r.Page);
    }, 700, 950);
    int right = -1;
    for (int x = 0; x < img.width(); ++x)
        if (InkRows(img, x, x + 1, 0, 40)) right = x;
    ASSERT_GT(right, recordedRight / 2);
    EXPECT_LE(right, recordedRight + 1);
    EXPECT_GE(right, recordedRight - 4);
}
