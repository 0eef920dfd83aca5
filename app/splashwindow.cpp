#include "splashwindow.h"

#include "device/devicetexts.h"
#include "widgets/fonts.h"
#include "widgets/showwindow.h"
#include "windowtexts.h"

#include <QLabel>
#include <QProgressBar>

namespace larkspur {

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_label1(new QLabel(this)), m_progressBar1(new QProgressBar(this)) {
    setObjectName(QStringLiteral("SplashForm"));
    setAccessibleName(QLatin1String(text::kApplicationTitle));
    setFixedSize(313, 182);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);

    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setFont(arialBlackFont(9));
    m_label1->setGeometry(24, 64, 265, 20);

    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setGeometry(24, 88, 265, 17);
    m_progressBar1->setTextVisible(false);
    m_progressBar1->setAccessibleName(text::kSplashProgress);
    m_progressBar1->hide();

    centreOnScreen(this);
}

void TSplashForm::showNow() {
    larkspur::showNow(this);
}

} // namespace larkspur
