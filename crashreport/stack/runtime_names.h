#pragma once
// Names of the C++ runtime's machinery as the symbol stores spell them (demangled). The
// walker moves a raised exception's location onto the call of the raise routine and hides
// the routines that only pass an exception on.

#include <array>
#include <string_view>

namespace brevant::crashreport {

// A call whose target's name holds one of these raised the exception: the throw entry (and
// its interception wrapper), the rethrow, and error-raising helpers.
inline constexpr std::array<std::u16string_view, 3> kRaiseRoutineMarks = {u"__cxa_throw", u"__cxa_rethrow", u"Error"};

// The C++ runtime's termination path: what called terminate and everything it called is
// machinery, not the program's code.
inline constexpr std::array<std::u16string_view, 5> kTerminationRoutines = {
    u"std::terminate()", u"__cxa_rethrow", u"__wrap___cxa_rethrow", u"__cxa_throw", u"__wrap___cxa_throw"};

// The runtime's handler that the system calls while it dispatches an exception on the
// faulting thread (GCC's SEH personality on 64-bit Windows), and the system's dispatcher.
inline constexpr std::array<std::u16string_view, 2> kExceptionHandlerRoutines = {u"_GCC_specific_handler",
                                                                                 u"__gxx_personality_seh0"};
inline constexpr std::u16string_view kSystemExceptionDispatcher = u"KiUserExceptionDispatcher";

template <std::size_t N>
bool NameIsOneOf(std::u16string_view name, const std::array<std::u16string_view, N>& names) {
    for (std::u16string_view candidate : names)
        if (name == candidate) return true;
    return false;
}

}  // namespace brevant::crashreport
