#include "dropdownlist.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QItemSelectionModel>

#include <algorithm>

namespace larkspur {

namespace {

class DropDownListAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit DropDownListAccessible(DropDownList* list)
        : QAccessibleWidget(list, QAccessible::ComboBox) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name: {
            const QString name = list()->accessibleName();
            return name.isEmpty() ? shown() : name;
        }
        case QAccessible::Value:
            return shown();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    // The popup list.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(list()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == list()->view() ? 0 : -1;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    QString localizedActionDescription(const QString& action) const override {
        if (action == showMenuAction() || action == pressAction())
            return QComboBox::tr("Open the combo box selection popup");
        return {};
    }
    void doAction(const QString& action) override {
        if (action != showMenuAction() && action != pressAction())
            return;
        if (list()->view()->isVisible())
            list()->hidePopup();
        else
            list()->showPopup();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    // Read-only text: the current item.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override {
        const QString all = shown();
        const qsizetype from = std::clamp<qsizetype>(start, 0, all.size());
        const qsizetype to = end < 0 ? all.size() : std::clamp<qsizetype>(end, from, all.size());
        return all.mid(from, to - from);
    }
    int characterCount() const override { return static_cast<int>(shown().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    QComboBox* list() const { return static_cast<QComboBox*>(widget()); }
    QString shown() const { return list()->currentText(); }
};

QAccessibleInterface* dropDownListAccessibleFactory(const QString& className, QObject* object) {
    if (object != nullptr && object->isWidgetType() &&
        className == QLatin1String(DropDownList::staticMetaObject.className()))
        return new DropDownListAccessible(static_cast<DropDownList*>(object));
    return nullptr;
}

} // namespace

DropDownList::DropDownList(QWidget* parent) : QComboBox(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(dropDownListAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    // The popup selects the current item only when it opens; keep it selected while closed so
    // the list's items tell which one is chosen.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        QItemSelectionModel* selection = view()->selectionModel();
        if (selection == nullptr)
            return;
        if (index < 0) {
            selection->clear();
            return;
        }
        selection->setCurrentIndex(model()->index(index, modelColumn(), rootModelIndex()),
                                   QItemSelectionModel::ClearAndSelect);
    });
}

} // namespace larkspur
