// What a screen reader finds in the main window: names, descriptions, buttons it can press.
#include "app/mainwindow.h"
#include "tests/support/guitestsupport.h"
#include "widgets/imagebutton.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSlider>

#include <gtest/gtest.h>

namespace {

using larkspur::ImageButton;
using larkspur::TForm1;

QAccessibleInterface* findInTree(QAccessibleInterface* node, QAccessible::Role role,
                                 const QString& name) {
    if (node == nullptr)
        return nullptr;
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        // As a screen reader's user: only what is on the screen (the other tab sheets are not).
        if (child == nullptr || child->state().invisible)
            continue;
        if (child->role() == role && child->text(QAccessible::Name) == name)
            return child;
        if (QAccessibleInterface* found = findInTree(child, role, name))
            return found;
    }
    return nullptr;
}

bool isInteractive(const QWidget* widget) {
    return qobject_cast<const QAbstractButton*>(widget) != nullptr ||
           qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QPlainTextEdit*>(widget) != nullptr ||
           qobject_cast<const QSlider*>(widget) != nullptr;
}

// Qt's own parts of composite widgets (the tab bar's scroll arrows and the like).
bool isQtInternal(const QWidget* widget) {
    return widget->objectName().startsWith(QLatin1String("qt_"));
}

TEST(Accessibility, EveryControlOfTheMainWindowHasAName) {
    guitest::TestForm form;
    form.show();
    int checked = 0;
    for (QWidget* widget : form.findChildren<QWidget*>()) {
        // Explicitly hidden parts (the menu bar's overflow arrow) are not offered to anyone;
        // controls on the tab sheets that are not in front still count.
        if (!isInteractive(widget) || widget->isHidden())
            continue;
        ++checked;
        if (isQtInternal(widget)) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
            ASSERT_NE(iface, nullptr);
            EXPECT_FALSE(iface->text(QAccessible::Name).isEmpty())
                << widget->metaObject()->className() << " " << widget->objectName().toStdString();
        } else {
            EXPECT_FALSE(widget->accessibleName().isEmpty())
                << widget->metaObject()->className() << " " << widget->objectName().toStdString();
        }
    }
    // Five image buttons, three push buttons, two radio buttons, two edits, the memo, the list.
    EXPECT_GE(checked, 14);
}

struct NameCase {
    const char* object;
    QString name;
    QString description;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.object;
}

class Form1Names : public testing::TestWithParam<NameCase> {};

TEST_P(Form1Names, ControlIsAnnouncedByItsCaptionOrLabel) {
    guitest::TestForm form;
    auto* widget = guitest::child<QWidget>(&form, GetParam().object);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->accessibleName(), GetParam().name);
    EXPECT_EQ(widget->accessibleDescription(), GetParam().description);
    EXPECT_EQ(widget->toolTip(), GetParam().description);
    // What the accessibility bus publishes, which for some widgets is not the property.
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->text(QAccessible::Name), GetParam().name);
    EXPECT_EQ(iface->text(QAccessible::Description), GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, Form1Names,
    testing::Values(NameCase{"cbAddr", QStringLiteral("Address:"), {}},
                    NameCase{"RDA_reg", QStringLiteral("Address"), {}},
                    NameCase{"RDA_data", QStringLiteral("Data"), {}},
                    NameCase{"Memo1", QStringLiteral("Register setting history"), {}},
                    NameCase{"imgSave", QStringLiteral("Save"), {}},
                    NameCase{"imgClear", QStringLiteral("Clear"), {}},
                    NameCase{"imgRead", QStringLiteral("Read"), {}},
                    NameCase{"imgWrite", QStringLiteral("Write"), {}},
                    NameCase{"imgExit", QStringLiteral("EXIT"), {}},
                    NameCase{"btnMRST", QStringLiteral("MRST"), QStringLiteral("Reg#40H, Bit7")},
                    NameCase{"btnSRST", QStringLiteral("SRST"), QStringLiteral("Reg#40H, Bit6")},
                    NameCase{"bBDRST", QStringLiteral("Reconnect"), {}},
                    NameCase{"rgInterface", QStringLiteral("Interface"), {}},
                    NameCase{
                        "imgConnection", QStringLiteral("PC-EVM Communication and Status"), {}},
                    NameCase{"GroupBox23", QStringLiteral("Register setting history"), {}},
                    NameCase{"GroupBox25", QStringLiteral("Register direct access"), {}},
                    NameCase{"gbReset", QStringLiteral("Reset control"), {}},
                    NameCase{"GroupBox3", QStringLiteral("PC-EVM Communication and Status"), {}},
                    NameCase{"Image1", QStringLiteral("Tessaly EVM Controller"), {}},
                    NameCase{"DACADCFunc", QStringLiteral("DAC Inteface and Sampling Mode"), {}}),
    [](const testing::TestParamInfo<NameCase>& row) { return std::string(row.param.object); });

struct LabelledCase {
    const char* field;
    const char* label;
};

class LabelledBy : public testing::TestWithParam<LabelledCase> {};

TEST_P(LabelledBy, FieldIsLabelledByTheLabelBesideIt) {
    guitest::TestForm form;
    auto* field = guitest::child<QWidget>(&form, GetParam().field);
    ASSERT_NE(field, nullptr);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(field);
    ASSERT_NE(iface, nullptr);
    QStringList labels;
    for (const auto& relation : iface->relations(QAccessible::Label))
        labels << relation.first->text(QAccessible::Name);
    EXPECT_TRUE(labels.contains(QLatin1String(GetParam().label)))
        << labels.join(", ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Fields, LabelledBy,
                         testing::Values(LabelledCase{"cbAddr", "Address:"},
                                         LabelledCase{"RDA_reg", "Address"},
                                         LabelledCase{"RDA_data", "Data"},
                                         LabelledCase{"btnMRST", "Register Reset"},
                                         LabelledCase{"btnSRST", "Re-Sync"}));

class PressableImageButton : public testing::TestWithParam<const char*> {};

TEST_P(PressableImageButton, FoundAsAButtonByItsLetteringAndPressed) {
    guitest::TestForm form;
    form.show();
    auto* button = guitest::child<ImageButton>(&form, GetParam());
    ASSERT_NE(button, nullptr);
    QSignalSpy clicks(button, &ImageButton::clicked);

    QAccessibleInterface* iface = findInTree(QAccessible::queryAccessibleInterface(&form),
                                             QAccessible::Button, button->text());
    ASSERT_NE(iface, nullptr) << "no button named " << button->text().toStdString();
    EXPECT_EQ(iface->object(), button);
    ASSERT_NE(iface->actionInterface(), nullptr);
    const QString press = QAccessibleActionInterface::pressAction();
    EXPECT_TRUE(iface->actionInterface()->actionNames().contains(press));
    EXPECT_TRUE(iface->state().focusable);
    iface->actionInterface()->doAction(press);
    EXPECT_EQ(clicks.count(), 0) << "clicked inside the action call";
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Form1, PressableImageButton,
                         testing::Values("imgSave", "imgClear", "imgRead", "imgWrite", "imgExit"));

TEST(Accessibility, ADisabledImageButtonIsNotPressed) {
    guitest::TestForm form;
    guitest::child<larkspur::ImageButton>(&form, "imgRead")->setEnabled(false);
    QSignalSpy clicks(guitest::child<larkspur::ImageButton>(&form, "imgRead"),
                      &ImageButton::clicked);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(
        guitest::child<larkspur::ImageButton>(&form, "imgRead"));
    ASSERT_NE(iface, nullptr);
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks.count(), 0);
}

TEST(Accessibility, ConnectionIndicatorAnnouncesItsState) {
    guitest::TestForm form;
    form.frontEnd(form.world().dialogs)
        .status.showConnection(larkspur::ConnectionStatus::Connection::Connected);
    QAccessibleInterface* iface =
        QAccessible::queryAccessibleInterface(guitest::child<QLabel>(&form, "imgConnection"));
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->text(QAccessible::Name), "Connected");
}

} // namespace
