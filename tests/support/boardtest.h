// A test fixture whose register layer talks through the real link library to a virtual board.
#pragma once

#include "device/linklibrary.h"
#include "device/registeraccess.h"
#include "device/settingsfile.h"
#include "evmprocess.h"
#include "fakes.h"
#include "scratchsettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class OnBoardTest : public ::testing::Test {
protected:
    // Starts the board with `evmArgs`, connects on its port with the given interface (and SPI
    // device) and forgets the connection's traffic. Writes are sent and logged from then on.
    void connect(std::vector<std::string> evmArgs, int interfaceIndex, int spiDevice = 0) {
        m_evm = std::make_unique<EvmProcess>(std::move(evmArgs));
        ::setenv("SUNDIAL_PORTS", m_evm->linkPath().c_str(), 1);
        ASSERT_EQ(m_library.load(), larkspur::LinkLoader::Status::Loaded);
        m_access.setLink(m_library.entries());
        m_access.setWriteMasks();
        m_access.LoadDefaultRegisters();
        if (interfaceIndex == larkspur::kInterfaceSpi) {
            larkspur::SettingsFile nowhere(scratchSettingsPath());
            m_access.addressChanged(spiDevice, larkspur::kInterfaceSpi, nowhere);
        }
        m_access.SetInterfaceType(interfaceIndex);
        m_access.setLinkPort(m_library.entries()->init(0, m_access.channels().data()));
        ASSERT_EQ(m_access.linkPort(), 1);
        m_access.setWriteSuppressed(false);
        m_access.setHistoryEnabled(true);
        m_evm->transcriptAfter(20);
        m_evm->mark();
    }
    void TearDown() override {
        if (m_library.isLoaded()) {
            m_library.entries()->close();
        }
    }

    std::unique_ptr<EvmProcess> m_evm;
    larkspur::LinkLibrary m_library;
    RecordingDialogs m_dialogs;
    RecordingMap m_map;
    RecordingHistory m_history;
    larkspur::RegisterAccess m_access{m_dialogs, m_map, m_history};
};

} // namespace testsupport
