// Loading the link library, and the register layer over the real library and the virtual board.
#include "device/linklibrary.h"
#include "device/registeraccess.h"
#include "tests/support/boardtest.h"
#include "tests/support/evmprocess.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace larkspur;
using namespace testsupport;

namespace {

TEST(LinkLibraryTest, LoadsTheLibraryBesideTheProgram) {
    // Tests are built beside libSundial.so, as the program is.
    LinkLibrary library;
    ASSERT_EQ(library.load(), LinkLoader::Status::Loaded);
    EXPECT_TRUE(library.isLoaded());
    ASSERT_NE(library.entries(), nullptr);
    EXPECT_EQ(library.entries()->getVer(), 0x1500);
    EXPECT_EQ(library.entries()->close(), 0);
    library.unload();
    EXPECT_FALSE(library.isLoaded());
    EXPECT_EQ(library.entries(), nullptr);
}

// Without a library anywhere, the report names the file and every place it was looked for;
// a file there that is no library is told by what the loader said of it.
TEST(LinkLibraryTest, NoLibraryAnywhere) {
    char dir[] = "/tmp/larkspur-nolib.XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string folder = dir;
    const std::string prefixLibraries = "../lib/x86_64-linux-gnu";
    const std::string loaderPath =
        " through the loader's search path (LD_LIBRARY_PATH, the system's library folders): ";
    const std::string looked = "Sundial's library was looked for as:\n";
    const std::string afterFirst =
        "\nlibSundial.so" + loaderPath + "not found\nlibSundial.so.1" + loaderPath + "not found\n" +
        std::filesystem::path(folder + "/" + prefixLibraries + "/libSundial.so.1")
            .lexically_normal()
            .string() +
        ": not there";

    LinkLibrary library(folder, prefixLibraries);
    EXPECT_EQ(library.load(), LinkLoader::Status::CannotLoad);
    EXPECT_FALSE(library.isLoaded());
    EXPECT_EQ(library.searchReport(), looked + folder + "/libSundial.so: not there" + afterFirst);

    std::ofstream(folder + "/libSundial.so") << "not a library";
    EXPECT_EQ(library.load(), LinkLoader::Status::CannotLoad);
    const std::string report = library.searchReport();
    const std::string firstLine =
        report.substr(looked.size(), report.find('\n', looked.size()) - looked.size());
    EXPECT_EQ(firstLine.rfind(folder + "/libSundial.so: ", 0), 0u) << report;
    EXPECT_EQ(firstLine.find("not there"), std::string::npos) << report;
    EXPECT_EQ(firstLine.find(folder, folder.size()), std::string::npos)
        << "named twice: " << report;
    std::filesystem::remove_all(folder);
}

// A module that lies in the build tree elsewhere than beside the library (the Python package
// in python/larkspur) finds the build's library by the way it is given, before any other.
TEST(LinkLibraryTest, AModuleInTheBuildTreeFindsTheBuildsLibrary) {
    namespace fs = std::filesystem;
    const fs::path build = fs::path(::testing::TempDir()) / ("build-" + std::to_string(::getpid()));
    fs::create_directories(build / "python" / "larkspur");
    fs::create_directories(build / "bin");
    fs::copy_file(SUNDIAL_LIBRARY_PATH, build / "bin" / "libSundial.so",
                  fs::copy_options::overwrite_existing);
    LinkLibrary library((build / "python" / "larkspur").string(), "../../../nowhere", "../../bin");
    ASSERT_EQ(library.load(), LinkLoader::Status::Loaded) << library.searchReport();
    EXPECT_EQ(fs::path(library.loadedFrom()), build / "bin" / "libSundial.so");
    library.unload();
    fs::remove_all(build);
}

TEST(LinkLibraryTest, ALibraryWithoutAllEntriesIsRefusedAndUnloaded) {
    LinkLibrary library(INCOMPLETE_LINK_FOLDER);
    EXPECT_EQ(library.load(), LinkLoader::Status::Invalid);
    EXPECT_FALSE(library.isLoaded());
    EXPECT_EQ(library.entries(), nullptr);
}

TEST(LinkLibraryTest, AnInstallationFindsTheSharedObjectInItsPrefix) {
    // An installation under a prefix the loader does not search (~/.local): the program in
    // prefix/bin, the Python module in prefix/lib/python3/dist-packages/larkspur, and the
    // library in the prefix's library folder, reached from each by its own relative path.
    namespace fs = std::filesystem;
    struct Case {
        const char* loaderFolder; // relative to the prefix
        std::string toLibraries;  // from there to the library folder
    };
    const Case cases[] = {
        {"bin", LinkLibrary::installedLibraryFolder()},
        {"lib/python3/dist-packages/larkspur", "../../../x86_64-linux-gnu"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.loaderFolder);
        const fs::path prefix =
            fs::path(::testing::TempDir()) / ("prefix-" + std::to_string(::getpid()));
        const fs::path loaderFolder = prefix / c.loaderFolder;
        const fs::path libraries = (loaderFolder / c.toLibraries).lexically_normal();
        fs::create_directories(loaderFolder);
        fs::create_directories(libraries);
        fs::copy_file(fs::path(SUNDIAL_LIBRARY_PATH).parent_path() / "libSundial.so.1",
                      libraries / "libSundial.so.1", fs::copy_options::overwrite_existing);

        LinkLibrary library(loaderFolder.string(), c.toLibraries);
        ASSERT_EQ(library.load(), LinkLoader::Status::Loaded);
        EXPECT_EQ(fs::path(library.loadedFrom()), libraries / "libSundial.so.1");
        EXPECT_EQ(library.entries()->getVer(), 0x1500);
        library.unload();
        EXPECT_TRUE(library.loadedFrom().empty());
        fs::remove_all(prefix);
    }
}

using RegisterAccessOnBoard = OnBoardTest;

TEST_F(RegisterAccessOnBoard, WritesAndReadsTheCodecOverI2c) {
    connect({"--i2c-address", "76"}, kInterfaceI2c);
    m_access.WriteRegister(0x16, 0x80);
    EXPECT_EQ(m_evm->control("get 0x16"), "ok 0x80");
    EXPECT_EQ(m_evm->transcriptAfter(1).front(), "rx 1E 05 00 01 4C 16 80 01 06");
    EXPECT_EQ(m_access.ReadRegister(0x16), 0x80);
    EXPECT_EQ(m_history.lines, std::vector<std::string>{"0x16, 0x80"});
    EXPECT_TRUE(m_dialogs.messages.empty());
}

TEST_F(RegisterAccessOnBoard, SpiDeviceBitsReachTheRightDevice) {
    connect({"--spi-device", "2"}, kInterfaceSpi, 2);
    m_access.WriteRegister(0x16 + static_cast<std::uint32_t>(m_access.DeviceBits()), 0x80);
    EXPECT_EQ(m_evm->control("get 0x16"), "ok 0x80");
    EXPECT_EQ(m_access.shadowRegister(0x16), 0x80);
    EXPECT_EQ(m_history.lines, std::vector<std::string>{"0x56, 0x80"});
    EXPECT_EQ(m_access.ReadRegister(0x56), 0x80);
}

TEST_F(RegisterAccessOnBoard, FailuresAreReportedOnceAndTheWriteStillCounts) {
    connect({}, kInterfaceI2c);
    ASSERT_EQ(m_evm->control("fault no-reply write 2"), "ok");
    m_access.WriteRegister(0x13, 0x01);
    m_access.WriteRegister(0x13, 0x02);
    EXPECT_EQ(m_dialogs.messages, std::vector<std::string>{"Communication error: WRERR0003"});
    EXPECT_EQ(m_access.shadowRegister(0x13), 0x02);
    EXPECT_EQ(m_history.lines.size(), 2u);

    ASSERT_EQ(m_evm->control("fault no-reply write once"), "ok");
    m_access.WriteBoardRegister(0x37, 1);
    EXPECT_EQ(m_dialogs.messages.back(), "Communication error: SPERR0003");
}

} // namespace
