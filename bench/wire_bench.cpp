// What users wait for on a real line: the virtual board in its wire mode (115200 baud, a USB
// adapter's 1 ms turnaround), driven through the board session and the real link library. Each
// operation is timed against the wire's minimum for the bytes it moved, read back from the
// board's transcript: every byte's ten bit times plus one turnaround per answer the PC must wait
// for (the PC's last acknowledgement is not waited for). The register ranges are timed side by side
// as one transaction and as one transaction per register. Prints a table; asserts no speed.
//   wire_bench [--rounds N] [--baud N] [--latency MS]
#include "device/linklibrary.h"
#include "device/portchoice.h"
#include "device/sleeper.h"
#include "session/boardsession.h"
#include "tests/support/evmprocess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace larkspur;

namespace {

using Clock = std::chrono::steady_clock;

class Quiet final : public SessionReporter {
public:
    void report(const std::string& line) override {
        std::fprintf(stderr, "%s\n", line.c_str());
        ++failures;
    }
    void warn(const std::string&) override {}
    int failures = 0;
};

// The bytes and the answers the PC waited for in transcript lines ("T rx 1E 03 ... ; probe"):
// all but the closing acknowledgement of the last transaction, which the PC sends and goes on.
struct Traffic {
    long long bytes = 0;
    long long answers = 0;
};

Traffic trafficOf(const std::vector<std::string>& lines) {
    Traffic traffic;
    long long closing = 0; // the last line's bytes when it is the PC's acknowledgement
    for (const std::string& line : lines) {
        std::istringstream words(line);
        std::string time;
        std::string kind;
        words >> time >> kind;
        std::string word;
        long long bytes = 0;
        while (words >> word && word != ";") {
            ++bytes;
        }
        std::string decoding;
        std::getline(words, decoding);
        traffic.bytes += bytes;
        // Each request the board takes is answered once; the PC waits for that answer.
        if (kind == "rx" && decoding != " ack") {
            ++traffic.answers;
        }
        closing = kind == "rx" && decoding == " ack" ? bytes : 0;
    }
    traffic.bytes -= closing;
    return traffic;
}

struct Row {
    std::string name;
    double medianMs = 0;
    double minimumMs = 0;
    Traffic traffic;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 21;
    int baud = 115200;
    std::string latency = "1";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--rounds") {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        } else if (name == "--baud") {
            baud = std::max(50, std::atoi(argv[i + 1]));
        } else if (name == "--latency") {
            latency = argv[i + 1];
        } else {
            std::fprintf(stderr, "usage: wire_bench [--rounds N] [--baud N] [--latency MS]\n");
            return 2;
        }
    }
    const double byteMs = 10.0 * 1000.0 / baud;
    const double latencyMs = std::atof(latency.c_str());

    testsupport::EvmProcess evm({"--baud", std::to_string(baud), "--latency", latency});
    applyPortChoice(parsePortChoice(evm.linkPath()));
    LinkLibrary library(WIRE_BENCH_LIBRARY_FOLDER);
    ThreadSleeper sleeper;
    Quiet reporter;
    BoardSession session({library, sleeper, PortSystem{}, "/nonexistent/Larkspur.ini"}, reporter);
    session.selectDevice(kInterfaceI2c, 76);

    std::string script;
    for (int i = 0; i < 100; ++i) {
        script += "0x11, 0x0" + std::to_string(i % 8) + "\n";
    }

    struct Operation {
        std::string name;
        std::function<bool()> run; // true when it did what it says
    };
    const std::vector<Operation> operations = {
        {"start-up (connect: set-up, codec read)",
         [&] {
             session.close();
             return session.connect(1) == SessionStatus::Done;
         }},
        {"dump, one read", [&] { return session.snapshot().has_value(); }},
        {"dump, ten one-register reads",
         [&] {
             for (std::uint32_t reg = 0x10; reg <= 0x19; ++reg) {
                 if (session.read(reg, 1).size() != 1) {
                     return false;
                 }
             }
             return true;
         }},
        {"read(0x10, 10), one read", [&] { return session.read(0x10, 10).size() == 10; }},
        {"write 0x10..0x19, one write",
         [&] {
             session.write(0x10, {0xC0, 0, 0, 0, 0, 0, 0x80, 0, 0xFF, 0xFF});
             return session.linkStatus() == SessionStatus::Done;
         }},
        {"write 0x10..0x19, ten writes",
         [&] {
             const std::vector<std::uint8_t> values = {0xC0, 0, 0, 0, 0, 0, 0x80, 0, 0xFF, 0xFF};
             for (std::size_t i = 0; i < values.size(); ++i) {
                 session.write(static_cast<std::uint32_t>(0x10 + i), {values[i]});
             }
             return session.linkStatus() == SessionStatus::Done;
         }},
        {"100-line script",
         [&] { return session.runScriptText("bench", script, false) == SessionStatus::Done; }},
    };

    if (session.connect(1) != SessionStatus::Done) {
        std::fprintf(stderr, "wire_bench: no board\n");
        return 1;
    }
    std::vector<Row> rows;
    for (const Operation& operation : operations) {
        std::vector<double> times;
        Row row;
        row.name = operation.name;
        for (int round = 0; round < rounds; ++round) {
            // Whatever the last operation left crossing the wire has arrived.
            if (evm.control("idle") != "ok") {
                return 1;
            }
            evm.mark();
            const auto start = Clock::now();
            if (!operation.run()) {
                std::fprintf(stderr, "wire_bench: %s failed\n", operation.name.c_str());
                return 1;
            }
            times.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            if (evm.control("idle") != "ok") {
                return 1;
            }
            row.traffic = trafficOf(evm.transcriptLines());
        }
        row.medianMs = median(times);
        row.minimumMs = static_cast<double>(row.traffic.bytes) * byteMs +
                        static_cast<double>(row.traffic.answers) * latencyMs;
        rows.push_back(row);
    }
    session.close();

    std::printf("%d baud, %s ms latency, median of %d rounds\n", baud, latency.c_str(), rounds);
    std::printf("%-42s %10s %8s %8s %11s %7s\n", "operation", "median ms", "bytes", "answers",
                "minimum ms", "ratio");
    for (const Row& row : rows) {
        std::printf("%-42s %10.2f %8lld %8lld %11.2f %7.3f\n", row.name.c_str(), row.medianMs,
                    row.traffic.bytes, row.traffic.answers, row.minimumMs,
                    row.medianMs / row.minimumMs);
    }
    const auto find = [&rows](const char* name) {
        return std::find_if(rows.begin(), rows.end(),
                            [name](const Row& row) { return row.name == name; })
            ->medianMs;
    };
    std::printf("dump: ten one-register reads take %.2fx the one read\n",
                find("dump, ten one-register reads") / find("dump, one read"));
    std::printf("write: ten one-register writes take %.2fx the one write\n",
                find("write 0x10..0x19, ten writes") / find("write 0x10..0x19, one write"));
    return reporter.failures == 0 ? 0 : 1;
}
