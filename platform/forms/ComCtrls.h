// The month calendar control.
#pragma once

#include <chrono>

#include "Controls.h"

/// A calendar of one month from which the user picks a day.
class TMonthCalendar : public TWinControl {
public:
    explicit TMonthCalendar(TComponent* AOwner);
    std::chrono::year_month_day Date() const { return FDate; }
    /// Sets the date shown and chosen; an invalid date changes nothing.
    void SetDate(std::chrono::year_month_day value);
    TColor TitleBackColor = clTeal;

    /// Today's date from the system clock.
    static std::chrono::year_month_day Today();

private:
    std::chrono::year_month_day FDate;
};
