// Tool, Compare with snapshot...: the differences between a chosen file and the setup the
// controls hold, in a modeless window, and the register map marking the differing bits until it
// closes. Nothing is read from the board.
#include "app/comparewindow.h"
#include "app/mainwindow.h"
#include "regview/registermapwindow.h"
#include "tests/support/guitestsupport.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <fstream>

namespace {

class CompareSnapshot : public ::testing::Test {
protected:
    void SetUp() override {
        m_regView = new larkspur::TRegViewForm(&m_form);
        m_form.setRegViewForm(m_regView);
        m_form.access().LoadDefaultRegisters();
        m_form.access().setShadowRegister(0x11, 0x05);
        m_form.access().setShadowRegister(0x15, 0x01);
    }
    std::string file(const std::string& text) {
        const std::string path = m_form.world().folder.filePath("monday.csv").toStdString();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    void choose(const std::string& path) {
        m_form.world().dialogs.fileNames.push_back(path);
        m_form.CompareSnapshotClick();
    }
    larkspur::TCompareForm* window() {
        return guitest::child<larkspur::TCompareForm>(&m_form, "CompareForm");
    }

    guitest::TestForm m_form;
    larkspur::TRegViewForm* m_regView = nullptr;
};

TEST_F(CompareSnapshot, ListsWhatDiffersAndTheMapMarksItUntilTheWindowCloses) {
    choose(file("0x10, 0xC0\r\n0x18, 0xD7 # DAC L\r\n"));
    ASSERT_NE(window(), nullptr);
    EXPECT_TRUE(window()->isVisible());
    EXPECT_FALSE(window()->isModal());
    EXPECT_EQ(guitest::child<QPlainTextEdit>(window(), "mDifferences")->toPlainText(),
              QString::fromUtf8("DAC Serial Data Format (cbDACFMT)  24bit IIS \u2192 24bit Left "
                                "Justified DSP\nDAC L (tkDAC1)  -20.0 dB \u2192 0.0 dB\n0x15 bits "
                                "0x01  0x00 \u2192 0x01"));
    EXPECT_TRUE(m_regView->bitMarked(1, 0)); // 0x11: 0x00 -> 0x05
    EXPECT_TRUE(m_regView->bitMarked(1, 2));
    EXPECT_FALSE(m_regView->bitMarked(1, 1));
    EXPECT_TRUE(m_regView->bitMarked(5, 0));
    EXPECT_EQ(m_regView->bitCell(1, 0)->accessibleDescription(), "0, differs");
    EXPECT_TRUE(m_form.world().dialogs.errors.empty());

    guitest::child<QPushButton>(window(), "bClose")->click();
    EXPECT_FALSE(window()->isVisible());
    for (int row = 0; row < larkspur::TRegViewForm::kRows; ++row) {
        for (int bit = 0; bit < 8; ++bit) {
            EXPECT_FALSE(m_regView->bitMarked(row, bit)) << row << " " << bit;
        }
    }
    EXPECT_EQ(m_regView->bitCell(1, 0)->accessibleDescription(), "0");
}

TEST_F(CompareSnapshot, TheSameSetupSaysSoAndABadFileIsAnErrorWithItsLine) {
    choose(file("0x11, 0x05\r\n0x15, 0x01\r\n"));
    ASSERT_NE(window(), nullptr);
    EXPECT_EQ(guitest::child<QPlainTextEdit>(window(), "mDifferences")->toPlainText(),
              "No difference: the controls hold the snapshot's setup.");

    const std::string bad = file("0x11, 0x05\r\n0x12, 0x300\r\n");
    window()->hide();
    choose(bad);
    ASSERT_EQ(m_form.world().dialogs.errors.size(), 1U);
    EXPECT_EQ(m_form.world().dialogs.errors[0].second, bad + ":2: Invalid register data!");
    EXPECT_FALSE(window()->isVisible());

    const std::size_t asked = m_form.world().dialogs.fileDialogs.size();
    m_form.CompareSnapshotClick(); // cancelled: nothing happens
    EXPECT_EQ(m_form.world().dialogs.fileDialogs.size(), asked + 1);
    EXPECT_EQ(m_form.world().dialogs.errors.size(), 1U);
}

} // namespace
