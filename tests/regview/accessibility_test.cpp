// What a screen reader finds in the register map window.
#include "regview/registermapwindow.h"

#include <QAccessible>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

TEST(Accessibility, RegisterMapCellsReadAsNameAndBit) {
    larkspur::TRegViewForm map;
    map.ShowRegisterBits(0, 0xC1);
    QAccessibleInterface* mrst = QAccessible::queryAccessibleInterface(map.bitCell(0, 7));
    QAccessibleInterface* amute3 = QAccessible::queryAccessibleInterface(map.bitCell(0, 5));
    ASSERT_NE(mrst, nullptr);
    ASSERT_NE(amute3, nullptr);
    EXPECT_EQ(mrst->text(QAccessible::Name), "MRST");
    EXPECT_EQ(mrst->text(QAccessible::Description), "1");
    EXPECT_EQ(amute3->text(QAccessible::Name), "AMUTE3");
    EXPECT_EQ(amute3->text(QAccessible::Description), "0");
    map.ShowRegisterBits(0, 0x20);
    EXPECT_EQ(mrst->text(QAccessible::Description), "0");
    EXPECT_EQ(amute3->text(QAccessible::Description), "1");
}

} // namespace
