#include "replyecho.h"

#include <algorithm>

namespace sundial {

namespace {

std::uint8_t sourcesOf(std::uint8_t value, std::span<const std::uint8_t> request) {
    std::uint8_t mask = 0;
    const std::size_t n = std::min(request.size(), ReplyEcho::kRequestBytes);
    for (std::size_t q = 0; q < n; ++q) {
        if (request[q] == value) {
            mask = static_cast<std::uint8_t>(mask | (1u << q));
        }
    }
    return mask;
}

} // namespace

void ReplyEcho::learn(std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply) {
    const std::size_t positions = std::min(reply.size(), kHeaderBytes);
    m_positions = m_learnt ? std::min(m_positions, positions) : positions;
    for (std::size_t p = 0; p < m_positions; ++p) {
        const std::uint8_t sources = sourcesOf(reply[p], request);
        if (!m_learnt) {
            m_sources[p] = sources;
            m_first[p] = reply[p];
            continue;
        }
        m_sources[p] &= sources;
        m_varied[p] = m_varied[p] || reply[p] != m_first[p];
    }
    m_learnt = true;
}

bool ReplyEcho::agrees(std::span<const std::uint8_t> request,
                       std::span<const std::uint8_t> reply) const {
    for (std::size_t p = 0; p < m_positions; ++p) {
        if (m_sources[p] == 0 || !m_varied[p]) {
            continue;
        }
        if (p >= reply.size()) {
            return false;
        }
        // Every proven source position must be in this request too, or there is no verdict.
        const std::uint8_t present =
            static_cast<std::uint8_t>((1u << std::min(request.size(), kRequestBytes)) - 1);
        if ((m_sources[p] & present) != m_sources[p]) {
            continue;
        }
        if ((sourcesOf(reply[p], request) & m_sources[p]) == 0) {
            return false;
        }
    }
    return true;
}

std::size_t ReplyEcho::provenPositions() const {
    std::size_t proven = 0;
    for (std::size_t p = 0; p < m_positions; ++p) {
        proven += m_sources[p] != 0 && m_varied[p] ? 1 : 0;
    }
    return proven;
}

} // namespace sundial
