#include "deviceconnection.h"

namespace larkspur {

namespace {

constexpr int kReconnectWaitMs = 1000;
constexpr int kMasterSlaveBoardRegister = 55; // 0x37

} // namespace

std::string versionDigits(int version) {
    return std::to_string(version / 4096) + "." + std::to_string((version % 4096) / 256) + "." +
           std::to_string((version % 256) / 16) + "." + std::to_string(version % 16);
}

DeviceConnection::DeviceConnection(RegisterAccess& access, LinkLoader& loader, UserDialogs& dialogs,
                                   Sleeper& sleeper, ConnectionView& view)
    : m_access(access), m_loader(loader), m_dialogs(dialogs), m_sleeper(sleeper), m_view(view) {}

void DeviceConnection::sendBoardSetup() {
    m_access.WriteBoardRegister(0, 0x00);
    m_access.WriteBoardRegister(4, 0x01);
    for (int setting = 11; setting <= 15; ++setting) {
        m_access.WriteBoardRegister(setting, 0x55);
    }
    m_access.WriteBoardRegister(53, 0x01);
    m_access.WriteBoardRegister(kMasterSlaveBoardRegister, m_view.masterSlaveIsSlave() ? 1 : 0);
}

void DeviceConnection::FormShow() {
    m_view.clearHistory();
    m_view.showSplash("Loading...");
    m_access.setWriteMasks();

    switch (m_loader.load()) {
    case LinkLoader::Status::CannotLoad:
        m_view.hideSplash();
        m_dialogs.error("DLL error", "Cannot load DLL");
        return;
    case LinkLoader::Status::Invalid:
        m_view.hideSplash();
        m_dialogs.error("DLL error", "Invalid DLL");
        return;
    case LinkLoader::Status::Loaded:
        break;
    }
    m_loaded = true;
    const LinkEntries* link = m_loader.entries();
    m_access.setLink(link);

    m_access.setWriteSuppressed(true);
    m_access.setLinkPort(link->init(0, m_access.channels().data()));
    if (m_access.linkPort() == 0) {
        m_view.hideSplash();
        m_view.setStatusText("No EVM was found");
        m_view.showConnectionImage(kConnectionImageNone);
        m_dialogs.error("Error", "No EVM was found");
        m_access.LoadDefaultRegisters();
        m_view.RefreshControls();
        return;
    }

    m_view.setStatusText("Ready");
    m_view.showConnectionImage(kConnectionImageConnected);
    m_view.setSplashText("Initializing...");
    m_view.setSplashProgress(0, 9, 0, false);
    m_view.paintSplash();
    m_view.setSplashProgress(0, 9, 0, true);

    m_access.setWriteSuppressed(false);
    sendBoardSetup();

    m_access.setWriteSuppressed(true);
    for (int i = 0; i < kRegisterCount; ++i) {
        m_view.setSplashProgress(0, 9, i, true);
        m_view.paintSplash();
        if (m_view.interfaceIndex() == kInterfaceI2c) {
            const int reg = kFirstRegister + i;
            const std::uint8_t value =
                m_access.ReadRegister(static_cast<std::uint32_t>(reg + m_access.DeviceBits()));
            m_access.setShadowRegister(reg,
                                       static_cast<std::uint8_t>(value & m_access.writeMask(reg)));
        } else {
            // The codec is not read back over SPI.
            m_access.LoadDefaultRegisters();
        }
    }
    m_access.setShadowRegister(0x10,
                               static_cast<std::uint8_t>(m_access.shadowRegister(0x10) | 0xC0));
    m_access.setWriteSuppressed(false);

    m_view.runStartupScript();
    m_view.RefreshControls();
    m_view.hideSplash();
    m_access.setHistoryEnabled(true);
}

void DeviceConnection::bBDRSTClick() {
    if (!m_loaded) {
        return;
    }
    const LinkEntries* link = m_loader.entries();
    m_access.setHistoryEnabled(false);
    m_view.showSplash("Reset in progress ...");
    m_view.setSplashProgress(0, 9, 0, false);
    m_view.paintSplash();
    m_view.processPendingEvents();
    m_access.setErrorLatch(false);
    m_access.setWriteSuppressed(true);

    link->close();
    m_sleeper.sleepMs(kReconnectWaitMs);
    m_view.paintSplash();

    m_access.SetInterfaceType(m_view.interfaceIndex());
    m_access.setLinkPort(link->init(0, m_access.channels().data()));
    if (m_access.linkPort() == 0) {
        m_view.hideSplash();
        m_view.setStatusText("No EVM was found");
        m_view.showConnectionImage(kConnectionImageNone);
        m_dialogs.error("Error", "No EVM was foud");
        return;
    }

    m_view.setStatusText("Ready");
    m_view.showConnectionImage(kConnectionImageConnected);
    m_access.setShadowRegister(0x10,
                               static_cast<std::uint8_t>(m_access.shadowRegister(0x10) | 0xC0));
    // The codec's register reset may fail while the codec resets: that failure is not shown.
    m_access.setErrorLatch(true);
    m_access.setWriteSuppressed(false);
    m_access.WriteRegister(static_cast<std::uint32_t>(0x10 + m_access.DeviceBits()), 0x40);
    sendBoardSetup();
    m_access.setWriteSuppressed(true);
    m_access.LoadDefaultRegisters();
    m_access.setErrorLatch(false);
    m_view.RefreshControls();
    m_view.btnZeroClrClick();
    m_view.hideSplash();
    m_access.setWriteSuppressed(false);
    m_access.setHistoryEnabled(true);
}

void DeviceConnection::FormClose() {
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
