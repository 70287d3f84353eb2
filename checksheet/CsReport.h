// The checksheet report: the data module that owns the print job `prnReport` and answers its
// events. One page routine lays out the header, walks the checksheet structure, prints the
// closing sections and the footer, and in XML mode builds the XML document as it goes; the print
// job calls it on the printer's canvas, the preview form on metafile canvases.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "Printout.h"

class TTable;

/// Font height and line height of one point size, in logical units.
struct TFontMetric {
    int Height = 0;      ///< -round(size x units per point): selects the character height
    int LineHeight = 0;  ///< text height of "M" in that font
};

/// The layout of the page being printed: built by InitPageLayout on every page call and shared by
/// every procedure of that call; nothing of it survives the call. Coordinates are 0.1 mm, y grows
/// upwards, so Y falls as the page fills.
struct PageLayout {
    TCanvas* Canvas = nullptr;
    int BoxUnit = 100;  ///< the basic spacing unit
    int Inset = 10;     ///< text inset inside boxes and bands
    int Shadow = 5;     ///< offset of a box's grey shadow
    int Left = 0, Right = 0, Top = 0;
    int ColumnLeft = 0;  ///< left edge of the operation area
    int OpTextX = 800;   ///< x of the operation text column (absolute)
    int TickX = 0;       ///< right edge of the operation text column
    int Level2X = 400;   ///< x of the level-2 sub-heading column (absolute)
    TFontMetric FontTable[21];  ///< entries 7 to 20 used
    std::string ContinuedText;  ///< suffix of a repeated main heading
    int Y = 0;            ///< current line: the top of the next thing to print
    int BlockBottom = 0;  ///< lowest y reached by the header blocks
    int FrameTop = 0;     ///< y at which the operation area begins
    /// What stands in the header's right-hand columns (the ticked-options labels, the dealer's
    /// lines): a text printed to their left gives way to those on its own line only.
    struct Beside {
        int Left = 0, Top = 0, Bottom = 0;
    };
    Beside HeaderRight[16];  // five options rows and nine dealer's lines at most
    int HeaderRightCount = 0;
    void AddHeaderRight(const Beside& b) {
        if (HeaderRightCount < 16) HeaderRight[HeaderRightCount++] = b;
    }
    bool BodyPrinted = false;  ///< something of the body (headings, operations, sections) is on the page
};

/// The three columns of one operation line, one entry per printed line (empty: nothing there).
struct OperationLayout {
    std::vector<std::string> Level1Lines, Level2Lines, OpLines;
    int MaxLines = 0;  ///< lines of the tallest column
};

/// Breaks `text` into lines no wider than `width` on `canvas` in its current font, at blanks, with
/// "^" as a forced break. A word wider than the column is broken at the column width; a line keeps
/// the blank it broke at. Every call ends: each line takes at least one character.
std::vector<std::string> WrapColumnText(TCanvas& canvas, std::string text, int width);

/// The parts of an operation text that become XML statements: split at "^", then at "~", each with
/// its continuation and right-alignment flags, in order.
struct StatementPiece {
    bool Continuation = false;
    bool AlignRight = false;
    std::string Text;
    friend bool operator==(const StatementPiece&, const StatementPiece&) = default;
};
std::vector<StatementPiece> SplitStatements(const std::string& text);

/// A smoke limit as the XML carries it: a trailing ".0" (zeros after the point) dropped.
std::string TrimSmokeLimit(const std::string& value);
/// A distance with a thousands separator before the last three digits (none below 1000).
std::string FormatDistance(int distance, char separator);

class TField;

class TmodReporting : public TComponent {
public:
    explicit TmodReporting(TComponent* AOwner);
    ~TmodReporting() override;

    /// The print job: map mode mmLoMetric, portrait, title "Printout"; OnHasData unassigned.
    std::unique_ptr<tPrintout> prnReport;

    void prnReportPrepare(TObject* Sender, bool& Success);
    void prnReportRelease(TObject* Sender);
    void prnReportPrintPage(TObject* Sender, TCanvas& Canvas, tPrintInformation PrintInformation, int PageNumber,
                            bool& MoreData);

    // Page geometry, header and footer.
    void InitPageLayout(PageLayout& L, TCanvas& canvas, const tPrintInformation& info);
    void AdvanceLines(PageLayout& L, int n) { L.Y -= n * 42; }
    void DrawBox(PageLayout& L, int x1, int y1, int x2, int y2, bool shadow);
    bool PageFull(int y) const;
    void PrintPageHeader(PageLayout& L);
    void PrintDealerBlock(PageLayout& L);
    void PrintCustomerBlock(PageLayout& L);
    void PrintVOREXLine(PageLayout& L);
    void PrintVehicleBlock(PageLayout& L);
    static bool HasCustomerDetails();
    void PrintPageFooter(PageLayout& L, const std::string& centreText);

    // The structure walk and the operation lines.
    bool IsOperationIncluded();
    bool IsSelectedExtendedOperation();
    void PrintMainHeading(PageLayout& L);
    bool PrintOperation(PageLayout& L);
    int LayoutOperation(PageLayout& L, OperationLayout& op);
    void WrapOperationText(PageLayout& L, OperationLayout& op, int level);
    void DrawResultCells(PageLayout& L, int n, bool noSeparators);
    void AddOperationStatements(const std::string& text);

    // The closing sections.
    /// Tries every pending section in its order on this page; true when none is left pending.
    bool PrintClosingSections(PageLayout& L);
    bool PrintEmissionTest(PageLayout& L);
    bool PrintBrakeTest(PageLayout& L);
    bool PrintSpecialInstructions(PageLayout& L);
    bool PrintClosingBlock(PageLayout& L);
    bool PrintNextServiceBox(PageLayout& L);
    void PrintWrappedText(PageLayout& L, int x0, int x1, const std::string& text);

    // Report module state, kept between page calls.
    bool GermanLayout = false;  ///< Market = "DX", set at the start of every page
    std::string OptionalAttr;   ///< "true" while the current main heading is optional
    std::string XMLOpText;      ///< composed text of the current operation, for its statements

private:
    void SetFont(PageLayout& L, int size, TFontStyles style);
    /// The title band of an end section: a box 50 high from x0 to x1 below the current line,
    /// filled with `fill`, and the bold 9-point font of its title; the brush is left clear.
    void DrawBand(PageLayout& L, int x0, int x1, TColor fill);
    void DrawTick(PageLayout& L, const TRect& rect);
    void DrawLine(PageLayout& L, int x1, int y1, int x2, int y2);
    void DrawOptionRow(PageLayout& L, const std::string& label, bool ticked);
    /// Prints `text` at (x, y) so that it ends left of `right`: whole in the canvas's font when
    /// it fits, else whole in a smaller height of that font down to 70 % of it, else at 70 % cut
    /// with a visible mark. The font is left as it was.
    static void TextOutFitted(TCanvas& canvas, int x, int y, const std::string& text, int right);
    /// TextOutFitted with `right` moved left of whatever of L.HeaderRight stands on the text's line
    /// to the right of x.
    static void HeaderTextOut(PageLayout& L, int x, int y, const std::string& text, int right);
    void PrintLegends(PageLayout& L);
    void WalkStructure(PageLayout& L);
    bool Fits(const PageLayout& L, int needed) const;
    std::vector<std::string> WrappedTextLines(PageLayout& L, int x0, int x1, const std::string& text);
    int WrappedTextHeight(PageLayout& L, int x0, int x1, const std::string& text);
    void PrintOperationLine(PageLayout& L, const OperationLayout& op, int i);
    std::string PadRightPart(PageLayout& L, const std::string& line);
    void PrintEmissionBlock(PageLayout& L, int kind, bool left, int x0, int m1, int m2, int& pairTop);
    void PrintSmokeTable(PageLayout& L, int x0);
    void PrintResultRow(PageLayout& L, int x0, int formulaX, const std::string& text);
    void PrintMark(PageLayout& L, const char* mark, int x, int y);

    /// Fields the walk reads for every structure row.
    enum class WalkField {
        SequenceNo, MarketCode, LangCode, MHCode, L1SHCode, L2SHCode, OpCode, PartsFlag, LabourFlag,
        OpType, ExtPer, OpsOpCode, OperationText1, OperationText2, PretestText1, PretestText2, CombinedText1,
        CombinedText2, Intervals, MHText, MHExtPer, SHText, Count
    };
    /// The field, found once when the run was prepared (the tables are open then), or by name
    /// outside a run.
    TField* Field(WalkField field);
    std::string WalkStr(WalkField field);
    /// An integer field; empty or unreadable values count as 0.
    int WalkInt(WalkField field);

    int FPageNumber = 0;
    std::string FSubHeadText;  ///< sub-heading of the operation being laid out, for its XML
    /// The walked tables' fields of the current run; nullptr outside a run.
    TField* FWalkFields[static_cast<int>(WalkField::Count)] = {};
};

/// The one report module of the run.
extern TmodReporting* modReporting;
