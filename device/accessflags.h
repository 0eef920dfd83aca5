// Scoped holds on the two flags of RegisterAccess that the sequences change while they run:
// whether writes are held back (suppressed: the shadow, the map and the history follow, the
// board does not) and whether codec writes are logged. A hold sets its flag for as long as it
// lives and puts back the value it found on every way out: the end of its scope, a return, an
// exception. What a sequence leaves behind on purpose it sets after its holds have ended.
#pragma once

#include "registeraccess.h"

namespace larkspur {

template <bool (RegisterAccess::*Get)() const, void (RegisterAccess::*Set)(bool), bool Value>
class [[nodiscard]] AccessFlagHold {
public:
    explicit AccessFlagHold(RegisterAccess& access)
        : m_access(access), m_previous((access.*Get)()) {
        (m_access.*Set)(Value);
    }
    ~AccessFlagHold() {
        if (m_restore) {
            (m_access.*Set)(m_previous);
        }
    }
    AccessFlagHold(const AccessFlagHold&) = delete;
    AccessFlagHold& operator=(const AccessFlagHold&) = delete;

    // The flag stays as it is on the way out: for an exit whose state is the outcome (no board
    // found: nothing is to be sent or logged until one is).
    void keep() { m_restore = false; }

private:
    RegisterAccess& m_access;
    bool m_previous;
    bool m_restore = true;
};

// Writes update the shadow, the map and the history but do not reach the board.
using WritesSuppressed =
    AccessFlagHold<&RegisterAccess::writeSuppressed, &RegisterAccess::setWriteSuppressed, true>;
// Writes reach the board, inside a stretch that otherwise holds them back.
using WritesSent =
    AccessFlagHold<&RegisterAccess::writeSuppressed, &RegisterAccess::setWriteSuppressed, false>;
// Codec writes leave no history line.
using HistoryOff =
    AccessFlagHold<&RegisterAccess::historyEnabled, &RegisterAccess::setHistoryEnabled, false>;

} // namespace larkspur
