// Runs the window tests inside the program's own application object.
#include "app/larkspurapplication.h"
#include "offscreenplatform.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    guitest::useOffscreenWithoutDisplay();
    ::testing::InitGoogleTest(&argc, argv);
    larkspur::LarkspurApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
