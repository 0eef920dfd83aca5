// Writes through the core's board session alone, for comparison with the same writes from
// Python: prints the seconds that `--writes N` one-register writes took, the best of three
// rounds after a warm-up (the board and the scheduler settle in the first hundreds).
//   session_bench --port PATH [--writes N]
#include "device/linklibrary.h"
#include "device/portchoice.h"
#include "device/sleeper.h"
#include "session/boardsession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kWarmUp = 500;
constexpr int kRounds = 3;

class Quiet final : public larkspur::SessionReporter {
public:
    void report(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
    void warn(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
};

} // namespace

int main(int argc, char** argv) {
    std::string port;
    int writes = 10000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--port") {
            port = argv[i + 1];
        } else if (name == "--writes") {
            writes = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    if (port.empty()) {
        std::fprintf(stderr, "usage: session_bench --port PATH [--writes N]\n");
        return 2;
    }
    larkspur::applyPortChoice(larkspur::parsePortChoice(port));
    larkspur::LinkLibrary library(SESSION_BENCH_LIBRARY_FOLDER);
    larkspur::ThreadSleeper sleeper;
    Quiet reporter;
    larkspur::BoardSession session(
        {library, sleeper, larkspur::PortSystem{}, "/nonexistent/Larkspur.ini"}, reporter);
    session.selectDevice(larkspur::kInterfaceI2c, 76);
    if (session.open(1) != larkspur::SessionStatus::Done) {
        return 1;
    }
    for (int i = 0; i < kWarmUp; ++i) {
        session.write(0x11, {5});
    }
    double seconds = 0;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < writes; ++i) {
            session.write(0x11, {5});
        }
        const double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        seconds = round == 0 ? took : std::min(seconds, took);
    }
    if (session.linkStatus() != larkspur::SessionStatus::Done) {
        return 1;
    }
    std::printf("%.6f\n", seconds);
    return 0;
}
