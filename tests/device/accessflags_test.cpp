// The holds on register access's flags: each puts back what it found however its scope is left,
// leaves the other flag alone, and nests.
#include "device/accessflags.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

using namespace larkspur;
using namespace testsupport;

namespace {

enum class Exit { End, Exception, Kept };

template <typename Hold>
void underHold(RegisterAccess& access, Exit exit, const std::function<void()>& inside) {
    Hold hold(access);
    inside();
    if (exit == Exit::Kept) {
        hold.keep();
    } else if (exit == Exit::Exception) {
        throw std::runtime_error("out");
    }
}

struct HoldCase {
    const char* name;
    void (*run)(RegisterAccess&, Exit, const std::function<void()>&);
    bool history; // the flag held: history (true) or write suppression (false)
    bool value;   // while held
};

constexpr HoldCase kHolds[] = {
    {"WritesSuppressed", &underHold<WritesSuppressed>, false, true},
    {"WritesSent", &underHold<WritesSent>, false, false},
    {"HistoryOff", &underHold<HistoryOff>, true, false},
};

class AccessFlagsTest : public ::testing::Test {
protected:
    bool flag(bool history) const {
        return history ? m_access.historyEnabled() : m_access.writeSuppressed();
    }
    void set(bool suppressed, bool history) {
        m_access.setWriteSuppressed(suppressed);
        m_access.setHistoryEnabled(history);
    }

    RecordingDialogs m_dialogs;
    RecordingMap m_map;
    RecordingHistory m_history;
    RegisterAccess m_access{m_dialogs, m_map, m_history};
};

TEST_F(AccessFlagsTest, EachHoldPutsBackWhatItFoundOnEveryExitButAKeptOne) {
    for (const HoldCase& c : kHolds) {
        for (const bool before : {false, true}) {
            for (const Exit exit : {Exit::End, Exit::Exception, Exit::Kept}) {
                SCOPED_TRACE(::testing::Message() << c.name << " before " << before << " exit "
                                                  << static_cast<int>(exit));
                // The other flag starts opposite to this one, to be seen untouched.
                set(c.history ? !before : before, c.history ? before : !before);
                bool during = !c.value;
                bool other = flag(!c.history);
                try {
                    c.run(m_access, exit, [&] { during = flag(c.history); });
                } catch (const std::runtime_error&) {
                    EXPECT_EQ(exit, Exit::Exception);
                }
                EXPECT_EQ(during, c.value);
                EXPECT_EQ(flag(c.history), exit == Exit::Kept ? c.value : before);
                EXPECT_EQ(flag(!c.history), other);
            }
        }
    }
}

TEST_F(AccessFlagsTest, NestedHoldsUnwindInTurn) {
    set(false, true);
    std::vector<std::pair<bool, bool>> seen; // (suppressed, history) at each step
    const auto look = [&] {
        seen.emplace_back(m_access.writeSuppressed(), m_access.historyEnabled());
    };
    try {
        const HistoryOff unlogged(m_access);
        const WritesSuppressed held(m_access);
        look();
        {
            const WritesSent sent(m_access);
            look();
        }
        look();
        {
            const WritesSent sent(m_access);
            look();
            throw std::runtime_error("out");
        }
    } catch (const std::runtime_error&) {
        look();
    }
    EXPECT_EQ(seen,
              (std::vector<std::pair<bool, bool>>{
                  {true, false}, {false, false}, {true, false}, {false, false}, {false, true}}));
}

} // namespace
