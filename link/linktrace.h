// The trace of the link's traffic: with SUNDIAL_TRACE=PATH at _init, one line for each frame or
// acknowledgement sent or received, for the bytes a resynchronisation read past, and for each
// entry's result, appended to PATH. Without the variable nothing is written. Each line is
//
//   TIME KIND [BYTES] ; DECODING
//
// TIME: milliseconds with three decimals on a monotonic clock, since the _init that opened the
//       port began;
// KIND: tx (sent), rx (an awaited piece: an acknowledgement or a reply frame, whole or as much
//       of it as came), skip (read past to get back in step), call (an entry's result);
// BYTES: upper-case hexadecimal, one blank between bytes; none on call lines;
// DECODING: what the bytes are (describeRequest, describeReply), or the call, its arguments,
//       "result=R" and "ms=T".
// The README's "The link's trace" documents the format; it is kept stable.
#pragma once

#include "frame.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace sundial {

using MicrosecondClock = long long (*)();
long long steadyMicroseconds();

// A request frame as the trace names it: "probe", "setup K type=T",
// "read ch=C type=T [addr=0xAA] reg=0xRR count=N", "write ch=C type=T [addr=0xAA] reg=0xRR
// val=VV ...", or "unknown" for bytes that are none of these. `frame` may be anything.
std::string describeRequest(std::span<const std::uint8_t> frame);

// What an awaited piece was taken for. `expected` is the size the piece should have had.
enum class Piece { Ack, ProbeReply, WriteReply, ReadReply };
// "ack", "wrong-ack", "probe-reply", "write-reply", "read-reply values=VV ...", with
// " (bad frame)" for a reply that is no well-formed frame, or "missing N of M" for a piece that
// did not come whole. `bytes` may be anything.
std::string describeReply(Piece piece, std::span<const std::uint8_t> bytes, std::size_t expected);

class LinkTrace {
public:
    explicit constexpr LinkTrace(MicrosecondClock clock = &steadyMicroseconds) : m_clock(clock) {}
    LinkTrace(const LinkTrace&) = delete;
    LinkTrace& operator=(const LinkTrace&) = delete;

    // Follows the variable as _init finds it: `path` null or empty ends the trace; otherwise
    // the file is opened for appending ("-": standard error) and time starts again at 0. A file
    // that cannot be opened is said in one line on standard error and leaves the trace off; the
    // call goes on as without it.
    void follow(const char* path);
    // Closes the file, if any.
    void end();
    bool on() const { return m_file != nullptr; }

    // Microseconds since follow() started the time; for a call's duration.
    long long now() const;

    void sent(std::span<const std::uint8_t> bytes, std::string_view what);
    void received(std::span<const std::uint8_t> bytes, std::string_view what);
    void skipped(std::span<const std::uint8_t> bytes, std::string_view what);
    // An entry's line: `what` names it and its arguments; `startedUs` is now() when it began.
    void call(std::string_view what, int result, long long startedUs);

private:
    void line(std::string_view kind, std::span<const std::uint8_t> bytes, std::string_view what);

    MicrosecondClock m_clock;
    std::FILE* m_file = nullptr;
    bool m_ownsFile = false;
    long long m_start = 0;
};

} // namespace sundial
