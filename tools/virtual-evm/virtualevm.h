#pragma once

#include "controlserver.h"
#include "evmoptions.h"
#include "evmsession.h"
#include "pseudoterminal.h"
#include "replyscheduler.h"
#include "transcript.h"
#include "wireline.h"

#include <chrono>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace virtualevm {

// The board on a pseudo-terminal: one thread, one poll loop over the pty master, the control
// socket and its clients. Input goes through the session to the reply scheduler, which says
// what goes out when; what is due is logged and handed to the pty.
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
    void unplug();
    void announceDevice() const;

    void readLine(Clock::time_point now);
    // Input for the session, as it reaches the board.
    void receive(std::span<const uint8_t> bytes, Clock::time_point now);
    // What the wire has brought to either side by `now`.
    void crossWire(Clock::time_point now);
    void sendDue(Clock::time_point now);
    void send(const Event& event, Clock::time_point now);

    // Nothing due later, nothing crossing the wire and everything handed to the pty.
    bool idle() const override { return m_scheduler.idle() && m_wire.idle() && !m_pty.hasOutput(); }
    // Every command but "idle", which the server answers.
    std::string command(std::string_view line) override;

    EvmOptions m_options;
    Clock::time_point m_start;
    EvmSession m_session;
    Transcript m_transcript;

    PseudoTerminal m_pty;
    ControlServer m_control;
    ReplyScheduler m_scheduler;
    WireLine m_wire;
    std::deque<Event> m_crossing; // the board's events on the wire to the PC, in order
    Clock::time_point m_lastInput{};
    std::vector<Event> m_events; // reused between calls
    std::vector<Event> m_due;    // reused between calls
};

} // namespace virtualevm
