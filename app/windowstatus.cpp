#include "windowstatus.h"

#include "connectionarea.h"
#include "windowtexts.h"

#include <QLabel>
#include <QStatusBar>

namespace larkspur {

namespace {

constexpr int kStatusBarHeight = 19;

} // namespace

WindowStatus::WindowStatus(QWidget* parent, int width, ConnectionArea& indicator)
    : m_indicator(indicator) {
    auto* bar = new QStatusBar(parent);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    bar->setGeometry(0, parent->height() - kStatusBarHeight, width, kStatusBarHeight);
    bar->setAccessibleName(text::kStatusBar);
    // A label, not a status message: its text changes are announced to screen readers.
    m_text = new QLabel(bar);
    m_text->setObjectName(QStringLiteral("StatusText"));
    bar->addWidget(m_text, 1);
}

void WindowStatus::showStatus(const std::string& text) {
    m_text->setText(QString::fromStdString(text));
}

void WindowStatus::showConnection(Connection state) {
    m_indicator.showConnection(static_cast<int>(state));
}

} // namespace larkspur
