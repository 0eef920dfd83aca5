// The board link: the library's entries as exchanges and write transactions over the one board
// port that the port search (portsearch.h) found.
#pragma once

#include "awaitedpiece.h"
#include "boardport.h"
#include "frame.h"
#include "inputwait.h"
#include "linkclock.h"
#include "linktrace.h"
#include "portsearch.h"
#include "replyecho.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace sundial {

// Back in step after a failure: the probe's answer must be the last thing on the line for this
// long. Longer than the drain's quiet, because a board that was stalled answers its queued
// requests back to back, and a bridge may pass them on in bursts.
inline constexpr int kResyncQuietMs = 50;
// An answer shaped like the probe's (1F 00 and a 3-byte frame) that is not the one the board
// gave the search's probe may be a late write reply: only a whole read wait of quiet after it
// says that nothing, the probe's answer included, is still on its way.
inline constexpr int kResyncUnsureQuietMs = kReadTimeoutMs;
// How long the probe's answer may take in all: as long as any awaited piece, plus a drain's worth
// of older replies arriving before it.
inline constexpr int kResyncLimitMs = AwaitedPiece::kLongestWaitMs + kDrainLimitMs;
// A line that keeps sending during the resynchronisation is not in step.
inline constexpr int kResyncByteLimit = 2048;

class BoardLink {
public:
    // Constant-initialised, with no destructor work: the library's single instance must not run
    // code when it is loaded or unloaded.
    explicit constexpr BoardLink(PortOpener opener, MillisecondClock clock = &steadyMilliseconds,
                                 InputWaiter waiter = &waitForInput,
                                 MicrosecondClock traceClock = &steadyMicroseconds)
        : m_opener(opener), m_clock(clock), m_waiter(waiter), m_trace(traceClock) {}
    BoardLink(const BoardLink&) = delete;
    BoardLink& operator=(const BoardLink&) = delete;

    // The entries of the library, with the contracts of its public header.
    // `channels` holds kChannels entries, or is null.
    // Each call's result, and the traffic it made, go to the trace (SUNDIAL_TRACE at init).
    int init(int port, const Channel* channels);
    int close();
    int readData(int channel, std::int32_t reg, std::uint8_t* buffer, int count);
    int writeData(int channel, std::int32_t reg, const std::uint8_t* data, int count);

    bool isOpen() const { return m_port != nullptr; }
    // Replies judged by their length alone (SUNDIAL_LENIENT_REPLIES=1 at the last init).
    bool lenientReplies() const { return m_lenientReplies; }
    // A transaction failed and the line has not been seen back in step since.
    bool outOfStep() const { return m_outOfStep; }
    const std::array<Channel, kChannels>& channels() const { return m_channels; }

private:
    enum class Reply { Unchecked, Checked };

    int openAndSetUp(int port);
    int read(int channel, std::int32_t reg, std::uint8_t* buffer, int count);
    int write(int channel, std::int32_t reg, const std::uint8_t* data, int count);

    // Searches ports `first` to `last` (portsearch.h) and keeps the port found open, its
    // probe's answer learnt. Its number, or 0.
    int search(int first, int last);
    // Exchange: request, acknowledgement 1F 00, reply of `payload.size()` payload bytes, closing
    // acknowledgement. The reply's payload lands in `payload`. A checked reply must also be a
    // well-formed frame of that size, or it counts as not arrived.
    int exchange(const Frame& request, std::span<std::uint8_t> payload, Reply judging,
                 ReplyEcho& echo);
    int writeTransaction(const Frame& request);
    // Whether `reply` (a whole frame) is acceptable as the answer to `request`.
    bool judge(const Frame& request, std::span<const std::uint8_t> reply,
               const ReplyEcho& echo) const;
    // Whether a 7-byte frame is the answer the board gave the search's probe.
    bool isProbeAnswer(std::span<const std::uint8_t> frame) const;
    // Whether that answer tells the probe from every write: no write reply has looked like it.
    bool probeAnswerStandsOut() const;
    // After a failure, replies to earlier requests may still be on their way (held by an
    // adapter, a network bridge or a board that stopped reading its line). The board answers
    // in order, so a probe's answer that is the last thing on the line puts them behind us.
    bool resynchronise();
    // Sends the request, resynchronising first when the line is out of step; false when the
    // request did not go out (the code then comes from `notSent`).
    bool send(const Frame& request);
    // Receives an awaited piece whole, and traces it as what it was awaited for.
    bool receiveExactly(std::span<std::uint8_t> buffer, Piece piece);
    // Sends the closing acknowledgement.
    bool acknowledge();
    int failed(int code);
    void dropPort();

    PortOpener m_opener;
    MillisecondClock m_clock;
    InputWaiter m_waiter;
    LinkTrace m_trace;
    // Owned; a raw pointer keeps the instance trivially destructible (see the constructor).
    BoardPort* m_port = nullptr;
    std::array<Channel, kChannels> m_channels{};
    bool m_lenientReplies = false;
    bool m_outOfStep = false;
    int m_notSent = 1;           // the code of the last send() that returned false
    bool m_resyncUnsent = false; // the last resynchronisation could not send its probe
    // What reply headers repeat, learnt apart for each layout of request: reads and the short
    // replies (probe, writes), each by the request's type byte (0 the probe, 1 to 4 the channel
    // types), since the same byte sits at different places in each.
    static constexpr std::size_t kLayouts = 5;
    static std::size_t layoutOf(const Frame& request);
    ReplyEcho& readEcho(const Frame& request);
    ReplyEcho& shortEcho(const Frame& request);
    std::array<ReplyEcho, kLayouts> m_readEchoes{};
    std::array<ReplyEcho, kLayouts> m_shortEchoes{};
    // The board's answer to the search's probe (the 7-byte frame), and for each layout of write
    // whether its replies have looked like it. Firmware need not make a probe's answer and a
    // write's look different; where they differ, a late write reply is never taken for the
    // probe's answer, nor the probe's answer for a write's reply.
    enum class Likeness : std::uint8_t { Unknown, Distinct, Alike };
    ProbeAnswer m_probeAnswer{};
    std::array<Likeness, kLayouts> m_writeLikeness{};
};

} // namespace sundial
