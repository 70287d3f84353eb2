// The language to code page list and the switch of the process's ANSI code page.
#include "charconv.h"

#include "CodePages.h"
#include "SysUtils.h"

namespace {

struct LanguageCodePage {
    const char* Language;
    unsigned CodePage;
};

/// Every language whose texts are not in code page 1252.
constexpr LanguageCodePage kCodePageList[] = {
    {"BG", 1251}, {"CZ", 1250}, {"GK", 1253}, {"HR", 1250}, {"HV", 1250},
    {"PO", 1250}, {"RO", 1250}, {"SL", 1250}, {"UK", 1251},
};

constexpr unsigned kDefaultCodePage = 1252;

}  // namespace

unsigned ListedCodePage(const std::string& language) {
    const std::string code = UpperCase(language);
    for (const LanguageCodePage& entry : kCodePageList)
        if (code == entry.Language) return entry.CodePage;
    return 0;
}

unsigned CodePageOfLanguage(const std::string& language) {
    const unsigned listed = ListedCodePage(language);
    return listed ? listed : kDefaultCodePage;
}

unsigned UseLanguageCodePage(const std::string& language) {
    SetACP(CodePageOfLanguage(language));
    return GetACP();
}
