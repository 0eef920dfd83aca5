#include "frameparser.h"

#include "protocol.h"

#include <algorithm>

namespace virtualevm {

void FrameParser::feed(std::span<const uint8_t> bytes, std::vector<Item>& out) {
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
    scan(out);
}

void FrameParser::flushPartial(std::vector<Item>& out) {
    while (!m_pending.empty()) {
        addGarbage(m_pending.front(), out);
        m_pending.erase(m_pending.begin());
        scan(out);
    }
}

void FrameParser::addGarbage(uint8_t byte, std::vector<Item>& out) {
    // Adjacent noise bytes make one item, so a burst of noise is one transcript line.
    if (!out.empty() && out.back().kind == Kind::Garbage) {
        out.back().bytes.push_back(byte);
    } else {
        out.push_back(Item{Kind::Garbage, {byte}});
    }
}

void FrameParser::scan(std::vector<Item>& out) {
    size_t pos = 0;
    const size_t size = m_pending.size();
    while (pos < size) {
        const uint8_t first = m_pending[pos];
        if (first == kAckByte) {
            if (pos + 1 >= size) {
                break;
            }
            if (m_pending[pos + 1] == 0x00) {
                out.push_back(Item{Kind::Ack, {kAckByte, 0x00}});
                pos += 2;
            } else {
                addGarbage(first, out);
                ++pos;
            }
        } else if (first == kStartByte) {
            if (pos + 1 >= size) {
                break;
            }
            const size_t length = size_t{m_pending[pos + 1]} + 4;
            if (pos + length > size) {
                break;
            }
            const auto begin = m_pending.begin() + static_cast<std::ptrdiff_t>(pos);
            std::vector<uint8_t> frame(begin, begin + static_cast<std::ptrdiff_t>(length));
            const uint16_t sum = checksum(std::span(frame).first(length - 2));
            const bool good = frame[length - 2] == (sum >> 8) && frame[length - 1] == (sum & 0xFF);
            out.push_back(Item{good ? Kind::Frame : Kind::BadChecksum, std::move(frame)});
            pos += length;
        } else {
            addGarbage(first, out);
            ++pos;
        }
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(pos));
}

} // namespace virtualevm
