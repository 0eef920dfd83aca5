// larkspur-cli from process start to exit, against the virtual board:
//   - one register write, and the same write from a Python/pyserial script (when python3 and
//     pyserial are there) sending the same frames;
//   - a 10,000-line script, against the library's own time for the same writes in-process;
//   - "ports" over 96 device numbers that do not exist;
//   - the peak memory of every run.
// Figures only; nothing here fails on time.
//
//   cli_bench [--rounds N] [--lines N]
#include "loadedlink.h"
#include "tests/support/childprocess.h"
#include "tests/support/evmprocess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Runs a program to its end; wall time in milliseconds, or -1 when it failed.
double timeRun(const std::vector<std::string>& words) {
    const auto start = Clock::now();
    if (testsupport::runToEnd(words).status != 0) {
        return -1;
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double medianOf(int rounds, const std::vector<std::string>& words) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const double ms = timeRun(words);
        if (ms < 0) {
            return -1;
        }
        times.push_back(ms);
    }
    return median(times);
}

// The frames larkspur-cli sends for "write 0x11 0x05" over IIC: probe, set-ups, the write.
const char* kPythonWrite = R"(
import sys, serial
def frame(payload):
    body = bytes([0x1E, len(payload)]) + bytes(payload)
    total = sum(body) & 0xFFFF
    return body + bytes([total >> 8, total & 0xFF])
port = serial.Serial(sys.argv[1], 115200, timeout=0.6)
port.write(frame([0x8F, 0x00, 0xFF])); port.read(2); port.read(7); port.write(b'\x1f\x00')
for k, t in enumerate([1, 0, 0, 0, 0, 0, 0, 3]):
    port.write(frame([0x50 + k, 0x00, t])); port.read(2)
port.write(frame([0x00, 0x01, 0x4C, 0x11, 0x05])); port.read(2); port.read(7)
port.write(b'\x1f\x00')
port.close()
)";

} // namespace

int main(int argc, char** argv) {
    int rounds = 50;
    int lines = 10000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--rounds") {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        } else if (name == "--lines") {
            lines = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    testsupport::EvmProcess board;
    const std::string cli = LARKSPUR_CLI_PATH;
    const std::string port = board.linkPath();
    char folder[] = "/tmp/cli-bench.XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string work = folder;
    ::setenv("XDG_CONFIG_HOME", work.c_str(), 1);

    // One write, start to exit.
    const double cliWrite =
        medianOf(rounds, {cli, "--port", port, "--interface", "iic", "write", "0x11", "0x05"});
    std::printf("larkspur-cli write 0x11 0x05: median %.2f ms over %d runs\n", cliWrite, rounds);

    // A long script, against the library's own time for the same writes.
    const std::string lineScript = work + "/writes.csv";
    {
        std::ofstream out(lineScript);
        for (int i = 0; i < lines; ++i) {
            out << "0x13, 0x" << std::hex << (i & 0xFF) << std::dec << "\r\n";
        }
    }
    const double cliRun = timeRun({cli, "--port", port, "--interface", "iic", "run", lineScript});
    ::setenv("SUNDIAL_PORTS", port.c_str(), 1);
    const LoadedLink link = loadLink(SUNDIAL_LIBRARY_PATH);
    const SundialChannel table[SUNDIAL_CHANNELS] = {{SUNDIAL_TYPE_I2C, 76}, {}, {}, {}, {}, {}, {},
                                                    {SUNDIAL_TYPE_SPI, 0}};
    const auto libraryStart = Clock::now();
    link.init(1, table);
    for (int i = 0; i < lines; ++i) {
        const auto value = static_cast<std::uint8_t>(i & 0xFF);
        link.writeData(0, 0x13, &value, 1);
    }
    link.close();
    const double libraryRun =
        std::chrono::duration<double, std::milli>(Clock::now() - libraryStart).count();
    std::printf("run of %d lines: %.0f ms; the library alone: %.0f ms (%.2f times)\n", lines,
                cliRun, libraryRun, cliRun / libraryRun);

    // ports over 96 numbers without a device.
    std::string absent;
    for (int i = 0; i < 96; ++i) {
        absent += (absent.empty() ? "" : ":") + work + "/absent" + std::to_string(i);
    }
    ::setenv("SUNDIAL_PORTS", absent.c_str(), 1);
    const double ports = medianOf(rounds, {cli, "ports"});
    std::printf("ports over 96 absent devices: median %.2f ms\n", ports);

    // Every child so far was larkspur-cli: the virtual board is still running.
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    std::printf("peak memory of a larkspur-cli run: %.1f MiB\n",
                static_cast<double>(usage.ru_maxrss) / 1024);

    ::setenv("SUNDIAL_PORTS", port.c_str(), 1);
    const std::string script = work + "/pyserial_write.py";
    std::ofstream(script) << kPythonWrite;
    // The system's Python first: where Debian's python3-serial lands.
    double pythonWrite = medianOf(rounds, {"/usr/bin/python3", script, port});
    if (pythonWrite < 0) {
        pythonWrite = medianOf(rounds, {"python3", script, port});
    }
    if (pythonWrite > 0) {
        std::printf("python3/pyserial, same frames: median %.2f ms (%.1f times the CLI's)\n",
                    pythonWrite, pythonWrite / cliWrite);
    } else {
        std::printf("python3/pyserial: not measured (python3 or pyserial missing)\n");
    }

    std::string cleanup = "rm -rf " + work;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
