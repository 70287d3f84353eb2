// The pre-printed forms dialog and the page-image routines: page files are looked up in the
// database folder whatever their letter case, loaded through the picture registry into the data
// module's page image and printed one page per print job.
#include "DocPrint.h"

#include <cctype>
#include <cerrno>
#include <cstring>

#include "Database.h"
#include "Exceptions.h"
#include "Files.h"
#include "Printers.h"
#include "Printout.h"
#include "Tables.h"
#include "TolmLib.h"
#include "cal.h"

namespace {

/// Name of the page last loaded: the title of its print job (the PDF printer names its file so).
std::string gLoadedPage;

std::string Digit(int n) { return std::string(1, char('0' + n)); }

/// Fixed captions of the German season checks (code page 1252).
constexpr const char* kSeasonCheckTitle = "SaisonCheck - Pr\xFC" "fberichte";
constexpr const char* kSpringCheck = "Fr\xFC" "hjahrsCheck";
constexpr const char* kHolidayCheck = "UrlaubsCheck";
constexpr const char* kWinterCheck = "WinterCheck";

}  // namespace

// ---- page images ----

std::string PageImageFolder() {
    if (TDatabase* db = TDatabase::FindDatabase(kDatabaseAlias)) return db->Path();
    return ProgramFolder();
}

void LoadPageImage(const std::string& fileName) {
    const std::string wanted = PageImageFolder() + fileName;
    // Names are made of the settings' codes: one that would leave the page folder names no page.
    const std::string path = fileName.find('/') == std::string::npos ? FindFileNoCase(wanted) : std::string();
    // A missing file is the file-open error of the stream, before any reader is looked for.
    if (path.empty()) throw EFOpenError("Cannot open file \"" + wanted + "\". " + std::strerror(ENOENT));
    frmTables->imPrePrint->Picture().LoadFromFile(path);
    const std::size_t dot = fileName.rfind('.');
    gLoadedPage = fileName.substr(0, dot);
}

bool TryLoadPageImage(const std::string& fileName) {
    try {
        LoadPageImage(fileName);
        return true;
    } catch (const EFOpenError&) {
        return false;
    }
}

void Print_Page() {
    TPicture& page = frmTables->imPrePrint->Picture();
    TPrinter& printer = *Printer();
    const std::string title = printer.Title;
    printer.Title = gLoadedPage;
    try {
        StartPrintPage('P');
        PrintBitmap(printer.Canvas(), TRect{0, 0, printer.PageWidth(), printer.PageHeight()}, page.Bitmap());
        printer.EndDoc();
    } catch (...) {
        printer.Abort();
        printer.Title = title;
        throw;
    }
    printer.Title = title;
}

bool PrintPageImage(const std::string& fileName) {
    if (!TryLoadPageImage(fileName)) return false;
    Print_Page();
    return true;
}

bool ReleaseMonthStart(const std::string& releaseDate, TDateTime& firstDay) {
    const std::size_t slash = releaseDate.find('/');
    if (slash == std::string::npos || slash == 0 || slash > 2 || releaseDate.size() != slash + 5) return false;
    int month = 0, year = 0;
    for (std::size_t i = 0; i < releaseDate.size(); ++i) {
        if (i == slash) continue;
        if (!std::isdigit(static_cast<unsigned char>(releaseDate[i]))) return false;
        int& part = i < slash ? month : year;
        part = part * 10 + (releaseDate[i] - '0');
    }
    if (month < 1 || month > 12 || year < 1) return false;
    firstDay = EncodeDate(year, month, 1);
    return true;
}

// ---- the dialog ----

TfrmPrint::TfrmPrint(TComponent* AOwner) : TForm(AOwner) {
    Name = "frmPrint";
    SetCaption("PrePrinted Forms");
    SetBounds(0, 0, 440, 430);
    Position = TPosition::poScreenCenter;
    BorderStyle = TFormBorderStyle::bsSingle;
    BorderIcons = biSystemMenu | biMinimize;
    Font.Name = "Arial";
    Font.SetSize(9);

    Image1 = Place<TImage>(this, this, "Image1", 12, 12, 120, 40);
    Image1->SetStretch(true);
    Image1->SetTransparent(true);
    LoadArtwork(*Image1, "imTolmLogo.bmp");
    lblTitle = Place<TLabel>(this, this, "lblTitle", 140, 20, 288, 24);
    lblTitle->Alignment = TAlignment::taCenter;
    lblTitle->Font.Name = "Arial";
    lblTitle->Font.SetSize(12);
    lblTitle->Font.Style = fsBold;
    lblTitle->SetCaption("lblTitle");

    GroupBox1 = Place<TGroupBox>(this, this, "GroupBox1", 12, 64, 416, 296);
    struct Choice {
        TRadioButton** Button;
        const char* Name;
        const char* Caption;
        int Top;
    };
    const Choice choices[] = {
        {&rbAnnProt, "rbAnnProt", "LText(136)", 20},      {&rbPDI, "rbPDI", "LText(79)", 46},
        {&rbModelPetrol, "rbModelPetrol", "LText(52)", 72}, {&rbModelDiesel, "rbModelDiesel", "LText(52)", 98},
        {&rbBodyPaint, "rbBodyPaint", "Body and Paint Check", 124},
        {&rbBudgetCS, "rbBudgetCS", "LText(187)", 150},   {&rbFCheck, "rbFCheck", kSpringCheck, 206},
        {&rbUCheck, "rbUCheck", kHolidayCheck, 232},       {&rbWCheck, "rbWCheck", kWinterCheck, 258},
    };
    for (const Choice& c : choices) {
        *c.Button = Place<TRadioButton>(this, GroupBox1, c.Name, 16, c.Top, 384, 20);
        (*c.Button)->SetCaption(c.Caption);
    }
    rbAnnProt->Hide();
    lblSeasonCheck = Place<TLabel>(this, GroupBox1, "lblSeasonCheck", 16, 184, 384, 18);
    lblSeasonCheck->SetCaption(kSeasonCheckTitle);
    lblSeasonCheck->Font.Name = "Arial";
    lblSeasonCheck->Font.SetSize(9);
    lblSeasonCheck->Font.Style = fsBold;

    printDialog1.Copies = 1;
    btnPrint = Place<TBitBtn>(this, this, "btnPrint", 116, 378, 96, 32);
    btnPrint->SetCaption("LText(25)");
    btnPrint->OnClick = [this](TObject* s) { btnPrintClick(s); };
    btnExit = Place<TBitBtn>(this, this, "btnExit", 228, 378, 96, 32);
    btnExit->SetKind(TBitBtnKind::bkCancel);
    btnExit->SetCaption("LText(6)");
    btnExit->OnClick = [this](TObject* s) { btnExitClick(s); };

    tblBCRDates.SetDatabaseName(kDatabaseAlias);
    tblBCRDates.SetTableName("BCRDATES.db");
    OnShow = [this](TObject* s) { FormShow(s); };
    DoCreate();
}

TfrmPrint::~TfrmPrint() = default;

void TfrmPrint::FormShow(TObject*) {
    const bool german = Market == "DX";
    for (TControl* c : {static_cast<TControl*>(lblSeasonCheck), static_cast<TControl*>(rbFCheck),
                        static_cast<TControl*>(rbUCheck), static_cast<TControl*>(rbWCheck)})
        c->SetVisible(german);
    if (german) rbBodyPaint->Hide();

    const std::string title = WithoutAccelerator(LText(173));
    SetCaption(title);
    lblTitle->SetCaption(title);

    rbAnnProt->SetCaption(LText(136));
    rbPDI->SetCaption(LText(79));
    rbModelPetrol->SetCaption(LText(52) + "  -  Pellor " + LText(119) + " - 03/1998");
    rbModelDiesel->SetCaption(LText(52) + "  -  Pellor " + LText(120) + " - 03/1998");
    rbBodyPaint->SetCaption(LText(183));
    rbBudgetCS->SetCaption(LText(187));
    btnPrint->SetCaption(LText(25));
    btnExit->SetCaption(LText(6));

    rbModelPetrol->SetVisible(Form_Exists('P'));
    rbModelDiesel->SetVisible(Form_Exists('D'));

    ShowBudgetWhenReleased();

    if (german) {
        rbAnnProt->Show();
        rbAnnProt->SetChecked(true);
    } else {
        rbAnnProt->Hide();
        rbPDI->SetChecked(true);
    }
}

void TfrmPrint::ShowBudgetWhenReleased() {
    rbBudgetCS->Hide();
    // A missing table, a market without a row or a date that is not a month and year: the budget
    // checksheet is not offered, and the dialog opens all the same.
    try {
        if (!tblBCRDates.Active()) tblBCRDates.Open();
        if (!tblBCRDates.FindKey({Market})) return;
        TDateTime firstDay = 0;
        if (!ReleaseMonthStart(tblBCRDates.FieldByName("Release_Date")->AsString(), firstDay)) return;
        if (Date() >= firstDay) rbBudgetCS->Show();
    } catch (const EDatabaseError&) {
    }
}

bool TfrmPrint::Form_Exists(char fuel) {
    try {
        LoadPageImage(Market + Language + "M" + fuel + "1.TIF");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TfrmPrint::btnPrintClick(TObject*) {
    if (rbAnnProt->Checked()) Print_AnnProt();
    else if (rbPDI->Checked()) Print_PDI();
    else if (rbModelPetrol->Checked()) Print_Model('P');
    else if (rbModelDiesel->Checked()) Print_Model('D');
    else if (rbBodyPaint->Checked()) Print_BodyPaint();
    else if (rbBudgetCS->Checked()) Print_BudgetCS();
    else if (rbFCheck->Checked()) Print_SeasonCheck('F');
    else if (rbUCheck->Checked()) Print_SeasonCheck('U');
    else if (rbWCheck->Checked()) Print_SeasonCheck('W');
}

void TfrmPrint::btnExitClick(TObject*) { Close(); }

template <class Pages>
void TfrmPrint::RunPrint(Pages pages) {
    if (!printDialog1.Execute()) return;
    Screen->SetCursor(crHourGlass);
    try {
        pages();
    } catch (...) {
        Screen->SetCursor(crDefault);
        throw;
    }
    Screen->SetCursor(crDefault);
}

void TfrmPrint::Print_AnnProt() {
    RunPrint([] {
        LoadPageImage("ANNPROT.TIF");
        Print_Page();
    });
}

void TfrmPrint::Print_PDI() {
    RunPrint([] {
        const bool belgianGerman = (Market == "BX" || Market == "CH") && Language == "DE";
        const std::string prefix = belgianGerman ? std::string("BX") : Language;
        for (int n = 1; n <= 9; ++n) {
            if (!TryLoadPageImage(prefix + "PDI" + Digit(n) + ".TIF")) {
                // The first two pages have English stand-ins; from page 3 the series ends.
                if (n > 2) break;
                LoadPageImage("ENPDI" + Digit(n) + ".TIF");
            }
            Print_Page();
        }
    });
}

void TfrmPrint::Print_Model(char fuel) {
    RunPrint([fuel] {
        for (int n = 1; n <= 9; ++n)
            if (!PrintPageImage(Market + Language + "M" + fuel + Digit(n) + ".TIF")) break;
    });
}

namespace {

/// A series whose missing page 1 is replaced by the English page 1, after which it ends; any
/// other missing page ends it.
void PrintWithEnglishFirstPage(const std::string& form) {
    for (int n = 1; n <= 9; ++n) {
        if (PrintPageImage(Language + form + Digit(n) + ".TIF")) continue;
        if (n == 1) {
            LoadPageImage("EN" + form + "1.TIF");
            Print_Page();
        }
        break;
    }
}

}  // namespace

void TfrmPrint::Print_BodyPaint() {
    RunPrint([] { PrintWithEnglishFirstPage("BP"); });
}

void TfrmPrint::Print_BudgetCS() {
    RunPrint([] { PrintWithEnglishFirstPage("BCS"); });
}

void TfrmPrint::Print_SeasonCheck(char season) {
    RunPrint([season] {
        for (int n = 1; n <= 9; ++n)
            if (!PrintPageImage(std::string("DX") + "Chk" + season + Digit(n) + ".TIF")) break;
    });
}
