// The main window's image buttons and their pressed look: each is made with its lettering's
// picture at its designed place, and sits one pixel right and down while a mouse button is down.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <array>
#include <vector>

class QWidget;

namespace larkspur {

class ImageButton;

class ImageButtonLook {
public:
    // Tags run from 0 to 6; 0 and 1 have no button.
    static constexpr int kTagCount = 7;

    // A button named `name` with `lettering` at `geometry` in `parent`; its rest is recorded
    // under `tag`.
    ImageButton* make(QWidget* parent, const char* name, const QString& lettering, int tag,
                      const QRect& geometry);
    // The picture at its rest place, or pressed: one pixel right and down.
    void place(const ImageButton* sender, bool pressed) const;
    // Rest position of the button with this tag; a null point for a tag without one.
    QPoint restPosition(int tag) const;
    // Every button made, in the order made.
    const std::vector<ImageButton*>& buttons() const { return m_buttons; }

private:
    struct Record {
        ImageButton* button = nullptr;
        QPoint rest;
    };
    std::array<Record, kTagCount> m_records{};
    std::vector<ImageButton*> m_buttons;
};

} // namespace larkspur
