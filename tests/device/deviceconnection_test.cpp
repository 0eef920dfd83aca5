#include "device/deviceconnection.h"
#include "device/linklibrary.h"
#include "device/settingsfile.h"
#include "tests/support/evmprocess.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace larkspur;
using namespace testsupport;

namespace {

// The three views in one journal, so that their order shows.
struct RecordingView final : BusyNotice, ConnectionStatus, ConnectionControls {
    void clearHistory() override { events.push_back("clear history"); }
    void showBusy(const std::string& text) override { events.push_back("splash " + text); }
    void setBusyText(const std::string& text) override { events.push_back("splash text " + text); }
    void setBusyProgress(int minimum, int maximum, int position, bool visible) override {
        events.push_back("progress " + std::to_string(minimum) + "-" + std::to_string(maximum) +
                         " at " + std::to_string(position) + (visible ? " shown" : " hidden"));
    }
    void repaintBusy() override { events.push_back("paint"); }
    void hideBusy() override { events.push_back("hide splash"); }
    void catchUp() override { events.push_back("process events"); }
    void showStatus(const std::string& text) override { events.push_back("status " + text); }
    void showConnection(Connection state) override {
        events.push_back("image " + std::to_string(static_cast<int>(state)));
    }
    int selectedInterface() const override { return interface; }
    bool codecIsSlave() const override { return slave; }
    void refreshControls() override { events.push_back("refresh"); }
    void clearZeroFlags() override { events.push_back("lamps cleared"); }
    std::function<void()> startupScript() {
        return [this] { events.push_back("startup script"); };
    }

    std::vector<std::string> events;
    int interface = kInterfaceI2c;
    bool slave = true;
};

struct RecordingSleeper final : Sleeper {
    void sleepMs(int milliseconds) override { sleeps.push_back(milliseconds); }
    std::vector<int> sleeps;
};

class DeviceConnectionTest : public ::testing::Test {
protected:
    void prepare(int interfaceIndex) {
        m_view.interface = interfaceIndex;
        m_access.SetInterfaceType(interfaceIndex);
    }
    std::vector<std::string> callsOf(const std::string& entry) const {
        std::vector<std::string> out;
        for (const auto& call : m_link.calls) {
            if (call.entry == entry) {
                out.push_back(std::to_string(call.channel) + ":" + std::to_string(call.reg) + "=" +
                              std::to_string(call.value));
            }
        }
        return out;
    }

    RecordingDialogs m_dialogs;
    RecordingMap m_map;
    RecordingHistory m_history;
    FakeLink m_link;
    FakeLoader m_loader{&m_link.entries};
    RecordingView m_view;
    RecordingSleeper m_sleeper;
    RegisterAccess m_access{m_dialogs, m_map, m_history};
    DeviceConnection m_connection{m_access, m_loader, m_dialogs, m_sleeper,
                                  m_view,   m_view,   m_view,    m_view.startupScript()};
};

TEST_F(DeviceConnectionTest, LibraryProblemsStopStartUp) {
    struct Case {
        LinkLoader::Status status;
        const char* text;
        const char* searched; // the loader's report of where it looked
    };
    // Where the library was looked for goes under the box's details, its words unchanged.
    for (const Case c :
         {Case{LinkLoader::Status::CannotLoad, "Cannot load DLL", ""},
          Case{LinkLoader::Status::CannotLoad, "Cannot load DLL", "looked for as:\n/x/lib.so"},
          Case{LinkLoader::Status::Invalid, "Invalid DLL", ""}}) {
        RecordingDialogs dialogs;
        RecordingView view;
        FakeLoader loader(&m_link.entries, c.status);
        loader.searched = c.searched;
        RegisterAccess access(dialogs, m_map, m_history);
        DeviceConnection connection(access, loader, dialogs, m_sleeper, view, view, view,
                                    view.startupScript());
        connection.start();
        EXPECT_EQ(view.events,
                  (std::vector<std::string>{"clear history", "splash Loading...", "hide splash"}));
        EXPECT_EQ(dialogs.errors,
                  (std::vector<std::pair<std::string, std::string>>{{"DLL error", c.text}}));
        EXPECT_EQ(dialogs.details, *c.searched != '\0' ? std::vector<std::string>{c.searched}
                                                       : std::vector<std::string>{});
        EXPECT_FALSE(access.libraryLoaded());
        EXPECT_EQ(connection.versionText("0.0.0.0"), "0.0.0.0");
        EXPECT_EQ(access.linkPort(), 0);

        connection.reconnect(); // does nothing without a library
        connection.shutdown();
        EXPECT_EQ(view.events.size(), 3u);
        EXPECT_TRUE(m_link.calls.empty());
    }
}

TEST_F(DeviceConnectionTest, NoBoardLoadsTheDefaults) {
    prepare(kInterfaceI2c);
    m_link.initResult = 0;
    m_connection.start();
    EXPECT_EQ(m_view.events,
              (std::vector<std::string>{"clear history", "splash Loading...", "hide splash",
                                        "status No EVM was found", "image 0", "refresh"}));
    EXPECT_EQ(m_dialogs.errors,
              (std::vector<std::pair<std::string, std::string>>{{"Error", "No EVM was found"}}));
    EXPECT_EQ(callsOf("init"), std::vector<std::string>{"0:0=0"});
    EXPECT_EQ(m_access.shadowRegister(0x10), 0xC0);
    EXPECT_EQ(m_access.shadowRegister(0x18), 0xFF);
    EXPECT_TRUE(m_access.writeSuppressed());
    EXPECT_FALSE(m_access.historyEnabled());
    EXPECT_EQ(m_connection.versionText("0.0.0.0"), "1.5.0.0");

    m_connection.shutdown();
    EXPECT_EQ(callsOf("close").size(), 1u);
    EXPECT_EQ(m_loader.unloads, 1);
}

TEST_F(DeviceConnectionTest, StartUpOverI2cSetsUpTheBoardAndReadsTheCodec) {
    prepare(kInterfaceI2c);
    m_link.initResult = 3;
    for (int i = 0; i < 10; ++i) {
        m_link.values[0x10 + i] = static_cast<uint8_t>(0x11 * i + 1);
    }
    m_link.values[0x10] = 0x3F;
    m_link.values[0x15] = 0x03;
    m_connection.start();

    EXPECT_EQ(m_access.linkPort(), 3);
    EXPECT_EQ(callsOf("write"),
              (std::vector<std::string>{"7:0=0", "7:4=1", "7:11=85", "7:12=85", "7:13=85",
                                        "7:14=85", "7:15=85", "7:53=1", "7:55=1"}));
    std::vector<std::string> reads;
    for (int i = 0; i < 10; ++i) {
        reads.push_back("0:" + std::to_string(0x10 + i) + "=0");
    }
    EXPECT_EQ(callsOf("read"), reads);
    EXPECT_EQ(m_access.shadowRegister(0x10), 0xFF) << "read AND 0x3F, then bits 7 and 6 set";
    EXPECT_EQ(m_access.shadowRegister(0x15), 0x00) << "the flags never enter the shadow";
    EXPECT_EQ(m_access.shadowRegister(0x19), 0x11 * 9 + 1);
    EXPECT_FALSE(m_access.writeSuppressed());
    EXPECT_TRUE(m_access.historyEnabled());
    EXPECT_TRUE(m_history.lines.empty()) << "board writes and reads leave no history";

    const std::vector<std::string> expected = {
        "clear history", "splash Loading...",           "status Ready",
        "image 1",       "splash text Initializing...", "progress 0-9 at 0 hidden",
        "paint",         "progress 0-9 at 0 shown"};
    ASSERT_GE(m_view.events.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(m_view.events.begin(),
                                       m_view.events.begin() + static_cast<long>(expected.size())),
              expected);
    const std::vector<std::string> tail = {"progress 0-9 at 9 shown", "paint", "startup script",
                                           "refresh", "hide splash"};
    EXPECT_EQ(std::vector<std::string>(m_view.events.end() - static_cast<long>(tail.size()),
                                       m_view.events.end()),
              tail);
}

TEST_F(DeviceConnectionTest, StartUpOverSpiReadsNothingAndTellsTheBoardItsMode) {
    prepare(kInterfaceSpi);
    m_view.slave = false;
    m_link.initResult = 1;
    m_connection.start();
    EXPECT_TRUE(callsOf("read").empty());
    EXPECT_EQ(callsOf("write").back(), "7:55=0");
    EXPECT_EQ(m_access.shadowRegister(0x10), 0xC0);
    EXPECT_EQ(m_access.shadowRegister(0x11), 0x00);
    EXPECT_EQ(m_access.shadowRegister(0x19), 0xFF);
    EXPECT_EQ(m_link.calls.front().codec.type, 3);
}

TEST_F(DeviceConnectionTest, ReconnectResetsTheCodecAndSearchesAgain) {
    prepare(kInterfaceI2c);
    m_link.initResult = 2;
    m_connection.start();
    m_access.setShadowRegister(0x13, 0x03);
    m_access.setErrorLatch(true);
    m_link.calls.clear();
    m_view.events.clear();
    m_link.writeResult = 5; // the codec reset write fails: not shown
    m_link.initResult = 4;

    m_connection.reconnect();

    EXPECT_EQ(m_sleeper.sleeps, std::vector<int>{1000});
    ASSERT_GE(m_link.calls.size(), 3u);
    EXPECT_EQ(m_link.calls[0].entry, "close");
    EXPECT_EQ(m_link.calls[1].entry, "init");
    EXPECT_EQ(m_link.calls[1].value, 0) << "a full search, not the previous port";
    EXPECT_EQ(m_link.calls[2].entry, "write");
    EXPECT_EQ(m_link.calls[2].channel, 0);
    EXPECT_EQ(m_link.calls[2].reg, 0x10);
    EXPECT_EQ(m_link.calls[2].value, 0x40);
    EXPECT_EQ(m_access.linkPort(), 4);
    // The board's SPERR messages are shown, the codec's reset failure is not.
    for (const std::string& message : m_dialogs.messages) {
        EXPECT_EQ(message.rfind("Communication error: SPERR", 0), 0u) << message;
    }
    EXPECT_EQ(m_dialogs.messages.size(), 9u);
    EXPECT_EQ(m_access.shadowRegister(0x13), 0x00);
    EXPECT_FALSE(m_access.errorLatch());
    EXPECT_FALSE(m_access.writeSuppressed());
    EXPECT_TRUE(m_access.historyEnabled());
    EXPECT_TRUE(m_history.lines.empty());
    EXPECT_EQ(m_view.events.front(), "splash Reset in progress ...");
    const std::vector<std::string> tail = {"refresh", "lamps cleared", "hide splash"};
    EXPECT_EQ(std::vector<std::string>(m_view.events.end() - 3, m_view.events.end()), tail);
}

TEST_F(DeviceConnectionTest, FailedReconnectLeavesNoLink) {
    prepare(kInterfaceI2c);
    m_link.initResult = 2;
    m_connection.start();
    m_link.initResult = 0;
    m_connection.reconnect();
    EXPECT_EQ(m_access.linkPort(), 0);
    EXPECT_EQ(m_dialogs.errors.back(),
              (std::pair<std::string, std::string>{"Error", "No EVM was foud"}));
    EXPECT_EQ(m_view.events.back(), "image 0");
    EXPECT_TRUE(m_access.writeSuppressed());
    EXPECT_FALSE(m_access.historyEnabled());
}

struct ResetCase {
    const char* name;
    int deviceAddress; // SPI device
    bool master;
    int written; // to register 0x10 + DeviceBits, from a shadow of 0xC5
};

class CodecResets : public DeviceConnectionTest, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(CodecResets, WriteTheCommandBitClearFromTheShadow) {
    const ResetCase& c = GetParam();
    SettingsFile settings(::testing::TempDir() + "resets.ini");
    prepare(kInterfaceSpi);
    m_access.setLink(&m_link.entries);
    m_access.setLinkPort(1);
    m_access.setWriteSuppressed(false);
    m_access.addressChanged(c.deviceAddress, kInterfaceSpi, settings);
    m_access.setShadowRegister(0x10, 0xC5);
    m_access.setShadowRegister(0x13, 0x03);
    m_access.setHistoryEnabled(true);
    m_access.setErrorLatch(true);

    if (c.master) {
        m_connection.masterReset();
    } else {
        m_connection.syncReset();
    }

    EXPECT_EQ(callsOf("write"),
              std::vector<std::string>{"0:" + std::to_string(0x10 + 32 * c.deviceAddress) + "=" +
                                       std::to_string(c.written)});
    if (c.master) {
        // The codec went back to its defaults, and so do the shadow and the panel.
        EXPECT_EQ(m_access.shadowRegister(0x13), 0x00);
        EXPECT_FALSE(m_access.errorLatch());
        EXPECT_EQ(m_sleeper.sleeps, std::vector<int>{1000});
        EXPECT_EQ(m_view.events, (std::vector<std::string>{
                                     "splash Reset in progress ...", "progress 0-9 at 0 hidden",
                                     "paint", "refresh", "lamps cleared", "hide splash"}));
        EXPECT_EQ(m_history.lines,
                  std::vector<std::string>{historyLine(
                      static_cast<std::uint32_t>(0x10 + 32 * c.deviceAddress), c.written)});
    } else {
        EXPECT_EQ(m_access.shadowRegister(0x13), 0x03);
        EXPECT_TRUE(m_sleeper.sleeps.empty());
        EXPECT_TRUE(m_view.events.empty());
    }
    EXPECT_FALSE(m_access.writeSuppressed());
    EXPECT_TRUE(m_access.historyEnabled());
}

INSTANTIATE_TEST_SUITE_P(Codec, CodecResets,
                         ::testing::Values(ResetCase{"masterDevice0", 0, true, 0x45},
                                           ResetCase{"masterDevice1", 1, true, 0x45},
                                           ResetCase{"syncDevice0", 0, false, 0x85},
                                           ResetCase{"syncDevice3", 3, false, 0x85}),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(DeviceConnectionTest, NoBoardComesWithWhatStandsBehindThePorts) {
    prepare(kInterfaceI2c);
    int surveys = 0;
    m_connection.setPortSurvey([&surveys] {
        ++surveys;
        return std::string("1 /dev/ttyS0 silent: no board answered");
    });
    m_link.initResult = 0;
    m_connection.start();
    ASSERT_EQ(m_dialogs.errors.size(), 1u);
    EXPECT_EQ(m_dialogs.errors[0],
              (std::pair<std::string, std::string>{"Error", "No EVM was found"}));
    EXPECT_EQ(m_dialogs.details,
              std::vector<std::string>{"1 /dev/ttyS0 silent: no board answered"});

    m_connection.reconnect();
    EXPECT_EQ(m_dialogs.errors.back(),
              (std::pair<std::string, std::string>{"Error", "No EVM was foud"}));
    EXPECT_EQ(m_dialogs.details.size(), 2u);
    EXPECT_EQ(surveys, 2) << "looked at when it is shown, not before";

    m_link.initResult = 3;
    m_connection.reconnect();
    EXPECT_EQ(surveys, 2) << "nothing to survey when the board is found";
}

// Each sequence gives how it ended as a value: the end, the details shown with it, and the
// failures of its own transactions, told as the window showed them.
TEST_F(DeviceConnectionTest, EachSequenceGivesItsOutcome) {
    using End = ConnectOutcome::End;
    using Step = LinkFailure::Step;
    enum class Sequence { Start, Reconnect, StartThenReconnect, MasterReset, SyncReset };
    struct Case {
        const char* name;
        Sequence sequence;
        LinkLoader::Status load = LinkLoader::Status::Loaded;
        const char* searched = "";
        bool survey = false;
        int initResult = 3; // at the sequence under test
        int writeResult = 0;
        int readResult = 0;
        bool latched = false; // the error latch set before a reset
        End end = End::Connected;
        std::optional<std::string> details = std::nullopt;
        std::optional<LinkFailure> first = std::nullopt;
        std::optional<LinkFailure> last = std::nullopt;
        std::vector<Step> told = {};
    };
    const std::vector<Step> nineBoardWrites(9, Step::BoardWrite);
    const Case cases[] = {
        {"connected", Sequence::Start},
        {"no library", Sequence::Start, LinkLoader::Status::CannotLoad, "", false, 3, 0, 0, false,
         End::CannotLoad},
        {"no library, where it was looked for", Sequence::Start, LinkLoader::Status::CannotLoad,
         "looked for as:\n/x/lib.so", false, 3, 0, 0, false, End::CannotLoad,
         "looked for as:\n/x/lib.so"},
        {"invalid library", Sequence::Start, LinkLoader::Status::Invalid, "", false, 3, 0, 0, false,
         End::InvalidLibrary},
        {"no board", Sequence::Start, LinkLoader::Status::Loaded, "", false, 0, 0, 0, false,
         End::NoBoard},
        {"no board, with the ports", Sequence::Start, LinkLoader::Status::Loaded, "", true, 0, 0, 0,
         false, End::NoBoard, "1 /dev/ttyS0 silent"},
        {"board writes fail", Sequence::Start, LinkLoader::Status::Loaded, "", false, 3, 2, 0,
         false, End::Connected, std::nullopt, LinkFailure{Step::BoardWrite, 2, 0},
         LinkFailure{Step::BoardWrite, 2, kBoardMasterSlaveRegister}, nineBoardWrites},
        {"codec reads fail, told once",
         Sequence::Start,
         LinkLoader::Status::Loaded,
         "",
         false,
         3,
         0,
         4,
         false,
         End::Connected,
         std::nullopt,
         LinkFailure{Step::CodecRead, 4, 0x10},
         LinkFailure{Step::CodecRead, 4, 0x19},
         {Step::CodecRead}},
        {"reconnect without a library", Sequence::Reconnect, LinkLoader::Status::Loaded, "", false,
         3, 0, 0, false, End::NotLoaded},
        {"reconnect: the codec's reset failure is not the outcome's", Sequence::StartThenReconnect,
         LinkLoader::Status::Loaded, "", false, 3, 5, 0, false, End::Connected, std::nullopt,
         LinkFailure{Step::BoardWrite, 5, 0},
         LinkFailure{Step::BoardWrite, 5, kBoardMasterSlaveRegister}, nineBoardWrites},
        {"reconnect finds no board", Sequence::StartThenReconnect, LinkLoader::Status::Loaded, "",
         true, 0, 0, 0, false, End::NoBoard, "1 /dev/ttyS0 silent"},
        {"master reset fails",
         Sequence::MasterReset,
         LinkLoader::Status::Loaded,
         "",
         false,
         3,
         1,
         0,
         false,
         End::Connected,
         std::nullopt,
         LinkFailure{Step::CodecWrite, 1, 0x10},
         LinkFailure{Step::CodecWrite, 1, 0x10},
         {Step::CodecWrite}},
        {"sync reset fails under the latch", Sequence::SyncReset, LinkLoader::Status::Loaded, "",
         false, 3, 1, 0, true, End::Connected, std::nullopt, LinkFailure{Step::CodecWrite, 1, 0x10},
         LinkFailure{Step::CodecWrite, 1, 0x10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLink link;
        FakeLoader loader(&link.entries, c.load);
        loader.searched = c.searched;
        RecordingDialogs dialogs;
        RecordingView view;
        RegisterAccess access(dialogs, m_map, m_history);
        DeviceConnection connection(access, loader, dialogs, m_sleeper, view, view, view, {});
        if (c.survey) {
            connection.setPortSurvey([] { return std::string("1 /dev/ttyS0 silent"); });
        }
        access.SetInterfaceType(kInterfaceI2c);
        link.initResult = c.sequence == Sequence::Start ? c.initResult : 3;
        if (c.sequence != Sequence::Start && c.sequence != Sequence::Reconnect) {
            ASSERT_EQ(connection.start().end, End::Connected);
        }
        link.initResult = c.initResult;
        link.writeResult = c.writeResult;
        link.readResult = c.readResult;
        access.setErrorLatch(c.latched);
        ConnectOutcome outcome;
        switch (c.sequence) {
        case Sequence::Start:
            outcome = connection.start();
            break;
        case Sequence::Reconnect:
        case Sequence::StartThenReconnect:
            outcome = connection.reconnect();
            break;
        case Sequence::MasterReset:
            outcome.failures = connection.masterReset();
            break;
        case Sequence::SyncReset:
            outcome.failures = connection.syncReset();
            break;
        }
        EXPECT_EQ(outcome.end, c.end);
        EXPECT_EQ(outcome.details, c.details);
        EXPECT_EQ(outcome.failures.first, c.first);
        EXPECT_EQ(outcome.failures.last, c.last);
        std::vector<Step> told;
        for (const LinkFailure& failure : outcome.failures.told) {
            told.push_back(failure.step);
        }
        EXPECT_EQ(told, c.told);
    }
}

TEST_F(DeviceConnectionTest, APortGivenToStartUpIsTheOneReconnectTries) {
    prepare(kInterfaceI2c);
    m_link.initResult = 0;
    m_connection.start(5);
    m_connection.reconnect();
    EXPECT_EQ(callsOf("init"), (std::vector<std::string>{"0:0=5", "0:0=5"}));
    m_connection.start();
    m_connection.reconnect();
    EXPECT_EQ(callsOf("init"), (std::vector<std::string>{"0:0=5", "0:0=5", "0:0=0", "0:0=0"}))
        << "a start-up without a port searches, and so does its Reconnect";
}

TEST(VersionDigits, FourNibbles) {
    EXPECT_EQ(versionDigits(0x1500), "1.5.0.0");
    EXPECT_EQ(versionDigits(0xFEDC), "15.14.13.12");
    EXPECT_EQ(versionDigits(0), "0.0.0.0");
}

TEST(DeviceConnectionOnBoard, StartUpTrafficIsExact) {
    EvmProcess evm;
    ::setenv("SUNDIAL_PORTS", evm.linkPath().c_str(), 1);
    RecordingDialogs dialogs;
    RecordingMap map;
    RecordingHistory history;
    RegisterAccess access(dialogs, map, history);
    LinkLibrary library;
    RecordingView view;
    RecordingSleeper sleeper;
    DeviceConnection connection(access, library, dialogs, sleeper, view, view, view,
                                view.startupScript());
    access.SetInterfaceType(kInterfaceI2c);
    ASSERT_EQ(evm.control("reg 0x16 0x8A"), "ok");

    connection.start();
    ASSERT_EQ(access.linkPort(), 1);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(access.shadowRegister(0x16), 0x8A);

    // 20 lines of connection, 9 board writes and 10 reads of 4 lines each.
    const auto traffic = evm.transcriptAfter(20 + 19 * 4);
    std::vector<std::string> requests;
    for (const std::string& line : traffic) {
        if (line.rfind("rx 1E", 0) == 0) {
            requests.push_back(line.substr(3));
        }
    }
    ASSERT_EQ(requests.size(), 1u + 8u + 9u + 10u);
    EXPECT_EQ(requests[9], "1E 06 07 03 00 00 00 00 00 2E");
    EXPECT_EQ(requests[17], "1E 06 07 03 37 37 00 01 00 9D");
    EXPECT_EQ(requests[18], "1E 06 10 01 4C 10 01 00 00 92");
    connection.shutdown();
    EXPECT_FALSE(library.isLoaded());
}

} // namespace
