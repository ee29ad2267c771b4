#include <windows.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "serial/comport.h"
#include "serial/portlist.h"
#include "service/host_checks.h"

namespace tamberline {

namespace {

bool ServiceRuns(const wchar_t* name) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return false;
    bool runs = false;
    if (SC_HANDLE service = OpenServiceW(manager, name, SERVICE_QUERY_STATUS)) {
        SERVICE_STATUS status{};
        runs = QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED;
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return runs;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

// "COM" and a port number, as Windows names serial ports (COM1..COM256).
bool IsComName(const std::string& name) {
    if (name.size() < 4 || name.size() > 6 || !SameName(name.substr(0, 3), "COM") || name[3] == '0') return false;
    if (!std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
    return std::stoi(name.substr(3)) <= 256;
}

// Drivers of virtual and USB ports may name them otherwise; the system lists them all.
bool Listed(const std::string& name) {
    std::vector<std::string> ports;
    try {
        ListPortNames(ports);
    } catch (const EComPort&) {
        return false;  // an unreadable list names no port
    }
    return std::any_of(ports.begin(), ports.end(), [&](const std::string& p) { return SameName(p, name); });
}

}  // namespace

std::vector<std::string> OtherTimeServices(bool) {
    if (ServiceRuns(L"W32Time")) return {"служба времени Windows (W32Time)"};
    return {};
}

void CheckSerialDeviceName(const std::string& name) {
    // A bare name only: the port opens it as \\.\name, while a path could name any device or file.
    const bool bare = !name.empty() && name.find_first_of("\\/:") == std::string::npos;
    if (!bare || !(IsComName(name) || Listed(name)))
        throw std::runtime_error("«" + name + "» — не последовательный порт.");
}

}  // namespace tamberline
