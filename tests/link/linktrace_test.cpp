// The link's trace on its own: how it names requests and awaited pieces, whatever bytes they
// hold, and its lines on a fake clock.
#include "link/frame.h"
#include "link/linktrace.h"
#include "tests/support/hexbytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace sundial;

using testsupport::bytesOf;

namespace {

std::vector<std::uint8_t> framed(std::optional<Frame> frame) {
    const auto bytes = frame->bytes();
    return {bytes.begin(), bytes.end()};
}

TEST(LinkTrace, NamesEachRequestAsTheLinkFramesIt) {
    const std::uint8_t values[] = {0xC0, 0x05};
    const struct {
        const char* what;
        std::vector<std::uint8_t> frame;
        const char* named;
    } cases[] = {
        {"probe", framed(probeRequest()), "probe"},
        {"set-up", framed(setupRequest(7, 3)), "setup 7 type=3"},
        {"IIC read", framed(readRequest(0, {1, 76}, 0x10, 10)),
         "read ch=0 type=1 addr=0x4C reg=0x10 count=10"},
        {"SPI read, the register as sent", framed(readRequest(7, {3, 0}, 0x37, 1)),
         "read ch=7 type=3 reg=0xB7 count=1"},
        {"register-pair read", framed(readRequest(2, {4, 0}, 0x05, 255)),
         "read ch=2 type=4 reg=0x05 count=255"},
        {"IIC write", framed(writeRequest(0, {1, 76}, 0x10, values)),
         "write ch=0 type=1 addr=0x4C reg=0x10 val=C0 05"},
        {"SPI write", framed(writeRequest(7, {3, 0}, 0x37, std::span(values).first(1))),
         "write ch=7 type=3 reg=0x37 val=C0"},
        {"a bad checksum", bytesOf("1E 03 8F 00 FF 01 AE"), "unknown"},
        {"too short", bytesOf("1E 00 00 1E"), "unknown"},
        {"no bytes", {}, "unknown"},
        {"an unknown command", bytesOf("1E 03 9F 00 FF 01 BF"), "unknown"},
        {"a write with its register cut off", bytesOf("1E 02 00 01 00 21"), "write ch=0 type=1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describeRequest(c.frame), c.named) << c.what;
    }
}

TEST(LinkTrace, NamesEachAwaitedPieceByWhatCame) {
    const struct {
        Piece piece;
        const char* bytes;
        std::size_t expected;
        const char* named;
    } cases[] = {
        {Piece::Ack, "1F 00", 2, "ack"},
        {Piece::Ack, "1F 01", 2, "wrong-ack"},
        {Piece::Ack, "1F", 2, "missing 1 of 2"},
        {Piece::Ack, "", 2, "missing 0 of 2"},
        {Piece::ProbeReply, "1E 03 8F 00 00 00 B0", 7, "probe-reply"},
        {Piece::WriteReply, "1E 03 00 01 4C 00 6E", 7, "write-reply"},
        {Piece::WriteReply, "1E 03 00 01 4C 00 6F", 7, "write-reply (bad frame)"},
        {Piece::ReadReply, "1E 07 10 01 4C 10 02 C0 05 01 59", 11, "read-reply values=C0 05"},
        {Piece::ReadReply, "1E 07 10 01 4C 10 02 C0 05 01", 11, "missing 10 of 11"},
        {Piece::ReadReply, "FF FF FF FF FF FF FF FF FF FF FF", 11, "read-reply (bad frame)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describeReply(c.piece, bytesOf(c.bytes), c.expected), c.named) << c.bytes;
    }
}

long long g_us = 0;
long long fakeMicroseconds() {
    return g_us;
}

std::vector<std::string> linesOf(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class TraceFile : public ::testing::Test {
protected:
    void TearDown() override {
        m_trace.end();
        std::filesystem::remove(m_path);
    }
    std::filesystem::path m_path =
        std::filesystem::temp_directory_path() /
        ("linktrace-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt");
    LinkTrace m_trace{&fakeMicroseconds};
};

// Time from when the trace began, in milliseconds with three decimals whatever the locale; the
// bytes in upper-case hex; a call with its result and how long it took. Lines are appended.
TEST_F(TraceFile, WritesOneLinePerPieceAndCall) {
    std::ofstream(m_path) << "an earlier line\n";
    g_us = 5'000'000;
    m_trace.follow(m_path.string().c_str());
    ASSERT_TRUE(m_trace.on());
    m_trace.sent(bytesOf("1E 03 8F 00 FF 01 AF"), "probe");
    g_us += 1'234;
    m_trace.received(bytesOf("1F 00"), "ack");
    g_us += 600'000;
    m_trace.skipped(bytesOf("AB CD"), "read past");
    const long long started = m_trace.now();
    g_us += 7;
    m_trace.call("_close", 1, started);
    m_trace.end();
    EXPECT_FALSE(m_trace.on());
    EXPECT_EQ(linesOf(m_path), (std::vector<std::string>{
                                   "an earlier line",
                                   "0.000 tx 1E 03 8F 00 FF 01 AF ; probe",
                                   "1.234 rx 1F 00 ; ack",
                                   "601.234 skip AB CD ; read past",
                                   "601.241 call ; _close result=1 ms=0.007",
                               }));
}

TEST_F(TraceFile, WithoutAPathNothingIsWritten) {
    for (const char* path : {static_cast<const char*>(nullptr), ""}) {
        m_trace.follow(path);
        EXPECT_FALSE(m_trace.on());
        m_trace.sent(bytesOf("1F 00"), "ack");
        m_trace.call("_close", 0, 0);
    }
    EXPECT_FALSE(std::filesystem::exists(m_path));
}

// A trace that cannot be opened is said on standard error; the trace stays off.
TEST_F(TraceFile, AFileThatCannotBeOpenedIsSaidOnce) {
    const std::string folder = (m_path.parent_path() / "no-such-folder" / "trace.txt").string();
    ::testing::internal::CaptureStderr();
    m_trace.follow(folder.c_str());
    m_trace.sent(bytesOf("1F 00"), "ack");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(m_trace.on());
    EXPECT_EQ(said.find("Sundial: cannot open the trace file " + folder + ": "), 0U) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
}

} // namespace
