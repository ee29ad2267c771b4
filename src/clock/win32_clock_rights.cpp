// Windows grants the right to set the clock as a privilege of the account (administrators and the
// LocalService account hold it), present in the process's token but off until enabled.
#include <windows.h>

#include "clock/system_clock.h"

namespace tamberline {

bool TakeGrantedClockRights() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    TOKEN_PRIVILEGES p{};
    p.PrivilegeCount = 1;
    p.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool enabled = false;
    if (LookupPrivilegeValueW(nullptr, L"SeSystemtimePrivilege", &p.Privileges[0].Luid)) {
        // Succeeds for a privilege the token lacks too; only the last error tells.
        enabled = AdjustTokenPrivileges(token, FALSE, &p, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
    }
    CloseHandle(token);
    return enabled;
}

}  // namespace tamberline
