// Runs the window tests inside the program's own application object.
#include "larkspurapplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Test discovery runs this binary at build time, outside CTest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    larkspur::LarkspurApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
