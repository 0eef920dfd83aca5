// What a screen reader finds in the kit's widgets: the drop-down list by its label and its
// item, the radio group's buttons by their items.
#include "tests/support/widgettestsupport.h"
#include "widgets/dropdownlist.h"
#include "widgets/radiogroup.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QItemSelectionModel>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace {

// As the control panel makes it: its caption's text as its name, the register field's items.
void fillSamplingMode(larkspur::DropDownList& list) {
    list.addItems({"Auto", "Single Rate", "Dual Rate", "Quad Rate"});
    list.setAccessibleName("DAC Sampling mode");
}

// A drop-down list is named by its label; what it shows is its value, its text and the
// selected item of its list, whether the user or the program chose it.
TEST(Accessibility, DropDownListShowsItsItemAsValueTextAndSelection) {
    larkspur::DropDownList dropDown;
    fillSamplingMode(dropDown);
    QComboBox* list = &dropDown;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(list);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::ComboBox);
    ASSERT_NE(iface->textInterface(), nullptr);
    ASSERT_EQ(iface->childCount(), 1);
    QAccessibleInterface* items = iface->child(0);
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(items->object(), list->view());
    EXPECT_EQ(iface->indexOfChild(items), 0);

    for (int index : {2, 0, 3, -1}) {
        list->setCurrentIndex(index);
        const QString shown = index < 0 ? QString() : list->itemText(index);
        EXPECT_EQ(iface->text(QAccessible::Name), "DAC Sampling mode") << index;
        EXPECT_EQ(iface->text(QAccessible::Value), shown) << index;
        EXPECT_EQ(iface->textInterface()->text(0, -1), shown) << index;
        EXPECT_EQ(iface->textInterface()->characterCount(), shown.size()) << index;
        for (int i = 0; i < list->count(); ++i) {
            const QModelIndex item = list->model()->index(i, 0);
            EXPECT_EQ(list->view()->selectionModel()->isSelected(item), i == index)
                << index << " item " << i;
        }
    }
    list->setCurrentIndex(3);
    EXPECT_EQ(iface->textInterface()->text(1, 4), "uad");
    EXPECT_EQ(iface->textInterface()->text(2, 99), "ad Rate");
    EXPECT_EQ(iface->textInterface()->text(-5, 1), "Q");
}

TEST(Accessibility, DropDownListOpensAndClosesItsPopupOnPress) {
    larkspur::DropDownList list;
    fillSamplingMode(list);
    list.show();
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&list);
    ASSERT_NE(iface, nullptr);
    ASSERT_NE(iface->actionInterface(), nullptr);
    const QString press = QAccessibleActionInterface::pressAction();
    EXPECT_TRUE(iface->actionInterface()->actionNames().contains(press));
    iface->actionInterface()->doAction(press);
    EXPECT_TRUE(list.view()->isVisible());
    iface->actionInterface()->doAction(press);
    EXPECT_FALSE(list.view()->isVisible());
}

TEST(Accessibility, RadioButtonsAreNamedByTheirItems) {
    // The main window's interface choice.
    larkspur::RadioGroup group("Interface");
    group.setItems({"IIC", "SPI"});
    EXPECT_EQ(group.button(0)->accessibleName(), "IIC");
    EXPECT_EQ(group.button(1)->accessibleName(), "SPI");
}

} // namespace
