// Direct register access (GroupBox25): an address and a data field with Read and Write. Enter
// released in a field asks for its operation, as the buttons do.
#pragma once

#include <QObject>
#include <QString>

class QLineEdit;
class QWidget;

namespace larkspur {

class ImageButton;
class ImageButtonLook;

class DirectAccessArea : public QObject {
    Q_OBJECT

public:
    DirectAccessArea(QWidget* parent, ImageButtonLook& look);

    QString addressText() const;
    QString dataText() const;
    void showData(const QString& text);

signals:
    void readAsked();
    void writeAsked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_address = nullptr;
    QLineEdit* m_data = nullptr;
};

} // namespace larkspur
