// Recording stand-ins for what the register layer shows and calls.
#pragma once

#include "device/linkentries.h"
#include "device/linkloader.h"
#include "device/registeraccess.h"
#include "device/sleeper.h"
#include "device/userdialogs.h"
#include "recordingdialogs.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Pauses that take no time.
struct NoSleep final : larkspur::Sleeper {
    void sleepMs(int) override {}
};

struct RecordingMap final : larkspur::RegisterMapView {
    void ShowRegisterBits(int row, int value) override { rows.emplace_back(row, value); }
    std::vector<std::pair<int, int>> rows;
};

struct RecordingHistory final : larkspur::HistoryView {
    void appendHistoryLine(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

// A link whose every call is recorded as text and answered from the fields below.
struct FakeLink {
    struct Call {
        std::string entry;
        int channel = 0;
        int reg = 0;
        int value = 0; // the byte written, or the port for init
        int count = 0;
        SundialChannel codec{}; // channel entry 0 handed to init
    };

    FakeLink() {
        entries.init = [this](int32_t port, const SundialChannel* table) {
            calls.push_back({"init", 0, 0, port, 0, table[0]});
            return initResult;
        };
        entries.close = [this] {
            calls.push_back({"close"});
            return 1;
        };
        entries.readData = [this](int32_t channel, int32_t reg, uint8_t* buffer, int32_t count) {
            calls.push_back({"read", channel, reg, 0, count});
            for (int32_t i = 0; i < count; ++i) {
                const auto found = values.find(reg + i);
                buffer[i] = found != values.end() ? found->second : readValue;
            }
            const int number = readCalls++;
            if (failRegister >= 0) {
                return covers(failRegister, reg, count) ? readResult : 0;
            }
            return failReadNumber < 0 || number == failReadNumber ? readResult : 0;
        };
        entries.writeData = [this](int32_t channel, int32_t reg, const uint8_t* data,
                                   int32_t count) {
            calls.push_back({"write", channel, reg, data[0], count});
            written.emplace_back(data, data + count);
            const int number = writeCalls++;
            if (failRegister >= 0) {
                return covers(failRegister, reg, count) ? writeResult : 0;
            }
            return failWriteNumber < 0 || number == failWriteNumber ? writeResult : 0;
        };
        entries.getVer = [] { return 0x1500; };
    }
    FakeLink(const FakeLink&) = delete;
    FakeLink& operator=(const FakeLink&) = delete;

    // Whether a transaction of `count` registers from `reg` reaches register `failing`.
    static bool covers(int failing, int32_t reg, int32_t count) {
        return reg <= failing && failing < reg + count;
    }

    larkspur::LinkEntries entries;
    std::vector<Call> calls;
    std::vector<std::vector<uint8_t>> written; // each write's data bytes
    int initResult = 0;
    int readResult = 0;
    int failReadNumber = -1; // 0-based read call that returns readResult; -1: every one
    int readCalls = 0;
    int writeResult = 0;
    int failWriteNumber = -1; // 0-based write call that returns writeResult; -1: every one
    int writeCalls = 0;
    // A register every transaction that reaches fails (readResult, writeResult), and only
    // those; -1: the failures go by call number as above.
    int failRegister = -1;
    uint8_t readValue = 0;
    std::map<int, uint8_t> values; // per register address; readValue for the rest
};

// A link loader that binds `entries` (or fails as told), counting its calls.
struct FakeLoader final : larkspur::LinkLoader {
    explicit FakeLoader(const larkspur::LinkEntries* entries, Status result = Status::Loaded)
        : link(entries), status(result) {}
    Status load() override {
        ++loads;
        loaded = status == Status::Loaded;
        return status;
    }
    void unload() override {
        ++unloads;
        loaded = false;
    }
    const larkspur::LinkEntries* entries() const override { return loaded ? link : nullptr; }
    std::string searchReport() const override { return searched; }
    const larkspur::LinkEntries* link;
    Status status;
    std::string searched; // where a library that cannot be loaded was looked for
    bool loaded = false;
    int loads = 0;
    int unloads = 0;
};

} // namespace testsupport
