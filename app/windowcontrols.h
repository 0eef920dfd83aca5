// The main window's controls as the connection's sequences see them: the interface selected,
// the codec's master/slave setting, and what start-up and Reconnect reset.
#pragma once

#include "device/deviceconnection.h"

namespace larkspur {

class ConnectionArea;
class HistoryArea;
class TForm1;

class WindowControls final : public ConnectionControls {
public:
    WindowControls(TForm1& window, ConnectionArea& connection, HistoryArea& history)
        : m_window(window), m_connection(connection), m_history(history) {}

    int selectedInterface() const override;
    bool codecIsSlave() const override;
    void refreshControls() override;
    void clearZeroFlags() override;
    void clearHistory() override;

private:
    TForm1& m_window;
    ConnectionArea& m_connection;
    HistoryArea& m_history;
};

} // namespace larkspur
