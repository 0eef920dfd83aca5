// The fonts the windows are designed in. Where a family is missing the nearest sans serif
// stands in, at the same weight.
#pragma once

#include <QFont>

namespace larkspur {

inline QFont arialFont(int points) {
    QFont font(QStringLiteral("Arial"), points);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

inline QFont arialBlackFont(int points) {
    QFont font(QStringLiteral("Arial Black"), points, QFont::Black);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace larkspur
