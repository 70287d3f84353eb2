// Exception classes of the class library the system was written against. Every error the
// system raises is one of these (or a subsystem's own class derived from Exception), carrying
// the system's exact message text. Used by every layer above platform/, the XML library too.
#pragma once

#include <exception>
#include <string>
#include <string_view>

/// Root of the system's exceptions. `Message` is the text shown to the user.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    /// A message given as UTF-16 text (the XML library's messages) is kept as UTF-8.
    explicit Exception(std::u16string_view message);
    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;
};

/// The silent abort: cancels an operation without any message being shown.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
    explicit EAbort(std::string message) : Exception(std::move(message)) {}
};

/// Raises the silent abort.
[[noreturn]] void Abort();

class EDatabaseError : public Exception { using Exception::Exception; };
class EConvertError : public Exception { using Exception::Exception; };
class EPrinter : public Exception { using Exception::Exception; };
class EStreamError : public Exception { using Exception::Exception; };
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EFCreateError : public EStreamError { using EStreamError::EStreamError; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };
/// A read or write of a file failed in the operating system.
class EInOutError : public Exception { using Exception::Exception; };
