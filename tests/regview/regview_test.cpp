// The register map window: grid, colours, row labels, close.
#include "bitnames/bitnames.h"
#include "regview/registermapwindow.h"
#include "tests/support/widgettestsupport.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

#include <array>

namespace {

using larkspur::TRegViewForm;

const QColor kGreen(175, 253, 134);
const QColor kWhite(255, 255, 255);

struct PaintCase {
    int row;
    int value;
    std::array<bool, 8> green; // leftmost cell (bit 7) first
    bool shown;
};

void PrintTo(const PaintCase& c, std::ostream* os) {
    *os << "row " << c.row << " value " << c.value << (c.shown ? " shown" : " hidden");
}

class RegViewPaint : public testing::TestWithParam<PaintCase> {};

TEST_P(RegViewPaint, OnesAreLightGreenAndZerosWhite) {
    const PaintCase& c = GetParam();
    TRegViewForm form;
    if (c.shown)
        form.show();
    // Start from the opposite colours so every cell has to change.
    form.ShowRegisterBits(c.row, ~c.value & 0xFF);
    form.ShowRegisterBits(c.row, c.value);
    for (int j = 0; j < 8; ++j) {
        const QLabel* cell = form.bitCell(c.row, 7 - j);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(guitest::background(cell), c.green[static_cast<std::size_t>(j)] ? kGreen : kWhite)
            << "column " << j;
        EXPECT_EQ(cell->accessibleDescription(), c.green[static_cast<std::size_t>(j)] ? "1" : "0");
        // Painting changes no text.
        EXPECT_EQ(cell->text().toStdString(), larkspur::bitName(c.row, 7 - j));
    }
    EXPECT_EQ(form.isVisible(), c.shown);
}

constexpr std::array<bool, 8> kAllWhite{};
constexpr std::array<bool, 8> kAllGreen{true, true, true, true, true, true, true, true};
constexpr std::array<bool, 8> kC1{true, true, false, false, false, false, false, true};
constexpr std::array<bool, 8> kA5{true, false, true, false, false, true, false, true};

INSTANTIATE_TEST_SUITE_P(
    Values, RegViewPaint,
    testing::Values(PaintCase{0, 0xC1, kC1, false}, PaintCase{0, 0xC1, kC1, true},
                    PaintCase{8, 0x00, kAllWhite, false}, PaintCase{8, 0x00, kAllWhite, true},
                    PaintCase{8, 0xFF, kAllGreen, false}, PaintCase{8, 0xFF, kAllGreen, true},
                    PaintCase{9, 0xA5, kA5, false}, PaintCase{6, 0xA5, kA5, true}));

TEST(RegView, PaintingOneRowLeavesTheOthers) {
    TRegViewForm form;
    form.ShowRegisterBits(3, 0xFF);
    for (int row = 0; row < 10; ++row)
        for (int bit = 0; bit < 8; ++bit)
            EXPECT_EQ(guitest::background(form.bitCell(row, bit)), row == 3 ? kGreen : kWhite)
                << "row " << row << " bit " << bit;
}

TEST(RegView, RowsOutsideTheMapAreIgnored) {
    TRegViewForm form;
    form.ShowRegisterBits(-1, 0xFF);
    form.ShowRegisterBits(10, 0xFF);
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(guitest::background(form.bitCell(row, 0)), kWhite);
}

TEST(RegView, ColoursSurviveHidingAndShowing) {
    TRegViewForm form;
    form.show();
    form.ShowRegisterBits(0, 0x80);
    form.bClose()->click();
    EXPECT_FALSE(form.isVisible());
    form.ShowRegisterBits(1, 0x01);
    form.show();
    EXPECT_EQ(guitest::background(form.bitCell(0, 7)), kGreen);
    EXPECT_EQ(guitest::background(form.bitCell(1, 0)), kGreen);
    EXPECT_EQ(guitest::background(form.bitCell(1, 1)), kWhite);
}

TEST(RegView, GridIsBuiltAtConstructionInTheCellStyle) {
    TRegViewForm form;
    auto* header = guitest::child<QLabel>(&form, "Label1");
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->text(), "Reg #");
    EXPECT_EQ(header->geometry(), QRect(8, 8, 58, 13));
    for (int j = 0; j < 8; ++j) {
        auto* bitHeader = guitest::child<QLabel>(&form, qPrintable(QString("Label%1").arg(j + 2)));
        ASSERT_NE(bitHeader, nullptr);
        EXPECT_EQ(bitHeader->text(), QString("B%1").arg(7 - j));
        EXPECT_EQ(bitHeader->geometry(), QRect(68 + 60 * j, 8, 58, 13));
    }
    for (int i = 0; i < 10; ++i) {
        const QLabel* row = form.rowLabel(i);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->text(), QString::number(0x10 + i, 16));
        EXPECT_EQ(row->geometry(), QRect(8, 23 + 15 * i, 58, 13));
        for (int j = 0; j < 8; ++j) {
            const QLabel* cell = form.bitCell(i, 7 - j);
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(cell->geometry(), QRect(68 + 60 * j, 23 + 15 * i, 58, 13));
            EXPECT_EQ(cell->text().toStdString(), larkspur::bitName(i, 7 - j));
            EXPECT_EQ(cell->accessibleName(), cell->text());
            EXPECT_TRUE(cell->autoFillBackground());
            EXPECT_EQ(cell->alignment(), Qt::AlignCenter);
            EXPECT_EQ(cell->font().family(), "Courier");
            EXPECT_EQ(cell->font().pointSize(), 8);
            EXPECT_EQ(guitest::background(cell), kWhite);
            EXPECT_EQ(cell->palette().color(QPalette::WindowText), QColor(Qt::black));
        }
    }
    EXPECT_EQ(form.bitCell(0, 7)->text(), "MRST");
    EXPECT_EQ(form.bitCell(9, 0)->text(), "ATDA20");
}

TEST(RegView, RowLabelsFollowDeviceBitsAtEachShowing) {
    TRegViewForm form;
    int deviceBits = 0x40;
    form.setDeviceBitsSource([&deviceBits] { return deviceBits; });
    // Nothing changes until the window is shown.
    EXPECT_EQ(form.rowLabel(0)->text(), "10");
    form.show();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(form.rowLabel(i)->text(), QString::number(0x50 + i, 16));

    deviceBits = 0x20;
    EXPECT_EQ(form.rowLabel(0)->text(), "50");
    form.hide();
    form.show();
    EXPECT_EQ(form.rowLabel(0)->text(), "30");
    EXPECT_EQ(form.rowLabel(9)->text(), "39");
}

TEST(RegView, UpperCaseHexInTheRowLabels) {
    TRegViewForm form;
    form.setDeviceBitsSource([] { return 0x60; });
    form.show();
    EXPECT_EQ(form.rowLabel(0)->text(), "70");
    form.hide();
    form.setDeviceBitsSource([] { return 0x0A; });
    form.show();
    EXPECT_EQ(form.rowLabel(0)->text(), "1A");
    EXPECT_EQ(form.rowLabel(9)->text(), "23");
}

TEST(RegView, WithoutASourceDeviceBitsIsZero) {
    TRegViewForm form;
    form.setDeviceBitsSource([] { return 0x40; });
    form.setDeviceBitsSource(nullptr);
    form.show();
    EXPECT_EQ(form.rowLabel(0)->text(), "10");
}

TEST(RegView, WindowCaptionSizeAndPanels) {
    TRegViewForm form;
    EXPECT_EQ(form.objectName(), "RegViewForm");
    EXPECT_EQ(form.windowTitle(), "Register View");
    EXPECT_EQ(form.size(), QSize(555, 219));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form.font().family(), "Tahoma");
    EXPECT_EQ(form.font().pointSize(), 8);
    EXPECT_EQ(guitest::background(&form), form.palette().color(QPalette::Button));

    auto* buttons = guitest::child<QFrame>(&form, "pRegViewButton");
    auto* map = guitest::child<QFrame>(&form, "pRegView");
    ASSERT_NE(buttons, nullptr);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(buttons->geometry(), QRect(0, 219 - 38, 555, 38));
    EXPECT_EQ(map->geometry(), QRect(0, 0, 555, 219 - 38));
    // All ten rows above the button panel.
    EXPECT_LE(form.rowLabel(9)->geometry().bottom(), map->height());
    EXPECT_EQ(form.rowLabel(9)->parentWidget(), map);
    EXPECT_EQ(form.bClose()->parentWidget(), buttons);
    EXPECT_EQ(form.bClose()->geometry(), QRect(456, 6, 75, 25));
    EXPECT_EQ(form.bClose()->text(), "Close");
}

TEST(RegView, CloseHidesWithoutDestroying) {
    TRegViewForm form;
    form.show();
    form.ShowRegisterBits(2, 0x11);
    form.bClose()->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(guitest::background(form.bitCell(2, 4)), kGreen);
}

TEST(RegView, CentredOnTheScreenWhenShown) {
    TRegViewForm form;
    form.move(0, 0);
    form.show();
    const QPoint centre = form.screen()->availableGeometry().center();
    EXPECT_LE((form.frameGeometry().center() - centre).manhattanLength(), 2);
}

} // namespace
