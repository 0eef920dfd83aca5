// The message boxes behind UserDialogs, closed by the test as soon as they are up.
#include "app/qtdialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

namespace {

struct Seen {
    bool found = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* parent = nullptr;
    QStringList buttons;
    QString details;
};

// Runs `show`, which blocks in a modal box, and reports what the box looked like.
Seen observeBox(const std::function<void()>& show) {
    Seen seen;
    QTimer::singleShot(0, qApp, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        seen.found = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.parent = box->parentWidget();
        seen.details = box->detailedText();
        for (QAbstractButton* button : box->buttons())
            seen.buttons << button->text();
        box->button(QMessageBox::Ok)->click();
    });
    // Should no box come up as expected, this ends the wait with a failure instead of a hang.
    QTimer backstop;
    backstop.setSingleShot(true);
    QObject::connect(&backstop, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    backstop.start(10000);
    show();
    return seen;
}

struct BoxCase {
    const char* name;
    std::function<void(larkspur::QtDialogs&)> show;
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QString details = {};
};

void PrintTo(const BoxCase& c, std::ostream* os) {
    *os << c.name;
}

class QtDialogsBox : public testing::TestWithParam<BoxCase> {};

// One OK button, the window as owner; a message under the application title without an icon,
// an error under its caption with the error icon.
TEST_P(QtDialogsBox, ShowsTitleTextIconAndOneButton) {
    QWidget owner;
    owner.show();
    larkspur::QtDialogs dialogs(&owner);
    const Seen seen = observeBox([&] { GetParam().show(dialogs); });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, GetParam().title);
    EXPECT_EQ(seen.text, GetParam().text);
    EXPECT_EQ(seen.icon, GetParam().icon);
    EXPECT_EQ(seen.parent, &owner);
    EXPECT_EQ(seen.buttons.filter(QStringLiteral("OK")).size(), 1);
    // Details are folded away behind their own button; the text stays as it is.
    EXPECT_EQ(seen.details, GetParam().details);
}

INSTANTIATE_TEST_SUITE_P(
    QtDialogs, QtDialogsBox,
    testing::Values(BoxCase{"Message", [](larkspur::QtDialogs& d) { d.message("Script finished"); },
                            QStringLiteral("EVM control application"),
                            QStringLiteral("Script finished"), QMessageBox::NoIcon},
                    BoxCase{"Error",
                            [](larkspur::QtDialogs& d) { d.error("DLL error", "Cannot load DLL"); },
                            QStringLiteral("DLL error"), QStringLiteral("Cannot load DLL"),
                            QMessageBox::Critical},
                    BoxCase{"ErrorWithDetails",
                            [](larkspur::QtDialogs& d) {
                                d.errorWithDetails("Error", "No EVM was found",
                                                   "33 /dev/ttyUSB0 busy: held by minicom (PID 4)");
                            },
                            QStringLiteral("Error"), QStringLiteral("No EVM was found"),
                            QMessageBox::Critical,
                            QStringLiteral("33 /dev/ttyUSB0 busy: held by minicom (PID 4)")}),
    [](const testing::TestParamInfo<BoxCase>& row) { return std::string(row.param.name); });

} // namespace
