// The radio group: one control with an item index and one change signal.
#include "widgets/radiogroup.h"

#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace {

using larkspur::RadioGroup;

std::vector<int> changes(const QSignalSpy& spy) {
    std::vector<int> indexes;
    for (const QList<QVariant>& arguments : spy)
        indexes.push_back(arguments.at(0).toInt());
    return indexes;
}

struct SelectCase {
    int start;
    int chosen;
    int result;
    std::vector<int> signalled;
};

void PrintTo(const SelectCase& c, std::ostream* os) {
    *os << "from " << c.start << " to " << c.chosen;
}

class RadioGroupSelect : public testing::TestWithParam<SelectCase> {};

TEST_P(RadioGroupSelect, ProgramChangesSignalLikeTheUser) {
    RadioGroup group("Mode");
    group.setItems({"Enable", "Disable", "Other"});
    group.setItemIndex(GetParam().start);
    QSignalSpy spy(&group, &RadioGroup::itemIndexChanged);
    group.setItemIndex(GetParam().chosen);
    EXPECT_EQ(group.itemIndex(), GetParam().result);
    EXPECT_EQ(changes(spy), GetParam().signalled);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(group.button(i)->isChecked(), i == GetParam().result) << "item " << i;
}

INSTANTIATE_TEST_SUITE_P(Indexes, RadioGroupSelect,
                         testing::Values(SelectCase{1, 0, 0, {0}}, SelectCase{0, 0, 0, {}},
                                         SelectCase{-1, 2, 2, {2}}, SelectCase{2, -1, -1, {-1}},
                                         SelectCase{-1, -1, -1, {}}, SelectCase{1, 7, -1, {-1}}));

TEST(RadioGroup, UserClickSignalsOnceWithTheNewIndexInPlace) {
    RadioGroup group("Interface");
    group.setItems({"IIC", "SPI"});
    group.setItemIndex(1);
    group.show();
    int seen = -2;
    QObject::connect(&group, &RadioGroup::itemIndexChanged, &group,
                     [&] { seen = group.itemIndex(); });
    QSignalSpy spy(&group, &RadioGroup::itemIndexChanged);
    // On the indicator: the button may be wider than what it draws.
    const QPoint indicator(6, group.button(0)->height() / 2);
    QTest::mouseClick(group.button(0), Qt::LeftButton, {}, indicator);
    EXPECT_EQ(changes(spy), std::vector<int>{0});
    EXPECT_EQ(seen, 0);
    // Clicking the selected item again changes nothing.
    QTest::mouseClick(group.button(0), Qt::LeftButton, {}, indicator);
    EXPECT_EQ(spy.count(), 1);
}

TEST(RadioGroup, ItemsFillColumnsTopToBottom) {
    RadioGroup group("Grid");
    group.resize(200, 100);
    group.setItems({"a", "b", "c", "d"});
    group.setColumns(2);
    group.show();
    EXPECT_EQ(group.columns(), 2);
    const QPoint a = group.button(0)->pos();
    const QPoint b = group.button(1)->pos();
    const QPoint c = group.button(2)->pos();
    EXPECT_EQ(a.x(), b.x());
    EXPECT_LT(a.y(), b.y());
    EXPECT_GT(c.x(), a.x());
    EXPECT_EQ(c.y(), a.y());
}

TEST(RadioGroup, NewItemsStartUnselected) {
    RadioGroup group("Mode");
    group.setItems({"x", "y"});
    EXPECT_EQ(group.itemIndex(), -1);
    group.setItemIndex(0);
    QSignalSpy spy(&group, &RadioGroup::itemIndexChanged);
    group.setItems({"p", "q", "r"});
    EXPECT_EQ(group.itemIndex(), -1);
    EXPECT_EQ(changes(spy), std::vector<int>{-1});
    EXPECT_EQ(group.items(), QStringList({"p", "q", "r"}));
    EXPECT_EQ(group.button(2)->text(), "r");
    EXPECT_EQ(group.button(3), nullptr);
}

} // namespace
