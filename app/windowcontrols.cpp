#include "windowcontrols.h"

#include "connectionarea.h"
#include "historyarea.h"
#include "mainwindow.h"
#include "panel/controlpanel.h"
#include "widgets/radiogroup.h"

namespace larkspur {

int WindowControls::selectedInterface() const {
    return m_connection.interfaces()->itemIndex();
}

bool WindowControls::codecIsSlave() const {
    return m_window.panel().masterSlaveIsSlave();
}

void WindowControls::refreshControls() {
    m_window.RefreshControls();
}

void WindowControls::clearZeroFlags() {
    m_window.btnZeroClrClick();
}

void WindowControls::clearHistory() {
    m_history.clear();
}

} // namespace larkspur
