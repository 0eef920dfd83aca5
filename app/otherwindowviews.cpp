#include "otherwindowviews.h"

#include "mainwindow.h"

#include <QProgressBar>

namespace larkspur {

void MapWindowView::ShowRegisterBits(int row, int value) {
    if (m_regView != nullptr) {
        m_regView->ShowRegisterBits(row, value);
    }
}

void ProgressWindowView::showProgress() {
    if (m_progress != nullptr) {
        m_progress->showNow();
    }
}

void ProgressWindowView::setProgress(int percent) {
    if (m_progress != nullptr) {
        m_progress->ProgressBar1()->setValue(percent);
    }
}

void ProgressWindowView::hideProgress() {
    if (m_progress != nullptr) {
        m_progress->hide();
    }
}

void ProgressWindowView::refreshControls() {
    m_window.RefreshControls();
}

} // namespace larkspur
