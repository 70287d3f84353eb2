// Runtime helpers: integer and date conversion by the process's format settings, ASCII case
// mapping and trimming. The conversions never read past their input and never throw anything
// but EConvertError.
#include "SysUtils.h"

#include "Exceptions.h"

#include <cmath>
#include <ctime>
#include <limits>

TFormatSettings FormatSettings;

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1 January of year 1 to the given date (proleptic Gregorian calendar).
int64_t DayNumber(int year, int month, int day) {
    int64_t y = year - 1;
    int64_t n = y * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m)
        n += DaysInMonth(year, m);
    return n + day - 1;
}

const int64_t kEpoch = DayNumber(1899, 12, 30);

} // namespace

bool TryStrToInt(std::string_view text, int& value) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) return false;
    // Accumulate the magnitude; the negative range is one larger than the positive one.
    const uint64_t limit =
        negative ? uint64_t(std::numeric_limits<int>::max()) + 1 : uint64_t(std::numeric_limits<int>::max());
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        int digit = base == 16 ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0) return false;
        magnitude = magnitude * base + digit;
        if (magnitude > limit) return false;
    }
    value = negative ? int(-int64_t(magnitude)) : int(magnitude);
    return true;
}

int StrToInt(std::string_view text) {
    int value = 0;
    if (!TryStrToInt(text, value))
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return value;
}

int StrToIntDef(std::string_view text, int fallback) {
    int value = fallback;
    return TryStrToInt(text, value) ? value : fallback;
}

std::string IntToStr(int64_t value) {
    return std::to_string(value);
}

std::string UpperCase(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

std::string LowerCase(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

static bool IsTrimmed(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string TrimLeft(std::string_view text) {
    size_t b = 0;
    while (b < text.size() && IsTrimmed(text[b]))
        ++b;
    return std::string(text.substr(b));
}

std::string TrimRight(std::string_view text) {
    size_t e = text.size();
    while (e > 0 && IsTrimmed(text[e - 1]))
        --e;
    return std::string(text.substr(0, e));
}

std::string Trim(std::string_view text) {
    return TrimLeft(TrimRight(text));
}

TDateTime EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        throw EConvertError("Invalid argument to date encode");
    return double(DayNumber(year, month, day) - kEpoch);
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
    int64_t n = int64_t(std::floor(date)) + kEpoch; // days since 1 January of year 1
    year = int(n / 366) + 1;                        // never beyond the real year
    while (DayNumber(year + 1, 1, 1) <= n)
        ++year;
    n -= DayNumber(year, 1, 1);
    month = 1;
    while (n >= DaysInMonth(year, month))
        n -= DaysInMonth(year, month++);
    day = int(n) + 1;
}

TDateTime Date() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

TDateTime StrToDate(std::string_view text) {
    const auto fail = [&]() -> TDateTime {
        throw EConvertError("'" + std::string(text) + "' is not a valid date");
    };
    // The order of the fields is the order of their letters in the short date format.
    std::string order;
    for (char c : LowerCase(FormatSettings.ShortDateFormat))
        if ((c == 'd' || c == 'm' || c == 'y') && order.find(c) == std::string::npos) order += c;
    if (order.size() != 3) order = "dmy";
    const size_t dPos = order.find('d'), mPos = order.find('m'), yPos = order.find('y');
    std::string s = Trim(text);
    int parts[3] = {0, 0, 0};
    size_t pos = 0;
    for (int k = 0; k < 3; ++k) {
        size_t start = pos;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && pos - start < 4)
            ++pos;
        if (pos == start) return fail();
        parts[k] = std::stoi(s.substr(start, pos - start));
        if (k < 2) {
            if (pos >= s.size() || s[pos] != FormatSettings.DateSeparator) return fail();
            ++pos;
        }
    }
    if (pos != s.size()) return fail();
    int day = parts[dPos % 3], month = parts[mPos % 3], year = parts[yPos % 3];
    if (year < 100) year += 2000;
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return fail();
    return EncodeDate(year, month, day);
}

std::string DateToStr(TDateTime date) {
    int year, month, day;
    DecodeDate(date, year, month, day);
    const auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    std::string out;
    const std::string& f = FormatSettings.ShortDateFormat;
    for (size_t i = 0; i < f.size();) {
        char c = char(f[i] | 0x20);
        size_t run = 1;
        while (i + run < f.size() && char(f[i + run] | 0x20) == c)
            ++run;
        if (c == 'd')
            out += run >= 2 ? two(day) : std::to_string(day);
        else if (c == 'm')
            out += run >= 2 ? two(month) : std::to_string(month);
        else if (c == 'y')
            out += run >= 3 ? std::to_string(year) : two(year % 100);
        else if (f[i] == '/')
            out.append(run, FormatSettings.DateSeparator);
        else
            out.append(f, i, run);
        i += run;
    }
    return out;
}
