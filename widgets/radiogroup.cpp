#include "radiogroup.h"

#include <QGridLayout>
#include <QRadioButton>

namespace larkspur {

RadioGroup::RadioGroup(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent), m_grid(new QGridLayout(this)) {
    m_grid->setContentsMargins(6, 2, 4, 2);
    m_grid->setSpacing(0);
    setAccessibleName(caption);
    connect(&m_group, &QButtonGroup::idToggled, this, &RadioGroup::buttonToggled);
}

void RadioGroup::setItems(const QStringList& items) {
    const int previous = m_itemIndex;
    m_itemIndex = -1;
    for (QRadioButton* button : m_buttons) {
        m_group.removeButton(button);
        delete button;
    }
    m_buttons.clear();
    m_items = items;
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setAccessibleName(items[i]);
        m_group.addButton(button, i);
        m_buttons.append(button);
    }
    arrange();
    if (previous != -1)
        emit itemIndexChanged(-1);
}

void RadioGroup::setColumns(int columns) {
    m_columns = columns < 1 ? 1 : columns;
    arrange();
}

void RadioGroup::arrange() {
    while (m_grid->count() > 0)
        delete m_grid->takeAt(0);
    for (int row = 0; row < m_grid->rowCount(); ++row)
        m_grid->setRowStretch(row, 0);
    const auto count = static_cast<int>(m_buttons.size());
    const int perColumn = count == 0 ? 0 : (count + m_columns - 1) / m_columns;
    for (int i = 0; i < count; ++i)
        m_grid->addWidget(m_buttons[i], i % perColumn, i / perColumn);
    for (int row = 0; row < perColumn; ++row)
        m_grid->setRowStretch(row, 1);
    for (int column = 0; column < m_columns; ++column)
        m_grid->setColumnStretch(column, 1);
}

void RadioGroup::setItemIndex(int index) {
    if (index < -1 || index >= m_buttons.size())
        index = -1;
    if (index == m_itemIndex)
        return;
    if (index >= 0) {
        // The toggle reports the change.
        m_buttons[index]->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its last button.
    m_group.setExclusive(false);
    m_buttons[m_itemIndex]->setChecked(false);
    m_group.setExclusive(true);
    m_itemIndex = -1;
    emit itemIndexChanged(-1);
}

QRadioButton* RadioGroup::button(int index) const {
    return index >= 0 && index < m_buttons.size() ? m_buttons[index] : nullptr;
}

void RadioGroup::buttonToggled(int id, bool checked) {
    if (!checked || id == m_itemIndex)
        return;
    m_itemIndex = id;
    emit itemIndexChanged(id);
}

} // namespace larkspur
