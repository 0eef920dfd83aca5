// The client's side of telnet with the serial port control option, bytes in and bytes out: data
// escaping, the option negotiation, subnegotiations and the server's answers, purges, and what a
// hostile server may send. Every stream is also fed cut at every place.
#include "link/telnetcodec.h"
#include "tests/support/hexbytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace sundial;

using testsupport::bytesOf;
using testsupport::hexOf;

namespace {

struct Decoded {
    std::string data;
    std::string answers;
    std::string held;
};

// Feeds `wire` to a codec in pieces of `piece` bytes (0: all at once).
Decoded decodeInPieces(TelnetCodec& codec, const std::vector<std::uint8_t>& wire,
                       std::size_t piece) {
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> held;
    std::vector<std::uint8_t> answers;
    const std::size_t step = piece == 0 ? wire.size() : piece;
    for (std::size_t at = 0; at < wire.size(); at += step) {
        codec.decode(std::span(wire).subspan(at, std::min(step, wire.size() - at)), data, held,
                     answers);
    }
    return {hexOf(data), hexOf(answers), hexOf(held)};
}

// What a server sends (as ser2net does on connecting), and what the client must make of it,
// however the stream is cut.
TEST(TelnetCodec, EveryCutOfTheStreamGivesTheSameData) {
    const struct {
        const char* what;
        const char* wire;
        const char* data;
        const char* answers;
    } cases[] = {
        {"plain data", "1F 00 1E 03", "1F 00 1E 03", ""},
        {"doubled 0xFF is one data byte", "1E FF FF 01 FF FF", "1E FF 01 FF", ""},
        {"options the link does not use are declined", "FF FB 03 41 FF FD 03 FF FB 01 FF FE 01 42",
         "41 42", "FF FE 03 FF FC 03 FF FE 01"},
        {"binary and the port option are taken without a word", "FF FD 00 FF FB 00 FF FD 2C 07",
         "07", ""},
        {"a subnegotiation carries no data", "01 FF FA 2C 6B 00 FF F0 02", "01 02", ""},
        {"0xFF inside a subnegotiation", "FF FA 2C 65 FF FF 00 00 00 FF F0 09", "09", ""},
        {"no-operation and go-ahead", "FF F1 05 FF F9 06", "05 06", ""},
        {"a declined option is declined once", "FF FD 18 FF FD 18", "", "FF FC 18"},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> wire = bytesOf(c.wire);
        for (std::size_t piece = 0; piece <= 3; ++piece) {
            TelnetCodec codec;
            const Decoded decoded = decodeInPieces(codec, wire, piece);
            EXPECT_EQ(decoded.data, c.data) << c.what << ", pieces of " << piece;
            EXPECT_EQ(decoded.answers, c.answers) << c.what << ", pieces of " << piece;
        }
    }
}

// The negotiation is judged by what the server answers.
TEST(TelnetCodec, TheServersAnswersDecideTheNegotiation) {
    const char* const settings115200 = "FF FA 2C 65 00 01 C2 00 FF F0 FF FA 2C 66 08 FF F0 "
                                       "FF FA 2C 67 01 FF F0 FF FA 2C 68 01 FF F0";
    const struct {
        const char* what;
        std::string wire;
        bool accepted;
        bool refused;
        bool answered;
        bool asked;
    } cases[] = {
        {"all agreed", std::string("FF FD 00 FF FB 00 FF FD 2C ") + settings115200, true, false,
         true, true},
        {"binary one way only", "FF FD 00 FF FD 2C", false, false, false, false},
        {"binary refused", "FF FE 00 FF FB 00 FF FD 2C", false, true, false, false},
        {"port option refused", "FF FD 00 FF FB 00 FF FE 2C", false, true, false, false},
        {"another speed set",
         "FF FD 00 FF FB 00 FF FD 2C FF FA 2C 65 00 00 25 80 FF F0 "
         "FF FA 2C 66 08 FF F0 FF FA 2C 67 01 FF F0 FF FA 2C 68 01 FF F0",
         true, false, true, false},
        {"parity even",
         "FF FD 00 FF FB 00 FF FD 2C FF FA 2C 65 00 01 C2 00 FF F0 "
         "FF FA 2C 66 08 FF F0 FF FA 2C 67 03 FF F0 FF FA 2C 68 01 FF F0",
         true, false, true, false},
        {"stop size unanswered",
         "FF FD 00 FF FB 00 FF FD 2C FF FA 2C 65 00 01 C2 00 FF F0 "
         "FF FA 2C 66 08 FF F0 FF FA 2C 67 01 FF F0",
         true, false, false, false},
    };
    for (const auto& c : cases) {
        TelnetCodec codec;
        decodeInPieces(codec, bytesOf(c.wire), 1);
        EXPECT_EQ(codec.binaryAccepted() && codec.comPortAccepted(), c.accepted) << c.what;
        EXPECT_EQ(codec.refused(), c.refused) << c.what;
        EXPECT_EQ(codec.settingsAnswered(), c.answered) << c.what;
        EXPECT_EQ(codec.settingsAsked(), c.asked) << c.what;
    }
}

// Everything before the purge's acknowledgement was read from the board before the purge.
TEST(TelnetCodec, DataBeforeAPurgeAcknowledgementIsDropped) {
    TelnetCodec codec;
    codec.purgeSent();
    codec.purgeSent();
    const Decoded decoded = decodeInPieces(
        codec, bytesOf("01 FF FF FF FA 2C 70 01 FF F0 02 FF FA 2C 70 01 FF F0 03"), 2);
    EXPECT_EQ(decoded.data, "03");
    EXPECT_EQ(decoded.held, "");
    EXPECT_EQ(codec.purgesPending(), 0);
    EXPECT_EQ(codec.purgesAcknowledged(), 2);
}

// Data while a purge is unacknowledged is held, not lost: given up on, the purge no longer
// holds anything back, and what it held is the caller's to read.
TEST(TelnetCodec, DataWhileAPurgeIsUnacknowledgedIsHeldUntilItIsGivenUp) {
    TelnetCodec codec;
    codec.purgeSent();
    Decoded decoded = decodeInPieces(codec, bytesOf("1F 00 FF FF"), 1);
    EXPECT_EQ(decoded.data, "");
    EXPECT_EQ(decoded.held, "1F 00 FF");
    codec.forgetPurges();
    decoded = decodeInPieces(codec, bytesOf("1E FF FA 2C 70 01 FF F0 03"), 1);
    EXPECT_EQ(decoded.data, "1E 03") << "a late acknowledgement drops nothing more";
    EXPECT_EQ(decoded.held, "");
}
// Whole, in pieces of 1 to 3 bytes, and cut in two at every place: one outcome. `purges` purges
// are pending at the start.
Decoded decodeEveryWay(const std::vector<std::uint8_t>& wire, int purges = 0) {
    const auto fresh = [purges] {
        TelnetCodec codec;
        for (int i = 0; i < purges; ++i) {
            codec.purgeSent();
        }
        return codec;
    };
    TelnetCodec whole = fresh();
    const Decoded expected = decodeInPieces(whole, wire, 0);
    for (std::size_t piece = 1; piece <= 3; ++piece) {
        TelnetCodec codec = fresh();
        const Decoded decoded = decodeInPieces(codec, wire, piece);
        EXPECT_EQ(decoded.data, expected.data) << "pieces of " << piece;
        EXPECT_EQ(decoded.held, expected.held) << "pieces of " << piece;
        EXPECT_EQ(decoded.answers, expected.answers) << "pieces of " << piece;
    }
    for (std::size_t cut = 1; cut < wire.size(); ++cut) {
        TelnetCodec codec = fresh();
        std::vector<std::uint8_t> data;
        std::vector<std::uint8_t> held;
        std::vector<std::uint8_t> answers;
        codec.decode(std::span(wire).first(cut), data, held, answers);
        codec.decode(std::span(wire).subspan(cut), data, held, answers);
        EXPECT_EQ(hexOf(data), expected.data) << "cut at " << cut;
        EXPECT_EQ(hexOf(held), expected.held) << "cut at " << cut;
        EXPECT_EQ(hexOf(answers), expected.answers) << "cut at " << cut;
    }
    return expected;
}

std::string repeated(const std::string& hex, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += hex + " ";
    }
    return text;
}

// What the link sends: the greeting, the line settings and the purge, byte for byte, and data
// with 0xFF doubled wherever it stands.
TEST(TelnetCodecOut, TheLinksBytesOnTheWire) {
    EXPECT_EQ(hexOf(TelnetCodec::greeting()), "FF FB 00 FF FD 00 FF FB 2C");
    EXPECT_EQ(hexOf(TelnetCodec::lineSettings()),
              "FF FA 2C 01 00 01 C2 00 FF F0 FF FA 2C 02 08 FF F0 FF FA 2C 03 01 FF F0 "
              "FF FA 2C 04 01 FF F0 FF FA 2C 05 08 FF F0");
    EXPECT_EQ(hexOf(TelnetCodec::purgeRequest()), "FF FA 2C 0C 01 FF F0");
    const struct {
        const char* data;
        const char* wire;
    } cases[] = {
        {"", ""},
        {"00 F0 FA FE", "00 F0 FA FE"},
        {"FF", "FF FF"},
        {"FF FF", "FF FF FF FF"},
        {"1E FF", "1E FF FF"},
        {"FF 1E", "FF FF 1E"},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> wire = bytesOf("AA");
        TelnetCodec::encodeData(bytesOf(c.data), wire);
        EXPECT_EQ(hexOf(wire), std::string("AA") + (*c.wire ? " " : "") + c.wire)
            << c.data << ": appended to what the wire holds";
    }
}

// Every byte value goes out and comes back as itself.
TEST(TelnetCodecOut, EveryByteValueComesBackThroughTheDecoder) {
    std::vector<std::uint8_t> data(512);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i < 256 ? i : 511 - i);
    }
    std::vector<std::uint8_t> wire;
    TelnetCodec::encodeData(data, wire);
    EXPECT_EQ(wire.size(), data.size() + 2);
    EXPECT_EQ(decodeEveryWay(wire).data, hexOf(data));
}

// The server's side of the negotiation: which commands the link answers, and with what.
TEST(TelnetCodecIn, OptionsAreAnsweredAsTheLinkUsesThem) {
    const struct {
        const char* what;
        const char* wire;
        const char* answers;
        bool refused;
        bool comPort;
    } cases[] = {
        {"the server's own port option is declined once", "FF FB 2C FF FB 2C", "FF FE 2C", false,
         false},
        {"the server won't do its own port option: nothing owed", "FF FC 2C", "", false, false},
        {"the server agrees to ours", "FF FD 2C", "", false, true},
        {"the server turns ours down", "FF FE 2C", "", true, false},
        {"binary refused for its side", "FF FC 00", "", true, false},
        {"binary refused for ours", "FF FE 00", "", true, false},
        {"an unknown option, both sides, declined once each", "FF FB 18 FF FD 18 FF FB 18 FF FD 18",
         "FF FE 18 FF FC 18", false, false},
        {"WONT and DONT of an unknown option need no answer", "FF FC 18 FF FE 18", "", false,
         false},
        {"commands without an option carry nothing", "FF F4 FF F3 FF F0 FF F1 FF F9", "", false,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TelnetCodec codec;
        const Decoded decoded = decodeInPieces(codec, bytesOf(c.wire), 0);
        EXPECT_EQ(decoded.data, "");
        EXPECT_EQ(decoded.answers, c.answers);
        EXPECT_EQ(codec.refused(), c.refused);
        EXPECT_EQ(codec.comPortAccepted(), c.comPort);
        decodeEveryWay(bytesOf(c.wire));
    }
}

// The server's answers to the line settings (its command + 100), as RFC 2217 has them.
TEST(TelnetCodecIn, TheLineSettingsAnswersAreReadAsSent) {
    const std::string framing = "FF FA 2C 66 08 FF F0 FF FA 2C 67 01 FF F0 FF FA 2C 68 01 FF F0";
    const struct {
        const char* what;
        std::string wire;
        bool answered;
        bool asked;
    } cases[] = {
        {"115200 8N1", "FF FA 2C 65 00 01 C2 00 FF F0 " + framing, true, true},
        {"answered in another order",
         "FF FA 2C 68 01 FF F0 FF FA 2C 66 08 FF F0 FF FA 2C 65 00 01 C2 00 FF F0 "
         "FF FA 2C 67 01 FF F0",
         true, true},
        {"0 reports the current speed, not the one asked",
         "FF FA 2C 65 00 00 00 00 FF F0 " + framing, true, false},
        {"a speed with 0xFF in it, doubled", "FF FA 2C 65 00 01 C2 FF FF FF F0 " + framing, true,
         false},
        {"a speed of three bytes is no answer", "FF FA 2C 65 01 C2 00 FF F0 " + framing, false,
         false},
        {"a speed of five bytes is no answer", "FF FA 2C 65 00 00 01 C2 00 FF F0 " + framing, false,
         false},
        {"an empty data size answer is none",
         "FF FA 2C 65 00 01 C2 00 FF F0 FF FA 2C 66 FF F0 "
         "FF FA 2C 67 01 FF F0 FF FA 2C 68 01 FF F0",
         false, false},
        {"7 data bits",
         "FF FA 2C 65 00 01 C2 00 FF F0 FF FA 2C 66 07 FF F0 FF FA 2C 67 01 FF F0 "
         "FF FA 2C 68 01 FF F0",
         true, false},
        {"two stop bits",
         "FF FA 2C 65 00 01 C2 00 FF F0 FF FA 2C 66 08 FF F0 FF FA 2C 67 01 FF F0 "
         "FF FA 2C 68 02 FF F0",
         true, false},
        {"the client's commands, not answers, count for nothing",
         "FF FA 2C 01 00 01 C2 00 FF F0 FF FA 2C 02 08 FF F0 FF FA 2C 03 01 FF F0 "
         "FF FA 2C 04 01 FF F0",
         false, false},
        {"another option's subnegotiation is not the port's",
         "FF FA 18 65 00 01 C2 00 FF F0 FF FA 18 66 08 FF F0 FF FA 18 67 01 FF F0 "
         "FF FA 18 68 01 FF F0",
         false, false},
        {"a later answer stands",
         "FF FA 2C 65 00 01 C2 00 FF F0 " + framing + " FF FA 2C 68 02 FF F0", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TelnetCodec codec;
        const Decoded decoded = decodeInPieces(codec, bytesOf(c.wire), 1);
        EXPECT_EQ(decoded.data, "");
        EXPECT_EQ(codec.settingsAnswered(), c.answered);
        EXPECT_EQ(codec.settingsAsked(), c.asked);
    }
}

// Subnegotiations and the purge's acknowledgement, wherever the stream is cut; data around them
// is the link's.
TEST(TelnetCodecIn, SubnegotiationsKeepOutOfTheData) {
    const struct {
        const char* what;
        std::string wire;
        int purges;
        const char* data;
        const char* held;
        int acknowledged;
    } cases[] = {
        {"line state notices between data", "1F FF FA 2C 6A 60 FF F0 00 FF FA 2C 6B 30 FF F0 1E", 0,
         "1F 00 1E", "", 0},
        {"a subnegotiation of nothing", "01 FF FA FF F0 02", 0, "01 02", "", 0},
        {"SE without a subnegotiation", "01 FF F0 02", 0, "01 02", "", 0},
        {"the acknowledgement ends the hold", "01 FF FA 2C 70 01 FF F0 02", 1, "02", "", 1},
        {"0xFF doubled inside the acknowledgement", "01 FF FA 2C 70 FF FF FF F0 02", 1, "02", "",
         1},
        {"data while the purge is unacknowledged is held", "01 FF FF 02", 1, "", "01 FF 02", 0},
        {"an acknowledgement without SE still ends the hold", "01 FF FA 2C 70 01 FF F1 02", 1, "02",
         "", 1},
        {"another option's 0x70 is no acknowledgement", "01 FF FA 18 70 01 FF F0 02", 1, "",
         "01 02", 0},
        {"an acknowledgement owed nothing drops nothing", "01 FF FA 2C 70 01 FF F0 02", 0, "01 02",
         "", 1},
        {"more acknowledgements than purges",
         "01 FF FA 2C 70 01 FF F0 FF FA 2C 70 01 FF F0 02 "
         "FF FA 2C 70 01 FF F0 03",
         1, "02 03", "", 3},
        {"a long subnegotiation is cut, not kept",
         "FF FA 2C 6A " + repeated("55", 300) + " FF FF FF F0 07", 0, "07", "", 0},
        {"a long acknowledgement still counts",
         "01 FF FA 2C 70 " + repeated("01", 300) + " FF F0 02", 1, "02", "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::uint8_t> wire = bytesOf(c.wire);
        const Decoded decoded = decodeEveryWay(wire, c.purges);
        EXPECT_EQ(decoded.data, c.data);
        EXPECT_EQ(decoded.held, c.held);
        EXPECT_EQ(decoded.answers, "");
        TelnetCodec codec;
        for (int i = 0; i < c.purges; ++i) {
            codec.purgeSent();
        }
        decodeInPieces(codec, wire, 7);
        EXPECT_EQ(codec.purgesAcknowledged(), c.acknowledged);
        EXPECT_EQ(codec.purgesPending(), std::max(0, c.purges - c.acknowledged));
    }
}

// A server that asks for every option, again and again, is owed one refusal per option and side,
// however long it goes on: the answers it gets are bounded.
TEST(TelnetCodecHostile, AFloodOfRequestsIsAnsweredOncePerOption) {
    std::vector<std::uint8_t> flood;
    for (int round = 0; round < 3; ++round) {
        for (int option = 0; option < 256; ++option) {
            for (const std::uint8_t command : {telnet::kWill, telnet::kDo}) {
                flood.insert(flood.end(),
                             {telnet::kIac, command, static_cast<std::uint8_t>(option)});
            }
        }
    }
    TelnetCodec codec;
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> held;
    std::vector<std::uint8_t> answers;
    codec.decode(flood, data, held, answers);
    // WILL: every option but binary (agreed to) is declined; DO: every option but binary and the
    // port option (both asked for by the link).
    EXPECT_EQ(answers.size(), 3u * (255 + 254));
    EXPECT_TRUE(data.empty());
    const std::size_t before = answers.size();
    codec.decode(flood, data, held, answers);
    EXPECT_EQ(answers.size(), before) << "the same requests again owe nothing more";
    EXPECT_FALSE(codec.refused());
}

// Sequences left open at the end of a read hold back nothing that follows them.
TEST(TelnetCodecHostile, SequencesOpenAtTheEndOfAReadFinishInTheNext) {
    const struct {
        const char* what;
        std::string first;
        std::string second;
        const char* data;
    } cases[] = {
        {"IAC", "01 FF", "FF 02", "01 FF 02"},
        {"IAC WILL", "01 FF FB", "18 02", "01 02"},
        {"IAC SB", "01 FF FA", "2C 6A 00 FF F0 02", "01 02"},
        {"inside a subnegotiation", "01 FF FA 2C 6A " + repeated("1F 00", 4000), "FF F0 1F 00",
         "01 1F 00"},
        {"IAC inside a subnegotiation", "01 FF FA 2C 6A 00 FF", "F0 02", "01 02"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TelnetCodec codec;
        std::vector<std::uint8_t> data;
        std::vector<std::uint8_t> held;
        std::vector<std::uint8_t> answers;
        codec.decode(bytesOf(c.first), data, held, answers);
        codec.decode(bytesOf(c.second), data, held, answers);
        EXPECT_EQ(hexOf(data), c.data);
        EXPECT_TRUE(held.empty());
    }
}

} // namespace
