#include "crashreport/core/win32/shared_object_security.h"

#include "base/number_text.h"

namespace brevant::crashreport {

SharedObjectSecurity::SharedObjectSecurity(DWORD everyoneAccess) {
    InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION);
    const bool built = BuildAccessList(everyoneAccess);
    SetSecurityDescriptorDacl(&descriptor_, TRUE, built ? reinterpret_cast<ACL*>(acl_.data()) : nullptr, FALSE);
    attributes_ = {sizeof attributes_, &descriptor_, FALSE};
}

SharedObjectSecurity::~SharedObjectSecurity() {
    if (everyone_ != nullptr) FreeSid(everyone_);
    if (localSystem_ != nullptr) FreeSid(localSystem_);
}

bool SharedObjectSecurity::BuildAccessList(DWORD everyoneAccess) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY system = SECURITY_NT_AUTHORITY;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone_)) return false;
    if (!AllocateAndInitializeSid(&system, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &localSystem_))
        return false;
    PSID user = ProcessUserSid();
    if (user == nullptr) return false;
    const PSID sids[] = {everyone_, localSystem_, user};
    const DWORD masks[] = {everyoneAccess, kFullAccess, kFullAccess};
    DWORD size = sizeof(ACL);
    for (PSID sid : sids) size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
    acl_.assign(size, 0);
    ACL* acl = reinterpret_cast<ACL*>(acl_.data());
    if (!InitializeAcl(acl, size, ACL_REVISION)) return false;
    for (int i = 0; i < 3; ++i) {
        if (!AddAccessAllowedAce(acl, ACL_REVISION, masks[i], sids[i])) return false;
    }
    return true;
}

PSID SharedObjectSecurity::ProcessUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    tokenUser_.assign(size, 0);
    const bool read = size != 0 && GetTokenInformation(token, TokenUser, tokenUser_.data(), size, &size);
    CloseHandle(token);
    return read ? reinterpret_cast<TOKEN_USER*>(tokenUser_.data())->User.Sid : nullptr;
}

std::u16string ProcessIdSuffix(DWORD processId) {
    return DollarHex(processId);
}

}  // namespace brevant::crashreport
