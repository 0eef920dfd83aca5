#include "qtdialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace larkspur {

namespace {

void showBox(QWidget* owner, QMessageBox::Icon icon, const std::string& caption,
             const std::string& text) {
    QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, owner);
    box.exec();
}

} // namespace

QtDialogs::QtDialogs(QWidget* parent) : m_parent(parent), m_hasParent(parent != nullptr) {}

QWidget* QtDialogs::owner() const {
    if (m_hasParent)
        return m_parent.data();
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

void QtDialogs::message(const std::string& text) {
    showBox(owner(), QMessageBox::NoIcon, kApplicationTitle, text);
}

void QtDialogs::error(const std::string& caption, const std::string& text) {
    showBox(owner(), QMessageBox::Critical, caption, text);
}

} // namespace larkspur
