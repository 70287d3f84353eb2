// The date picker dialog and SelectDate.
#include "cal.h"

#include <memory>

#include "Printers.h"
#include "TolmLib.h"

namespace {

std::chrono::year_month_day ToCalendar(TDateTime date) {
    int y = 0, m = 0, d = 0;
    DecodeDate(date, y, m, d);
    return std::chrono::year_month_day{std::chrono::year{y}, std::chrono::month{unsigned(m)},
                                       std::chrono::day{unsigned(d)}};
}

TDateTime FromCalendar(std::chrono::year_month_day date) {
    return EncodeDate(int(date.year()), int(unsigned(date.month())), int(unsigned(date.day())));
}

}  // namespace

TfrmCalendar::TfrmCalendar(TComponent* AOwner) : TForm(AOwner) {
    Name = "frmCalendar";
    SetCaption("LText(9)");
    SetBounds(0, 0, 340, 260);
    BorderStyle = TFormBorderStyle::bsDialog;
    Position = TPosition::poScreenCenter;
    cal = new TMonthCalendar(this);
    cal->Name = "cal";
    cal->SetParent(this);
    cal->SetBounds(12, 12, 316, 180);  // wide enough for the weekday names whole in every language
    cal->TitleBackColor = clTeal;
    btnOK = new TBitBtn(this);
    btnOK->Name = "btnOK";
    btnOK->SetParent(this);
    btnOK->SetKind(TBitBtnKind::bkOK);
    btnOK->SetBounds(125, 206, 90, 28);
    OnShow = [this](TObject* s) { FormShow(s); };
    DoCreate();
}

void TfrmCalendar::FormShow(TObject*) {
    SetCaption(LText(9));
    btnOK->SetCaption(LText(110));
}

void StartPrintPage(char orientation) {
    Printer()->SetOrientation(orientation == 'L' ? poLandscape : poPortrait);
    Printer()->BeginDoc();
}

std::optional<TDateTime> SelectDate(const std::string& initial) {
    const TDateTime start = initial.empty() ? Date() : StrToDate(initial);
    auto dialog = std::make_unique<TfrmCalendar>(nullptr);
    dialog->cal->SetDate(ToCalendar(start));
    // Only OK chooses; a window closed otherwise chooses nothing.
    if (dialog->ShowModal() != mrOk) return std::nullopt;
    return FromCalendar(dialog->cal->Date());
}
