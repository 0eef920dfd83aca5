#include "device/settingsfile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

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
