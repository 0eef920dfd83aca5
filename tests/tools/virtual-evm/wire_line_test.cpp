// The slow line on a fake clock: when each piece arrives on the other side, in which order.
#include "tools/virtual-evm/wireline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

using namespace virtualevm;

namespace {

using std::chrono::microseconds;
using std::chrono::nanoseconds;
using Bytes = std::vector<std::uint8_t>;

const WireLine::TimePoint kZero{};

WireLine::TimePoint atUs(long long us) {
    return kZero + microseconds(us);
}

long long usOf(WireLine::TimePoint when) {
    return std::chrono::duration_cast<microseconds>(when - kZero).count();
}

// A request of ten bytes at 115200 baud and the board's answer with a 1 ms adapter: the times a
// read transaction takes on a real line.
TEST(WireLine, PiecesArriveAfterTheirBytesAndTheBoardsAfterTheLatencyToo) {
    WireLine line(115200, microseconds(1000));
    ASSERT_TRUE(line.on());
    const nanoseconds byte = line.byteTime();
    EXPECT_EQ(byte, nanoseconds(86805)) << "ten bit times";
    const nanoseconds tick(1);
    const Bytes request(10, 0x1E);
    line.fromPc(request.data(), request.size(), kZero);
    // Written in the same instant, the next piece waits for the wire.
    line.fromPc(request.data(), 2, kZero);
    ASSERT_TRUE(line.nextArrival());
    EXPECT_EQ(*line.nextArrival(), kZero + 10 * byte);
    EXPECT_TRUE(line.arrivedAtBoard(kZero + 10 * byte - tick).empty());
    EXPECT_EQ(line.arrivedAtBoard(kZero + 10 * byte), std::vector<Bytes>{request});
    EXPECT_EQ(*line.nextArrival(), kZero + 12 * byte);

    // The acknowledgement and the reply go out back to back; each reaches the PC after its last
    // bit and the adapter's millisecond, the reply behind the acknowledgement.
    const WireLine::TimePoint sent = atUs(900);
    ASSERT_TRUE(line.fromBoard(Bytes{0x1F, 0x00}, sent));
    ASSERT_TRUE(line.fromBoard(Bytes(10, 0x1E), sent));
    EXPECT_EQ(line.arrivedAtBoard(kZero + 12 * byte).size(), 1u);
    const WireLine::TimePoint ack = sent + 2 * byte + microseconds(1000);
    EXPECT_EQ(*line.nextArrival(), ack);
    EXPECT_EQ(usOf(ack), 2073);
    EXPECT_TRUE(line.arrivedAtPc(ack - tick).empty());
    EXPECT_EQ(line.arrivedAtPc(ack), std::vector<Bytes>{Bytes({0x1F, 0x00})});
    EXPECT_EQ(*line.nextArrival(), ack + 10 * byte) << "the latency is not paid twice";
    EXPECT_EQ(line.arrivedAtPc(ack + 10 * byte).size(), 1u);
    EXPECT_TRUE(line.idle());
    EXPECT_FALSE(line.nextArrival());

    // A wire that has been quiet starts again at once: no debt from before.
    line.fromPc(request.data(), 1, atUs(10000));
    EXPECT_EQ(*line.nextArrival(), atUs(10000) + byte);
    // A pulled cable loses what was crossing.
    line.clear();
    EXPECT_TRUE(line.idle());
    EXPECT_TRUE(line.arrivedAtBoard(atUs(20000)).empty());
    EXPECT_FALSE(WireLine().on()) << "off unless asked for";
}

// A PC that writes faster than the line carries does not grow it without bound.
TEST(WireLine, HoldsABoundedBacklog) {
    WireLine line(50, microseconds(0));
    const Bytes chunk(4096, 0x55);
    std::size_t taken = 0;
    for (int i = 0; i < 1000; ++i) {
        taken += line.fromBoard(chunk, atUs(0)) ? chunk.size() : 0;
    }
    EXPECT_EQ(taken, WireLine::kMaxQueuedBytes);
}

} // namespace
