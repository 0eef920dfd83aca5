// Windows that must be seen while the program is busy on the GUI thread.
#pragma once

class QWidget;

namespace larkspur {

// Shows the window and paints it before returning, without waiting for the event loop.
void showNow(QWidget* window);

// Puts the window in the middle of its screen's available area.
void centreOnScreen(QWidget* window);

} // namespace larkspur
