// Qt application object and text conversion for the widget back end.
#include "QtSupport.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "CodePages.h"
#include "Forms.h"
#include "internal/GuiPlatform.h"

namespace {

std::string& ToolkitLanguage() {
    static std::string language;
    return language;
}

/// Installs the toolkit's translations of the language in use (none for "") on the widget
/// application, and makes its locale the default one, whose names the calendar shows.
void ApplyToolkitLanguage() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    static QTranslator* installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    const QString name = QString::fromStdString(ToolkitLanguage());
    QLocale::setDefault(name.isEmpty() ? QLocale::system() : QLocale(name));
    if (name.isEmpty()) return;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load("qtbase_" + name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return;
    installed = translator.release();
    QCoreApplication::installTranslator(installed);
}

}  // namespace

void SetToolkitLanguage(const std::string& localeName) {
    if (localeName == ToolkitLanguage()) return;
    ToolkitLanguage() = localeName;
    ApplyToolkitLanguage();
}

bool ToolkitHasTranslation(const std::string& localeName) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
    QTranslator probe;
    return probe.load("qtbase_" + QString::fromStdString(localeName), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

bool EnsureWidgetApplication() {
    if (QCoreApplication::instance()) return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    static int argc = 1;
    static char name[] = "vetra";
    static char* argv[] = {name, nullptr};
    {
        TToolkitRuntimeFolder runtime;
        new QApplication(argc, argv);
    }
    ApplyToolkitLanguage();
    return true;
}

QString ToQt(const std::string& text) {
    const std::u16string wide = MultiByteToWideChar(CP_ACP, text);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

std::string FromQt(const QString& text) {
    return WideCharToMultiByte(CP_ACP, std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                                                     static_cast<std::size_t>(text.size())));
}

std::optional<std::string> FromQtExact(const QString& text) {
    bool lost = false;
    std::string bytes = WideCharToMultiByte(
        CP_ACP, std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())),
        '?', &lost);
    if (lost) return std::nullopt;
    return bytes;
}

QValidator::State CodePageValidator::validate(QString& input, int&) const {
    return FromQtExact(input) ? Acceptable : Invalid;
}

QString WindowTitle(const std::string& caption) {
    // A blank title shows as nothing; an empty one would be replaced by the program's name.
    return caption.empty() ? QStringLiteral(" ") : ToQt(caption);
}
