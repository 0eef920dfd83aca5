#include "connectionarea.h"

#include "artwork.h"
#include "widgets/dropdownlist.h"
#include "widgets/fonts.h"
#include "widgets/radiogroup.h"
#include "widgets/widgethelpers.h"
#include "windowparts.h"
#include "windowtexts.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace larkspur {

ConnectionArea::ConnectionArea(QWidget* parent) {
    buildReset(parent);
    buildConnection(parent);
    buildInterface(parent);
}

void ConnectionArea::buildReset(QWidget* parent) {
    auto* box =
        makeCaptioned<QGroupBox>(parent, "gbReset", text::kResetGroup, QRect(24, 464, 201, 70));

    QLabel* registerReset =
        placeLabel(box, "Label23", text::kRegisterResetLabel, 16, 19, arialFont(7));
    QLabel* reSync = placeLabel(box, "Label24", text::kReSyncLabel, 110, 19, arialFont(7));

    m_masterReset =
        makeCaptioned<QPushButton>(box, "btnMRST", text::kMasterResetButton, QRect(16, 34, 75, 25));
    setTip(m_masterReset, text::kMasterResetTip);
    registerReset->setBuddy(m_masterReset);

    m_syncReset =
        makeCaptioned<QPushButton>(box, "btnSRST", text::kSyncResetButton, QRect(110, 34, 75, 25));
    setTip(m_syncReset, text::kSyncResetTip);
    reSync->setBuddy(m_syncReset);
}

void ConnectionArea::buildConnection(QWidget* parent) {
    auto* box = makeCaptioned<QGroupBox>(parent, "GroupBox3", text::kConnectionGroup,
                                         QRect(258, 464, 223, 70));

    auto* bevel = new QFrame(box);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bevel->setLineWidth(2);
    bevel->setGeometry(14, 32, 76, 23);

    m_indicator = new QLabel(bevel);
    m_indicator->setObjectName(QStringLiteral("imgConnection"));
    m_indicator->setGeometry(2, 2, 72, 19);
    showConnection(-1);

    m_reconnect =
        makeCaptioned<QPushButton>(box, "bBDRST", text::kReconnectButton, QRect(116, 31, 91, 25));
}

void ConnectionArea::buildInterface(QWidget* parent) {
    m_interfaces = new RadioGroup(text::kInterfaceGroup, parent);
    m_interfaces->setObjectName(QStringLiteral("rgInterface"));
    m_interfaces->setGeometry(496, 464, 68, 70);
    m_interfaces->setColumns(1);
    m_interfaces->setItems({text::kInterfaceI2c, text::kInterfaceSpi});
    m_interfaces->setItemIndex(1);

    QLabel* label =
        placeLabel(parent, "Label20", text::kAddressListLabel, 578, 472, parent->font());

    m_addresses = new DropDownList(parent);
    m_addresses->setObjectName(QStringLiteral("cbAddr"));
    m_addresses->addItems(
        {QStringLiteral("00"), QStringLiteral("01"), QStringLiteral("10"), QStringLiteral("11")});
    m_addresses->setCurrentIndex(0);
    m_addresses->setGeometry(632, 468, 40, 22);
    m_addresses->setAccessibleName(label->text());
    label->setBuddy(m_addresses);
}

void ConnectionArea::showConnection(int index) {
    if (index < 0 || index >= artwork::kConnectionImageCount) {
        m_indicator->clear();
        m_indicator->setAccessibleName(text::kConnectionGroup);
        return;
    }
    m_indicator->setPixmap(artwork::connectionImage(index));
    m_indicator->setAccessibleName(artwork::connectionText(index));
}

} // namespace larkspur
