// The message boxes behind UserDialogs, closed by the test as soon as they are up.
#include "qtdialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

struct Seen {
    bool found = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* parent = nullptr;
    QStringList buttons;
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

TEST(QtDialogs, MessageIsAPlainBoxUnderTheApplicationTitle) {
    QWidget owner;
    owner.show();
    larkspur::QtDialogs dialogs(&owner);
    const Seen seen = observeBox([&] { dialogs.message("Script finished"); });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, "EVM control application");
    EXPECT_EQ(seen.text, "Script finished");
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.parent, &owner);
    EXPECT_EQ(seen.buttons.size(), 1);
}

TEST(QtDialogs, ErrorHasTheErrorIconAndItsCaption) {
    QWidget owner;
    owner.show();
    larkspur::QtDialogs dialogs(&owner);
    const Seen seen = observeBox([&] { dialogs.error("DLL error", "Cannot load DLL"); });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, "DLL error");
    EXPECT_EQ(seen.text, "Cannot load DLL");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.parent, &owner);
    EXPECT_EQ(seen.buttons.size(), 1);
}

} // namespace
