#pragma once
// What the crash reporter can say about a thrown C++ object: its class, its ancestry and its
// message, from the run-time type information. Pointers that come from outside (a handler, a
// damaged record) are read without ever faulting.

#include <windows.h>

#include <cstdint>
#include <string>
#include <typeinfo>

#include "base/exception.h"
#include "crashreport/core/crash_exception.h"

namespace brevant::crashreport {

// The thrown object's description. type may be null: then the object is taken for a
// polymorphic one and its type found through its virtual table, if it has a valid one.
ExceptionObjectInfo DescribeObject(void* object, const std::type_info* type);

// True when the object's class (or with an empty name: any valid polymorphic class) is or
// derives from the class of that name; className receives the object's class name.
bool ClassIsOrDerives(const void* object, std::u16string_view name, std::u16string* className = nullptr);
std::u16string ExceptClassText(const void* object);
std::u16string ExceptMessageText(const void* object);

// A type's class name as reports show it: demangled, without namespaces.
std::u16string ClassNameOf(const std::type_info& type);
bool TypeIsOrDerives(const std::type_info& type, std::u16string_view name);

// The object that stands for an operating-system exception nothing else describes: a class
// by the kind of fault and the fault's message. Owned by the caller.
Exception* NewOsExceptionObject(const EXCEPTION_RECORD& record);

}  // namespace brevant::crashreport
