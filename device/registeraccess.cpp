#include "registeraccess.h"

#include "devicetexts.h"
#include "notation/hextext.h"
#include "notation/numbernotation.h"

namespace larkspur {

namespace {

std::size_t indexOf(int reg) {
    return static_cast<std::size_t>(reg - kFirstRegister);
}

std::string addrText(std::int32_t address) {
    return "0x" + hexText(address, 2);
}

} // namespace

std::string historyLine(std::uint32_t address, std::int32_t value) {
    return "0x" + hexText(address, 2) + ", 0x" + hexText(value, 2);
}

RegisterAccess::RegisterAccess(UserDialogs& dialogs, RegisterMapView& map, HistoryView& history)
    : m_dialogs(dialogs), m_map(map), m_history(history) {
    resetChannels();
}

void RegisterAccess::resetChannels() {
    m_channels = {};
    m_channels[kBoardChannel] = {SUNDIAL_TYPE_SPI, 0};
}

std::uint8_t RegisterAccess::shadowRegister(int reg) const {
    return m_shadow.at(indexOf(reg));
}

void RegisterAccess::setShadowRegister(int reg, std::uint8_t value) {
    m_shadow.at(indexOf(reg)) = value;
}

void RegisterAccess::markKnown(int reg) {
    m_unknown.at(indexOf(reg)) = false;
}

bool RegisterAccess::registerKnown(int reg) const {
    return !m_unknown.at(indexOf(reg));
}

void RegisterAccess::markUnknown(int reg) {
    m_unknown.at(indexOf(reg)) = true;
}

bool RegisterAccess::rereadUnknown(int reg) {
    if (registerKnown(reg)) {
        return true;
    }
    if (m_channels[kCodecChannel].type != SUNDIAL_TYPE_I2C) {
        return false; // the codec is not read back over SPI
    }
    const auto value = readCodecRegister(static_cast<std::uint32_t>(reg + m_deviceBits));
    if (!value) {
        return false;
    }
    std::uint8_t stored = static_cast<std::uint8_t>(*value & writeMask(reg));
    if (reg == kCommandRegister) {
        stored = static_cast<std::uint8_t>(stored | kCommandBits);
    }
    setShadowRegister(reg, stored);
    markKnown(reg);
    m_map.ShowRegisterBits(reg - kFirstRegister, stored);
    return true;
}

std::uint8_t RegisterAccess::writeMask(int reg) const {
    return m_masks.at(indexOf(reg));
}

void RegisterAccess::setWriteMasks() {
    m_masks.fill(0xFF);
    m_masks[indexOf(kCommandRegister)] = static_cast<std::uint8_t>(~kCommandBits);
    m_masks[indexOf(kFlagsRegister)] = 0x00;
}

RegisterImage RegisterAccess::shadowImage() const {
    RegisterImage image{};
    for (int reg = kFirstRegister; reg <= kLastRegister; ++reg) {
        image[indexOf(reg)] = shadowRegister(reg);
    }
    return image;
}

void RegisterAccess::LoadDefaultRegisters() {
    std::copy(kDefaultRegisters.begin(), kDefaultRegisters.end(), m_shadow.begin());
    m_unknown.fill(false);
}

LinkFailure RegisterAccess::failedWith(LinkFailure failure) {
    m_failures.add(failure);
    return failure;
}

void RegisterAccess::report(const LinkFailure& failure) {
    // Board errors are shown every time: the latch is for the codec alone.
    if (failure.step != LinkFailure::Step::BoardWrite) {
        if (m_errorLatch) {
            return;
        }
        m_errorLatch = true;
    }
    m_failures.addTold(failure);
    m_dialogs.message(failureText(failure));
}

WriteOutcome RegisterAccess::writeCodec(std::uint32_t address, std::int32_t value) {
    if (m_linkPort == 0) {
        return NoLink{};
    }
    WriteOutcome outcome = Written{};
    std::uint8_t buffer[10] = {};
    buffer[0] = static_cast<std::uint8_t>(value & 0xFF);
    if (!m_writeSuppressed && m_link != nullptr && m_link->writeData) {
        const int result =
            m_link->writeData(kCodecChannel, static_cast<std::int32_t>(address), buffer, 1);
        if (result != 0) {
            outcome = failedWith({LinkFailure::Step::CodecWrite, result, address});
        }
    }
    // The shadow follows whatever the outcome: a link failure never stops the panel.
    followCodecWrite(address, value);
    return outcome;
}

void RegisterAccess::followCodecWrite(std::uint32_t address, std::int32_t value) {
    const std::uint32_t low = address & 0x1F;
    const auto deviceBits = static_cast<std::uint32_t>(m_deviceBits);
    if (low == kCommandRegister) {
        const auto stored = static_cast<std::uint8_t>((value & 0xFF) | kCommandBits);
        m_shadow[0] = stored;
        m_map.ShowRegisterBits(0, (value & ~kCommandBits & 0xFF) | kCommandBits);
    } else if ((deviceBits | kFirstRegister) <= address &&
               address <= (deviceBits | kLastRegister)) {
        const int row = static_cast<int>(low) - kFirstRegister;
        m_shadow[static_cast<std::size_t>(row)] =
            static_cast<std::uint8_t>(value & m_masks[static_cast<std::size_t>(row)]);
        // A whole value was given: what the codec holds is no longer a guess.
        m_unknown[static_cast<std::size_t>(row)] = false;
        m_map.ShowRegisterBits(row, value & 0xFF);
    }
    if (m_historyEnabled) {
        m_history.appendHistoryLine(historyLine(address, value));
    }
}

LinkOutcome<std::vector<std::uint8_t>> RegisterAccess::readCodecBlock(std::uint32_t first,
                                                                      int count) {
    if (m_linkPort == 0 || m_link == nullptr || !m_link->readData) {
        return NoLink{};
    }
    if (count < 1 || count > kMaxBlockRegisters) {
        return LinkFailure{LinkFailure::Step::CodecRead, 1, first}; // never sent
    }
    std::vector<std::uint8_t> values(static_cast<std::size_t>(count));
    const int result =
        m_link->readData(kCodecChannel, static_cast<std::int32_t>(first), values.data(), count);
    if (result != 0) {
        return LinkFailure{LinkFailure::Step::CodecRead, result, first};
    }
    return values;
}

WriteOutcome RegisterAccess::writeCodecBlock(std::uint32_t first,
                                             const std::vector<std::uint8_t>& values) {
    if (m_linkPort == 0) {
        return NoLink{};
    }
    const auto count = static_cast<std::int32_t>(values.size());
    if (count < 1 || count > kMaxBlockRegisters) {
        return LinkFailure{LinkFailure::Step::CodecWrite, 1, first}; // never sent
    }
    if (!m_writeSuppressed && m_link != nullptr && m_link->writeData) {
        const int result = m_link->writeData(kCodecChannel, static_cast<std::int32_t>(first),
                                             values.data(), count);
        if (result != 0) {
            return LinkFailure{LinkFailure::Step::CodecWrite, result, first};
        }
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        followCodecWrite(first + static_cast<std::uint32_t>(i), values[i]);
    }
    return Written{};
}

ReadOutcome RegisterAccess::readCodec(std::uint32_t address) {
    if (m_linkPort == 0 || m_link == nullptr || !m_link->readData) {
        return NoLink{};
    }
    std::uint8_t buffer[10] = {};
    const int result =
        m_link->readData(kCodecChannel, static_cast<std::int32_t>(address), buffer, 1);
    if (result != 0) {
        return failedWith({LinkFailure::Step::CodecRead, result, address});
    }
    return buffer[0];
}

WriteOutcome RegisterAccess::writeBoard(std::int32_t reg, std::uint8_t value) {
    if (m_linkPort == 0) {
        return NoLink{};
    }
    std::uint8_t buffer[10] = {};
    buffer[0] = value;
    if (!m_writeSuppressed && m_link != nullptr && m_link->writeData) {
        const int result = m_link->writeData(kBoardChannel, reg, buffer, 1);
        if (result != 0) {
            return failedWith(
                {LinkFailure::Step::BoardWrite, result, static_cast<std::uint32_t>(reg)});
        }
    }
    return Written{};
}

void RegisterAccess::WriteRegister(std::uint32_t address, std::int32_t value) {
    const WriteOutcome outcome = writeCodec(address, value);
    if (const LinkFailure* failure = outcome.failure()) {
        report(*failure);
    }
}

std::uint8_t RegisterAccess::ReadRegister(std::uint32_t address) {
    return readCodecRegister(address).value_or(0);
}

std::optional<std::uint8_t> RegisterAccess::readCodecRegister(std::uint32_t address) {
    const ReadOutcome outcome = readCodec(address);
    if (const LinkFailure* failure = outcome.failure()) {
        report(*failure);
    }
    return outcome.done() ? std::optional<std::uint8_t>(outcome.value()) : std::nullopt;
}

void RegisterAccess::WriteBoardRegister(std::int32_t reg, std::uint8_t value) {
    const WriteOutcome outcome = writeBoard(reg, value);
    if (const LinkFailure* failure = outcome.failure()) {
        report(*failure);
    }
}

void RegisterAccess::SetInterfaceType(int index) {
    m_channels[kCodecChannel] = index == kInterfaceI2c
                                    ? SundialChannel{SUNDIAL_TYPE_I2C, m_deviceAddress}
                                    : SundialChannel{SUNDIAL_TYPE_SPI, 0};
}

InterfaceSelection RegisterAccess::loadSettings(const SettingsFile& settings) {
    InterfaceSelection selection;
    resetChannels();
    selection.interfaceIndex = kInterfaceSpi;
    m_deviceAddress = kFirstI2cAddress;
    m_deviceBits = 0;

    // A file that is there but cannot be taken is said to be so; the rest goes on as without one.
    if (const auto problem = settings.readProblem()) {
        selection.notes.push_back(std::string(text::kSettingsUnreadable) + " \"" +
                                  settings.path().string() + "\" " +
                                  text::kSettingsUnreadableCannotRead + " (" + *problem + "); " +
                                  text::kSettingsUnreadableOutcome);
        m_dialogs.error(text::kApplicationTitle, selection.notes.back());
    }

    // Each step needs the one before; a value that is no number stops the rest.
    bool corrupted = true;
    const auto type = parseNumber(settings.readString(
        text::kSettingsSection, text::kSettingsTypeKey, std::to_string(selection.interfaceIndex)));
    if (type) {
        selection.interfaceIndex = *type == 0 ? kInterfaceI2c : kInterfaceSpi;
        const auto address = parseNumber(settings.readString(
            text::kSettingsSection, text::kSettingsAddressKey, std::to_string(kFirstI2cAddress)));
        if (address) {
            corrupted = false;
            m_deviceAddress = *address;
            if (selection.interfaceIndex == kInterfaceI2c) {
                if (m_deviceAddress < kFirstI2cAddress ||
                    m_deviceAddress >= kFirstI2cAddress + kDeviceAddresses) {
                    m_deviceAddress = kFirstI2cAddress;
                }
                m_deviceBits = 0;
                selection.addressIndex = m_deviceAddress - kFirstI2cAddress;
            } else {
                if (m_deviceAddress < 0 || m_deviceAddress >= kDeviceAddresses) {
                    m_deviceAddress = 0;
                }
                m_deviceBits = m_deviceAddress << kSpiDeviceShift;
                selection.addressIndex = m_deviceAddress;
            }
        }
    }
    if (corrupted) {
        selection.notes.emplace_back(text::kSettingsCorrupted);
        m_dialogs.message(text::kSettingsCorrupted);
    }
    SetInterfaceType(selection.interfaceIndex);
    return selection;
}

bool RegisterAccess::interfaceChanged(int index, SettingsFile& settings) {
    if (m_link == nullptr) {
        return false;
    }
    m_deviceAddress = index == kInterfaceI2c ? kFirstI2cAddress : 0;
    m_deviceBits = 0;
    SetInterfaceType(index);
    const bool typeSaved = saveSetting(settings, text::kSettingsTypeKey,
                                       std::to_string(index == kInterfaceI2c ? 0 : 1));
    if (m_link->close) {
        m_link->close();
    }
    // Re-open on the port we hold. Without a link there is nothing to re-open, and _init(0)
    // would search every port while the window is frozen and could leave one open unknown.
    if (m_linkPort != 0 && m_link->init) {
        m_link->init(m_linkPort, m_channels.data());
    }
    // One report for the action: the second save would fail for the same reason.
    if (typeSaved) {
        saveSetting(settings, text::kSettingsAddressKey, addrText(m_deviceAddress));
    }
    return true;
}

bool RegisterAccess::saveSetting(SettingsFile& settings, const char* key,
                                 const std::string& value) {
    if (settings.writeString(text::kSettingsSection, key, value)) {
        return true;
    }
    m_dialogs.error(text::kApplicationTitle, std::string(text::kSettingsNotSaved) + " \"" +
                                                 settings.path().string() +
                                                 "\": " + settings.lastError() + ".");
    return false;
}

void RegisterAccess::setDeviceAddress(int interfaceIndex, int addressIndex) {
    if (interfaceIndex == kInterfaceSpi) {
        m_deviceBits = addressIndex << kSpiDeviceShift;
        m_deviceAddress = addressIndex;
    } else {
        m_deviceBits = 0;
        m_deviceAddress = kFirstI2cAddress + addressIndex;
    }
}

void RegisterAccess::selectDevice(int interfaceIndex, int addressIndex) {
    setDeviceAddress(interfaceIndex, addressIndex);
    SetInterfaceType(interfaceIndex);
}

void RegisterAccess::addressChanged(int index, int interfaceIndex, SettingsFile& settings) {
    setDeviceAddress(interfaceIndex, index);
    saveSetting(settings, text::kSettingsAddressKey, addrText(m_deviceAddress));
}

} // namespace larkspur
