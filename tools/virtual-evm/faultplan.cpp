#include "faultplan.h"

#include "protocol.h"

#include <algorithm>
#include <stdexcept>

namespace virtualevm {

namespace {

constexpr unsigned long kMaxDelayMs = 600000;
constexpr unsigned kDefaultRepeatMs = 100;

struct KindName {
    Fault::Kind kind;
    const char* name;
    unsigned maxArgs;
};

constexpr KindName kKinds[] = {
    {Fault::Kind::Silent, "silent", 0},        {Fault::Kind::NoAck, "no-ack", 0},
    {Fault::Kind::WrongAck, "wrong-ack", 0},   {Fault::Kind::NoReply, "no-reply", 0},
    {Fault::Kind::Pieces, "pieces", 3},        {Fault::Kind::Late, "late", 1},
    {Fault::Kind::Garbage, "garbage", 0},      {Fault::Kind::BadStart, "bad-start", 0},
    {Fault::Kind::BadLength, "bad-length", 0}, {Fault::Kind::BadSum, "bad-sum", 0},
    {Fault::Kind::Split, "split", 1},          {Fault::Kind::Babble, "babble", 1},
    {Fault::Kind::Stall, "stall", 1},          {Fault::Kind::Slow, "slow", 2},
    {Fault::Kind::Repeat, "repeat", 1},
};

struct FilterName {
    Request::Kind kind;
    const char* name;
};

constexpr FilterName kFilters[] = {
    {Request::Kind::Probe, "probe"},
    {Request::Kind::Setup, "setup"},
    {Request::Kind::Read, "read"},
    {Request::Kind::Write, "write"},
};

unsigned delayArg(const std::string& word) {
    const auto value = parseNumber(word);
    if (!value || *value > kMaxDelayMs) {
        throw std::invalid_argument("bad delay '" + word + "'");
    }
    return static_cast<unsigned>(*value);
}

} // namespace

Fault Fault::parse(const std::vector<std::string>& words) {
    if (words.empty()) {
        throw std::invalid_argument("missing fault kind");
    }
    Fault fault;
    unsigned maxArgs = 0;
    bool known = false;
    for (const auto& entry : kKinds) {
        if (words[0] == entry.name) {
            fault.kind = entry.kind;
            maxArgs = entry.maxArgs;
            known = true;
        }
    }
    if (!known) {
        throw std::invalid_argument("unknown fault '" + words[0] + "'");
    }

    size_t next = 1;
    std::vector<std::string> args;
    while (next < words.size() && args.size() < maxArgs && parseNumber(words[next])) {
        args.push_back(words[next++]);
    }
    if (fault.kind == Kind::Pieces) {
        if (args.empty()) {
            throw std::invalid_argument("pieces needs a count");
        }
        const auto pieces = parseNumber(args[0]);
        if (!pieces || *pieces < 1 || *pieces > 259) {
            throw std::invalid_argument("piece count must be 1 to 259");
        }
        fault.pieces = static_cast<unsigned>(*pieces);
        if (args.size() > 1) {
            fault.firstMs = delayArg(args[1]);
        }
        if (args.size() > 2) {
            fault.gapMs = delayArg(args[2]);
        }
    } else if (fault.kind == Kind::Late && !args.empty()) {
        fault.lateMs = delayArg(args[0]);
    }
    if (fault.kind == Kind::Late && args.empty() && next < words.size() && words[next] == "held") {
        fault.lateHeld = true;
        ++next;
    } else if (fault.kind == Kind::Split && !args.empty()) {
        // The longest reply frame is 259 bytes and at least one byte is always held back.
        const auto splitAt = parseNumber(args[0]);
        if (!splitAt || *splitAt > 258) {
            throw std::invalid_argument("split size must be 0 to 258");
        }
        fault.splitAt = static_cast<unsigned>(*splitAt);
    } else if (fault.kind == Kind::Babble && !args.empty()) {
        fault.babbleMs = delayArg(args[0]);
    } else if (fault.kind == Kind::Stall && !args.empty()) {
        fault.stallMs = delayArg(args[0]);
    } else if (fault.kind == Kind::Slow) {
        fault.slowMs = args.empty() ? fault.slowMs : delayArg(args[0]);
        fault.againMs = args.size() > 1 ? delayArg(args[1]) : 0;
    } else if (fault.kind == Kind::Repeat) {
        fault.againMs = args.empty() ? kDefaultRepeatMs : delayArg(args[0]);
    }
    if ((fault.kind == Kind::Slow || fault.kind == Kind::Repeat) && next < words.size() &&
        words[next] == "behind") {
        fault.behind = true;
        ++next;
    }

    bool haveFilter = false;
    bool haveCount = false;
    for (; next < words.size(); ++next) {
        const std::string& word = words[next];
        bool isFilter = false;
        for (const auto& filter : kFilters) {
            if (word == filter.name) {
                fault.only = filter.kind;
                isFilter = true;
            }
        }
        if (word == "any") {
            fault.only.reset();
            isFilter = true;
        }
        if (isFilter) {
            if (haveFilter) {
                throw std::invalid_argument("more than one request filter");
            }
            haveFilter = true;
            continue;
        }
        if (word == "reg") {
            const auto reg = next + 1 < words.size() ? parseNumber(words[next + 1]) : std::nullopt;
            if (!reg || *reg > 0xFF || fault.onlyRegister) {
                throw std::invalid_argument("reg needs one register, 0 to 0xFF");
            }
            fault.onlyRegister = static_cast<unsigned>(*reg);
            ++next;
            continue;
        }
        if (haveCount) {
            throw std::invalid_argument("unexpected '" + word + "'");
        }
        haveCount = true;
        if (word == "once") {
            fault.remaining = 1;
        } else if (word == "always") {
            fault.remaining = kAlways;
        } else {
            const auto count = parseNumber(word);
            if (!count || *count < 1 || *count > 1000000) {
                throw std::invalid_argument("bad repeat count '" + word + "'");
            }
            fault.remaining = static_cast<long>(*count);
        }
    }
    return fault;
}

std::string Fault::describe() const {
    std::string text;
    for (const auto& entry : kKinds) {
        if (entry.kind == kind) {
            text = entry.name;
        }
    }
    if (kind == Kind::Pieces) {
        text += " " + std::to_string(pieces) + " " + std::to_string(firstMs) + " " +
                std::to_string(gapMs);
    } else if (kind == Kind::Late) {
        text += lateHeld ? std::string(" held") : " " + std::to_string(lateMs);
    } else if (kind == Kind::Split) {
        text += " " + std::to_string(splitAt);
    } else if (kind == Kind::Babble) {
        text += " " + std::to_string(babbleMs);
    } else if (kind == Kind::Stall) {
        text += " " + std::to_string(stallMs);
    } else if (kind == Kind::Slow) {
        text += " " + std::to_string(slowMs) + " " + std::to_string(againMs);
    } else if (kind == Kind::Repeat) {
        text += " " + std::to_string(againMs);
    }
    if (behind) {
        text += " behind";
    }
    if (only) {
        for (const auto& filter : kFilters) {
            if (filter.kind == *only) {
                text += std::string(" ") + filter.name;
            }
        }
    }
    if (onlyRegister) {
        text += " reg " + std::to_string(*onlyRegister);
    }
    text += remaining == kAlways ? std::string(" always") : " " + std::to_string(remaining);
    return text;
}

void FaultPlan::add(const Fault& fault) {
    if (m_faults.size() >= kMaxFaults) {
        throw std::invalid_argument("at most " + std::to_string(kMaxFaults) + " faults armed");
    }
    m_faults.push_back(fault);
}

std::optional<Fault> FaultPlan::take(const Request& request) {
    const auto found = std::find_if(m_faults.begin(), m_faults.end(),
                                    [&request](const Fault& f) { return f.matches(request); });
    if (found == m_faults.end()) {
        return std::nullopt;
    }
    Fault fault = *found;
    if (found->remaining != Fault::kAlways && --found->remaining <= 0) {
        m_faults.erase(found);
    }
    return fault;
}

} // namespace virtualevm
