// Basic graphics types of the class library: colours, points and rectangles, fonts, pens and
// brushes, the device constants of the Windows graphics interface, and the abstract graphic that
// bitmaps, JPEG pictures and metafiles derive from. Used by the canvas, printing and forms.
#pragma once

#include "Exceptions.h"

#include <cstdint>
#include <functional>
#include <string>

class TCanvas;
class TStream;

/// Raised for pictures that cannot be loaded or used (bad format, unknown extension).
class EInvalidGraphic : public Exception { using Exception::Exception; };

/// Colour as 0x00BBGGRR.
using TColor = int32_t;
constexpr TColor RGB(int r, int g, int b) { return (r & 255) | ((g & 255) << 8) | ((b & 255) << 16); }
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clGreen = 0x008000;
constexpr TColor clBlue = 0xFF0000;
constexpr int GetRValue(TColor c) { return c & 255; }
constexpr int GetGValue(TColor c) { return (c >> 8) & 255; }
constexpr int GetBValue(TColor c) { return (c >> 16) & 255; }

struct TPoint {
    int32_t x = 0, y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};
struct TSize {
    int32_t cx = 0, cy = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};
struct TRect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    int32_t Width() const { return Right - Left; }
    int32_t Height() const { return Bottom - Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};
inline TRect Rect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }
inline TPoint Point(int x, int y) { return TPoint{x, y}; }

// Mapping modes.
constexpr int MM_TEXT = 1;
constexpr int MM_LOMETRIC = 2;
constexpr int MM_HIMETRIC = 3;
constexpr int MM_LOENGLISH = 4;
constexpr int MM_HIENGLISH = 5;
constexpr int MM_TWIPS = 6;
constexpr int MM_ISOTROPIC = 7;
constexpr int MM_ANISOTROPIC = 8;

// Device capabilities.
constexpr int HORZSIZE = 4;
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int PHYSICALWIDTH = 110;
constexpr int PHYSICALHEIGHT = 111;
constexpr int PHYSICALOFFSETX = 112;
constexpr int PHYSICALOFFSETY = 113;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Device-independent bitmap constants.
constexpr unsigned DIB_RGB_COLORS = 0;
constexpr uint32_t SRCCOPY = 0x00CC0020;

/// What a device offers: resolution, sheet size and printable area, in device pixels.
struct TDeviceCaps {
    int LogPixelsX = 96, LogPixelsY = 96;
    int PhysicalWidth = 0, PhysicalHeight = 0;
    int PhysicalOffsetX = 0, PhysicalOffsetY = 0;
    int HorzRes = 0, VertRes = 0;
    int BitsPixel = 24;
};

enum TFontStyles : unsigned { fsNone = 0, fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
constexpr TFontStyles operator|(TFontStyles a, TFontStyles b) {
    return static_cast<TFontStyles>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool HasStyle(TFontStyles set, TFontStyles one) { return (set & one) != 0; }

/// A font: `Height` in logical units of the canvas it is used on (negative: character height,
/// positive: cell height); `Size` in points is Height converted through `PixelsPerInch`.
class TFont {
public:
    std::string Name = "MS Sans Serif";
    int Height = -11;
    TFontStyles Style = fsNone;
    TColor Color = clBlack;
    int PixelsPerInch = 96;

    int Size() const;
    void SetSize(int points);
    friend bool operator==(const TFont&, const TFont&) = default;
};

enum TPenStyle { psSolid, psClear };
/// Pen: `Width` in logical units (0 and 1 draw one device pixel).
class TPen {
public:
    int Width = 1;
    TColor Color = clBlack;
    TPenStyle Style = psSolid;
    friend bool operator==(const TPen&, const TPen&) = default;
};

enum TBrushStyle { bsSolid, bsClear };
/// Brush: fills rectangles; a solid brush also makes text backgrounds opaque in its colour.
class TBrush {
public:
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    friend bool operator==(const TBrush&, const TBrush&) = default;
};

/// Abstract picture: loads from files and streams and draws itself stretched into a rectangle.
/// The pixel budget: every picture reader checks the size a file declares against it before it
/// allocates anything. Default 64 megapixels (an A4 page at 600 dots per inch is about 35).
int64_t PixelBudget();
/// Sets the budget (pixels; values below 1 become 1). Process-wide.
void SetPixelBudget(int64_t pixels);
/// Raises EInvalidGraphic "Image size exceeds the pixel budget" when width or height is negative or
/// width × height exceeds the budget; does nothing otherwise.
void CheckPixelBudget(int64_t width, int64_t height);

/// A question a picture asks the user while saving, answered OK (true) or Cancel. The forms layer
/// installs the box it shows; with no hook installed the answer is OK.
using TGraphicQuestionHook = std::function<bool(const std::string& question)>;
void SetGraphicQuestionHook(TGraphicQuestionHook hook);
bool AskGraphicQuestion(const std::string& question);

class TGraphic {
public:
    virtual ~TGraphic() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Empty() const = 0;
    /// Opens the file (EFOpenError when it cannot) and loads it with LoadFromStream.
    virtual void LoadFromFile(const std::string& fileName);
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    /// Draws the graphic stretched into rect (logical units of the canvas).
    virtual void Draw(TCanvas& canvas, const TRect& rect) const = 0;
};
