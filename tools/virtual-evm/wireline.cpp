#include "wireline.h"

#include <algorithm>

namespace virtualevm {

WireLine::WireLine(unsigned baud, std::chrono::microseconds latency)
    : m_byteTime(baud == 0 ? std::chrono::nanoseconds(0)
                           : std::chrono::nanoseconds(1000000000ull * kBitsPerByte / baud)),
      m_latency(latency) {}

bool WireLine::put(Direction& direction, std::vector<std::uint8_t> bytes, TimePoint now,
                   Clock::duration after) {
    if (bytes.empty() || direction.bytes + bytes.size() > kMaxQueuedBytes) {
        return false;
    }
    const TimePoint start = std::max(direction.free, now);
    direction.free = start + m_byteTime * static_cast<long long>(bytes.size());
    direction.bytes += bytes.size();
    direction.pieces.push_back(Piece{direction.free + after, std::move(bytes)});
    return true;
}

void WireLine::fromPc(const std::uint8_t* bytes, std::size_t size, TimePoint now) {
    put(m_toBoard, std::vector<std::uint8_t>(bytes, bytes + size), now, Clock::duration::zero());
}

bool WireLine::fromBoard(std::vector<std::uint8_t> bytes, TimePoint now) {
    return put(m_toPc, std::move(bytes), now, m_latency);
}

std::vector<std::vector<std::uint8_t>> WireLine::take(Direction& direction, TimePoint now) {
    std::vector<std::vector<std::uint8_t>> arrived;
    while (!direction.pieces.empty() && direction.pieces.front().arrives <= now) {
        direction.bytes -= direction.pieces.front().bytes.size();
        arrived.push_back(std::move(direction.pieces.front().bytes));
        direction.pieces.pop_front();
    }
    return arrived;
}

std::vector<std::vector<std::uint8_t>> WireLine::arrivedAtBoard(TimePoint now) {
    return take(m_toBoard, now);
}

std::vector<std::vector<std::uint8_t>> WireLine::arrivedAtPc(TimePoint now) {
    return take(m_toPc, now);
}

std::optional<WireLine::TimePoint> WireLine::nextArrival() const {
    std::optional<TimePoint> next;
    for (const Direction* direction : {&m_toBoard, &m_toPc}) {
        if (!direction->pieces.empty()) {
            const TimePoint when = direction->pieces.front().arrives;
            next = next ? std::min(*next, when) : when;
        }
    }
    return next;
}

void WireLine::clear() {
    m_toBoard = {};
    m_toPc = {};
}

} // namespace virtualevm
