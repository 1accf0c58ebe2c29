#pragma once
// The security of the crash reporter's named per-process objects: everyone with the given
// access, the local system account and the process's user with all access. When that list
// cannot be built the descriptor gets no access list at all (which allows everything).

#include <windows.h>

#include <string>
#include <vector>

namespace brevant::crashreport {

class SharedObjectSecurity {
public:
    static constexpr DWORD kFullAccess = 0x1FFFFF;

    explicit SharedObjectSecurity(DWORD everyoneAccess);
    ~SharedObjectSecurity();
    SharedObjectSecurity(const SharedObjectSecurity&) = delete;
    SharedObjectSecurity& operator=(const SharedObjectSecurity&) = delete;

    SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

private:
    bool BuildAccessList(DWORD everyoneAccess);
    PSID ProcessUserSid();

    PSID everyone_ = nullptr;
    PSID localSystem_ = nullptr;
    std::vector<BYTE> tokenUser_;
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
};

// "$" and the process id in lower-case hexadecimal: the end of every per-process object name.
std::u16string ProcessIdSuffix(DWORD processId = GetCurrentProcessId());

}  // namespace brevant::crashreport
