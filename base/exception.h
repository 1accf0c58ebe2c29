#pragma once
// The error types of the program. Every error carries a UTF-16 message; the class
// itself says what kind of failure it was (its name shows in error reports).

#include <exception>
#include <string>

namespace brevant {

class Exception : public std::exception {
public:
    explicit Exception(std::u16string message);

    const std::u16string& Message() const noexcept { return message_; }
    // The message as UTF-8, for anything that speaks std::exception.
    const char* what() const noexcept override { return utf8Message_.c_str(); }

private:
    std::u16string message_;
    std::string utf8Message_;
};

// A path or argument that breaks the rules of its operation.
class EArgumentException : public Exception {
public:
    using Exception::Exception;
};

// A registry value that exists but cannot be read as text.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

// A file that exists but cannot be opened or read.
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// Standard input or output failed; the message is "I/O error N".
class EInOutError : public Exception {
public:
    explicit EInOutError(int errorCode);
    int ErrorCode() const noexcept { return errorCode_; }

private:
    int errorCode_;
};

}  // namespace brevant
