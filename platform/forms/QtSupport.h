// Private helpers shared by the back ends: the Qt application object, text conversion
// between the system's 8-bit strings and Qt, and text measurement. Included by back end
// sources only.
#pragma once

#include <QString>
#include <string>

/// Makes sure the Qt application object for widgets exists; false when another part of the
/// platform already made one that cannot show widgets.
bool EnsureWidgetApplication();

/// The system's 8-bit text (in the ANSI code page) as Qt text, and back.
QString ToQt(const std::string& text);
std::string FromQt(const QString& text);
