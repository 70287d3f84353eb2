// Support of the XML document library: its string types, the root object classes, the
// exception classes of the class library it reports through (those of the platform layer, and
// two of its own), and the small formatter that fills their messages. Everything in xmldom/
// builds on this file; it depends on the platform layer's core only.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "CodePages.h"
#include "Exceptions.h"

namespace xmldom {

using WideString = std::u16string; ///< all text of the library: UTF-16 code units

/// The standalone value of an XML declaration (documents and byte sources).
enum TdomStandalone : uint8_t { STANDALONE_YES = 0, STANDALONE_NO = 1, STANDALONE_UNSPECIFIED = 2 };
using WideChar = char16_t;         ///< one UTF-16 code unit
using UCS4Char = char32_t;         ///< one code point (any 32-bit value is accepted)

/// Root of the library's classes that can be referred to as plain objects (list entries,
/// error records' related objects).
class TObject {
public:
    virtual ~TObject() = default;
};

/// Base of the classes that take part in change notification and copying.
class TPersistent : public TObject {};

/// A notification without arguments beyond its sender; empty when not assigned.
using TNotifyEvent = std::function<void(TObject* Sender)>;

/// One argument of `Format`: an integer or a text.
class TFormatArg {
public:
    TFormatArg(long long v) : isText_(false), number_(v) {}
    TFormatArg(int v) : isText_(false), number_(v) {}
    TFormatArg(unsigned v) : isText_(false), number_(v) {}
    TFormatArg(long v) : isText_(false), number_(v) {}
    TFormatArg(unsigned long v) : isText_(false), number_(static_cast<long long>(v)) {}
    TFormatArg(char32_t v) : isText_(false), number_(v) {}
    TFormatArg(char16_t v) : isText_(false), number_(v) {}
    TFormatArg(std::u16string_view v) : isText_(true), text_(v) {}
    TFormatArg(const WideString& v) : isText_(true), text_(v) {}
    TFormatArg(const char16_t* v) : isText_(true), text_(v) {}

    bool isText() const { return isText_; }
    long long number() const { return number_; }
    std::u16string_view text() const { return text_; }

private:
    bool isText_;
    long long number_ = 0;
    std::u16string_view text_;
};

/// Fills a message pattern: %d (decimal), %x / %X (hexadecimal), %s / %S (text), each with
/// optional width and precision as in "%4.4X" (precision = minimum digits), and %% for "%".
/// A specifier without a matching argument, or of the wrong kind, is copied as written.
WideString Format(std::u16string_view pattern, std::initializer_list<TFormatArg> args);

// The class library's exceptions and the UTF-8 rendering of texts, from the platform layer.
// A message given as UTF-16 text is kept as UTF-8 in Message.
using ::EConvertError;
using ::EFCreateError;
using ::EFOpenError;
using ::EReadError;
using ::EStreamError;
using ::EWriteError;
using ::Exception;
using ::ToUtf8;

/// A list refused an index or an operation.
class EListError : public Exception {
    using Exception::Exception;
};
/// A required object (implementation, stream, file name, text) was not given.
class EAccessViolation : public Exception {
    using Exception::Exception;
};

} // namespace xmldom
