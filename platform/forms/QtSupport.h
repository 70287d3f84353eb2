// Private helpers shared by the back ends: the Qt application object, text conversion
// between the system's 8-bit strings and Qt, and text measurement. Included by back end
// sources only.
#pragma once

#include <QString>
#include <QValidator>
#include <optional>
#include <string>

/// Makes sure the Qt application object for widgets exists; false when another part of the
/// platform already made one that cannot show widgets.
bool EnsureWidgetApplication();

/// The system's 8-bit text (in the ANSI code page) as Qt text, and back.
QString ToQt(const std::string& text);
std::string FromQt(const QString& text);
/// The text in the ANSI code page when the code page holds every character of it; nullopt
/// when one would be lost.
std::optional<std::string> FromQtExact(const QString& text);

/// Refuses input holding a character that the ANSI code page cannot store, so that what the
/// user sees typed is what the program keeps.
class CodePageValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

/// A window title for a caption: an empty caption stays empty on screen (the toolkit would
/// show the program's name in its place).
QString WindowTitle(const std::string& caption);
