#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace virtualevm {

// Splits the byte stream from the PC into frames, acknowledgements and noise. Bytes may arrive
// in any chunking; a frame or an acknowledgement split over several feeds is kept until complete.
class FrameParser {
public:
    enum class Kind { Frame, Ack, BadChecksum, Garbage };

    struct Item {
        Kind kind;
        std::vector<uint8_t> bytes; // everything the item consumed, as received
    };

    void feed(std::span<const uint8_t> bytes, std::vector<Item>& out);

    // Gives up on an unfinished frame or acknowledgement (the line went quiet): its first byte
    // becomes garbage and the rest is scanned again, so a real frame behind a stray start byte
    // is not lost.
    void flushPartial(std::vector<Item>& out);

    bool hasPartial() const { return !m_pending.empty(); }
    void reset() { m_pending.clear(); }

private:
    void scan(std::vector<Item>& out);
    static void addGarbage(uint8_t byte, std::vector<Item>& out);

    std::vector<uint8_t> m_pending;
};

} // namespace virtualevm
