// Shared by the file tests: a private folder, whole-file reads and writes, the register layer
// live on a recording link, and stand-ins for the script's sleeper and window that log into one
// journal, so that order across them can be checked.
#pragma once

#include "device/registeraccess.h"
#include "device/sleeper.h"
#include "files/registerscript.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace testsupport {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/larkspur-files.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    // The names in the folder, sorted: shows a temporary file left behind.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            out.push_back(entry.path().filename().string());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::string m_path;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The register layer on the recording link, live on port 1 as after a start-up: writes are sent
// and logged. A test may put its own entries in front of the fake's.
class LiveAccessTest : public ::testing::Test {
protected:
    void goLive(const larkspur::LinkEntries* entries = nullptr) {
        m_access.setLink(entries != nullptr ? entries : &m_link.entries);
        m_access.setWriteMasks();
        m_access.LoadDefaultRegisters();
        m_access.setLinkPort(1);
        m_access.setWriteSuppressed(false);
        m_access.setHistoryEnabled(true);
    }

    TempDir m_dir;
    RecordingDialogs m_dialogs;
    RecordingMap m_map;
    RecordingHistory m_history;
    FakeLink m_link;
    larkspur::RegisterAccess m_access{m_dialogs, m_map, m_history};
};

struct JournalSleeper final : larkspur::Sleeper {
    explicit JournalSleeper(std::vector<std::string>& journal) : events(journal) {}
    void sleepMs(int milliseconds) override {
        sleeps.push_back(milliseconds);
        events.push_back("sleep " + std::to_string(milliseconds));
    }
    std::vector<std::string>& events;
    std::vector<int> sleeps;
};

// The main window's part in a run. The refresh notes the history flag and how many errors had
// been shown by then, and may make an echo write as the real refresh does.
struct JournalScriptView final : larkspur::ScriptView {
    JournalScriptView(std::vector<std::string>& journal, larkspur::RegisterAccess& registers,
                      const std::vector<std::pair<std::string, std::string>>& shownErrors)
        : events(journal), access(registers), errors(shownErrors) {}
    void showProgress() override { events.push_back("show"); }
    void setProgress(int percent) override {
        events.push_back("progress " + std::to_string(percent));
    }
    void hideProgress() override { events.push_back("hide"); }
    void refreshControls() override {
        events.push_back(std::string("refresh history ") +
                         (access.historyEnabled() ? "on" : "off") + " after " +
                         std::to_string(errors.size()) + " errors");
        if (echoWrite) {
            access.WriteRegister(0x14, 0x01);
        }
    }
    std::vector<std::string>& events;
    larkspur::RegisterAccess& access;
    const std::vector<std::pair<std::string, std::string>>& errors;
    bool echoWrite = false;
};

} // namespace testsupport
