// Whether a board was found, as the main window shows it: the status bar's one text and the
// connection indicator.
#pragma once

#include "device/deviceconnection.h"

#include <QString>

class QLabel;
class QWidget;

namespace larkspur {

class ConnectionArea;

class WindowStatus final : public ConnectionStatus {
public:
    // Builds the status bar (StatusBar1) along the bottom of `parent`, `width` wide.
    WindowStatus(QWidget* parent, int width, ConnectionArea& indicator);

    void showStatus(const std::string& text) override;
    void showConnection(Connection state) override;

private:
    QLabel* m_text = nullptr;
    ConnectionArea& m_indicator;
};

} // namespace larkspur
