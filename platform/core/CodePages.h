// Code pages: the process's ANSI code page and the conversion of 8-bit text to UTF-16 (and back)
// by the published tables of the Windows code pages 874 and 1250-1258. One byte is one UTF-16
// unit; a byte the code page leaves undefined becomes U+FFFD.
#pragma once

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

/// UTF-16 to UTF-8 (messages, file names, diagnostics); an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
