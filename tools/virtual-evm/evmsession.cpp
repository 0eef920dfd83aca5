#include "evmsession.h"

#include "protocol.h"

#include <algorithm>
#include <stdexcept>

namespace virtualevm {

namespace {

// Not a frame start or an acknowledgement anywhere, so the PC can only skip it.
constexpr uint8_t kBabbleBurst[] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55,
                                    0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
constexpr uint8_t kBadStartByte = 0x1D;

Event rx(std::vector<uint8_t> bytes, std::string text) {
    return Event{Event::Direction::Rx, std::move(bytes), std::move(text), 0, 0};
}

Event tx(std::vector<uint8_t> bytes, std::string text, unsigned delayMs = 0) {
    return Event{Event::Direction::Tx, std::move(bytes), std::move(text), delayMs, 0};
}

// A reply frame spoiled in one place only, so the PC's check for that place is what fails.
std::vector<uint8_t> spoiled(std::vector<uint8_t> frame, Fault::Kind kind) {
    switch (kind) {
    case Fault::Kind::BadStart:
        frame.front() = kBadStartByte;
        break;
    case Fault::Kind::BadLength: {
        ++frame[1];
        const uint16_t sum = checksum(std::span(frame).first(frame.size() - 2));
        frame[frame.size() - 2] = static_cast<uint8_t>(sum >> 8);
        frame.back() = static_cast<uint8_t>(sum & 0xFF);
        break;
    }
    case Fault::Kind::BadSum:
        frame.back() ^= 0x01;
        break;
    default:
        break;
    }
    return frame;
}

// Parses a number within [low, high]; throws with a reason naming what it is.
unsigned numberArg(const std::string& word, unsigned long low, unsigned long high,
                   const char* what) {
    const auto value = parseNumber(word);
    if (!value || *value < low || *value > high) {
        throw std::invalid_argument(std::string("bad ") + what + " '" + word + "'");
    }
    return static_cast<unsigned>(*value);
}

void expectArgs(const std::vector<std::string>& words, size_t count, const char* usage) {
    if (words.size() != count + 1) {
        throw std::invalid_argument(std::string("usage: ") + usage);
    }
}

} // namespace

void EvmSession::receive(std::span<const uint8_t> bytes, std::vector<Event>& events) {
    m_items.clear();
    m_parser.feed(bytes, m_items);
    for (const auto& item : m_items) {
        handle(item, events);
    }
}

void EvmSession::flushPartial(std::vector<Event>& events) {
    m_items.clear();
    m_parser.flushPartial(m_items);
    for (const auto& item : m_items) {
        handle(item, events);
    }
}

void EvmSession::handle(const FrameParser::Item& item, std::vector<Event>& events) {
    // A silent board takes no notice of anything, the PC's acknowledgements included.
    const std::string silentNote = m_faults.silentArmed() ? " (silent)" : "";
    switch (item.kind) {
    case FrameParser::Kind::Ack:
        events.push_back(rx(item.bytes, "ack" + silentNote));
        return;
    case FrameParser::Kind::BadChecksum:
        events.push_back(rx(item.bytes, "bad checksum" + silentNote));
        return;
    case FrameParser::Kind::Garbage:
        events.push_back(rx(item.bytes, "garbage" + silentNote));
        return;
    case FrameParser::Kind::Frame:
        break;
    }

    const auto payload = std::span(item.bytes).subspan(2, item.bytes.size() - 4);
    const Request request = Request::decode(payload);
    const std::optional<Fault> fault = m_faults.take(request);
    // Any request frame gets a held reply tail out: the board finishes what it was sending
    // before it deals with the new request.
    const auto releaseTail = [this, &events] {
        if (m_held) {
            events.push_back(std::move(*m_held));
            m_held.reset();
        }
    };
    if (fault && fault->kind == Fault::Kind::Silent) {
        events.push_back(rx(item.bytes, request.describe() + " (silent)"));
        releaseTail();
        return;
    }
    const bool noAck = fault && fault->kind == Fault::Kind::NoAck;
    events.push_back(rx(item.bytes, request.describe() + (noAck ? " (no-ack)" : "")));
    releaseTail();
    const std::vector<uint8_t> reply = m_board.execute(request);
    if (!fault) {
        answer(request, reply, events);
        return;
    }

    const std::string replyName = request.replyName();
    switch (fault->kind) {
    case Fault::Kind::Silent:
    case Fault::Kind::NoAck:
        break;
    case Fault::Kind::WrongAck:
        events.push_back(tx({kAckByte, 0x01}, "wrong-ack"));
        if (!reply.empty()) {
            events.push_back(tx(reply, replyName));
        }
        break;
    case Fault::Kind::NoReply:
        events.push_back(tx(ackBytes(), "ack"));
        break;
    case Fault::Kind::Pieces: {
        events.push_back(tx(ackBytes(), "ack"));
        if (reply.empty()) {
            break;
        }
        const size_t count = std::min<size_t>(fault->pieces, reply.size());
        const size_t base = reply.size() / count;
        const size_t extra = reply.size() % count;
        size_t offset = 0;
        for (size_t i = 0; i < count; ++i) {
            const size_t size = base + (i < extra ? 1 : 0);
            const auto begin = reply.begin() + static_cast<std::ptrdiff_t>(offset);
            events.push_back(
                tx(std::vector<uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(size)),
                   "piece " + std::to_string(i + 1) + "/" + std::to_string(count) + " " + replyName,
                   fault->firstMs + static_cast<unsigned>(i) * fault->gapMs));
            offset += size;
        }
        break;
    }
    case Fault::Kind::Late:
        events.push_back(tx(ackBytes(), "ack"));
        if (!reply.empty()) {
            Event late = tx(reply, "late " + replyName, fault->lateHeld ? 0 : fault->lateMs);
            late.held = fault->lateHeld;
            events.push_back(std::move(late));
        }
        break;
    case Fault::Kind::Garbage:
        events.push_back(tx({0xAA, 0x55, 0xAA, 0x55}, "garbage"));
        break;
    case Fault::Kind::BadStart:
    case Fault::Kind::BadLength:
    case Fault::Kind::BadSum: {
        events.push_back(tx(ackBytes(), "ack"));
        if (!reply.empty()) {
            const char* name = fault->kind == Fault::Kind::BadStart    ? "bad-start "
                               : fault->kind == Fault::Kind::BadLength ? "bad-length "
                                                                       : "bad-sum ";
            events.push_back(tx(spoiled(reply, fault->kind), name + replyName));
        }
        break;
    }
    case Fault::Kind::Split: {
        events.push_back(tx(ackBytes(), "ack"));
        if (reply.empty()) {
            break;
        }
        const size_t wanted =
            fault->splitAt == 0 ? std::max<size_t>(reply.size() / 2, 1) : size_t{fault->splitAt};
        const auto cut =
            reply.begin() + static_cast<std::ptrdiff_t>(std::min(wanted, reply.size() - 1));
        events.push_back(tx(std::vector<uint8_t>(reply.begin(), cut), "split 1/2 " + replyName));
        m_held = tx(std::vector<uint8_t>(cut, reply.end()), "split 2/2 " + replyName);
        break;
    }
    case Fault::Kind::Stall: {
        // Answered in full, but only once the board reads its line again.
        Event ack = tx(ackBytes(), "stalled ack");
        ack.stallMs = fault->stallMs;
        events.push_back(std::move(ack));
        if (!reply.empty()) {
            events.push_back(tx(reply, replyName));
        }
        break;
    }
    case Fault::Kind::Slow:
    case Fault::Kind::Repeat: {
        // The whole answer late (slow) or at once (repeat), and with a gap the same again: a
        // board that sends an answer twice.
        const unsigned first = fault->kind == Fault::Kind::Slow ? fault->slowMs : 0;
        const char* what = fault->kind == Fault::Kind::Slow ? "slow " : "";
        const auto answerAt = [&](unsigned delayMs, const std::string& prefix) {
            Event ack = tx(ackBytes(), prefix + "ack", delayMs);
            ack.behindPending = fault->behind;
            events.push_back(std::move(ack));
            if (!reply.empty()) {
                Event frame = tx(reply, prefix + replyName, delayMs);
                frame.behindPending = fault->behind;
                events.push_back(std::move(frame));
            }
        };
        answerAt(first, what);
        if (fault->againMs > 0) {
            answerAt(first + fault->againMs, "repeated ");
        }
        break;
    }
    case Fault::Kind::Babble: {
        Event burst =
            tx(std::vector<uint8_t>(std::begin(kBabbleBurst), std::end(kBabbleBurst)), "babble");
        burst.babbleMs = fault->babbleMs;
        events.push_back(std::move(burst));
        break;
    }
    }
}

void EvmSession::answer(const Request& request, const std::vector<uint8_t>& frame,
                        std::vector<Event>& events) {
    events.push_back(tx(ackBytes(), "ack"));
    if (!frame.empty()) {
        events.push_back(tx(frame, request.replyName()));
    }
}

std::string EvmSession::control(std::string_view line) {
    const std::vector<std::string> words = splitWords(line);
    if (words.empty()) {
        return "error: empty command";
    }
    const std::string& command = words[0];
    try {
        if (command == "ping") {
            expectArgs(words, 0, "ping");
            return "ok";
        }
        if (command == "help") {
            expectArgs(words, 0, "help");
            return "ok ping fault fault-add zero reg get set-board get-board reset i2c-address "
                   "spi-device echo unplug replug device idle release help (virtual-evm --help "
                   "says more)";
        }
        if (command == "fault") {
            if (words.size() == 1) {
                const auto& current = m_faults.current();
                return current ? "ok " + current->describe() : "ok off";
            }
            if (words.size() == 2 && words[1] == "off") {
                m_faults.clear();
                return "ok";
            }
            m_faults.arm(Fault::parse(std::vector<std::string>(words.begin() + 1, words.end())));
            return "ok";
        }
        if (command == "fault-add") {
            if (words.size() == 1) {
                throw std::invalid_argument("usage: fault-add KIND [ARGS] ...");
            }
            m_faults.add(Fault::parse(std::vector<std::string>(words.begin() + 1, words.end())));
            return "ok";
        }
        if (command == "zero") {
            expectArgs(words, 1, "zero N");
            m_board.codec().setZeroFlags(static_cast<uint8_t>(numberArg(words[1], 0, 3, "flags")));
            return "ok";
        }
        if (command == "reg") {
            expectArgs(words, 2, "reg R V");
            const unsigned reg = numberArg(words[1], TessalyCodec::kFirstRegister,
                                           TessalyCodec::kLastRegister, "register");
            const unsigned value = numberArg(words[2], 0, 255, "value");
            m_board.codec().set(static_cast<uint8_t>(reg), static_cast<uint8_t>(value));
            return "ok";
        }
        if (command == "get") {
            expectArgs(words, 1, "get R");
            const unsigned reg = numberArg(words[1], TessalyCodec::kFirstRegister,
                                           TessalyCodec::kLastRegister, "register");
            return "ok " + hexByte(m_board.codec().get(static_cast<uint8_t>(reg)));
        }
        if (command == "get-board") {
            expectArgs(words, 1, "get-board R");
            const unsigned reg = numberArg(words[1], 0, 255, "register");
            return "ok " + hexByte(m_board.boardRegister(static_cast<uint8_t>(reg)));
        }
        if (command == "set-board") {
            expectArgs(words, 2, "set-board R V");
            const unsigned reg = numberArg(words[1], 0, 255, "register");
            const unsigned value = numberArg(words[2], 0, 255, "value");
            m_board.setBoardRegister(static_cast<uint8_t>(reg), static_cast<uint8_t>(value));
            return "ok";
        }
        if (command == "reset") {
            expectArgs(words, 0, "reset");
            m_board.codec().reset();
            return "ok";
        }
        if (command == "i2c-address") {
            expectArgs(words, 1, "i2c-address N");
            m_board.setI2cAddress(static_cast<uint8_t>(numberArg(words[1], 76, 79, "address")));
            return "ok";
        }
        if (command == "spi-device") {
            expectArgs(words, 1, "spi-device N");
            m_board.setSpiDevice(numberArg(words[1], 0, 3, "device"));
            return "ok";
        }
        if (command == "echo") {
            expectArgs(words, 1, "echo on|off");
            if (words[1] != "on" && words[1] != "off") {
                throw std::invalid_argument("usage: echo on|off");
            }
            m_board.setEchoes(words[1] == "on");
            return "ok";
        }
    } catch (const std::invalid_argument& e) {
        return std::string("error: ") + e.what();
    }
    return "error: unknown command '" + command + "'";
}

} // namespace virtualevm
