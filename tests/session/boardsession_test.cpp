// The board session on a recorded link: what it reports and where, and what it refuses before
// the link is touched. The command line's own tests cover the commands end to end.
#include "session/boardsession.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sys/stat.h>

using namespace larkspur;
using namespace testsupport;

namespace {

struct Lines final : SessionReporter {
    void report(const std::string& line) override { reports.push_back(line); }
    void warn(const std::string& line) override { warnings.push_back(line); }
    std::vector<std::string> reports;
    std::vector<std::string> warnings;
};

class BoardSessionTest : public ::testing::Test {
protected:
    BoardSession makeSession(LinkLoader::Status status = LinkLoader::Status::Loaded) {
        m_loader = std::make_unique<FakeLoader>(&m_link.entries, status);
        return BoardSession({*m_loader, m_sleep, PortSystem{}, "/nonexistent/Larkspur.ini"},
                            m_lines);
    }

    FakeLink m_link;
    std::unique_ptr<FakeLoader> m_loader;
    NoSleep m_sleep;
    Lines m_lines;
};

TEST_F(BoardSessionTest, ALibraryThatCannotBeLoadedIsReportedAsNoBoard) {
    for (const auto& [status, text] : {std::pair{LinkLoader::Status::CannotLoad, "Cannot load DLL"},
                                       std::pair{LinkLoader::Status::Invalid, "Invalid DLL"}}) {
        m_lines.reports.clear();
        BoardSession session = makeSession(status);
        EXPECT_EQ(session.open(0), SessionStatus::NoBoard);
        EXPECT_EQ(m_lines.reports, std::vector<std::string>{text});
        EXPECT_TRUE(m_link.calls.empty());
    }
    // Where the library was looked for follows, a line each, for the listing of ports too.
    m_lines.reports.clear();
    BoardSession session = makeSession(LinkLoader::Status::CannotLoad);
    m_loader->searched = "looked for as:\n/x/libSundial.so: not there";
    EXPECT_EQ(session.open(0), SessionStatus::NoBoard);
    const std::vector<std::string> reported = {"Cannot load DLL",
                                               "looked for as:", "/x/libSundial.so: not there"};
    EXPECT_EQ(m_lines.reports, reported);

    // A free serial port, which only the library can probe.
    PortSystem onePort;
    onePort.node = [](const std::string& path) -> std::optional<PortSystem::Node> {
        if (path != "/x/port") {
            return std::nullopt;
        }
        PortSystem::Node node;
        node.characterDevice = true;
        node.mode = S_IFCHR | 0666;
        return node;
    };
    onePort.mayOpen = [](const std::string&) { return true; };
    onePort.isSerial = [](const PortSystem::Node&) { return true; };
    onePort.holders = [](const std::string&, const PortSystem::Node&) {
        return std::vector<PortSystem::Holder>{};
    };
    ::setenv("SUNDIAL_PORTS", "/x/port", 1);
    m_lines.reports.clear();
    SessionStatus status = SessionStatus::Done;
    BoardSession lister({*m_loader, m_sleep, onePort, "/nonexistent/Larkspur.ini"}, m_lines);
    const std::vector<PortReport> ports = lister.ports(false, status);
    ::unsetenv("SUNDIAL_PORTS");
    EXPECT_EQ(ports.size(), 1u);
    EXPECT_EQ(status, SessionStatus::NoBoard);
    EXPECT_EQ(m_lines.reports, reported);
}

TEST_F(BoardSessionTest, ReadsWritesAndTheirHistoryOnAnOpenLink) {
    m_link.initResult = 3;
    m_link.values[0x11] = 0x42;
    BoardSession session = makeSession();
    session.selectDevice(kInterfaceI2c, 76);
    ASSERT_EQ(session.open(3), SessionStatus::Done);
    EXPECT_EQ(session.read(0x11, 1), (RegisterValues{{0x11, 0x42}}));
    session.write(0x12, {0x05, 0x06});
    EXPECT_EQ(session.writes().size(), 2u);
    EXPECT_EQ(session.linkStatus(), SessionStatus::Done);

    // Several registers go in one transaction each way.
    EXPECT_EQ(m_link.calls.back().reg, 0x12);
    EXPECT_EQ(m_link.calls.back().count, 2);
    EXPECT_EQ(m_link.written.back(), (std::vector<std::uint8_t>{0x05, 0x06}));
    EXPECT_EQ(session.read(0x12, 2), (RegisterValues{{0x12, 0x00}, {0x13, 0x00}}));
    EXPECT_EQ(m_link.calls.back().count, 2);

    // The board stops answering: the block fails, then the first register alone, which is the
    // one reported; the rest is not sent.
    m_link.writeResult = 2;
    const std::size_t before = m_link.calls.size();
    session.write(0x13, {0x01, 0x02});
    EXPECT_EQ(session.linkStatus(), SessionStatus::LinkFailure);
    ASSERT_EQ(m_link.calls.size(), before + 2);
    EXPECT_EQ(m_link.calls.back().count, 1);
    EXPECT_EQ(session.lastLinkFailure()->address, 0x13u);
    EXPECT_FALSE(m_lines.reports.empty()) << "the failure is reported in the program's words";
    session.close();
    EXPECT_EQ(m_link.calls.back().entry, "close");
}

// Each call's outcome is its own. After another call failed, each goes to the board, succeeds
// and tells nothing of the old failure; failing itself, it reports its own failure and names
// its own step, code and register, and stops there unless it was told to go on.
TEST_F(BoardSessionTest, EachCallHasItsOwnOutcome) {
    using Step = LinkFailure::Step;
    m_link.initResult = 3;
    BoardSession session = makeSession();
    session.selectDevice(kInterfaceI2c, 76);
    ASSERT_EQ(session.open(3), SessionStatus::Done);
    const BoundControl& attenuation = BoardSession::field("DAC L");
    const struct Case {
        const char* name;
        std::function<bool()> call; // true when it says it succeeded
        Step failingStep;           // the transaction made to fail, the call's first of its kind
        std::uint32_t failingRegister;
        bool goesOn = false; // past its failure
    } cases[] = {
        {"read", [&] { return session.read(0x11, 2).size() == 2; }, Step::CodecRead, 0x11},
        {"write",
         [&] {
             session.write(0x12, {0x01, 0x02});
             return true;
         },
         Step::CodecWrite, 0x12},
        {"snapshot", [&] { return session.snapshot().has_value(); }, Step::CodecRead, 0x10},
        {"a field", [&] { return session.getField(attenuation).has_value(); }, Step::CodecRead,
         0x18},
        {"setting a field",
         [&] {
             session.setField(attenuation, "-1");
             return true;
         },
         Step::CodecRead, 0x18},
        {"the flags", [&] { return session.flags().has_value(); }, Step::CodecRead, 0x15},
        {"a reset",
         [&] {
             session.reset("sync");
             return true;
         },
         Step::CodecRead, 0x10},
        {"a script",
         [&] { return session.runScriptText("s", "0x12, 0x05\n", false) == SessionStatus::Done; },
         Step::CodecWrite, 0x12},
        {"a script that goes on",
         [&] {
             return session.runScriptText("s", "0x12, 0x05\n0x13, 0x06\n", true) ==
                    SessionStatus::Done;
         },
         Step::CodecWrite, 0x12, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // An older failure, on another register and with another code.
        m_link.failReadNumber = m_link.readCalls;
        m_link.readResult = 4;
        EXPECT_TRUE(session.read(0x19, 1).empty());
        ASSERT_EQ(session.linkStatus(), SessionStatus::LinkFailure);

        m_lines.reports.clear();
        std::size_t before = m_link.calls.size();
        EXPECT_TRUE(c.call());
        EXPECT_EQ(session.linkStatus(), SessionStatus::Done);
        EXPECT_FALSE(session.lastLinkFailure().has_value());
        EXPECT_GT(m_link.calls.size(), before) << "it did not reach the board";
        EXPECT_TRUE(m_lines.reports.empty()) << m_lines.reports.front();

        // Every transaction that reaches the register fails, a block of several as well.
        m_link.failRegister = static_cast<int>(c.failingRegister);
        m_link.readResult = c.failingStep == Step::CodecRead ? 2 : 0;
        m_link.writeResult = c.failingStep == Step::CodecWrite ? 2 : 0;
        before = m_link.calls.size();
        c.call();
        EXPECT_EQ(session.linkStatus(), SessionStatus::LinkFailure);
        const auto failure = session.lastLinkFailure();
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->step, c.failingStep);
        EXPECT_EQ(failure->code, 2);
        EXPECT_EQ(failure->address, c.failingRegister);
        ASSERT_EQ(m_lines.reports.size(), 1u) << "its own failure is reported";
        EXPECT_NE(m_lines.reports[0].find("ERR0002"), std::string::npos) << m_lines.reports[0];
        if (!c.goesOn) {
            EXPECT_EQ(m_link.calls.back().reg, static_cast<int>(c.failingRegister))
                << "something went out after the failure";
        } else {
            EXPECT_EQ(m_link.calls.back().reg, 0x13) << "the run went on";
        }
        m_link.failRegister = -1;
        m_link.writeResult = 0;
    }
}

// Refusals come before any traffic, in the command line's words.
TEST_F(BoardSessionTest, RequestsThatCannotBeDoneAreRefusedBeforeTheLink) {
    BoardSession session = makeSession();
    const struct {
        const char* what;
        std::function<void()> call;
        const char* words;
    } cases[] = {
        {"an address IIC does not have", [&] { session.selectDevice(kInterfaceI2c, 80); },
         "--address 80 is not 76 to 79 over IIC"},
        {"no such field", [] { BoardSession::field("Loudness"); },
         "no field 'Loudness' (see larkspur-cli fields)"},
        {"a caption several fields share", [] { BoardSession::field("Mute"); },
         "'Mute' names several fields: "},
        {"a reset that is none", [] { BoardSession::checkReset("cold"); },
         "reset takes master or sync, not 'cold'"},
        {"a write without a value", [&] { session.write(0x10, {}); },
         "wrong number of arguments for write"},
        {"a field over SPI",
         [&] {
             session.selectDevice(kInterfaceSpi, 0);
             session.checkField(BoardSession::field("DAC L"), false);
         },
         "over SPI the codec is not read back"},
    };
    for (const auto& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.what << " was not refused";
        } catch (const ArgumentError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.words, 0), 0u) << c.what << ": " << e.what();
        }
    }
    EXPECT_TRUE(m_link.calls.empty());
}

} // namespace

namespace {

// Connecting tells what the window's boxes would say, each a line: the library's problems, and
// every failed write of the board's set-up (a board failure is shown each time).
TEST_F(BoardSessionTest, ConnectTellsHowTheSequenceEnded) {
    struct Case {
        const char* name;
        LinkLoader::Status load;
        int initResult;
        int writeResult;
        SessionStatus status;
        std::vector<std::string> reports;
    };
    const std::string boardFailure = "Communication error: SPERR0002";
    const Case cases[] = {
        {"connected", LinkLoader::Status::Loaded, 3, 0, SessionStatus::Done, {}},
        {"no library",
         LinkLoader::Status::CannotLoad,
         3,
         0,
         SessionStatus::NoBoard,
         {"Cannot load DLL", "looked for as:", "/x/libSundial.so"}},
        {"invalid library",
         LinkLoader::Status::Invalid,
         3,
         0,
         SessionStatus::NoBoard,
         {"Invalid DLL"}},
        {"board writes fail", LinkLoader::Status::Loaded, 3, 2, SessionStatus::LinkFailure,
         std::vector<std::string>(9, boardFailure)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_lines.reports.clear();
        m_link.initResult = c.initResult;
        m_link.writeResult = c.writeResult;
        BoardSession session = makeSession(c.load);
        m_loader->searched = "looked for as:\n/x/libSundial.so";
        session.selectDevice(kInterfaceSpi, 0);
        EXPECT_EQ(session.connect(0), c.status);
        EXPECT_EQ(m_lines.reports, c.reports);
        EXPECT_EQ(session.lastLinkFailure().has_value(), c.status == SessionStatus::LinkFailure);
        if (c.status == SessionStatus::LinkFailure) {
            EXPECT_EQ(*session.lastLinkFailure(),
                      (LinkFailure{LinkFailure::Step::BoardWrite, 2, 0x37}));
        }
    }
}

// The settings' problems are notes on the session's set-up, not reports of a call.
TEST_F(BoardSessionTest, SettingsProblemsAreWarnings) {
    const std::string path = ::testing::TempDir() + "session-corrupt.ini";
    std::ofstream(path) << "[SerialInterface]\r\nType=x\r\n";
    m_loader = std::make_unique<FakeLoader>(&m_link.entries);
    BoardSession session({*m_loader, m_sleep, PortSystem{}, path}, m_lines);
    session.selectDevice(std::nullopt, std::nullopt);
    EXPECT_EQ(m_lines.warnings, std::vector<std::string>{"Initial file was corrupted!!"});
    EXPECT_TRUE(m_lines.reports.empty());
    std::remove(path.c_str());
}

} // namespace
