// Small helpers the windows share for building their controls by hand.
#pragma once

#include <QFont>
#include <QLabel>
#include <QString>
#include <QWidget>

namespace larkspur {

// A label at its designed place, sized to its text.
inline QLabel* placeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                          const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->move(left, top);
    label->adjustSize();
    return label;
}

// A tooltip is also what a screen reader offers as the control's description.
inline void setTip(QWidget* widget, const QString& tip) {
    widget->setToolTip(tip);
    widget->setAccessibleDescription(tip);
}

} // namespace larkspur
