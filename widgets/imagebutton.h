// A bitmap that acts as a push button: it shows its picture from the top-left corner and
// reports mouse down and up so that its owner can give it a pressed look.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace larkspur {

class ImageButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit ImageButton(QWidget* parent = nullptr);

    void setPixmap(const QPixmap& pixmap);
    const QPixmap& pixmap() const { return m_pixmap; }

    // Index of the owner's record of this button.
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    QSize sizeHint() const override;

signals:
    // Any mouse button went down or up on the control.
    void mouseDown();
    void mouseUp();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap m_pixmap;
    int m_tag = 0;
};

} // namespace larkspur
