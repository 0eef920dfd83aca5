#include "showwindow.h"

#include <QCoreApplication>
#include <QScreen>
#include <QWidget>

namespace larkspur {

void showNow(QWidget* window) {
    window->show();
    window->raise();
    // Let the window system map the window; user input waits for the loop.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    window->repaint();
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

} // namespace larkspur
