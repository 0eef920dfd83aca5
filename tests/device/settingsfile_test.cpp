#include "device/settingsfile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using larkspur::kSettingsFileLimit;
using larkspur::SettingsFile;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/larkspur-settings.XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_dir = dir;
        m_path = m_dir / "Larkspur.ini";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    void writeFile(const std::string& text) { std::ofstream(m_path, std::ios::binary) << text; }
    std::string readFile() const {
        std::ifstream in(m_path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }

    std::filesystem::path m_dir;
    std::filesystem::path m_path;
};

TEST_F(SettingsFileTest, ReadsLikeTheProfileFunctions) {
    writeFile(
        "; comment=1\r\n[Other]\r\nType=9\r\n[serialinterface]\r\n  TYPE =  0 \r\naddr=0x4E\r\n"
        "Empty=\r\n[Later]\r\nAddr=1\r\n");
    const SettingsFile file(m_path);
    struct Read {
        const char* section;
        const char* key;
        const char* value;
    };
    const Read reads[] = {
        {"SerialInterface", "Type", "0"},     // names without regard to case, value trimmed
        {"SERIALINTERFACE", "Addr", "0x4E"},  //
        {"SerialInterface", "Empty", ""},     // present but empty: not the fallback
        {"SerialInterface", "Missing", "fb"}, // absent key
        {"Nowhere", "Type", "fb"},            // absent section
        {"Other", "Type", "9"},
        {"Later", "Addr", "1"},
    };
    for (const Read& r : reads) {
        EXPECT_EQ(file.readString(r.section, r.key, "fb"), r.value) << r.section << "/" << r.key;
    }
}

TEST_F(SettingsFileTest, MissingFileGivesFallbacksAndIsNotCreated) {
    const SettingsFile file(m_dir / "sub" / "Larkspur.ini");
    EXPECT_EQ(file.readString("SerialInterface", "Type", "1"), "1");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "sub"));
}

TEST_F(SettingsFileTest, WritingAKeyKeepsEveryOtherLine) {
    writeFile("; kept\n[SerialInterface]\nType=1\nAddr=0x00\n\n[Other]\nKey=v\n");
    SettingsFile file(m_path);
    ASSERT_TRUE(file.writeString("serialinterface", "addr", "0x03"));
    EXPECT_EQ(readFile(), "; kept\n[SerialInterface]\nType=1\naddr=0x03\n\n[Other]\nKey=v\n");

    ASSERT_TRUE(file.writeString("SerialInterface", "New", "x"));
    EXPECT_EQ(readFile(),
              "; kept\n[SerialInterface]\nType=1\naddr=0x03\nNew=x\n\n[Other]\nKey=v\n");

    ASSERT_TRUE(file.writeString("Third", "K", "3"));
    EXPECT_EQ(
        readFile(),
        "; kept\n[SerialInterface]\nType=1\naddr=0x03\nNew=x\n\n[Other]\nKey=v\n\n[Third]\nK=3\n");
    EXPECT_EQ(file.readString("Third", "K", ""), "3");
}

TEST_F(SettingsFileTest, KeepsWindowsLineEnds) {
    writeFile("[SerialInterface]\r\nType=1\r\n");
    SettingsFile file(m_path);
    ASSERT_TRUE(file.writeString("SerialInterface", "Type", "0"));
    EXPECT_EQ(readFile(), "[SerialInterface]\r\nType=0\r\n");
}

TEST_F(SettingsFileTest, FirstWriteCreatesFolderAndFile) {
    SettingsFile file(m_dir / "config" / "Larkspur.ini");
    ASSERT_TRUE(file.writeString("SerialInterface", "Type", "0"));
    ASSERT_TRUE(file.writeString("SerialInterface", "Addr", "0x4C"));
    std::ifstream in(m_dir / "config" / "Larkspur.ini");
    std::ostringstream all;
    all << in.rdbuf();
    EXPECT_EQ(all.str(), "[SerialInterface]\nType=0\nAddr=0x4C\n");
}

TEST_F(SettingsFileTest, AFailedWriteLeavesTheOldFile) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    writeFile("[SerialInterface]\nType=1\n");
    ASSERT_EQ(::chmod(m_dir.c_str(), 0500), 0);
    SettingsFile file(m_path);
    EXPECT_FALSE(file.writeString("SerialInterface", "Type", "0"));
    ::chmod(m_dir.c_str(), 0700);
    EXPECT_EQ(readFile(), "[SerialInterface]\nType=1\n");
}

TEST_F(SettingsFileTest, AnImpossiblePathIsReportedAsFailure) {
    writeFile("not a folder");
    SettingsFile file(m_path / "Larkspur.ini");
    EXPECT_FALSE(file.writeString("SerialInterface", "Type", "0"));
    EXPECT_EQ(readFile(), "not a folder");
}

// A file its owner made read-only stays as it is, even for root, and keeps its mode; a file
// that may be written keeps its own mode too.
TEST_F(SettingsFileTest, AReadOnlyFileIsRespected) {
    writeFile("[SerialInterface]\nType=1\n");
    ASSERT_EQ(::chmod(m_path.c_str(), 0444), 0);
    SettingsFile file(m_path);
    EXPECT_FALSE(file.writeString("SerialInterface", "Type", "0"));
    EXPECT_EQ(file.lastError(), "the file is read-only");
    EXPECT_EQ(readFile(), "[SerialInterface]\nType=1\n");
    struct stat info {};
    ASSERT_EQ(::stat(m_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);

    ASSERT_EQ(::chmod(m_path.c_str(), 0600), 0);
    EXPECT_TRUE(file.writeString("SerialInterface", "Type", "0"));
    EXPECT_EQ(file.lastError(), "");
    ASSERT_EQ(::stat(m_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u) << "the private file stays private";
}

TEST_F(SettingsFileTest, ALinkedFileStaysWhereItIs) {
    const auto real = m_dir / "real.ini";
    std::ofstream(real) << "[SerialInterface]\nType=1\n";
    std::filesystem::create_symlink(real, m_path);
    SettingsFile file(m_path);
    ASSERT_TRUE(file.writeString("SerialInterface", "Type", "0"));
    EXPECT_TRUE(std::filesystem::is_symlink(m_path));
    EXPECT_EQ(file.readString("SerialInterface", "Type", ""), "0");
}

// What may stand under the settings file's name instead of one. Each is said to be so, read in
// bounded time and memory (a fifo without a writer does not block, /dev/zero does not run on),
// gives the fallbacks as no file would, and is left as it is by a write.
TEST_F(SettingsFileTest, WhatIsNoSettingsFileIsReportedAndLeftAlone) {
    const std::string settings = "[SerialInterface]\nType=0\n";
    const struct Case {
        const char* name;
        std::function<void()> make;
        const char* problem; // null: the file is read
        bool rootReadsIt;    // permissions do not stop root
        // Not through a link to a device: a write that went through would replace the
        // system's device. The fifo stands for it.
        bool writeTried = true;
    } cases[] = {
        {"a folder", [&] { std::filesystem::create_directory(m_path); }, "it is a folder", false},
        {"a link to /dev/zero", [&] { std::filesystem::create_symlink("/dev/zero", m_path); },
         "it is not a regular file", false, false},
        {"a fifo", [&] { ASSERT_EQ(::mkfifo(m_path.c_str(), 0600), 0); },
         "it is not a regular file", false},
        {"a file one byte past the limit",
         [&] { writeFile(settings + std::string(kSettingsFileLimit + 1 - settings.size(), ';')); },
         "it is larger than 64 KiB", false},
        {"a file no one may read",
         [&] {
             writeFile(settings);
             ASSERT_EQ(::chmod(m_path.c_str(), 0200), 0);
         },
         "Permission denied", true},
        {"NUL bytes", [&] { writeFile(std::string("[SerialInterface]\nType=0\0\n", 26)); },
         "it holds NUL bytes", false},
        {"a file that fills the limit",
         [&] { writeFile(settings + std::string(kSettingsFileLimit - settings.size(), ';')); },
         nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.make();
        const bool readable = c.problem == nullptr || (c.rootReadsIt && ::geteuid() == 0);
        struct stat before {};
        ASSERT_EQ(::lstat(m_path.c_str(), &before), 0);
        SettingsFile file(m_path);
        EXPECT_EQ(file.readProblem(),
                  readable ? std::nullopt : std::optional<std::string>(c.problem));
        EXPECT_EQ(file.readString("SerialInterface", "Type", "fallback"),
                  readable ? "0" : "fallback");
        if (!readable && c.writeTried) {
            EXPECT_FALSE(file.writeString("SerialInterface", "Type", "1"));
            EXPECT_EQ(file.lastError(), c.problem);
            struct stat after {};
            ASSERT_EQ(::lstat(m_path.c_str(), &after), 0);
            EXPECT_EQ(after.st_ino, before.st_ino) << "it was replaced";
            EXPECT_EQ(after.st_size, before.st_size);
        }
        std::filesystem::remove_all(m_path);
    }
}

// The pure halves the file's reads and writes stand on.
TEST(SettingsText, ValuesAndEditsOfIniText) {
    EXPECT_EQ(larkspur::settingsValue("[A]\nk = v \n", "a", "K"), "v");
    EXPECT_EQ(larkspur::settingsValue("[A]\nk=v\n", "B", "k"), std::nullopt);
    EXPECT_EQ(larkspur::withSetting("", "S", "K", "1"), "[S]\nK=1\n");
    EXPECT_EQ(larkspur::withSetting("x\r\n[S]\r\nK=0\r\n", "s", "k", "1"), "x\r\n[S]\r\nk=1\r\n");
}

// A last line without its line end but with carriage returns: a write ends it as the file's
// other lines end, and the next write changes nothing more (it had turned LF ends into CR LF).
TEST(SettingsText, AFinalCarriageReturnIsALineEnd) {
    const struct Case {
        const char* text;
        const char* written;
    } cases[] = {
        {"[S]\nK=0\nend\r", "[S]\nK=1\nend\n"},
        {"[S]\nK=0\nend\r\r", "[S]\nK=1\nend\n"},
        {"[S]\r\nK=0\r\nend\r\r", "[S]\r\nK=1\r\nend\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.text)));
        const std::string once = larkspur::withSetting(c.text, "S", "K", "1");
        EXPECT_EQ(once, c.written);
        EXPECT_EQ(larkspur::withSetting(once, "S", "K", "1"), once);
    }
}

TEST(SettingsFilePath, FollowsXdgConfigHome) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string restore = saved != nullptr ? saved : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(SettingsFile::defaultPath(), std::filesystem::path("/tmp/cfg/Larkspur.ini"));
    ::setenv("XDG_CONFIG_HOME", "", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(SettingsFile::defaultPath(),
              std::filesystem::path("/home/someone/.config/Larkspur.ini"));
    if (saved != nullptr) {
        ::setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

} // namespace
