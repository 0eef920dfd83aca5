#include "boardlink.h"

#include "ports.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace sundial {

namespace {

// Firmware that frames its read replies loosely keeps working with SUNDIAL_LENIENT_REPLIES=1.
bool lenientRepliesRequested() {
    const char* value = std::getenv("SUNDIAL_LENIENT_REPLIES");
    return value != nullptr && std::string_view(value) == "1";
}

// "reg=0x10 count=1": a call's register and count as the trace names them.
std::string callArguments(int channel, std::int32_t reg, int count) {
    char text[64];
    std::snprintf(text, sizeof text, "ch=%d reg=0x%02X count=%d", channel,
                  static_cast<unsigned>(reg), count);
    return text;
}

} // namespace

int BoardLink::init(int port, const Channel* channels) {
    if (channels == nullptr) {
        return 0;
    }
    std::copy(channels, channels + kChannels, m_channels.begin());
    m_lenientReplies = lenientRepliesRequested();
    m_trace.follow(std::getenv("SUNDIAL_TRACE"));
    const long long started = m_trace.now();
    const int found = port == -1 ? -1 : openAndSetUp(port);
    if (m_trace.on()) {
        m_trace.call("_init port=" + std::to_string(port), found, started);
    }
    return found;
}

int BoardLink::openAndSetUp(int port) {
    // A port still held from an earlier _init would stay locked and unreachable; let it go.
    dropPort();
    if (port == 0) {
        port = search(kFirstPort, kLastPort);
    } else if (port >= kFirstPort && port <= kLastPort) {
        port = search(port, port);
    } else {
        port = 0;
    }
    if (!isOpen()) {
        return 0;
    }
    for (int k = 0; k < kChannels; ++k) {
        writeTransaction(setupRequest(k, m_channels[static_cast<std::size_t>(k)].type));
    }
    return port;
}

int BoardLink::close() {
    const long long started = m_trace.on() ? m_trace.now() : 0;
    int result = 0;
    if (isOpen()) {
        result = m_port->close();
        delete m_port;
        m_port = nullptr;
    }
    if (m_trace.on()) {
        m_trace.call("_close", result, started);
    }
    // The next _init follows the variable again.
    m_trace.end();
    return result;
}

int BoardLink::readData(int channel, std::int32_t reg, std::uint8_t* buffer, int count) {
    const long long started = m_trace.on() ? m_trace.now() : 0;
    const int result = read(channel, reg, buffer, count);
    if (m_trace.on()) {
        m_trace.call("_readData " + callArguments(channel, reg, count), result, started);
    }
    return result;
}

int BoardLink::writeData(int channel, std::int32_t reg, const std::uint8_t* data, int count) {
    const long long started = m_trace.on() ? m_trace.now() : 0;
    const int result = write(channel, reg, data, count);
    if (m_trace.on()) {
        m_trace.call("_writeData " + callArguments(channel, reg, count), result, started);
    }
    return result;
}

int BoardLink::read(int channel, std::int32_t reg, std::uint8_t* buffer, int count) {
    if (!isOpen() || buffer == nullptr || channel < 0 || channel >= kChannels) {
        return 1;
    }
    const auto request =
        readRequest(channel, m_channels[static_cast<std::size_t>(channel)], reg, count);
    if (!request) {
        return 1;
    }
    std::array<std::uint8_t, kMaxReplyPayload> payload{};
    const int code =
        exchange(*request, {payload.data(), static_cast<std::size_t>(readReplyPayload(count))},
                 m_lenientReplies ? Reply::Unchecked : Reply::Checked, readEcho(*request));
    if (code == 0) {
        std::copy_n(payload.begin() + kReadValueOffset, count, buffer);
    }
    return code;
}

int BoardLink::write(int channel, std::int32_t reg, const std::uint8_t* data, int count) {
    if (!isOpen() || data == nullptr || channel < 0 || channel >= kChannels || count < 1) {
        return 1;
    }
    const auto request = writeRequest(channel, m_channels[static_cast<std::size_t>(channel)], reg,
                                      {data, static_cast<std::size_t>(count)});
    if (!request) {
        return 1;
    }
    return writeTransaction(*request);
}

int BoardLink::search(int first, int last) {
    FoundBoard found = PortSearch(m_opener, m_clock, m_waiter, &m_trace).run(first, last);
    if (!found.port) {
        return 0;
    }
    m_port = found.port.release();
    m_outOfStep = false;
    m_readEchoes.fill(ReplyEcho());
    m_shortEchoes.fill(ReplyEcho());
    m_probeAnswer = found.answer;
    m_writeLikeness.fill(Likeness::Unknown);
    const Frame probe = probeRequest();
    shortEcho(probe).learn(
        probe.payload(),
        std::span<const std::uint8_t>(found.answer).subspan(2, kShortReplyPayload));
    return found.number;
}

int BoardLink::exchange(const Frame& request, std::span<std::uint8_t> payload, Reply judging,
                        ReplyEcho& echo) {
    if (!send(request)) {
        return m_notSent;
    }
    std::array<std::uint8_t, 2> ack{};
    if (!receiveExactly(ack, Piece::Ack)) {
        return failed(2);
    }
    if (ack != kAck) {
        return failed(3);
    }
    std::array<std::uint8_t, kMaxReplyFrame> reply{};
    const std::span<std::uint8_t> frame{reply.data(), payload.size() + 4};
    if (!receiveExactly(frame, Piece::ReadReply)) {
        return failed(4);
    }
    // Bytes of the right count are not yet this request's reply: a late answer to an earlier
    // request, or a frame torn by noise, would otherwise hand the caller wrong values.
    if (judging == Reply::Checked && !judge(request, frame, echo)) {
        return failed(4);
    }
    if (!acknowledge()) {
        return failed(5);
    }
    std::copy_n(reply.begin() + 2, payload.size(), payload.begin());
    echo.learn(request.payload(), payload);
    return 0;
}

int BoardLink::writeTransaction(const Frame& request) {
    if (!send(request)) {
        return m_notSent;
    }
    // Two bytes that are not the acknowledgement are noise or another exchange's bytes: the
    // board may never have taken the request.
    std::array<std::uint8_t, 2> ack{};
    if (!receiveExactly(ack, Piece::Ack) || (!m_lenientReplies && ack != kAck)) {
        return failed(2);
    }
    if (writeExpectsReply(request.typeByte())) {
        std::array<std::uint8_t, kShortReplyPayload + 4> reply{};
        ReplyEcho& echo = shortEcho(request);
        Likeness& likeness = m_writeLikeness[layoutOf(request)];
        if (!receiveExactly(reply, Piece::WriteReply) ||
            (!m_lenientReplies && !judge(request, reply, echo))) {
            return failed(3);
        }
        // Where this layout's replies differ from the probe's answer, that answer is a late one
        // of an earlier probe, not this write's.
        const bool probeLike = isProbeAnswer(reply);
        if (!m_lenientReplies && probeLike && likeness == Likeness::Distinct) {
            return failed(3);
        }
        if (!acknowledge()) {
            return failed(4);
        }
        echo.learn(request.payload(), std::span<const std::uint8_t>(reply).subspan(2, 3));
        if (probeLike) {
            likeness = Likeness::Alike;
        } else if (likeness == Likeness::Unknown) {
            likeness = Likeness::Distinct;
        }
    }
    return 0;
}

bool BoardLink::isProbeAnswer(std::span<const std::uint8_t> frame) const {
    return std::equal(frame.begin(), frame.end(), m_probeAnswer.begin(), m_probeAnswer.end());
}

bool BoardLink::probeAnswerStandsOut() const {
    return std::none_of(m_writeLikeness.begin(), m_writeLikeness.end(),
                        [](Likeness likeness) { return likeness == Likeness::Alike; });
}

std::size_t BoardLink::layoutOf(const Frame& request) {
    return std::min<std::size_t>(request.typeByte(), kLayouts - 1);
}

ReplyEcho& BoardLink::readEcho(const Frame& request) {
    return m_readEchoes[layoutOf(request)];
}

ReplyEcho& BoardLink::shortEcho(const Frame& request) {
    return m_shortEchoes[layoutOf(request)];
}

bool BoardLink::judge(const Frame& request, std::span<const std::uint8_t> reply,
                      const ReplyEcho& echo) const {
    return isWellFormedFrame(reply) &&
           echo.agrees(request.payload(), reply.subspan(2, reply.size() - 4));
}

bool BoardLink::send(const Frame& request) {
    if (m_outOfStep && !resynchronise()) {
        // The board has not answered in step since the last failure: this request would only
        // meet older answers. It is not sent. A port that takes nothing any more (a connection
        // the server closed) fails as a send does.
        m_notSent = m_resyncUnsent ? 1 : 2;
        return false;
    }
    // Whatever is waiting now belongs to no transaction (a reply that came after its request
    // gave up, noise): it must not be taken for this request's answer.
    m_port->purgeReceive();
    if (!m_port->write(request.bytes())) {
        m_notSent = failed(1);
        return false;
    }
    if (m_trace.on()) {
        m_trace.sent(request.bytes(), describeRequest(request.bytes()));
    }
    return true;
}

bool BoardLink::acknowledge() {
    if (!m_port->write(kAck)) {
        return false;
    }
    if (m_trace.on()) {
        m_trace.sent(kAck, "ack");
    }
    return true;
}

bool BoardLink::resynchronise() {
    const Frame probe = probeRequest();
    m_port->purgeReceive();
    m_resyncUnsent = !m_port->write(probe.bytes());
    if (m_resyncUnsent) {
        return false;
    }
    if (m_trace.on()) {
        m_trace.sent(probe.bytes(), "probe (resync)");
    }
    // The last bytes seen must be the probe's answer: acknowledgement and a 3-byte reply frame.
    // One that is the answer the board gave the search ends the wait after a short quiet; one
    // merely shaped like it may be a late write reply with the probe's answer still to come.
    constexpr std::size_t kAnswer = 2 + kShortReplyPayload + 4;
    std::array<std::uint8_t, kAnswer> tail{};
    std::size_t seen = 0;
    const auto quietNeeded = [&]() -> std::optional<int> {
        if (seen < kAnswer || tail[0] != kAck[0] || tail[1] != kAck[1]) {
            return std::nullopt;
        }
        const std::span<const std::uint8_t> frame(tail.data() + 2, kAnswer - 2);
        if (!m_lenientReplies && !judge(probe, frame, shortEcho(probe))) {
            return std::nullopt;
        }
        return isProbeAnswer(frame) && probeAnswerStandsOut() ? kResyncQuietMs
                                                              : kResyncUnsureQuietMs;
    };
    // What the wait reads, kept for the trace only: the bytes it read past, then the answer.
    std::array<std::uint8_t, kResyncByteLimit + 64> taken{};
    const auto traceTaken = [&](bool inStep) {
        if (!m_trace.on()) {
            return;
        }
        const std::size_t kept = std::min(seen, taken.size());
        const std::size_t past = inStep ? kept - kAnswer : kept;
        if (past > 0) {
            m_trace.skipped(std::span(taken).first(past), inStep ? "read past" : "not in step");
        }
        if (inStep) {
            m_trace.received(std::span(taken).subspan(past, 2), "ack");
            m_trace.received(std::span(taken).subspan(past + 2, kAnswer - 2), "probe-reply");
        }
    };
    const long long deadline = m_clock() + kResyncLimitMs;
    std::array<std::uint8_t, 64> chunk{};
    for (;;) {
        const long long left = deadline - m_clock();
        if (left <= 0) {
            traceTaken(false);
            return false;
        }
        const std::optional<int> quiet = quietNeeded();
        const int wait =
            static_cast<int>(std::min<long long>(quiet.value_or(kReadTimeoutMs), left));
        const int n = m_port->readSoon(chunk, wait);
        if (n < 0) {
            traceTaken(false);
            return false;
        }
        if (n == 0 && quiet) {
            if (wait < *quiet) {
                traceTaken(false);
                return false; // the time ran out before the quiet that would prove it
            }
            break; // nothing after the probe's answer: every older reply is behind us
        }
        if (m_trace.on() && seen + static_cast<std::size_t>(n) <= taken.size()) {
            std::copy_n(chunk.begin(), n, taken.begin() + static_cast<std::ptrdiff_t>(seen));
        }
        seen += static_cast<std::size_t>(n);
        if (seen > kResyncByteLimit) {
            traceTaken(false);
            return false;
        }
        for (int i = 0; i < n; ++i) {
            std::rotate(tail.begin(), tail.begin() + 1, tail.end());
            tail.back() = chunk[static_cast<std::size_t>(i)];
        }
    }
    traceTaken(true);
    if (!acknowledge()) {
        return false;
    }
    m_outOfStep = false;
    return true;
}

bool BoardLink::receiveExactly(std::span<std::uint8_t> buffer, Piece piece) {
    std::size_t have = 0;
    const bool arrived =
        AwaitedPiece::receive(*m_port, buffer, have) == AwaitedPiece::State::Arrived;
    if (m_trace.on()) {
        m_trace.received(buffer.first(have),
                         describeReply(piece, buffer.first(have), buffer.size()));
    }
    return arrived;
}

int BoardLink::failed(int code) {
    // The rest of a failed exchange may still be on its way: let the line go quiet before
    // discarding, so that it does not meet the next request. What outlives the drain is dealt
    // with by resynchronising before the next request.
    m_port->drainReceive(kDrainQuietMs, kDrainLimitMs);
    m_outOfStep = true;
    return code;
}

void BoardLink::dropPort() {
    if (isOpen()) {
        m_port->close();
        delete m_port;
        m_port = nullptr;
    }
}

} // namespace sundial
