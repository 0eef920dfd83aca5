#include "splashnotice.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

namespace larkspur {

void SplashNotice::showBusy(const std::string& text) {
    if (m_splash != nullptr) {
        m_splash->Label1()->setText(QString::fromStdString(text));
        m_splash->showNow();
    }
}

void SplashNotice::setBusyText(const std::string& text) {
    if (m_splash != nullptr) {
        m_splash->Label1()->setText(QString::fromStdString(text));
    }
}

void SplashNotice::setBusyProgress(int minimum, int maximum, int position, bool visible) {
    if (m_splash != nullptr) {
        m_splash->ProgressBar1()->setRange(minimum, maximum);
        m_splash->ProgressBar1()->setValue(position);
        m_splash->ProgressBar1()->setVisible(visible);
    }
}

void SplashNotice::repaintBusy() {
    if (m_splash != nullptr && m_splash->isVisible()) {
        m_splash->repaint();
    }
}

void SplashNotice::hideBusy() {
    if (m_splash != nullptr) {
        m_splash->hide();
    }
}

void SplashNotice::catchUp() {
    QCoreApplication::processEvents();
}

} // namespace larkspur
