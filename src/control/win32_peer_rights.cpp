// Rights from the client's token. Membership is asked with CheckTokenMembership, which counts only
// enabled groups: under UAC an administrator's filtered token holds Administrators as deny-only, so the
// commanding group is a group of its own and never Administrators.
#include <windows.h>
// sddl.h leans on windows.h
#include <sddl.h>

#include <vector>

#include "control/peer_rights.h"
#include "serial/wide_text.h"

namespace tamberline {

namespace {

// The local group's SID, or nothing. The name is qualified with this computer's, so a domain group of
// the same name never stands in for it.
std::vector<BYTE> LocalGroupSid(const char* group) {
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD computerLength = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(computer, &computerLength)) return {};
    const std::wstring name = std::wstring(computer, computerLength) + L"\\" + Widen(group);
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD sidLength = static_cast<DWORD>(sid.size());
    std::vector<wchar_t> domain(256);
    DWORD domainLength = static_cast<DWORD>(domain.size());
    SID_NAME_USE use{};
    if (!LookupAccountNameW(nullptr, name.c_str(), sid.data(), &sidLength, domain.data(), &domainLength, &use)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        sid.resize(sidLength);
        domain.resize(domainLength);
        if (!LookupAccountNameW(nullptr, name.c_str(), sid.data(), &sidLength, domain.data(), &domainLength, &use))
            return {};
    }
    // A user of that name is no group.
    if (use != SidTypeAlias && use != SidTypeGroup && use != SidTypeWellKnownGroup) return {};
    return sid;
}

std::string AccountName(PSID sid) {
    std::vector<wchar_t> name(256), domain(256);
    DWORD nameLength = static_cast<DWORD>(name.size()), domainLength = static_cast<DWORD>(domain.size());
    SID_NAME_USE use{};
    if (LookupAccountSidW(nullptr, sid, name.data(), &nameLength, domain.data(), &domainLength, &use))
        return Narrow(std::wstring(domain.data()) + L"\\" + name.data());
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return "unknown";
    const std::string s = Narrow(text);
    LocalFree(text);
    return s;
}

}  // namespace

bool TokenHasGroup(void* token, void* sid) {
    // CheckTokenMembership wants an impersonation token; a process's own is a primary one.
    TOKEN_TYPE type{};
    DWORD length = 0;
    if (!GetTokenInformation(token, TokenType, &type, sizeof type, &length)) return false;
    HANDLE copy = nullptr;
    if (type == TokenPrimary && !DuplicateToken(token, SecurityIdentification, &copy)) return false;
    BOOL member = FALSE;
    const BOOL asked = CheckTokenMembership(copy != nullptr ? copy : token, sid, &member);
    if (copy != nullptr) CloseHandle(copy);
    return asked && member;
}

TPeer TokenPeer(void* token, const char* group) {
    TPeer peer;
    DWORD length = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &length);
    std::vector<BYTE> user(length);
    if (length != 0 && GetTokenInformation(token, TokenUser, user.data(), length, &length))
        peer.Who = AccountName(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
    else
        peer.Who = "unknown";
    std::vector<BYTE> sid = LocalGroupSid(group);
    peer.MayCommand = !sid.empty() && TokenHasGroup(token, sid.data());
    return peer;
}

}  // namespace tamberline
