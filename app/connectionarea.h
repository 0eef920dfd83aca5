// The board's connection and resets along the bottom of the main window: the reset buttons
// (gbReset), the connection indicator with Reconnect (GroupBox3), the interface selection
// (rgInterface) and the device address list (cbAddr).
#pragma once

class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

namespace larkspur {

class RadioGroup;

class ConnectionArea {
public:
    explicit ConnectionArea(QWidget* parent);

    QPushButton* masterReset() const { return m_masterReset; }
    QPushButton* syncReset() const { return m_syncReset; }
    QPushButton* reconnect() const { return m_reconnect; }
    RadioGroup* interfaces() const { return m_interfaces; }
    QComboBox* addresses() const { return m_addresses; }

    // The indicator: an ImageList2 index (0 no EVM, 1 connected), or -1 for blank.
    void showConnection(int index);

private:
    void buildReset(QWidget* parent);
    void buildConnection(QWidget* parent);
    void buildInterface(QWidget* parent);

    QPushButton* m_masterReset = nullptr;
    QPushButton* m_syncReset = nullptr;
    QLabel* m_indicator = nullptr;
    QPushButton* m_reconnect = nullptr;
    RadioGroup* m_interfaces = nullptr;
    QComboBox* m_addresses = nullptr;
};

} // namespace larkspur
