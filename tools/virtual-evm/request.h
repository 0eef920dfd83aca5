#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace virtualevm {

// A request frame from the PC, taken apart by its own type byte (not by earlier set-ups).
struct Request {
    enum class Kind { Probe, Setup, Write, Read, Unknown };

    Kind kind = Kind::Unknown;
    uint8_t command = 0;
    uint8_t type = 0;      // payload byte 1; for a set-up this is 0x00
    unsigned channel = 0;  // low nibble of the command (set-up: k)
    uint8_t setupType = 0; // set-up: the channel type being announced
    uint8_t address = 0;   // device address byte (types 1, 2 and 3)
    uint8_t regField = 0;  // first register as sent (type 3 reads carry bit 7)
    unsigned count = 0;
    std::vector<uint8_t> data; // write data

    // The PC waits for a reply frame after a probe, a read, and any request whose type byte has
    // one of its low three bits set; otherwise it takes the acknowledgement alone.
    bool expectsReply() const;
    // Transcript text, e.g. "read ch=0 type=1 addr=0x4C reg=0x10 count=1".
    std::string describe() const;
    // Transcript text of the reply: "probe-reply", "read-reply" or "write-reply".
    std::string replyName() const;

    static Request decode(std::span<const uint8_t> payload);
};

} // namespace virtualevm
