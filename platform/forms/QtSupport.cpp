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
