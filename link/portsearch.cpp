#include "portsearch.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

namespace sundial {

// One port of a search: its probe's progress. The probe is an exchange like any other: the
// acknowledgement, then the 3-byte reply frame, each an awaited piece.
struct PortSearch::Candidate {
    enum class Stage { Acknowledgement, Reply, Answered, Failed };
    int number = 0;
    std::unique_ptr<BoardPort> port;
    Stage stage = Stage::Acknowledgement;
    ProbeAnswer bytes{};
    AwaitedPiece piece; // of the stage under way
};

FoundBoard PortSearch::run(int first, int last) const {
    using Stage = Candidate::Stage;
    const Frame probe = probeRequest();
    std::vector<Candidate> candidates; // in ascending port order
    int next = first;
    long long openNextAt = m_clock();
    for (;;) {
        const bool waiting = std::any_of(candidates.begin(), candidates.end(), [](const auto& c) {
            return c.stage == Stage::Acknowledgement || c.stage == Stage::Reply;
        });
        const bool answered = std::any_of(candidates.begin(), candidates.end(),
                                          [](const auto& c) { return c.stage == Stage::Answered; });
        // Ports that do not open cost nothing; the next one that opens is probed as soon as the
        // ones before it have had their head start. Above a port that answered, none can win.
        while (next <= last && !answered && (!waiting || m_clock() >= openNextAt)) {
            Candidate candidate;
            candidate.number = next++;
            candidate.port = m_opener(candidate.number);
            if (!candidate.port) {
                continue;
            }
            candidate.port->purgeReceive();
            if (!candidate.port->write(probe.bytes())) {
                candidate.port->close();
                continue;
            }
            if (tracing()) {
                m_trace->sent(probe.bytes(), "probe port=" + std::to_string(candidate.number));
            }
            candidates.push_back(std::move(candidate));
            openNextAt = m_clock() + kStaggerMs;
            break;
        }
        std::vector<BoardPort*> pending;
        long long wakeAt = next <= last && !answered ? openNextAt : -1;
        for (Candidate& candidate : candidates) {
            if (!advance(candidate)) {
                pending.push_back(candidate.port.get());
                const long long callEnds = candidate.piece.callEnds();
                if (callEnds >= 0 && (wakeAt < 0 || callEnds < wakeAt)) {
                    wakeAt = callEnds;
                }
            }
            if (candidate.stage == Stage::Failed && candidate.port) {
                candidate.port->close();
                candidate.port.reset();
            }
        }
        // The lowest port still in the race decides: it answered, or it is still waiting.
        const auto lowest =
            std::find_if(candidates.begin(), candidates.end(),
                         [](const Candidate& c) { return c.stage != Stage::Failed; });
        if (lowest != candidates.end() && lowest->stage == Stage::Answered) {
            for (Candidate& candidate : candidates) {
                if (&candidate != &*lowest && candidate.port) {
                    candidate.port->close();
                }
            }
            return {lowest->number, std::move(lowest->port), lowest->bytes};
        }
        if (pending.empty() && next > last) {
            return {}; // every port failed or none opened
        }
        if (!pending.empty()) {
            const int wait = wakeAt < 0 ? 0 : static_cast<int>(std::max(0LL, wakeAt - m_clock()));
            m_waiter(pending, wait);
        }
    }
}

bool PortSearch::advance(Candidate& candidate) const {
    using Stage = Candidate::Stage;
    const auto traceReceived = [&](std::span<const std::uint8_t> piece, Piece kind) {
        if (tracing()) {
            const std::span<const std::uint8_t> came = piece.first(candidate.piece.have());
            m_trace->received(came, describeReply(kind, came, piece.size()) +
                                        " port=" + std::to_string(candidate.number));
        }
    };
    for (;;) {
        if (candidate.stage == Stage::Answered || candidate.stage == Stage::Failed) {
            return true;
        }
        const std::span<std::uint8_t> piece =
            candidate.stage == Stage::Acknowledgement
                ? std::span<std::uint8_t>(candidate.bytes).first(kAck.size())
                : std::span<std::uint8_t>(candidate.bytes);
        const Piece kind =
            candidate.stage == Stage::Acknowledgement ? Piece::Ack : Piece::ProbeReply;
        switch (candidate.piece.step(*candidate.port, piece, m_clock)) {
        case AwaitedPiece::State::Waiting:
            return false;
        case AwaitedPiece::State::Missing:
        case AwaitedPiece::State::Failed:
            traceReceived(piece, kind);
            candidate.stage = Stage::Failed;
            continue;
        case AwaitedPiece::State::Arrived:
            traceReceived(piece, kind);
            break;
        }
        if (candidate.stage == Stage::Acknowledgement) {
            if (candidate.bytes[0] != kAck[0] || candidate.bytes[1] != kAck[1]) {
                candidate.stage = Stage::Failed;
                continue;
            }
            candidate.stage = Stage::Reply;
            candidate.piece = AwaitedPiece();
            continue;
        }
        candidate.stage = candidate.port->write(kAck) ? Stage::Answered : Stage::Failed;
        if (tracing() && candidate.stage == Stage::Answered) {
            m_trace->sent(kAck, "ack port=" + std::to_string(candidate.number));
        }
    }
}

} // namespace sundial
