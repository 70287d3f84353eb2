// The canvas: fonts, pens and brushes, text, rectangles, lines and pictures in logical units, and
// the device-context operations of the Windows graphics interface (mapping modes, window and
// viewport, conversions, device capabilities, StretchDIBits). The canvas converts logical units to
// device pixels itself and hands each drawing call, in device pixels, to a back end: a Qt painter
// (image, PDF, printer) or a metafile recorder. Text and pictures therefore stay upright in every
// mapping mode.
#pragma once

#include "Bitmap.h"
#include "Graphics.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

class TCanvas;
/// The device context of a canvas is the canvas itself.
using HDC = TCanvas*;

/// The font of one drawing call as the device sees it.
struct TDeviceFont {
    std::string Name;     ///< the name the program asked for ("Arial")
    std::string Family;   ///< the family drawn ("Liberation Sans")
    int PixelSize = 0;    ///< character (em) height in device pixels
    TFontStyles Style = fsNone;
    TColor Color = clBlack;
    friend bool operator==(const TDeviceFont&, const TDeviceFont&) = default;
};

enum class TRecordKind { Text, Rectangle, FillRect, Line, Bitmap };

/// One drawing call. `Logical` holds the call's arguments as the program gave them; `Device`
/// holds the same in device pixels measured from the sheet's corner. Text: Logical/Device
/// Left,Top = the text's top-left, Right = Left + its width. Line: (Left,Top) to (Right,Bottom).
/// Bitmap: the destination; a device rectangle with Right < Left or Bottom < Top is mirrored.
struct TCanvasRecord {
    TRecordKind Kind = TRecordKind::Text;
    TRect Logical;
    TRect Device;
    std::string Text;        ///< the bytes given
    std::u16string Glyphs;   ///< the characters drawn (code page and symbol fonts applied)
    bool WideText = false;   ///< given as characters (TextOutW): Glyphs are drawn, Text is their ANSI form
    TDeviceFont Font;
    TColor PenColor = clBlack;
    int PenWidth = 1;        ///< device pixels
    bool PenVisible = true;
    TColor BrushColor = clWhite;
    bool BrushSolid = true;
    bool Opaque = false;     ///< text background filled with BrushColor
    TBitmap Picture;
    TRect Source;            ///< part of Picture drawn
};

/// Where a canvas's calls go, in device pixels.
class TCanvasBackend {
public:
    virtual ~TCanvasBackend() = default;
    virtual void Play(const TCanvasRecord& record) = 0;
};

/// Canvas. Without a back end (or after Attach(nullptr)) it measures but draws nothing.
class TCanvas {
public:
    TCanvas();
    /// A canvas drawing through backend (not owned) on a device with the given capabilities.
    TCanvas(TCanvasBackend* backend, const TDeviceCaps& caps);
    virtual ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TFont Font;
    TPen Pen;
    TBrush Brush;

    HDC Handle() { return this; }
    /// Whether drawing calls reach a device; without a back end they only move the pen and set
    /// the background mode, while text is measured as always.
    bool Draws() const { return FBackend != nullptr; }

    /// Text with its top-left corner at (x, y); the background is filled when the brush is solid.
    void TextOut(int x, int y, const std::string& text);
    int TextWidth(const std::string& text);
    /// Text given as characters instead of bytes of the ANSI code page, so that a program's own
    /// symbols print the same in every code page. Text background as for TextOut.
    void TextOutW(int x, int y, std::u16string_view text);
    int TextWidthW(std::u16string_view text);
    int TextHeight(const std::string& text);
    TSize TextExtent(const std::string& text);
    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void FillRect(const TRect& r);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    TPoint PenPos() const { return FPenPos; }
    /// Draws the graphic at its own size (width and height taken as logical units).
    void Draw(int x, int y, const TGraphic& graphic);
    void StretchDraw(const TRect& rect, const TGraphic& graphic);
    /// Draws part `source` (all when empty) of a bitmap into rect, mirrored when the device
    /// rectangle is reversed.
    void StretchDrawBitmap(const TRect& rect, const TBitmap& bitmap, const TRect& source = TRect{});

    // Device context.
    int SetMapMode(int mode);
    int GetMapMode() const { return FMapMode; }
    TPoint SetWindowOrg(int x, int y);
    TPoint SetViewportOrg(int x, int y);
    /// Extents take effect in MM_ANISOTROPIC and MM_ISOTROPIC only; false otherwise or for 0.
    bool SetWindowExt(int x, int y, TSize* old = nullptr);
    bool SetViewportExt(int x, int y, TSize* old = nullptr);
    TSize WindowExt() const { return FWindowExt; }
    TSize ViewportExt() const { return FViewportExt; }
    TPoint WindowOrg() const { return FWindowOrg; }
    TPoint ViewportOrg() const { return FViewportOrg; }
    void DPtoLP(TPoint* points, int count) const;
    void LPtoDP(TPoint* points, int count) const;
    int GetDeviceCaps(int index) const;
    const TDeviceCaps& DeviceCaps() const { return FCaps; }
    int SetBkMode(int mode);
    int GetBkMode() const { return FBkMode; }
    /// Text through the device context: current font, the device context's background mode.
    void DeviceTextOut(int x, int y, const std::string& text);
    /// Draws a device-independent bitmap (see GetDIB) stretched; returns the lines drawn, 0 on
    /// a header it cannot read.
    int StretchDIBits(int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                      int srcHeight, const void* bits, const void* info, unsigned usage, uint32_t rop);

    /// Points the canvas at another back end and device. `sheetOffset` is where the device
    /// context's origin lies on the sheet (printers: the printable area's offset). The device
    /// context is reset (MM_TEXT, origins 0, opaque background).
    void Attach(TCanvasBackend* backend, const TDeviceCaps& caps, TPoint sheetOffset = TPoint{});
    void ResetDeviceContext();
    /// Device pixel of the device context's origin measured from the sheet's corner.
    TPoint SheetOffset() const { return FSheetOffset; }
    /// Sends a record already in device pixels (metafile replay).
    void PlayRecord(const TCanvasRecord& record);

    /// Device pixel size of the current font's character height.
    int FontPixelSize() const;

private:
    void EmitText(int x, int y, const std::string& text, bool opaque);
    void EmitRecord(TCanvasRecord& r, int x, int y, double width, double height, bool opaque);
    TCanvasRecord NewRecord(TRecordKind kind) const;
    TDeviceFont CurrentDeviceFont() const;
    int DeviceLength(int logical, bool vertical) const;
    int LogicalLength(double device, bool vertical) const;

    TCanvasBackend* FBackend = nullptr;
    TDeviceCaps FCaps;
    TPoint FSheetOffset;
    int FMapMode = MM_TEXT;
    TPoint FWindowOrg, FViewportOrg;
    TSize FWindowExt{1, 1}, FViewportExt{1, 1};
    int FBkMode = OPAQUE;
    TPoint FPenPos;
};

// The device-context functions of the Windows graphics interface, over a canvas.
int SetMapMode(HDC dc, int mode);
int GetMapMode(HDC dc);
bool SetWindowOrgEx(HDC dc, int x, int y, TPoint* old);
bool SetViewportOrgEx(HDC dc, int x, int y, TPoint* old);
bool SetWindowExtEx(HDC dc, int x, int y, TSize* old);
bool SetViewportExtEx(HDC dc, int x, int y, TSize* old);
bool DPtoLP(HDC dc, TPoint* points, int count);
bool LPtoDP(HDC dc, TPoint* points, int count);
int GetDeviceCaps(HDC dc, int index);
int SetBkMode(HDC dc, int mode);
bool TextOut(HDC dc, int x, int y, const char* text, int length);
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const void* info, unsigned usage, uint32_t rop);

/// The byte-to-character mapping used for canvas text; by default the process's ANSI code page
/// (GetACP), followed whenever it changes. Widths are cached per byte, so a program that installs
/// a decoder of its own after drawing installs it again (or nullptr) when its mapping changes.
using TTextDecoder = char16_t (*)(unsigned char);
void SetCanvasTextDecoder(TTextDecoder decoder);

/// Limits the font search of the process to the fonts folders and their caches, without the
/// system's font configuration, whose reading costs more than everything else a short run does,
/// when the folders hold every face (plain, bold, italic, both) of `fonts`; false (nothing
/// changed) otherwise. Each face is then read from its file once and sized from there. For
/// unattended runs, whose faces are all named by the program and only measured (faces made from
/// file bytes cannot be embedded in PDF documents); call it before the first text is measured.
bool LimitFontSearch(std::initializer_list<const char*> fonts);
