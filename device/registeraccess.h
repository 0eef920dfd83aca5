// The only road to the hardware: codec register writes and reads, board settings, the shadow
// register file, the history and the communication error messages; and the two persistent
// settings, the interface type and the device address.
#pragma once

#include "codecregisters.h"
#include "linkentries.h"
#include "linkoutcome.h"
#include "settingsfile.h"
#include "userdialogs.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace larkspur {

// The link library's channels: the codec, and the board's own logic.
inline constexpr int kCodecChannel = 0;
inline constexpr int kBoardChannel = SUNDIAL_CHANNELS - 1;
// Board register 0x37: 1 when the codec's audio interface is the slave.
inline constexpr int kBoardMasterSlaveRegister = 0x37;

// Items of the interface selection, and the codec's device addresses on each bus.
inline constexpr int kInterfaceI2c = 0;
inline constexpr int kInterfaceSpi = 1;
inline constexpr int kFirstI2cAddress = 76;
inline constexpr int kDeviceAddresses = 4; // I2C 76 to 79, SPI devices 0 to 3
// SPI: the device address travels in bits 6 and 5 of every register address.
inline constexpr int kSpiDeviceShift = 5;
// The most registers one request carries both ways: a write's frame holds its data in the
// 255-byte length with five bytes of its own over SPI (four over IIC).
inline constexpr int kMaxBlockRegisters = 250;

// Where register changes and history lines are shown.
class RegisterMapView {
public:
    virtual ~RegisterMapView() = default;
    virtual void ShowRegisterBits(int row, int value) = 0;
};

class HistoryView {
public:
    virtual ~HistoryView() = default;
    virtual void appendHistoryLine(const std::string& line) = 0;
};

// "0x16, 0x80": the history and snapshot line of one register write.
std::string historyLine(std::uint32_t address, std::int32_t value);

// What the interface controls show after the settings have been read.
struct InterfaceSelection {
    int interfaceIndex = kInterfaceSpi; // kInterfaceI2c or kInterfaceSpi
    int addressIndex = 0;               // 0 to 3: I2C address 76 + n, or SPI device n
    std::vector<std::string> notes;     // what was shown of the file's problems, in order
};

class RegisterAccess {
public:
    RegisterAccess(UserDialogs& dialogs, RegisterMapView& map, HistoryView& history);

    // The loaded library's entries, or null when none is loaded. Not owned.
    void setLink(const LinkEntries* link) { m_link = link; }
    bool libraryLoaded() const { return m_link != nullptr; }
    const LinkEntries* link() const { return m_link; }

    // The transactions as values; nothing is shown. A codec write updates the shadow, the map
    // and the history whatever its outcome (a link failure never stops the panel), unless there
    // is no link. Under write suppression nothing is sent and the write counts as done.
    WriteOutcome writeCodec(std::uint32_t address, std::int32_t value);
    ReadOutcome readCodec(std::uint32_t address);
    WriteOutcome writeBoard(std::int32_t reg, std::uint8_t value);
    // Consecutive codec registers from `first` in one transaction each way, as the protocol's
    // count allows (at most kMaxBlockRegisters). A write's shadow, map and history follow
    // register by register as writeCodec's do, once the write is done. A failure is returned
    // but not recorded for takeFailures(): the caller goes on one register at a time, which
    // tells which register fails.
    LinkOutcome<std::vector<std::uint8_t>> readCodecBlock(std::uint32_t first, int count);
    WriteOutcome writeCodecBlock(std::uint32_t first, const std::vector<std::uint8_t>& values);
    // Shows a failure as the program does: a codec failure once until the error latch is
    // cleared (which it sets), a board failure every time.
    void report(const LinkFailure& failure);

    // The window's operations: the transactions above with their failures shown.
    void WriteRegister(std::uint32_t address, std::int32_t value);
    // The register's value, 0 when the read failed. Use readCodecRegister where a failed read
    // must not pass for a value.
    std::uint8_t ReadRegister(std::uint32_t address);
    // The register's value, or nothing when there is no link or the read failed (shown).
    std::optional<std::uint8_t> readCodecRegister(std::uint32_t address);
    void WriteBoardRegister(std::int32_t reg, std::uint8_t value);
    void SetInterfaceType(int index);
    // The defaults into the shadow register file; every register counts as known again.
    void LoadDefaultRegisters();
    // The write masks: 0x3F for register 0x10 (bits 7 and 6 are commands), 0x00 for the
    // read-only flags in 0x15, 0xFF for the rest.
    void setWriteMasks();

    // Reads the interface type and address from `settings` at window creation; shows
    // "Initial file was corrupted!!" on a value that is no number, and an error when the file
    // is there but cannot be read, which then counts as none; the selection's notes hold the
    // same texts. Writes nothing.
    InterfaceSelection loadSettings(const SettingsFile& settings);

    // The user picked interface `index`; returns false when nothing changed because no library
    // is loaded (the caller then leaves the address list alone), true when the address list
    // must show its first item.
    bool interfaceChanged(int index, SettingsFile& settings);
    // The user picked address item `index` while `interfaceIndex` is selected.
    void addressChanged(int index, int interfaceIndex, SettingsFile& settings);
    // Interface and address item as chosen outside the settings, which stay as they are.
    void selectDevice(int interfaceIndex, int addressIndex);

    // The link calls that returned a nonzero result since the last take, latched or not, and
    // those of them report() told; the record starts empty again.
    FailureRecord takeFailures() { return std::exchange(m_failures, {}); }

    // 0 means no link: reads and writes then do nothing.
    std::int32_t linkPort() const { return m_linkPort; }
    void setLinkPort(std::int32_t port) { m_linkPort = port; }
    // Writes update the shadow, the map and the history but are not sent. A sequence that holds
    // this flag or the next for a while does so with the holds of accessflags.h.
    bool writeSuppressed() const { return m_writeSuppressed; }
    void setWriteSuppressed(bool on) { m_writeSuppressed = on; }
    // Every codec write appends a history line.
    bool historyEnabled() const { return m_historyEnabled; }
    void setHistoryEnabled(bool on) { m_historyEnabled = on; }
    // Set once a codec communication error has been shown; further ones are not shown.
    bool errorLatch() const { return m_errorLatch; }
    void setErrorLatch(bool on) { m_errorLatch = on; }

    // 76 to 79 in I2C mode, 0 to 3 in SPI mode.
    std::int32_t DeviceAddress() const { return m_deviceAddress; }
    // SPI: the device address in bits 6 and 5 of every register address; I2C: 0.
    std::int32_t DeviceBits() const { return m_deviceBits; }
    // The address on the bus of codec register `reg` (0x10 to 0x19): with the device bits.
    std::uint32_t codecAddress(int reg) const {
        return static_cast<std::uint32_t>(reg + m_deviceBits);
    }

    // Entry 0 the codec, entry 7 the board; handed to the link library's _init.
    const std::array<SundialChannel, SUNDIAL_CHANNELS>& channels() const { return m_channels; }
    // Zeroes the table and sets the board's entry: SPI-style addressing, address 0.
    void resetChannels();

    std::uint8_t shadowRegister(int reg) const;
    // The shadow register file of registers 0x10 to 0x19, as an image of the codec.
    RegisterImage shadowImage() const;
    // Sets the shadow alone; whether the register is known stays as it was.
    void setShadowRegister(int reg, std::uint8_t value);
    std::uint8_t writeMask(int reg) const;

    // A codec register whose read failed is unknown: its shadow holds the default for show, and
    // nothing computed from it may be sent until the codec is read again or given a whole
    // value (a direct write, a script line).
    bool registerKnown(int reg) const;
    void markUnknown(int reg);
    void markKnown(int reg);
    // Reads an unknown register again (over I2C, with a link); true when it is known now.
    bool rereadUnknown(int reg);

private:
    // The shadow, the map and the history after a codec write of `value` to `address`.
    void followCodecWrite(std::uint32_t address, std::int32_t value);
    // Records a failure for takeFailures().
    LinkFailure failedWith(LinkFailure failure);
    // Writes one setting; a failure is reported in the general error display.
    bool saveSetting(SettingsFile& settings, const char* key, const std::string& value);
    void setDeviceAddress(int interfaceIndex, int addressIndex);

    UserDialogs& m_dialogs;
    RegisterMapView& m_map;
    HistoryView& m_history;
    const LinkEntries* m_link = nullptr;

    std::int32_t m_linkPort = 0;
    bool m_writeSuppressed = true;
    bool m_historyEnabled = false;
    bool m_errorLatch = false;
    FailureRecord m_failures;
    std::int32_t m_deviceAddress = kFirstI2cAddress;
    std::int32_t m_deviceBits = 0;
    std::array<SundialChannel, SUNDIAL_CHANNELS> m_channels{};
    std::array<std::uint8_t, kRegisterCount> m_shadow{};
    std::array<std::uint8_t, kRegisterCount> m_masks{};
    std::array<bool, kRegisterCount> m_unknown{};
};

} // namespace larkspur
