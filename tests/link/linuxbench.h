// The shared link table's surroundings on Linux: a silent board as port 1 and the board as
// port 2, on their pseudo-terminals or behind ser2net as network ports.
#pragma once

#include "linkcases.h"
#include "tests/support/evmprocess.h"
#include "tests/support/ser2netprocess.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace testsupport {

class LinuxBench final : public linkcases::Bench {
public:
    // Without `served`, the ports are the boards' terminals; with it, ser2net's accepters.
    explicit LinuxBench(std::optional<Ser2netProcess::Kind> served = std::nullopt)
        : m_served(served) {
        std::string list = m_silent.linkPath() + ":" + m_board.linkPath();
        if (served) {
            m_server.emplace(std::vector<Ser2netProcess::Served>{{m_silent.linkPath(), *served},
                                                                 {m_board.linkPath(), *served}});
            list = m_server->url(0) + ":" + m_server->url(1);
        }
        ::setenv("SUNDIAL_PORTS", list.c_str(), 1);
    }
    ~LinuxBench() override { ::unsetenv("SUNDIAL_LENIENT_REPLIES"); }

    std::string control(const std::string& command) override { return m_board.control(command); }
    void setEnvironment(const char* name, const char* value) override {
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    int boardPort() const override { return 2; }
    int silentPort() const override { return 1; }
    // Raw TCP discards only what has arrived; a terminal's queue and RFC 2217's purge reach
    // what is on its way.
    bool purgeReachesInFlightBytes() const override {
        return m_served != Ser2netProcess::Kind::Raw;
    }

private:
    std::optional<Ser2netProcess::Kind> m_served;
    EvmProcess m_silent{{"--fault", "silent always"}};
    EvmProcess m_board;
    std::optional<Ser2netProcess> m_server;
};

} // namespace testsupport
