// The board session on a recorded link: what it reports and where, and what it refuses before
// the link is touched. The command line's own tests cover the commands end to end.
#include "device/boardsession.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

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

    m_link.writeResult = 2; // the board stops answering: the rest is not sent
    const std::size_t before = m_link.calls.size();
    session.write(0x13, {0x01, 0x02});
    EXPECT_EQ(session.linkStatus(), SessionStatus::LinkFailure);
    EXPECT_EQ(m_link.calls.size(), before + 1);
    EXPECT_FALSE(m_lines.reports.empty()) << "the failure is reported in the program's words";
    session.close();
    EXPECT_EQ(m_link.calls.back().entry, "close");
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
