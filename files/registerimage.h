// A snapshot or a history file played into the codec's ten registers without a board, so that
// two setups can be compared and carried elsewhere: from the codec's defaults, each write in
// turn, as the codec would take it; pauses take no time.
#pragma once

#include "device/codecregisters.h"

#include <optional>
#include <string>
#include <string_view>

namespace larkspur {

struct ImageOutcome {
    std::optional<RegisterImage> values; // none: the file could not be read, or a bad line
    int line = 0;                        // the bad line, from 1; 0 for a file not read
    std::string message;                 // the run's message for it, or why it was not read
};

// Addresses are taken without the SPI device's bits (6 and 5), as a history saved over SPI
// holds them; writes to addresses outside 0x10 to 0x19 are not in the image. A write of register
// 0x10 with its MRST bit clear resets every register to its default, as the codec does; the
// command bits read back as 1.
ImageOutcome replayIntoImage(std::string_view bytes);
// The file read as a script is (its first NUL ends it), then replayed.
ImageOutcome replayFileIntoImage(const std::string& path);

} // namespace larkspur
