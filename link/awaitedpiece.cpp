#include "awaitedpiece.h"

namespace sundial {

AwaitedPiece::State AwaitedPiece::receive(BoardPort& port, std::span<std::uint8_t> piece,
                                          std::size_t& have) {
    AwaitedPiece progress;
    State state = piece.empty() ? State::Arrived : State::Waiting;
    while (state == State::Waiting) {
        const int n = port.read(piece.subspan(progress.m_have));
        if (n < 0) {
            state = State::Failed;
            break;
        }
        progress.m_have += static_cast<std::size_t>(n);
        state = progress.endCall(piece.size());
    }
    have = progress.m_have;
    return state;
}

AwaitedPiece::State AwaitedPiece::step(BoardPort& port, std::span<std::uint8_t> piece,
                                       MillisecondClock clock) {
    for (;;) {
        const int n = port.readSoon(piece.subspan(m_have), 0);
        if (n < 0) {
            m_callEnds = -1;
            return State::Failed;
        }
        m_have += static_cast<std::size_t>(n);
        const long long now = clock();
        if (m_callEnds < 0) {
            // A read call begins: bytes already there end it at once, otherwise it waits.
            if (n == 0) {
                m_callEnds = now + kReadTimeoutMs;
                return State::Waiting;
            }
        } else if (m_have < piece.size() && now < m_callEnds) {
            return State::Waiting; // the waiting call goes on
        }
        m_callEnds = -1;
        const State state = endCall(piece.size());
        if (state != State::Waiting) {
            return state;
        }
    }
}

AwaitedPiece::State AwaitedPiece::endCall(std::size_t size) {
    ++m_calls;
    if (m_have == size) {
        return State::Arrived;
    }
    return m_calls == kCalls ? State::Missing : State::Waiting;
}

} // namespace sundial
