// Canvas: logical-to-device conversion of every mapping mode, text measurement through the font
// engine, and the drawing calls handed to the back end as device-pixel records.
#include "Canvas.h"

#include "internal/FontEngine.h"
#include "CodePages.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

/// a * b / c rounded half away from zero, in 64 bits (c != 0).
int MulDiv(int64_t a, int64_t b, int64_t c) {
    const int64_t n = a * b;
    const int64_t q = n / c, r = n % c;
    if (2 * std::llabs(r) >= std::llabs(c)) return int(q + (((n < 0) != (c < 0)) ? -1 : 1));
    return int(q);
}

}  // namespace

int TFont::Size() const { return -MulDiv(Height, 72, PixelsPerInch > 0 ? PixelsPerInch : 96); }
void TFont::SetSize(int points) { Height = -MulDiv(points, PixelsPerInch > 0 ? PixelsPerInch : 96, 72); }

TCanvas::TCanvas() { FCaps.HorzRes = FCaps.PhysicalWidth = 1024; FCaps.VertRes = FCaps.PhysicalHeight = 768; }

TCanvas::TCanvas(TCanvasBackend* backend, const TDeviceCaps& caps) : FBackend(backend), FCaps(caps) {}

TCanvas::~TCanvas() = default;

void TCanvas::Attach(TCanvasBackend* backend, const TDeviceCaps& caps, TPoint sheetOffset) {
    FBackend = backend;
    FCaps = caps;
    FSheetOffset = sheetOffset;
    ResetDeviceContext();
}

void TCanvas::ResetDeviceContext() {
    FMapMode = MM_TEXT;
    FWindowOrg = FViewportOrg = TPoint{};
    FWindowExt = FViewportExt = TSize{1, 1};
    FBkMode = OPAQUE;
    FPenPos = TPoint{};
}

int TCanvas::SetMapMode(int mode) {
    const int old = FMapMode;
    int units = 0;
    switch (mode) {
        case MM_TEXT: FWindowExt = FViewportExt = TSize{1, 1}; break;
        case MM_LOMETRIC: units = 254; break;
        case MM_HIMETRIC: units = 2540; break;
        case MM_LOENGLISH: units = 100; break;
        case MM_HIENGLISH: units = 1000; break;
        case MM_TWIPS: units = 1440; break;
        case MM_ISOTROPIC:
        case MM_ANISOTROPIC: break;
        default: return 0;
    }
    if (units) {
        FWindowExt = TSize{units, units};
        FViewportExt = TSize{FCaps.LogPixelsX, -FCaps.LogPixelsY};
    }
    FMapMode = mode;
    return old;
}

TPoint TCanvas::SetWindowOrg(int x, int y) {
    const TPoint old = FWindowOrg;
    FWindowOrg = TPoint{x, y};
    return old;
}

TPoint TCanvas::SetViewportOrg(int x, int y) {
    const TPoint old = FViewportOrg;
    FViewportOrg = TPoint{x, y};
    return old;
}

bool TCanvas::SetWindowExt(int x, int y, TSize* old) {
    if (old) *old = FWindowExt;
    if ((FMapMode != MM_ANISOTROPIC && FMapMode != MM_ISOTROPIC) || x == 0 || y == 0) return false;
    FWindowExt = TSize{x, y};
    return true;
}

bool TCanvas::SetViewportExt(int x, int y, TSize* old) {
    if (old) *old = FViewportExt;
    if ((FMapMode != MM_ANISOTROPIC && FMapMode != MM_ISOTROPIC) || x == 0 || y == 0) return false;
    FViewportExt = TSize{x, y};
    return true;
}

void TCanvas::LPtoDP(TPoint* p, int count) const {
    for (int i = 0; i < count; ++i) {
        p[i].x = MulDiv(int64_t(p[i].x) - FWindowOrg.x, FViewportExt.cx, FWindowExt.cx) + FViewportOrg.x;
        p[i].y = MulDiv(int64_t(p[i].y) - FWindowOrg.y, FViewportExt.cy, FWindowExt.cy) + FViewportOrg.y;
    }
}

void TCanvas::DPtoLP(TPoint* p, int count) const {
    for (int i = 0; i < count; ++i) {
        p[i].x = MulDiv(int64_t(p[i].x) - FViewportOrg.x, FWindowExt.cx, FViewportExt.cx) + FWindowOrg.x;
        p[i].y = MulDiv(int64_t(p[i].y) - FViewportOrg.y, FWindowExt.cy, FViewportExt.cy) + FWindowOrg.y;
    }
}

int TCanvas::GetDeviceCaps(int index) const {
    switch (index) {
        case HORZRES: return FCaps.HorzRes;
        case VERTRES: return FCaps.VertRes;
        case HORZSIZE: return FCaps.LogPixelsX ? MulDiv(FCaps.HorzRes, 254, int64_t(FCaps.LogPixelsX) * 10) : 0;
        case VERTSIZE: return FCaps.LogPixelsY ? MulDiv(FCaps.VertRes, 254, int64_t(FCaps.LogPixelsY) * 10) : 0;
        case BITSPIXEL: return FCaps.BitsPixel;
        case LOGPIXELSX: return FCaps.LogPixelsX;
        case LOGPIXELSY: return FCaps.LogPixelsY;
        case PHYSICALWIDTH: return FCaps.PhysicalWidth;
        case PHYSICALHEIGHT: return FCaps.PhysicalHeight;
        case PHYSICALOFFSETX: return FCaps.PhysicalOffsetX;
        case PHYSICALOFFSETY: return FCaps.PhysicalOffsetY;
        default: return 0;
    }
}

int TCanvas::SetBkMode(int mode) {
    const int old = FBkMode;
    if (mode == TRANSPARENT || mode == OPAQUE) FBkMode = mode;
    return old;
}

int TCanvas::DeviceLength(int logical, bool vertical) const {
    const int64_t ve = vertical ? FViewportExt.cy : FViewportExt.cx;
    const int64_t we = vertical ? FWindowExt.cy : FWindowExt.cx;
    return std::abs(MulDiv(logical, std::llabs(ve), std::llabs(we)));
}

int TCanvas::LogicalLength(double device, bool vertical) const {
    const double ve = std::abs(double(vertical ? FViewportExt.cy : FViewportExt.cx));
    const double we = std::abs(double(vertical ? FWindowExt.cy : FWindowExt.cx));
    return int(std::lround(device * we / ve));
}

int TCanvas::FontPixelSize() const {
    if (Font.Height < 0) return std::max(1, DeviceLength(-Font.Height, true));
    // Height 0 asks for the device's default size (12 points).
    const double cell = Font.Height > 0 ? DeviceLength(Font.Height, true) : FCaps.LogPixelsY * 12 / 72.0 * CellRatio(Font.Name, Font.Style);
    return std::max(1, int(std::lround(cell / CellRatio(Font.Name, Font.Style))));
}

TDeviceFont TCanvas::CurrentDeviceFont() const {
    return TDeviceFont{Font.Name, FamilyFor(Font.Name), FontPixelSize(), Font.Style, Font.Color};
}

TCanvasRecord TCanvas::NewRecord(TRecordKind kind) const {
    TCanvasRecord r;
    r.Kind = kind;
    r.PenColor = Pen.Color;
    r.PenVisible = Pen.Style != psClear;
    r.PenWidth = Pen.Width <= 1 ? 1 : std::max(1, DeviceLength(Pen.Width, false));
    r.BrushColor = Brush.Color;
    r.BrushSolid = Brush.Style == bsSolid;
    return r;
}

void TCanvas::EmitRecord(TCanvasRecord& r, int x, int y, double width, double height, bool opaque) {
    TPoint p{x, y};
    LPtoDP(&p, 1);
    p.x += FSheetOffset.x;
    p.y += FSheetOffset.y;
    r.Logical = TRect{x, y, x + LogicalLength(width, false), y};
    r.Device = TRect{p.x, p.y, p.x + int(std::lround(width)), p.y + int(std::lround(height))};
    r.Opaque = opaque;
    if (FBackend) FBackend->Play(r);
}

void TCanvas::EmitText(int x, int y, const std::string& text, bool opaque) {
    if (!FBackend) return;
    TCanvasRecord r = NewRecord(TRecordKind::Text);
    r.Font = CurrentDeviceFont();
    TFontFace& face = FontFace(r.Font.Name, r.Font.PixelSize, r.Font.Style);
    r.Text = text;
    r.Glyphs.reserve(text.size());
    for (unsigned char c : text) r.Glyphs.push_back(face.CharOf(c));
    EmitRecord(r, x, y, face.Width(text), face.Ascent + face.Descent, opaque);
}

void TCanvas::TextOutW(int x, int y, std::u16string_view text) {
    FBkMode = Brush.Style == bsSolid ? OPAQUE : TRANSPARENT;
    if (!FBackend) return;
    TCanvasRecord r = NewRecord(TRecordKind::Text);
    r.Font = CurrentDeviceFont();
    TFontFace& face = FontFace(r.Font.Name, r.Font.PixelSize, r.Font.Style);
    r.WideText = true;
    r.Glyphs.assign(text);
    r.Text = WideCharToMultiByte(CP_ACP, text);
    EmitRecord(r, x, y, face.WidthOfChars(text), face.Ascent + face.Descent, FBkMode == OPAQUE);
}

int TCanvas::TextWidthW(std::u16string_view text) {
    TFontFace& face = FontFace(Font.Name, FontPixelSize(), Font.Style);
    return LogicalLength(face.WidthOfChars(text), false);
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    // A solid brush makes the text background opaque in its colour, a clear one transparent.
    FBkMode = Brush.Style == bsSolid ? OPAQUE : TRANSPARENT;
    EmitText(x, y, text, FBkMode == OPAQUE);
}

void TCanvas::DeviceTextOut(int x, int y, const std::string& text) { EmitText(x, y, text, FBkMode == OPAQUE); }

int TCanvas::TextWidth(const std::string& text) { return TextExtent(text).cx; }
int TCanvas::TextHeight(const std::string&) {
    // The height is the font's cell, whatever the text: no need to measure it.
    TFontFace& face = FontFace(Font.Name, FontPixelSize(), Font.Style);
    return LogicalLength(face.Ascent + face.Descent, true);
}

TSize TCanvas::TextExtent(const std::string& text) {
    TFontFace& face = FontFace(Font.Name, FontPixelSize(), Font.Style);
    return TSize{LogicalLength(face.Width(text), false), LogicalLength(face.Ascent + face.Descent, true)};
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    if (!FBackend) {
        FBkMode = Brush.Style == bsSolid ? OPAQUE : TRANSPARENT;
        return;
    }
    TCanvasRecord r = NewRecord(TRecordKind::Rectangle);
    TPoint p[2] = {{x1, y1}, {x2, y2}};
    LPtoDP(p, 2);
    r.Logical = TRect{x1, y1, x2, y2};
    r.Device = TRect{p[0].x + FSheetOffset.x, p[0].y + FSheetOffset.y, p[1].x + FSheetOffset.x, p[1].y + FSheetOffset.y};
    FBkMode = Brush.Style == bsSolid ? OPAQUE : TRANSPARENT;
    if (FBackend) FBackend->Play(r);
}

void TCanvas::FillRect(const TRect& rect) {
    if (!FBackend) return;
    TCanvasRecord r = NewRecord(TRecordKind::FillRect);
    TPoint p[2] = {{rect.Left, rect.Top}, {rect.Right, rect.Bottom}};
    LPtoDP(p, 2);
    r.Logical = rect;
    r.Device = TRect{p[0].x + FSheetOffset.x, p[0].y + FSheetOffset.y, p[1].x + FSheetOffset.x, p[1].y + FSheetOffset.y};
    r.PenVisible = false;
    if (FBackend && r.BrushSolid) FBackend->Play(r);
}

void TCanvas::MoveTo(int x, int y) { FPenPos = TPoint{x, y}; }

void TCanvas::LineTo(int x, int y) {
    if (!FBackend) {
        FPenPos = TPoint{x, y};
        return;
    }
    TCanvasRecord r = NewRecord(TRecordKind::Line);
    TPoint p[2] = {FPenPos, {x, y}};
    LPtoDP(p, 2);
    r.Logical = TRect{FPenPos.x, FPenPos.y, x, y};
    r.Device = TRect{p[0].x + FSheetOffset.x, p[0].y + FSheetOffset.y, p[1].x + FSheetOffset.x, p[1].y + FSheetOffset.y};
    FPenPos = TPoint{x, y};
    if (FBackend && r.PenVisible) FBackend->Play(r);
}

void TCanvas::Draw(int x, int y, const TGraphic& graphic) {
    graphic.Draw(*this, TRect{x, y, x + graphic.Width(), y + graphic.Height()});
}

void TCanvas::StretchDraw(const TRect& rect, const TGraphic& graphic) { graphic.Draw(*this, rect); }

void TCanvas::StretchDrawBitmap(const TRect& rect, const TBitmap& bitmap, const TRect& source) {
    if (bitmap.Empty() || !FBackend) return;
    TCanvasRecord r = NewRecord(TRecordKind::Bitmap);
    TPoint p[2] = {{rect.Left, rect.Top}, {rect.Right, rect.Bottom}};
    LPtoDP(p, 2);
    r.Logical = rect;
    r.Device = TRect{p[0].x + FSheetOffset.x, p[0].y + FSheetOffset.y, p[1].x + FSheetOffset.x, p[1].y + FSheetOffset.y};
    r.Picture = bitmap;
    r.Source = (source == TRect{}) ? TRect{0, 0, bitmap.Width(), bitmap.Height()} : source;
    if (FBackend) FBackend->Play(r);
}

int TCanvas::StretchDIBits(int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                           int srcHeight, const void* bits, const void* info, unsigned usage, uint32_t rop) {
    if (!bits || !info || usage != DIB_RGB_COLORS || rop != SRCCOPY) return 0;
    // The header states the sizes of its colour table and bits (as the platform trusts it).
    const auto* h = static_cast<const uint8_t*>(info);
    const uint32_t headerSize = uint32_t(h[0]) | uint32_t(h[1]) << 8 | uint32_t(h[2]) << 16 | uint32_t(h[3]) << 24;
    if (headerSize != 40) return 0;
    int32_t width = 0, height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0, used = 0;
    std::memcpy(&width, h + 4, 4);
    std::memcpy(&height, h + 8, 4);
    std::memcpy(&bitCount, h + 14, 2);
    std::memcpy(&compression, h + 16, 4);
    std::memcpy(&used, h + 32, 4);
    if (width <= 0 || height <= 0 || height > 65535 || width > 65535) return 0;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) return 0;
    uint32_t tableBytes = compression == 3 ? 12 : 0;
    if (bitCount <= 8) tableBytes = 4 * (used && used <= (1u << bitCount) ? used : (1u << bitCount));
    const int64_t imageBytes = ((int64_t(width) * bitCount + 31) / 32) * 4 * height;
    if (imageBytes > (int64_t(1) << 30)) return 0;
    // Nothing to draw on: the bits need not be decoded.
    if (!FBackend) return srcHeight;
    TBitmap bitmap;
    if (!BitmapFromDIB(info, headerSize + tableBytes, bits, uint32_t(imageBytes), bitmap)) return 0;
    // Source rectangle in DIB coordinates (origin bottom-left) becomes top-down rows.
    const TRect source{xSrc, height - ySrc - srcHeight, xSrc + srcWidth, height - ySrc};
    StretchDrawBitmap(TRect{xDest, yDest, xDest + destWidth, yDest + destHeight}, bitmap, source);
    return srcHeight;
}

void TCanvas::PlayRecord(const TCanvasRecord& record) {
    if (FBackend) FBackend->Play(record);
}

int SetMapMode(HDC dc, int mode) { return dc->SetMapMode(mode); }
int GetMapMode(HDC dc) { return dc->GetMapMode(); }
bool SetWindowOrgEx(HDC dc, int x, int y, TPoint* old) {
    const TPoint o = dc->SetWindowOrg(x, y);
    if (old) *old = o;
    return true;
}
bool SetViewportOrgEx(HDC dc, int x, int y, TPoint* old) {
    const TPoint o = dc->SetViewportOrg(x, y);
    if (old) *old = o;
    return true;
}
bool SetWindowExtEx(HDC dc, int x, int y, TSize* old) { return dc->SetWindowExt(x, y, old); }
bool SetViewportExtEx(HDC dc, int x, int y, TSize* old) { return dc->SetViewportExt(x, y, old); }
bool DPtoLP(HDC dc, TPoint* points, int count) { dc->DPtoLP(points, count); return true; }
bool LPtoDP(HDC dc, TPoint* points, int count) { dc->LPtoDP(points, count); return true; }
int GetDeviceCaps(HDC dc, int index) { return dc->GetDeviceCaps(index); }
int SetBkMode(HDC dc, int mode) { return dc->SetBkMode(mode); }
bool TextOut(HDC dc, int x, int y, const char* text, int length) {
    if (!text || length < 0) return false;
    dc->DeviceTextOut(x, y, std::string(text, size_t(length)));
    return true;
}
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const void* info, unsigned usage, uint32_t rop) {
    return dc->StretchDIBits(xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, bits, info, usage, rop);
}
