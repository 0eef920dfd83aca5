// Soak of the link library against the virtual board with random faults: many transactions of
// mixed kinds and lengths, a fault (or a stack of them on one exchange) armed before a small
// share of them. Every read that reports
// success is checked against the board's registers, and so is every write that reports success:
// the counts of wrong reads and of writes reported done that the board did not carry out must
// both be 0.
// Reports how many clean transactions (no fault armed on them) failed, how many transactions it
// took to get back in step after each kind of fault, and the longest call.
//
//   link_soak [--transactions N] [--fault-rate P] [--seed S] [--library PATH] [--no-echo]
// --no-echo: the board's reply headers repeat nothing of the request.
// LINK_SOAK_TRACE=1 in the environment lists every failed or faulted transaction.
#include "loadedlink.h"
#include "tests/support/evmprocess.h"
#include <sundial.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dlfcn.h>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::EvmProcess;

struct Options {
    long transactions = 100000;
    double faultRate = 0.01;
    bool noEcho = false;
    unsigned seed = 1;
    std::string library = SUNDIAL_LIBRARY_PATH;
};

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--no-echo") {
            options.noEcho = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "%s needs a value\n", name.c_str());
            std::exit(2);
        }
        const char* value = argv[++i];
        if (name == "--transactions") {
            options.transactions = std::atol(value);
        } else if (name == "--fault-rate") {
            options.faultRate = std::atof(value);
        } else if (name == "--seed") {
            options.seed = static_cast<unsigned>(std::atol(value));
        } else if (name == "--library") {
            options.library = value;
        } else {
            std::fprintf(stderr, "unknown option %s\n", name.c_str());
            std::exit(2);
        }
    }
    return options;
}

// Every kind of fault the board can make, with arguments drawn per use.
std::string randomFault(std::mt19937& random) {
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    // Every fault applies to the next request of any kind, so that the transaction it is armed
    // for is the one that meets it. Stacked faults, separated by ';', go to the requests that
    // follow in turn: the transaction's answer comes after it gave up (once, or twice 100 ms
    // apart), the resynchronising probe's answer 150 ms after every answer still due (the board
    // answers in order), and the next request is lost.
    switch (pick(0, 16)) {
    case 15:
        return "slow 2000; slow 150 behind probe; silent";
    case 16:
        return "slow 2000 100; slow 150 behind probe; silent";
    case 13:
        return "stall " + std::to_string(pick(1000, 3000));
    case 14:
        return "late held"; // released a few transactions later
    case 0:
        return "silent";
    case 1:
        return "no-ack";
    case 2:
        return "wrong-ack";
    case 3:
        return "no-reply";
    case 4:
        return "pieces " + std::to_string(pick(2, 4));
    case 5:
        return "late " + std::to_string(pick(100, 3000));
    case 6:
        return "garbage";
    case 7:
        return "bad-start";
    case 8:
        return "bad-length";
    case 9:
        return "bad-sum";
    case 10:
        return "split";
    case 11:
        return "babble " + std::to_string(pick(20, 800));
    default:
        return "pieces 4 50 300";
    }
}

// The board's last transcript lines, for a write reported done that it did not carry out.
void printTranscriptTail(const EvmProcess& board, std::size_t lines) {
    std::ifstream log(board.logPath());
    std::deque<std::string> tail;
    for (std::string line; std::getline(log, line);) {
        tail.push_back(line);
        if (tail.size() > lines) {
            tail.pop_front();
        }
    }
    for (const std::string& line : tail) {
        std::fprintf(stderr, "  %s\n", line.c_str());
    }
}

std::string kindOf(const std::string& fault) {
    if (fault.find(';') != std::string::npos) {
        return fault.find(" 100;") != std::string::npos ? "stacked2" : "stacked";
    }
    return fault.substr(0, fault.find(' '));
}

// Arms each fault of a ';'-separated list behind the one before, once each.
void arm(EvmProcess& board, const std::string& faults) {
    std::size_t start = 0;
    for (bool first = true;; first = false) {
        const std::size_t end = faults.find(';', start);
        std::string one = faults.substr(start, end - start);
        one.erase(0, one.find_first_not_of(' '));
        const std::string command = (first ? "fault " : "fault-add ") + one + " once";
        const std::string reply = board.control(command);
        if (reply.rfind("ok", 0) != 0) {
            std::fprintf(stderr, "the board refused '%s': %s\n", command.c_str(), reply.c_str());
            std::exit(2);
        }
        if (end == std::string::npos) {
            return;
        }
        start = end + 1;
    }
}

struct KindFigures {
    long armed = 0;
    long stepBackTotal = 0; // failed clean transactions that followed, summed
    long stepBackMost = 0;
};

constexpr int kCodecFirst = 0x10;
constexpr int kCodecCount = 10;
constexpr int kBoardRegisters = 128; // channel 7 over type 3 reaches 0 to 127

} // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    const LoadedLink link = loadLink(options.library.c_str());
    EvmProcess board;
    ::setenv("SUNDIAL_PORTS", board.linkPath().c_str(), 1);
    if (options.noEcho) {
        board.control("echo off");
    }
    std::array<uint8_t, kCodecCount> codec = {0xC0, 0x21, 0x32, 0x43, 0x54,
                                              0x00, 0x76, 0x87, 0x98, 0xA9};
    for (std::size_t i = 0; i < codec.size(); ++i) {
        board.control("reg " + std::to_string(kCodecFirst + static_cast<int>(i)) + " " +
                      std::to_string(codec[i]));
    }
    std::array<uint8_t, kBoardRegisters> boardRegs{};
    const SundialChannel table[SUNDIAL_CHANNELS] = {{SUNDIAL_TYPE_I2C, 76}, {}, {}, {}, {}, {}, {},
                                                    {SUNDIAL_TYPE_SPI, 0}};
    if (link.init(1, table) != 1) {
        std::fprintf(stderr, "the board was not found\n");
        return 1;
    }

    std::mt19937 random(options.seed);
    std::bernoulli_distribution faultNow(options.faultRate);
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };

    long clean = 0;
    long cleanFailed = 0;
    long wrongReads = 0;
    long readsChecked = 0;
    long falseWrites = 0;
    long writesChecked = 0;
    long releaseIn = 0; // transactions until a held reply is released; 0: none held
    Clock::duration longest{};
    std::string longestWhat;
    std::map<std::string, KindFigures> kinds;
    std::string lastFaultKind; // the fault whose aftermath is being counted
    long stepBack = 0;
    const auto start = Clock::now();

    for (long n = 0; n < options.transactions; ++n) {
        std::string fault;
        if (releaseIn > 0 && --releaseIn == 0) {
            board.control("release");
        }
        if (faultNow(random)) {
            fault = randomFault(random);
            arm(board, fault);
            if (!lastFaultKind.empty()) {
                KindFigures& figures = kinds[lastFaultKind];
                figures.stepBackTotal += stepBack;
                figures.stepBackMost = std::max(figures.stepBackMost, stepBack);
            }
            lastFaultKind = kindOf(fault);
            if (fault == "late held") {
                board.control("release"); // one held reply at a time
                releaseIn = pick(1, 3);
            }
            ++kinds[lastFaultKind].armed;
            stepBack = 0;
        }

        const int what = pick(0, 9);
        int code = 0;
        std::string description;
        const auto before = Clock::now();
        if (what < 5) { // codec registers, one to all ten
            const int count = pick(1, kCodecCount);
            const int first = pick(0, kCodecCount - count);
            uint8_t values[kCodecCount] = {};
            code = link.readData(0, kCodecFirst + first, values, count);
            description = "codec read of " + std::to_string(count);
            if (code == 0) {
                ++readsChecked;
                if (!std::equal(values, values + count, codec.begin() + first)) {
                    ++wrongReads;
                    std::fprintf(stderr, "wrong read at %ld (fault '%s')\n", n, fault.c_str());
                }
            }
        } else if (what < 7) { // board registers, one to eight
            const int count = pick(1, 8);
            const int first = pick(0, kBoardRegisters - count);
            uint8_t values[8] = {};
            code = link.readData(7, first, values, count);
            description = "board read of " + std::to_string(count);
            if (code == 0) {
                ++readsChecked;
                if (!std::equal(values, values + count, boardRegs.begin() + first)) {
                    ++wrongReads;
                    std::fprintf(stderr, "wrong read at %ld (fault '%s')\n", n, fault.c_str());
                }
            }
        } else if (what < 8) { // codec register writes (not the read-only flags, 0x15)
            constexpr int kWritable[] = {0x11, 0x12, 0x13, 0x14, 0x16, 0x17, 0x18, 0x19};
            const int reg = kWritable[pick(0, 7)];
            const auto value = static_cast<uint8_t>(pick(0, 255));
            code = link.writeData(0, reg, &value, 1);
            description = "codec write";
            const std::string reply = board.control("get " + std::to_string(reg));
            const auto held = static_cast<uint8_t>(std::strtoul(reply.c_str() + 3, nullptr, 16));
            if (code == 0) {
                ++writesChecked;
                if (held != value) {
                    ++falseWrites;
                    std::fprintf(stderr, "write reported done at %ld, not held (fault '%s')\n", n,
                                 fault.c_str());
                    printTranscriptTail(board, 40);
                }
            }
            codec[static_cast<std::size_t>(reg - kCodecFirst)] = held;
        } else { // board register writes
            const int count = pick(1, 4);
            const int first = pick(0, kBoardRegisters - count);
            uint8_t values[4];
            for (uint8_t& value : values) {
                value = static_cast<uint8_t>(pick(0, 255));
            }
            code = link.writeData(7, first, values, count);
            description = "board write of " + std::to_string(count);
            // A failed write may or may not have been carried out: ask the board.
            bool held = true;
            for (int i = 0; i < count; ++i) {
                const std::string reply = board.control("get-board " + std::to_string(first + i));
                const auto now = static_cast<uint8_t>(std::strtoul(reply.c_str() + 3, nullptr, 16));
                held = held && now == values[i];
                boardRegs[static_cast<std::size_t>(first + i)] = now;
            }
            if (code == 0) {
                ++writesChecked;
                if (!held) {
                    ++falseWrites;
                    std::fprintf(stderr, "write reported done at %ld, not held (fault '%s')\n", n,
                                 fault.c_str());
                    printTranscriptTail(board, 40);
                }
            }
        }
        if (std::getenv("LINK_SOAK_TRACE") != nullptr && (code != 0 || !fault.empty())) {
            std::fprintf(stderr, "%ld %s code %d fault %s\n", n, description.c_str(), code,
                         fault.c_str());
        }
        const auto took = Clock::now() - before;
        if (took > longest) {
            longest = took;
            longestWhat = description + (fault.empty() ? "" : " under '" + fault + "'") +
                          ", code " + std::to_string(code);
        }
        if (fault.empty()) {
            ++clean;
            if (code != 0) {
                ++cleanFailed;
                ++stepBack;
            }
        }
    }
    if (!lastFaultKind.empty()) {
        KindFigures& figures = kinds[lastFaultKind];
        figures.stepBackTotal += stepBack;
        figures.stepBackMost = std::max(figures.stepBackMost, stepBack);
    }
    link.close();

    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%ld transactions in %.0f s, %ld with a fault armed, seed %u\n",
                options.transactions, seconds, options.transactions - clean, options.seed);
    std::printf("wrong reads: %ld of %ld successful reads\n", wrongReads, readsChecked);
    std::printf("writes reported done that the board did not carry out: %ld of %ld\n", falseWrites,
                writesChecked);
    std::printf("clean transactions that failed: %ld of %ld\n", cleanFailed, clean);
    std::printf("longest call: %.0f ms (%s)\n",
                std::chrono::duration<double, std::milli>(longest).count(), longestWhat.c_str());
    std::printf("%-10s %6s %22s %20s\n", "fault", "armed", "clean failures after",
                "most after one");
    for (const auto& [kind, figures] : kinds) {
        std::printf("%-10s %6ld %22ld %20ld\n", kind.c_str(), figures.armed, figures.stepBackTotal,
                    figures.stepBackMost);
    }
    ::dlclose(link.handle);
    return wrongReads == 0 && falseWrites == 0 ? 0 : 1;
}
