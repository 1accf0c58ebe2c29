#include "launcher/win32/escaped_exception.h"

#include <windows.h>

#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <string>
#include <typeinfo>

#include "base/exception.h"
#include "base/utf16_text.h"

namespace brevant {

namespace {

// The class name without namespaces, as error reports name it.
std::string ClassName(const std::type_info* type) {
    if (type == nullptr) return "unknown exception";
    int status = 0;
    char* demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled != nullptr ? demangled : type->name();
    std::free(demangled);
    std::size_t scope = name.rfind("::");
    return scope == std::string::npos ? name : name.substr(scope + 2);
}

void WriteToStandardError(const std::string& text) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (error != nullptr && error != INVALID_HANDLE_VALUE)
        WriteFile(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

void EndWithEscapedException() {
    std::string message;
    try {
        throw;
    } catch (const Exception& error) {
        message = ToUtf8(error.Message());
    } catch (const std::exception& error) {
        message = error.what();
    } catch (...) {
    }
    WriteToStandardError(ClassName(abi::__cxa_current_exception_type()) + ": " + message + "\r\n");
    ExitProcess(1);
}

}  // namespace brevant
