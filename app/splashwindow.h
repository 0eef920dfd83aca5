// The splash window: shown at start-up and reused as the busy notice of long steps. A close
// request only hides it (it is never deleted on close), so the next notice can show it again.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace larkspur {

class TSplashForm : public QWidget {
    Q_OBJECT

public:
    explicit TSplashForm(QWidget* parent = nullptr);

    // The status line ("Loading...", "Reset in progress ...").
    QLabel* Label1() const { return m_label1; }
    // Hidden until a step with a known length shows it.
    QProgressBar* ProgressBar1() const { return m_progressBar1; }

    // Shows the window and paints it before returning.
    void showNow();

private:
    QLabel* m_label1;
    QProgressBar* m_progressBar1;
};

} // namespace larkspur
