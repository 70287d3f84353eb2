// The print preview: a scrolling control that shows the pages of a bound print job. Pages are
// rendered in order through the job's own page event into metafiles, kept in a small cache and
// drawn scaled to the zoom on a grey background, with a white sheet, a frame and a shadow.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "Forms.h"
#include "Metafile.h"
#include "Printout.h"

enum tZoomState { zsCustom, zsPageWidth, zsFullPage };

class tPrintPreview : public TScrollBox {
public:
    /// Defaults: drag and zoom allowed, hand cursor, margin 16, cache 8, page 1, zoom 100 fitted
    /// to the page width, grey, 128 x 128.
    explicit tPrintPreview(TComponent* AOwner);
    /// Unbinds the printout (its OnRelease fires when the preview is active) and frees the pages.
    ~tPrintPreview() override;

    bool AllowDrag = true;
    bool AllowZoom = true;
    TCursor DragCursor = crHandPoint;
    TNotifyEvent OnChange;
    /// False: pages are laid out through the job's page event on a canvas that measures text as
    /// the printer does but records nothing, for runs that nobody looks at (each cached page is
    /// then an empty metafile of the sheet's size). Set before the first page is rendered.
    bool RecordPages = true;

    /// The last page; 0 while unknown. Negative values and the current value are ignored; a
    /// value below PageNumber moves PageNumber to it.
    int FinalPageNumber() const { return FFinalPageNumber; }
    void SetFinalPageNumber(int value);
    /// Blank border around the sheet in pixels; 1-255 accepted.
    int Margin() const { return FMargin; }
    void SetMargin(int value);
    /// Rendered pages kept; values below 1 ignored. Fewer pages drop the oldest rendered.
    int PageCache() const { return FPageCache; }
    void SetPageCache(int value);
    /// The page shown; values below 1 ignored, clamped to FinalPageNumber when known. While the
    /// last page is unknown, a page beyond those rendered renders every page in order up to it
    /// (or up to the last page) before the call returns.
    int PageNumber() const { return FPageNumber; }
    void SetPageNumber(int value);
    /// Binds a print job (nullptr: none) and activates the preview when the job can print.
    /// Activation runs the job's OnPrepare and OnHasData; a refusal fires OnRelease and raises
    /// the silent abort.
    tPrintout* Printout() const { return FPrintout; }
    void SetPrintout(tPrintout* printout);
    /// Per cent of the sheet's natural size on the screen; 10-500 accepted, switches to zsCustom.
    int Zoom() const { return FZoom; }
    void SetZoom(int value);
    tZoomState ZoomState() const { return FZoomState; }
    void SetZoomState(tZoomState value);

    bool Active() const { return FActive; }
    /// The sheet in scroll coordinates (empty while inactive).
    TRect SheetRect() const { return FSheet; }
    /// The rendered page n, or nullptr when it is not cached.
    const TMetafile* CachedPage(int n) const;
    int CachedPageCount() const { return static_cast<int>(FOrder.size()); }
    /// The page painting shows: PageNumber, rendered first when needed.
    const TMetafile* WantedPage();
    /// The preview's copy of the job's page metrics.
    const tPrintInformation& PrintInformation() const { return FInfo; }

    void MouseDown(TMouseButton button, int x, int y) override;
    void MouseMove(int x, int y) override;
    void MouseUp(TMouseButton button, int x, int y) override;
    void Paint(TCanvas& canvas) override;
    void Resized() override;

    /// Screen metrics the layout uses.
    static constexpr int ScreenPixelsPerInch = 96;
    static constexpr int ScrollBarWidth = 17;

private:
    void SetActive(bool requested);
    bool CanActivate() const;
    void Refresh();
    void Layout(bool forced);
    void ClearCache();
    /// Renders page n (or takes it from the cache); nullptr when there is no page n.
    const TMetafile* RenderPage(int n);
    void Store(int n, std::unique_ptr<TMetafile> page);
    void Trim();
    void Changed();

    tPrintout* FPrintout = nullptr;
    bool FActive = false;
    bool FDragging = false;
    int FDragX = 0, FDragY = 0;
    int FFinalPageNumber = 0;
    int FMargin = 16;
    int FPageCache = 8;
    int FPageNumber = 1;
    int FZoom = 100;
    tZoomState FZoomState = zsPageWidth;
    TRect FSheet{};
    tPrintInformation FInfo{};
    /// Highest page reached by rendering in order; pages 1 .. FRenderPos were rendered in turn.
    int FRenderPos = 0;
    /// Page n is FPages[n - 1] (or nullptr); FOrder lists the cached pages oldest first, and
    /// holds exactly the pages whose entry is set.
    std::vector<std::unique_ptr<TMetafile>> FPages;
    std::deque<int> FOrder;
};
