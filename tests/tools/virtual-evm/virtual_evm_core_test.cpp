// The virtual board's emulation core without a pty: framing, request decoding, the register
// models, faults, control commands and options.
#include "tools/virtual-evm/evmoptions.h"
#include "tools/virtual-evm/evmsession.h"
#include "tools/virtual-evm/frameparser.h"
#include "tools/virtual-evm/protocol.h"
#include "tools/virtual-evm/request.h"
#include "tools/virtual-evm/tessalycodec.h"
#include "tools/virtual-evm/transcript.h"

#include "tests/support/casenames.h"
#include "tests/support/hexbytes.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace virtualevm;
using testsupport::bytesOf;

namespace {

std::vector<uint8_t> payloadOf(const std::string& frameText) {
    const std::vector<uint8_t> frame = bytesOf(frameText);
    return std::vector<uint8_t>(frame.begin() + 2, frame.end() - 2);
}

// "rx|tx <hex> ; <text> [+delay] [*babble]" for compact comparisons.
std::vector<std::string> render(const std::vector<Event>& events) {
    std::vector<std::string> lines;
    for (const Event& event : events) {
        std::string line = event.direction == Event::Direction::Rx ? "rx " : "tx ";
        line += hexBytes(event.bytes) + " ; " + event.text;
        if (event.delayMs != 0) {
            line += " +" + std::to_string(event.delayMs);
        }
        if (event.babbleMs != 0) {
            line += " *" + std::to_string(event.babbleMs);
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> feed(EvmSession& session, const std::string& text) {
    std::vector<Event> events;
    session.receive(bytesOf(text), events);
    return render(events);
}

// ---------------------------------------------------------------------------------------------
// Framing

struct FrameCase {
    const char* name;
    const char* payload;
    const char* frame;
};

void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.name;
}

class BuildFrame : public ::testing::TestWithParam<FrameCase> {};

TEST_P(BuildFrame, AddsLengthAndSixteenBitChecksum) {
    EXPECT_EQ(hexBytes(buildFrame(bytesOf(GetParam().payload))), GetParam().frame);
}

INSTANTIATE_TEST_SUITE_P(
    ReferenceRequests, BuildFrame,
    ::testing::Values(FrameCase{"probe", "8F 00 FF", "1E 03 8F 00 FF 01 AF"},
                      FrameCase{"writeI2c", "00 01 4C 10 55", "1E 05 00 01 4C 10 55 00 D5"},
                      FrameCase{"readI2c", "10 01 4C 10 01 00", "1E 06 10 01 4C 10 01 00 00 92"},
                      FrameCase{"readSpi", "10 03 90 90 01 00", "1E 06 10 03 90 90 01 00 01 58"},
                      FrameCase{"setup0", "50 00 01", "1E 03 50 00 01 00 72"},
                      FrameCase{"setup7", "57 00 03", "1E 03 57 00 03 00 7B"},
                      FrameCase{"boardWrite", "07 03 37 37 00 01", "1E 06 07 03 37 37 00 01 00 9D"},
                      FrameCase{"empty", "", "1E 00 00 1E"}),
    testsupport::ByCaseName());

TEST(Checksum, IsSixteenBitsNotOneByte) {
    const std::vector<uint8_t> payload(255, 0xFF);
    const std::vector<uint8_t> frame = buildFrame(payload);
    ASSERT_EQ(frame.size(), 259u);
    // 0x1E + 0xFF + 255 * 0xFF = 0xFF1E
    EXPECT_EQ(frame[257], 0xFF);
    EXPECT_EQ(frame[258], 0x1E);
    EXPECT_EQ(buildFrame(std::vector<uint8_t>(kMaxReplyPayload, 0))[1], kMaxReplyPayload & 0xFF);
    EXPECT_THROW(buildFrame(std::vector<uint8_t>(kMaxReplyPayload + 1, 0)), std::length_error);
}

struct NumberCase {
    const char* text;
    std::optional<unsigned long> value;
};

class ParseNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ParseNumber, AcceptsDecimalAndHexOnly) {
    EXPECT_EQ(parseNumber(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Protocol, ParseNumber,
    ::testing::Values(NumberCase{"0", 0}, NumberCase{"76", 76}, NumberCase{"0x4C", 76},
                      NumberCase{"0X4c", 76}, NumberCase{"0xff", 255}, NumberCase{"010", 10},
                      NumberCase{"", std::nullopt}, NumberCase{"0x", std::nullopt},
                      NumberCase{"12a", std::nullopt}, NumberCase{"-1", std::nullopt},
                      NumberCase{" 1", std::nullopt}, NumberCase{"0x1g", std::nullopt}));

// ---------------------------------------------------------------------------------------------
// Frame parser

std::vector<std::string> parse(FrameParser& parser, const std::vector<uint8_t>& input,
                               size_t chunk) {
    std::vector<FrameParser::Item> items;
    for (size_t pos = 0; pos < input.size(); pos += chunk) {
        const size_t size = std::min(chunk, input.size() - pos);
        parser.feed(std::span(input).subspan(pos, size), items);
    }
    std::vector<std::string> lines;
    static const char* kNames[] = {"frame", "ack", "bad", "garbage"};
    for (const auto& item : items) {
        lines.push_back(std::string(kNames[static_cast<int>(item.kind)]) + " " +
                        hexBytes(item.bytes));
    }
    return lines;
}

TEST(FrameParser, SameItemsWhateverTheChunking) {
    const std::vector<uint8_t> input =
        bytesOf("1E 03 8F 00 FF 01 AF 1F 00 1E 03 8F 00 FF 01 AE 1E 06 10 01 4C 10 01 00 00 92");
    const std::vector<std::string> expected = {"frame 1E 03 8F 00 FF 01 AF", "ack 1F 00",
                                               "bad 1E 03 8F 00 FF 01 AE",
                                               "frame 1E 06 10 01 4C 10 01 00 00 92"};
    for (size_t chunk : {1u, 2u, 3u, 7u, 64u}) {
        FrameParser parser;
        EXPECT_EQ(parse(parser, input, chunk), expected) << "chunk " << chunk;
        EXPECT_FALSE(parser.hasPartial());
    }
}

TEST(FrameParser, NoiseIsDroppedUntilAStartOrAckByte) {
    FrameParser parser;
    // 1F followed by anything but 00 is not an acknowledgement.
    EXPECT_EQ(parse(parser, bytesOf("AA 55 1F 01 00 1F 00 1E 03 8F 00 FF 01 AF"), 64),
              (std::vector<std::string>{"garbage AA 55 1F 01 00", "ack 1F 00",
                                        "frame 1E 03 8F 00 FF 01 AF"}));
}

TEST(FrameParser, HoldsAnUnfinishedFrameUntilFlushed) {
    FrameParser parser;
    std::vector<FrameParser::Item> items;
    // A stray start byte in front of a probe reads as a 0x1E-byte payload that never completes.
    parser.feed(bytesOf("1E 1E 03 8F 00 FF 01 AF"), items);
    EXPECT_TRUE(items.empty());
    EXPECT_TRUE(parser.hasPartial());
    parser.flushPartial(items);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].kind, FrameParser::Kind::Garbage);
    EXPECT_EQ(hexBytes(items[0].bytes), "1E");
    EXPECT_EQ(items[1].kind, FrameParser::Kind::Frame);
    EXPECT_EQ(hexBytes(items[1].bytes), "1E 03 8F 00 FF 01 AF");
    EXPECT_FALSE(parser.hasPartial());
}

TEST(FrameParser, FlushOfALoneAckByteIsGarbage) {
    FrameParser parser;
    std::vector<FrameParser::Item> items;
    parser.feed(bytesOf("1F"), items);
    EXPECT_TRUE(parser.hasPartial());
    parser.flushPartial(items);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, FrameParser::Kind::Garbage);
}

// ---------------------------------------------------------------------------------------------
// Requests

struct DecodeCase {
    const char* name;
    const char* frame;
    Request::Kind kind;
    const char* text;
    bool reply;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodeRequest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeRequest, ByItsOwnTypeByte) {
    const DecodeCase& c = GetParam();
    const Request request = Request::decode(payloadOf(c.frame));
    EXPECT_EQ(request.kind, c.kind);
    EXPECT_EQ(request.describe(), c.text);
    EXPECT_EQ(request.expectsReply(), c.reply);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, DecodeRequest,
    ::testing::Values(
        DecodeCase{"probe", "1E 03 8F 00 FF 01 AF", Request::Kind::Probe, "probe", true},
        DecodeCase{"writeI2c", "1E 05 00 01 4C 10 55 00 D5", Request::Kind::Write,
                   "write ch=0 type=1 addr=0x4C reg=0x10 val=55", true},
        DecodeCase{"readI2c", "1E 06 10 01 4C 10 01 00 00 92", Request::Kind::Read,
                   "read ch=0 type=1 addr=0x4C reg=0x10 count=1", true},
        DecodeCase{"readSpi", "1E 06 10 03 90 90 01 00 01 58", Request::Kind::Read,
                   "read ch=0 type=3 reg=0x90 count=1", true},
        DecodeCase{"setup0", "1E 03 50 00 01 00 72", Request::Kind::Setup, "setup 0 type=1", false},
        DecodeCase{"setup7", "1E 03 57 00 03 00 7B", Request::Kind::Setup, "setup 7 type=3", false},
        DecodeCase{"boardWrite", "1E 06 07 03 37 37 00 01 00 9D", Request::Kind::Write,
                   "write ch=7 type=3 reg=0x37 val=01", true},
        DecodeCase{"writeType4Multi", "1E 06 02 04 11 11 AA BB 01 B1", Request::Kind::Write,
                   "write ch=2 type=4 reg=0x11 val=AA BB", true},
        DecodeCase{"readType2", "1E 06 13 02 4D 18 02 00 00 A0", Request::Kind::Read,
                   "read ch=3 type=2 addr=0x4D reg=0x18 count=2", true},
        DecodeCase{"writeTypeZero", "1E 03 00 00 12 00 33", Request::Kind::Write,
                   "write ch=0 type=0 (unsupported type)", false},
        DecodeCase{"shortRead", "1E 03 10 01 4C 00 7E", Request::Kind::Unknown, "unknown", true},
        DecodeCase{"otherCommand", "1E 02 30 00 00 50", Request::Kind::Unknown, "unknown", false}),
    testsupport::ByCaseName());

// ---------------------------------------------------------------------------------------------
// Codec and board models

TEST(TessalyCodec, DefaultsAndRegisterReset) {
    TessalyCodec codec;
    const uint8_t defaults[] = {0xC0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    for (uint8_t reg = 0x10; reg <= 0x19; ++reg) {
        EXPECT_EQ(codec.busRead(reg), defaults[reg - 0x10]) << int(reg);
    }
    codec.busWrite(0x13, 0x5A);
    codec.busWrite(0x10, 0xBF); // bit 7 set: an ordinary write
    EXPECT_EQ(codec.busRead(0x10), 0xBF);
    EXPECT_EQ(codec.busRead(0x13), 0x5A);
    codec.setZeroFlags(3);
    codec.busWrite(0x10, 0x7F); // bit 7 clear: reset, the value is not kept
    EXPECT_EQ(codec.busRead(0x10), 0xC0);
    EXPECT_EQ(codec.busRead(0x13), 0x00);
    EXPECT_EQ(codec.busRead(0x15), 0x00);
}

TEST(TessalyCodec, StatusRegisterIsReadOnlyFromTheBus) {
    TessalyCodec codec;
    codec.busWrite(0x15, 0xFF);
    EXPECT_EQ(codec.busRead(0x15), 0x00);
    codec.setZeroFlags(2);
    EXPECT_EQ(codec.busRead(0x15), 0x02);
    codec.setZeroFlags(1);
    EXPECT_EQ(codec.busRead(0x15), 0x01);
    codec.busWrite(0x15, 0x00);
    EXPECT_EQ(codec.busRead(0x15), 0x01);
}

TEST(TessalyCodec, UnknownRegistersReadZeroAndIgnoreWrites) {
    TessalyCodec codec;
    codec.busWrite(0x0F, 0x12);
    codec.busWrite(0x1A, 0x34);
    EXPECT_EQ(codec.busRead(0x0F), 0x00);
    EXPECT_EQ(codec.busRead(0x1A), 0x00);
    EXPECT_EQ(codec.busRead(0x00), 0x00);
}

// Runs one request frame on a board and returns the reply's register bytes (payload 5...).
std::vector<uint8_t> readValues(EvmBoard& board, const std::vector<uint8_t>& payload) {
    const std::vector<uint8_t> reply = board.execute(Request::decode(payload));
    if (reply.size() != size_t{payload[4]} + 9) {
        ADD_FAILURE() << "reply of " << reply.size() << " bytes: " << hexBytes(reply);
        return {};
    }
    return std::vector<uint8_t>(reply.begin() + 7, reply.end() - 2);
}

TEST(EvmBoard, I2cAnswersOnlyItsAddress) {
    EvmBoard board;
    board.execute(Request::decode(bytesOf("00 01 4D 13 77")));
    EXPECT_EQ(board.codec().get(0x13), 0x00) << "NACKed write ignored";
    EXPECT_EQ(readValues(board, bytesOf("10 01 4D 13 02 00")), bytesOf("FF FF"));
    board.execute(Request::decode(bytesOf("00 02 4C 13 77")));
    EXPECT_EQ(readValues(board, bytesOf("10 01 4C 13 01 00")), bytesOf("77"));
    board.setI2cAddress(0x4D);
    EXPECT_EQ(readValues(board, bytesOf("10 02 4D 13 01 00")), bytesOf("77"));
    EXPECT_EQ(readValues(board, bytesOf("10 01 4C 13 01 00")), bytesOf("FF"));
}

TEST(EvmBoard, SpiDeviceBitsSelectTheChip) {
    EvmBoard board;
    board.setSpiDevice(2);
    board.execute(Request::decode(bytesOf("00 03 13 13 00 11"))); // device 0: not us
    EXPECT_EQ(board.codec().get(0x13), 0x00);
    board.execute(Request::decode(bytesOf("00 03 53 53 00 22"))); // device 2
    EXPECT_EQ(board.codec().get(0x13), 0x22);
    EXPECT_EQ(readValues(board, bytesOf("10 03 D3 D3 01 00")), bytesOf("22"));
    EXPECT_EQ(readValues(board, bytesOf("10 03 93 93 01 00")), bytesOf("00"));
    EXPECT_EQ(readValues(board, bytesOf("10 03 F3 F3 01 00")), bytesOf("00"));
}

TEST(EvmBoard, MultiRegisterAccessCoversConsecutiveRegisters) {
    EvmBoard board;
    board.execute(Request::decode(bytesOf("00 04 11 11 01 02 03")));
    EXPECT_EQ(readValues(board, bytesOf("10 04 10 10 04 00")), bytesOf("C0 01 02 03"));
    // Past the last register: zeros.
    EXPECT_EQ(readValues(board, bytesOf("10 04 18 18 04 00")), bytesOf("FF FF 00 00"));
    EXPECT_EQ(readValues(board, bytesOf("10 01 4C 0E 03 00")), bytesOf("00 00 C0"));
}

TEST(EvmBoard, BoardRegistersOnChannelSeven) {
    EvmBoard board;
    board.execute(Request::decode(bytesOf("07 03 37 37 00 01")));
    EXPECT_EQ(board.boardRegister(0x37), 0x01);
    EXPECT_EQ(readValues(board, bytesOf("17 03 B7 B7 01 00")), bytesOf("01"));
    board.execute(Request::decode(bytesOf("07 01 00 C8 AB")));
    EXPECT_EQ(board.boardRegister(0xC8), 0xAB);
    EXPECT_EQ(readValues(board, bytesOf("17 04 C8 C8 01 00")), bytesOf("AB"));
    EXPECT_EQ(board.codec().get(0x10), 0xC0) << "the codec is not on channel 7";
}

TEST(EvmBoard, OtherChannelsHaveNothingAttached) {
    EvmBoard board;
    const std::vector<uint8_t> reply = board.execute(Request::decode(bytesOf("03 01 4C 13 55")));
    EXPECT_EQ(reply.size(), 7u);
    EXPECT_EQ(board.codec().get(0x13), 0x00);
    EXPECT_EQ(readValues(board, bytesOf("13 01 4C 10 02 00")), bytesOf("00 00"));
}

TEST(EvmBoard, RepliesAreWellFormedFrames) {
    EvmBoard board;
    for (const char* request : {"8F 00 FF", "10 01 4C 10 03 00", "00 01 4C 13 01"}) {
        const std::vector<uint8_t> reply = board.execute(Request::decode(bytesOf(request)));
        ASSERT_GE(reply.size(), 4u);
        const std::vector<uint8_t> payload(reply.begin() + 2, reply.end() - 2);
        EXPECT_EQ(reply, buildFrame(payload)) << request;
    }
    EXPECT_TRUE(board.execute(Request::decode(bytesOf("50 00 01"))).empty());
}

// ---------------------------------------------------------------------------------------------
// Session: ordering and faults

TEST(EvmSession, AnswersInOrderAndLogsThePcAck) {
    EvmSession session;
    EXPECT_EQ(feed(session, "1E 03 8F 00 FF 01 AF 1E 03 50 00 01 00 72 1F 00"),
              (std::vector<std::string>{"rx 1E 03 8F 00 FF 01 AF ; probe", "tx 1F 00 ; ack",
                                        "tx 1E 03 8F 00 00 00 B0 ; probe-reply",
                                        "rx 1E 03 50 00 01 00 72 ; setup 0 type=1",
                                        "tx 1F 00 ; ack", "rx 1F 00 ; ack"}));
}

TEST(EvmSession, BadChecksumAndGarbageGetNoAnswer) {
    EvmSession session;
    EXPECT_EQ(feed(session, "1E 05 00 01 4C 10 55 00 D6 33"),
              (std::vector<std::string>{"rx 1E 05 00 01 4C 10 55 00 D6 ; bad checksum",
                                        "rx 33 ; garbage"}));
    EXPECT_EQ(session.board().codec().get(0x10), 0xC0) << "a bad frame is not executed";
}

const char* const kRead = "1E 06 10 01 4C 10 01 00 00 92";
const char* const kReadReply = "1E 06 10 01 10 01 00 C0 01 06";

struct FaultCase {
    const char* name;
    const char* fault;
    std::vector<std::string> events;
    std::string released = {}; // held back, sent when the next request arrives
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class SessionFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SessionFault, ShapesTheAnswer) {
    EvmSession session;
    ASSERT_EQ(session.control(std::string("fault ") + GetParam().fault), "ok");
    EXPECT_EQ(feed(session, kRead), GetParam().events);
    // A fault is "once" unless told otherwise: the next read is answered normally, after
    // whatever was held back.
    std::vector<std::string> next = {
        std::string("rx ") + kRead + " ; read ch=0 type=1 addr=0x4C reg=0x10 count=1",
        "tx 1F 00 ; ack", std::string("tx ") + kReadReply + " ; read-reply"};
    if (!GetParam().released.empty()) {
        next.insert(next.begin() + 1, GetParam().released);
    }
    EXPECT_EQ(feed(session, kRead), next);
}

const std::string kReadRx =
    std::string("rx ") + kRead + " ; read ch=0 type=1 addr=0x4C reg=0x10 count=1";

INSTANTIATE_TEST_SUITE_P(
    Faults, SessionFault,
    ::testing::Values(
        FaultCase{"silent",
                  "silent",
                  {std::string("rx ") + kRead +
                   " ; read ch=0 type=1 addr=0x4C reg=0x10 count=1 (silent)"}},
        FaultCase{"noAck",
                  "no-ack",
                  {std::string("rx ") + kRead +
                   " ; read ch=0 type=1 addr=0x4C reg=0x10 count=1 (no-ack)"}},
        FaultCase{
            "wrongAck",
            "wrong-ack",
            {kReadRx, "tx 1F 01 ; wrong-ack", std::string("tx ") + kReadReply + " ; read-reply"}},
        FaultCase{"noReply", "no-reply", {kReadRx, "tx 1F 00 ; ack"}},
        FaultCase{"garbage", "garbage", {kReadRx, "tx AA 55 AA 55 ; garbage"}},
        FaultCase{"late",
                  "late 250",
                  {kReadRx, "tx 1F 00 ; ack",
                   std::string("tx ") + kReadReply + " ; late read-reply +250"}},
        FaultCase{"lateDefault",
                  "late",
                  {kReadRx, "tx 1F 00 ; ack",
                   std::string("tx ") + kReadReply + " ; late read-reply +2000"}},
        FaultCase{"piecesDefaults",
                  "pieces 3",
                  {kReadRx, "tx 1F 00 ; ack", "tx 1E 06 10 01 ; piece 1/3 read-reply +300",
                   "tx 10 01 00 ; piece 2/3 read-reply +900",
                   "tx C0 01 06 ; piece 3/3 read-reply +1500"}},
        FaultCase{"piecesTimed",
                  "pieces 4 0x10 20",
                  {kReadRx, "tx 1F 00 ; ack", "tx 1E 06 10 ; piece 1/4 read-reply +16",
                   "tx 01 10 01 ; piece 2/4 read-reply +36", "tx 00 C0 ; piece 3/4 read-reply +56",
                   "tx 01 06 ; piece 4/4 read-reply +76"}},
        FaultCase{"piecesMoreThanBytes",
                  "pieces 12 0 1",
                  {kReadRx, "tx 1F 00 ; ack", "tx 1E ; piece 1/10 read-reply",
                   "tx 06 ; piece 2/10 read-reply +1", "tx 10 ; piece 3/10 read-reply +2",
                   "tx 01 ; piece 4/10 read-reply +3", "tx 10 ; piece 5/10 read-reply +4",
                   "tx 01 ; piece 6/10 read-reply +5", "tx 00 ; piece 7/10 read-reply +6",
                   "tx C0 ; piece 8/10 read-reply +7", "tx 01 ; piece 9/10 read-reply +8",
                   "tx 06 ; piece 10/10 read-reply +9"}},
        FaultCase{
            "badStart",
            "bad-start",
            {kReadRx, "tx 1F 00 ; ack", "tx 1D 06 10 01 10 01 00 C0 01 06 ; bad-start read-reply"}},
        FaultCase{"badLength",
                  "bad-length",
                  {kReadRx, "tx 1F 00 ; ack",
                   "tx 1E 07 10 01 10 01 00 C0 01 07 ; bad-length read-reply"}},
        FaultCase{
            "badSum",
            "bad-sum",
            {kReadRx, "tx 1F 00 ; ack", "tx 1E 06 10 01 10 01 00 C0 01 07 ; bad-sum read-reply"}},
        FaultCase{"splitHalf",
                  "split",
                  {kReadRx, "tx 1F 00 ; ack", "tx 1E 06 10 01 10 ; split 1/2 read-reply"},
                  "tx 01 00 C0 01 06 ; split 2/2 read-reply"},
        FaultCase{
            "splitHoldsOneByteAtLeast",
            "split 258",
            {kReadRx, "tx 1F 00 ; ack", "tx 1E 06 10 01 10 01 00 C0 01 ; split 1/2 read-reply"},
            "tx 06 ; split 2/2 read-reply"},
        FaultCase{"slow",
                  "slow 250",
                  {kReadRx, "tx 1F 00 ; slow ack +250",
                   std::string("tx ") + kReadReply + " ; slow read-reply +250"}},
        FaultCase{"slowTwice",
                  "slow 250 100",
                  {kReadRx, "tx 1F 00 ; slow ack +250",
                   std::string("tx ") + kReadReply + " ; slow read-reply +250",
                   "tx 1F 00 ; repeated ack +350",
                   std::string("tx ") + kReadReply + " ; repeated read-reply +350"}},
        FaultCase{"repeat",
                  "repeat",
                  {kReadRx, "tx 1F 00 ; ack", std::string("tx ") + kReadReply + " ; read-reply",
                   "tx 1F 00 ; repeated ack +100",
                   std::string("tx ") + kReadReply + " ; repeated read-reply +100"}},
        FaultCase{"babble",
                  "babble",
                  {kReadRx, "tx AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 ; babble *1000"}}),
    testsupport::ByCaseName());

TEST(EvmSession, SilentIgnoresTheRequestNoAckCarriesItOut) {
    const std::string write = "1E 05 00 01 4C 13 44 00 C7";
    EvmSession silent;
    ASSERT_EQ(silent.control("fault silent always"), "ok");
    EXPECT_EQ(feed(silent, "1F 00"), (std::vector<std::string>{"rx 1F 00 ; ack (silent)"}));
    feed(silent, write);
    EXPECT_EQ(silent.board().codec().get(0x13), 0x00);

    EvmSession noAck;
    ASSERT_EQ(noAck.control("fault no-ack"), "ok");
    EXPECT_EQ(feed(noAck, write).size(), 1u);
    EXPECT_EQ(noAck.board().codec().get(0x13), 0x44);
}

TEST(EvmSession, FaultsOnSetUpsHaveNoReplyToSpoil) {
    const char* setup = "1E 03 50 00 01 00 72";
    for (const char* fault :
         {"no-reply", "pieces 3", "late 100", "bad-start", "bad-length", "bad-sum", "split"}) {
        EvmSession session;
        ASSERT_EQ(session.control(std::string("fault ") + fault), "ok");
        EXPECT_EQ(feed(session, setup),
                  (std::vector<std::string>{"rx 1E 03 50 00 01 00 72 ; setup 0 type=1",
                                            "tx 1F 00 ; ack"}))
            << fault;
        EXPECT_FALSE(session.faults().current()) << fault << " used up by the set-up";
        EXPECT_FALSE(session.holdsTail()) << fault;
    }
    EvmSession session;
    ASSERT_EQ(session.control("fault wrong-ack"), "ok");
    EXPECT_EQ(feed(session, setup).back(), "tx 1F 01 ; wrong-ack");
    // Babble replaces any answer, and the request is still carried out.
    ASSERT_EQ(session.control("fault babble 5"), "ok");
    EXPECT_EQ(feed(session, "1E 05 00 01 4C 13 44 00 C7").back(),
              "tx AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 ; babble *5");
    EXPECT_EQ(session.board().codec().get(0x13), 0x44);
}

TEST(EvmSession, SplitTailWaitsForTheNextRequestFrame) {
    EvmSession session;
    ASSERT_EQ(session.control("fault split 4 always"), "ok");
    EXPECT_EQ(feed(session, kRead).back(), "tx 1E 06 10 01 ; split 1/2 read-reply");
    // Acknowledgements, noise and spoilt frames are no requests.
    EXPECT_EQ(feed(session, "1F 00 AA 1E 05 00 01 4C 10 55 00 D6").size(), 3u);
    EXPECT_TRUE(session.holdsTail());
    // The board finishes the old reply, then answers, here splitting again.
    EXPECT_EQ(feed(session, "1E 03 8F 00 FF 01 AF"),
              (std::vector<std::string>{
                  "rx 1E 03 8F 00 FF 01 AF ; probe", "tx 10 01 00 C0 01 06 ; split 2/2 read-reply",
                  "tx 1F 00 ; ack", "tx 1E 03 8F 00 ; split 1/2 probe-reply"}));
    session.resetLine(); // a pulled cable
    EXPECT_FALSE(session.holdsTail());
}

TEST(EvmSession, FaultCountsAndFilters) {
    EvmSession session;
    ASSERT_EQ(session.control("fault no-reply read 2"), "ok");
    EXPECT_EQ(session.control("fault"), "ok no-reply read 2");
    EXPECT_EQ(feed(session, "1E 03 8F 00 FF 01 AF").size(), 3u) << "a probe passes the filter";
    EXPECT_EQ(feed(session, "1F 00").size(), 1u) << "an ack is no request";
    EXPECT_EQ(feed(session, kRead).size(), 2u);
    EXPECT_EQ(feed(session, kRead).size(), 2u);
    EXPECT_EQ(feed(session, kRead).size(), 3u);
    EXPECT_EQ(session.control("fault"), "ok off");

    ASSERT_EQ(session.control("fault no-reply always"), "ok");
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(feed(session, kRead).size(), 2u);
    }
    EXPECT_EQ(session.control("fault off"), "ok");
    EXPECT_EQ(feed(session, kRead).size(), 3u);

    // Only the read of the named register meets it; probes and other registers pass.
    ASSERT_EQ(session.control("fault no-reply reg 0x11 once"), "ok");
    EXPECT_EQ(feed(session, "1E 03 8F 00 FF 01 AF").size(), 3u);
    EXPECT_EQ(feed(session, kRead).size(), 3u);
    EXPECT_EQ(feed(session, "1E 06 10 01 4C 11 01 00 00 93").size(), 2u);
    EXPECT_EQ(session.control("fault"), "ok off");
}

// Faults stack on the requests of one exchange: each request takes the first armed fault that
// matches it, in the order they were armed.
TEST(EvmSession, StackedFaultsGoToTheRequestsTheyMatchInOrder) {
    EvmSession session;
    const std::string write = "1E 05 00 01 4C 11 05 00 86";
    const std::string probe = "1E 03 8F 00 FF 01 AF";
    ASSERT_EQ(session.control("fault slow 2000 write"), "ok");
    ASSERT_EQ(session.control("fault-add slow 300 probe"), "ok");
    ASSERT_EQ(session.control("fault-add silent write"), "ok");
    EXPECT_EQ(session.control("fault"), "ok slow 2000 0 write 1");
    const auto last = [](const std::vector<std::string>& events) { return events.back(); };
    EXPECT_EQ(last(feed(session, write)), "tx 1E 03 00 01 00 00 22 ; slow write-reply +2000");
    EXPECT_EQ(last(feed(session, probe)), "tx 1E 03 8F 00 00 00 B0 ; slow probe-reply +300");
    EXPECT_EQ(feed(session, "1E 05 00 01 4C 12 07 00 89"),
              (std::vector<std::string>{
                  "rx 1E 05 00 01 4C 12 07 00 89 ; write ch=0 type=1 addr=0x4C reg=0x12 val=07 "
                  "(silent)"}));
    EXPECT_EQ(session.board().codec().get(0x12), 0x00) << "a silent board did not carry it out";
    EXPECT_EQ(session.control("fault"), "ok off");

    for (int i = 0; i < 16; ++i) {
        ASSERT_EQ(session.control("fault-add no-reply"), "ok");
    }
    EXPECT_EQ(session.control("fault-add no-reply"), "error: at most 16 faults armed");
    EXPECT_EQ(session.control("fault no-ack"), "ok") << "fault replaces every armed fault";
    EXPECT_EQ(feed(session, write).size(), 1u);
    EXPECT_EQ(session.control("fault"), "ok off");
}

// The longest reply, to a read of 255 registers, carries the low 8 bits of its length.
TEST(EvmSession, ReadsOfMoreThan250RegistersGetTheirWholeReply) {
    EvmSession session;
    for (const unsigned count : {250u, 251u, 255u}) {
        const std::vector<uint8_t> request = buildFrame(
            std::vector<uint8_t>{0x17, 0x01, 0x00, 0x00, static_cast<uint8_t>(count), 0x00});
        std::vector<Event> events;
        session.receive(request, events);
        ASSERT_EQ(events.size(), 3u) << count;
        const std::vector<uint8_t>& reply = events.back().bytes;
        EXPECT_EQ(reply.size(), count + 9) << count;
        EXPECT_EQ(reply[1], static_cast<uint8_t>(count + 5)) << count;
        const uint16_t sum = checksum(std::span(reply).first(reply.size() - 2));
        EXPECT_EQ(reply[reply.size() - 2], sum >> 8) << count;
        EXPECT_EQ(reply.back(), sum & 0xFF) << count;
    }
}

TEST(EvmSession, PartialFrameFlushRecoversTheRequestBehindIt) {
    EvmSession session;
    EXPECT_TRUE(feed(session, "1E 1E 03 8F 00 FF 01 AF").empty());
    EXPECT_TRUE(session.hasPartial());
    std::vector<Event> events;
    session.flushPartial(events);
    EXPECT_EQ(render(events), (std::vector<std::string>{
                                  "rx 1E ; garbage", "rx 1E 03 8F 00 FF 01 AF ; probe",
                                  "tx 1F 00 ; ack", "tx 1E 03 8F 00 00 00 B0 ; probe-reply"}));
}

// ---------------------------------------------------------------------------------------------
// Control commands

struct ControlCase {
    const char* command;
    const char* reply;
};

void PrintTo(const ControlCase& c, std::ostream* os) {
    *os << c.command;
}

class SessionControl : public ::testing::TestWithParam<std::vector<ControlCase>> {};

TEST_P(SessionControl, RepliesInOrder) {
    EvmSession session;
    for (const ControlCase& step : GetParam()) {
        EXPECT_EQ(session.control(step.command), step.reply) << step.command;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SessionControl,
    ::testing::Values(
        std::vector<ControlCase>{{"get 0x10", "ok 0xC0"},
                                 {"get 25", "ok 0xFF"},
                                 {"reg 0x13 0x5a", "ok"},
                                 {"get 0x13", "ok 0x5A"},
                                 {"reg 0x10 0x00", "ok"},
                                 {"get 0x10", "ok 0x00"},
                                 {"get 0x13", "ok 0x5A"},
                                 {"reset", "ok"},
                                 {"get 0x13", "ok 0x00"},
                                 {"get 0x10", "ok 0xC0"}},
        std::vector<ControlCase>{{"zero 3", "ok"},
                                 {"get 0x15", "ok 0x03"},
                                 {"zero 0", "ok"},
                                 {"get 0x15", "ok 0x00"},
                                 {"zero 4", "error: bad flags '4'"}},
        std::vector<ControlCase>{{"set-board 0x37 1", "ok"},
                                 {"get-board 0x37", "ok 0x01"},
                                 {"get-board 255", "ok 0x00"},
                                 {"get-board 256", "error: bad register '256'"}},
        std::vector<ControlCase>{{"i2c-address 79", "ok"},
                                 {"i2c-address 0x4C", "ok"},
                                 {"i2c-address 80", "error: bad address '80'"},
                                 {"spi-device 3", "ok"},
                                 {"spi-device 4", "error: bad device '4'"}},
        std::vector<ControlCase>{{"get 0x1A", "error: bad register '0x1A'"},
                                 {"get", "error: usage: get R"},
                                 {"reg 0x10", "error: usage: reg R V"},
                                 {"reg 0x10 256", "error: bad value '256'"},
                                 {"frobnicate", "error: unknown command 'frobnicate'"},
                                 {"", "error: empty command"},
                                 {"ping", "ok"},
                                 {"help",
                                  "ok ping fault fault-add zero reg get set-board get-board reset "
                                  "i2c-address spi-device echo unplug replug device idle release "
                                  "help (virtual-evm --help says more)"},
                                 {"help me", "error: usage: help"}},
        std::vector<ControlCase>{{"fault", "ok off"},
                                 {"fault late", "ok"},
                                 {"fault", "ok late 2000 1"},
                                 {"fault pieces 3 always", "ok"},
                                 {"fault", "ok pieces 3 300 600 always"},
                                 {"fault pieces 5 10 20 write 4", "ok"},
                                 {"fault", "ok pieces 5 10 20 write 4"},
                                 {"fault slow 150 behind probe", "ok"},
                                 {"fault", "ok slow 150 0 behind probe 1"},
                                 {"fault repeat behind", "ok"},
                                 {"fault", "ok repeat 100 behind 1"},
                                 {"fault off", "ok"},
                                 {"fault", "ok off"},
                                 {"fault bogus", "error: unknown fault 'bogus'"},
                                 {"fault pieces", "error: pieces needs a count"},
                                 {"fault pieces 0", "error: piece count must be 1 to 259"},
                                 {"fault late soon", "error: bad repeat count 'soon'"},
                                 {"fault silent once always", "error: unexpected 'always'"},
                                 {"fault silent read write", "error: more than one request filter"},
                                 {"fault silent 0", "error: bad repeat count '0'"}},
        // What "fault" shows reads back as the same fault.
        std::vector<ControlCase>{
            {"fault bad-length read always", "ok"},
            {"fault", "ok bad-length read always"},
            {"fault split", "ok"},
            {"fault", "ok split 0 1"},
            {"fault split 0 1", "ok"},
            {"fault", "ok split 0 1"},
            {"fault split 7 probe 2", "ok"},
            {"fault", "ok split 7 probe 2"},
            {"fault babble", "ok"},
            {"fault", "ok babble 1000 1"},
            {"fault split 259", "error: split size must be 0 to 258"},
            {"fault babble 600001", "error: bad delay '600001'"},
            {"fault wrong-ack read reg 0x18 once", "ok"},
            {"fault", "ok wrong-ack read reg 24 1"},
            {"fault no-reply reg 300", "error: reg needs one register, 0 to 0xFF"},
            {"fault no-reply reg", "error: reg needs one register, 0 to 0xFF"},
            {"fault no-reply reg 1 reg 2", "error: reg needs one register, 0 to 0xFF"}}));

// ---------------------------------------------------------------------------------------------
// Options and transcript lines

TEST(EvmOptions, ParsesEveryOption) {
    const EvmOptions options =
        parseOptions({"--link", "/tmp/x/port", "--log=/tmp/x/log", "--control", "/tmp/x/ctl",
                      "--i2c-address", "0x4F", "--spi-device", "2", "--zero", "3", "--fault",
                      "pieces,4,10,20", "--baud", "115200", "--latency=0.25"});
    EXPECT_EQ(options.linkPath, "/tmp/x/port");
    EXPECT_EQ(options.logPath, "/tmp/x/log");
    EXPECT_EQ(options.controlPath, "/tmp/x/ctl");
    EXPECT_EQ(options.i2cAddress, 0x4F);
    EXPECT_EQ(options.spiDevice, 2u);
    EXPECT_EQ(options.zeroFlags, 3);
    ASSERT_TRUE(options.fault);
    EXPECT_EQ(options.fault->describe(), "pieces 4 10 20 1");
    EXPECT_EQ(options.baud, 115200u);
    EXPECT_EQ(options.latencyUs, 250u);
    EXPECT_EQ(parseOptions({"--latency", "16"}).latencyUs, 16000u);
    EXPECT_EQ(parseOptions({}).baud, 0u) << "the line is off unless asked for";
}

class BadOptions : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(BadOptions, AreUsageErrors) {
    EXPECT_THROW(parseOptions(GetParam()), UsageError);
}

INSTANTIATE_TEST_SUITE_P(
    Options, BadOptions,
    ::testing::Values(
        std::vector<std::string>{"--bogus"}, std::vector<std::string>{"port"},
        std::vector<std::string>{"--link"}, std::vector<std::string>{"--link="},
        std::vector<std::string>{"--i2c-address", "75"},
        std::vector<std::string>{"--i2c-address", "0x50"},
        std::vector<std::string>{"--spi-device", "4"}, std::vector<std::string>{"--zero", "x"},
        std::vector<std::string>{"--fault", "sometimes"},
        std::vector<std::string>{"--control", std::string(120, 'c')},
        std::vector<std::string>{"--baud", "0"}, std::vector<std::string>{"--baud", "9600x"},
        std::vector<std::string>{"--latency", "-1"}, std::vector<std::string>{"--latency", ".5"},
        std::vector<std::string>{"--latency", "1001"},
        std::vector<std::string>{"--latency", "99999999999999999999"},
        std::vector<std::string>{"--latency", "1ms"}));

TEST(Transcript, LineFormat) {
    const Event event{Event::Direction::Rx, bytesOf("1E 03 8F 00 FF 01 AF"), "probe", 0, 0};
    EXPECT_EQ(Transcript::format(event, 0.012345), "0.012345 rx 1E 03 8F 00 FF 01 AF ; probe\n");
    const Event reply{Event::Direction::Tx, bytesOf("1F 00"), "ack", 0, 0};
    EXPECT_EQ(Transcript::format(reply, 12.5), "12.500000 tx 1F 00 ; ack\n");
}

} // namespace
