// Runs the tests of widgets that need no part of the program inside a plain application object.
#include "offscreenplatform.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    guitest::useOffscreenWithoutDisplay();
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
