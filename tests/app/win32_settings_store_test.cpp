// The settings file's Windows side: its path from the current directory, UTF-8 names and paths
// beyond MAX_PATH, the replace step refusing a read-only file, and the one temporary name shared by
// writers that died or write at the same time.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

#include "app/current_dir.h"
#include "app/inifile.h"
#include "serial/wide_text.h"
#include "support/fake_os.h"

namespace tamberline {
namespace {

std::vector<std::wstring> Entries(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW d;
    const HANDLE h = FindFirstFileW((L"\\\\?\\" + dir + L"\\*").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring n = d.cFileName;
        if (n != L"." && n != L"..") names.push_back(n);
    } while (FindNextFileW(h, &d));
    FindClose(h);
    return names;
}

// Removes a folder and everything in it, however deep (long-path form).
void RemoveTree(const std::wstring& dir) {
    for (const std::wstring& n : Entries(dir)) {
        const std::wstring child = L"\\\\?\\" + dir + L"\\" + n;
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(child.c_str())) RemoveTree(dir + L"\\" + n);
    }
    RemoveDirectoryW((L"\\\\?\\" + dir).c_str());
}

// A fresh folder under the temporary one, named in Cyrillic, removed with its contents at the end.
struct TTempFolder {
    std::wstring path;
    TTempFolder() {
        static int count = 0;
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path = std::wstring(base) + L"Настройки-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(count++);
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~TTempFolder() { RemoveTree(path); }
    std::string Utf8() const { return Narrow(path); }
};

TEST(Win32SettingsPath, JoinsWithABackslash) {
    for (const auto& [dir, want] : std::vector<std::pair<std::string, std::string>>{
             {"C:\\Users\\Иван", "C:\\Users\\Иван\\Settings.INI"}, {"C:\\", "C:\\Settings.INI"}}) {
        test::TFixedDir d(dir);
        EXPECT_EQ(SettingsPath(d), want);
    }
}

TEST(Win32SettingsPath, CurrentDirectoryInUtf8) {
    TTempFolder folder;
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.path.c_str()));
    TProcessCurrentDirectory cwd;
    const std::string got = cwd.Get();
    SetCurrentDirectoryW(old);
    EXPECT_EQ(got, folder.Utf8());
}

TEST(Win32SettingsStore, DeepPathWritesAndReadsBack) {
    TTempFolder folder;
    std::wstring dir = folder.path;
    for (wchar_t c : {L'a', L'b', L'c'}) {  // 3 x 100 characters: beyond MAX_PATH
        dir += L"\\" + std::wstring(100, c);
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + dir).c_str(), nullptr));
    }
    const std::string path = Narrow(dir) + "\\Settings.INI";
    ASSERT_GT(path.size(), size_t{MAX_PATH});
    TIniFile ini(path);
    ini.WriteString("ComPortSettings", "ComPort", "COM7");
    ini.WriteInteger("Common Settings", "SumWnt", 1);
    EXPECT_EQ(ini.ReadString("ComPortSettings", "ComPort", "Com1"), "COM7");
    EXPECT_EQ(ini.ReadInteger("Common Settings", "SumWnt", 0), 1);
    EXPECT_EQ(Entries(dir), std::vector<std::wstring>{L"Settings.INI"});  // no temporary file left
}

void Put(const std::wstring& path, const std::string& text) {
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    CloseHandle(h);
}

std::string Get(const std::string& path) {
    return TIniFile(path).ReadString("A", "x", "<none>");
}

// What an earlier write left at the fixed temporary name is replaced; what cannot be removed, and a
// read-only settings file, make the write fail with the file kept, not land elsewhere.
TEST(Win32SettingsStore, LeftoverTemporaryFileAndReadOnlyFile) {
    const struct {
        const char* Name;
        std::function<void(const std::wstring& tmp, const std::wstring& file)> Leave;
        bool WriteWorks;
        size_t Entries;  // in the folder afterwards
    } cases[] = {
        {"partial file of a killed writer", [](const std::wstring& t, auto&) { Put(t, "[A]\nx="); }, true, 1},
        {"read-only leftover",
         [](const std::wstring& t, auto&) {
             Put(t, "[A]\nx=7\n");
             SetFileAttributesW(t.c_str(), FILE_ATTRIBUTE_READONLY);
         },
         true, 1},
        {"folder", [](const std::wstring& t, auto&) { CreateDirectoryW(t.c_str(), nullptr); }, false, 2},
        {"read-only settings file",
         [](auto&, const std::wstring& f) { SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_READONLY); }, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempFolder folder;
        const std::string path = folder.Utf8() + "\\Settings.INI";
        Put(folder.path + L"\\Settings.INI", "[A]\nx=1\n");
        c.Leave(folder.path + L"\\.Settings.INI.tmp", folder.path + L"\\Settings.INI");
        bool wrote = true;
        try {
            TIniFile(path).WriteString("A", "x", "2");
        } catch (const EIniFileError& e) {
            wrote = false;
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
        }
        EXPECT_EQ(wrote, c.WriteWorks);
        EXPECT_EQ(Get(path), c.WriteWorks ? "2" : "1");
        EXPECT_EQ(Entries(folder.path).size(), c.Entries);
    }
}

// Two writers at once share the one temporary name: neither fails and neither corrupts the other, and
// a reader meanwhile always finds the file, never the defaults (a new copy is still held by its writer
// for a moment after its move).
TEST(Win32SettingsStore, ConcurrentWritersTakeTurns) {
    TTempFolder folder;
    const std::string path = folder.Utf8() + "\\Settings.INI";
    Put(folder.path + L"\\Settings.INI", "[A]\nx=0\n");
    std::atomic<int> failures = 0, defaults = 0;
    std::vector<std::thread> threads;
    for (const char* value : {"1", "2"})
        threads.emplace_back([&, value] {
            for (int i = 0; i < 50; ++i)
                try {
                    TIniFile(path).WriteString("A", "x", value);
                } catch (const EIniFileError&) {
                    ++failures;
                }
        });
    threads.emplace_back([&] {
        for (int i = 0; i < 100; ++i)
            defaults += Get(path) == "<none>";
    });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(defaults, 0);
    const std::string after = Get(path);
    EXPECT_TRUE(after == "1" || after == "2") << after;
    EXPECT_EQ(Entries(folder.path), std::vector<std::wstring>{L"Settings.INI"});
}

}  // namespace
}  // namespace tamberline
