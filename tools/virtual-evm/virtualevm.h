#pragma once

#include "controlserver.h"
#include "evmoptions.h"
#include "evmsession.h"
#include "pseudoterminal.h"
#include "transcript.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace virtualevm {

// The board on a pseudo-terminal: one thread, one poll loop over the pty master, the control
// socket and its clients, with a timer queue for replies that are sent late or in pieces and a
// babble that repeats until it runs out or the fault is switched off.
class VirtualEvm : private ControlTarget {
public:
    using Clock = std::chrono::steady_clock;

    explicit VirtualEvm(EvmOptions options);
    ~VirtualEvm() override; // removes the link and the socket file
    VirtualEvm(const VirtualEvm&) = delete;
    VirtualEvm& operator=(const VirtualEvm&) = delete;

    // Opens the pty (raw at once), the link and the control socket, then prints the device path
    // as the first line on stdout. Throws std::runtime_error.
    void start();

    // Serves until the signal fd becomes readable (SIGINT/SIGTERM blocked and routed there).
    void run(int signalFd);

private:
    struct Pending {
        std::vector<uint8_t> bytes;
        std::string text;
    };
    struct Babble {
        std::vector<uint8_t> bytes;
        Clock::time_point next; // the next burst
        Clock::time_point end;
    };

    void unplug();
    void announceDevice() const;

    void readLine(Clock::time_point now);
    void dispatch(std::vector<Event>& events, Clock::time_point now);
    void fireTimers(Clock::time_point now);
    void fireBabble(Clock::time_point now);
    void send(const Event& event, Clock::time_point now);

    // Nothing due later and everything handed to the pty.
    bool idle() const override { return m_timers.empty() && !m_babble && !m_pty.hasOutput(); }
    // Every command but "idle", which the server answers.
    std::string command(std::string_view line) override;

    EvmOptions m_options;
    Clock::time_point m_start;
    EvmSession m_session;
    Transcript m_transcript;

    PseudoTerminal m_pty;
    ControlServer m_control;
    std::multimap<Clock::time_point, Pending> m_timers;
    // While stalled, every answer waits for this time and then goes out in order.
    std::optional<Clock::time_point> m_stalledUntil;
    std::vector<Pending> m_held; // late replies kept back until "release"
    std::optional<Babble> m_babble;
    Clock::time_point m_lastInput{};
    std::vector<Event> m_events; // reused between calls
};

} // namespace virtualevm
