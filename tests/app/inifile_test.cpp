// The settings file: what reads give, what writes change (and only that), and how writes fail.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "app/current_dir.h"
#include "app/inifile.h"
#include "support/fake_os.h"

namespace tamberline {
namespace {

namespace fs = std::filesystem;

class TTempDir {
  public:
    TTempDir() {
        std::string tmpl = ::testing::TempDir() + "/inifileXXXXXX";
        path_ = mkdtemp(tmpl.data());
    }
    ~TTempDir() {
        chmod(path_.c_str(), 0755);
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }
    std::string File() const { return path_ + "/Settings.INI"; }

  private:
    std::string path_;
};

void Put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct TReadCase {
    std::string Name, Text, Section, Key, Default, Expected;
};

TEST(IniFileRead, Strings) {
    const std::string longValue(1500, 'v');
    std::string cyr = "\xD0\x96";  // one two-byte character
    std::vector<TReadCase> cases = {
        {"section and key without case", "[COMPORTSETTINGS]\ncomport=COM3\n", "ComPortSettings", "ComPort", "", "COM3"},
        {"blanks trimmed everywhere", "  [ Common Settings ]  \n\t Last Syncro \t=\t 01.02.2024 10:00 \t\n",
         "Common Settings", "Last Syncro", "", "01.02.2024 10:00"},
        {"empty value is not the default", "[S]\nK=\n", "S", "K", "def", ""},
        {"one pair of quotes removed", "[S]\nK=\" a b \"\n", "S", "K", "", " a b "},
        {"unmatched quote kept", "[S]\nK=\"abc\n", "S", "K", "", "\"abc"},
        {"equals sign inside the value", "[S]\nK=a=b\n", "S", "K", "", "a=b"},
        {"first of two keys", "[S]\nK=1\nK=2\n", "S", "K", "", "1"},
        {"only in the first of two sections", "[S]\nA=1\n[T]\nK=x\n[S]\nK=2\n", "S", "K", "d", "d"},
        {"key before any section not taken", "K=x\n[S]\nA=1\n", "S", "K", "d", "d"},
        {"commented key not taken", "[S]\n;K=x\n#K=y\n", "S", "K", "d", "d"},
        {"CRLF line endings", "[S]\r\nK=v\r\n", "S", "K", "", "v"},
        {"last line without line ending", "[S]\nK=v", "S", "K", "", "v"},
        {"byte-order mark before the first section", "\xEF\xBB\xBF[S]\nK=v\n", "S", "K", "", "v"},
        {"line without equals sign ignored", "[S]\nnonsense\nK=v\n", "S", "K", "", "v"},
        {"unclosed section header is no section", "[S\nK=v\n", "S", "K", "d", "d"},
        {"value cut at 1023 bytes", "[S]\nK=" + longValue + "\n", "S", "K", "", longValue.substr(0, 1023)},
        {"cut never splits a character", "[S]\nK=" + std::string(1022, 'a') + cyr + "\n", "S", "K", "",
         std::string(1022, 'a')},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        Put(dir.File(), c.Text);
        EXPECT_EQ(TIniFile(dir.File()).ReadString(c.Section, c.Key, c.Default), c.Expected) << c.Name;
    }
    fs::remove(dir.File());
    EXPECT_EQ(TIniFile(dir.File()).ReadString("S", "K", "none"), "none") << "missing file";
    EXPECT_EQ(TIniFile(dir.Path() + "/no/such/dir/Settings.INI").ReadString("S", "K", "none"), "none");
}

struct TIntCase {
    std::string Name;
    std::optional<std::string> Stored;  // none: key absent
    int32_t Default, Expected;
};

TEST(IniFileRead, Integers) {
    std::vector<TIntCase> cases = {
        {"absent", std::nullopt, 1, 1},
        {"hex 0x0C", "0x0C", 1, 12},
        {"negative hex", "-0x10", 1, -16},
        {"blanks around", "  42  ", 1, 42},
        {"empty", "", 9, 9},
        {"trailing junk", "12abc", 9, 9},
        {"bad hex digit", "0xG", 9, 9},
        {"int32 max", "2147483647", 9, 2147483647},
        {"int32 min", "-2147483648", 9, INT32_MIN},
        {"above int32", "2147483648", 9, 9},
        {"below int32", "-2147483649", 9, 9},
        {"beyond any integer type", "99999999999999999999999", 9, 9},
        {"hex above int32", "0x80000000", 9, 9},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        Put(dir.File(), c.Stored ? "[Common Settings]\nSyncroEveryHours=" + *c.Stored + "\n" : "[Common Settings]\n");
        EXPECT_EQ(TIniFile(dir.File()).ReadInteger("Common Settings", "SyncroEveryHours", c.Default), c.Expected)
            << c.Name;
    }
}

struct TWrite {
    std::string Section, Key, Value;
};

struct TWriteCase {
    std::string Name;
    std::optional<std::string> Before;  // none: no file yet
    std::vector<TWrite> Writes;
    std::string After;
};

TEST(IniFileWrite, ChangesOnlyWhatIsWritten) {
    std::vector<TWriteCase> cases = {
        {"new file", std::nullopt, {{"Common Settings", "SumWnt", "1"}}, "[Common Settings]\nSumWnt=1\n"},
        {"update in place, CRLF and comments kept",
         "; port of the clock\r\n[ComPortSettings]\r\nComPort=COM1\r\nBaudRate=38400\r\n\r\n[Other]\r\nx = 1\r\n",
         {{"ComPortSettings", "ComPort", "COM3"}},
         "; port of the clock\r\n[ComPortSettings]\r\nComPort=COM3\r\nBaudRate=38400\r\n\r\n[Other]\r\nx = 1\r\n"},
        {"original spelling and blanks of the key kept",
         "[comportsettings]\ncomport = com1   \n",
         {{"ComPortSettings", "ComPort", "COM3"}},
         "[comportsettings]\ncomport = COM3\n"},
        {"new key after the last key of its section",
         "[A]\nx=1\n; about B\n\n[B]\ny=2\n",
         {{"a", "z", "3"}},
         "[A]\nx=1\nz=3\n; about B\n\n[B]\ny=2\n"},
        {"new key into an empty section", "[A]\n[B]\ny=2\n", {{"A", "z", "3"}}, "[A]\nz=3\n[B]\ny=2\n"},
        {"new key after a last line without line ending", "[A]\r\nx=1", {{"A", "z", "3"}}, "[A]\r\nx=1\r\nz=3\r\n"},
        {"new section after a last line without ending",
         "; only a comment",
         {{"B", "y", "2"}},
         "; only a comment\n[B]\ny=2\n"},
        {"only the first of two keys changes", "[A]\nx=1\nx=2\n", {{"A", "X", "9"}}, "[A]\nx=9\nx=2\n"},
        {"blanks after '=' kept through an empty value",
         "[A]\nx = 5  \n",
         {{"A", "x", ""}, {"A", "x", ""}, {"A", "x", "3"}},
         "[A]\nx = 3\n"},
        {"a value with blanks in front does not add blanks when written again",
         "[A]\nx = 5\n",
         {{"A", "x", " 2"}, {"A", "x", " 2"}},
         "[A]\nx = 2\n"},
        {"unrelated odd lines kept byte for byte",
         "garbage line\n[A]\n  x=1\t\n[B\n",
         {{"A", "x", "2"}},
         "garbage line\n[A]\n  x=2\n[B\n"},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        if (c.Before)
            Put(dir.File(), *c.Before);
        else
            fs::remove(dir.File());
        TIniFile ini(dir.File());
        for (const auto& w : c.Writes)
            ini.WriteString(w.Section, w.Key, w.Value);
        EXPECT_EQ(Get(dir.File()), c.After) << c.Name;
    }
}

TEST(IniFileWrite, ValuesReadBackAsWritten) {
    TTempDir dir;
    TIniFile ini(dir.File());
    for (const std::string& v : {std::string("\xD0\x96\xD0\x96"), std::string(1023, 'q'), std::string("a=b;c")}) {
        ini.WriteString("Common Settings", "Last Syncro", v);
        EXPECT_EQ(ini.ReadString("Common Settings", "Last Syncro", "d"), v);
    }
    for (int32_t v : {0, -1, INT32_MAX, INT32_MIN}) {
        ini.WriteInteger("Common Settings", "SyncroEveryHours", v);
        EXPECT_EQ(ini.ReadInteger("Common Settings", "SyncroEveryHours", 77), v);
    }
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"Settings.INI"}) << "no temporary file left";
}

TEST(IniFileWrite, PermissionsAndLinksKept) {
    TTempDir dir;
    Put(dir.File(), "[A]\nx=1\n");
    chmod(dir.File().c_str(), 0640);
    TIniFile(dir.File()).WriteString("A", "x", "2");
    struct stat st {};
    ASSERT_EQ(stat(dir.File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    std::string target = dir.Path() + "/real.ini", link = dir.Path() + "/link.ini";
    Put(target, "[A]\nx=1\n");
    fs::create_symlink("real.ini", link);
    TIniFile(link).WriteString("A", "x", "3");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Get(target), "[A]\nx=3\n");
}

// Writers killed at random instants, over and over: the file always holds one whole text (the old or
// the new), at most the one temporary file is left beside it, and the next write removes that.
TEST(IniFileWrite, WriterKilledAtRandom) {
    TTempDir dir;
    std::string notes;
    for (int i = 0; i < 2000; ++i)
        notes += "note" + std::to_string(i) + "=some text kept as it is\n";
    auto text = [&](const std::string& v) {
        return "[Notes]\n" + notes + "[Common Settings]\nLast Syncro=" + v + "\n";
    };
    Put(dir.File(), text("start"));
    const std::set<std::string> whole = {text("start"), text("A"), text("B")};
    const std::set<std::string> allowed = {"Settings.INI", ".Settings.INI.tmp"};
    std::mt19937 random(9);
    int leftovers = 0;
    constexpr int kRounds = 250;
    for (int round = 0; round < kRounds; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            TIniFile ini(dir.File());
            if (write(ready[1], "r", 1) != 1) _exit(2);
            for (unsigned i = 0;; ++i) {
                try {
                    ini.WriteString("Common Settings", "Last Syncro", i % 2 ? "A" : "B");
                } catch (const EIniFileError&) {
                    _exit(3);
                }
            }
        }
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]), close(ready[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round << ": the writer failed by itself, status " << status;
        ASSERT_EQ(whole.count(Get(dir.File())), 1u) << "round " << round << ": file not whole";
        const auto entries = Entries(dir.Path());
        for (const auto& e : entries)
            ASSERT_EQ(allowed.count(e), 1u) << "round " << round << ": stray " << e;
        leftovers += entries.size() > 1;
    }
    EXPECT_GT(leftovers, 0) << "no kill landed inside a write";
    TIniFile(dir.File()).WriteString("Common Settings", "Last Syncro", "end");
    EXPECT_EQ(Get(dir.File()), text("end"));
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"Settings.INI"});
}

// Two writers at once share the one temporary name: neither fails and neither corrupts the other.
TEST(IniFileWrite, ConcurrentWritersTakeTurns) {
    TTempDir dir;
    Put(dir.File(), "[A]\nx=0\n");
    std::vector<pid_t> writers;
    for (const char* value : {"1", "2"}) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                for (int i = 0; i < 100; ++i)
                    TIniFile(dir.File()).WriteString("A", "x", value);
            } catch (const EIniFileError&) {
                _exit(3);
            }
            _exit(0);
        }
        writers.push_back(pid);
    }
    for (pid_t pid : writers) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed, status " << status;
    }
    const std::string after = Get(dir.File());
    EXPECT_TRUE(after == "[A]\nx=1\n" || after == "[A]\nx=2\n") << after;
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"Settings.INI"});
}

// Runs `fn` in a child without root's powers, so permissions bind as they do for a user.
int AsUnprivileged(const std::function<int()>& fn) {
    pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
        _exit(fn());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

// What is in the way of a write. What an earlier write left at the fixed temporary name is replaced,
// and the victim of a link planted there is never written; what cannot be removed, an unwritable
// target and bad names fail with the file untouched and no temporary file left.
struct TObstacleCase {
    std::string Name;
    std::function<void(const std::string& file, const std::string& tmp, const std::string& victim)> Plant;
    std::optional<std::string> Error;  // the text after "Unable to write to <path>"; none: the write works
    TWrite Write{"A", "x", "2"};
    std::string Path = "Settings.INI";  // in the test's directory
};

TEST(IniFileWrite, ObstaclesReplacedOrReportedWithTheFileUntouched) {
    const std::string original = "[A]\r\nx=1\r\n";
    auto nothing = [](auto&, auto&, auto&) {};
    std::vector<TObstacleCase> cases = {
        {"leftover: partial file of a killed writer", [](auto&, auto& t, auto&) { Put(t, "[A]\nx="); }, {}},
        {"leftover: read-only file",
         [](auto&, auto& t, auto&) {
             Put(t, "[A]\nx=7\n");
             chmod(t.c_str(), 0444);
         },
         {}},
        {"leftover: symbolic link to another file", [](auto&, auto& t, auto& v) { fs::create_symlink(v, t); }, {}},
        {"leftover: directory", [](auto&, auto& t, auto&) { fs::create_directory(t); }, ""},
        {"read-only file", [](auto& f, auto&, auto&) { chmod(f.c_str(), 0444); }, ""},
        {"missing directory", nothing, "", {"A", "x", "2"}, "missing/Settings.INI"},
        {"path is a directory",
         [](auto& f, auto&, auto&) {
             fs::remove(f);
             fs::create_directory(f);
         },
         ""},
        {"line break in value", nothing, ": line break in value", {"A", "x", "2\n[B]\ny=1"}},
        {"equals sign in key", nothing, ": bad key name", {"A", "x=y", "2"}},
        {"comment as key", nothing, ": bad key name", {"A", ";x", "2"}},
        {"bracket in section", nothing, ": bad section name", {"A]x", "x", "2"}},
        {"section ending in a blank that reads trim", nothing, ": bad section name", {"A\f", "x", "2"}},
        {"key starting with a blank that reads trim", nothing, ": bad key name", {"A", "\vx", "2"}},
    };
    for (const auto& c : cases) {
        TTempDir dir;
        const std::string tmp = dir.Path() + "/.Settings.INI.tmp", victim = dir.Path() + "/victim";
        const std::string path = dir.Path() + "/" + c.Path;
        Put(dir.File(), original);
        Put(victim, "untouched");
        c.Plant(dir.File(), tmp, victim);
        std::optional<std::string> error;
        try {
            TIniFile(path).WriteString(c.Write.Section, c.Write.Key, c.Write.Value);
        } catch (const EIniFileError& e) {
            error = e.what();
        }
        EXPECT_EQ(error, c.Error ? std::optional("Unable to write to " + path + *c.Error) : std::nullopt) << c.Name;
        if (fs::is_regular_file(dir.File())) {
            EXPECT_EQ(Get(dir.File()), c.Error ? original : "[A]\r\nx=2\r\n") << c.Name;
        }
        EXPECT_EQ(Get(victim), "untouched") << c.Name;
        for (const auto& e : Entries(dir.Path()))
            EXPECT_TRUE(e == "Settings.INI" || e == "victim" || fs::is_directory(dir.Path() + "/" + e))
                << c.Name << ": " << e << " left";
    }
}

TEST(IniFileWrite, ReadOnlyDirectoryRefusedForUsers) {
    TTempDir dir;
    Put(dir.File(), "[A]\nx=1\n");
    chmod(dir.File().c_str(), 0666);  // the file itself writable: only the directory forbids the change
    chmod(dir.Path().c_str(), 0555);
    std::string path = dir.File();
    int rc = AsUnprivileged([&] {
        try {
            TIniFile(path).WriteString("A", "x", "2");
            return 1;
        } catch (const EIniFileError& e) {
            return std::string(e.what()) == "Unable to write to " + path ? 0 : 2;
        }
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(Get(dir.File()), "[A]\nx=1\n");
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"Settings.INI"});
}

TEST(SettingsPath, NoDoubleSlashAtTheRoot) {
    test::TFixedDir root("/");
    EXPECT_EQ(SettingsPath(root), "/Settings.INI");
}

// Restores the working directory of the test process whatever happens.
class TKeepCwd {
  public:
    TKeepCwd() : fd_(open(".", O_RDONLY | O_DIRECTORY)) {}
    ~TKeepCwd() {
        if (fchdir(fd_) != 0) std::abort();
        close(fd_);
    }

  private:
    int fd_;
};

// 24 levels of 250 characters: far over 60 characters and beyond the path limit.
TEST(SettingsPath, DeepDirectoryBeyondThePathLimitWorks) {
    constexpr size_t kLevels = 24, kNameLength = 250;
    TTempDir dir;
    TKeepCwd keep;
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    for (size_t i = 0; i < kLevels; ++i) {
        const std::string name(kNameLength, static_cast<char>('a' + i));
        ASSERT_EQ(mkdir(name.c_str(), 0755), 0);
        ASSERT_EQ(chdir(name.c_str()), 0);
    }
    TProcessCurrentDirectory cwd;
    const std::string path = SettingsPath(cwd);
    EXPECT_GT(path.size(), dir.Path().size() + kLevels * kNameLength);
    TIniFile ini(path);
    ini.WriteString("ComPortSettings", "ComPort", "COM7");
    EXPECT_EQ(ini.ReadString("ComPortSettings", "ComPort", "Com1"), "COM7");
    EXPECT_EQ(Get("Settings.INI"), "[ComPortSettings]\nComPort=COM7\n");
    // Climb out removing as we go: whole paths this long are beyond the usual file functions.
    EXPECT_EQ(unlink("Settings.INI"), 0);
    for (size_t i = kLevels; i > 0; --i) {
        ASSERT_EQ(chdir(".."), 0);
        EXPECT_EQ(rmdir(std::string(kNameLength, static_cast<char>('a' + i - 1)).c_str()), 0);
    }
}

}  // namespace
}  // namespace tamberline
