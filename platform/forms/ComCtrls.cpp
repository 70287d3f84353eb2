// The month calendar control.
#include "ComCtrls.h"

#include <ctime>

TMonthCalendar::TMonthCalendar(TComponent* AOwner) : TWinControl(AOwner), FDate(Today()) {
    SetBounds(0, 0, 191, 154);
}

std::chrono::year_month_day TMonthCalendar::Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::chrono::year_month_day{std::chrono::year{local.tm_year + 1900},
                                       std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                       std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
}

void TMonthCalendar::SetDate(std::chrono::year_month_day value) {
    if (!value.ok() || value == FDate) return;
    FDate = value;
    Changed();
}
