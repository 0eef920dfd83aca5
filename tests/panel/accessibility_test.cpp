// What a screen reader finds on the control panel: every bound control by its caption.
#include "catalogue/controlcatalogue.h"
#include "panel/controlpanel.h"
#include "panel/panellayout.h"
#include "tests/support/guitestsupport.h"

#include <QAccessible>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Every bound control as assistive technology reads it: named by its caption or label, its
// register field as description.
TEST(Accessibility, EveryBoundControlIsAnnouncedByItsCaptionAndField) {
    guitest::TestForm form;
    for (const larkspur::BoundControl& row : larkspur::controlCatalogue()) {
        std::vector<QWidget*> widgets{form.panel().control(row.name)};
        if (const larkspur::ControlPlacement& place = larkspur::placementOf(row.name);
            !place.editName.empty())
            widgets.push_back(form.panel().control(place.editName));
        for (QWidget* widget : widgets) {
            ASSERT_NE(widget, nullptr) << row.name;
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
            ASSERT_NE(iface, nullptr) << row.name;
            EXPECT_EQ(iface->text(QAccessible::Name).toStdString(), row.caption) << row.name;
            EXPECT_EQ(iface->text(QAccessible::Description).toStdString(), row.tooltip) << row.name;
        }
    }
}

} // namespace
