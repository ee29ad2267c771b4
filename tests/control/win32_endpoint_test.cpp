// Windows cases: the rights decision asked of this process's own token. wine knows no local groups
// and no UAC: what the service sees of a real panel's token is left to a Windows machine.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "control/endpoint.h"
#include "control/endpoint_test_os.h"
#include "control/peer_rights.h"

namespace tamberline {

namespace {

struct TOwnToken {
    HANDLE h = nullptr;
    TOwnToken() { OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &h); }
    ~TOwnToken() {
        if (h != nullptr) CloseHandle(h);
    }
};

TEST(Win32ControlRights, TheTokensGroupsDecide) {
    TOwnToken token;
    ASSERT_NE(token.h, nullptr);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY, nt = SECURITY_NT_AUTHORITY;
    PSID everyone = nullptr, madeUp = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 5, 21, 11, 22, 33, 4242, 0, 0, 0, &madeUp));
    EXPECT_TRUE(TokenHasGroup(token.h, everyone));
    EXPECT_FALSE(TokenHasGroup(token.h, madeUp));
    FreeSid(everyone);
    FreeSid(madeUp);
}

TEST(Win32ControlRights, WithoutTheLocalGroupNobodyMayCommand) {
    TOwnToken token;
    ASSERT_NE(token.h, nullptr);
    const TPeer peer = TokenPeer(token.h, "tamberline-no-such-group");
    EXPECT_FALSE(peer.MayCommand);
    EXPECT_NE(peer.Who.find('\\'), std::string::npos) << peer.Who;  // DOMAIN\user
}

}  // namespace
}  // namespace tamberline
