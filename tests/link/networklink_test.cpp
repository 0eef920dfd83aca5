// The link over a network port against a board played by the test at the far end of a socket
// pair, in virtual time: a server that never acknowledges a purge, and a line that floods.
#include "link/boardlink.h"
#include "link/networkport.h"
#include "scriptedboard.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

using namespace sundial;

using testsupport::ScriptedBoard;
using testsupport::VirtualTime;

namespace {

// Port 1 is the scripted board's; the port last opened stays at hand for its input's size.
NetworkPort* g_port = nullptr;
std::unique_ptr<BoardPort> openScripted(int number) {
    if (number != 1 || ScriptedBoard::served() == nullptr) {
        return nullptr;
    }
    std::unique_ptr<NetworkPort> port = ScriptedBoard::served()->port();
    g_port = port.get();
    return port;
}

// The most registers whose reply frame's length byte can still count.
constexpr int kLongestRead = static_cast<int>(kMaxPayload) - kReadValueOffset;

constexpr std::array<Channel, kChannels> kTable = {
    {{1, 76}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {3, 0}}};

// A server that never acknowledges PURGE-DATA: each unanswered purge costs its limit once, the
// probe's answer is not lost, and the board is found by the first search.
TEST(NetworkLink, ABoardBehindAServerThatNeverAcknowledgesAPurgeIsFoundAtOnce) {
    ScriptedBoard board(ScriptedBoard::Server::TelnetIgnoringPurges);
    BoardLink link(&openScripted, &VirtualTime::clock, &VirtualTime::waitForInput);
    const long long start = VirtualTime::now();
    EXPECT_EQ(link.init(0, kTable.data()), 1);
    EXPECT_LT(VirtualTime::now() - start, kUnansweredPurgeLimit * kPurgeAckLimitMs + kReadTimeoutMs)
        << "a read wait went by in vain";
    EXPECT_EQ(board.requestsTaken(), 1 + kChannels) << "the probe and the set-ups";
    EXPECT_FALSE(link.outOfStep()) << "a set-up went unanswered";
    EXPECT_EQ(board.purgesAsked(), kUnansweredPurgeLimit);
    std::uint8_t value = 0;
    EXPECT_EQ(link.readData(0, 0x13, &value, 1), 0);
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(board.purgesAsked(), kUnansweredPurgeLimit) << "asked again";
    board.hangUp();
    link.close();
}

// A line that floods once the board is found: each call fails within the documented waits and
// the port's input stays bounded; once the flood ends the next call is in step again.
TEST(NetworkLink, AFloodFailsEachCallWithinItsWaitsAndTheLinkComesBackAfterIt) {
    for (const auto& [what, server] : {std::pair{"tcp", ScriptedBoard::Server::Raw},
                                       std::pair{"rfc2217", ScriptedBoard::Server::Telnet}}) {
        ScriptedBoard board(server);
        BoardLink link(&openScripted, &VirtualTime::clock, &VirtualTime::waitForInput);
        ASSERT_EQ(link.init(0, kTable.data()), 1) << what;
        board.flood(true);
        std::array<std::uint8_t, kMaxReadCount> values{};
        std::vector<int> codes;
        for (int call = 0; call < 4; ++call) {
            const long long start = VirtualTime::now();
            codes.push_back(call % 2 == 0 ? link.readData(0, 0, values.data(), kLongestRead)
                                          : link.writeData(0, 0x13, values.data(), 1));
            EXPECT_LE(VirtualTime::now() - start, kResyncLimitMs) << what << ", call " << call;
            EXPECT_LE(g_port->inputHeld(), kInputLimit) << what << ", call " << call;
        }
        // The acknowledgement is not 1F 00; then the probe meets more than a line in step sends.
        EXPECT_EQ(codes, (std::vector<int>{3, 2, 2, 2})) << what;
        board.flood(false);
        EXPECT_EQ(link.readData(0, 0x13, values.data(), 1), 0) << what;
        EXPECT_EQ(values[0], 0x42) << what;
        board.hangUp();
        link.close();
    }
}

} // namespace
