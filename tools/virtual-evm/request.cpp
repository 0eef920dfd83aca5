#include "request.h"

#include "protocol.h"

namespace virtualevm {

namespace {

bool isAddressedType(uint8_t type) {
    return type >= 1 && type <= 4;
}

} // namespace

Request Request::decode(std::span<const uint8_t> payload) {
    Request request;
    if (payload.size() < 2) {
        return request;
    }
    request.command = payload[0];
    request.type = payload[1];
    const uint8_t high = payload[0] & 0xF0;
    request.channel = payload[0] & 0x0Fu;

    if (payload[0] == kProbeCommand) {
        request.kind = Kind::Probe;
    } else if (payload[0] >= 0x50 && payload[0] <= 0x57) {
        if (payload.size() == 3) {
            request.kind = Kind::Setup;
            request.channel = payload[0] - 0x50u;
            request.setupType = payload[2];
        }
    } else if (high == 0x10) {
        if (payload.size() == 6) {
            request.kind = Kind::Read;
            request.count = payload[4];
            request.regField = request.type == 3 || request.type == 4 ? payload[2] : payload[3];
            if (request.type == 1 || request.type == 2) {
                request.address = payload[2];
            } else if (request.type == 3) {
                request.address = payload[5];
            }
        }
    } else if (high == 0x00) {
        if (request.type == 1 || request.type == 2 || request.type == 4) {
            if (payload.size() >= 4) {
                request.kind = Kind::Write;
                if (request.type == 4) {
                    request.regField = payload[2];
                } else {
                    request.address = payload[2];
                    request.regField = payload[3];
                }
                request.data.assign(payload.begin() + 4, payload.end());
            }
        } else if (request.type == 3) {
            if (payload.size() >= 5) {
                request.kind = Kind::Write;
                request.regField = payload[2];
                request.address = payload[4];
                request.data.assign(payload.begin() + 5, payload.end());
            }
        } else {
            // Layout unknown for this type: only the type byte decides the answer.
            request.kind = Kind::Write;
        }
        request.count = static_cast<unsigned>(request.data.size());
    }
    return request;
}

bool Request::expectsReply() const {
    return kind == Kind::Probe || kind == Kind::Read || (type & 0x07) != 0;
}

std::string Request::replyName() const {
    switch (kind) {
    case Kind::Probe:
        return "probe-reply";
    case Kind::Read:
        return "read-reply";
    default:
        return "write-reply";
    }
}

std::string Request::describe() const {
    const std::string head = "ch=" + std::to_string(channel) + " type=" + std::to_string(type);
    const std::string addr = type == 1 || type == 2 ? " addr=" + hexByte(address) : std::string();
    switch (kind) {
    case Kind::Probe:
        return "probe";
    case Kind::Setup:
        return "setup " + std::to_string(channel) + " type=" + std::to_string(setupType);
    case Kind::Read:
        if (!isAddressedType(type)) {
            return "read " + head + " count=" + std::to_string(count) + " (unsupported type)";
        }
        return "read " + head + addr + " reg=" + hexByte(regField) +
               " count=" + std::to_string(count);
    case Kind::Write:
        if (!isAddressedType(type)) {
            return "write " + head + " (unsupported type)";
        }
        return "write " + head + addr + " reg=" + hexByte(regField) +
               " val=" + (data.empty() ? std::string("none") : hexBytes(data));
    case Kind::Unknown:
        break;
    }
    return "unknown";
}

} // namespace virtualevm
