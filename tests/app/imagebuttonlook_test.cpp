// The pressed look and the click of the five image buttons of the main window.
#include "app/imagebuttonlook.h"
#include "app/mainwindow.h"
#include "tests/support/guitestsupport.h"
#include "widgets/imagebutton.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using larkspur::ImageButton;
using larkspur::TForm1;

struct ButtonCase {
    const char* name;
    int tag;
    QString lettering;
    QRect rest; // in its parent's coordinates
};

void PrintTo(const ButtonCase& c, std::ostream* os) {
    *os << c.name;
}

class ImageButtonLook : public testing::TestWithParam<ButtonCase> {
protected:
    void SetUp() override {
        form.show();
        button = guitest::child<ImageButton>(&form, GetParam().name);
        ASSERT_NE(button, nullptr);
    }

    QRect pressed() const {
        const QRect& rest = GetParam().rest;
        return QRect(rest.x() + 1, rest.y() + 1, rest.width(), 23);
    }

    guitest::TestForm form;
    ImageButton* button = nullptr;
};

TEST_P(ImageButtonLook, StartsAtRestWithItsTagAndLettering) {
    EXPECT_EQ(button->geometry(), GetParam().rest);
    EXPECT_EQ(button->tag(), GetParam().tag);
    EXPECT_EQ(button->text(), GetParam().lettering);
}

TEST_P(ImageButtonLook, BitmapIsOneRowTallerThanTheControl) {
    EXPECT_EQ(button->pixmap().height(), 25);
    EXPECT_EQ(button->pixmap().width(), GetParam().rest.width());
}

TEST_P(ImageButtonLook, PressShiftsByOnePixelAndReleaseInsideClicksOnce) {
    QSignalSpy clicks(button, &ImageButton::clicked);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
    // Right and down by one; the bottom edge stays where it was.
    EXPECT_EQ(button->geometry(), pressed());
    EXPECT_EQ(button->geometry().bottom(), GetParam().rest.bottom());
    EXPECT_EQ(button->height(), 23);
    EXPECT_EQ(clicks.count(), 0);

    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(button->geometry(), GetParam().rest);
    EXPECT_EQ(clicks.count(), 1);
}

TEST_P(ImageButtonLook, ReleaseOutsideRestoresWithoutAClick) {
    QSignalSpy clicks(button, &ImageButton::clicked);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EQ(button->geometry(), pressed());
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(button->width() + 20, 40));
    EXPECT_EQ(button->geometry(), GetParam().rest);
    EXPECT_EQ(clicks.count(), 0);
}

TEST_P(ImageButtonLook, AnyMouseButtonGivesThePressedLookButOnlyTheLeftClicks) {
    QSignalSpy clicks(button, &ImageButton::clicked);
    QTest::mousePress(button, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(button->geometry(), pressed());
    QTest::mouseRelease(button, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(button->geometry(), GetParam().rest);
    EXPECT_EQ(clicks.count(), 0);
}

TEST_P(ImageButtonLook, SpaceClicksAFocusedButton) {
    QSignalSpy clicks(button, &ImageButton::clicked);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Form1, ImageButtonLook,
    testing::Values(ButtonCase{"imgSave", 2, QStringLiteral("Save"), QRect(24, 318, 79, 24)},
                    ButtonCase{"imgClear", 3, QStringLiteral("Clear"), QRect(114, 318, 79, 24)},
                    ButtonCase{"imgRead", 4, QStringLiteral("Read"), QRect(98, 32, 53, 24)},
                    ButtonCase{"imgWrite", 5, QStringLiteral("Write"), QRect(155, 32, 53, 24)},
                    ButtonCase{"imgExit", 6, QStringLiteral("EXIT"), QRect(608, 508, 111, 24)}),
    [](const testing::TestParamInfo<ButtonCase>& row) { return std::string(row.param.name); });

// The look on its own: rest positions by tag, and the place of a pressed and released button.
TEST(ImageButtonLook, RecordsEachButtonsRestAndPlacesItPressedOrNot) {
    QWidget parent;
    larkspur::ImageButtonLook look;
    ImageButton* read =
        look.make(&parent, "imgRead", QStringLiteral("Read"), 4, QRect(98, 32, 53, 24));
    ImageButton* odd = look.make(&parent, "imgOdd", QStringLiteral("Odd"), 9, QRect(5, 6, 40, 24));
    EXPECT_EQ(look.buttons(), (std::vector<ImageButton*>{read, odd}));
    EXPECT_EQ(look.restPosition(4), QPoint(98, 32));
    for (int tag : {-1, 0, 1, 2, 7, 9})
        EXPECT_EQ(look.restPosition(tag), QPoint()) << tag;

    look.place(read, true);
    EXPECT_EQ(read->geometry(), QRect(99, 33, 53, 23));
    look.place(read, false);
    EXPECT_EQ(read->geometry(), QRect(98, 32, 53, 24));
    // A tag the look keeps no record of is left where it is.
    odd->move(7, 8);
    look.place(odd, true);
    EXPECT_EQ(odd->geometry(), QRect(7, 8, 40, 24));
}

TEST(ImageButtonLook, MovingOutAndBackInWhilePressedStillClicks) {
    guitest::TestForm form;
    form.show();
    ImageButton* button = guitest::child<larkspur::ImageButton>(&form, "imgRead");
    QSignalSpy clicks(button, &ImageButton::clicked);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(button, QPoint(200, 200));
    QTest::mouseMove(button, QPoint(12, 12));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(12, 12));
    EXPECT_EQ(button->geometry(), QRect(98, 32, 53, 24));
    EXPECT_EQ(clicks.count(), 1);
}

TEST(ImageButtonLook, ThePictureIsDrawnFromTheTopLeftCorner) {
    guitest::TestForm form;
    form.show();
    ImageButton* button = guitest::child<larkspur::ImageButton>(&form, "imgWrite");
    const QImage shown = button->grab().toImage();
    const QImage bitmap = button->pixmap().toImage();
    ASSERT_EQ(shown.height(), 24);
    // Compare away from the focus frame: the first two rows and the left columns.
    for (int x = 0; x < button->width(); ++x) {
        EXPECT_EQ(shown.pixel(x, 0), bitmap.pixel(x, 0)) << "x " << x;
        EXPECT_EQ(shown.pixel(x, 1), bitmap.pixel(x, 1)) << "x " << x;
    }
    // The last row of the 25-row bitmap is cut off at rest.
    EXPECT_EQ(shown.pixel(0, 23), bitmap.pixel(0, 23));
}

} // namespace
