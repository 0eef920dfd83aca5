// The register snapshot and the history save over a recording link: the file bytes, the shared
// dialog, the overwrite question, and saves that fail without harming the earlier file.
#include "files/registerdump.h"
#include "filetestsupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace larkspur;
using namespace testsupport;

namespace {

using Errors = std::vector<std::pair<std::string, std::string>>;
using Strings = std::vector<std::string>;

const std::string kSnapshot = "0x10, 0xC0\r\n0x11, 0x25\r\n0x12, 0x00\r\n0x13, 0x00\r\n"
                              "0x14, 0x00\r\n0x15, 0x03\r\n0x16, 0x80\r\n0x17, 0x00\r\n"
                              "0x18, 0xFF\r\n0x19, 0xFF\r\n";

class RegisterDumpTest : public LiveAccessTest {
protected:
    void SetUp() override { goLive(); }

    // The board's registers, at `deviceBits` + register number.
    void boardHolds(int deviceBits) {
        m_link.readValue = 0x00;
        m_link.values = {{deviceBits + 0x10, 0xC0}, {deviceBits + 0x11, 0x25},
                         {deviceBits + 0x15, 0x03}, {deviceBits + 0x16, 0x80},
                         {deviceBits + 0x18, 0xFF}, {deviceBits + 0x19, 0xFF}};
    }

    Strings reads() const {
        Strings out;
        for (const auto& call : m_link.calls) {
            if (call.entry == "read") {
                out.push_back(std::to_string(call.channel) + ":" + std::to_string(call.reg) + "x" +
                              std::to_string(call.count));
            }
        }
        return out;
    }

    static Strings readsFrom(int first) {
        Strings out;
        for (int reg = first; reg < first + 10; ++reg) {
            out.push_back("0:" + std::to_string(reg) + "x1");
        }
        return out;
    }

    RegisterDump m_dump{m_access, m_dialogs};
};

TEST_F(RegisterDumpTest, SnapshotOverI2cReadsTheBoardAndWritesTenLines) {
    boardHolds(0);
    const std::string path = m_dir.file("snap.csv");
    m_dialogs.fileNames = {path};
    m_dump.saveSnapshot();

    EXPECT_EQ(readBytes(path), kSnapshot);
    EXPECT_EQ(reads(), readsFrom(0x10));
    EXPECT_TRUE(m_dialogs.questions.empty());
    EXPECT_TRUE(m_dialogs.errors.empty());
    // The reads log nothing and leave the shadow as it was.
    EXPECT_TRUE(m_history.lines.empty());
    EXPECT_EQ(m_access.shadowRegister(0x11), 0x00);
    EXPECT_EQ(m_dir.names(), Strings{"snap.csv"});
}

TEST_F(RegisterDumpTest, SnapshotOverSpiReadsTheDeviceButNamesPlainRegisters) {
    SettingsFile settings(m_dir.file("Larkspur.ini"));
    m_access.addressChanged(2, kInterfaceSpi, settings);
    ASSERT_EQ(m_access.DeviceBits(), 0x40);
    boardHolds(0x40);
    const std::string path = m_dir.file("snap.csv");
    m_dialogs.fileNames = {path};
    m_dump.saveSnapshot();
    EXPECT_EQ(readBytes(path), kSnapshot);
    EXPECT_EQ(reads(), readsFrom(0x50));
}

// A snapshot replays as a script: one with a value the board never gave would one day write it
// into the codec. Without a link, or with a read that fails, nothing is saved and the user is
// told which register it was.
TEST_F(RegisterDumpTest, SnapshotWithAnUnreadRegisterIsNotSaved) {
    struct Case {
        const char* name;
        int linkPort;
        int failingRead; // 0-based read call that fails; -1: none fails
        const char* notRead;
        Strings messages;
    };
    const Strings readError = {"Communication error: RDERR0003\nPlease check interface setting."};
    const Case cases[] = {
        {"noLink", 0, -1, "0x10", {}},
        {"firstReadFails", 1, 0, "0x10", readError},
        {"lastReadFails", 1, 9, "0x19", readError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boardHolds(0);
        m_access.setLinkPort(c.linkPort);
        m_access.setErrorLatch(false);
        m_link.failReadNumber = c.failingRead;
        m_link.readCalls = 0;
        m_link.readResult = 3;
        m_dialogs.messages.clear();
        m_dialogs.errors.clear();
        const std::string path = m_dir.file(std::string(c.name) + ".csv");
        m_dialogs.fileNames = {path};
        m_dump.saveSnapshot();
        EXPECT_EQ(m_dialogs.messages, c.messages);
        ASSERT_EQ(m_dialogs.errors.size(), 1u);
        EXPECT_EQ(m_dialogs.errors[0].first, "EVM control application");
        EXPECT_EQ(m_dialogs.errors[0].second, "The register snapshot was not saved: register " +
                                                  std::string(c.notRead) +
                                                  " could not be read from the board.");
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

TEST_F(RegisterDumpTest, HistoryIsSavedLineByLineAsItStands) {
    struct Case {
        Strings lines;
        std::string bytes;
    };
    const Case cases[] = {
        {{}, ""},
        {{"0x16, 0x80"}, "0x16, 0x80\r\n"},
        {{"0x16, 0x80", "0x56, 0x01", "", "edited by hand"},
         "0x16, 0x80\r\n0x56, 0x01\r\n\r\nedited by hand\r\n"},
    };
    for (const Case& c : cases) {
        const std::string path = m_dir.file("history.csv");
        ::unlink(path.c_str());
        m_dialogs.fileNames = {path};
        m_dump.saveHistory(c.lines);
        EXPECT_EQ(readBytes(path), c.bytes) << testing::PrintToString(c.lines);
    }
    EXPECT_TRUE(m_link.calls.empty());
    EXPECT_TRUE(m_dialogs.errors.empty());
}

TEST_F(RegisterDumpTest, BothSavesShareTheDialogAndItsLastName) {
    boardHolds(0);
    const std::string snapshot = m_dir.file("snap.csv");
    m_dialogs.fileNames = {snapshot};
    m_dump.saveSnapshot();
    m_dump.saveHistory({}); // cancelled
    m_dialogs.fileNames = {m_dir.file("history.csv")};
    m_dump.saveHistory({"0x11, 0x05"});

    ASSERT_EQ(m_dialogs.fileDialogs.size(), 3u);
    const Strings proposed = {"", snapshot, snapshot};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(m_dialogs.fileDialogs[i].first, "save");
        EXPECT_EQ(m_dialogs.fileDialogs[i].second.filter, "CSV|*.csv|All files|*.*");
        EXPECT_EQ(m_dialogs.fileDialogs[i].second.defaultExtension, "csv");
        EXPECT_EQ(m_dialogs.fileDialogs[i].second.fileName, proposed[i]) << i;
    }
    EXPECT_EQ(m_dump.SaveDialog1().fileName, m_dir.file("history.csv"));
}

TEST_F(RegisterDumpTest, CancelledDialogReadsAndWritesNothing) {
    m_dump.saveSnapshot();
    m_dump.saveHistory({"0x11, 0x05"});
    EXPECT_TRUE(m_link.calls.empty());
    EXPECT_TRUE(m_dialogs.questions.empty());
    EXPECT_TRUE(m_dir.names().empty());
}

TEST_F(RegisterDumpTest, OverwriteQuestionNoLeavesTheFileAndReadsNothing) {
    boardHolds(0);
    const std::string path = m_dir.file("old.csv");
    writeBytes(path, "earlier\r\n");
    m_dialogs.answers = {false, false};
    m_dialogs.fileNames = {path, path};
    m_dump.saveSnapshot();
    m_dump.saveHistory({"0x11, 0x05"});

    const std::pair<std::string, std::string> question{
        "File exits", "The file you specified is already exists.\nAre you sure you want to save?"};
    EXPECT_EQ(m_dialogs.questions, (Errors{question, question}));
    EXPECT_EQ(readBytes(path), "earlier\r\n");
    EXPECT_TRUE(m_link.calls.empty());
    // The name still counts as chosen.
    EXPECT_EQ(m_dump.SaveDialog1().fileName, path);
}

TEST_F(RegisterDumpTest, OverwriteQuestionYesReplacesTheFileKeepingItsPermissions) {
    boardHolds(0);
    const std::string path = m_dir.file("old.csv");
    writeBytes(path, "a much longer earlier content than the snapshot will ever have ... "
                     "a much longer earlier content than the snapshot will ever have ...\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    m_dialogs.answers = {true};
    m_dialogs.fileNames = {path};
    m_dump.saveSnapshot();
    EXPECT_EQ(m_dialogs.questions.size(), 1u);
    EXPECT_EQ(readBytes(path), kSnapshot);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(m_dir.names(), Strings{"old.csv"});
}

TEST_F(RegisterDumpTest, SaveThroughALinkReplacesTheLinkedFile) {
    const std::string real = m_dir.file("real.csv");
    const std::string link = m_dir.file("link.csv");
    writeBytes(real, "earlier\r\n");
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    m_dialogs.fileNames = {link};
    m_dump.saveHistory({"0x11, 0x05"});
    struct stat info {};
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readBytes(real), "0x11, 0x05\r\n");
}

// Failures that hold for root too: a folder where the file's folder should be, a folder in place
// of the file, and a file size limit that stops the write half way.
TEST_F(RegisterDumpTest, FileThatCannotBeCreatedIsReportedWithTheSystemsReason) {
    writeBytes(m_dir.file("plain"), "not a folder");
    const std::string path = m_dir.file("plain/snap.csv");
    m_dialogs.fileNames = {path};
    m_dump.saveHistory({"0x11, 0x05"});
    EXPECT_EQ(m_dialogs.errors, (Errors{{"EVM control application", "Cannot create file \"" + path +
                                                                        "\". Not a directory."}}));
    EXPECT_EQ(m_dir.names(), Strings{"plain"});
    EXPECT_EQ(readBytes(m_dir.file("plain")), "not a folder");
}

TEST_F(RegisterDumpTest, FolderInPlaceOfTheFileStaysAndNoTemporaryIsLeft) {
    boardHolds(0);
    const std::string path = m_dir.file("taken.csv");
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    writeBytes(path + "/inside", "kept");
    m_dialogs.fileNames = {path};
    m_dump.saveSnapshot();
    EXPECT_EQ(m_dialogs.questions.size(), 1u);
    EXPECT_EQ(m_dialogs.errors, (Errors{{"EVM control application",
                                         "Cannot create file \"" + path + "\". Is a directory."}}));
    EXPECT_EQ(m_dir.names(), Strings{"taken.csv"});
    EXPECT_EQ(readBytes(path + "/inside"), "kept");
}

TEST_F(RegisterDumpTest, WriteThatFailsHalfWayLeavesTheEarlierFileIntact) {
    boardHolds(0);
    const std::string path = m_dir.file("old.csv");
    writeBytes(path, "earlier\r\n");
    m_dialogs.fileNames = {path};

    // Files may grow to 20 bytes: the snapshot's first write stops short, the next one fails.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 20;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    m_dump.saveSnapshot();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(m_dialogs.errors, (Errors{{"EVM control application",
                                         "Cannot create file \"" + path + "\". File too large."}}));
    EXPECT_EQ(readBytes(path), "earlier\r\n");
    EXPECT_EQ(m_dir.names(), Strings{"old.csv"});
}

} // namespace
