// What one transaction with the board came to, as a value: done (with what a read brought), not
// made for want of a link, or failed with the library's code. The window turns a failure into
// its message box; the session into its status and the Python exceptions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace larkspur {

struct LinkFailure {
    enum class Step { CodecWrite, CodecRead, BoardWrite };
    Step step = Step::CodecWrite;
    int code = 0;              // the link library's result, 1 to 5
    std::uint32_t address = 0; // the register as addressed
    bool operator==(const LinkFailure&) const = default;
};

// No link is open (the link port is 0): nothing was sent, nothing is reported.
struct NoLink {
    bool operator==(const NoLink&) const = default;
};

// A write that was carried out (or, under write suppression, taken into the shadow alone).
struct Written {
    bool operator==(const Written&) const = default;
};

template <typename T> class LinkOutcome {
public:
    LinkOutcome(T value) : m_state(std::move(value)) {}
    LinkOutcome(NoLink none) : m_state(none) {}
    LinkOutcome(LinkFailure failure) : m_state(failure) {}

    bool done() const { return std::holds_alternative<T>(m_state); }
    bool noLink() const { return std::holds_alternative<NoLink>(m_state); }
    // Only when done().
    const T& value() const& { return std::get<T>(m_state); }
    T value() && { return std::get<T>(std::move(m_state)); }
    // The failure, or null when there was none. It points into this outcome, so a temporary
    // outcome gives none: keep the outcome in a variable first.
    const LinkFailure* failure() const& { return std::get_if<LinkFailure>(&m_state); }
    const LinkFailure* failure() const&& = delete;

    bool operator==(const LinkOutcome&) const = default;

private:
    std::variant<T, NoLink, LinkFailure> m_state;
};

using ReadOutcome = LinkOutcome<std::uint8_t>;
using WriteOutcome = LinkOutcome<Written>;

// The failures of a stretch of transactions (a sequence, a call): the first, the last, and those
// that were told, as the error latch has it (a codec failure once, a board failure each time).
struct FailureRecord {
    // A sequence makes a few dozen transactions; the told list keeps no more than this.
    static constexpr std::size_t kMaxTold = 64;

    std::optional<LinkFailure> first;
    std::optional<LinkFailure> last;
    std::vector<LinkFailure> told;

    bool none() const { return !last.has_value(); }
    void add(const LinkFailure& failure) {
        if (!first) {
            first = failure;
        }
        last = failure;
    }
    void addTold(const LinkFailure& failure) {
        if (told.size() < kMaxTold) {
            told.push_back(failure);
        }
    }
};

// The program's message for a failure: "Communication error: WRERR0002" and its kin.
std::string failureText(const LinkFailure& failure);

} // namespace larkspur
