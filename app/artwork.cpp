#include "artwork.h"
#include "windowtexts.h"

#include <QFont>
#include <QPainter>

namespace larkspur::artwork {

namespace {

// Pixel sizes, not points, so the bitmaps come out the same on every screen.
QFont boldFont(int pixelSize) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(true);
    return font;
}

const QColor kButtonFace(128, 128, 128);
const QColor kButtonLight(224, 224, 224);
const QColor kButtonShade(72, 72, 72);
const QColor kLampTransparent(0, 0, 255);

} // namespace

QPixmap imageButton(const QString& lettering, int width) {
    QPixmap pixmap(width, kImageButtonHeight);
    pixmap.fill(kButtonFace);
    QPainter painter(&pixmap);
    const int right = width - 1;
    const int bottom = kImageButtonHeight - 1;
    // Two-pixel bevel: light along the top and left, dark along the bottom and right.
    for (int i = 0; i < 2; ++i) {
        painter.setPen(kButtonLight);
        painter.drawLine(i, i, right - i, i);
        painter.drawLine(i, i, i, bottom - i);
        painter.setPen(kButtonShade);
        painter.drawLine(i, bottom - i, right - i, bottom - i);
        painter.drawLine(right - i, i, right - i, bottom - i);
    }
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, right, bottom);

    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(boldFont(13));
    // Lettering on the 24 visible rows; a dark shadow keeps white letters readable on grey.
    const QRect textArea(0, 0, width, kImageButtonHeight - 1);
    painter.setPen(kButtonShade);
    painter.drawText(textArea.translated(1, 1), Qt::AlignCenter, lettering);
    painter.setPen(Qt::white);
    painter.drawText(textArea, Qt::AlignCenter, lettering);
    return pixmap;
}

QPixmap title() {
    QPixmap pixmap(360, 19);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(boldFont(16));
    painter.setPen(QColor(0, 128, 0));
    painter.drawText(pixmap.rect(), Qt::AlignLeft | Qt::AlignVCenter, text::kTitleImage);
    return pixmap;
}

namespace {

// A larkspur spike, 19 units high: florets shrinking towards the tip, on a green stem.
void drawSpike(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 110, 40), 1.2));
    painter.drawLine(QPointF(9.5, 18.5), QPointF(9.5, 1.0));
    painter.setPen(Qt::NoPen);
    const QColor floret(92, 64, 196);
    const struct {
        double x, y, r;
    } florets[] = {{6.5, 14.5, 3.0}, {12.5, 12.0, 2.8}, {7.0, 9.0, 2.4},
                   {12.0, 6.5, 2.1}, {8.0, 4.0, 1.7},   {10.5, 1.8, 1.3}};
    for (const auto& f : florets) {
        painter.setBrush(floret);
        painter.drawEllipse(QPointF(f.x, f.y), f.r, f.r);
        painter.setBrush(QColor(230, 220, 255));
        painter.drawEllipse(QPointF(f.x, f.y), f.r * 0.35, f.r * 0.35);
    }
}

} // namespace

QImage icon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(size / 19.0, size / 19.0);
    drawSpike(painter);
    return image;
}

QPixmap logo() {
    QPixmap pixmap(162, 19);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    drawSpike(painter);

    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(boldFont(14));
    painter.setPen(QColor(60, 40, 140));
    painter.drawText(QRect(22, 0, 140, 19), Qt::AlignLeft | Qt::AlignVCenter, text::kLogoLettering);
    return pixmap;
}

QImage lampBitmap(int index) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(kLampTransparent);
    QPainter painter(&image);
    // No antialiasing: blended edge pixels would not match the transparent colour and would
    // show as a blue fringe.
    // 0 unlit (white and grey), 1 red, 2 green; the lit ones carry a highlight.
    QColor fill;
    switch (index) {
    case 2:
        fill = QColor(0, 255, 0);
        break;
    case 1:
        fill = QColor(255, 0, 0);
        break;
    default:
        fill = QColor(224, 224, 224);
        break;
    }
    painter.setPen(QColor(96, 96, 96));
    painter.setBrush(fill);
    painter.drawEllipse(2, 2, 11, 11);
    painter.setPen(Qt::NoPen);
    painter.setBrush(index == 0 ? QColor(255, 255, 255) : fill.lighter(170));
    painter.drawRect(5, 5, 2, 2);
    return image;
}

QPixmap transparentByBottomLeft(const QImage& image) {
    if (image.isNull())
        return {};
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = argb.pixel(0, argb.height() - 1);
    for (int y = 0; y < argb.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (line[x] == key)
                line[x] = qRgba(0, 0, 0, 0);
    }
    return QPixmap::fromImage(argb);
}

QPixmap lamp(int index) {
    return transparentByBottomLeft(lampBitmap(index));
}

QString connectionText(int index) {
    return index == 1 ? QString(text::kConnected) : QString(text::kNoEvm);
}

QPixmap connectionImage(int index) {
    QPixmap pixmap(72, 19);
    pixmap.fill(index == 1 ? QColor(176, 240, 176) : QColor(255, 176, 176));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(boldFont(11));
    painter.setPen(index == 1 ? QColor(0, 64, 0) : QColor(96, 0, 0));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, connectionText(index));
    return pixmap;
}

} // namespace larkspur::artwork
