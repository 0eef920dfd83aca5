// The front end of a caller without windows: it shows nothing and asks nobody. Such a caller
// takes what happened from the outcomes the core returns, not from what would have been shown.
#pragma once

#include "device/deviceconnection.h"
#include "device/registeraccess.h"
#include "device/userdialogs.h"
#include "files/coreparts.h"
#include "files/registerscript.h"

#include <string>
#include <vector>

namespace larkspur {

class SilentFrontEnd final : private UserDialogs,
                             private BusyNotice,
                             private ConnectionStatus,
                             private ConnectionControls,
                             private RegisterMapView,
                             private HistoryView,
                             private ScriptView {
public:
    FrontEnd frontEnd() { return {*this, *this, *this, *this, *this, *this, *this}; }

    // What the sequences read from the controls: the interface chosen, the codec a slave.
    void setInterface(int index) { m_interface = index; }
    // The register setting history's lines, as the window's history would show them.
    const std::vector<std::string>& historyLines() const { return m_history; }

private:
    void message(const std::string&) override {}
    void error(const std::string&, const std::string&) override {}
    // Nobody to say yes, and no file chosen.
    bool question(const std::string&, const std::string&) override { return false; }
    std::string openFileName(const FileDialog&) override { return {}; }
    std::string saveFileName(const FileDialog&) override { return {}; }

    void showBusy(const std::string&) override {}
    void setBusyText(const std::string&) override {}
    void setBusyProgress(int, int, int, bool) override {}
    void repaintBusy() override {}
    void hideBusy() override {}
    void catchUp() override {}
    void showStatus(const std::string&) override {}
    void showConnection(Connection) override {}
    int selectedInterface() const override { return m_interface; }
    // The master/slave list shows Slave until the codec is read: what start-up sends.
    bool codecIsSlave() const override { return true; }
    void refreshControls() override {}
    void clearZeroFlags() override {}
    void clearHistory() override {}
    void ShowRegisterBits(int, int) override {}
    void appendHistoryLine(const std::string& line) override { m_history.push_back(line); }
    void showProgress() override {}
    void setProgress(int) override {}
    void hideProgress() override {}

    int m_interface = kInterfaceSpi;
    std::vector<std::string> m_history;
};

} // namespace larkspur
