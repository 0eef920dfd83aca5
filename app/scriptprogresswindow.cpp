#include "scriptprogresswindow.h"

#include "widgets/fonts.h"
#include "widgets/showwindow.h"
#include "windowtexts.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QShowEvent>

namespace larkspur {

TscriptProgress::TscriptProgress(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_progressBar1(new QProgressBar(this)) {
    setObjectName(QStringLiteral("scriptProgress"));
    setWindowTitle(text::kScriptProgressTitle);
    setFont(arialFont(9));
    setFixedSize(313, 182);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(8, 8, 297, 161);

    auto* label = new QLabel(text::kScriptRunning, this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setFont(arialBlackFont(9));
    label->move(40, 56);
    label->adjustSize();

    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setGeometry(40, 88, 233, 17);
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);
    m_progressBar1->setTextVisible(false);
    m_progressBar1->setAccessibleName(text::kScriptProgressTitle);
    label->setBuddy(m_progressBar1);
}

void TscriptProgress::showNow() {
    larkspur::showNow(this);
}

void TscriptProgress::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        centreOnScreen(this);
    QDialog::showEvent(event);
}

} // namespace larkspur
