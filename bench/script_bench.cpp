// Cost of running a register script, per line, against the virtual board through the real link
// library. The link's round trip (the pseudo-terminal and the board process) dominates and varies
// from run to run by more than the program's own work, so that work is taken two ways: the run
// less the same number of bare _writeData calls timed alone, and, steadier, the run less the time
// spent inside its own _writeData calls. What remains is reading and splitting the file, the
// number notation and WriteRegister with its shadow and register map update. This thread's
// processor time is reported alike. Goal: under 20 us of own work per line.
#include "device/linklibrary.h"
#include "device/registeraccess.h"
#include "files/registerscript.h"
#include "files/scriptparser.h"
#include "tests/support/evmprocess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace larkspur;

namespace {

using Clock = std::chrono::steady_clock;

double threadCpuMicros() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

struct Cost {
    double wall = 0; // microseconds per line
    double cpu = 0;
};

template <typename Work> Cost timePerLine(int lines, Work&& work) {
    const double cpuStart = threadCpuMicros();
    const auto start = Clock::now();
    work();
    const double wall = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    return {wall / lines, (threadCpuMicros() - cpuStart) / lines};
}

// Stand-ins for the windows that do comparable work: a row repaint and a history line become
// one formatted string each.
struct SinkMap final : RegisterMapView {
    void ShowRegisterBits(int row, int value) override {
        rows.push_back(std::to_string(row) + ":" + std::to_string(value));
    }
    std::vector<std::string> rows;
};

struct SinkHistory final : HistoryView {
    void appendHistoryLine(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

struct QuietDialogs final : UserDialogs {
    void message(const std::string& text) override { shown.push_back(text); }
    void error(const std::string&, const std::string& text) override { shown.push_back(text); }
    bool question(const std::string&, const std::string&) override { return true; }
    std::string openFileName(const FileDialog&) override { return {}; }
    std::string saveFileName(const FileDialog&) override { return {}; }
    std::vector<std::string> shown;
};

struct NoSleep final : Sleeper {
    void sleepMs(int) override {}
};

struct NoView final : ScriptView {
    void showProgress() override {}
    void setProgress(int) override {}
    void hideProgress() override {}
    void refreshControls() override {}
};

// Registers 0x11 to 0x19 but the flags; 0x10 with bit 7 clear would reset the codec.
int registerOf(int line) {
    static constexpr int kRegisters[] = {0x11, 0x12, 0x13, 0x14, 0x16, 0x17, 0x18, 0x19};
    return kRegisters[line % 8];
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int lines = 10000;
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--lines") == 0) {
            lines = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        }
    }

    char dirTemplate[] = "/tmp/script-bench.XXXXXX";
    if (::mkdtemp(dirTemplate) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = dirTemplate;
    const std::string scriptPath = dir + "/bench.csv";
    std::string text;
    for (int i = 0; i < lines; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "0x%02X, 0x%02X\r\n", registerOf(i), i & 0xFF);
        text += line;
    }
    std::ofstream(scriptPath, std::ios::binary) << text;

    testsupport::EvmProcess board;
    ::setenv("SUNDIAL_PORTS", board.linkPath().c_str(), 1);
    LinkLibrary library;
    if (library.load() != LinkLoader::Status::Loaded) {
        std::fprintf(stderr, "cannot load the link library\n");
        return 1;
    }
    // Every _writeData goes through this wrapper, in the bare loop and in the script alike, and
    // the time and processor time inside the library are added up.
    const LinkEntries& loaded = *library.entries();
    double insideWall = 0;
    double insideCpu = 0;
    LinkEntries link = loaded;
    link.writeData = [&](int32_t channel, int32_t reg, const uint8_t* data, int32_t count) {
        // The processor clock is a system call: read inside the timed span, it counts as the
        // library's and not as the program's.
        const auto start = Clock::now();
        const double cpuStart = threadCpuMicros();
        const int32_t result = loaded.writeData(channel, reg, data, count);
        insideCpu += threadCpuMicros() - cpuStart;
        insideWall += std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        return result;
    };

    QuietDialogs dialogs;
    SinkMap map;
    SinkHistory history;
    NoSleep sleeper;
    NoView view;
    RegisterAccess access(dialogs, map, history);
    access.setLink(&link);
    access.setWriteMasks();
    access.LoadDefaultRegisters();
    access.SetInterfaceType(kInterfaceI2c);
    access.setLinkPort(link.init(0, access.channels().data()));
    if (access.linkPort() == 0) {
        std::fprintf(stderr, "the virtual board was not found\n");
        return 1;
    }
    access.setWriteSuppressed(false);
    RegisterScript script(access, dialogs, sleeper, view);

    for (int i = 0; i < 100; ++i) { // warm up
        const auto value = static_cast<uint8_t>(i);
        link.writeData(0, 0x11, &value, 1);
    }

    // Alternating rounds, so that a slow spell of the machine touches both sides alike.
    std::vector<double> bareWall, bareCpu, runWall, runCpu, ownWall, ownCpu;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        const Cost bare = timePerLine(lines, [&] {
            for (int i = 0; i < lines; ++i) {
                const auto value = static_cast<uint8_t>(i & 0xFF);
                failures += link.writeData(0, registerOf(i), &value, 1) != 0;
            }
        });
        insideWall = insideCpu = 0;
        const Cost run = timePerLine(lines, [&] { script.RunRegisterScript(scriptPath, false); });
        bareWall.push_back(bare.wall);
        bareCpu.push_back(bare.cpu);
        runWall.push_back(run.wall);
        runCpu.push_back(run.cpu);
        ownWall.push_back(run.wall - insideWall / lines);
        ownCpu.push_back(run.cpu - insideCpu / lines);
    }
    const Cost parse = timePerLine(lines, [&] {
        for (const std::string& line : splitScriptLines(text)) {
            failures += parseRecord(line).kind != ScriptRecord::Kind::Write;
        }
    });
    link.close();
    library.unload();
    std::filesystem::remove_all(dir);

    if (failures != 0 || !dialogs.shown.empty() || map.rows.size() < std::size_t(lines)) {
        std::fprintf(stderr, "the runs did not go through: %d failures, %zu messages\n", failures,
                     dialogs.shown.size());
        return 1;
    }
    const double own = median(ownWall);
    std::printf("script of %d write lines, median of %d rounds, per line:\n", lines, rounds);
    std::printf("  bare _writeData:           wall %6.1f us, thread CPU %5.1f us\n",
                median(bareWall), median(bareCpu));
    std::printf("  script run:                wall %6.1f us, thread CPU %5.1f us\n",
                median(runWall), median(runCpu));
    std::printf("  run less bare:             wall %6.2f us, thread CPU %5.2f us"
                " (best rounds: %.2f us, %.2f us)\n",
                median(runWall) - median(bareWall), median(runCpu) - median(bareCpu),
                *std::min_element(runWall.begin(), runWall.end()) -
                    *std::min_element(bareWall.begin(), bareWall.end()),
                *std::min_element(runCpu.begin(), runCpu.end()) -
                    *std::min_element(bareCpu.begin(), bareCpu.end()));
    std::printf("  run less its link calls:   wall %6.2f us, thread CPU %5.2f us\n", own,
                median(ownCpu));
    std::printf("  text alone (split, parse): wall %6.2f us\n", parse.wall);
    std::printf("goal: own work under 20 us per line: %s\n", own < 20.0 ? "met" : "missed");
    return 0;
}
