// The link through ser2net on this machine (loopback only), against the virtual board:
//   - one-register writes and reads straight on the pseudo-terminal, and through ser2net as
//     tcp:// and rfc2217:// with chardelay off, and as tcp:// with ser2net's defaults;
//   - the search over three silent boards with the board fourth, on pseudo-terminals and
//     through ser2net;
//   - a lab: eight boards behind one ser2net, a larkspur-cli script run on each at once, every
//     write then found on its own board and on no other.
// Figures and goals are printed. Only a functional failure (a call that fails, a wrong port, a
// write missing or on another board) ends it with a nonzero status, never a time.
//
//   net_bench [--transactions N] [--lab-writes N]
// With NET_BENCH_TRACE=1 set, every transaction over 10 ms is named with its time.
#include "loadedlink.h"
#include "tests/support/childprocess.h"
#include "tests/support/evmprocess.h"
#include "tests/support/ser2netprocess.h"
#include <sundial.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::EvmProcess;
using testsupport::Ser2netProcess;
using Kind = Ser2netProcess::Kind;

const SundialChannel kTable[SUNDIAL_CHANNELS] = {{1, 76}, {0, 0}, {0, 0}, {0, 0},
                                                 {0, 0},  {0, 0}, {0, 0}, {3, 0}};
constexpr int kRegister = 0x11;
constexpr int kLabBoards = 8;
// Goals of the network link: the documented server configuration, ser2net as installed, the
// search past silent ports.
constexpr double kFastMedianGoalMs = 0.5;
constexpr double kDefaultsMaxGoalMs = 10.0;
constexpr double kSearchGoalS = 2.2;
constexpr int kCliGuardMs = 600000; // a guard against a hang, not a margin

struct Options {
    int transactions = 1000;
    int labWrites = 10000;
};

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "%s needs a value\n", name.c_str());
            std::exit(2);
        }
        const int value = std::max(1, std::atoi(argv[++i]));
        if (name == "--transactions") {
            options.transactions = value;
        } else if (name == "--lab-writes") {
            options.labWrites = value;
        } else {
            std::fprintf(stderr, "unknown option %s\n", name.c_str());
            std::exit(2);
        }
    }
    return options;
}

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Spread {
    double median = 0;
    double p99 = 0;
    double max = 0;
    std::size_t over10 = 0; // transactions over 10 ms
};

Spread spreadOf(std::vector<double> values) {
    if (values.empty()) {
        return {};
    }
    if (std::getenv("NET_BENCH_TRACE") != nullptr) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (values[i] > 10.0) {
                std::fprintf(stderr, "  transaction %zu took %.3f ms\n", i, values[i]);
            }
        }
    }
    std::sort(values.begin(), values.end());
    const auto over10 = static_cast<std::size_t>(
        values.end() - std::upper_bound(values.begin(), values.end(), 10.0));
    return {values[values.size() / 2], values[values.size() * 99 / 100], values.back(), over10};
}

// Times `count` writes, then `count` reads, of one codec register on port `port` alone.
// Nothing when a call fails or a read gives back other than the last value written.
std::optional<Spread> timeTransactions(const LoadedLink& link, const std::string& port, int count) {
    ::setenv("SUNDIAL_PORTS", port.c_str(), 1);
    if (link.init(1, kTable) != 1) {
        std::fprintf(stderr, "%s: _init(1) did not connect\n", port.c_str());
        return std::nullopt;
    }
    bool good = true;
    for (int i = 0; i < 20 && good; ++i) { // warm up
        uint8_t value = 0;
        good = link.readData(0, kRegister, &value, 1) == 0;
    }
    std::vector<double> millis;
    uint8_t last = 0;
    for (int i = 0; i < count && good; ++i) {
        last = static_cast<uint8_t>(i * 7 + 1);
        const auto start = Clock::now();
        good = link.writeData(0, kRegister, &last, 1) == 0;
        millis.push_back(millisSince(start));
    }
    for (int i = 0; i < count && good; ++i) {
        uint8_t value = 0;
        const auto start = Clock::now();
        good = link.readData(0, kRegister, &value, 1) == 0 && value == last;
        millis.push_back(millisSince(start));
    }
    link.close();
    if (!good) {
        std::fprintf(stderr, "%s: transaction %zu failed or read a wrong value\n", port.c_str(),
                     millis.size());
        return std::nullopt;
    }
    return spreadOf(millis);
}

const char* heldOrMissed(bool held) {
    return held ? "held" : "missed";
}

// Every configuration's spread of transaction times. False on a functional failure.
bool transactions(const LoadedLink& link, int count) {
    EvmProcess board;
    Ser2netProcess fast({{board.linkPath(), Kind::Raw}, {board.linkPath(), Kind::Rfc2217}});
    Ser2netProcess defaults({{board.linkPath(), Kind::Raw}}, {.noCharDelay = false});
    struct Row {
        const char* name;
        std::string port;
        std::optional<Spread> spread;
    };
    std::vector<Row> rows = {{"pty", board.linkPath(), {}},
                             {"tcp://, chardelay false", fast.url(0), {}},
                             {"rfc2217://, chardelay false", fast.url(1), {}},
                             {"tcp://, ser2net defaults", defaults.url(0), {}}};
    std::printf("transactions, %d one-register writes then %d reads, each timed:\n", count, count);
    bool good = true;
    for (Row& row : rows) {
        // The previous row's connection may still be draining into the same board.
        fast.waitUntilDevicesClosed();
        defaults.waitUntilDevicesClosed();
        row.spread = timeTransactions(link, row.port, count);
        if (row.spread) {
            std::printf("  %-28s median %7.3f ms  p99 %7.3f ms  max %7.3f ms  over 10 ms: %zu\n",
                        row.name, row.spread->median, row.spread->p99, row.spread->max,
                        row.spread->over10);
        } else {
            std::printf("  %-28s failed\n", row.name);
            good = false;
        }
    }
    if (rows[1].spread && rows[2].spread) {
        const double worst = std::max(rows[1].spread->median, rows[2].spread->median);
        std::printf("goal: chardelay false, median <= %.1f ms: %s (%.3f ms at most)\n",
                    kFastMedianGoalMs, heldOrMissed(worst <= kFastMedianGoalMs), worst);
    }
    if (rows[3].spread) {
        std::printf("goal: ser2net defaults, no transaction over %.0f ms: %s (max %.3f ms)\n",
                    kDefaultsMaxGoalMs, heldOrMissed(rows[3].spread->max <= kDefaultsMaxGoalMs),
                    rows[3].spread->max);
    }
    return good;
}

// Times _init(0) over `ports`, whose fourth is the board. False when it chose another.
bool timeSearch(const LoadedLink& link, const char* name, const std::vector<std::string>& ports) {
    std::string list;
    for (const std::string& port : ports) {
        list += (list.empty() ? "" : ":") + port;
    }
    ::setenv("SUNDIAL_PORTS", list.c_str(), 1);
    const auto start = Clock::now();
    const int chosen = link.init(0, kTable);
    const double seconds = millisSince(start) / 1000;
    link.close();
    std::printf("  %-28s %.3f s, port %d; goal <= %.1f s: %s\n", name, seconds, chosen,
                kSearchGoalS, heldOrMissed(seconds <= kSearchGoalS));
    if (chosen != 4) {
        std::fprintf(stderr, "search over %s chose port %d, not 4\n", list.c_str(), chosen);
    }
    return chosen == 4;
}

// The search past silent boards. False on a functional failure.
bool search(const LoadedLink& link) {
    EvmProcess silent1({"--fault", "silent always"});
    EvmProcess silent2({"--fault", "silent always"});
    EvmProcess silent3({"--fault", "silent always"});
    EvmProcess board;
    const std::vector<const EvmProcess*> boards = {&silent1, &silent2, &silent3, &board};
    std::vector<Ser2netProcess::Served> served;
    std::vector<std::string> ptys;
    for (const EvmProcess* each : boards) {
        served.push_back({each->linkPath(), Kind::Raw});
        ptys.push_back(each->linkPath());
    }
    Ser2netProcess server(served);
    std::vector<std::string> urls;
    for (std::size_t i = 0; i < server.size(); ++i) {
        urls.push_back(server.url(i));
    }
    std::printf("search, _init(0) over three silent boards, the board fourth:\n");
    const bool onPtys = timeSearch(link, "ptys", ptys);
    const bool overTcp = timeSearch(link, "tcp://, chardelay false", urls);
    return onPtys && overTcp;
}

// Board `board`'s k-th script line: registers 0x11 to 0x14 in turn, values whose low three bits
// are the board's number, so that a write on the wrong board shows.
int labRegister(int k) {
    return 0x11 + k % 4;
}
int labValue(int board, int k) {
    return (k * kLabBoards + board) & 0xFF;
}

struct Verified {
    int inOrder = 0;    // the board's own writes, in the script's order
    int foreign = 0;    // writes of another board's script
    int unexpected = 0; // the board's pattern, out of order or repeated
};

// The codec writes among a board's requests, against its script.
Verified verify(const std::vector<std::string>& requests, int board, int writes) {
    Verified verified;
    for (const std::string& request : requests) {
        std::vector<int> bytes;
        for (std::size_t at = 0; at + 2 <= request.size(); at += 3) {
            bytes.push_back(std::stoi(request.substr(at, 2), nullptr, 16));
        }
        // 1E 05 | 00 01 4C reg value | sum: a one-register write to channel 0 over type 1.
        if (bytes.size() != 9 || bytes[1] != 5 || bytes[2] != 0x00 || bytes[3] != 0x01 ||
            bytes[4] != 76) {
            continue;
        }
        const int reg = bytes[5];
        const int value = bytes[6];
        if (value % kLabBoards != board) {
            ++verified.foreign;
        } else if (verified.inOrder < writes && reg == labRegister(verified.inOrder) &&
                   value == labValue(board, verified.inOrder)) {
            ++verified.inOrder;
        } else {
            ++verified.unexpected;
        }
    }
    return verified;
}

// Eight boards, eight larkspur-cli runs at once. False on a functional failure.
bool lab(int writes) {
    char folder[] = "/tmp/net-bench.XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return false;
    }
    const std::string work = folder;
    ::setenv("XDG_CONFIG_HOME", work.c_str(), 1); // no settings of this user's
    ::unsetenv("SUNDIAL_PORTS");

    std::vector<std::unique_ptr<EvmProcess>> boards;
    std::vector<Ser2netProcess::Served> served;
    std::vector<std::string> scripts;
    for (int i = 0; i < kLabBoards; ++i) {
        boards.push_back(std::make_unique<EvmProcess>());
        served.push_back({boards.back()->linkPath(), Kind::Raw});
        scripts.push_back(work + "/board" + std::to_string(i) + ".csv");
        std::ofstream out(scripts.back(), std::ios::binary);
        for (int k = 0; k < writes; ++k) {
            char line[32];
            std::snprintf(line, sizeof line, "0x%02X, 0x%02X\r\n", labRegister(k), labValue(i, k));
            out << line;
        }
    }
    Ser2netProcess server(served);
    for (const auto& board : boards) {
        board->mark();
    }

    struct Run {
        int status = -1;
        double millis = 0;
        std::string err;
    };
    std::vector<Run> runs(boards.size());
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    for (std::size_t i = 0; i < boards.size(); ++i) {
        threads.emplace_back([&, i] {
            const auto own = Clock::now();
            try {
                testsupport::ChildProcess cli({LARKSPUR_CLI_PATH, "--port", server.url(i),
                                               "--interface", "iic", "run", scripts[i]});
                const auto outcome = cli.finish(kCliGuardMs);
                runs[i] = {outcome.status, millisSince(own), outcome.err};
            } catch (const std::exception& e) {
                runs[i] = {-1, millisSince(own), e.what()};
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const double all = millisSince(start);

    std::printf("lab: %d boards behind one ser2net, larkspur-cli run of %d writes on each at "
                "once:\n",
                kLabBoards, writes);
    bool good = true;
    int verifiedTotal = 0;
    for (std::size_t i = 0; i < boards.size(); ++i) {
        const Verified verified =
            verify(testsupport::requestsOf(boards[i]->transcript()), static_cast<int>(i), writes);
        verifiedTotal += verified.inOrder;
        const bool boardGood = runs[i].status == 0 && verified.inOrder == writes &&
                               verified.foreign == 0 && verified.unexpected == 0;
        good = good && boardGood;
        std::printf("  board %zu (%s): exit %d, %.0f ms; writes landed %d of %d, another board's "
                    "%d, out of order %d\n",
                    i, server.url(i).c_str(), runs[i].status, runs[i].millis, verified.inOrder,
                    writes, verified.foreign, verified.unexpected);
        if (!boardGood && !runs[i].err.empty()) {
            std::fprintf(stderr, "board %zu: %s", i, runs[i].err.c_str());
        }
    }
    std::printf("  verified %d of %d writes; all runs done in %.0f ms (%.0f writes/s)\n",
                verifiedTotal, kLabBoards * writes, all, kLabBoards * writes / (all / 1000));

    std::error_code ignored;
    std::filesystem::remove_all(work, ignored);
    return good;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    const LoadedLink link = loadLink(SUNDIAL_LIBRARY_PATH);
    // A measurement that cannot even set up (a board or ser2net that does not start) fails
    // alone; the others still run.
    const auto measure = [](const std::function<bool()>& run) {
        try {
            return run();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "net_bench: %s\n", e.what());
            return false;
        }
    };
    bool good = measure([&] { return transactions(link, options.transactions); });
    good = measure([&] { return search(link); }) && good;
    good = measure([&] { return lab(options.labWrites); }) && good;
    ::dlclose(link.handle);
    if (!good) {
        std::fprintf(stderr, "net_bench: a functional failure, see above\n");
    }
    return good ? 0 : 1;
}
