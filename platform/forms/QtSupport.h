// Private helpers shared by the back ends: the Qt application object, text conversion
// between the system's 8-bit strings and Qt, and text measurement. Included by back end
// sources only.
#pragma once

#include <QString>
#include <string>

/// Makes sure a Qt application object exists: widgets with a display, the offscreen GUI
/// platform without one.
void EnsureQtApplication(bool widgets);

/// The system's 8-bit text as Qt text, and back.
QString ToQt(const std::string& text);
std::string FromQt(const QString& text);

/// Width in screen pixels (96 per inch) of a text, from unhinted font metrics.
int MeasureText(const std::string& fontName, int fontSize, bool bold, const std::string& text);
