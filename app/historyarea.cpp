#include "historyarea.h"

#include "imagebuttonlook.h"
#include "windowparts.h"
#include "windowtexts.h"

#include <QGroupBox>
#include <QPlainTextEdit>

namespace larkspur {

HistoryArea::HistoryArea(QWidget* parent, ImageButtonLook& look) {
    auto* box = makeCaptioned<QGroupBox>(parent, "GroupBox23", text::kHistoryGroup,
                                         QRect(496, 32, 217, 354));

    m_memo = new QPlainTextEdit(box);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setGeometry(24, 22, 169, 286);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setAccessibleName(box->title());

    m_save = look.make(box, "imgSave", text::kSaveButton, 2, QRect(24, 318, 79, 24));
    m_clear = look.make(box, "imgClear", text::kClearButton, 3, QRect(114, 318, 79, 24));
}

void HistoryArea::appendHistoryLine(const std::string& line) {
    m_memo->appendPlainText(QString::fromStdString(line));
}

void HistoryArea::clear() {
    m_memo->clear();
}

std::vector<std::string> HistoryArea::savedLines() const {
    const QString text = m_memo->toPlainText();
    std::vector<std::string> lines;
    if (text.isEmpty())
        return lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        // Saved files are bytes: what the history holds, one byte per character.
        lines.push_back(line.toLatin1().toStdString());
    }
    return lines;
}

} // namespace larkspur
