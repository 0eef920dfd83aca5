#include "qtdialogs.h"
#include "device/devicetexts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace larkspur {

namespace {

void showBox(QWidget* owner, QMessageBox::Icon icon, const std::string& caption,
             const std::string& text, const std::string& details = {}) {
    QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, owner);
    // Folded away behind "Show Details...": the text of the box stays as it is.
    if (!details.empty()) {
        box.setDetailedText(QString::fromStdString(details));
    }
    box.exec();
}

// "CSV|*.csv|All Files|*.*" as Qt writes it: "CSV (*.csv);;All Files (*.*)".
QString qtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        entries << parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

void prepare(QFileDialog& box, const UserDialogs::FileDialog& dialog) {
    box.setNameFilters(qtFilter(dialog.filter).split(QStringLiteral(";;")));
    box.setDefaultSuffix(QString::fromStdString(dialog.defaultExtension));
    if (!dialog.fileName.empty()) {
        box.selectFile(QString::fromStdString(dialog.fileName));
    }
}

std::string chosen(QFileDialog& box) {
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) {
        return {};
    }
    return box.selectedFiles().front().toStdString();
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
    showBox(owner(), QMessageBox::NoIcon, larkspur::text::kApplicationTitle, text);
}

void QtDialogs::error(const std::string& caption, const std::string& text) {
    showBox(owner(), QMessageBox::Critical, caption, text);
}

void QtDialogs::errorWithDetails(const std::string& caption, const std::string& text,
                                 const std::string& details) {
    showBox(owner(), QMessageBox::Critical, caption, text, details);
}

bool QtDialogs::question(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, owner());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::string QtDialogs::openFileName(const FileDialog& dialog) {
    QFileDialog box(owner());
    box.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name that does not exist is accepted: the script runner reports it.
    box.setFileMode(QFileDialog::AnyFile);
    prepare(box, dialog);
    return chosen(box);
}

std::string QtDialogs::saveFileName(const FileDialog& dialog) {
    QFileDialog box(owner());
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setFileMode(QFileDialog::AnyFile);
    // The program asks its own overwrite question.
    box.setOption(QFileDialog::DontConfirmOverwrite);
    prepare(box, dialog);
    return chosen(box);
}

} // namespace larkspur
