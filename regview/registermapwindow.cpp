#include "registermapwindow.h"

#include "registermaptexts.h"

#include "bitnames/bitnames.h"
#include "widgets/showwindow.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace larkspur {

namespace {

constexpr int kCellWidth = 58;
constexpr int kCellHeight = 13;
constexpr int kColumnPitch = 60;
constexpr int kRowPitch = 15;
constexpr int kFirstColumnLeft = 68;
constexpr int kRowLabelLeft = 8;
constexpr int kHeaderTop = 8;
constexpr int kFirstRowTop = 23;

QString toQString(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void paintCell(QLabel* cell, const QColor& colour) {
    QPalette palette = cell->palette();
    palette.setColor(QPalette::Window, colour);
    cell->setPalette(palette);
}

} // namespace

QColor TRegViewForm::setColour() {
    return QColor(175, 253, 134);
}
QColor TRegViewForm::clearColour() {
    return QColor(255, 255, 255);
}

TRegViewForm::TRegViewForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_deviceBits([] { return 0; }) {
    setObjectName(QStringLiteral("RegViewForm"));
    setWindowTitle(text::kRegisterMapTitle);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    setPalette(palette);
    setFixedSize(kClientWidth, kClientHeight);

    m_pRegView = new QFrame(this);
    m_pRegView->setObjectName(QStringLiteral("pRegView"));
    m_pRegView->setGeometry(0, 0, kClientWidth, kClientHeight - kButtonPanelHeight);
    m_pRegView->setAccessibleName(text::kRegisterMapArea);

    m_pRegViewButton = new QFrame(this);
    m_pRegViewButton->setObjectName(QStringLiteral("pRegViewButton"));
    m_pRegViewButton->setGeometry(0, kClientHeight - kButtonPanelHeight, kClientWidth,
                                  kButtonPanelHeight);

    m_bClose = new QPushButton(text::kRegisterMapClose, m_pRegViewButton);
    m_bClose->setObjectName(QStringLiteral("bClose"));
    m_bClose->setGeometry(456, 6, 75, 25);
    m_bClose->setAccessibleName(text::kRegisterMapClose);
    m_bClose->setAutoDefault(false);
    connect(m_bClose, &QPushButton::clicked, this, &TRegViewForm::bCloseClick);

    QLabel* header = makeCell(text::kRegisterHeading, kRowLabelLeft, kHeaderTop);
    header->setObjectName(QStringLiteral("Label1"));
    for (int j = 0; j < kBitsPerRegister; ++j) {
        QLabel* bitHeader = makeCell(QString(text::kBitHeading).arg(kBitsPerRegister - 1 - j),
                                     kFirstColumnLeft + kColumnPitch * j, kHeaderTop);
        bitHeader->setObjectName(QStringLiteral("Label%1").arg(j + 2));
    }

    for (int i = 0; i < kRows; ++i) {
        const int top = kFirstRowTop + kRowPitch * i;
        QLabel* row = makeCell(toQString(rowLabelText(kMapFirstRegister + i)), kRowLabelLeft, top);
        row->setObjectName(QStringLiteral("RowLabel%1").arg(i));
        m_rowLabels[static_cast<std::size_t>(i)] = row;
        for (int j = 0; j < kBitsPerRegister; ++j) {
            const int bit = kBitsPerRegister - 1 - j;
            QLabel* cell =
                makeCell(toQString(bitName(i, bit)), kFirstColumnLeft + kColumnPitch * j, top);
            cell->setObjectName(QStringLiteral("BitCell%1_%2").arg(i).arg(bit));
            cell->setAccessibleName(cell->text());
            cell->setAccessibleDescription(QStringLiteral("0"));
            m_cells[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = cell;
        }
    }
}

QLabel* TRegViewForm::makeCell(const QString& text, int left, int top) {
    auto* cell = new QLabel(text, m_pRegView);
    QFont courier(QStringLiteral("Courier"), 8);
    courier.setStyleHint(QFont::TypeWriter);
    cell->setFont(courier);
    cell->setAlignment(Qt::AlignCenter);
    cell->setAutoFillBackground(true);
    QPalette palette = cell->palette();
    palette.setColor(QPalette::Window, clearColour());
    palette.setColor(QPalette::WindowText, Qt::black);
    cell->setPalette(palette);
    cell->setGeometry(left, top, kCellWidth, kCellHeight);
    return cell;
}

void TRegViewForm::setDeviceBitsSource(std::function<int()> source) {
    m_deviceBits = source ? std::move(source) : [] { return 0; };
}

void TRegViewForm::ShowRegisterBits(int row, int value) {
    if (row < 0 || row >= kRows)
        return;
    for (int j = 0; j < kBitsPerRegister; ++j) {
        QLabel* cell = m_cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(j)];
        const bool set = bitIsSet(value, kBitsPerRegister - 1 - j);
        paintCell(cell, set ? setColour() : clearColour());
        // The colour alone says nothing to a screen reader.
        QString said = set ? QStringLiteral("1") : QStringLiteral("0");
        if (bitMarked(row, kBitsPerRegister - 1 - j)) {
            said += QStringLiteral(", differs");
        }
        cell->setAccessibleDescription(said);
    }
}

void TRegViewForm::markBits(const std::array<std::uint8_t, kRows>& marks) {
    m_marks = marks;
    for (int i = 0; i < kRows; ++i) {
        for (int j = 0; j < kBitsPerRegister; ++j) {
            QLabel* cell = m_cells[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            const bool marked = bitMarked(i, kBitsPerRegister - 1 - j);
            QPalette palette = cell->palette();
            palette.setColor(QPalette::WindowText, marked ? QColor(Qt::red) : QColor(Qt::black));
            cell->setPalette(palette);
            cell->setFrameStyle(marked ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
            cell->setLineWidth(marked ? 2 : 1);
            QString said = cell->accessibleDescription().left(1);
            if (marked) {
                said += QStringLiteral(", differs");
            }
            cell->setAccessibleDescription(said);
        }
    }
}

bool TRegViewForm::bitMarked(int row, int bit) const {
    if (row < 0 || row >= kRows || bit < 0 || bit >= kBitsPerRegister)
        return false;
    return ((m_marks[static_cast<std::size_t>(row)] >> bit) & 1) != 0;
}

QLabel* TRegViewForm::rowLabel(int row) const {
    if (row < 0 || row >= kRows)
        return nullptr;
    return m_rowLabels[static_cast<std::size_t>(row)];
}

QLabel* TRegViewForm::bitCell(int row, int bit) const {
    if (row < 0 || row >= kRows || bit < 0 || bit >= kBitsPerRegister)
        return nullptr;
    return m_cells[static_cast<std::size_t>(row)]
                  [static_cast<std::size_t>(kBitsPerRegister - 1 - bit)];
}

void TRegViewForm::bCloseClick() {
    hide();
}

void TRegViewForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        // The interface or device address may have changed while the window was hidden.
        rewriteRowLabels();
        centreOnScreen(this);
    }
    QDialog::showEvent(event);
}

void TRegViewForm::rewriteRowLabels() {
    const int deviceBits = m_deviceBits();
    for (int i = 0; i < kRows; ++i)
        m_rowLabels[static_cast<std::size_t>(i)]->setText(
            toQString(rowLabelText(kMapFirstRegister + deviceBits + i)));
}

} // namespace larkspur
