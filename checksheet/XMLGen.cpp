// The checksheet XML document: its elements and attributes as the report adds them, the text
// cleaning and wide conversion per language, and the file written once its last page is done
// (complete or not at all: the file has no name until it is whole, then replaces the target).

#include "XMLGen.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "CodePages.h"
#include "Exceptions.h"
#include "Files.h"
#include "SysUtils.h"
#include "TolmLib.h"
#include "XmlDom.h"
#include "XmlParsers.h"
#include "charconv.h"

using xmldom::TDomImplementation;
using xmldom::TdomDocument;
using xmldom::TdomAttr;
using xmldom::TdomElement;
using xmldom::TdomNode;
using xmldom::TdomText;
using xmldom::TStream;
using xmldom::TDomToXmlParser;

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

namespace {

// The run's document and implementation; freed when the next run replaces them and at exit.
struct DocumentHolder {
    std::unique_ptr<TdomDocument> document;
    std::unique_ptr<TDomImplementation> implementation;
    ~DocumentHolder() {
        document.reset(); // nodes first: the document may still tell its implementation
        implementation.reset();
    }
};
DocumentHolder holder;

/// At exit the last document is freed by a handler registered once the first document exists:
/// exit handlers run before the destructors of the statics constructed before their
/// registration, so the document library's own statics (made while the document was built) are
/// still there. The holder's destructor alone would run after them.
void freeAtExit() {
    static const bool registered = [] {
        std::atexit([] { FreeChecksheetDocument(); });
        return true;
    }();
    (void)registered;
}

/// Drops the characters an XML 1.0 document cannot carry (C0 controls other than tab, line
/// feed and carriage return; the two non-characters U+FFFE and U+FFFF).
std::u16string xmlSafe(std::u16string text) {
    std::erase_if(text, [](char16_t c) {
        return (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || c == 0xFFFE || c == 0xFFFF;
    });
    return text;
}

/// An attribute value as the writer sends it: the stored text goes out unchanged, so the
/// characters that would end or break the literal are stored as references.
std::u16string attributeLiteral(const std::u16string& value) {
    std::u16string out;
    out.reserve(value.size());
    for (char16_t c : xmlSafe(value)) {
        switch (c) {
        case u'&': out += u"&amp;"; break;
        case u'<': out += u"&lt;"; break;
        case u'"': out += u"&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::u16string ansi(const std::string& text) {
    return MultiByteToWideChar(CP_ACP, text);
}

/// Strict UTF-8 to UTF-16; false for a malformed sequence.
bool utf8ToWide(const std::string& text, std::u16string& out) {
    out.clear();
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        char32_t cp;
        int extra;
        if (b < 0x80) {
            cp = b;
            extra = 0;
        } else if (b >= 0xC2 && b <= 0xDF) {
            cp = b & 0x1F;
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            cp = b & 0x0F;
            extra = 2;
        } else if (b >= 0xF0 && b <= 0xF4) {
            cp = b & 0x07;
            extra = 3;
        } else {
            return false;
        }
        if (extra > 0 && i + static_cast<size_t>(extra) >= n) return false;
        for (int k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return false;
        if (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += static_cast<size_t>(extra) + 1;
    }
    return true;
}

/// A command-line text: UTF-8 as the shell passes it; bytes that are no UTF-8 by the ANSI
/// code page.
std::u16string commandLineText(const std::string& text) {
    std::u16string wide;
    if (utf8ToWide(text, wide)) return wide;
    return ansi(text);
}

/// The names of the current document's elements and attributes, each checked and held by the
/// document once: later elements and attributes of a name are made without a name check or a
/// look-up. Forgotten with the document.
struct SharedName {
    const char16_t* Name;
    const xmldom::WideString* Shared;
    uint8_t DeclarationKind;
};
std::vector<SharedName> sharedElementNames, sharedAttributeNames;

SharedName* findShared(std::vector<SharedName>& names, const char16_t* name) {
    // The names are the literals of this unit: the same address is the same name.
    for (SharedName& n : names)
        if (n.Name == name) return &n;
    for (SharedName& n : names)
        if (*n.Shared == name) return &n;
    return nullptr;
}

TdomElement* newElement(TdomNode* parent, const char16_t* name) {
    TdomElement* element;
    if (const SharedName* shared = findShared(sharedElementNames, name)) {
        element = XMLDoc->createElementShared(*shared->Shared);
    } else {
        element = XMLDoc->createElement(name);
        sharedElementNames.push_back({name, &element->getTagNameRef(), 0});
    }
    parent->appendChild(element);
    return element;
}

void addText(TdomElement* element, const std::u16string& text) {
    XMLText = XMLDoc->createTextNode(xmlSafe(text));
    element->appendChild(XMLText);
}

void setAttr(TdomElement* element, const char16_t* name, const std::u16string& value) {
    const SharedName* shared = findShared(sharedAttributeNames, name);
    // Each attribute is set once on a new element; another setting of it replaces the value.
    if (shared && !element->hasAttribute(*shared->Shared)) {
        XMLDoc->addAttributeShared(element, *shared->Shared, shared->DeclarationKind, attributeLiteral(value));
        return;
    }
    if (TdomAttr* added = element->setAttribute(name, attributeLiteral(value)); added && !shared)
        sharedAttributeNames.push_back({name, &added->getNameRef(), added->getNamespaceDeclarationKind()});
}

/// The element with one text child, under parent.
void addTextElement(TdomElement* parent, const char16_t* name, const std::u16string& text) {
    addText(newElement(parent, name), text);
}

/// The current section; a new one with an empty main heading when the run has none yet.
TdomElement* currentSection() {
    if (!XMLSection) AddSection(std::string());
    return XMLSection;
}

/// The current operation; a new empty one in the current section when there is none.
TdomElement* currentOperation() {
    if (!XMLOperation) AddOperation("", "", "", "", "", "");
    return XMLOperation;
}

bool requireDocument() {
    return XMLDoc && XMLMainBody;
}

void clearState() {
    sharedElementNames.clear();
    sharedAttributeNames.clear();
    XMLImpl = nullptr;
    XMLDoc = nullptr;
    XMLRoot = XMLMainBody = XMLSection = XMLMainHeading = XMLOperation = XMLEmission = nullptr;
    XMLText = nullptr;
}

[[noreturn]] void raiseCreateError(const std::string& path, int error) {
    std::string message = "Cannot create file \"" + path + "\"";
    if (error) message += ". " + std::string(std::strerror(error));
    throw ::EFCreateError(message);
}

bool codeIsSafe(const std::string& code) {
    return code.find('/') == std::string::npos && code.find('\0') == std::string::npos && code != "." &&
           code != "..";
}

} // namespace

TXmlFileStream::TXmlFileStream(std::string spare) : bytes_(std::move(spare)) { bytes_.clear(); }

int64_t TXmlFileStream::Write(const void* Buffer, int64_t Count) {
    if (Count <= 0) return 0;
    const size_t at = static_cast<size_t>(position_);
    const size_t count = static_cast<size_t>(Count);
    if (at > bytes_.size()) bytes_.resize(at, '\0');  // a seek past the end leaves a gap of zeros
    bytes_.replace(at, std::min(count, bytes_.size() - at), static_cast<const char*>(Buffer), count);
    position_ += Count;
    return Count;
}

int64_t TXmlFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    const int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? position_ : int64_t(bytes_.size());
    position_ = std::max<int64_t>(0, base + Offset);
    return position_;
}

unsigned CodePageForLanguage(const std::string& language) { return CodePageOfLanguage(language); }

std::u16string AnsiToWideForLanguage(const std::string& language, const std::string& text) {
    if (text.empty()) return {};
    auto it = CodePageList.find(UpperCase(language));
    if (it == CodePageList.end()) return ansi(text);
    std::u16string wide(text.size(), u'\0');
    const int n = MultiByteToWideChar(it->second, MB_PRECOMPOSED, text.data(), static_cast<int>(text.size()),
                                      wide.data(), static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(n > 0 ? n : 0));
    return wide;
}

void FreeChecksheetDocument() {
    clearState();
    holder.document.reset();
    holder.implementation.reset();
}

void CreateChecksheetDocument(const std::string& locale) {
    std::u16string systemId = commandLineText(DocTypeId);
    if (systemId.find(u'"') != std::u16string::npos && systemId.find(u'\'') != std::u16string::npos)
        throw ::Exception("The document type identifier \"" + DocTypeId +
                        "\" holds both quote characters and cannot be written");
    FreeChecksheetDocument();
    holder.implementation = std::make_unique<TDomImplementation>();
    holder.document = std::make_unique<TdomDocument>();
    XMLImpl = holder.implementation.get();
    XMLDoc = holder.document.get();
    if (!DocTypeId.empty())
        XMLDoc->appendChild(XMLDoc->createDocumentTypeDecl(u"checksheet", u"", xmlSafe(systemId), u""));
    XMLRoot = newElement(XMLDoc, u"checksheet");
    setAttr(XMLRoot, u"locale", ansi(locale));
    XMLMainBody = newElement(XMLRoot, u"main-body");
    freeAtExit();
}

void AddSection(const std::string& mainHeading) {
    if (!requireDocument()) return;
    std::string text = StripTrailingDollars(mainHeading);
    const size_t first = text.find_first_not_of('*');
    text.erase(0, first == std::string::npos ? text.size() : first);
    XMLSection = newElement(XMLMainBody, u"section");
    XMLOperation = nullptr;
    XMLMainHeading = newElement(XMLSection, u"main-heading");
    addText(XMLMainHeading, AnsiToWideForLanguage(Language, text));
}

void AddOperation(const std::string& level, const std::string& type, const std::string& parts,
                  const std::string& labour, const std::string& optional, const std::string& id) {
    if (!requireDocument()) return;
    XMLOperation = newElement(currentSection(), u"operation");
    setAttr(XMLOperation, u"type", ansi(type));
    setAttr(XMLOperation, u"level", ansi(level));
    if (!parts.empty()) setAttr(XMLOperation, u"parts", u"true");
    if (!labour.empty()) setAttr(XMLOperation, u"labour", u"true");
    if (!optional.empty()) setAttr(XMLOperation, u"optional", u"true");
    setAttr(XMLOperation, u"id", ansi(id));
}

void AddSubHeading(const std::string& text) {
    if (!requireDocument()) return;
    std::string clean = StripTrailingDollars(text);
    const size_t first = clean.find_first_not_of('*');
    clean.erase(0, first == std::string::npos ? clean.size() : first);
    TdomElement* subHeading = newElement(currentOperation(), u"sub-heading");
    if (!clean.empty()) addText(subHeading, AnsiToWideForLanguage(Language, clean));
}

void AddStatement(bool continuation, bool alignRight, const std::string& text) {
    if (!requireDocument()) return;
    TdomElement* statement = newElement(currentOperation(), u"statement");
    if (continuation) setAttr(statement, u"continuation", u"true");
    if (alignRight) setAttr(statement, u"align", u"right");
    std::string rest = text;
    const size_t first = rest.find_first_not_of('*');
    rest.erase(0, first == std::string::npos ? rest.size() : first);
    rest = StripTrailingDollars(std::move(rest));
    for (size_t p = rest.find("__"); p != std::string::npos; p = rest.find("__")) {
        if (p > 0) addText(statement, AnsiToWideForLanguage(Language, rest.substr(0, p)));
        size_t end = p;
        while (end < rest.size() && rest[end] == '_') ++end;
        TdomElement* answer = newElement(statement, u"answer");
        setAttr(answer, u"length", ansi(std::to_string(end - p)));
        rest.erase(0, end);
    }
    if (!rest.empty()) addText(statement, AnsiToWideForLanguage(Language, rest));
}

void AddEmissionTest(const std::string& oilTemp, const std::string& fuelType, const std::string& catalyst) {
    if (!requireDocument()) return;
    XMLEmission = newElement(XMLRoot, u"emission-test");
    setAttr(XMLEmission, u"oiltemp", ansi(oilTemp));
    setAttr(XMLEmission, u"fueltype", AnsiToWideForLanguage(Language, fuelType));
    if (LowerCase(fuelType) != LowerCase(LText(120))) setAttr(XMLEmission, u"catalyst", ansi(catalyst));
}

void AddFastIdle(const std::string& rpm, const std::string& co, const std::string& hc, const std::string& lambda) {
    if (!requireDocument() || !XMLEmission) return;
    TdomElement* fastIdle = newElement(XMLEmission, u"fast-idle");
    addTextElement(fastIdle, u"rpm", ansi(rpm));
    addTextElement(fastIdle, u"co", ansi(co));
    addTextElement(fastIdle, u"hc", ansi(hc));
    addTextElement(fastIdle, u"lambda", ansi(lambda));
}

void AddIdle(const std::string& rpm, const std::string& co, const std::string& hc) {
    if (!requireDocument() || !XMLEmission) return;
    TdomElement* idle = newElement(XMLEmission, u"idle");
    addTextElement(idle, u"rpm", ansi(rpm));
    addTextElement(idle, u"co", ansi(co));
    if (!hc.empty()) addTextElement(idle, u"hc", ansi(hc));
}

void AddNonTurbo(const std::string& limit) {
    if (!requireDocument() || !XMLEmission) return;
    addTextElement(XMLEmission, u"non-turbo", ansi(limit));
}

void AddTurbo(const std::string& limit) {
    if (!requireDocument() || !XMLEmission) return;
    addTextElement(XMLEmission, u"turbo", ansi(limit));
}

void AddBrakeTest(const std::string& weight) {
    if (!requireDocument()) return;
    TdomElement* brake = newElement(XMLRoot, u"brake-test");
    setAttr(brake, u"weight", ansi(weight));
}

std::string ChecksheetXmlPath() {
    if (!codeIsSafe(XMLMarket) || !codeIsSafe(XMLLanguage))
        throw ::Exception("The market \"" + XMLMarket + "\" or language \"" + XMLLanguage +
                        "\" cannot be part of a file name");
    const auto yn = [](bool flag, bool last) { return std::string(flag ? "Y" : "N") + (last ? "" : "_"); };
    std::string name = XMLMarket + "_" + XMLLanguage + "_" + std::to_string(ModelRange) + "_" +
                       std::to_string(IntervalNo - 1) + "_" + yn(DoService, false) + yn(DoPreTest, false) +
                       yn(XMLEmissionFlag, false) + yn(DoBrakeTest, true) + ".XML";
    if (OutputFolder.empty()) {
        std::string folder = ProgramFolder();
        if (!folder.empty() && folder.back() != '/') folder += '/';
        return folder + name;
    }
    // A folder (ends with "/") is used as given; a request file's path loses the extension of
    // its last component only, and its remainder becomes the front of every name.
    std::string front = OutputFolder;
    if (front.back() != '/') {
        const size_t slash = front.rfind('/');
        const size_t dot = front.rfind('.');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) front.erase(dot);
    }
    return front + name;
}

void SaveChecksheetXml() {
    if (!XMLDoc || !XMLImpl) return;
    const std::string path = ChecksheetXmlPath();
    // The file takes its name only when complete. It is not flushed to the disk one by one: a
    // request run writes thousands, and a flush costs several times a request's own work.
    TWholeFileWriter file(path);
    if (!file.Open()) raiseCreateError(path, file.Error());
    bool written = false;
    // The memory of the last file's bytes serves the next file (a request run writes thousands).
    static std::string spare;
    try {
        TXmlFileStream stream(std::move(spare));
        TDomToXmlParser writer;
        writer.SetDOMImpl(XMLImpl);
        written = writer.writeToStream(XMLDoc, u"", &stream);
        if (written) file.Write(stream.Bytes().data(), stream.Bytes().size());
        spare = stream.Release();
    } catch (const std::exception&) {
        written = false;
    }
    if (!written) {
        file.Discard();
        raiseCreateError(path, EIO);
    }
    if (!file.Commit(false)) raiseCreateError(path, file.Error());
}
