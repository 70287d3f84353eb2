// Qt application object and text conversion for the widget back end.
#include "QtSupport.h"

#include <QApplication>

#include "CodePages.h"

bool EnsureWidgetApplication() {
    if (QCoreApplication::instance()) return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    static int argc = 1;
    static char name[] = "vetra";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
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
