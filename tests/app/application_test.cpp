// Exceptions that escape event handlers are reported and the program goes on.
#include "app/larkspurapplication.h"
#include "tests/support/guitestsupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using larkspur::LarkspurApplication;

const QEvent::Type kThrowStd = static_cast<QEvent::Type>(QEvent::User + 1);
const QEvent::Type kThrowOther = static_cast<QEvent::Type>(QEvent::User + 2);
const QEvent::Type kPlain = static_cast<QEvent::Type>(QEvent::User + 3);

class Thrower : public QObject {
public:
    int plainEvents = 0;

    bool event(QEvent* event) override {
        if (event->type() == kThrowStd)
            throw std::runtime_error("Bad value");
        if (event->type() == kThrowOther)
            throw 42;
        if (event->type() == kPlain) {
            ++plainEvents;
            return true;
        }
        return QObject::event(event);
    }
};

class ExceptionReport : public testing::Test {
protected:
    void SetUp() override {
        app = qobject_cast<LarkspurApplication*>(QCoreApplication::instance());
        ASSERT_NE(app, nullptr);
        app->setDialogs(&dialogs);
    }
    void TearDown() override {
        if (app != nullptr)
            app->setDialogs(nullptr);
    }

    using Reports = std::vector<std::pair<std::string, std::string>>;

    LarkspurApplication* app = nullptr;
    guitest::RecordingDialogs dialogs;
};

TEST_F(ExceptionReport, StandardExceptionShowsItsMessageWithAFullStop) {
    Thrower thrower;
    QEvent event(kThrowStd);
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &event));
    EXPECT_EQ(dialogs.errors, (Reports{{"EVM control application", "Bad value."}}));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ExceptionReport, OtherExceptionShowsAnEmptyMessage) {
    Thrower thrower;
    QEvent event(kThrowOther);
    QCoreApplication::sendEvent(&thrower, &event);
    EXPECT_EQ(dialogs.errors, (Reports{{"EVM control application", ""}}));
}

TEST_F(ExceptionReport, TheLoopGoesOnAfterAReport) {
    Thrower thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(kThrowStd));
    QCoreApplication::postEvent(&thrower, new QEvent(kPlain));
    QCoreApplication::postEvent(&thrower, new QEvent(kThrowOther));
    QCoreApplication::postEvent(&thrower, new QEvent(kPlain));
    QCoreApplication::sendPostedEvents(&thrower);
    EXPECT_EQ(thrower.plainEvents, 2);
    EXPECT_EQ(dialogs.errors, (Reports{{"EVM control application", "Bad value."},
                                       {"EVM control application", ""}}));
}

TEST_F(ExceptionReport, AThrowingTimerIsReported) {
    bool ran = false;
    QTimer::singleShot(0, app, [] { throw std::runtime_error("Done."); });
    QTimer::singleShot(0, app, [&ran] { ran = true; });
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
    EXPECT_EQ(dialogs.errors, (Reports{{"EVM control application", "Done."}}));
}

TEST_F(ExceptionReport, EventsThatDoNotThrowReportNothing) {
    Thrower thrower;
    QEvent event(kPlain);
    EXPECT_TRUE(QCoreApplication::sendEvent(&thrower, &event));
    EXPECT_TRUE(dialogs.errors.empty());
}

} // namespace
