// The about box: program name, version, and the link library's version and port.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace larkspur {

class TAboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit TAboutDialog(QWidget* parent = nullptr);

    // Filled by the main window before each showing.
    QLabel* lDLLver() const { return m_lDLLver; }
    QLabel* lPort() const { return m_lPort; }
    QPushButton* OKBtn() const { return m_okBtn; }

private:
    QLabel* m_lDLLver;
    QLabel* m_lPort;
    QPushButton* m_okBtn;
};

} // namespace larkspur
