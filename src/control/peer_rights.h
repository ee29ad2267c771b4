// Who is at the other end of a control connection, and whether that user may command: the system's own
// answer, in a form the tests can put to it directly. Each OS implements its own part.
#pragma once

#include <string>

#include "control/endpoint.h"

namespace tamberline {

// POSIX (posix_peer_rights.cpp): the process at the other end of a connected Unix socket, as it was
// when it connected. Root may command, and so may members of `group` (looked up on every call, so a
// group made after the service started counts); without such a group only root may.
TPeer UnixSocketPeer(int fd, const char* group);

// Windows (win32_peer_rights.cpp). `token` is a HANDLE with TOKEN_QUERY, and TOKEN_DUPLICATE when it is
// a primary token; `sid` a PSID. True when the token holds the SID as an enabled group: a deny-only
// group (Administrators in a UAC-filtered token) does not count.
bool TokenHasGroup(void* token, void* sid);
// The token's user as "DOMAIN\user" (the SID's text when it has no name), and whether it belongs to the
// local `group`; without such a group nobody may command.
TPeer TokenPeer(void* token, const char* group);

}  // namespace tamberline
