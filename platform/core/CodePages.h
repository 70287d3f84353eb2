// Code pages: the process's ANSI code page and the conversion of 8-bit text to UTF-16 (and back)
// by the published tables of the Windows code pages 874 and 1250-1258. One byte is one UTF-16
// unit; a byte the code page leaves undefined becomes U+FFFD.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr unsigned CP_ACP = 0;         ///< "the ANSI code page of the process"
constexpr unsigned MB_PRECOMPOSED = 1; ///< accepted; the tables hold precomposed characters only

/// The ANSI code page of the process: 1252 unless SetACP chose another.
unsigned GetACP();
/// Sets the ANSI code page; returns false (and changes nothing) for a code page without a table.
bool SetACP(unsigned codePage);
/// True for the code pages with a table (874, 1250-1258) and for CP_ACP.
bool IsValidCodePage(unsigned codePage);

/// Widens `count` bytes of `bytes` (count -1: up to and including the terminating zero) into
/// `wide`, which holds `wideCount` units. With wideCount 0 only the needed length is returned.
/// Returns the number of units written, or 0 for an unknown code page, a null input or an
/// output too small (nothing is written past wideCount).
int MultiByteToWideChar(unsigned codePage, unsigned flags, const char* bytes, int count, char16_t* wide,
                        int wideCount);
/// Widens a whole text; an unknown code page gives an empty result.
std::u16string MultiByteToWideChar(unsigned codePage, std::string_view bytes);

/// Narrows UTF-16 text: a unit that the code page cannot represent becomes `defaultChar`.
/// An unknown code page gives an empty result.
std::string WideCharToMultiByte(unsigned codePage, std::u16string_view wide, char defaultChar = '?');
/// As above; `usedDefaultChar` tells whether some unit had no byte of its own (and so became
/// `defaultChar`), as a caller that must not lose characters silently needs to know.
std::string WideCharToMultiByte(unsigned codePage, std::u16string_view wide, char defaultChar, bool* usedDefaultChar);

/// The capital of a letter of the code pages' alphabets (Latin, Greek, Cyrillic); any other
/// character unchanged. Letters whose capital is two characters (German sharp s) stay as they are.
char16_t UpperCaseChar(char16_t c);
/// Upper-cases 8-bit text of a code page letter by letter, as the platform's edit control and
/// its upper-casing of ANSI text do: a letter whose capital the code page holds becomes that
/// capital; every other byte stays. An unknown code page changes only "a" to "z".
std::string AnsiUpperCase(std::string_view text, unsigned codePage = CP_ACP);

/// Writes one code point (up to U+10FFFF) as UTF-8 at `out`, which has room for 4 bytes; returns
/// the number of bytes written. Every UTF-16 to UTF-8 conversion of the system goes through it.
inline int PutUtf8(char32_t c, uint8_t* out) {
    if (c < 0x80) {
        out[0] = uint8_t(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = uint8_t(0xC0 | (c >> 6));
        out[1] = uint8_t(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = uint8_t(0xE0 | (c >> 12));
        out[1] = uint8_t(0x80 | ((c >> 6) & 0x3F));
        out[2] = uint8_t(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = uint8_t(0xF0 | (c >> 18));
    out[1] = uint8_t(0x80 | ((c >> 12) & 0x3F));
    out[2] = uint8_t(0x80 | ((c >> 6) & 0x3F));
    out[3] = uint8_t(0x80 | (c & 0x3F));
    return 4;
}

/// UTF-16 to UTF-8 (messages, file names, diagnostics); an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
