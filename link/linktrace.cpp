#include "linktrace.h"

#include <cerrno>
#include <chrono>
#include <cstring>

namespace sundial {

namespace {

constexpr std::uint8_t kProbeCommand = 0x8F;
constexpr std::uint8_t kFirstSetup = 0x50;
constexpr std::uint8_t kFirstRead = 0x10;
constexpr std::uint8_t kChannelMask = 0x0F;

void appendHex(std::string& text, std::uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
}

void appendBytes(std::string& text, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            text += ' ';
        }
        appendHex(text, bytes[i]);
    }
}

std::string hexByte(std::uint8_t byte) {
    std::string text = "0x";
    appendHex(text, byte);
    return text;
}

// "ms" with three decimals, without the locale's decimal point.
std::string milliseconds(long long microseconds) {
    const bool negative = microseconds < 0;
    const long long magnitude = negative ? -microseconds : microseconds;
    char text[32];
    std::snprintf(text, sizeof text, "%s%lld.%03lld", negative ? "-" : "", magnitude / 1000,
                  magnitude % 1000);
    return text;
}

// Channel, type, and where the register sits after them, as the request frames lay them out.
std::string addressing(std::span<const std::uint8_t> payload, std::size_t& next) {
    const std::uint8_t type = payload[1];
    std::string text =
        "ch=" + std::to_string(payload[0] & kChannelMask) + " type=" + std::to_string(type);
    if ((type == SUNDIAL_TYPE_I2C || type == SUNDIAL_TYPE_I2C2) && payload.size() >= 4) {
        text += " addr=" + hexByte(payload[2]) + " reg=" + hexByte(payload[3]);
        next = 4;
    } else if (payload.size() >= 3) {
        text += " reg=" + hexByte(payload[2]);
        next = type == SUNDIAL_TYPE_SPI ? 5 : 4;
    } else {
        next = payload.size();
    }
    return text;
}

} // namespace

long long steadyMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string describeRequest(std::span<const std::uint8_t> frame) {
    if (frame.size() < 5 || !isWellFormedFrame(frame)) {
        return "unknown";
    }
    const std::span<const std::uint8_t> payload = frame.subspan(2, frame.size() - 4);
    const std::uint8_t command = payload[0];
    if (command == kProbeCommand && payload.size() == 3) {
        return "probe";
    }
    if (command >= kFirstSetup && command < kFirstSetup + kChannels && payload.size() == 3) {
        return "setup " + std::to_string(command - kFirstSetup) +
               " type=" + std::to_string(payload[2]);
    }
    if (payload.size() < 2) {
        return "unknown";
    }
    std::size_t next = 0;
    if ((command & ~kChannelMask) == kFirstRead && payload.size() == 6) {
        std::string text = "read " + addressing(payload, next);
        return text + " count=" + std::to_string(payload[4]);
    }
    if (command <= kChannelMask) {
        std::string text = "write " + addressing(payload, next);
        if (next < payload.size()) {
            text += " val=";
            appendBytes(text, payload.subspan(next));
        }
        return text;
    }
    return "unknown";
}

std::string describeReply(Piece piece, std::span<const std::uint8_t> bytes, std::size_t expected) {
    if (bytes.size() < expected) {
        return "missing " + std::to_string(bytes.size()) + " of " + std::to_string(expected);
    }
    if (piece == Piece::Ack) {
        return bytes.size() == kAck.size() && bytes[0] == kAck[0] && bytes[1] == kAck[1]
                   ? "ack"
                   : "wrong-ack";
    }
    const char* name = piece == Piece::ProbeReply   ? "probe-reply"
                       : piece == Piece::WriteReply ? "write-reply"
                                                    : "read-reply";
    std::string text = name;
    if (!isWellFormedFrame(bytes)) {
        return text + " (bad frame)";
    }
    if (piece == Piece::ReadReply && bytes.size() > 4 + kReadValueOffset) {
        text += " values=";
        appendBytes(text, bytes.subspan(2 + kReadValueOffset, bytes.size() - 4 - kReadValueOffset));
    }
    return text;
}

void LinkTrace::follow(const char* path) {
    end();
    if (path == nullptr || *path == '\0') {
        return;
    }
    if (std::strcmp(path, "-") == 0) {
        m_file = stderr;
        m_ownsFile = false;
    } else {
        m_file = std::fopen(path, "a");
        m_ownsFile = m_file != nullptr;
        if (m_file == nullptr) {
            std::fprintf(stderr, "Sundial: cannot open the trace file %s: %s\n", path,
                         std::strerror(errno));
            return;
        }
    }
    m_start = m_clock();
}

void LinkTrace::end() {
    if (m_file != nullptr && m_ownsFile) {
        std::fclose(m_file);
    }
    m_file = nullptr;
    m_ownsFile = false;
}

long long LinkTrace::now() const {
    return m_clock() - m_start;
}

void LinkTrace::sent(std::span<const std::uint8_t> bytes, std::string_view what) {
    line("tx", bytes, what);
}

void LinkTrace::received(std::span<const std::uint8_t> bytes, std::string_view what) {
    line("rx", bytes, what);
}

void LinkTrace::skipped(std::span<const std::uint8_t> bytes, std::string_view what) {
    line("skip", bytes, what);
}

void LinkTrace::call(std::string_view what, int result, long long startedUs) {
    if (!on()) {
        return;
    }
    std::string text(what);
    text += " result=" + std::to_string(result) + " ms=" + milliseconds(now() - startedUs);
    line("call", {}, text);
}

void LinkTrace::line(std::string_view kind, std::span<const std::uint8_t> bytes,
                     std::string_view what) {
    if (!on()) {
        return;
    }
    std::string text = milliseconds(now());
    text += ' ';
    text += kind;
    if (!bytes.empty()) {
        text += ' ';
        appendBytes(text, bytes);
    }
    text += " ; ";
    text += what;
    text += '\n';
    // Each line whole and at once on its way, so that a trace ends where the program did.
    std::fwrite(text.data(), 1, text.size(), m_file);
    std::fflush(m_file);
}

} // namespace sundial
