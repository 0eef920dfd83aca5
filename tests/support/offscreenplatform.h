// The window tests' platform when run by hand or listed at build time, outside CTest's
// environment: offscreen unless a display is named.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace guitest {

inline void useOffscreenWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace guitest
