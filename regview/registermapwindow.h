// The register map window: the ten codec registers bit by bit, green for 1 and white for 0.
#pragma once

#include "bitnames/bitnames.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

namespace larkspur {

class TRegViewForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int kRows = kMapRows;
    static constexpr int kClientWidth = 555;
    // The window is designed 555 x 301 and cut to an outer height of 250 at creation, which left
    // 219 client pixels under a Windows dialog frame. The window manager's frame is not ours to
    // measure, so the client height is set directly: all ten rows above the button panel.
    static constexpr int kClientHeight = 219;
    static constexpr int kButtonPanelHeight = 38;

    explicit TRegViewForm(QWidget* parent = nullptr);

    // DeviceBits as the owner holds it, read at each showing for the row labels.
    void setDeviceBitsSource(std::function<int()> source);

    // Paints row `row` (register 0x10 + row) from an 8-bit value, shown or hidden.
    void ShowRegisterBits(int row, int value);
    // Marks the bits set in `marks[row]` (a comparison's differing bits) with a red frame and red
    // lettering, and says "differs" to a screen reader; all zero clears the marks.
    void markBits(const std::array<std::uint8_t, kRows>& marks);
    bool bitMarked(int row, int bit) const;

    QLabel* rowLabel(int row) const;
    // The cell of bit `bit` (7 = leftmost) of row `row`.
    QLabel* bitCell(int row, int bit) const;
    QPushButton* bClose() const { return m_bClose; }

    static QColor setColour();
    static QColor clearColour();

public slots:
    void bCloseClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* makeCell(const QString& text, int left, int top);
    void rewriteRowLabels();

    QFrame* m_pRegView = nullptr;
    QFrame* m_pRegViewButton = nullptr;
    QPushButton* m_bClose = nullptr;
    std::array<QLabel*, kRows> m_rowLabels{};
    // [row][column]; column j shows bit 7 - j.
    std::array<std::array<QLabel*, kBitsPerRegister>, kRows> m_cells{};
    std::function<int()> m_deviceBits;
    std::array<std::uint8_t, kRows> m_marks{};
};

} // namespace larkspur
