#pragma once
// The name of a process's priority class as the processes list shows it.

#include <cstdint>
#include <string>

namespace brevant::crashreport {

// Empty for 0 and -1 (not known); "$" and hexadecimal digits for a class without a name.
std::u16string PriorityClassText(std::int32_t priorityClass);

}  // namespace brevant::crashreport
