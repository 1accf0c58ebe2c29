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

// An exception that only ends an operation quietly: it is never reported.
class EAbort : public Exception {
public:
    using Exception::Exception;
};

// Operating-system exceptions, by the kind of fault. The crash reporter names them by these
// classes; the message is the system's description of the fault.
class EExternal : public Exception {
public:
    using Exception::Exception;
};
class EExternalException : public EExternal {
public:
    using EExternal::EExternal;
};
class EAccessViolation : public EExternal {
public:
    using EExternal::EExternal;
};
class EStackOverflow : public EExternal {
public:
    using EExternal::EExternal;
};
class EPrivilege : public EExternal {
public:
    using EExternal::EExternal;
};
class EControlC : public EExternal {
public:
    using EExternal::EExternal;
};
class EIntError : public EExternal {
public:
    using EExternal::EExternal;
};
class EDivByZero : public EIntError {
public:
    using EIntError::EIntError;
};
class ERangeError : public EIntError {
public:
    using EIntError::EIntError;
};
class EIntOverflow : public EIntError {
public:
    using EIntError::EIntError;
};
class EMathError : public EExternal {
public:
    using EExternal::EExternal;
};
class EInvalidOp : public EMathError {
public:
    using EMathError::EMathError;
};
class EZeroDivide : public EMathError {
public:
    using EMathError::EMathError;
};
class EOverflow : public EMathError {
public:
    using EMathError::EMathError;
};
class EUnderflow : public EMathError {
public:
    using EMathError::EMathError;
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
