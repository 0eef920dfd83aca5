// Script runs over a recording link: what is written and waited, the messages and where a run
// stops, the progress window, the end steps and the history flag.
#include "files/filebytes.h"
#include "files/registerscript.h"
#include "filetestsupport.h"
#include "notation/hextext.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <sstream>
#include <streambuf>
#include <sys/stat.h>
#include <unistd.h>

using namespace larkspur;
using namespace testsupport;

using namespace std::string_literals;

namespace {

using Errors = std::vector<std::pair<std::string, std::string>>;
using Events = std::vector<std::string>;

const std::string kInvalidRecord = "Invalid record was found on the Register setting file.";

class RegisterScriptTest : public LiveAccessTest {
protected:
    void SetUp() override {
        // Writes and the rest of the run go into one journal, so their order shows.
        m_entries = m_link.entries;
        m_entries.writeData = [this](int32_t channel, int32_t reg, const uint8_t* data,
                                     int32_t count) {
            m_events.push_back("write " + std::to_string(channel) + ":0x" + hexText(reg, 2) +
                               "=0x" + hexText(data[0], 2));
            return m_link.entries.writeData(channel, reg, data, count);
        };
        goLive(&m_entries);
    }

    std::string script(const std::string& bytes, const std::string& name = "script.csv") {
        const std::string path = m_dir.file(name);
        writeBytes(path, bytes);
        return path;
    }

    // The writes and pauses alone.
    Events traffic() const {
        Events out;
        for (const std::string& event : m_events) {
            if (event.starts_with("write") || event.starts_with("sleep")) {
                out.push_back(event);
            }
        }
        return out;
    }

    LinkEntries m_entries;
    Events m_events;
    JournalSleeper m_sleeper{m_events};
    JournalScriptView m_view{m_events, m_access, m_dialogs.errors};
    RegisterScript m_script{m_access, m_dialogs, m_sleeper, m_view};
};

TEST_F(RegisterScriptTest, EachScriptWritesWaitsOrStopsAsItSays) {
    struct Case {
        std::string bytes;
        Events traffic;
        std::string error; // empty: none
    };
    const Case cases[] = {
        {"0x10,0xC0\r\nsleep,100\r\n0x11,0x05\r\n",
         {"write 0:0x10=0xC0", "sleep 100", "write 0:0x11=0x05"},
         ""},
        {"SLEEP, 0x64", {"sleep 100"}, ""},
        {"Sleep 250", {"sleep 250"}, ""},
        {"17 5", {"write 0:0x11=0x05"}, ""},
        {"0x11,\t0x05", {"write 0:0x11=0x05"}, ""},
        {"\"0x11\",\"0x05\"", {"write 0:0x11=0x05"}, ""},
        {"0x11,0x05,DAC format", {"write 0:0x11=0x05"}, ""},
        {"0x11, 0x05 ", {"write 0:0x11=0x05"}, ""},
        {"Register,Value\r\n0x11,0x05\r\n", {}, kInvalidRecord},
        {"0x11", {}, kInvalidRecord},
        {"0x11,", {}, kInvalidRecord},
        {"0x11,0x05h", {}, kInvalidRecord},
        {"sleep", {}, "Invalid sleep time."},
        {"sleep,abc", {}, "Invalid sleep time."},
        {"sleep,100ms", {}, "Invalid sleep time."},
        {"sleep,-5\r\n0x11,0x05", {}, "Invalid sleep time."},
        {"sleep100", {}, kInvalidRecord},
        {"0x11,0x05\r\n0x12,0x100\r\n0x13,0x01\r\n",
         {"write 0:0x11=0x05"},
         "Invalid register data!"},
        {"0x11,-1", {}, "Invalid register data!"},
        // A spreadsheet's "CSV UTF-8" byte-order mark is no part of line 1; elsewhere it is.
        {"\xEF\xBB\xBF"
         "0x10,0xC0\r\n0x11,0x05\r\n",
         {"write 0:0x10=0xC0", "write 0:0x11=0x05"},
         ""},
        {"0x10,0xC0\r\n\xEF\xBB\xBF"
         "0x11,0x05\r\n",
         {"write 0:0x10=0xC0"},
         kInvalidRecord},
        // Every kind of line break; blank lines ask for nothing.
        {"0x11,1\n0x12,2\r0x13,3\r\n\r\n \t \n0x14,4",
         {"write 0:0x11=0x01", "write 0:0x12=0x02", "write 0:0x13=0x03", "write 0:0x14=0x04"},
         ""},
        // A NUL is a bad byte like any other: the run stops there.
        {"0x11,0x01\r\n\0\r\n0x12,0x02\r\n0x13,0x03"s, {"write 0:0x11=0x01"}, kInvalidRecord},
        // The address goes out as written, without DeviceBits; one its byte cannot carry stops.
        {"0x30,0xC0\r\n-1,0x01", {"write 0:0x30=0xC0"}, kInvalidRecord},
        {"0x110, 0x05\r\n0x11,0x05", {}, kInvalidRecord},
        {"-240, 0x05", {}, kInvalidRecord},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        m_events.clear();
        m_dialogs.errors.clear();
        m_access.setHistoryEnabled(true);
        EXPECT_TRUE(m_script.RunRegisterScript(script(c.bytes), false));
        EXPECT_EQ(traffic(), c.traffic);
        const Errors expected = c.error.empty() ? Errors{} : Errors{{"Script file error", c.error}};
        EXPECT_EQ(m_dialogs.errors, expected);
        // The end steps close every run, however it ended.
        ASSERT_GE(m_events.size(), 2u);
        EXPECT_EQ(m_events[m_events.size() - 2], "refresh history off after " +
                                                     std::to_string(m_dialogs.errors.size()) +
                                                     " errors");
        EXPECT_EQ(m_events.back(), "hide");
        EXPECT_TRUE(m_access.historyEnabled());
    }
    EXPECT_TRUE(m_history.lines.empty());
    EXPECT_TRUE(m_dialogs.messages.empty());
}

TEST_F(RegisterScriptTest, MenuRunAsksForTheFileAndShowsProgress) {
    m_dialogs.fileNames = {script("0x10,0xC0\r\nsleep,100\r\n0x11,0x05\r\n")};
    m_script.chooseAndRunScript();

    ASSERT_EQ(m_dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(m_dialogs.fileDialogs[0].first, "open");
    EXPECT_EQ(m_dialogs.fileDialogs[0].second.filter, "CSV|*.csv|All Files|*.*");
    EXPECT_EQ(m_dialogs.fileDialogs[0].second.defaultExtension, "csv");
    EXPECT_EQ(m_dialogs.fileDialogs[0].second.fileName, "");
    EXPECT_EQ(m_events, (Events{"progress 0", "show", "progress 0", "write 0:0x10=0xC0",
                                "progress 33", "sleep 100", "progress 66", "write 0:0x11=0x05",
                                "refresh history off after 0 errors", "hide"}));
    EXPECT_EQ(m_access.shadowRegister(0x11), 0x05);
    EXPECT_TRUE(m_dialogs.errors.empty());
}

TEST_F(RegisterScriptTest, CancelledOpenDoesNothing) {
    m_access.setHistoryEnabled(false);
    m_script.chooseAndRunScript();
    EXPECT_EQ(m_dialogs.fileDialogs.size(), 1u);
    EXPECT_TRUE(m_events.empty());
    EXPECT_TRUE(m_link.calls.empty());
    EXPECT_FALSE(m_access.historyEnabled());
}

TEST_F(RegisterScriptTest, MissingFileIsReportedAndChangesNothing) {
    m_access.setHistoryEnabled(false);
    m_dialogs.fileNames = {m_dir.file("absent.csv")};
    m_script.chooseAndRunScript();
    EXPECT_FALSE(m_script.RunRegisterScript(m_dir.file("absent.csv"), true));
    EXPECT_EQ(m_dialogs.errors, (Errors{{"Script file error", "File not exist."},
                                        {"Script file error", "File not exist."}}));
    EXPECT_TRUE(m_events.empty());
    EXPECT_FALSE(m_access.historyEnabled());
}

TEST_F(RegisterScriptTest, ProgressIsTheShareOfLinesBeforeTheCurrentOne) {
    EXPECT_TRUE(
        m_script.RunRegisterScript(script("0x11,1\r\n0x11,2\r\n0x11,3\r\n0x11,4\r\n"), false));
    Events progress;
    for (const std::string& event : m_events) {
        if (event.starts_with("progress") || event == "show") {
            progress.push_back(event);
        }
    }
    EXPECT_EQ(progress,
              (Events{"progress 0", "progress 0", "progress 25", "progress 50", "progress 75"}));
}

TEST_F(RegisterScriptTest, EmptyFileStillShowsRefreshesAndHides) {
    m_access.setHistoryEnabled(false);
    EXPECT_TRUE(m_script.RunRegisterScript(script(""), true));
    EXPECT_EQ(m_events,
              (Events{"progress 0", "show", "refresh history off after 0 errors", "hide"}));
    EXPECT_TRUE(m_access.historyEnabled());
}

TEST_F(RegisterScriptTest, BadLineIsReportedBeforeTheRefreshAndNothingAfterItRuns) {
    m_dialogs.fileNames = {script("0x11,0x05\r\n0x12,0x100\r\n0x13,0x01\r\n")};
    m_script.chooseAndRunScript();
    EXPECT_EQ(m_events, (Events{"progress 0", "show", "progress 0", "write 0:0x11=0x05",
                                "progress 33", "refresh history off after 1 errors", "hide"}));
    EXPECT_EQ(m_dialogs.errors, (Errors{{"Script file error", "Invalid register data!"}}));
    EXPECT_EQ(m_access.shadowRegister(0x11), 0x05);
    EXPECT_EQ(m_access.shadowRegister(0x13), 0x00);
}

TEST_F(RegisterScriptTest, ScriptAndRefreshWritesReachTheBoardButNotTheHistory) {
    m_view.echoWrite = true;
    EXPECT_TRUE(m_script.RunRegisterScript(script("0x16,0x80\r\n"), false));
    EXPECT_EQ(traffic(), (Events{"write 0:0x16=0x80", "write 0:0x14=0x01"}));
    EXPECT_TRUE(m_history.lines.empty());
    // The flag is back: the next write of the panel is logged.
    m_access.WriteRegister(0x17, 0x02);
    EXPECT_EQ(m_history.lines, (std::vector<std::string>{"0x17, 0x02"}));
}

TEST_F(RegisterScriptTest, HistoryFlagIsSetAfterEveryRunThatFoundItsFile) {
    for (const char* bytes : {"0x11,0x05", "bad", ""}) {
        m_access.setHistoryEnabled(false);
        EXPECT_TRUE(m_script.RunRegisterScript(script(bytes), false));
        EXPECT_TRUE(m_access.historyEnabled()) << bytes;
    }
}

TEST_F(RegisterScriptTest, UnreadableFileIsReportedAndTheRunEnds) {
    // A folder under the script's name: it exists but cannot be read, also for root.
    const std::string folder = m_dir.file("folder.csv");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    m_access.setHistoryEnabled(false);
    m_dialogs.fileNames = {folder};
    m_script.chooseAndRunScript();
    EXPECT_EQ(m_dialogs.errors, (Errors{{"Script file error",
                                         "Cannot read file \"" + folder + "\". Is a directory."}}));
    EXPECT_EQ(m_events, (Events{"refresh history off after 1 errors", "hide"}));
    EXPECT_TRUE(m_access.historyEnabled());
    EXPECT_TRUE(m_link.calls.empty());
}

TEST_F(RegisterScriptTest, NoLinkStillPausesAndReportsButWritesNothing) {
    m_access.setLinkPort(0);
    EXPECT_TRUE(
        m_script.RunRegisterScript(script("0x11,0x05\r\nsleep,10\r\n0x12\r\n0x13,1"), false));
    EXPECT_EQ(traffic(), (Events{"sleep 10"}));
    EXPECT_EQ(m_dialogs.errors, (Errors{{"Script file error", kInvalidRecord}}));
    EXPECT_TRUE(m_link.calls.empty());
}

TEST_F(RegisterScriptTest, FailedWritesAreReportedOnceAndTheRunGoesOn) {
    m_link.writeResult = 3;
    EXPECT_TRUE(m_script.RunRegisterScript(script("0x11,1\r\n0x12,2\r\n"), false));
    EXPECT_EQ(traffic(), (Events{"write 0:0x11=0x01", "write 0:0x12=0x02"}));
    EXPECT_EQ(m_dialogs.messages, (std::vector<std::string>{"Communication error: WRERR0003"}));
    EXPECT_EQ(m_access.shadowRegister(0x12), 0x02);

    // A run does not clear the latch: with it set, nothing more is shown.
    EXPECT_TRUE(m_script.RunRegisterScript(script("0x13,3\r\n"), false));
    EXPECT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_TRUE(m_access.errorLatch());
}

TEST_F(RegisterScriptTest, EachRunEndsWithItsOutcome) {
    using End = ScriptOutcome::End;
    using Step = LinkFailure::Step;
    struct Case {
        const char* name;
        std::string bytes;
        int writeResult; // for every write
        bool stop;       // stop on a link failure
        End end;
        int line;            // where the run stopped
        int failureLine;     // the first failed write's line; 0: none failed
        std::uint32_t first; // the first and the last failed write's register
        std::uint32_t last;
    };
    const Case cases[] = {
        {"done", "0x11,1\r\nsleep,5\r\n0x12,2", 0, true, End::Done, 0, 0, 0, 0},
        {"bad line", "0x11,1\r\nbogus\r\n0x12,2", 0, true, End::BadLine, 2, 0, 0, 0},
        {"stopped at a failed write", "sleep,1\r\n0x11,1\r\n0x12,2", 4, true, End::LinkFailure, 2,
         2, 0x11, 0x11},
        {"past failed writes", "0x11,1\r\n0x12,2\r\n0x13,3", 4, false, End::Done, 0, 1, 0x11, 0x13},
        {"a failed write, then a bad line", "0x11,1\r\nbogus", 2, false, End::BadLine, 2, 1, 0x11,
         0x11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_link.writeResult = c.writeResult;
        const ScriptOutcome outcome = m_script.runText(
            c.bytes, {.showProgress = false, .showMessages = false, .stopOnLinkFailure = c.stop});
        EXPECT_EQ(outcome.end, c.end);
        EXPECT_EQ(outcome.line, c.line);
        EXPECT_EQ(outcome.message, c.end == End::BadLine ? kInvalidRecord : "");
        EXPECT_EQ(outcome.failureLine, c.failureLine);
        ASSERT_EQ(outcome.firstFailure.has_value(), c.failureLine > 0);
        ASSERT_EQ(outcome.lastFailure.has_value(), c.failureLine > 0);
        if (c.failureLine > 0) {
            EXPECT_EQ(*outcome.firstFailure,
                      (LinkFailure{Step::CodecWrite, c.writeResult, c.first}));
            EXPECT_EQ(*outcome.lastFailure, (LinkFailure{Step::CodecWrite, c.writeResult, c.last}));
        }
    }
    // A run that only gives its outcome shows nothing.
    EXPECT_TRUE(m_dialogs.errors.empty());
    EXPECT_TRUE(m_dialogs.messages.empty());
}

TEST_F(RegisterScriptTest, DeviceBitsAreNotAddedToScriptAddresses) {
    SettingsFile settings(m_dir.file("Larkspur.ini"));
    m_access.addressChanged(1, kInterfaceSpi, settings);
    ASSERT_EQ(m_access.DeviceBits(), 0x20);
    EXPECT_TRUE(m_script.RunRegisterScript(script("0x10,0xC0\r\n0x30,0xC1\r\n"), false));
    EXPECT_EQ(traffic(), (Events{"write 0:0x10=0xC0", "write 0:0x30=0xC1"}));
}

class StartupScriptTest : public RegisterScriptTest {
protected:
    void SetUp() override {
        RegisterScriptTest::SetUp();
        char cwd[PATH_MAX];
        ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
        m_cwd = cwd;
        ASSERT_EQ(::chdir(m_dir.path().c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(::chdir(m_cwd.c_str()), 0); }
    std::string m_cwd;
};

TEST_F(StartupScriptTest, AbsentScriptIsSkippedSilently) {
    m_access.setHistoryEnabled(false);
    m_script.runStartupScript();
    EXPECT_TRUE(m_events.empty());
    EXPECT_TRUE(m_dialogs.errors.empty());
    EXPECT_TRUE(m_dialogs.messages.empty());
    EXPECT_FALSE(m_access.historyEnabled());
}

TEST_F(StartupScriptTest, PresentScriptRunsFromTheCurrentFolderWithoutTheWindow) {
    writeBytes("startup.csv", "0x11,0x05\r\nsleep,20\r\n");
    m_access.setHistoryEnabled(false);
    m_script.runStartupScript();
    EXPECT_EQ(m_events, (Events{"progress 0", "progress 0", "write 0:0x11=0x05", "progress 50",
                                "sleep 20", "refresh history off after 0 errors", "hide"}));
    EXPECT_TRUE(m_access.historyEnabled());
    EXPECT_TRUE(m_history.lines.empty());
}

} // namespace

namespace {

// A source that never ends: the same byte for ever.
class EndlessBuffer final : public std::streambuf {
public:
    explicit EndlessBuffer(char fill) { m_chunk.fill(fill); }

protected:
    int_type underflow() override {
        setg(m_chunk.data(), m_chunk.data(), m_chunk.data() + m_chunk.size());
        return traits_type::to_int_type(m_chunk[0]);
    }

private:
    std::array<char, 4096> m_chunk{};
};

} // namespace

// Sources that never end give a finite text: one of NULs stops at its first line, one without
// a NUL is refused once it outgrows any script, and nothing after a NUL is read.
TEST(ScriptBytesTest, ReadingIsBoundedAndStopsAtTheFirstNul) {
    std::string bytes;
    EXPECT_EQ(readFileBytes("/dev/zero", bytes), std::nullopt);
    EXPECT_EQ(bytes, std::string(1, '\0'));

    EndlessBuffer letters('a');
    std::istream endless(&letters);
    EXPECT_EQ(readStreamBytes(endless, bytes), std::optional<std::string>("File too large"));
    EXPECT_TRUE(bytes.empty());

    std::istringstream withNul(std::string("0x11,0x01\r\n\0never read", 23));
    EXPECT_EQ(readStreamBytes(withNul, bytes), std::nullopt);
    EXPECT_EQ(bytes, std::string("0x11,0x01\r\n\0", 12));

    std::istringstream plain("0x11,0x01\r\n");
    EXPECT_EQ(readStreamBytes(plain, bytes), std::nullopt);
    EXPECT_EQ(bytes, "0x11,0x01\r\n");
}
