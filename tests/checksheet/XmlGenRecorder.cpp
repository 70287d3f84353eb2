// The recording stand-in of the XML checksheet unit: each operation appends its name and
// arguments to the record; nothing is built or written.
#include "XmlGenRecorder.h"

#include "CodePages.h"
#include "XMLGen.h"
#include "charconv.h"

namespace XmlGenRecorder {

std::vector<std::string>& Calls() {
    static std::vector<std::string> calls;
    return calls;
}

void Reset() { Calls().clear(); }

std::vector<std::string> CallsStartingWith(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& call : Calls())
        if (call.rfind(prefix, 0) == 0) found.push_back(call);
    return found;
}

}  // namespace XmlGenRecorder

namespace {

void Record(const std::string& name, std::initializer_list<std::string> args) {
    std::string call = name + "(";
    bool first = true;
    for (const std::string& a : args) {
        if (!first) call += "|";
        call += a;
        first = false;
    }
    XmlGenRecorder::Calls().push_back(call + ")");
}

std::string Flag(bool value) { return value ? "true" : "false"; }

}  // namespace

xmldom::TDomImplementation* XMLImpl = nullptr;
xmldom::TdomDocument* XMLDoc = nullptr;
xmldom::TdomElement* XMLRoot = nullptr;
xmldom::TdomElement* XMLMainBody = nullptr;
xmldom::TdomElement* XMLSection = nullptr;
xmldom::TdomElement* XMLMainHeading = nullptr;
xmldom::TdomElement* XMLOperation = nullptr;
xmldom::TdomElement* XMLEmission = nullptr;
xmldom::TdomText* XMLText = nullptr;

const std::map<std::string, unsigned, std::less<>> CodePageList = LanguageCodePages();

void CreateChecksheetDocument(const std::string& locale) { Record("CreateChecksheetDocument", {locale}); }
void AddSection(const std::string& mainHeading) { Record("AddSection", {mainHeading}); }
void AddOperation(const std::string& level, const std::string& type, const std::string& parts,
                  const std::string& labour, const std::string& optional, const std::string& id) {
    Record("AddOperation", {level, type, parts, labour, optional, id});
}
void AddSubHeading(const std::string& text) { Record("AddSubHeading", {text}); }
void AddStatement(bool continuation, bool alignRight, const std::string& text) {
    Record("AddStatement", {Flag(continuation), Flag(alignRight), text});
}
void AddEmissionTest(const std::string& oilTemp, const std::string& fuelType, const std::string& catalyst) {
    Record("AddEmissionTest", {oilTemp, fuelType, catalyst});
}
void AddFastIdle(const std::string& rpm, const std::string& co, const std::string& hc, const std::string& lambda) {
    Record("AddFastIdle", {rpm, co, hc, lambda});
}
void AddIdle(const std::string& rpm, const std::string& co, const std::string& hc) { Record("AddIdle", {rpm, co, hc}); }
void AddNonTurbo(const std::string& limit) { Record("AddNonTurbo", {limit}); }
void AddTurbo(const std::string& limit) { Record("AddTurbo", {limit}); }
void AddBrakeTest(const std::string& weight) { Record("AddBrakeTest", {weight}); }
void SaveChecksheetXml() { Record("SaveChecksheetXml", {}); }
std::string ChecksheetXmlPath() { return std::string(); }

unsigned CodePageForLanguage(const std::string& language) {
    const auto it = CodePageList.find(language);
    return it == CodePageList.end() ? 1252 : it->second;
}

std::u16string AnsiToWideForLanguage(const std::string& language, const std::string& text) {
    const auto it = CodePageList.find(language);
    return MultiByteToWideChar(it == CodePageList.end() ? CP_ACP : it->second, text);
}

void FreeChecksheetDocument() { Record("FreeChecksheetDocument", {}); }
