// Scripts, snapshots and histories against the virtual board through the real link library:
// the frames that reach the board, and files that play back to the registers they came from.
#include "device/linklibrary.h"
#include "files/registerdump.h"
#include "files/registerscript.h"
#include "filetestsupport.h"
#include "tests/support/boardtest.h"
#include "tests/support/evmprocess.h"
#include "tests/support/fakes.h"
#include "tests/support/hexbytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace larkspur;
using namespace testsupport;

namespace {

using Strings = std::vector<std::string>;

struct NullView final : ScriptView {
    void showProgress() override {}
    void setProgress(int) override {}
    void hideProgress() override {}
    void refreshControls() override {}
};

// The frame of a one-byte codec write over I2C at address 76, as the board logs its arrival.
std::string i2cWriteFrame(int reg, int value) {
    std::vector<uint8_t> frame = {
        0x1E, 0x05, 0x00, 0x01, 0x4C, static_cast<uint8_t>(reg), static_cast<uint8_t>(value),
        0x00, 0x00};
    unsigned sum = 0;
    for (std::size_t i = 0; i < 7; ++i) {
        sum += frame[i];
    }
    frame[7] = static_cast<uint8_t>(sum >> 8);
    frame[8] = static_cast<uint8_t>(sum & 0xFF);
    return "rx " + hexOf(frame);
}

std::string registerText(int value) {
    return "ok 0x" + std::string(1, "0123456789ABCDEF"[value >> 4]) +
           std::string(1, "0123456789ABCDEF"[value & 0x0F]);
}

class ScriptOnBoardTest : public OnBoardTest {
protected:
    // The request frames that reached the board since the mark.
    Strings requests() const {
        Strings out;
        for (const std::string& line : m_evm->transcript()) {
            if (line.starts_with("rx 1E")) {
                out.push_back(line);
            }
        }
        return out;
    }

    void setBoard(const std::vector<std::pair<int, int>>& values) {
        for (const auto& [reg, value] : values) {
            ASSERT_EQ(m_evm->control("reg " + std::to_string(reg) + " " + std::to_string(value)),
                      "ok");
        }
    }

    void expectBoard(const std::vector<std::pair<int, int>>& values) {
        for (const auto& [reg, value] : values) {
            EXPECT_EQ(m_evm->control("get " + std::to_string(reg)), registerText(value)) << reg;
        }
    }

    TempDir m_dir;
    Strings m_events;
    JournalSleeper m_sleeper{m_events};
    NullView m_view;
    RegisterScript m_script{m_access, m_dialogs, m_sleeper, m_view};
    RegisterDump m_dump{m_access, m_dialogs};
};

const std::vector<std::pair<int, int>> kSettings = {{0x10, 0xC3}, {0x11, 0x25}, {0x12, 0x41},
                                                    {0x13, 0x7E}, {0x14, 0x09}, {0x16, 0x80},
                                                    {0x17, 0x3C}, {0x18, 0xA5}, {0x19, 0x5A}};

// The snapshot of a board holding kSettings: register numbers without device bits, CR LF.
const std::string kSnapshotOfSettings = "0x10, 0xC3\r\n0x11, 0x25\r\n0x12, 0x41\r\n0x13, 0x7E\r\n"
                                        "0x14, 0x09\r\n0x15, 0x00\r\n0x16, 0x80\r\n0x17, 0x3C\r\n"
                                        "0x18, 0xA5\r\n0x19, 0x5A\r\n";

TEST_F(ScriptOnBoardTest, WritesReachTheBoardAndNothingAfterABadLine) {
    connect({}, kInterfaceI2c);
    const std::string path = m_dir.file("script.csv");
    writeBytes(path, "0x10,0xC0\r\nsleep,100\r\n0x11,0x05\r\n0x12,0x100\r\n0x13,0x01\r\n");
    EXPECT_TRUE(m_script.RunRegisterScript(path, false));

    EXPECT_EQ(requests(), (Strings{i2cWriteFrame(0x10, 0xC0), i2cWriteFrame(0x11, 0x05)}));
    EXPECT_EQ(m_sleeper.sleeps, std::vector<int>{100});
    EXPECT_EQ(m_dialogs.errors, (std::vector<std::pair<std::string, std::string>>{
                                    {"Script file error", "Invalid register data!"}}));
    expectBoard({{0x11, 0x05}, {0x12, 0x00}, {0x13, 0x00}});
    EXPECT_TRUE(m_history.lines.empty());
    EXPECT_TRUE(m_dialogs.messages.empty());
}

TEST_F(ScriptOnBoardTest, SnapshotOverI2cPlaysBackToTheSameRegisters) {
    connect({}, kInterfaceI2c);
    setBoard(kSettings);
    const std::string path = m_dir.file("snap.csv");
    m_dialogs.fileNames = {path};
    m_dump.saveSnapshot();
    EXPECT_EQ(readBytes(path), kSnapshotOfSettings);

    ASSERT_EQ(m_evm->control("reset"), "ok");
    m_evm->mark();
    EXPECT_TRUE(m_script.RunRegisterScript(path, false));
    expectBoard(kSettings);
    // Register 0x10 first, then in ascending order.
    Strings frames;
    for (int reg = 0x10; reg <= 0x19; ++reg) {
        const auto found = std::find_if(kSettings.begin(), kSettings.end(),
                                        [reg](const auto& entry) { return entry.first == reg; });
        frames.push_back(i2cWriteFrame(reg, found == kSettings.end() ? 0 : found->second));
    }
    EXPECT_EQ(requests(), frames);
    EXPECT_TRUE(m_dialogs.errors.empty());
    EXPECT_TRUE(m_dialogs.messages.empty());
}

TEST_F(ScriptOnBoardTest, SnapshotOverSpiDeviceTwoNamesPlainRegisters) {
    connect({"--spi-device", "2"}, kInterfaceSpi, 2);
    ASSERT_EQ(m_access.DeviceBits(), 0x40);
    setBoard(kSettings);
    const std::string path = m_dir.file("snap.csv");
    m_dialogs.fileNames = {path};
    m_dump.saveSnapshot();
    EXPECT_EQ(readBytes(path), kSnapshotOfSettings);
    EXPECT_EQ(requests().size(), 10u);
    EXPECT_TRUE(m_dialogs.messages.empty());
}

TEST_F(ScriptOnBoardTest, UneditedHistoryPlaysBackOntoTheDeviceItWasMadeFor) {
    connect({"--spi-device", "2"}, kInterfaceSpi, 2);
    const auto deviceBits = static_cast<std::uint32_t>(m_access.DeviceBits());
    for (const auto& [reg, value] : kSettings) {
        m_access.WriteRegister(static_cast<std::uint32_t>(reg) + deviceBits, value);
    }
    ASSERT_EQ(m_history.lines.size(), kSettings.size());
    EXPECT_EQ(m_history.lines.front(), "0x50, 0xC3");
    expectBoard(kSettings);

    const std::string path = m_dir.file("history.csv");
    m_dialogs.fileNames = {path};
    m_dump.saveHistory(m_history.lines);
    ASSERT_EQ(m_evm->control("reset"), "ok");
    expectBoard({{0x11, 0x00}, {0x19, 0xFF}});

    EXPECT_TRUE(m_script.RunRegisterScript(path, false));
    expectBoard(kSettings);
    EXPECT_EQ(m_history.lines.size(), kSettings.size()); // the replay logged nothing
    EXPECT_TRUE(m_dialogs.errors.empty());
    EXPECT_TRUE(m_dialogs.messages.empty());
}

} // namespace
