#include "comparewindow.h"

#include "catalogue/registerdiff.h"
#include "files/registerimage.h"
#include "widgets/fonts.h"
#include "windowtexts.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace larkspur {

TCompareForm::TCompareForm(QWidget* parent, Marker marker)
    : QDialog(parent), m_marker(std::move(marker)) {
    setObjectName(QStringLiteral("CompareForm"));
    setWindowTitle(text::kCompareTitle);
    setModal(false);
    setFont(arialFont(9));
    auto* layout = new QVBoxLayout(this);
    m_file = new QLabel(this);
    m_file->setObjectName(QStringLiteral("lFile"));
    layout->addWidget(m_file);
    m_differences = new QPlainTextEdit(this);
    m_differences->setObjectName(QStringLiteral("mDifferences"));
    m_differences->setReadOnly(true);
    m_differences->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_differences->setAccessibleName(text::kCompareTitle);
    m_differences->setMinimumSize(520, 220);
    layout->addWidget(m_differences);
    auto* close = new QPushButton(text::kCompareClose, this);
    close->setObjectName(QStringLiteral("bClose"));
    close->setAccessibleName(text::kCompareClose);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignRight);
}

bool TCompareForm::compare(const std::string& file, const RegisterImage& current,
                           std::string& why) {
    const ImageOutcome outcome = replayFileIntoImage(file);
    if (!outcome.values) {
        why = (outcome.line > 0 ? file + ":" + std::to_string(outcome.line) : file) + ": " +
              outcome.message;
        return false;
    }
    const RegisterDiff diff = diffRegisters(*outcome.values, current);
    QStringList lines;
    for (const std::string& line : diffLines(diff)) {
        lines << QString::fromStdString(line);
    }
    m_file->setText(QString::fromStdString(file) + QStringLiteral(" \u2192 ") +
                    QStringLiteral("the controls"));
    m_differences->setPlainText(lines.isEmpty() ? QString(text::kCompareSame)
                                                : lines.join(QLatin1Char('\n')));
    m_marker(differingBits(*outcome.values, current));
    show();
    raise();
    activateWindow();
    return true;
}

void TCompareForm::done(int result) {
    m_marker({});
    QDialog::done(result);
}

} // namespace larkspur
