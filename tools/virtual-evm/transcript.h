#pragma once

#include "evmsession.h"

#include <chrono>
#include <string>

namespace virtualevm {

// The traffic log: one line per frame, acknowledgement or noise burst, each direction:
//   "<seconds> <rx|tx> <hex bytes> ; <decoding>"
// Each line goes out in one write() so another process can follow the file while we run.
class Transcript {
public:
    using Clock = std::chrono::steady_clock;

    Transcript() = default;
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    // Truncates or creates the file; throws std::runtime_error on failure.
    void open(const std::string& path, Clock::time_point start);
    bool isOpen() const { return m_fd >= 0; }

    void write(const Event& event, Clock::time_point now);

    static std::string format(const Event& event, double seconds);

private:
    int m_fd = -1;
    Clock::time_point m_start{};
};

} // namespace virtualevm
