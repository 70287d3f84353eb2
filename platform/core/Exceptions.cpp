// The silent abort helper and the message of UTF-16 text; the rest is header-only.
#include "Exceptions.h"

#include "CodePages.h"

Exception::Exception(std::u16string_view message) : Message(ToUtf8(message)) {}

void Abort() { throw EAbort(); }
