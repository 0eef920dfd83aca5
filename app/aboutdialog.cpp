#include "aboutdialog.h"

#include "device/programversion.h"
#include "widgets/fonts.h"
#include "widgets/widgethelpers.h"
#include "windowtexts.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace larkspur {

TAboutDialog::TAboutDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(text::kAboutTitle);
    setFont(arialFont(9));
    setFixedSize(313, 214);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(8, 8, 297, 161);

    placeLabel(this, "Label1", text::kAboutCodec, 108, 32, arialBlackFont(14));
    placeLabel(this, "Label3", text::kAboutProduct, 40, 70, arialBlackFont(14));
    placeLabel(this, "Label2", text::kAboutVersion + QLatin1String(programVersion()), 96, 105,
               arialBlackFont(12));
    QLabel* dllCaption = placeLabel(this, "Label4", text::kAboutLibrary, 96, 140, font());
    m_lDLLver = placeLabel(this, "lDLLver", text::kAboutLibraryVersion, 128, 140, font());
    QLabel* portCaption = placeLabel(this, "Label5", text::kAboutPort, 177, 140, font());
    m_lPort = placeLabel(this, "lPort", text::kAboutNoPort, 208, 140, font());
    // The values are read together with their captions.
    m_lDLLver->setAccessibleDescription(dllCaption->text().trimmed());
    m_lPort->setAccessibleDescription(portCaption->text().trimmed());

    m_okBtn = new QPushButton(text::kOk, this);
    m_okBtn->setObjectName(QStringLiteral("OKBtn"));
    m_okBtn->setGeometry(119, 180, 75, 25);
    m_okBtn->setDefault(true);
    m_okBtn->setAccessibleName(text::kOk);
    connect(m_okBtn, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace larkspur
