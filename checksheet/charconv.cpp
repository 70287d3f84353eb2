// The language to code page list and the switch of the process's ANSI code page.
#include "charconv.h"

#include "CodePages.h"
#include "Forms.h"
#include "SysUtils.h"
#include "TolmLib.h"

namespace {

constexpr unsigned kDefaultCodePage = 1252;

}  // namespace

const std::map<std::string, unsigned, std::less<>>& LanguageCodePages() {
    static const std::map<std::string, unsigned, std::less<>> list = {
        {"BG", 1251}, {"CZ", 1250}, {"GK", 1253}, {"HR", 1250}, {"HV", 1250},
        {"PO", 1250}, {"RO", 1250}, {"SL", 1250}, {"UK", 1251},
    };
    return list;
}

unsigned ListedCodePage(const std::string& language) {
    const auto& list = LanguageCodePages();
    const auto it = list.find(UpperCase(language));
    return it == list.end() ? 0 : it->second;
}

unsigned CodePageOfLanguage(const std::string& language) {
    const unsigned listed = ListedCodePage(language);
    return listed ? listed : kDefaultCodePage;
}

unsigned UseLanguageCodePage(const std::string& language) {
    SetACP(CodePageOfLanguage(language));
    return GetACP();
}

void UseLanguage(const std::string& language) {
    Language = language;
    UseLanguageCodePage(language);
    SetToolkitLanguage(ToolkitLocaleOfLanguage(language));
}

std::string ToolkitLocaleOfLanguage(const std::string& language) {
    // The program's language codes that are not the ISO code of their language; the others are
    // it in upper case.
    static const std::map<std::string, std::string, std::less<>> differing = {
        {"CZ", "cs"}, {"GK", "el"}, {"HV", "hu"}, {"PO", "pl"}, {"EN", ""},
    };
    const std::string code = UpperCase(language);
    const auto it = differing.find(code);
    return it != differing.end() ? it->second : LowerCase(code);
}
