// The checksheet report: page geometry, header and footer; the walk over the checksheet structure
// with its operation lines; the closing sections. Called page by page by the print job and the
// preview; the walk's position lives in the application state (TolmLib), so pages are produced
// once each, in order. In XML mode every printed line also goes to the XML document (XMLGen).
#include "CsReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "CodePages.h"
#include "ExtCtrls.h"
#include "SysUtils.h"
#include "Tables.h"
#include "TolmLib.h"
#include "XMLGen.h"
#include "charconv.h"

TmodReporting* modReporting = nullptr;

namespace {

constexpr TColor kBandGrey = RGB(192, 192, 192);
constexpr TColor kShadowGrey = RGB(128, 128, 128);
constexpr int kLinePitch = 42;     ///< a printed line
constexpr int kOpLinePitch = 35;   ///< an operation text line
constexpr char kHiddenMark = '\xB6';  ///< ends the visible part of a variant or interval text

TTable& Tbl(std::unique_ptr<TTable> TfrmTables::*table) { return *(frmTables->*table); }

std::string Str(TTable& t, const char* field) { return t.FieldByName(field)->AsString(); }

/// An integer field; empty or unreadable values count as 0.
int Int(TTable& t, const char* field) {
    int value = 0;
    return TryStrToInt(t.FieldByName(field)->AsString(), value) ? value : 0;
}

/// Text up to (not including) the first `mark`, the whole text when it has none.
std::string Before(const std::string& text, char mark) { return text.substr(0, text.find(mark)); }

std::string FirstLetter(const std::string& text) { return text.substr(0, 1); }

/// The bitmap held by a picture of the data module, or nullptr when it holds none (or an empty one).
const TBitmap* PictureBitmap(const std::unique_ptr<TImage>& image) {
    if (!image) return nullptr;
    const auto* bitmap = dynamic_cast<const TBitmap*>(image->Picture().Graphic());
    return bitmap && bitmap->Width() > 0 && bitmap->Height() > 0 ? bitmap : nullptr;
}

/// Width of `text` on the canvas, through a buffer kept by the caller (measuring runs in loops).
int WidthOf(TCanvas& canvas, std::string& buffer, std::string_view text) {
    buffer.assign(text);
    return canvas.TextWidth(buffer);
}

/// The smallest k in [1, limit] whose prefix of `text` is at least `width` wide, or limit + 1 when
/// even the whole prefix of `limit` characters is narrower. Widths grow with the prefix.
std::size_t FirstPrefixReaching(TCanvas& canvas, std::string_view text, std::size_t limit, int width) {
    std::string buffer;
    if (limit == 0 || WidthOf(canvas, buffer, text.substr(0, limit)) < width) return limit + 1;
    std::size_t lo = 1, hi = limit;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (WidthOf(canvas, buffer, text.substr(0, mid)) >= width) hi = mid;
        else lo = mid + 1;
    }
    return lo;
}

/// Breaks text into lines of at most `width`, each cut back to end with a blank; a word wider than
/// the width is cut at the width. Continuation lines begin with `indent`, which is no break point.
std::vector<std::string> BreakAtBlanks(TCanvas& canvas, std::string rest, int width, const std::string& indent) {
    std::vector<std::string> lines;
    std::string buffer;
    while (!rest.empty()) {
        const std::string line = (lines.empty() ? std::string() : indent) + rest;
        const std::size_t fixed = line.size() - rest.size();
        if (WidthOf(canvas, buffer, line) <= width) {
            lines.push_back(line);
            break;
        }
        // Longest prefix within the width (a prefix of k + 1 characters is the first too wide).
        const std::size_t over = FirstPrefixReaching(canvas, line, line.size(), width + 1);
        std::size_t keep = over - 1;
        const std::size_t blank = line.rfind(' ', keep == 0 ? 0 : keep - 1);
        if (blank != std::string::npos && blank >= fixed) keep = blank + 1;
        keep = std::max(keep, fixed + 1);
        lines.push_back(line.substr(0, keep));
        rest.erase(0, keep - fixed);
    }
    return lines;
}

/// Text of the service data widened through the ANSI code page, to be joined with the report's own
/// symbols ("\u00BA", "\u00AF\u00B9"), which print as themselves in every code page.
std::u16string Ansi(const std::string& text) { return MultiByteToWideChar(CP_ACP, text); }

void DropLeadingBreaks(std::string& text) {
    const std::size_t start = text.find_first_not_of(" ^");
    text.erase(0, start == std::string::npos ? text.size() : start);
}

std::string TrimLeadingBlanks(const std::string& text) {
    const std::size_t start = text.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : text.substr(start);
}

}  // namespace

// ---- text helpers --------------------------------------------------------------------------------

std::string TrimSmokeLimit(const std::string& value) {
    const std::size_t point = value.find('.');
    if (point == std::string::npos) return value;
    if (value.find_first_not_of('0', point + 1) != std::string::npos) return value;
    return value.substr(0, point);
}

std::string FormatDistance(int distance, char separator) {
    std::string digits = IntToStr(distance);
    const std::size_t start = digits[0] == '-' ? 1 : 0;
    if (digits.size() - start > 3) digits.insert(digits.size() - 3, 1, separator);
    return digits;
}

std::vector<std::string> WrapColumnText(TCanvas& canvas, std::string text, int width) {
    std::vector<std::string> lines;
    std::string buffer;
    DropLeadingBreaks(text);
    while (!text.empty() && (text.find('^') != std::string::npos || WidthOf(canvas, buffer, text) > width)) {
        const std::size_t caret = text.find('^');
        const std::size_t limit = caret == std::string::npos ? text.size() : caret;
        const std::size_t reach = FirstPrefixReaching(canvas, text, limit, width);
        std::size_t consumed = 0;
        if (reach > limit) {
            // Everything before the forced break fits: that is the line (the "^" goes with it).
            lines.push_back(text.substr(0, limit) + " ");
            consumed = limit + 1;
        } else {
            // Cut back to the last blank; a word wider than the column is cut at the column width.
            const std::size_t blank = text.rfind(' ', reach - 1);
            consumed = blank != std::string::npos ? blank + 1 : std::max<std::size_t>(1, reach - 1);
            lines.push_back(text.substr(0, consumed));
        }
        text.erase(0, std::min(consumed, text.size()));
        DropLeadingBreaks(text);
    }
    if (!text.empty()) lines.push_back(text);
    return lines;
}

std::vector<StatementPiece> SplitStatements(const std::string& text) {
    std::vector<StatementPiece> pieces;
    const auto addPieces = [&pieces](std::string piece) {
        bool emitted = false, afterTilde = false;
        for (std::size_t tilde; (tilde = piece.find('~')) != std::string::npos;) {
            piece = TrimLeadingBlanks(piece);
            tilde = piece.find('~');
            if (tilde > 0) {
                pieces.push_back({emitted, afterTilde, piece.substr(0, tilde)});
                emitted = true;
            }
            piece.erase(0, tilde + 1);
            afterTilde = true;
        }
        piece = TrimLeadingBlanks(piece);
        if (!piece.empty()) pieces.push_back({emitted, afterTilde, piece});
    };
    std::size_t start = 0;
    for (std::size_t caret; (caret = text.find('^', start)) != std::string::npos; start = caret + 1)
        if (caret > start) addPieces(text.substr(start, caret - start));
    if (start < text.size()) addPieces(text.substr(start));
    return pieces;
}

// ---- the data module -----------------------------------------------------------------------------

TmodReporting::TmodReporting(TComponent* AOwner) : TComponent(AOwner) {
    Name = "modReporting";
    prnReport = std::make_unique<tPrintout>(nullptr);
    prnReport->Name = "prnReport";
    prnReport->MapMode = mmLoMetric;
    prnReport->SetOrientation(poPortrait);
    prnReport->Title = "Printout";
    prnReport->OnPrepare = [this](TObject* sender, bool& success) { prnReportPrepare(sender, success); };
    prnReport->OnRelease = [this](TObject* sender) { prnReportRelease(sender); };
    prnReport->OnPrintPage = [this](TObject* sender, TCanvas& canvas, tPrintInformation info, int page, bool& more) {
        prnReportPrintPage(sender, canvas, info, page, more);
    };
}

TmodReporting::~TmodReporting() {
    if (modReporting == this) modReporting = nullptr;
}

namespace {

/// Table and name of each walked field, in the order of TmodReporting::WalkField.
struct WalkFieldName {
    std::unique_ptr<TTable> TfrmTables::*Table;
    const char* Name;
};
const WalkFieldName kWalkFields[] = {
    {&TfrmTables::tblStructure, "SEQUENCE_NO"},     {&TfrmTables::tblStructure, "MARKET_CODE"},
    {&TfrmTables::tblStructure, "LANG_CODE"},       {&TfrmTables::tblStructure, "MH_CODE"},
    {&TfrmTables::tblStructure, "L1_SHCODE"},       {&TfrmTables::tblStructure, "L2_SHCODE"},
    {&TfrmTables::tblStructure, "OP_CODE"},         {&TfrmTables::tblStructure, "PARTS_FLAG"},
    {&TfrmTables::tblStructure, "LABOUR_FLAG"},     {&TfrmTables::tblServOps, "OP_TYPE"},
    {&TfrmTables::tblServOps, "EXT_PER"},           {&TfrmTables::tblServOps, "OP_CODE"},
    {&TfrmTables::tblServOps, "OPERATION_TEXT1"},   {&TfrmTables::tblServOps, "OPERATION_TEXT2"},
    {&TfrmTables::tblServOps, "PRETEST_TEXT1"},     {&TfrmTables::tblServOps, "PRETEST_TEXT2"},
    {&TfrmTables::tblServOps, "COMBINED_TEXT1"},    {&TfrmTables::tblServOps, "COMBINED_TEXT2"},
    {&TfrmTables::tblCSLinks, "INTERVALS"},         {&TfrmTables::tblMainHead, "MH_TEXT"},
    {&TfrmTables::tblMainHead, "MH_EXTPER"},        {&TfrmTables::tblSubHead, "SH_TEXT"},
};

}  // namespace

TField* TmodReporting::Field(WalkField field) {
    static_assert(std::size(kWalkFields) == static_cast<std::size_t>(WalkField::Count));
    const auto i = static_cast<std::size_t>(field);
    if (TField* found = FWalkFields[i]) return found;
    // Outside a run, or a field the table lacks: by name, which raises the table's error.
    return (frmTables->*kWalkFields[i].Table)->FieldByName(kWalkFields[i].Name);
}

std::string TmodReporting::WalkStr(WalkField field) { return Field(field)->AsString(); }

int TmodReporting::WalkInt(WalkField field) {
    int value = 0;
    return TryStrToInt(Field(field)->AsString(), value) ? value : 0;
}

void TmodReporting::prnReportPrepare(TObject*, bool& Success) {
    // The sheet prints in the code page of its language: the texts of the service data are stored
    // in it, and canvas text is read through the process's ANSI code page.
    UseLanguageCodePage(Language);
    if (XMLMode) CreateChecksheetDocument(LowerCase(XMLLanguage) + "_" + UpperCase(XMLMarket));
    // Every table the report reads must be open; the checksheet form has opened and positioned them.
    for (auto table : {&TfrmTables::tblStructure, &TfrmTables::tblSubHead, &TfrmTables::tblServOps,
                       &TfrmTables::tblMainHead, &TfrmTables::tblCSLinks, &TfrmTables::tblParams,
                       &TfrmTables::tblLangText, &TfrmTables::tblMarket, &TfrmTables::tblInterval,
                       &TfrmTables::tblMRanges, &TfrmTables::tblEngines})
        if (!Tbl(table).Active()) Tbl(table).Open();
    frmTables->tblStructure->DisableControls();
    frmTables->tblSubHead->DisableControls();
    frmTables->tblServOps->DisableControls();
    // The walk reads the same fields for every row: each is found once for the run.
    for (std::size_t i = 0; i < std::size(kWalkFields); ++i)
        FWalkFields[i] = (frmTables->*kWalkFields[i].Table)->FindField(kWalkFields[i].Name);
    // A run never starts by repeating the heading the previous run printed last.
    PendingMHCode = 0;
    LastMHCode = 0;
    OptionalAttr.clear();
    Success = true;
}

void TmodReporting::prnReportRelease(TObject*) {
    std::fill(std::begin(FWalkFields), std::end(FWalkFields), nullptr);
    frmTables->tblStructure->EnableControls();
    frmTables->tblSubHead->EnableControls();
    frmTables->tblServOps->EnableControls();
}

void TmodReporting::prnReportPrintPage(TObject*, TCanvas& Canvas, tPrintInformation PrintInformation, int PageNumber,
                                       bool& MoreData) {
    GermanLayout = Market == "DX";
    MoreData = true;
    FPageNumber = PageNumber;
    PageLayout L;
    InitPageLayout(L, Canvas, PrintInformation);
    PrintPageHeader(L);
    if (CurSeqNo > 0) WalkStructure(L);
    bool finished = false;
    if (CurSeqNo <= 0 || frmTables->tblStructure->Eof()) {
        CurSeqNo = 0;
        finished = PrintClosingSections(L);
    }
    // Every page gets its footer once: the closing text on the last page, none on the others.
    PrintPageFooter(L, finished ? LText(134) : std::string());
    if (finished) MoreData = false;
    // The XML file is written once, when its last page is done: it takes its name whole, never
    // as the unfinished document of an earlier page.
    if (XMLMode && !MoreData) SaveChecksheetXml();
}

// ---- geometry and primitives ---------------------------------------------------------------------

void TmodReporting::InitPageLayout(PageLayout& L, TCanvas& canvas, const tPrintInformation& info) {
    L.Canvas = &canvas;
    canvas.Font.Name = "Arial";
    canvas.Pen.Width = 3;
    L.Left = info.PrintableArea.Left + L.BoxUnit / 2;
    L.Right = info.PrintableArea.Right - L.BoxUnit / 2;
    L.Top = info.PrintableArea.Top - L.BoxUnit / 2;
    L.ColumnLeft = L.Left;
    L.OpTextX = L.BoxUnit * 8;
    L.TickX = DoService ? L.Right - 270 : L.Right - 150;
    L.Level2X = L.BoxUnit * 4;
    PageBottom = info.PrintableArea.Bottom + L.BoxUnit / 2;
    for (int size = 7; size <= 20; ++size) {
        TFontMetric& m = L.FontTable[size];
        m.Height = -static_cast<int>(std::lround(size * info.UnitsPerPoint));
        canvas.Font.Height = m.Height;
        m.LineHeight = canvas.TextHeight("M");
    }
    L.ContinuedText = LText(58);
}

void TmodReporting::SetFont(PageLayout& L, int size, TFontStyles style) {
    L.Canvas->Font.Height = L.FontTable[std::clamp(size, 7, 20)].Height;
    L.Canvas->Font.Style = style;
}

/// A brush colour set in code makes the brush solid, as the class library's brush does.
static void SetBrush(TCanvas& c, TColor color) {
    c.Brush.Color = color;
    c.Brush.Style = bsSolid;
}

static void ClearBrush(TCanvas& c) { c.Brush.Style = bsClear; }

void TmodReporting::DrawBand(PageLayout& L, int x0, int x1, TColor fill) {
    TCanvas& c = *L.Canvas;
    SetBrush(c, fill);
    c.Rectangle(x0, L.Y, x1, L.Y - 50);
    ClearBrush(c);
    SetFont(L, 9, fsBold);
}

void TmodReporting::DrawLine(PageLayout& L, int x1, int y1, int x2, int y2) {
    L.Canvas->MoveTo(x1, y1);
    L.Canvas->LineTo(x2, y2);
}

void TmodReporting::DrawBox(PageLayout& L, int x1, int y1, int x2, int y2, bool shadow) {
    TCanvas& c = *L.Canvas;
    c.Pen.Width = 3;
    if (shadow) {
        SetBrush(c, kShadowGrey);
        c.Rectangle(x1 + L.Shadow, y1 + L.Shadow, x2 + L.Shadow, y2 + L.Shadow);
    }
    c.Pen.Color = clBlack;
    SetBrush(c, clWhite);
    c.Rectangle(x1, y1, x2, y2);
}

bool TmodReporting::PageFull(int y) const { return y < PageBottom + 200; }

bool TmodReporting::Fits(const PageLayout& L, int needed) const {
    // On a page that holds nothing of the body yet, whatever comes next is printed anyway, so a
    // printable area too small for it can never hold the job on one page for ever.
    return !PageFull(L.Y - needed) || !L.BodyPrinted;
}

void TmodReporting::DrawTick(PageLayout& L, const TRect& rect) {
    if (const TBitmap* tick = PictureBitmap(frmTables->imTick)) PrintBitmap(*L.Canvas, rect, *tick);
}

void TmodReporting::PrintMark(PageLayout& L, const char* mark, int x, int y) {
    L.Canvas->Font.Name = "Wingdings";
    L.Canvas->TextOut(x, y, mark);
    L.Canvas->Font.Name = "Arial";
}

// ---- header ----------------------------------------------------------------------------------------

bool TmodReporting::HasCustomerDetails() { return !CustName.empty() || !CustCompany.empty(); }

void TmodReporting::DrawOptionRow(PageLayout& L, const std::string& label, bool ticked) {
    TCanvas& c = *L.Canvas;
    c.TextOut(L.Right - (c.TextWidth(label) + 6 * L.Inset), L.Y, label);
    c.Rectangle(L.Right - 40, L.Y, L.Right, L.Y - 40);
    if (ticked) DrawTick(L, TRect{L.Right - 35, L.Y - 5, L.Right - 5, L.Y - 35});
}

void TmodReporting::TextOutFitted(TCanvas& canvas, int x, int y, const std::string& text, int right) {
    if (text.empty()) return;
    const int room = right - x;
    const int width = canvas.TextWidth(text);
    if (width <= room) {
        canvas.TextOut(x, y, text);
        return;
    }
    // A narrower size of the same font: widths follow the height, so the estimate is close and
    // the search only corrects rounding. Never below 70 % of the height set, to stay readable.
    const int height = canvas.Font.Height, sign = height < 0 ? -1 : 1, full = std::abs(height);
    const int least = (full * 7 + 9) / 10;
    const int fullHigh = canvas.TextHeight(text);
    int h = room > 0 ? std::clamp(static_cast<int>(static_cast<long long>(full) * room / width), least, full) : least;
    canvas.Font.Height = sign * h;
    while (h > least && canvas.TextWidth(text) > room) canvas.Font.Height = sign * --h;
    std::string shown = text;
    if (canvas.TextWidth(shown) > room) {
        // Even the narrowest size is too wide: cut, and mark the cut with an ellipsis (0x85 in
        // every code page the sheet prints in).
        static const std::string kMark = "\x85";
        std::size_t fits = 0, over = shown.size();  // the longest start that fits, by halves
        while (over - fits > 1) {
            const std::size_t mid = (fits + over) / 2;
            (canvas.TextWidth(shown.substr(0, mid) + kMark) <= room ? fits : over) = mid;
        }
        shown.resize(fits);
        while (!shown.empty() && shown.back() == ' ') shown.pop_back();
        shown = canvas.TextWidth(shown + kMark) <= room ? shown + kMark : std::string();
    }
    // The smaller text keeps the line's baseline (ascent: four fifths of the text's height).
    canvas.TextOut(x, y - (fullHigh - canvas.TextHeight(text)) * 4 / 5, shown);
    canvas.Font.Height = height;
}

void TmodReporting::HeaderTextOut(PageLayout& L, int x, int y, const std::string& text, int right) {
    std::optional<int> bottom;  // the text's cell, measured only when something stands to its right
    for (int i = 0; i < L.HeaderRightCount; ++i) {
        const PageLayout::Beside& b = L.HeaderRight[i];
        if (b.Left <= x || b.Left - 2 * L.Inset >= right) continue;
        if (!bottom) bottom = y - L.Canvas->TextHeight(text);
        if (b.Top > *bottom && y > b.Bottom) right = b.Left - 2 * L.Inset;
    }
    TextOutFitted(*L.Canvas, x, y, text, right);
}

void TmodReporting::PrintPageHeader(PageLayout& L) {
    TCanvas& c = *L.Canvas;
    // Logo, 25 mm wide with the picture's aspect ratio; an empty picture is left out.
    if (const TBitmap* logo = PictureBitmap(GermanLayout ? frmTables->imInverseLogo : frmTables->imMakerLogo)) {
        const int h = 250 * logo->Height() / logo->Width();
        PrintBitmap(c, TRect{L.Left, L.Top, L.Left + 250, L.Top - h}, *logo);
    }
    SetFont(L, 16, fsBold);
    const std::string title = LText(DoPreTest || DoEmissionTest || DoBrakeTest ? 62 : 52);
    c.TextOut(L.Left + (L.Right - L.Left - c.TextWidth(title)) / 2, L.Top - L.BoxUnit / 4, title);
    SetFont(L, 10, fsBold);
    c.TextOut(L.Left + 1450, L.Top - 25, LText(9) + ":");
    c.Font.Style = fsNone;
    TextOutFitted(c, L.Left + 1700, L.Top - 25, AsAtDate, L.Right);
    DrawLine(L, L.Left, L.Top - 120, L.Right, L.Top - 120);

    L.Y = L.Top - 150;
    c.Pen.Width = 5;
    SetFont(L, 9, fsNone);
    L.HeaderRightCount = 0;
    const auto row = [&](bool shown, int text) {
        if (!shown) return;
        // The row's label and box stand beside whatever the left-hand columns print on its line.
        L.AddHeaderRight({L.Right - (c.TextWidth(LText(text)) + 6 * L.Inset), L.Y, L.Y - 40});
        DrawOptionRow(L, LText(text), true);
        L.Y -= 50;
    };
    row(DoService, 31);
    row(DoPreTest, 36);
    row(!GermanLayout && DoEmissionTest, 66);
    row(!GermanLayout && DoBrakeTest, 74);
    row(DoPaintBodyWith || DoPaintBodyWithout, 183);
    c.Pen.Width = 3;
    SetFont(L, 10, fsNone);
    L.BlockBottom = L.Y - 50;

    if (FPageNumber == 1) {
        TTable& params = *frmTables->tblParams;
        if (params.FieldByName("PRINT_DETAILS")->AsBoolean()) PrintDealerBlock(L);
        if ((HandOffMode && HasCustomerDetails()) ||
            (!HandOffMode && params.FieldByName("CUSTOMER_DETAILS")->AsBoolean()))
            PrintCustomerBlock(L);
        PrintVOREXLine(L);
        PrintVehicleBlock(L);
    } else {
        L.Y += 50;
        SetFont(L, 10, fsBold);
        // The line stands beside the last ticked-options row, and ends before its label.
        if (!CustName.empty()) {
            HeaderTextOut(L, L.Left, L.Y, LText(85) + "  :  " + CustName, L.Right);
        } else {
            HeaderTextOut(L, L.Left, L.Y, TrimRight(ModelText + " - " + Before(VariantText, kHiddenMark)), L.Right);
        }
        AdvanceLines(L, 2);
        if (!RegNo.empty()) HeaderTextOut(L, L.Left, L.Y, LText(17) + "  :  " + RegNo, L.Right);
        AdvanceLines(L, 1);
        PrintVOREXLine(L);
    }
    PrintLegends(L);
}

void TmodReporting::PrintLegends(PageLayout& L) {
    TCanvas& c = *L.Canvas;
    if (StructureLeft) {
        if (DoService) {
            SetFont(L, 8, fsItalic);
            c.TextOut(L.Left + L.BoxUnit, L.Y, FirstLetter(LText(106)) + "  -  " + LText(151));
            AdvanceLines(L, 1);
            c.TextOut(L.Left + L.BoxUnit, L.Y, FirstLetter(LText(149)) + "  -  " + LText(150));
        } else {
            AdvanceLines(L, 1);
        }
    }
    if (!StructureLeft && !BrakePending && !EmissionPending) {
        L.FrameTop = L.Y;
        return;
    }
    SetFont(L, 8, fsItalic);
    const std::string rectified = LText(94);
    const std::string legend =
        LText(112) + " = " + LText(110) + ",     x = " + LText(113) + ",       = " + rectified;
    c.TextOut(L.Right - c.TextWidth(legend), L.Y, legend);
    DrawTick(L, TRect{L.Right - c.TextWidth("     = " + rectified), L.Y, L.Right - c.TextWidth(" = " + rectified),
                      L.Y - 30});
    AdvanceLines(L, 1);
    c.Font.Style = fsBold;
    c.TextOut(L.Right - 115, L.Y, LText(112));
    c.TextOut(L.Right - 65, L.Y, "X");
    DrawTick(L, TRect{L.Right - 30, L.Y, L.Right, L.Y - 35});
    L.FrameTop = L.Y;
}

void TmodReporting::PrintDealerBlock(PageLayout& L) {
    TCanvas& c = *L.Canvas;
    TTable& params = *frmTables->tblParams;
    L.Y = L.Top - (L.BoxUnit + L.BoxUnit / 2);
    SetFont(L, 9, fsBold);
    const int high = c.TextHeight(std::string());
    const auto line = [&](const std::string& prefix, const char* field) {
        const std::string value = Str(params, field);
        if (value.empty()) return;
        // A dealer's line ends before a ticked-options label on its own line, else at the margin.
        HeaderTextOut(L, L.BoxUnit * 9, L.Y, prefix + value, L.Right);
        L.AddHeaderRight({L.BoxUnit * 9, L.Y, L.Y - high});
        AdvanceLines(L, 1);
    };
    for (const char* field : {"NAME", "ADD1", "ADD2", "ADD3", "ADD4"}) line("", field);
    line(LText(14) + ":  ", "TELEPHONE");
    line(LText(30) + ":  ", "FAX");
    line(LText(68) + ":  ", "EMAIL");
    line("w.w.w.:  ", "WEB");
    if (L.Y - 50 < L.BlockBottom) L.BlockBottom = L.Y - 50;
}

void TmodReporting::PrintCustomerBlock(PageLayout& L) {
    if (CustName.empty() && CustCompany.empty() && CustAddr1.empty() && CustAddr2.empty() && CustAddr3.empty() &&
        CustAddr4.empty() && CustPhone.empty())
        return;
    TCanvas& c = *L.Canvas;
    // A customer's line ends before the dealer's line or ticked-options label on its own line.
    L.Y = L.Top - 150;
    SetFont(L, 9, fsBold);
    HeaderTextOut(L, L.Left, L.Y, LText(15), L.Right);
    AdvanceLines(L, 1);
    c.Font.Style = fsNone;
    HeaderTextOut(L, L.Left + 50, L.Y, CustName, L.Right);
    AdvanceLines(L, 1);
    for (const std::string* value : {&CustCompany, &CustAddr1, &CustAddr2, &CustAddr3, &CustAddr4}) {
        if (value->empty()) continue;
        HeaderTextOut(L, L.Left + 50, L.Y, *value, L.Right);
        AdvanceLines(L, 1);
    }
    AdvanceLines(L, 1);
    if (!CustPhone.empty()) {
        HeaderTextOut(L, L.Left + 50, L.Y, LText(14) + ":  " + CustPhone, L.Right);
        AdvanceLines(L, 1);
    }
    if (L.Y - 50 < L.BlockBottom) L.BlockBottom = L.Y - 50;
    L.Y = L.BlockBottom;
}

void TmodReporting::PrintVOREXLine(PageLayout& L) {
    L.Canvas->Pen.Width = 5;
    SetFont(L, 9, fsNone);
    DrawOptionRow(L, LText(179), DoVOREX);
    L.Y -= L.BoxUnit / 2;
    L.BlockBottom = L.Y - 50;
}

void TmodReporting::PrintVehicleBlock(PageLayout& L) {
    TCanvas& c = *L.Canvas;
    const bool shadow = !GermanLayout;
    L.Y = L.BlockBottom;
    DrawBox(L, L.Left + 970, L.Y + 20, L.Right, L.Y - 230, shadow);
    SetFont(L, 9, fsBold);
    // Labels end before the values' column, values inside the box's right edge.
    for (int text : {10, 17, 18, 102, 19}) {
        TextOutFitted(c, L.Left + 1000, L.Y, LText(text), L.Left + 1500 - L.Inset);
        AdvanceLines(L, 1);
    }
    L.Y = L.BlockBottom;
    c.Font.Style = fsNone;
    for (const std::string* value : {&RepairNo, &RegNo, &RegDate, &RadioCode, &Mileage}) {
        TextOutFitted(c, L.Left + 1500, L.Y, *value, L.Right - 2 * L.Inset);
        AdvanceLines(L, 1);
    }

    L.Y = L.BlockBottom;
    DrawBox(L, L.Left, L.Y + 20, L.Left + 950, L.Y - 230, shadow);
    const int boxRight = L.Left + 950 - 2 * L.Inset;
    // A bold label and its value right after it, both inside the box; returns the value's x.
    const auto labelled = [&](int text, const std::string& value) {
        const std::string label = LText(text) + " :    ";
        c.Font.Style = fsBold;
        TextOutFitted(c, L.Left + 20, L.Y, label, boxRight);
        const int x = std::min(L.Left + 20 + c.TextWidth(label), boxRight);
        c.Font.Style = fsNone;
        TextOutFitted(c, x, L.Y, value, boxRight);
        return x;
    };
    labelled(20, ModelText);
    AdvanceLines(L, 1);
    const std::size_t colon = VariantText.find(':');
    const int valueX = labelled(21, Before(VariantText, ':'));
    AdvanceLines(L, 1);
    const std::string second =
        colon == std::string::npos ? std::string() : TrimRight(Before(VariantText.substr(colon + 1), kHiddenMark));
    TextOutFitted(c, valueX + 50, L.Y, second, boxRight);
    AdvanceLines(L, 1);
    if (DoService) {
        labelled(56, TrimRight(Before(IntervalText, kHiddenMark)));
        AdvanceLines(L, 1);
        if (Str(*frmTables->tblMRanges, "SIL_Flag") == "Y") {
            SetFont(L, 7, fsItalic);
            TextOutFitted(c, L.Left + 100, L.Y, "* " + LText(176), boxRight);
        }
    } else {
        c.Font.Style = fsBold;
        c.TextOut(L.Left + 20, L.Y, LText(56) + " :    ");
    }
    AdvanceLines(L, 2);
}

// ---- footer ----------------------------------------------------------------------------------------

void TmodReporting::PrintPageFooter(PageLayout& L, const std::string& centreText) {
    TCanvas& c = *L.Canvas;
    L.Y = PageBottom;
    SetFont(L, 8, fsNone);
    c.TextOut(L.Left, L.Y, LText(53) + "  " + IntToStr(FPageNumber));
    if (!centreText.empty()) c.TextOut((L.Right - L.Left - c.TextWidth(centreText)) / 2, L.Y, centreText);
    c.TextOut(L.Right - c.TextWidth(DataVersion), L.Y, DataVersion);
    StructureLeft = !frmTables->tblStructure->Eof();
}

// ---- the structure walk --------------------------------------------------------------------------

void TmodReporting::WalkStructure(PageLayout& L) {
    TTable& s = *frmTables->tblStructure;
    if (s.IsEmpty()) {
        CurSeqNo = 0;
        return;
    }
    if (s.FindKey({CurSeqNo}) && !s.Eof()) CurSeqNo = WalkInt(WalkField::SequenceNo);
    if (!s.Eof()) {
        for (;;) {
            bool stop = false;
            const std::string market = WalkStr(WalkField::MarketCode), language = WalkStr(WalkField::LangCode);
            if ((market == "GB" || market == Market) && (language == "EN" || language == Language)) {
                const int heading = WalkInt(WalkField::MHCode);
                if (heading > 0) PendingMHCode = heading;
                else if (IsOperationIncluded() && !PrintOperation(L)) stop = true;
            }
            if (!stop) {
                s.Next();
                if (!s.Eof()) CurSeqNo = WalkInt(WalkField::SequenceNo);
            }
            if (s.Eof() || PageFull(L.Y) || stop) break;
        }
    }
    // A heading not printed yet stays pending; otherwise the next page repeats the current one.
    if (PendingMHCode <= 0) PendingMHCode = LastMHCode;
    DrawLine(L, L.ColumnLeft, L.Y, L.TickX, L.Y);
    DrawLine(L, L.ColumnLeft, L.FrameTop, L.ColumnLeft, L.Y);
    DrawLine(L, L.TickX, L.FrameTop, L.TickX, L.Y);
}

bool TmodReporting::IsOperationIncluded() {
    TTable& ops = *frmTables->tblServOps;
    if (!ops.FindKey({Language, WalkInt(WalkField::OpCode)})) return false;
    const std::string type = WalkStr(WalkField::OpType);
    if (DoPreTest && !DoService) return type != "S";
    if (!DoPreTest && !DoService) return false;
    if (!DoPreTest && type == "P") return false;
    if (DoPreTest && (type == "P" || type == "B")) return true;
    TTable& links = *frmTables->tblCSLinks;
    if (!links.FindKey({ModelRange, CurSeqNo})) return false;
    if (WalkStr(WalkField::ExtPer) == "Y" && !IsSelectedExtendedOperation()) return false;
    const std::string intervals = WalkStr(WalkField::Intervals);
    return IntervalNo >= 1 && IntervalNo <= static_cast<int>(intervals.size()) && intervals[IntervalNo - 1] == 'Y';
}

bool TmodReporting::IsSelectedExtendedOperation() {
    if (BatchMode) return true;
    const int l1 = WalkInt(WalkField::L1SHCode), l2 = WalkInt(WalkField::L2SHCode);
    const int opCode = WalkInt(WalkField::OpsOpCode);
    for (int i = 1; i <= 20; ++i) {
        const std::string& entry = ExtPerOps[i];
        if (entry == "0") continue;
        const std::size_t sep = entry.find(FormatSettings.DecimalSeparator);
        if (sep == std::string::npos) continue;
        int heading = 0, op = 0;
        if (!TryStrToInt(entry.substr(0, sep), heading) || !TryStrToInt(entry.substr(sep + 1), op)) continue;
        if ((heading == l1 || heading == l2) && op == opCode) return true;
    }
    return false;
}

void TmodReporting::PrintMainHeading(PageLayout& L) {
    TTable& heads = *frmTables->tblMainHead;
    if (!heads.FindKey({Language, PendingMHCode})) return;
    TCanvas& c = *L.Canvas;
    SetBrush(c, GermanLayout ? clWhite : kBandGrey);
    c.Rectangle(L.ColumnLeft, L.Y, L.TickX, L.Y - L.BoxUnit / 2);
    SetFont(L, 9, fsBold);
    const std::string raw = WalkStr(WalkField::MHText);
    std::string text = StripTrailingDollars(raw);
    if (FPageNumber > 1 && PendingMHCode == LastMHCode) text += "    " + L.ContinuedText;
    c.TextOut(L.ColumnLeft + L.Inset, L.Y - L.Inset, text);
    if (XMLMode && PendingMHCode != LastMHCode) {
        OptionalAttr = UpperCase(WalkStr(WalkField::MHExtPer)) == "Y" ? "true" : "";
        AddSection(raw);
    }
    LastMHCode = PendingMHCode;
    PendingMHCode = 0;
    L.Y -= L.BoxUnit / 2;
    L.BodyPrinted = true;
}

int TmodReporting::LayoutOperation(PageLayout& L, OperationLayout& op) {
    op = OperationLayout{};
    FSubHeadText.clear();
    if (WalkInt(WalkField::L1SHCode) > 0) WrapOperationText(L, op, 1);
    if (WalkInt(WalkField::L2SHCode) > 0) WrapOperationText(L, op, 2);
    WrapOperationText(L, op, 3);
    return op.MaxLines;
}

void TmodReporting::WrapOperationText(PageLayout& L, OperationLayout& op, int level) {
    const bool both = DoService && DoPreTest;
    std::string text;
    int x0 = 0, x1 = 0;
    std::vector<std::string>* lines = nullptr;
    if (level == 1 || level == 2) {
        SetFont(L, 7, level == 1 ? fsBold : fsNone);
        TTable& subHeads = *frmTables->tblSubHead;
        // A sub-heading the language lacks prints nothing.
        if (subHeads.FindKey({Language, WalkInt(level == 1 ? WalkField::L1SHCode : WalkField::L2SHCode)}))
            text = WalkStr(WalkField::SHText);
        FSubHeadText = text;
        x0 = level == 1 ? L.ColumnLeft + (both ? L.BoxUnit : 0) : L.Level2X;
        x1 = L.OpTextX - L.Inset;
        lines = level == 1 ? &op.Level1Lines : &op.Level2Lines;
    } else {
        SetFont(L, 7, fsNone);
        TTable& ops = *frmTables->tblServOps;
        if (ops.FindKey({Language, WalkInt(WalkField::OpCode)})) {
            const std::string service = ContinuedText(*Field(WalkField::OperationText1), *Field(WalkField::OperationText2));
            if (DoService && !DoPreTest) {
                text = service;
            } else {
                const WalkField first = DoService ? WalkField::CombinedText1 : WalkField::PretestText1;
                const WalkField second = DoService ? WalkField::CombinedText2 : WalkField::PretestText2;
                text = ContinuedText(*Field(first), *Field(second));
                if (text.empty()) text = service;
            }
        }
        XMLOpText = text;
        x0 = L.OpTextX;
        x1 = L.TickX;
        lines = &op.OpLines;
    }
    *lines = WrapColumnText(*L.Canvas, StripTrailingDollars(text), x1 - x0 - 2 * L.Inset);
    op.MaxLines = std::max(op.MaxLines, static_cast<int>(lines->size()));
}

void TmodReporting::DrawResultCells(PageLayout& L, int n, bool noSeparators) {
    const int h = n == 1 ? L.FontTable[12].LineHeight : n * L.FontTable[10].LineHeight;
    DrawBox(L, L.Right - 120, L.Y, L.Right, L.Y - h, false);
    DrawLine(L, L.Right - 80, L.Y, L.Right - 80, L.Y - h);
    DrawLine(L, L.Right - 40, L.Y, L.Right - 40, L.Y - h);
    if (noSeparators) return;
    if (DoService && DoPreTest) DrawLine(L, L.Left + L.BoxUnit / 2, L.Y, L.Left + L.BoxUnit / 2, L.Y - h);
    DrawLine(L, L.OpTextX - L.Inset, L.Y, L.OpTextX - L.Inset, L.Y - h);
}

std::string TmodReporting::PadRightPart(PageLayout& L, const std::string& line) {
    TCanvas& c = *L.Canvas;
    const std::size_t tilde = line.find('~');
    const std::string left = line.substr(0, tilde);
    const std::string right = line.substr(tilde + 1);
    const int limit = L.TickX - L.Inset - L.OpTextX;
    const int leftWidth = c.TextWidth(left);
    // The fewest blanks in front of the right part that bring the line to the column's edge.
    const auto wide = [&](std::size_t blanks) { return leftWidth + c.TextWidth(std::string(blanks, ' ') + right) >= limit; };
    if (wide(0)) return left + right;
    const int blank = std::max(1, c.TextWidth(" "));
    std::size_t hi = static_cast<std::size_t>(std::max(1, (limit - leftWidth) / blank + 1));
    while (!wide(hi)) hi *= 2;
    std::size_t lo = 1;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (wide(mid)) hi = mid;
        else lo = mid + 1;
    }
    return left + std::string(lo, ' ') + right;
}

bool TmodReporting::PrintOperation(PageLayout& L) {
    OperationLayout op;
    const int maxLines = LayoutOperation(L, op);
    const bool headingPending = PendingMHCode > 0;
    const int needed = (headingPending ? maxLines + 2 : maxLines) * L.FontTable[12].LineHeight;
    if (!Fits(L, needed)) return false;
    if (headingPending) PrintMainHeading(L);
    L.BodyPrinted = true;

    if (XMLMode) {
        const std::string level = WalkInt(WalkField::L1SHCode) > 0 ? "1" : WalkInt(WalkField::L2SHCode) > 0 ? "2" : "";
        const std::string parts = UpperCase(WalkStr(WalkField::PartsFlag)) == "Y" ? "true" : "";
        const std::string labour = UpperCase(WalkStr(WalkField::LabourFlag)) == "Y" ? "true" : "";
        const std::string opType = UpperCase(WalkStr(WalkField::OpType));
        const std::string type = opType == "S" ? "service" : opType == "B" ? "both" : opType == "P" ? "pretest" : "";
        AddOperation(level, type, parts, labour, OptionalAttr, IntToStr(CurSeqNo));
        AddSubHeading(FSubHeadText);
        AddOperationStatements(XMLOpText);
    }
    SetFont(L, 7, fsNone);
    SetBrush(*L.Canvas, clWhite);
    DrawResultCells(L, maxLines, false);
    for (int i = 1; i <= maxLines; ++i) {
        PrintOperationLine(L, op, i);
        L.Y -= i < maxLines ? kOpLinePitch : kLinePitch;
    }
    return true;
}

void TmodReporting::PrintOperationLine(PageLayout& L, const OperationLayout& op, int i) {
    TCanvas& c = *L.Canvas;
    const auto lineOf = [i](const std::vector<std::string>& lines) -> const std::string& {
        static const std::string none;
        return i <= static_cast<int>(lines.size()) ? lines[i - 1] : none;
    };
    const bool both = DoService && DoPreTest;
    if (const std::string& level1 = lineOf(op.Level1Lines); !level1.empty()) {
        if (i == 1) DrawLine(L, L.ColumnLeft, L.Y, L.TickX, L.Y);
        c.Font.Style = fsBold;
        c.TextOut(L.ColumnLeft + L.Inset + (both ? L.BoxUnit / 2 : 0), L.Y - 6, level1);
    }
    c.Font.Style = fsNone;
    if (const std::string& level2 = lineOf(op.Level2Lines); !level2.empty()) {
        if (i == 1) DrawLine(L, L.Level2X, L.Y, L.TickX, L.Y);
        c.TextOut(L.Level2X, L.Y - 6, level2);
    }
    const std::string& text = lineOf(op.OpLines);
    if (text.empty()) return;
    // The padding only places the right part on the sheet; a canvas that draws nothing skips it.
    const bool padded = c.Draws() && text.find('~') != std::string::npos;
    c.TextOut(L.OpTextX, L.Y - 6, padded ? PadRightPart(L, text) : text);
    if (i != 1) return;
    const std::string type = WalkStr(WalkField::OpType);
    if (both && (type == "P" || type == "B")) PrintMark(L, type == "P" ? "n" : "p", L.Left + L.Inset + 5, L.Y - L.Inset);
    c.Font.Style = fsBold;
    if (DoService && WalkStr(WalkField::PartsFlag) == "Y") {
        DrawBox(L, L.TickX + 20, L.Y, L.TickX + 60, L.Y - 42, false);
        c.TextOut(L.TickX + 30, L.Y - 5, FirstLetter(LText(106)));
    }
    if (DoService && WalkStr(WalkField::LabourFlag) == "Y") {
        DrawBox(L, L.TickX + 80, L.Y, L.TickX + 120, L.Y - 40, false);
        c.TextOut(L.TickX + 90, L.Y - 5, FirstLetter(LText(149)));
    }
    c.Font.Style = fsNone;
}

void TmodReporting::AddOperationStatements(const std::string& text) {
    for (const StatementPiece& piece : SplitStatements(text)) AddStatement(piece.Continuation, piece.AlignRight, piece.Text);
}

// ---- the closing sections ------------------------------------------------------------------------

bool TmodReporting::PrintClosingSections(PageLayout& L) {
    if (DoEmissionTest && EmissionPending && PrintEmissionTest(L)) EmissionPending = false;
    if (DoBrakeTest && BrakePending && PrintBrakeTest(L)) BrakePending = false;
    if (SpecInstPending && PrintSpecialInstructions(L)) SpecInstPending = false;
    if (EndBlockPending && PrintClosingBlock(L)) EndBlockPending = false;
    if (NextServicePending && PrintNextServiceBox(L)) NextServicePending = false;
    // The checksheet ends once nothing is pending any more.
    return !NextServicePending && !(DoEmissionTest && EmissionPending) && !(DoBrakeTest && BrakePending) &&
           !SpecInstPending && !EndBlockPending;
}

std::vector<std::string> TmodReporting::WrappedTextLines(PageLayout& L, int x0, int x1, const std::string& text) {
    return BreakAtBlanks(*L.Canvas, text, x1 - x0, "    ");
}

int TmodReporting::WrappedTextHeight(PageLayout& L, int x0, int x1, const std::string& text) {
    const int lines = std::max<int>(1, static_cast<int>(WrappedTextLines(L, x0, x1, text).size()));
    return (lines - 1) * kOpLinePitch + kLinePitch;
}

void TmodReporting::PrintWrappedText(PageLayout& L, int x0, int x1, const std::string& text) {
    const std::vector<std::string> lines = WrappedTextLines(L, x0, x1, text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) L.Y -= kOpLinePitch;
        L.Canvas->TextOut(x0, L.Y, lines[i]);
    }
    AdvanceLines(L, 1);
}

bool TmodReporting::PrintEmissionTest(PageLayout& L) {
    TCanvas& c = *L.Canvas;
    TTable& engine = *frmTables->tblEngines;
    TTable& range = *frmTables->tblMRanges;
    const bool petrol = Str(engine, "ENGINE_TYPE") == "P";
    const bool noCatalyst = Str(engine, "CATALYST") == "N";
    if (!Fits(L, petrol ? (noCatalyst ? 300 : 600) : 200)) return false;
    L.BodyPrinted = true;
    const bool both = DoService && DoPreTest;
    const int x0 = L.Left + (both ? L.BoxUnit / 2 : 0);
    const int m1 = x0 + (L.OpTextX - x0) / 2;
    const int m2 = L.OpTextX + (L.TickX - L.OpTextX) / 2;

    DrawBand(L, L.ColumnLeft, L.TickX, kBandGrey);
    c.TextOut(L.ColumnLeft + L.Inset, L.Y, LText(90) + " - " + UpperCase(LText(petrol ? 119 : 120)));
    L.Y -= 60;

    const std::string oil = Str(range, "OIL_LIMIT");
    SetFont(L, 12, fsNone);
    c.TextOutW(x0, L.Y - L.Inset, Ansi(LText(88) + " > " + oil) + u"\u00BAC");
    c.Pen.Width = 5;
    c.Rectangle(L.OpTextX - 17 * L.Inset, L.Y + 10, L.OpTextX - L.Inset, L.Y - 60);
    L.BlockBottom = L.Y + 10;
    SetFont(L, 8, fsNone);
    c.TextOutW(750, L.Y, u"\u00BAc");
    c.Pen.Width = 1;
    DrawLine(L, 640, L.Y - 50, 780, L.Y - 50);
    c.Pen.Width = 3;
    L.Y -= 60;
    int pairTop = L.Y;

    const int c1 = x0 + 7 * L.BoxUnit;
    const int c2 = c1 + (L.TickX - c1) / 2;
    int smokeColumnsTop = 0;
    if (!petrol) {
        if (XMLMode) AddEmissionTest(oil, "diesel", "false");
        smokeColumnsTop = L.Y - 50;
        PrintSmokeTable(L, x0);
    } else {
        if (XMLMode) AddEmissionTest(oil, "petrol", noCatalyst ? "false" : "true");
        if (noCatalyst) {
            PrintEmissionBlock(L, 4, true, x0, m1, m2, pairTop);
        } else {
            PrintEmissionBlock(L, 1, true, x0, m1, m2, pairTop);
            PrintEmissionBlock(L, 2, false, x0, m1, m2, pairTop);
            PrintEmissionBlock(L, 3, true, x0, m1, m2, pairTop);
            PrintEmissionBlock(L, 4, false, x0, m1, m2, pairTop);
        }
    }

    DrawLine(L, L.Left, L.BlockBottom, L.Left, L.Y);
    if (both) {
        DrawLine(L, x0, L.BlockBottom, x0, L.Y);
        DrawLine(L, L.Left, L.Y, x0, L.Y);
        PrintMark(L, "n", L.Left + L.Inset + 5, L.BlockBottom - (L.BlockBottom - L.Y) / 2);
    }
    if (!petrol) {
        DrawLine(L, c1, smokeColumnsTop, c1, L.Y);
        DrawLine(L, c2, smokeColumnsTop, c2, L.Y);
    } else {
        DrawLine(L, L.OpTextX - L.Inset, L.BlockBottom, L.OpTextX - L.Inset, L.Y);
    }
    DrawLine(L, L.TickX, L.BlockBottom, L.TickX, L.Y);
    return true;
}

static void TextCentred(TCanvas& c, int a, int b, int y, const std::string& text) {
    c.TextOut(a + (b - a - c.TextWidth(text)) / 2, y, text);
}

void TmodReporting::PrintSmokeTable(PageLayout& L, int x0) {
    TCanvas& c = *L.Canvas;
    TTable& range = *frmTables->tblMRanges;
    const int c1 = x0 + 7 * L.BoxUnit;
    const int c2 = c1 + (L.TickX - c1) / 2;
    DrawBand(L, x0, L.TickX, kBandGrey);
    TextCentred(c, x0, L.TickX, L.Y - L.Inset, UpperCase(LText(82)));
    AdvanceLines(L, 1);
    L.Y -= L.Inset;
    TextCentred(c, x0, c1, L.Y, LText(95));
    TextCentred(c, c1, c2, L.Y, LText(115));
    TextCentred(c, c2, L.TickX, L.Y, LText(116));
    AdvanceLines(L, 1);
    DrawLine(L, x0, L.Y, L.TickX, L.Y);
    SetFont(L, 8, fsNone);
    const auto row = [&](int label, const char* field, void (*add)(const std::string&)) {
        const std::string limit = Str(range, field);
        c.TextOutW(x0 + L.Inset, L.Y - L.Inset, Ansi(LText(label) + " -  " + limit) + u"m\u00AF\u00B9 " + Ansi(LText(98)));
        if (XMLMode) add(TrimSmokeLimit(limit));
        DrawResultCells(L, 1, true);
        AdvanceLines(L, 1);
        DrawLine(L, x0, L.Y, L.TickX, L.Y);
    };
    row(117, "NTSMOKE", &AddNonTurbo);
    row(118, "TSMOKE", &AddTurbo);
}

void TmodReporting::PrintEmissionBlock(PageLayout& L, int kind, bool left, int x0, int m1, int m2, int& pairTop) {
    TCanvas& c = *L.Canvas;
    TTable& range = *frmTables->tblMRanges;
    const bool noCatalyst = Str(*frmTables->tblEngines, "CATALYST") == "N";
    L.Y = pairTop;
    const std::string hc = Str(range, "EX_LIMITHC");
    if (XMLMode && kind == 1)
        AddFastIdle(Str(range, "EX_LIMIT_FASTRPM"), Str(range, "EX_LIMIT_FASTCO"), hc, Str(range, "EX_LAMBDA"));
    if (XMLMode && kind == 4) AddIdle(Str(range, "EX_LIMITRPM"), Str(range, "EX_LIMITCO"), noCatalyst ? "" : hc);
    SetBrush(c, kBandGrey);
    if (left) c.Rectangle(x0, L.Y, L.TickX, L.Y - 50);
    ClearBrush(c);
    SetFont(L, 9, fsBold);

    const std::string max = " (" + LText(98) + ")";
    const bool fast = kind < 4;
    const std::string title = fast ? UpperCase(LText(92)) + " " + IntToStr(kind) : UpperCase(LText(93));
    const std::string texts[4] = {
        Str(range, fast ? "EX_LIMIT_FASTRPM" : "EX_LIMITRPM") + " RPM",
        "CO - " + Str(range, fast ? "EX_LIMIT_FASTCO" : "EX_LIMITCO") + "%" + max,
        "HC " + hc + " PPM" + max,
        fast ? LText(100) + " " + Str(range, "EX_LAMBDA") : std::string(),
    };
    const int a = left ? x0 : L.OpTextX, b = left ? L.OpTextX : L.TickX, mid = left ? m1 : m2;
    TextCentred(c, a, b, L.Y - L.Inset, title);
    AdvanceLines(L, 1);
    L.Y -= L.Inset;
    TextCentred(c, a, mid, L.Y, LText(95));
    TextCentred(c, mid, b, L.Y, LText(96));
    AdvanceLines(L, 1);
    DrawLine(L, x0, L.Y, L.TickX, L.Y);
    SetFont(L, 8, fsNone);
    const int rows = kind == 4 && left ? 2 : 4;
    for (int r = 0; r < rows; ++r) {
        if (!texts[r].empty()) c.TextOut(a + L.Inset, L.Y - L.Inset, texts[r]);
        DrawResultCells(L, 1, true);
        AdvanceLines(L, 1);
        DrawLine(L, x0, L.Y, L.TickX, L.Y);
    }
    DrawLine(L, mid, pairTop - 50, mid, L.Y);
    if (kind == 2) pairTop = L.Y;
}

bool TmodReporting::PrintBrakeTest(PageLayout& L) {
    if (!Fits(L, 200)) return false;
    L.BodyPrinted = true;
    TCanvas& c = *L.Canvas;
    const bool both = DoService && DoPreTest;
    const int x0 = L.Left + (both ? L.BoxUnit / 2 : 0);
    const int formulaX = L.BoxUnit * 10;
    SetBrush(c, GermanLayout ? clWhite : kBandGrey);
    c.Rectangle(L.ColumnLeft, L.Y, L.TickX, L.Y - L.BoxUnit);
    L.BlockBottom = L.Y - L.BoxUnit;
    SetBrush(c, clWhite);
    c.Pen.Width = 5;
    c.Rectangle(L.ColumnLeft + 6 * L.BoxUnit, L.Y, formulaX - L.Inset, L.Y - L.BoxUnit);
    c.Pen.Width = 3;
    ClearBrush(c);

    SetFont(L, 9, fsBold);
    c.TextOut(L.Left + L.Inset, L.Y - L.Inset, LText(121));
    const std::string total = LText(122);
    c.Font.Style = fsBold | fsUnderline;
    c.TextOut(formulaX + L.Inset, L.Y - L.Inset, total);
    const int totalWidth = c.TextWidth(total);
    c.Font.Style = fsBold;
    c.TextOut(formulaX + L.Inset + totalWidth, L.Y - L.Inset, " x 100 = % " + LText(123));
    AdvanceLines(L, 1);
    const std::string weight = Str(*frmTables->tblMRanges, "WEIGHTKG");
    c.TextOut(formulaX + L.Inset + totalWidth / 2, L.Y - L.Inset, weight + "kg");
    AdvanceLines(L, 1);
    L.Y -= 2 * L.Inset;

    SetFont(L, 9, fsBold);
    c.TextOut(x0 + 2 * L.Inset, L.Y, LText(74));
    PrintResultRow(L, x0, formulaX, LText(128) + " - " + LText(124));
    SetFont(L, 9, fsBold);
    c.TextOut(x0 + 2 * L.Inset, L.Y, LText(127));
    if (XMLMode) AddBrakeTest(weight);
    PrintResultRow(L, x0, formulaX, LText(128) + " - " + LText(125));

    L.Y += L.Inset;
    DrawLine(L, L.Left, L.BlockBottom, L.Left, L.Y);
    DrawLine(L, L.Left, L.Y, x0, L.Y);
    DrawLine(L, x0, L.BlockBottom, x0, L.Y);
    DrawLine(L, formulaX - L.Inset, L.BlockBottom, formulaX - L.Inset, L.Y);
    DrawLine(L, L.TickX, L.BlockBottom, L.TickX, L.Y);
    // The mark has a column of its own only when both kinds are printed.
    if (both) PrintMark(L, "n", L.Left + L.Inset + 5, L.BlockBottom - (L.BlockBottom - L.Y) / 2 + L.Inset);
    return true;
}

void TmodReporting::PrintResultRow(PageLayout& L, int x0, int formulaX, const std::string& text) {
    TCanvas& c = *L.Canvas;
    SetFont(L, 7, fsNone);
    const int width = L.TickX - formulaX;
    std::vector<std::string> lines;
    if (c.TextWidth(text) + 2 * L.Inset < width) lines.push_back(text);
    else lines = BreakAtBlanks(c, text, width, std::string());
    if (lines.empty()) lines.emplace_back();
    const int y0 = L.Y;
    for (const std::string& line : lines) {
        c.TextOut(formulaX, L.Y, line);
        L.Y -= kOpLinePitch;
    }
    DrawLine(L, x0, L.Y, L.TickX, L.Y);
    L.Y = y0;
    const int n = static_cast<int>(lines.size());
    DrawResultCells(L, n, true);
    L.Y -= n == 1 ? L.FontTable[12].LineHeight : n * L.FontTable[10].LineHeight + L.Inset;
}

bool TmodReporting::PrintSpecialInstructions(PageLayout& L) {
    TCanvas& c = *L.Canvas;
    int n = 0;
    for (int i = 1; i <= 5; ++i)
        if (!SpecInstr[i].empty()) ++n;
    const bool dieselNote = Str(*frmTables->tblEngines, "ENGINE_TYPE") == "D" && DoEmissionTest;
    std::string lines[6];
    for (int i = 1; i <= 5; ++i) lines[i] = dieselNote ? (i == 1 ? LText(91) : SpecInstr[i - 1]) : (i <= 4 ? SpecInstr[i] : "");
    // The space the section takes, measured as it will print.
    int used = L.Inset + 49;
    if (dieselNote) {
        SetFont(L, 9, fsBold);
        used += WrappedTextHeight(L, L.Left + L.Inset, L.TickX, lines[1]) + 24 + 49;
    }
    for (int i = dieselNote ? 2 : 1; i <= 5; ++i)
        if (i <= 2 || !lines[i].empty()) used += 49;
    if (!Fits(L, std::max((n + 1) * 50, used))) return false;
    L.BodyPrinted = true;

    DrawBand(L, L.ColumnLeft, L.TickX, GermanLayout ? clWhite : kBandGrey);
    c.TextOut(L.ColumnLeft + L.Inset, L.Y - L.Inset, LText(114));
    L.BlockBottom = L.Y;
    L.Y -= L.Inset + 49;
    int start = 1;
    if (dieselNote) {
        PrintWrappedText(L, L.Left + L.Inset, L.TickX, lines[1]);
        L.Y -= 24;
        c.TextOut(L.Left + L.Inset, L.Y, LText(89));
        L.Y -= 49;
        DrawLine(L, L.Left, L.Y + 5, L.TickX, L.Y + 5);
        start = 2;
    }
    SetFont(L, 7, fsNone);
    for (int i = start; i <= 5; ++i) {
        if (i >= 3 && lines[i].empty()) continue;
        c.TextOut(L.Left + L.Inset, L.Y, lines[i]);
        L.Y -= 49;
        DrawLine(L, L.Left, L.Y + L.Inset, L.TickX, L.Y + L.Inset);
    }
    L.Y += L.Inset;
    DrawLine(L, L.Left, L.BlockBottom, L.Left, L.Y);
    DrawLine(L, L.TickX, L.BlockBottom, L.TickX, L.Y);
    return true;
}

bool TmodReporting::PrintClosingBlock(PageLayout& L) {
    if (!Fits(L, 100)) return false;
    L.BodyPrinted = true;
    TCanvas& c = *L.Canvas;
    L.Y -= L.Inset;
    DrawBand(L, L.Left, L.Right, GermanLayout ? clWhite : kBandGrey);
    c.TextOut(L.Left + L.Inset, L.Y - L.Inset, LText(138));
    L.Y -= 50;
    c.Rectangle(L.Left, L.Y, L.Right, L.Y - 130);
    const int t = L.Left + (L.Right - L.Left) / 3;
    DrawLine(L, t - L.Inset, L.Y, t - L.Inset, L.Y - 130);
    DrawLine(L, 2 * t - L.Inset, L.Y, 2 * t - L.Inset, L.Y - 130);
    SetFont(L, 8, fsBold);
    c.TextOut(L.Left + L.Inset, L.Y - 90, LText(129));
    c.TextOut(t + L.Inset, L.Y - 90, LText(67));
    c.TextOut(2 * t + L.Inset, L.Y - 90, LText(175));
    L.Y -= 130;
    return true;
}

/// The next-service sentence: due date, distance and the wording for the interval indicator.
static std::string NextServiceText(bool germanLayout) {
    std::string date;
    try {
        const TDateTime due = StrToDate(AsAtDate) + 365;
        if (germanLayout) {
            int year = 0, month = 0, day = 0;
            DecodeDate(due, year, month, day);
            char text[16];
            std::snprintf(text, sizeof text, "%02d%c%04d", month, FormatSettings.DateSeparator, year);
            date = text;
        } else {
            date = DateToStr(due);
        }
    } catch (const EConvertError&) {
        // An as-at date that is no date leaves the due date blank.
    }
    TTable& market = *frmTables->tblMarket;
    TTable& interval = *frmTables->tblInterval;
    TTable& range = *frmTables->tblMRanges;
    market.FindKey({Str(*frmTables->tblParams, "MARKET_CODE")});
    interval.FindKey({Int(range, "INTERVAL_CODE")});
    const std::string type = Str(market, "INTERVAL_TYPE");
    const int distance = Int(interval, type == "km" ? "KMDISTANCE" : "MLDISTANCE");
    const std::string where = FormatDistance(distance, Market == "GB" ? ',' : '.') + " " + type;
    if (Str(range, "SIL_Flag") == "Y") return LText(177) + " " + date + " " + LText(70) + " " + where + " " + LText(176);
    return LText(69) + " " + date + " " + LText(70) + " " + where + " " + LText(71);
}

bool TmodReporting::PrintNextServiceBox(PageLayout& L) {
    TCanvas& c = *L.Canvas;
    const bool both = DoService && DoPreTest;
    const std::string dueText = DoService ? NextServiceText(GermanLayout) : std::string();
    // The space the box takes, measured as it will print.
    SetFont(L, 8, fsNone);
    int used = L.Inset + 50 + 2 * L.BoxUnit + 2 * kLinePitch + kLinePitch +
               WrappedTextHeight(L, L.Left, L.Right, LText(182)) + kLinePitch;
    if (DoService) used += WrappedTextHeight(L, L.Left, L.Right, dueText) + kLinePitch;
    if (both) used += 50 + 2 * kLinePitch;
    if (DoService) {
        used += kLinePitch;
        for (int text = 153; text <= 156; ++text) used += WrappedTextHeight(L, L.Left + 50, L.Right, LText(text));
    }
    if (!Fits(L, std::max(600, used))) return false;
    L.BodyPrinted = true;

    L.Y -= L.Inset;
    DrawBand(L, L.Left, L.Right, GermanLayout ? clWhite : kBandGrey);
    c.TextOut(L.Left + L.Inset, L.Y - L.Inset, LText(133));
    L.Y -= 50;
    L.BlockBottom = L.Y;
    c.Rectangle(L.Left, L.Y, L.Right, L.Y - 250);
    L.Y -= 2 * L.BoxUnit;
    AdvanceLines(L, 2);

    SetFont(L, 8, fsNone);
    c.TextOut(L.Left, L.Y, "+  " + LText(181));
    AdvanceLines(L, 1);
    PrintWrappedText(L, L.Left, L.Right, LText(182));
    AdvanceLines(L, 1);
    if (DoService) {
        PrintWrappedText(L, L.Left, L.Right, dueText);
        AdvanceLines(L, 1);
    }
    if (both) {
        PrintMark(L, "p", L.Left, L.Y);
        PrintMark(L, "n", L.Left, L.Y - 50);
        c.TextOut(L.Left + 50, L.Y, LText(158));
        L.Y -= 50;
        c.TextOut(L.Left + 50, L.Y, LText(159));
        AdvanceLines(L, 2);
    }
    if (DoService) {
        c.Font.Style = fsBold;
        c.TextOut(L.Left, L.Y, LText(152));
        AdvanceLines(L, 1);
        c.Font.Style = fsNone;
        for (int text = 153; text <= 156; ++text) PrintWrappedText(L, L.Left + 50, L.Right, LText(text));
    }
    return true;
}
