// Code pages of the languages of the service data. The data hold each language's texts in the
// Windows code page of its market, so the process's ANSI code page follows the language in use:
// everything the forms, the canvas and the printer show is read in it, and typed text is stored in it.
#pragma once

#include <functional>
#include <map>
#include <string>

/// The list of languages whose texts are not in code page 1252, with their code pages (upper-case
/// language codes). The one list of the program: the XML writer's code-page list is a copy of it.
const std::map<std::string, unsigned, std::less<>>& LanguageCodePages();

/// The code page listed for a language code (letter case ignored): 1250 for CZ, HR, HV, PO, RO,
/// SL; 1251 for BG, UK; 1253 for GK; 0 for a language the list does not name.
unsigned ListedCodePage(const std::string& language);

/// The ANSI code page texts of the language are read and written in: the listed one, else 1252.
unsigned CodePageOfLanguage(const std::string& language);

/// Makes the process's ANSI code page that of the language. Returns the code page now in use.
unsigned UseLanguageCodePage(const std::string& language);

/// Makes `language` the language of the run (Language) and its code page the ANSI code page.
/// Every road that sets the language goes through here (the menu's settings, the settings
/// dialog, the checksheet form, the hand-off file, each XML request), so the forms and the
/// canvas never read a language's texts in another language's code page.
void UseLanguage(const std::string& language);

/// The locale name of a language code, for the texts the toolkit supplies (its buttons, titles,
/// calendar names and print dialog): the ISO 639 code, "" for English (the toolkit's own).
std::string ToolkitLocaleOfLanguage(const std::string& language);
