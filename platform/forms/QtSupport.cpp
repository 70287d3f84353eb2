// Qt application object, text conversion and text measurement for the back ends.
#include "QtSupport.h"

#include <QApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <cmath>
#include <cstdlib>

void EnsureQtApplication(bool widgets) {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "vetra";
    static char* argv[] = {name, nullptr};
    if (widgets) {
        new QApplication(argc, argv);
    } else {
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
        new QGuiApplication(argc, argv);
    }
}

QString ToQt(const std::string& text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

std::string FromQt(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

int MeasureText(const std::string& fontName, int fontSize, bool bold, const std::string& text) {
    EnsureQtApplication(false);
    QFont font(ToQt(fontName));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(fontSize * 96.0 / 72.0))));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return static_cast<int>(std::lround(QFontMetricsF(font).horizontalAdvance(ToQt(text))));
}
