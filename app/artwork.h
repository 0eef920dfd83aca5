// Every bitmap of the main window, drawn in code so that the program needs no image files.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>

namespace larkspur::artwork {

// Image buttons: a grey bevelled button with white bold lettering. The bitmap is one pixel
// taller than its 24-pixel control, so the pressed look (shift by one) uncovers the bottom row.
inline constexpr int kImageButtonHeight = 25;
QPixmap imageButton(const QString& lettering, int width);

// "Tessaly EVM Controller" in bold green on a transparent background, 360 x 19.
QPixmap title();

// The program's own logo, 162 x 19: a larkspur spike and the name.
QPixmap logo();

// The program's icon: the spike of the logo, `size` pixels square, on a transparent ground.
QImage icon(int size);

// ImageList1: the zero-flag lamps, 16 x 16 on a blue background that is the transparent
// colour. 0 unlit (white and grey), 1 red, 2 lit green.
inline constexpr int kLampCount = 3;
QImage lampBitmap(int index);
// A lamp as the lamp controls draw it, transparent where the bitmap has its transparent colour.
QPixmap lamp(int index);

// Makes every pixel that has the colour of the bottom-left pixel transparent, the way image
// lists treat their transparent colour.
QPixmap transparentByBottomLeft(const QImage& image);

// ImageList2: the connection indicator, 72 x 19. 0 "No EVM" on light red, 1 "Connected" on
// light green.
inline constexpr int kConnectionImageCount = 2;
QPixmap connectionImage(int index);
QString connectionText(int index);

} // namespace larkspur::artwork
