#include "crashreport/core/win32/exception_objects.h"

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>

#include "base/exception.h"
#include "base/utf16_text.h"
#include "base/win32/own_memory.h"
#include "base/win32/wide_text.h"
#include "crashreport/core/exception_texts.h"
#include "crashreport/core/os_exception_message.h"

namespace brevant::crashreport {

namespace {

// Classes with no base, one base and several bases: their type information objects' virtual
// tables tell a real class type information from random memory.
struct RootClass {
    virtual ~RootClass() = default;
};
struct SecondRoot {
    virtual ~SecondRoot() = default;
};
struct SingleClass : RootClass {};
struct MultipleClass : RootClass, SecondRoot {};

const void* VirtualTableOf(const std::type_info& info) {
    return *reinterpret_cast<const void* const*>(&info);
}

enum class TypeInfoKind { none, root, single, multiple };

TypeInfoKind KindOf(const std::type_info* info) {
    if (!IsReadable(info, sizeof(void*) * 2)) return TypeInfoKind::none;
    const void* table = VirtualTableOf(*info);
    if (table == VirtualTableOf(typeid(RootClass))) return TypeInfoKind::root;
    if (table == VirtualTableOf(typeid(SingleClass))) return TypeInfoKind::single;
    if (table == VirtualTableOf(typeid(MultipleClass))) return TypeInfoKind::multiple;
    return TypeInfoKind::none;
}

// The type information of a polymorphic object, or null when the pointer is not one.
const std::type_info* TypeThroughVirtualTable(const void* object) {
    if (!IsReadable(object, sizeof(void*))) return nullptr;
    const void* const* table = *static_cast<const void* const* const*>(object);
    if (!IsReadable(table - 1, sizeof(void*))) return nullptr;
    const auto* info = static_cast<const std::type_info*>(table[-1]);
    return KindOf(info) == TypeInfoKind::none ? nullptr : info;
}

bool NameIsReadable(const std::type_info& info) {
    const char* name = info.name();
    for (std::size_t i = 0; i < 4096; ++i) {
        if (!IsReadable(name + i, 1)) return false;
        if (name[i] == 0) return true;
    }
    return false;
}

bool WalkBases(const std::type_info& info, std::u16string_view name, int depth) {
    if (depth > 64 || !NameIsReadable(info)) return false;
    if (ClassNameOf(info) == name) return true;
    switch (KindOf(&info)) {
        case TypeInfoKind::single:
            return WalkBases(*static_cast<const abi::__si_class_type_info&>(info).__base_type, name, depth + 1);
        case TypeInfoKind::multiple: {
            const auto& many = static_cast<const abi::__vmi_class_type_info&>(info);
            for (unsigned i = 0; i < many.__base_count && i < 256; ++i)
                if (WalkBases(*many.__base_info[i].__base_type, name, depth + 1)) return true;
            return false;
        }
        default:
            return false;
    }
}

// The object as the given base class, when its dynamic type derives from it.
template <typename Base>
const Base* AsBase(const void* object, const std::type_info& type) {
    void* adjusted = const_cast<void*>(object);
    if (type == typeid(Base)) return static_cast<const Base*>(object);
    if (KindOf(&type) == TypeInfoKind::none) return nullptr;
    // The thrown type's own catch test finds the base sub-object, as a catch clause would.
    if (typeid(Base).__do_catch(&type, &adjusted, 1)) return static_cast<const Base*>(adjusted);
    return nullptr;
}

std::u16string RawMessage(const void* object, const std::type_info& type) {
    if (const Exception* ours = AsBase<Exception>(object, type)) return ours->Message();
    if (const std::exception* standard = AsBase<std::exception>(object, type)) return FromUtf8(standard->what());
    return ClassNameOf(type);
}

}  // namespace

std::u16string ClassNameOf(const std::type_info& type) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled != nullptr ? demangled : type.name();
    std::free(demangled);
    // Namespaces go; template arguments keep theirs.
    std::size_t templateStart = name.find('<');
    std::size_t scope = name.rfind("::", templateStart == std::string::npos ? std::string::npos : templateStart);
    if (scope != std::string::npos) name = name.substr(scope + 2);
    return FromUtf8(name);
}

bool TypeIsOrDerives(const std::type_info& type, std::u16string_view name) {
    return WalkBases(type, name, 0);
}

ExceptionObjectInfo DescribeObject(void* object, const std::type_info* type) {
    ExceptionObjectInfo info;
    info.object = object;
    if (type == nullptr) type = TypeThroughVirtualTable(object);
    if (type == nullptr || object == nullptr) {
        info.className = u"Unknown";
        info.message = object ? u"Unknown" : u"";
        return info;
    }
    info.className = ClassNameOf(*type);
    info.message = CleanedMessageText(RawMessage(object, *type));
    info.isOrDerives = [type](std::u16string_view name) { return TypeIsOrDerives(*type, name); };
    return info;
}

bool ClassIsOrDerives(const void* object, std::u16string_view name, std::u16string* className) {
    const std::type_info* type = TypeThroughVirtualTable(object);
    if (type == nullptr || !NameIsReadable(*type)) return false;
    if (className) *className = ClassNameOf(*type);
    return name.empty() || TypeIsOrDerives(*type, name);
}

std::u16string ExceptClassText(const void* object) {
    std::u16string name;
    return ClassIsOrDerives(object, u"", &name) ? name : u"Unknown";
}

std::u16string ExceptMessageText(const void* object) {
    const std::type_info* type = TypeThroughVirtualTable(object);
    if (type == nullptr || !NameIsReadable(*type)) return u"Unknown";
    return CleanedMessageText(RawMessage(object, *type));
}

Exception* NewOsExceptionObject(const EXCEPTION_RECORD& record) {
    OsExceptionFacts facts{record.ExceptionCode, reinterpret_cast<std::uintptr_t>(record.ExceptionAddress),
                           record.NumberParameters > 0 ? record.ExceptionInformation[0] : 0,
                           record.NumberParameters > 1 ? record.ExceptionInformation[1] : 0};
    std::u16string message = OsExceptionMessage(facts, [](std::uint64_t address) -> std::optional<std::u16string> {
        HMODULE module = nullptr;
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(address)), &module))
            return std::nullopt;
        if (!IsReadable(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)), 1)) return std::nullopt;
        std::u16string path = ModulePath(module);
        std::size_t slash = path.find_last_of(u"\\/");
        return slash == std::u16string::npos ? path : path.substr(slash + 1);
    });
    switch (record.ExceptionCode) {
        case EXCEPTION_ACCESS_VIOLATION: return new EAccessViolation(message);
        case EXCEPTION_STACK_OVERFLOW: return new EStackOverflow(message);
        case EXCEPTION_INT_DIVIDE_BY_ZERO: return new EDivByZero(message);
        case EXCEPTION_INT_OVERFLOW: return new EIntOverflow(message);
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return new ERangeError(message);
        case EXCEPTION_FLT_DIVIDE_BY_ZERO: return new EZeroDivide(message);
        case EXCEPTION_FLT_OVERFLOW: return new EOverflow(message);
        case EXCEPTION_FLT_UNDERFLOW:
        case EXCEPTION_FLT_INEXACT_RESULT: return new EUnderflow(message);
        case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_DENORMAL_OPERAND:
        case EXCEPTION_FLT_STACK_CHECK: return new EInvalidOp(message);
        case EXCEPTION_PRIV_INSTRUCTION: return new EPrivilege(message);
        case STATUS_CONTROL_C_EXIT: return new EControlC(message);
        default: return new EExternalException(message);
    }
}

}  // namespace brevant::crashreport
