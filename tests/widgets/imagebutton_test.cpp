// The bitmap that acts as a push button, on its own: which mouse button clicks, the signals its
// owner gives it a pressed look with, what a screen reader finds. The keyboard is tested with the
// window's image buttons.
#include "tests/support/widgettestsupport.h"
#include "widgets/imagebutton.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using larkspur::ImageButton;

// A 40 x 25 picture: a red top row over blue, so that where it is drawn from shows.
QPixmap picture() {
    QImage image(40, 25, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int x = 0; x < image.width(); ++x)
        image.setPixel(x, 0, qRgb(255, 0, 0));
    return QPixmap::fromImage(image);
}

struct ShownButton {
    ShownButton() {
        button.setPixmap(picture());
        button.setText(QStringLiteral("Read"));
        button.setGeometry(10, 10, 40, 24);
        window.resize(100, 60);
        window.show();
    }
    QWidget window;
    ImageButton button{&window};
};

struct MouseCase {
    const char* name;
    Qt::MouseButton mouse;
    QPoint release;
    int clicks;
};

void PrintTo(const MouseCase& c, std::ostream* os) {
    *os << c.name;
}

class ImageButtonMouse : public testing::TestWithParam<MouseCase> {};

// Every mouse button tells the owner down and up, wherever it is let go; only the left one let
// go inside clicks.
TEST_P(ImageButtonMouse, DownAndUpAlwaysClickOnlyLeftInside) {
    ShownButton shown;
    QSignalSpy downs(&shown.button, &ImageButton::mouseDown);
    QSignalSpy ups(&shown.button, &ImageButton::mouseUp);
    QSignalSpy clicks(&shown.button, &ImageButton::clicked);
    QTest::mousePress(&shown.button, GetParam().mouse, {}, QPoint(5, 5));
    EXPECT_EQ(downs.count(), 1);
    EXPECT_EQ(ups.count(), 0);
    QTest::mouseRelease(&shown.button, GetParam().mouse, {}, GetParam().release);
    EXPECT_EQ(ups.count(), 1);
    EXPECT_EQ(clicks.count(), GetParam().clicks);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, ImageButtonMouse,
    testing::Values(MouseCase{"LeftInside", Qt::LeftButton, QPoint(5, 5), 1},
                    MouseCase{"LeftOutside", Qt::LeftButton, QPoint(60, 40), 0},
                    MouseCase{"RightInside", Qt::RightButton, QPoint(5, 5), 0},
                    MouseCase{"MiddleInside", Qt::MiddleButton, QPoint(5, 5), 0}),
    [](const testing::TestParamInfo<MouseCase>& row) { return std::string(row.param.name); });

// The owner may move the button while it is down (the pressed look): the release is judged
// where the user let go on the moved control.
TEST(ImageButton, ReleaseInsideAfterTheOwnerMovedItStillClicks) {
    ShownButton shown;
    QObject::connect(&shown.button, &ImageButton::mouseDown, &shown.button,
                     [&] { shown.button.setGeometry(11, 11, 40, 23); });
    QObject::connect(&shown.button, &ImageButton::mouseUp, &shown.button,
                     [&] { shown.button.setGeometry(10, 10, 40, 24); });
    QSignalSpy clicks(&shown.button, &ImageButton::clicked);
    QTest::mousePress(&shown.button, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&shown.button, Qt::LeftButton, {}, QPoint(38, 21));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(shown.button.geometry(), QRect(10, 10, 40, 24));
}

TEST(ImageButton, DrawsItsPictureFromTheTopLeftAndTakesItsSize) {
    ShownButton shown;
    EXPECT_EQ(shown.button.sizeHint(), QSize(40, 25));
    const QImage drawn = shown.button.grab().toImage();
    ASSERT_EQ(drawn.size(), QSize(40, 24));
    EXPECT_EQ(QColor(drawn.pixel(20, 0)), QColor(Qt::red));
    EXPECT_EQ(QColor(drawn.pixel(20, 23)), QColor(Qt::blue));
}

// A push button named by its lettering; its press action clicks once the call has returned.
TEST(ImageButton, AScreenReaderFindsAPushButtonThatPressesLater) {
    ShownButton shown;
    QSignalSpy clicks(&shown.button, &ImageButton::clicked);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&shown.button);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Button);
    EXPECT_EQ(iface->text(QAccessible::Name), "Read");
    ASSERT_NE(iface->actionInterface(), nullptr);
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks.count(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks.count(), 1);
}

} // namespace
