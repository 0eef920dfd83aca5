#include "deviceconnection.h"

#include "accessflags.h"
#include "codecregisters.h"
#include "devicetexts.h"

namespace larkspur {

namespace {

// Reconnect waits this long between closing the link and searching again; the master reset
// waits as long for the codec to come back.
constexpr int kSettleMs = 1000;

// The busy notice's progress during the sequences: one step per codec register read.
constexpr int kProgressMaximum = kRegisterCount - 1;

struct BoardSetting {
    std::int32_t reg;
    std::uint8_t value;
};

// The board's own settings, written at start-up and after Reconnect, in this order; the
// master/slave register follows them with the panel's setting.
constexpr BoardSetting kBoardSetup[] = {
    {0, 0x00}, {4, 0x01}, {11, 0x55}, {12, 0x55}, {13, 0x55}, {14, 0x55}, {15, 0x55}, {53, 0x01},
};

} // namespace

std::string versionDigits(int version) {
    return std::to_string(version / 4096) + "." + std::to_string((version % 4096) / 256) + "." +
           std::to_string((version % 256) / 16) + "." + std::to_string(version % 16);
}

DeviceConnection::DeviceConnection(RegisterAccess& access, LinkLoader& loader, UserDialogs& dialogs,
                                   Sleeper& sleeper, BusyNotice& busy, ConnectionStatus& status,
                                   ConnectionControls& controls,
                                   std::function<void()> startupScript)
    : m_access(access), m_loader(loader), m_dialogs(dialogs), m_sleeper(sleeper), m_busy(busy),
      m_status(status), m_controls(controls), m_startupScript(std::move(startupScript)) {}

void DeviceConnection::sendBoardSetup() {
    for (const BoardSetting& setting : kBoardSetup) {
        m_access.WriteBoardRegister(setting.reg, setting.value);
    }
    m_access.WriteBoardRegister(kBoardMasterSlaveRegister, m_controls.codecIsSlave() ? 1 : 0);
}

void DeviceConnection::showFound(bool found) {
    m_status.showStatus(found ? text::kReady : text::kNoEvmFound);
    m_status.showConnection(found ? ConnectionStatus::Connection::Connected
                                  : ConnectionStatus::Connection::None);
}

ConnectOutcome DeviceConnection::ended(ConnectOutcome::End end,
                                       std::optional<std::string> details) {
    return {end, std::move(details), m_access.takeFailures()};
}

ConnectOutcome DeviceConnection::noBoard(const char* text) {
    if (!m_portSurvey) {
        m_dialogs.error(text::kErrorCaption, text);
        return ended(ConnectOutcome::End::NoBoard);
    }
    std::string survey = m_portSurvey();
    m_dialogs.errorWithDetails(text::kErrorCaption, text, survey);
    return ended(ConnectOutcome::End::NoBoard, std::move(survey));
}

ConnectOutcome DeviceConnection::start(int port) {
    m_access.takeFailures(); // the outcome tells of this sequence's alone
    m_port = port;
    m_controls.clearHistory();
    m_busy.showBusy(text::kLoading);
    m_access.setWriteMasks();

    switch (loadLibrary()) {
    case LinkLoader::Status::CannotLoad:
        m_busy.hideBusy();
        // The box keeps its words; where the library was looked for is under its details.
        if (std::string searched = m_loader.searchReport(); !searched.empty()) {
            m_dialogs.errorWithDetails(text::kDllErrorCaption, text::kCannotLoadDll, searched);
            return ended(ConnectOutcome::End::CannotLoad, std::move(searched));
        }
        m_dialogs.error(text::kDllErrorCaption, text::kCannotLoadDll);
        return ended(ConnectOutcome::End::CannotLoad);
    case LinkLoader::Status::Invalid:
        m_busy.hideBusy();
        m_dialogs.error(text::kDllErrorCaption, text::kInvalidDll);
        return ended(ConnectOutcome::End::InvalidLibrary);
    case LinkLoader::Status::Loaded:
        break;
    }
    const LinkEntries* link = m_loader.entries();

    {
        // While the board is searched for and the codec read, nothing but the board's set-up
        // goes out.
        WritesSuppressed held(m_access);
        m_access.setLinkPort(link->init(port, m_access.channels().data()));
        if (m_access.linkPort() == 0) {
            m_busy.hideBusy();
            showFound(false);
            ConnectOutcome outcome = noBoard(text::kNoEvmFound);
            m_access.LoadDefaultRegisters();
            m_controls.refreshControls();
            // Without a board nothing is to go out until a Reconnect finds one.
            held.keep();
            return outcome;
        }

        showFound(true);
        m_busy.setBusyText(text::kInitializing);
        m_busy.setBusyProgress(0, kProgressMaximum, 0, false);
        m_busy.repaintBusy();
        m_busy.setBusyProgress(0, kProgressMaximum, 0, true);

        {
            const WritesSent setup(m_access);
            sendBoardSetup();
        }
        readCodec();
    }

    // The board is up: writes go out from here on, whatever held before. They are logged once
    // start-up is through; a start-up script's run turns the history on already, so that the
    // refresh after it is logged.
    m_access.setWriteSuppressed(false);
    if (m_startupScript) {
        m_startupScript();
    }
    m_controls.refreshControls();
    m_busy.hideBusy();
    m_access.setHistoryEnabled(true);
    return ended(ConnectOutcome::End::Connected);
}

void DeviceConnection::readCodec() {
    // Registers whose read fails keep the default for show and count as unknown: the refresh
    // after start-up sends nothing computed from them.
    m_access.LoadDefaultRegisters();
    for (int i = 0; i < kRegisterCount; ++i) {
        m_busy.setBusyProgress(0, kProgressMaximum, i, true);
        m_busy.repaintBusy();
        if (m_controls.selectedInterface() == kInterfaceI2c) {
            const int reg = kFirstRegister + i;
            const auto value = m_access.readCodecRegister(m_access.codecAddress(reg));
            if (value) {
                m_access.setShadowRegister(
                    reg, static_cast<std::uint8_t>(*value & m_access.writeMask(reg)));
                m_access.markKnown(reg);
            } else {
                m_access.markUnknown(reg);
            }
        }
        // Over SPI the codec is not read back: the defaults stand.
    }
    // The command bits read back as 1 whatever the chip answered.
    m_access.setShadowRegister(
        kCommandRegister,
        static_cast<std::uint8_t>(m_access.shadowRegister(kCommandRegister) | kCommandBits));
}

ConnectOutcome DeviceConnection::reconnect() {
    if (!m_loaded) {
        return {ConnectOutcome::End::NotLoaded, {}, {}};
    }
    m_access.takeFailures();
    const LinkEntries* link = m_loader.entries();
    {
        // Nothing of the reconnection is logged, the codec's reset included.
        HistoryOff unlogged(m_access);
        m_busy.showBusy(text::kResetInProgress);
        m_busy.setBusyProgress(0, kProgressMaximum, 0, false);
        m_busy.repaintBusy();
        m_busy.catchUp();
        m_access.setErrorLatch(false);
        // Nothing goes out but the codec's reset and the board's set-up.
        WritesSuppressed held(m_access);

        link->close();
        m_sleeper.sleepMs(kSettleMs);
        m_busy.repaintBusy();

        m_access.SetInterfaceType(m_controls.selectedInterface());
        m_access.setLinkPort(link->init(m_port, m_access.channels().data()));
        if (m_access.linkPort() == 0) {
            m_busy.hideBusy();
            showFound(false);
            // Without a board nothing is to go out or be logged until a Reconnect finds one.
            held.keep();
            unlogged.keep();
            return noBoard(text::kNoEvmFoundAfterReconnect);
        }

        showFound(true);
        m_access.setShadowRegister(
            kCommandRegister,
            static_cast<std::uint8_t>(m_access.shadowRegister(kCommandRegister) | kCommandBits));
        // The codec's register reset may fail while the codec resets: that failure is not shown.
        m_access.setErrorLatch(true);
        {
            const WritesSent reset(m_access);
            // MRST given (bit 7 clear), SRST not.
            m_access.WriteRegister(m_access.codecAddress(kCommandRegister), kSyncResetBit);
            m_access.takeFailures();
            sendBoardSetup();
        }
        m_access.LoadDefaultRegisters();
        m_access.setErrorLatch(false);
        m_controls.refreshControls();
        m_controls.clearZeroFlags();
        m_busy.hideBusy();
    }
    // Connected again: the panel's writes go out and are logged, whatever held before.
    m_access.setWriteSuppressed(false);
    m_access.setHistoryEnabled(true);
    return ended(ConnectOutcome::End::Connected);
}

FailureRecord DeviceConnection::masterReset() {
    m_access.takeFailures();
    m_busy.showBusy(text::kResetInProgress);
    m_busy.setBusyProgress(0, kProgressMaximum, 0, false);
    m_busy.repaintBusy();
    m_access.WriteRegister(m_access.codecAddress(kCommandRegister),
                           m_access.shadowRegister(kCommandRegister) & ~kMasterResetBit);
    m_access.setErrorLatch(false);
    m_sleeper.sleepMs(kSettleMs);
    {
        // The codec is back at its defaults: the shadow follows, and what the refresh writes
        // neither goes out nor is logged.
        const WritesSuppressed held(m_access);
        const HistoryOff unlogged(m_access);
        m_access.LoadDefaultRegisters();
        m_controls.refreshControls();
        m_controls.clearZeroFlags();
        m_busy.hideBusy();
    }
    // Afterwards the panel's writes go out and are logged, whatever held before.
    m_access.setWriteSuppressed(false);
    m_access.setHistoryEnabled(true);
    return m_access.takeFailures();
}

FailureRecord DeviceConnection::syncReset() {
    m_access.takeFailures();
    m_access.WriteRegister(m_access.codecAddress(kCommandRegister),
                           m_access.shadowRegister(kCommandRegister) & ~kSyncResetBit);
    return m_access.takeFailures();
}

LinkLoader::Status DeviceConnection::loadLibrary() {
    if (m_loaded) {
        return LinkLoader::Status::Loaded;
    }
    const LinkLoader::Status status = m_loader.load();
    if (status == LinkLoader::Status::Loaded) {
        m_loaded = true;
        m_access.setLink(m_loader.entries());
    }
    return status;
}

void DeviceConnection::shutdown() {
    if (m_loaded) {
        if (const LinkEntries* link = m_loader.entries(); link != nullptr && link->close) {
            link->close();
        }
        m_access.setLink(nullptr);
        m_loader.unload();
        m_loaded = false;
    }
}

std::string DeviceConnection::versionText(const std::string& current) const {
    const LinkEntries* link = m_loaded ? m_loader.entries() : nullptr;
    if (link == nullptr || !link->getVer) {
        return current;
    }
    return versionDigits(link->getVer());
}

} // namespace larkspur
