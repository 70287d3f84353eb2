// The print job component: runs a print job page by page through its events, in a chosen
// mapping mode, on the printer's canvas; the print preview runs the same page event on metafile
// canvases. Also the page metrics record handed to every page and the full-page bitmap routine.
#pragma once

#include "Bitmap.h"
#include "Canvas.h"
#include "Classes.h"
#include "Printers.h"

#include <functional>
#include <string>

enum tMapMode { mmHiEnglish, mmHiMetric, mmLoEnglish, mmLoMetric, mmText, mmTwips };

/// Page metrics of the current printer in the chosen mapping mode. Sixteen 32-bit words.
struct tPrintInformation {
    TPoint PixelsPerInch;     ///< LOGPIXELSX, LOGPIXELSY
    TPoint PhysicalPageSize;  ///< whole sheet, device pixels
    TPoint PhysicalOffset;    ///< printable area's distance from the sheet's corner, device pixels
    TPoint PageSize;          ///< whole sheet, logical units, both positive
    TRect PrintableArea;      ///< logical units, signs as the mapping mode gives them
    double UnitsPerPoint = 0; ///< logical units per 1/72 inch
    TPoint Pixels1000;        ///< 1000 device pixels in logical units
};
static_assert(sizeof(tPrintInformation) == 64, "sixteen 32-bit words");

using tPrepareEvent = std::function<void(TObject* Sender, bool& Success)>;
using tHasDataEvent = std::function<void(TObject* Sender, bool& HasData)>;
using tPrintPageEvent = std::function<void(TObject* Sender, TCanvas& Canvas, tPrintInformation PrintInformation,
                                           int PageNumber, bool& MoreData)>;

/// A non-visual component: its own events name it as their sender.
class tPrintout : public TComponent {
public:
    /// Title "Printout", MapMode mmLoMetric, Orientation poPortrait.
    explicit tPrintout(TComponent* AOwner = nullptr);

    tMapMode MapMode = mmLoMetric;
    std::string Title = "Printout";
    tHasDataEvent OnHasData;
    tPrepareEvent OnPrepare;
    tPrintPageEvent OnPrintPage;
    TNotifyEvent OnRelease;

    TPrinterOrientation Orientation() const { return FOrientation; }
    /// Stores a new value and calls the change notification; an equal value does nothing.
    void SetOrientation(TPrinterOrientation value);
    /// The notification of a bound preview, called when Orientation changes.
    void SetChangeNotification(std::function<void()> notification) { FChangeNotification = std::move(notification); }

    /// Runs the job. Raises EPrinter "Unable to print - Please ensure that your printer is
    /// correctly configured" when no printer is selected; passes on a page handler's exception
    /// after ending the job and firing OnRelease.
    void Print();
    /// The metrics of the current printer in MapMode (the kept record while a job runs).
    void ComputePrintInformation(tPrintInformation& info);
    /// Transparent background, white solid brush, black plain "Arial", and a blank at (0, 0).
    void ResetCanvas(TCanvas& canvas);
    /// Logical units per inch of MapMode (y negative; (0, 0) for mmText).
    TPoint LogicalUnitsPerInch() const;
    /// The device-context mapping mode of MapMode.
    int MapModeValue() const;

private:
    void RunPages();

    TPrinterOrientation FOrientation = poPortrait;
    std::function<void()> FChangeNotification;
    tPrintInformation FPrintInformation;
    bool FPrinting = false;   ///< metric requests return the kept record
    bool FJobActive = false;  ///< from BeginDoc to the job's end: orientation left alone
};

/// Prints bitmap stretched into rect (logical units of canvas) as a device-independent bitmap.
void PrintBitmap(TCanvas& canvas, const TRect& rect, const TBitmap& bitmap);
