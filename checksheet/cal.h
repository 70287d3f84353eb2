// The routines of the shared unit that need the forms and printing layers: the date picker (a
// month calendar with an OK button, shown modally by SelectDate) and the start of a page printed
// directly on the printer.
#pragma once

#include <optional>
#include <string>

#include "Buttons.h"
#include "ComCtrls.h"
#include "Forms.h"
#include "SysUtils.h"

class TfrmCalendar : public TForm {
public:
    explicit TfrmCalendar(TComponent* AOwner);
    TMonthCalendar* cal;
    TBitBtn* btnOK;
    void FormShow(TObject* Sender);
};

/// Shows the date picker on `initial` (a date in the short date format; today when empty) and
/// returns the date chosen with OK; nothing when the dialog was closed any other way (its
/// window's close button, Escape). A text that is not a date raises EConvertError before
/// anything is shown.
std::optional<TDateTime> SelectDate(const std::string& initial);

/// Sets the printer to landscape for 'L' and to portrait for any other character, then begins
/// the print job. The caller draws on the printer's canvas and ends the job.
void StartPrintPage(char orientation);
