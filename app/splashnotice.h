// The connection sequences' busy notice: the splash window, with its line and progress bar.
// Until the program hands the window over, the notice shows nothing.
#pragma once

#include "device/deviceconnection.h"
#include "splashwindow.h"

#include <QPointer>

namespace larkspur {

class SplashNotice final : public BusyNotice {
public:
    void setWindow(TSplashForm* splash) { m_splash = splash; }
    TSplashForm* window() const { return m_splash; }

    void showBusy(const std::string& text) override;
    void setBusyText(const std::string& text) override;
    void setBusyProgress(int minimum, int maximum, int position, bool visible) override;
    void repaintBusy() override;
    void hideBusy() override;
    void catchUp() override;

private:
    QPointer<TSplashForm> m_splash;
};

} // namespace larkspur
