// A captioned group of radio buttons that behaves as one control with an item index.
#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QList>
#include <QStringList>

class QGridLayout;
class QRadioButton;

namespace larkspur {

class RadioGroup : public QGroupBox {
    Q_OBJECT

public:
    explicit RadioGroup(const QString& caption, QWidget* parent = nullptr);

    // Replaces the buttons; no item is selected afterwards.
    void setItems(const QStringList& items);
    QStringList items() const { return m_items; }

    // Items fill the columns top to bottom, then left to right.
    void setColumns(int columns);
    int columns() const { return m_columns; }

    // -1 when no item is selected.
    int itemIndex() const { return m_itemIndex; }
    void setItemIndex(int index);

    QRadioButton* button(int index) const;

signals:
    // The selected item changed, by the user or by setItemIndex; not raised when it stays.
    void itemIndexChanged(int index);

private:
    void arrange();
    void buttonToggled(int id, bool checked);

    QButtonGroup m_group;
    QGridLayout* m_grid = nullptr;
    QList<QRadioButton*> m_buttons;
    QStringList m_items;
    int m_columns = 1;
    int m_itemIndex = -1;
};

} // namespace larkspur
