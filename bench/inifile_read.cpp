// Time the settings file costs at start-up and at a PC synchronisation, for files far larger than
// the program writes (hand-edited, pasted notes): the six reads of start-up and one write of
// "Last Syncro". Each shape is timed at two sizes, so a cost that grows faster than the file shows.
//
// Usage: bench_inifile [kilobytes=600]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/inifile.h"

namespace tamberline {
namespace {

using Clock = std::chrono::steady_clock;

struct TShape {
    const char* Name;
    std::function<std::string(size_t)> Line;  // the n-th line, line ending included
};

std::string MakeFile(const TShape& shape, size_t bytes) {
    std::string text = "[ComPortSettings]\nComPort=COM3\nBaudRate=38400\n[Notes]\n";
    for (size_t n = 0; text.size() < bytes; ++n)
        text += shape.Line(n);
    return text + "[Common Settings]\nSumWnt=1\nSyncroEveryHours=6\nLast Syncro=01.02.2024 10:00\n";
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The reads of start-up, in its order, on one path.
Clock::duration StartupReads(const std::string& path) {
    const auto t0 = Clock::now();
    TIniFile ini(path);
    volatile size_t sink = 0;
    sink = sink + ini.ReadString("ComPortSettings", "ComPort", "Com1").size();
    sink = sink + ini.ReadString("ComPortSettings", "BaudRate", "38400").size();
    sink = sink + ini.ReadInteger("Common Settings", "SumWnt", 0);
    sink = sink + ini.ReadInteger("Common Settings", "SumWnt", 0);
    sink = sink + ini.ReadString("Common Settings", "Last Syncro", "").size();
    sink = sink + ini.ReadInteger("Common Settings", "SyncroEveryHours", 1);
    return Clock::now() - t0;
}

Clock::duration OneWrite(const std::string& path) {
    const auto t0 = Clock::now();
    TIniFile(path).WriteString("Common Settings", "Last Syncro", "15.03.2024 10:21");
    return Clock::now() - t0;
}

}  // namespace
}  // namespace tamberline

int main(int argc, char** argv) {
    using namespace tamberline;
    const size_t kb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 600;
    std::string dir = std::filesystem::temp_directory_path().string() + "/bench_inifileXXXXXX";
    if (!mkdtemp(dir.data())) return 1;
    const std::string path = dir + "/Settings.INI";
    const std::vector<TShape> shapes = {
        {"text lines without '='", [](size_t n) { return "line " + std::to_string(n) + " of pasted notes\n"; }},
        {"keys of another section", [](size_t n) { return "k" + std::to_string(n) + "=value\n"; }},
        {"one line without end", [](size_t) { return std::string(4096, 'x'); }},
    };
    std::printf("%-26s %8s %12s %12s\n", "shape", "KB", "6 reads ms", "1 write ms");
    for (const auto& shape : shapes) {
        for (size_t size : {kb * 1024 / 4, kb * 1024}) {
            std::ofstream(path, std::ios::binary) << MakeFile(shape, size);
            const double reads = Ms(StartupReads(path));
            const double write = Ms(OneWrite(path));
            std::printf("%-26s %8zu %12.1f %12.1f\n", shape.Name, size / 1024, reads, write);
        }
    }
    std::filesystem::remove_all(dir);
    return 0;
}
