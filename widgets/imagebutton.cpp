#include "imagebutton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace larkspur {

namespace {

// Assistive technology sees a push button named by its lettering. Its "Press" action clicks
// from the event loop right after the action call has returned (Qt's own button interface
// waits 100 ms): a click that opens a modal window must not hold up the caller.
class ImageButtonAccessible : public QAccessibleWidget {
public:
    explicit ImageButtonAccessible(ImageButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            const QString name = widget()->accessibleName();
            return name.isEmpty() ? button()->text() : name;
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.pressed = button()->isDown();
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        if (actionName == pressAction()) {
            // click() itself ignores a button that is disabled by the time it runs.
            QMetaObject::invokeMethod(button(), &QAbstractButton::click, Qt::QueuedConnection);
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }

    QStringList keyBindingsForAction(const QString& actionName) const override {
        if (actionName == pressAction())
            return {QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(actionName);
    }

private:
    ImageButton* button() const { return static_cast<ImageButton*>(widget()); }
};

QAccessibleInterface* imageButtonAccessibleFactory(const QString& className, QObject* object) {
    if (object != nullptr && object->isWidgetType() &&
        className == QLatin1String(ImageButton::staticMetaObject.className()))
        return new ImageButtonAccessible(static_cast<ImageButton*>(object));
    return nullptr;
}

} // namespace

ImageButton::ImageButton(QWidget* parent) : QAbstractButton(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(imageButtonAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setFocusPolicy(Qt::StrongFocus);
}

void ImageButton::setPixmap(const QPixmap& pixmap) {
    m_pixmap = pixmap;
    update();
}

QSize ImageButton::sizeHint() const {
    return m_pixmap.isNull() ? QSize(24, 24) : m_pixmap.deviceIndependentSize().toSize();
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // From the top-left corner: what does not fit at the bottom is cut off.
    painter.drawPixmap(0, 0, m_pixmap);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void ImageButton::mousePressEvent(QMouseEvent* event) {
    emit mouseDown();
    if (event->button() != Qt::LeftButton) {
        // Keep the mouse so the matching release comes here and undoes the pressed look.
        event->accept();
        return;
    }
    QAbstractButton::mousePressEvent(event);
}

void ImageButton::mouseReleaseEvent(QMouseEvent* event) {
    // Inside or outside is judged where the user let go, on the pressed control. The look is
    // then restored before the click runs, since a click handler may block for a while or throw;
    // the base class gets a point that keeps the verdict in the restored control's coordinates.
    const bool inside = hitButton(event->position().toPoint());
    emit mouseUp();
    const QPointF where = inside ? QPointF(rect().center()) : QPointF(-1, -1);
    QMouseEvent restored(event->type(), where, event->scenePosition(), event->globalPosition(),
                         event->button(), event->buttons(), event->modifiers(),
                         event->pointingDevice());
    QAbstractButton::mouseReleaseEvent(&restored);
    event->setAccepted(restored.isAccepted());
}

} // namespace larkspur
