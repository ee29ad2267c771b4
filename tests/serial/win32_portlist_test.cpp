// The port list read from registry keys that the test writes into its own (throw-away) prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "serial/comport.h"
#include "serial/portlist.h"
#include "serial/registry_portlist.h"

namespace tamberline {
namespace {

// A key under HKEY_LOCAL_MACHINE given values holding the device names; the values (and the key,
// when the test made it) are removed again at the end.
struct TTestKey {
    HKEY key = nullptr;
    DWORD disposition = 0;
    std::vector<std::wstring> names;
    TTestKey(const std::wstring& path, const std::vector<std::wstring>& devices) {
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  &disposition),
                  ERROR_SUCCESS);
        for (const auto& d : devices) {
            names.push_back(L"\\Device\\TamberlineTest" + std::to_wstring(names.size()));
            RegSetValueExW(key, names.back().c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(d.c_str()),
                           static_cast<DWORD>((d.size() + 1) * sizeof(wchar_t)));
        }
    }
    ~TTestKey() {
        for (const auto& n : names)
            RegDeleteValueW(key, n.c_str());
        if (disposition == REG_CREATED_NEW_KEY) RegDeleteKeyW(key, L"");
        RegCloseKey(key);
    }
};

TEST(RegistryPortList, NamesFromTheValuesDataSortedIgnoringCase) {
    const std::pair<std::vector<std::wstring>, std::vector<std::string>> cases[] = {
        {{}, {}},
        {{L"COM2", L"COM10", L"com1"}, {"com1", "COM10", "COM2"}},
    };
    for (const auto& [devices, want] : cases) {
        TTestKey key(L"Software\\TamberlineTest\\SERIALCOMM", devices);
        std::vector<std::string> names{"stale"};
        ListRegistryPorts("Software\\TamberlineTest\\SERIALCOMM", names);
        EXPECT_EQ(names, want);
    }
}

TEST(RegistryPortList, UnreadableKeyIsRegistryErrorAndLeavesTheListEmpty) {
    // A value too long for the 256-byte buffer is an error too, not a cut name.
    TTestKey key(L"Software\\TamberlineTest\\Long", {std::wstring(200, L'X')});
    const std::pair<std::string, LONG> cases[] = {
        {"Software\\TamberlineTest\\NoSuchKey", ERROR_FILE_NOT_FOUND},
        {"Software\\TamberlineTest\\Long", ERROR_MORE_DATA},
    };
    for (const auto& [path, result] : cases) {
        std::vector<std::string> names{"stale"};
        try {
            ListRegistryPorts(path, names);
            ADD_FAILURE() << path << ": no error";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.Code, 23) << path;
            EXPECT_EQ(e.WinCode, result) << path;
        }
        EXPECT_TRUE(names.empty()) << path;
    }
}

// The machine's own list: the SERIALCOMM key, with devices this test adds to the prefix's registry.
TEST(RegistryPortList, MachineListReadsSerialComm) {
    TTestKey key(L"HARDWARE\\DEVICEMAP\\SERIALCOMM", {L"COM31", L"COM4"});
    std::vector<std::string> names;
    ListPortNames(names);
    const auto at31 = std::find(names.begin(), names.end(), "COM31");
    const auto at4 = std::find(names.begin(), names.end(), "COM4");
    ASSERT_NE(at31, names.end());
    ASSERT_NE(at4, names.end());
    EXPECT_LT(at31, at4);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), PortNameLess));
}

}  // namespace
}  // namespace tamberline
