// The print job: checking the printer, preparing, the page loop on the printer's canvas with the
// logical origin on the sheet's corner, and the release, in that order on every path.
#include "Printout.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {
const char* const kUnableToPrint = "Unable to print - Please ensure that your printer is correctly configured";
}

tPrintout::tPrintout(TComponent* AOwner) : TComponent(AOwner) {}

void tPrintout::SetOrientation(TPrinterOrientation value) {
    if (value == FOrientation) return;
    FOrientation = value;
    if (FChangeNotification) FChangeNotification();
}

TPoint tPrintout::LogicalUnitsPerInch() const {
    switch (MapMode) {
        case mmHiEnglish: return TPoint{1000, -1000};
        case mmHiMetric: return TPoint{2540, -2540};
        case mmLoEnglish: return TPoint{100, -100};
        case mmLoMetric: return TPoint{254, -254};
        case mmTwips: return TPoint{1440, -1440};
        default: return TPoint{0, 0};
    }
}

int tPrintout::MapModeValue() const {
    switch (MapMode) {
        case mmHiEnglish: return MM_HIENGLISH;
        case mmHiMetric: return MM_HIMETRIC;
        case mmLoEnglish: return MM_LOENGLISH;
        case mmLoMetric: return MM_LOMETRIC;
        case mmTwips: return MM_TWIPS;
        default: return MM_TEXT;
    }
}

void tPrintout::ComputePrintInformation(tPrintInformation& info) {
    if (FPrinting) {
        info = FPrintInformation;
        return;
    }
    if (!FJobActive) Printer()->SetOrientation(FOrientation);
    std::unique_ptr<TCanvas> ic;
    HDC dc = nullptr;
    try {
        dc = Printer()->Handle();
    } catch (const EPrinter&) {
        ic = Printer()->CreateIC();
        dc = ic.get();
    }
    info.PixelsPerInch = TPoint{GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY)};
    info.PhysicalPageSize = TPoint{GetDeviceCaps(dc, PHYSICALWIDTH), GetDeviceCaps(dc, PHYSICALHEIGHT)};
    info.PageSize = info.PhysicalPageSize;
    info.PhysicalOffset = TPoint{GetDeviceCaps(dc, PHYSICALOFFSETX), GetDeviceCaps(dc, PHYSICALOFFSETY)};
    info.PrintableArea = TRect{info.PhysicalOffset.x, info.PhysicalOffset.y,
                               info.PhysicalOffset.x + GetDeviceCaps(dc, HORZRES),
                               info.PhysicalOffset.y + GetDeviceCaps(dc, VERTRES)};
    info.Pixels1000 = TPoint{1000, 1000};
    TPoint work{0, info.PixelsPerInch.y};

    SetMapMode(dc, MapModeValue());
    DPtoLP(dc, &info.PageSize, 1);
    TPoint corners[2] = {{info.PrintableArea.Left, info.PrintableArea.Top},
                         {info.PrintableArea.Right, info.PrintableArea.Bottom}};
    DPtoLP(dc, corners, 2);
    info.PrintableArea = TRect{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    DPtoLP(dc, &work, 1);
    DPtoLP(dc, &info.Pixels1000, 1);

    info.PageSize = TPoint{std::abs(info.PageSize.x), std::abs(info.PageSize.y)};
    info.UnitsPerPoint = std::abs(work.y) / 72.0;
}

void tPrintout::ResetCanvas(TCanvas& canvas) {
    SetBkMode(canvas.Handle(), TRANSPARENT);
    canvas.Brush.Color = clWhite;
    canvas.Brush.Style = bsSolid;
    canvas.Font.Name = "Arial";
    canvas.Font.Color = clBlack;
    canvas.Font.Style = fsNone;
    TextOut(canvas.Handle(), 0, 0, " ", 1);
}

void tPrintout::RunPages() {
    TPrinter& printer = *Printer();
    TCanvas& canvas = printer.Canvas();
    bool moreData = true;
    while (moreData) {
        SetMapMode(canvas.Handle(), MapModeValue());
        SetViewportOrgEx(canvas.Handle(), -FPrintInformation.PhysicalOffset.x, -FPrintInformation.PhysicalOffset.y, nullptr);
        ResetCanvas(canvas);
        moreData = false;
        OnPrintPage(this, canvas, FPrintInformation, printer.PageNumber(), moreData);
        if (moreData) printer.NewPage();
    }
}

void tPrintout::Print() {
    try {
        Printer()->PrinterIndex();
    } catch (const EPrinter&) {
        throw EPrinter(kUnableToPrint);
    }
    if (OnPrintPage) {
        try {
            bool success = true;
            if (OnPrepare) OnPrepare(this, success);
            bool hasData = true;
            if (success && OnHasData) OnHasData(this, hasData);
            if (success && hasData) {
                TPrinter& printer = *Printer();
                printer.SetOrientation(FOrientation);
                printer.Title = Title;
                printer.BeginDoc();
                try {
                    FJobActive = true;
                    ComputePrintInformation(FPrintInformation);
                    FPrinting = true;
                    RunPages();
                } catch (...) {
                    FPrinting = FJobActive = false;
                    try {
                        printer.EndDoc();
                    } catch (...) {
                        // The page handler's exception is the one reported.
                    }
                    throw;
                }
                FPrinting = FJobActive = false;
                printer.EndDoc();
            }
        } catch (...) {
            if (OnRelease) OnRelease(this);
            throw;
        }
        if (OnRelease) OnRelease(this);
    }
    // Reloads the printer's defaults for its next user.
    Printer()->SetPrinterIndex(Printer()->PrinterIndex());
}

void PrintBitmap(TCanvas& canvas, const TRect& rect, const TBitmap& bitmap) {
    // A canvas that only measures shows nothing: the bitmap is not converted at all.
    if (bitmap.Empty() || !canvas.Draws()) return;
    uint32_t infoSize = 0, imageSize = 0;
    GetDIBSizes(bitmap, infoSize, imageSize);
    std::vector<uint8_t> info(infoSize), image(imageSize);
    GetDIB(bitmap, info.data(), image.data());
    StretchDIBits(canvas.Handle(), rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top, 0, 0,
                  bitmap.Width(), bitmap.Height(), image.data(), info.data(), DIB_RGB_COLORS, SRCCOPY);
}
