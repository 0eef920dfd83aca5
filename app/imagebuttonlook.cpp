#include "imagebuttonlook.h"

#include "artwork.h"
#include "widgets/imagebutton.h"

namespace larkspur {

namespace {

constexpr int kRestHeight = 24;

} // namespace

ImageButton* ImageButtonLook::make(QWidget* parent, const char* name, const QString& lettering,
                                   int tag, const QRect& geometry) {
    auto* button = new ImageButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(lettering);
    button->setAccessibleName(lettering);
    button->setTag(tag);
    button->setPixmap(artwork::imageButton(lettering, geometry.width()));
    button->setGeometry(geometry);
    if (tag >= 0 && tag < kTagCount) {
        m_records[static_cast<std::size_t>(tag)] = {button, button->pos()};
    }
    button->resize(button->width(), kRestHeight);
    m_buttons.push_back(button);
    return button;
}

QPoint ImageButtonLook::restPosition(int tag) const {
    if (tag < 0 || tag >= kTagCount)
        return {};
    return m_records[static_cast<std::size_t>(tag)].rest;
}

void ImageButtonLook::place(const ImageButton* sender, bool pressed) const {
    const int tag = sender->tag();
    if (tag < 0 || tag >= kTagCount)
        return;
    const Record& record = m_records[static_cast<std::size_t>(tag)];
    if (record.button == nullptr)
        return;
    // Pressed, the picture moves one pixel right and down; the bottom edge stays where it was.
    const int shift = pressed ? 1 : 0;
    record.button->setGeometry(record.rest.x() + shift, record.rest.y() + shift,
                               record.button->width(), kRestHeight - shift);
}

} // namespace larkspur
