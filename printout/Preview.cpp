// The print preview: activation through the job's events, the page cache, rendering in order,
// zoom states, click zoom, drag scrolling and painting.
#include "Preview.h"

#include <algorithm>

#include "Printers.h"

tPrintPreview::tPrintPreview(TComponent* AOwner) : TScrollBox(AOwner) {
    SetColor(clGray);
    SetBounds(Left(), Top(), 128, 128);
}

tPrintPreview::~tPrintPreview() {
    try {
        SetPrintout(nullptr);
    } catch (...) {
        // An OnRelease that raises cannot stop the preview from going.
    }
}

// --- binding and activation ---------------------------------------------------------------------

void tPrintPreview::SetPrintout(tPrintout* printout) {
    SetActive(false);
    if (FPrintout) FPrintout->SetChangeNotification(nullptr);
    FPrintout = printout;
    if (FPrintout) FPrintout->SetChangeNotification([this] { Refresh(); });
    SetActive(true);
}

bool tPrintPreview::CanActivate() const {
    if (!FPrintout || !FPrintout->OnPrintPage) return false;
    try {
        Printer()->PrinterIndex();
        return true;
    } catch (const Exception&) {
        return false;  // no printer: inactive, silently
    }
}

void tPrintPreview::SetActive(bool requested) {
    const bool wanted = requested && CanActivate();
    struct RefreshAtEnd {
        tPrintPreview* Self;
        ~RefreshAtEnd() { Self->Refresh(); }
    } refreshAtEnd{this};
    if (wanted == FActive || !FPrintout) {
        FActive = wanted;
        return;
    }
    if (!wanted) {
        FActive = false;
        if (FPrintout->OnRelease) FPrintout->OnRelease(this);
        return;
    }
    bool success = true;
    try {
        if (FPrintout->OnPrepare) FPrintout->OnPrepare(this, success);
        if (success && FPrintout->OnHasData) FPrintout->OnHasData(this, success);
    } catch (...) {
        if (FPrintout->OnRelease) FPrintout->OnRelease(this);
        throw;
    }
    if (!success) {
        if (FPrintout->OnRelease) FPrintout->OnRelease(this);
        Abort();
    }
    FActive = true;
}

void tPrintPreview::Refresh() {
    ClearCache();
    FFinalPageNumber = 0;
    FRenderPos = 0;
    if (FActive) FPrintout->ComputePrintInformation(FInfo);
    Layout(false);
    Invalidate();
}

// --- layout ---------------------------------------------------------------------------------------

void tPrintPreview::Layout(bool forced) {
    TRect sheet{};
    const int naturalWidth =
        FInfo.PixelsPerInch.x > 0 ? FInfo.PhysicalPageSize.x * ScreenPixelsPerInch / FInfo.PixelsPerInch.x : 0;
    const int naturalHeight =
        FInfo.PixelsPerInch.y > 0 ? FInfo.PhysicalPageSize.y * ScreenPixelsPerInch / FInfo.PixelsPerInch.y : 0;
    // Metrics without a size (a printer that reports none) show no sheet rather than divide by 0.
    const bool showSheet = FActive && naturalWidth > 0 && naturalHeight > 0;
    if (showSheet) {
        const int width = std::max(96, ClientWidth() - 2 * FMargin);
        const int height = std::max(96, ClientHeight() - 2 * FMargin);
        if (FZoomState == zsPageWidth) FZoom = (width - ScrollBarWidth) * 100 / naturalWidth;
        else if (FZoomState == zsFullPage)
            FZoom = std::min(width * 100 / naturalWidth, height * 100 / naturalHeight);
        sheet = TRect{FMargin, FMargin, FMargin + naturalWidth * FZoom / 100, FMargin + naturalHeight * FZoom / 100};
    }
    const bool changed = !(sheet == FSheet);
    if (!forced && !changed) return;
    FSheet = sheet;
    const int border = showSheet ? FMargin : 0;
    HorzScrollBar.SetRange(sheet.Right + border);
    VertScrollBar.SetRange(sheet.Bottom + border);
    // The window's scroll bars follow the new ranges at once: a sheet that now fits shows none.
    TControl::Changed();
    if (changed) Invalidate(true);
    Changed();
}

void tPrintPreview::Resized() { Layout(true); }

// --- rendering and the cache ----------------------------------------------------------------------

const TMetafile* tPrintPreview::CachedPage(int n) const {
    if (n < 1 || n > static_cast<int>(FPages.size())) return nullptr;
    return FPages[static_cast<std::size_t>(n - 1)].get();
}

void tPrintPreview::ClearCache() {
    FPages.clear();
    FOrder.clear();
}

const TMetafile* tPrintPreview::RenderPage(int n) {
    if (const TMetafile* cached = CachedPage(n)) return cached;
    if (!FActive || n < 1 || (FFinalPageNumber > 0 && FFinalPageNumber < n)) return nullptr;
    auto page = std::make_unique<TMetafile>();
    page->SetWidth(FInfo.PhysicalPageSize.x);
    page->SetHeight(FInfo.PhysicalPageSize.y);
    // The recording measures text as the printer does, so pages break as they do on paper.
    TDeviceCaps caps;
    caps.LogPixelsX = FInfo.PixelsPerInch.x;
    caps.LogPixelsY = FInfo.PixelsPerInch.y;
    caps.PhysicalWidth = FInfo.PhysicalPageSize.x;
    caps.PhysicalHeight = FInfo.PhysicalPageSize.y;
    caps.PhysicalOffsetX = FInfo.PhysicalOffset.x;
    caps.PhysicalOffsetY = FInfo.PhysicalOffset.y;
    caps.HorzRes = FInfo.PhysicalPageSize.x - 2 * FInfo.PhysicalOffset.x;
    caps.VertRes = FInfo.PhysicalPageSize.y - 2 * FInfo.PhysicalOffset.y;
    bool moreData = false;
    const auto renderOn = [&](TCanvas& canvas) {
        if (FPrintout->MapMode != mmText && FInfo.PixelsPerInch.x > 0 && FInfo.PixelsPerInch.y > 0) {
            const TPoint unitsPerInch = FPrintout->LogicalUnitsPerInch();
            canvas.SetMapMode(MM_ANISOTROPIC);
            canvas.SetWindowExt(FInfo.PhysicalPageSize.x * unitsPerInch.x / FInfo.PixelsPerInch.x,
                                FInfo.PhysicalPageSize.y * unitsPerInch.y / FInfo.PixelsPerInch.y);
            canvas.SetViewportExt(FInfo.PhysicalPageSize.x, FInfo.PhysicalPageSize.y);
        } else {
            canvas.SetMapMode(MM_TEXT);
        }
        FPrintout->ResetCanvas(canvas);
        FPrintout->OnPrintPage(this, canvas, FInfo, n, moreData);
    };
    if (RecordPages) {
        TMetafileCanvas canvas(*page, &caps);
        renderOn(canvas);
    } else {
        TCanvas canvas(nullptr, caps);
        renderOn(canvas);
    }
    if (!moreData) FFinalPageNumber = n;
    Store(n, std::move(page));
    return CachedPage(n);
}

void tPrintPreview::Store(int n, std::unique_ptr<TMetafile> page) {
    if (static_cast<int>(FPages.size()) < n) FPages.resize(static_cast<std::size_t>(n));
    FPages[static_cast<std::size_t>(n - 1)] = std::move(page);
    FOrder.push_back(n);
    Trim();
}

void tPrintPreview::Trim() {
    while (static_cast<int>(FOrder.size()) > FPageCache) {
        FPages[static_cast<std::size_t>(FOrder.front() - 1)].reset();
        FOrder.pop_front();
    }
}

const TMetafile* tPrintPreview::WantedPage() {
    if (!FActive) return nullptr;
    if (FFinalPageNumber == 0 && FPageNumber > FRenderPos + 1) {
        // Far ahead of what was rendered: every page in order, up to the wanted or the last one.
        for (int n = FRenderPos + 1;; ++n) {
            if (!RenderPage(n)) break;
            FRenderPos = n;
            if (FFinalPageNumber > 0 || n >= FPageNumber) break;
        }
        FPageNumber = std::max(1, FRenderPos);
        Changed();
    }
    return RenderPage(FPageNumber);
}

// --- properties -----------------------------------------------------------------------------------

void tPrintPreview::SetPageNumber(int value) {
    int n = value;
    if (FFinalPageNumber > 0 && FFinalPageNumber < n) n = FFinalPageNumber;
    if (n == FPageNumber || n < 1) return;
    FPageNumber = n;
    Invalidate(false);
    Changed();
    WantedPage();
}

void tPrintPreview::SetFinalPageNumber(int value) {
    if (value < 0 || value == FFinalPageNumber) return;
    FFinalPageNumber = value;
    if (value >= 1 && value < FPageNumber) SetPageNumber(value);
}

void tPrintPreview::SetMargin(int value) {
    if (value == FMargin) return;
    if (value >= 1 && value <= 255) FMargin = value;
    Layout(false);
}

void tPrintPreview::SetPageCache(int value) {
    if (value < 1) return;
    FPageCache = value;
    Trim();
}

void tPrintPreview::SetZoom(int value) {
    if (value == FZoom || value < 10 || value > 500) return;
    FZoom = value;
    FZoomState = zsCustom;
    Layout(false);
}

void tPrintPreview::SetZoomState(tZoomState value) {
    if (value == FZoomState) return;
    FZoomState = value;
    Layout(false);
}

void tPrintPreview::Changed() {
    if (OnChange) OnChange(this);
}

// --- mouse ----------------------------------------------------------------------------------------

void tPrintPreview::MouseDown(TMouseButton button, int x, int y) {
    if (!FActive) return;
    if (button == TMouseButton::mbLeft && AllowZoom) {
        if (FZoomState == zsCustom) {
            SetZoomState(zsFullPage);
            return;
        }
        const int width = FSheet.Right - FSheet.Left, height = FSheet.Bottom - FSheet.Top;
        if (width <= 0 || height <= 0) return;
        const int fx = (x + HorzScrollBar.Position() - FSheet.Left) * 1000 / width;
        const int fy = (y + VertScrollBar.Position() - FSheet.Top) * 1000 / height;
        // 100 % in the custom state even when the fitted zoom happened to be 100 already.
        FZoom = 100;
        FZoomState = zsCustom;
        Layout(false);
        const int newWidth = FSheet.Right - FSheet.Left, newHeight = FSheet.Bottom - FSheet.Top;
        HorzScrollBar.SetPosition(FSheet.Left + newWidth * fx / 1000 - ClientWidth() / 2);
        VertScrollBar.SetPosition(FSheet.Top + newHeight * fy / 1000 - ClientHeight() / 2);
    } else if (button == TMouseButton::mbRight && AllowDrag) {
        FDragging = true;
        FDragX = x;
        FDragY = y;
        Screen->SetCursor(DragCursor);
    }
}

void tPrintPreview::MouseMove(int x, int y) {
    if (!FDragging) return;
    HorzScrollBar.SetPosition(HorzScrollBar.Position() + FDragX - x);
    VertScrollBar.SetPosition(VertScrollBar.Position() + FDragY - y);
    FDragX = x;
    FDragY = y;
}

void tPrintPreview::MouseUp(TMouseButton button, int, int) {
    if (button != TMouseButton::mbRight || !FDragging) return;
    FDragging = false;
    Screen->SetCursor(crDefault);
}

// --- painting -------------------------------------------------------------------------------------

void tPrintPreview::Paint(TCanvas& canvas) {
    if (!FActive) return;
    const int dx = HorzScrollBar.Position(), dy = VertScrollBar.Position();
    const TRect sheet{FSheet.Left - dx, FSheet.Top - dy, FSheet.Right - dx, FSheet.Bottom - dy};
    canvas.Pen.Color = clBlack;
    canvas.Pen.Style = psSolid;
    canvas.Brush.Color = clWhite;
    canvas.Brush.Style = bsSolid;
    canvas.Rectangle(sheet.Left - 1, sheet.Top - 1, sheet.Right + 1, sheet.Bottom + 1);
    canvas.Brush.Color = clBlack;
    canvas.FillRect(TRect{sheet.Right, sheet.Top + 4, sheet.Right + 4, sheet.Bottom + 4});
    canvas.FillRect(TRect{sheet.Left + 4, sheet.Bottom, sheet.Right + 4, sheet.Bottom + 4});
    if (const TMetafile* page = WantedPage()) canvas.StretchDraw(sheet, *page);
}
