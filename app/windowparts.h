// What the main window's areas share when they build their widgets, and the parts along the
// top that need no class of their own.
#pragma once

#include "panel/panellayout.h"

#include <QLatin1String>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>

class QTabWidget;

namespace larkspur {

// A group box or button at its designed place, with its designed name, announced by its caption.
template <typename Widget>
Widget* makeCaptioned(QWidget* parent, const char* name, const QString& caption,
                      const QRect& geometry) {
    auto* widget = new Widget(caption, parent);
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(caption);
    widget->setGeometry(geometry);
    return widget;
}

// The title and the logo pictures along the top (Image1, Image2).
void buildTitle(QWidget* parent);

// The page control of the codec's settings (MainTab) with one empty page per tab sheet, in tab
// order; the pages are put into `pages`.
QTabWidget* buildCodecSheets(QWidget* parent, std::array<QWidget*, kTabCount>& pages);

} // namespace larkspur
