// The bitmaps drawn in code.
#include "app/artwork.h"
#include "tests/support/guitestsupport.h"

#include <gtest/gtest.h>

namespace {

namespace artwork = larkspur::artwork;

int countPixels(const QImage& image, const std::function<bool(QColor)>& match) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (match(image.pixelColor(x, y)))
                ++count;
    return count;
}

bool isWhite(QColor c) {
    return c.alpha() == 255 && c.red() > 240 && c.green() > 240 && c.blue() > 240;
}

class ImageButtonBitmap : public testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(ImageButtonBitmap, GreyBevelWithWhiteLettering) {
    const QImage image =
        artwork::imageButton(QLatin1String(GetParam().first), GetParam().second).toImage();
    EXPECT_EQ(image.size(), QSize(GetParam().second, 25));
    // Grey face at the left edge, where there is no lettering.
    const QColor face = image.pixelColor(4, 12);
    EXPECT_EQ(face.red(), face.green());
    EXPECT_EQ(face.green(), face.blue());
    EXPECT_GT(face.red(), 64);
    EXPECT_LT(face.red(), 200);
    // Bevel: lighter top-left than bottom-right.
    EXPECT_GT(image.pixelColor(1, 1).lightness(),
              image.pixelColor(image.width() - 2, 23).lightness());
    EXPECT_GT(countPixels(image, isWhite), 10);
}

INSTANTIATE_TEST_SUITE_P(Buttons, ImageButtonBitmap,
                         testing::Values(std::pair{"Save", 79}, std::pair{"Clear", 79},
                                         std::pair{"Read", 53}, std::pair{"Write", 53},
                                         std::pair{"EXIT", 111}));

TEST(Artwork, TitleIsGreenOnTransparent) {
    const QImage image = artwork::title().toImage();
    EXPECT_EQ(image.size(), QSize(360, 19));
    EXPECT_EQ(image.pixelColor(359, 0).alpha(), 0);
    EXPECT_EQ(image.pixelColor(0, 18).alpha(), 0);
    EXPECT_GT(countPixels(image,
                          [](QColor c) {
                              return c.alpha() == 255 && c.green() > 100 && c.red() < 60 &&
                                     c.blue() < 60;
                          }),
              50);
}

TEST(Artwork, LogoHasItsSize) {
    const QImage image = artwork::logo().toImage();
    EXPECT_EQ(image.size(), QSize(162, 19));
    EXPECT_GT(countPixels(image, [](QColor c) { return c.alpha() == 255; }), 50);
}

TEST(Artwork, LampsOnTheTransparentColour) {
    for (int i = 0; i < artwork::kLampCount; ++i) {
        const QImage bitmap = artwork::lampBitmap(i);
        EXPECT_EQ(bitmap.size(), QSize(16, 16));
        EXPECT_EQ(bitmap.pixelColor(0, 15), QColor(0, 0, 255)) << "lamp " << i;
        const QImage drawn = artwork::lamp(i).toImage();
        EXPECT_EQ(drawn.pixelColor(0, 15).alpha(), 0) << "lamp " << i;
        EXPECT_EQ(drawn.pixelColor(15, 0).alpha(), 0) << "lamp " << i;
        EXPECT_EQ(drawn.pixelColor(8, 8).alpha(), 255) << "lamp " << i;
        // No blue fringe survives: every opaque pixel differs from the transparent colour.
        EXPECT_EQ(
            countPixels(drawn, [](QColor c) { return c.alpha() == 255 && c == QColor(0, 0, 255); }),
            0);
    }
    // Unlit is a grey (no hue), 1 is red, 2 is green.
    const QColor unlit = artwork::lampBitmap(0).pixelColor(9, 9);
    const QColor red = artwork::lampBitmap(1).pixelColor(9, 9);
    const QColor lit = artwork::lampBitmap(2).pixelColor(9, 9);
    EXPECT_EQ(unlit.red(), unlit.green());
    EXPECT_EQ(unlit.green(), unlit.blue());
    EXPECT_GT(unlit.lightness(), 150);
    EXPECT_GT(red.red(), 200);
    EXPECT_LT(red.green(), 100);
    EXPECT_GT(lit.green(), 200);
    EXPECT_LT(lit.red(), 100);
}

TEST(Artwork, TransparencyComesFromTheBottomLeftPixel) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(QColor(10, 20, 30));
    image.setPixelColor(0, 3, QColor(1, 2, 3));
    image.setPixelColor(2, 1, QColor(1, 2, 3));
    const QImage result = artwork::transparentByBottomLeft(image).toImage();
    EXPECT_EQ(result.pixelColor(0, 3).alpha(), 0);
    EXPECT_EQ(result.pixelColor(2, 1).alpha(), 0);
    EXPECT_EQ(result.pixelColor(0, 0), QColor(10, 20, 30));
    EXPECT_EQ(countPixels(result, [](QColor c) { return c.alpha() == 0; }), 2);
}

TEST(Artwork, ConnectionImages) {
    const QImage none = artwork::connectionImage(0).toImage();
    const QImage connected = artwork::connectionImage(1).toImage();
    EXPECT_EQ(none.size(), QSize(72, 19));
    EXPECT_EQ(connected.size(), QSize(72, 19));
    const QColor red = none.pixelColor(1, 1);
    const QColor green = connected.pixelColor(1, 1);
    EXPECT_GT(red.red(), red.green());
    EXPECT_GT(red.lightness(), 150);
    EXPECT_GT(green.green(), green.red());
    EXPECT_GT(green.lightness(), 150);
    auto dark = [](QColor c) { return c.lightness() < 90; };
    EXPECT_GT(countPixels(none, dark), 20);
    EXPECT_GT(countPixels(connected, dark), 20);
    EXPECT_EQ(artwork::connectionText(0), "No EVM");
    EXPECT_EQ(artwork::connectionText(1), "Connected");
}

} // namespace
