// Software cost of the link library against the virtual board on a pseudo-terminal, where the
// wire costs nothing. The round trip includes the kernel's pseudo-terminal path and the board
// process; the library's own cost is this thread's processor time. Also times a search over 256
// ports that do not exist.
#include "loadedlink.h"
#include <sundial.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Board {
    pid_t pid = -1;
    std::string dir;
    std::string link;
};

Board startBoard() {
    Board board;
    char dirTemplate[] = "/tmp/link-bench.XXXXXX";
    if (::mkdtemp(dirTemplate) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    board.dir = dirTemplate;
    board.link = board.dir + "/port";
    int out[2];
    if (::pipe(out) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string program = VIRTUAL_EVM_PATH;
    std::string linkOption = "--link";
    char* argv[] = {program.data(), linkOption.data(), board.link.data(), nullptr};
    if (::posix_spawn(&board.pid, program.c_str(), &actions, nullptr, argv, environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    // The first line is the device; the link exists by then.
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') {
    }
    ::close(out[0]);
    return board;
}

void stopBoard(const Board& board) {
    ::kill(board.pid, SIGTERM);
    ::waitpid(board.pid, nullptr, 0);
    ::rmdir(board.dir.c_str());
}

struct Summary {
    double median;
    double p99;
    double cpuMean; // this thread's processor time per transaction, system calls included
};

double threadCpuMicros() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

} // namespace

int main(int argc, char** argv) {
    int transactions = 10000;
    int searches = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--transactions") == 0) {
            transactions = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--searches") == 0) {
            searches = std::max(1, std::atoi(argv[i + 1]));
        }
    }

    const LoadedLink lib = loadLink(SUNDIAL_LIBRARY_PATH);

    const SundialChannel table[SUNDIAL_CHANNELS] = {{1, 76}, {0, 0}, {0, 0}, {0, 0},
                                                    {0, 0},  {0, 0}, {0, 0}, {3, 0}};
    Board board = startBoard();
    ::setenv("SUNDIAL_PORTS", board.link.c_str(), 1);
    if (lib.init(0, table) != 1) {
        std::fprintf(stderr, "the virtual board was not found\n");
        stopBoard(board);
        return 1;
    }

    auto timeEach = [&](auto&& transaction) {
        std::vector<double> micros;
        micros.reserve(static_cast<std::size_t>(transactions));
        int failures = 0;
        const double cpuStart = threadCpuMicros();
        for (int i = 0; i < transactions; ++i) {
            const auto start = Clock::now();
            failures += transaction(i) != 0;
            micros.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        const double cpu = (threadCpuMicros() - cpuStart) / transactions;
        if (failures != 0) {
            std::fprintf(stderr, "%d transactions failed\n", failures);
            std::exit(1);
        }
        std::sort(micros.begin(), micros.end());
        return Summary{micros[micros.size() / 2], micros[micros.size() * 99 / 100], cpu};
    };

    for (int i = 0; i < 100; ++i) { // warm up
        uint8_t value = 0;
        lib.readData(0, 0x11, &value, 1);
    }
    const Summary writes = timeEach([&](int i) {
        const auto value = static_cast<uint8_t>(i);
        return lib.writeData(0, 0x11, &value, 1);
    });
    const Summary reads = timeEach([&](int) {
        uint8_t value = 0;
        return lib.readData(0, 0x11, &value, 1);
    });
    lib.close();
    stopBoard(board);

    std::string absent;
    for (int n = 1; n <= 256; ++n) {
        absent += (n > 1 ? ":" : "") + std::string("/nonexistent/tty") + std::to_string(n);
    }
    ::setenv("SUNDIAL_PORTS", absent.c_str(), 1);
    std::vector<double> searchMillis;
    for (int i = 0; i < searches; ++i) {
        const auto start = Clock::now();
        const int port = lib.init(0, table);
        searchMillis.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (port != 0) {
            std::fprintf(stderr, "a board was found where none is\n");
            return 1;
        }
    }
    std::sort(searchMillis.begin(), searchMillis.end());
    ::dlclose(lib.handle);

    // 21 bytes of a one-register write at 10 bits per byte and 115200 baud.
    const double wireMicros = 21.0 * 10.0 / 115200.0 * 1e6;
    std::printf("one-register write: round trip median %.1f us, p99 %.1f us over %d; "
                "library CPU %.1f us (%.1f%% of %.0f us wire time)\n",
                writes.median, writes.p99, transactions, writes.cpuMean,
                100.0 * writes.cpuMean / wireMicros, wireMicros);
    std::printf("one-register read:  round trip median %.1f us, p99 %.1f us over %d; "
                "library CPU %.1f us\n",
                reads.median, reads.p99, transactions, reads.cpuMean);
    std::printf("search of 256 absent ports: median %.3f ms over %d\n",
                searchMillis[searchMillis.size() / 2], searches);
    return 0;
}
