// Fuzz target for the telnet side of network ports: bytes from the server, cut anywhere and with
// purges given up on anywhere, never crash the decoder, decode the same however they are cut,
// yield no more data than they carry, and owe the server a bounded number of answers; data the
// link sends comes back whole through the decoder.
#include "link/telnetcodec.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

struct Outcome {
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> held;
    std::vector<std::uint8_t> answers;
    sundial::TelnetCodec codec;
};

// Decodes `wire` in pieces of `piece` bytes (0: at once), with `purges` purges pending at the
// start, given up on (their held data read, as the network port does) at `giveUpAt`.
void decode(Outcome& out, std::span<const std::uint8_t> wire, std::size_t piece, int purges,
            std::size_t giveUpAt) {
    for (int i = 0; i < purges; ++i) {
        out.codec.purgeSent();
    }
    const auto feed = [&](std::span<const std::uint8_t> part) {
        const std::size_t step = piece == 0 ? part.size() : piece;
        for (std::size_t at = 0; at < part.size(); at += step) {
            out.codec.decode(part.subspan(at, std::min(step, part.size() - at)), out.data, out.held,
                             out.answers);
        }
    };
    feed(wire.first(giveUpAt));
    out.codec.forgetPurges();
    out.data.insert(out.data.end(), out.held.begin(), out.held.end());
    out.held.clear();
    feed(wire.subspan(giveUpAt));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // Two bytes of set-up: purges pending and the piece size; where the purges are given up on.
    const int purges = bytes[0] & 0x03;
    const std::size_t piece = bytes[0] >> 2;
    const std::span<const std::uint8_t> wire(bytes + 2, size - 2);
    const std::size_t giveUpAt = wire.empty() ? 0 : bytes[1] % (wire.size() + 1);

    Outcome whole;
    decode(whole, wire, 0, purges, giveUpAt);
    Outcome cut;
    decode(cut, wire, piece, purges, giveUpAt);
    require(cut.data == whole.data && cut.held == whole.held && cut.answers == whole.answers);
    require(cut.codec.refused() == whole.codec.refused() &&
            cut.codec.binaryAccepted() == whole.codec.binaryAccepted() &&
            cut.codec.comPortAccepted() == whole.codec.comPortAccepted() &&
            cut.codec.settingsAnswered() == whole.codec.settingsAnswered() &&
            cut.codec.settingsAsked() == whole.codec.settingsAsked() &&
            cut.codec.purgesPending() == whole.codec.purgesPending() &&
            cut.codec.purgesAcknowledged() == whole.codec.purgesAcknowledged());
    // Every data byte takes at least one byte of the wire; each option is declined once per side,
    // in three bytes.
    require(whole.data.size() + whole.held.size() <= wire.size());
    require(whole.answers.size() <= 2 * 256 * 3);
    require(whole.codec.purgesPending() == 0);

    // What the link sends is data again on the other side, whatever it holds.
    std::vector<std::uint8_t> encoded;
    sundial::TelnetCodec::encodeData(wire, encoded);
    Outcome echo;
    echo.codec.decode(encoded, echo.data, echo.held, echo.answers);
    require(std::equal(echo.data.begin(), echo.data.end(), wire.begin(), wire.end()));
    require(echo.answers.empty());
    return 0;
}
