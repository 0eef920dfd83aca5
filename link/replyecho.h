// What a board's reply headers repeat of their requests, learnt from the replies taken on one
// open port. The protocol leaves a reply's header bytes to the firmware: some firmware repeats
// the command, the register or the count there, some puts constants or nothing of the request.
// A header position counts as an echo only once it has equalled the same request position in
// every reply so far and has taken at least two different values; from then on a reply that
// breaks it belongs to another request. Firmware that repeats nothing never gets a checked
// position, so it keeps working as before.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace sundial {

class ReplyEcho {
public:
    static constexpr std::size_t kHeaderBytes = 5;  // reply payload bytes looked at
    static constexpr std::size_t kRequestBytes = 6; // request payload bytes they may repeat

    constexpr ReplyEcho() = default;

    // Takes the header of a reply that was accepted for `request` (both payloads).
    void learn(std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply);
    // Whether `reply` repeats `request` at every position proven to be an echo.
    bool agrees(std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply) const;
    // Positions proven to be echoes (for tests and diagnostics).
    std::size_t provenPositions() const;

private:
    // Bit q of m_sources[p]: reply byte p has equalled request byte q in every reply so far.
    std::array<std::uint8_t, kHeaderBytes> m_sources{};
    std::array<std::uint8_t, kHeaderBytes> m_first{};
    std::array<bool, kHeaderBytes> m_varied{};
    std::size_t m_positions = 0; // header positions every reply so far has had
    bool m_learnt = false;
};

} // namespace sundial
