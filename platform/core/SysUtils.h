// The runtime helpers the system's code calls by name: format settings, string-to-integer and
// date conversion, and the small string helpers. Strings are 8-bit; case mapping touches ASCII
// letters only, so bytes of any code page pass through unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// The process's format settings. Defaults: date separator '/', decimal separator '.',
/// short date format "dd/mm/yyyy"; the process may change them at any time.
struct TFormatSettings {
    char DateSeparator = '/';
    char DecimalSeparator = '.';
    std::string ShortDateFormat = "dd/mm/yyyy";
};
extern TFormatSettings FormatSettings;

/// Converts as the runtime does: leading blanks skipped, one "+" or "-", then decimal digits, or
/// hexadecimal digits after "$", "x", "X" or "0x"/"0X". Any other character (a trailing blank
/// included), no digits at all, or a value outside 32-bit signed range fails.
/// Returns false on failure and leaves `value` unchanged.
bool TryStrToInt(std::string_view text, int& value);
/// As TryStrToInt; failure raises EConvertError "'<text>' is not a valid integer value".
int StrToInt(std::string_view text);
/// As TryStrToInt; failure returns `fallback`.
int StrToIntDef(std::string_view text, int fallback);
std::string IntToStr(int64_t value);

/// ASCII-only case mapping; other bytes are left as they are.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
/// True when both texts are equal ignoring ASCII letter case.
bool SameText(std::string_view a, std::string_view b);
/// Trim removes blanks and control characters (bytes up to 0x20) from both ends; TrimRight and
/// TrimLeft from one end.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

/// A date as days since 30 December 1899 (the time of day as a fraction; unused here).
using TDateTime = double;

/// Today's local date (time of day zero).
TDateTime Date();
/// The date of a year, month and day; EConvertError for an impossible date.
TDateTime EncodeDate(int year, int month, int day);
void DecodeDate(TDateTime date, int& year, int& month, int& day);
/// Reads a date written in the order of `FormatSettings.ShortDateFormat` (day, month and year
/// fields separated by `FormatSettings.DateSeparator`); a year below 100 is taken as 2000 + year.
/// A text that is not such a date raises EConvertError "'<text>' is not a valid date".
TDateTime StrToDate(std::string_view text);
/// Writes a date in `FormatSettings.ShortDateFormat` ("d", "dd", "m", "mm", "yy", "yyyy" fields;
/// any other character of the format stands for the date separator when it is "/").
std::string DateToStr(TDateTime date);
