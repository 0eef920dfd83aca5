#pragma once

#include "evmboard.h"
#include "faultplan.h"
#include "frameparser.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace virtualevm {

// One line of traffic: a transcript entry and, for tx, bytes to put on the line.
struct Event {
    enum class Direction { Rx, Tx };

    Direction direction = Direction::Rx;
    std::vector<uint8_t> bytes;
    std::string text;
    unsigned delayMs = 0; // tx: how long after the triggering input to send it
    // tx: keep repeating these bytes every few milliseconds for this long after the first time
    unsigned babbleMs = 0;
    // tx: kept back until the "release" command
    bool held = false;
    // tx: the board stops answering for this long from now: this and every later answer goes
    // out, in order, once the time is up (a board that stopped reading its line)
    unsigned stallMs = 0;
    // tx: delayMs counts from the last answer still due (or from now when none is)
    bool behindPending = false;
};

// The board's side of the protocol without any I/O: bytes in, transcript lines and timed output
// out. The program wraps it in a pty and a poll loop; tests drive it directly.
class EvmSession {
public:
    EvmBoard& board() { return m_board; }
    const EvmBoard& board() const { return m_board; }
    FaultPlan& faults() { return m_faults; }

    // Requests are answered in the order they arrive; events are appended in that order.
    void receive(std::span<const uint8_t> bytes, std::vector<Event>& events);
    // Called when the line has been quiet with a frame half received.
    void flushPartial(std::vector<Event>& events);
    bool hasPartial() const { return m_parser.hasPartial(); }
    // Drops half-received input and a held-back reply tail, e.g. when the cable is pulled.
    void resetLine() {
        m_parser.reset();
        m_held.reset();
    }
    // A split reply's tail is waiting for the next request frame.
    bool holdsTail() const { return m_held.has_value(); }

    // One control command (board state and faults); returns "ok[ data]" or "error: reason".
    std::string control(std::string_view line);

private:
    void handle(const FrameParser::Item& item, std::vector<Event>& events);
    void answer(const Request& request, const std::vector<uint8_t>& frame,
                std::vector<Event>& events);

    EvmBoard m_board;
    FaultPlan m_faults;
    FrameParser m_parser;
    std::optional<Event> m_held;            // the tail of a split reply
    std::vector<FrameParser::Item> m_items; // reused between calls
};

} // namespace virtualevm
