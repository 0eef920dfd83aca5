#include "directaccessarea.h"

#include "imagebuttonlook.h"
#include "widgets/fonts.h"
#include "widgets/imagebutton.h"
#include "widgets/widgethelpers.h"
#include "windowparts.h"
#include "windowtexts.h"

#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace larkspur {

DirectAccessArea::DirectAccessArea(QWidget* parent, ImageButtonLook& look) : QObject(parent) {
    auto* box = makeCaptioned<QGroupBox>(parent, "GroupBox25", text::kDirectAccessGroup,
                                         QRect(496, 392, 217, 65));

    QLabel* addressLabel = placeLabel(box, "Label21", text::kAddressLabel, 10, 17, arialFont(8));
    QLabel* dataLabel = placeLabel(box, "Label22", text::kDataLabel, 54, 17, arialFont(8));

    m_address = new QLineEdit(text::kAddressField, box);
    m_address->setObjectName(QStringLiteral("RDA_reg"));
    m_address->setGeometry(10, 33, 33, 21);
    m_address->setAccessibleName(addressLabel->text());
    addressLabel->setBuddy(m_address);

    m_data = new QLineEdit(text::kDataField, box);
    m_data->setObjectName(QStringLiteral("RDA_data"));
    m_data->setGeometry(54, 33, 33, 21);
    m_data->setAccessibleName(dataLabel->text());
    dataLabel->setBuddy(m_data);

    ImageButton* read = look.make(box, "imgRead", text::kReadButton, 4, QRect(98, 32, 53, 24));
    ImageButton* write = look.make(box, "imgWrite", text::kWriteButton, 5, QRect(155, 32, 53, 24));
    connect(read, &ImageButton::clicked, this, &DirectAccessArea::readAsked);
    connect(write, &ImageButton::clicked, this, &DirectAccessArea::writeAsked);
    m_address->installEventFilter(this);
    m_data->installEventFilter(this);
}

QString DirectAccessArea::addressText() const {
    return m_address->text();
}

QString DirectAccessArea::dataText() const {
    return m_data->text();
}

void DirectAccessArea::showData(const QString& text) {
    m_data->setText(text);
}

bool DirectAccessArea::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        // One operation per Enter press: a held key repeats presses but is released once.
        if (enter && !key->isAutoRepeat()) {
            if (watched == m_address) {
                emit readAsked();
            } else if (watched == m_data) {
                emit writeAsked();
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace larkspur
