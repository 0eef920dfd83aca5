// The only road to the hardware: codec register writes and reads, board settings, the shadow
// register file, the history and the communication error messages; and the two persistent
// settings, the interface type and the device address.
#pragma once

#include "linkentries.h"
#include "settingsfile.h"
#include "userdialogs.h"

#include <array>
#include <cstdint>
#include <string>

namespace larkspur {

inline constexpr int kFirstRegister = 0x10;
inline constexpr int kRegisterCount = 10;
inline constexpr int kCodecChannel = 0;
inline constexpr int kBoardChannel = 7;
inline constexpr int kInterfaceI2c = 0;
inline constexpr int kInterfaceSpi = 1;
inline constexpr int kFirstI2cAddress = 76;

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
    int interfaceIndex = kInterfaceSpi; // item of rgInterface
    int addressIndex = 0;               // item of cbAddr
};

class RegisterAccess {
public:
    RegisterAccess(UserDialogs& dialogs, RegisterMapView& map, HistoryView& history);

    // The loaded library's entries, or null when none is loaded. Not owned.
    void setLink(const LinkEntries* link) { m_link = link; }
    bool libraryLoaded() const { return m_link != nullptr; }
    const LinkEntries* link() const { return m_link; }

    void WriteRegister(std::uint32_t address, std::int32_t value);
    std::uint8_t ReadRegister(std::uint32_t address);
    void WriteBoardRegister(std::int32_t reg, std::uint8_t value);
    void SetInterfaceType(int index);
    void LoadDefaultRegisters();
    // The write masks: 0x3F for register 0x10 (bits 7 and 6 are commands), 0x00 for the
    // read-only flags in 0x15, 0xFF for the rest.
    void setWriteMasks();

    // Reads the interface type and address from `settings` at window creation; shows
    // "Initial file was corrupted!!" on a value that is no number. Writes nothing.
    InterfaceSelection loadSettings(const SettingsFile& settings);

    // The user picked interface `index`; returns false when nothing changed because no library
    // is loaded (the caller then leaves the address list alone), true when the address list
    // must show its first item.
    bool interfaceChanged(int index, SettingsFile& settings);
    // The user picked address item `index` while `interfaceIndex` is selected.
    void addressChanged(int index, int interfaceIndex, SettingsFile& settings);

    // 0 means no link: reads and writes then do nothing.
    std::int32_t linkPort() const { return m_linkPort; }
    void setLinkPort(std::int32_t port) { m_linkPort = port; }
    // Writes update the shadow, the map and the history but are not sent.
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

    // Entry 0 the codec, entry 7 the board; handed to the link library's _init.
    const std::array<SundialChannel, SUNDIAL_CHANNELS>& channels() const { return m_channels; }
    // Zeroes the table and sets the board's entry: {3, 0}.
    void resetChannels();

    std::uint8_t shadowRegister(int reg) const;
    void setShadowRegister(int reg, std::uint8_t value);
    std::uint8_t writeMask(int reg) const;

private:
    void reportCodecError(const std::string& text);

    UserDialogs& m_dialogs;
    RegisterMapView& m_map;
    HistoryView& m_history;
    const LinkEntries* m_link = nullptr;

    std::int32_t m_linkPort = 0;
    bool m_writeSuppressed = true;
    bool m_historyEnabled = false;
    bool m_errorLatch = false;
    std::int32_t m_deviceAddress = kFirstI2cAddress;
    std::int32_t m_deviceBits = 0;
    std::array<SundialChannel, SUNDIAL_CHANNELS> m_channels{};
    std::array<std::uint8_t, kRegisterCount> m_shadow{};
    std::array<std::uint8_t, kRegisterCount> m_masks{};
};

} // namespace larkspur
