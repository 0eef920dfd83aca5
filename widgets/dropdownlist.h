// A drop-down list that assistive technology announces by its label.
#pragma once

#include <QComboBox>

namespace larkspur {

// Qt names a combo box on Linux by its current item, so a screen reader's user (or a test
// driving the program through the accessibility bus) cannot find "DAC Sampling mode" by name.
// This list (never editable) is named by its accessible name (the text of its label) and shows
// its current item as value and as read-only text; its popup list keeps that item selected.
class DropDownList : public QComboBox {
    Q_OBJECT

public:
    explicit DropDownList(QWidget* parent = nullptr);
};

} // namespace larkspur
