// The window that shows how far a register script has run.
#pragma once

#include <QDialog>

class QProgressBar;

namespace larkspur {

class TscriptProgress : public QDialog {
    Q_OBJECT

public:
    explicit TscriptProgress(QWidget* parent = nullptr);

    // Range 0 to 100.
    QProgressBar* ProgressBar1() const { return m_progressBar1; }

    // Shows the window and paints it before returning.
    void showNow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QProgressBar* m_progressBar1;
};

} // namespace larkspur
